// Progress bar of zendb: one line on stderr, redrawn in place with a carriage
// return and cleared when the work is done.
#include "Progress.h"

#include "Tool.h"

#include <cstdio>
#include <unistd.h>

namespace zendb {

namespace {
constexpr int kBarWidth = 30;
} // namespace

CProgressBar::CProgressBar(const std::string& label, size_t total)
    : m_label(label), m_total(total), m_active(total > 0 && !Options().quiet && isatty(STDERR_FILENO) == 1)
{
}

CProgressBar::~CProgressBar()
{
    if (m_active && m_drawn) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
    }
}

void CProgressBar::Update(size_t done)
{
    m_done = done;
    if (!m_active)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_drawn && now - m_lastDraw < std::chrono::milliseconds(100) && done != m_total)
        return;
    m_lastDraw = now;
    Draw();
}

void CProgressBar::Draw()
{
    std::string line = "\r" + m_label + " ";
    const size_t done = m_done > m_total ? m_total : m_done;
    const int filled = static_cast<int>(done * kBarWidth / m_total);
    line += '[';
    for (int i = 0; i < kBarWidth; ++i)
        line += i < filled ? '#' : (i == filled ? '>' : ' ');
    char counts[64];
    std::snprintf(counts, sizeof counts, "] %3d%% %zu/%zu", static_cast<int>(done * 100 / m_total), done, m_total);
    line += counts;
    line += "\x1b[K";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    m_drawn = true;
}

} // namespace zendb
