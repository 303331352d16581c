// Progress bar of zendb on stderr, for work that takes more than a moment
// (import, batch registration, demo generation, reports of many runs). It is
// drawn only when stderr is a terminal, so logs and pipes stay clean.
#pragma once

#include <chrono>
#include <string>

namespace zendb {

class CProgressBar {
public:
    // total: number of steps; 0 draws nothing (work too small to show).
    // Draws nothing either when stderr is not a terminal or with --quiet.
    CProgressBar(const std::string& label, size_t total);
    // Clears the bar's line.
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    // Sets the number of steps done; redraws at most ten times a second.
    void Update(size_t done);
    void Step() { Update(m_done + 1); }

private:
    void Draw();

    std::string m_label;
    size_t m_total;
    size_t m_done = 0;
    bool m_active;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace zendb
