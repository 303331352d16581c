// Drives the Qt host's modal windows from a timer: each step waits until the
// expected window (by objectName) is the active modal one, then runs on it in
// a fresh event dispatch, so that a step may open further modal windows.
// Also finds control widgets by id and saves screenshots.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <utility>

namespace qttest {

// The child widget of a window with the control id as objectName.
template <class T = QWidget>
T* Control(QWidget* window, int id)
{
    return window->findChild<T*>(QString::number(id));
}

// Saves the window as <artifacts>/<name>.png; false when it could not.
inline bool SaveScreenshot(QWidget* window, const QString& name)
{
    const QString folder = QStringLiteral(ZEN_ARTIFACT_DIR);
    QDir().mkpath(folder);
    return window->grab().save(folder + QStringLiteral("/") + name + QStringLiteral(".png"));
}

class CUiScript {
public:
    using Step = std::function<void(QWidget* window)>;

    CUiScript()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_clock.start();
        m_timer.start();
    }
    ~CUiScript()
    {
        m_timer.stop();
        EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " steps not run, next on " << Next().toStdString();
    }
    CUiScript(const CUiScript&) = delete;
    CUiScript& operator=(const CUiScript&) = delete;

    // Adds a step for the window of that objectName ("dialog-13002",
    // "zen-messagebox", "dialog-sheet").
    CUiScript& On(const char* windowName, Step step)
    {
        m_steps.emplace_back(QString::fromLatin1(windowName), std::move(step));
        return *this;
    }

private:
    QString Next() const { return m_steps.empty() ? QString() : m_steps.front().first; }

    void Poll()
    {
        QWidget* window = QApplication::activeModalWidget();
        if (m_clock.elapsed() > 20000) {
            // Something waits for a step that never comes: close the windows.
            if (window != nullptr) {
                ADD_FAILURE() << "window " << window->objectName().toStdString() << " left open";
                window->close();
            }
            return;
        }
        if (m_busy || m_steps.empty() || window == nullptr || !window->isVisible() || window->objectName() != Next())
            return;
        m_busy = true;
        Step step = std::move(m_steps.front().second);
        m_steps.pop_front();
        QMetaObject::invokeMethod(
            qApp,
            [this, step, window] {
                m_busy = false;
                step(window);
            },
            Qt::QueuedConnection);
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<std::pair<QString, Step>> m_steps;
    bool m_busy = false;
};

} // namespace qttest
