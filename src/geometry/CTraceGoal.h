// The goal of a trace on the measuring stage: a rectangle giving the goal's
// position and a flag (32-bit, non-zero when the goal has been set).
// A default goal is the empty rectangle at the origin and not set.
#pragma once

#include "geometry/CRectangle.h"

#include <cstdint>

class CTraceGoal {
public:
    constexpr CTraceGoal() = default;

    // A copy of the goal rectangle (whether or not the goal is set).
    constexpr CRectangle Position() const { return m_Position; }
    // Assigns the rectangle and sets the flag to 1.
    constexpr void SetPosition(const CRectangle& position)
    {
        m_Position = position;
        m_IsSet = 1;
    }
    // The flag as stored: 0 when not set; SetPosition stores 1.
    constexpr int IsSet() const { return m_IsSet; }
    // Stores the flag as given, leaving the position unchanged.
    constexpr void SetIsSet(int isSet) { m_IsSet = isSet; }

private:
    CRectangle m_Position;
    int32_t m_IsSet = 0;
};
