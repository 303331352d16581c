// Internal to ZENDatabaseQt: the QDialog that shows one dialog model (or a
// property sheet as tabs) and keeps widgets and model in step both ways.
#pragma once

#include "framework/CDialog.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTabWidget;
class CPropertySheet;

namespace zenqt {

// Dialog units -> pixels for the dialog's font: a quarter of the average
// character width horizontally, an eighth of the line height vertically.
struct DluScale {
    int baseX = 7;
    int baseY = 15;
    int X(int dlu) const { return (dlu * baseX + 2) / 4; }
    int Y(int dlu) const { return (dlu * baseY + 4) / 8; }
    static DluScale ForWidget(const QWidget& widget);
};

// The widgets of one dialog model inside a container widget, kept in step
// with the model through its change observer.
class ControlBinder {
public:
    // afterCommand runs after each command the user gave (button, check box).
    ControlBinder(CDialog& model, QWidget& container, const DluScale& scale, std::function<void()> afterCommand);
    ~ControlBinder();
    ControlBinder(const ControlBinder&) = delete;
    ControlBinder& operator=(const ControlBinder&) = delete;

    // Moves the input focus: to the model's focus control when it placed it,
    // else to the first enabled, visible input.
    void PlaceFocus(bool hostChooses);

private:
    void Build();
    QWidget* MakeWidget(CControlWnd& control);
    void Mirror(CWnd& wnd, ZenWndChange what);
    void MirrorAll(CControlWnd& control, QWidget& widget);
    // Runs a model handler; an escaping exception is shown, not thrown on.
    void Guarded(const std::function<void()>& handler);

    CDialog& m_model;
    QWidget& m_container;
    DluScale m_scale;
    std::function<void()> m_afterCommand;
    std::map<CWnd*, QWidget*> m_widgets;
    CWnd* m_pFromWidget = nullptr;  // the control being written from its widget
};

// The modal window of a dialog model or property sheet.
class DialogView : public QDialog {
public:
    DialogView(CDialog& model, QWidget* parent);
    ~DialogView() override;

    // Shows the window modally until the model ended; returns its result.
    INT_PTR Run(bool hostPlacesFocus);

protected:
    void reject() override;
    void accept() override;

private:
    void BuildDialog();
    void BuildSheet(CPropertySheet& sheet);
    void CheckEnded();

    CDialog& m_model;
    std::vector<std::unique_ptr<ControlBinder>> m_binders;
    QTabWidget* m_tabs = nullptr;
};

// Shows an exception's text in an error box over the active window.
void ShowException(const char* text);

} // namespace zenqt
