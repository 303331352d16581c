// CTime and CTimeSpan: points in time as 64-bit seconds since 1970 (UTC), broken
// down in local time by the C runtime (daylight saving included), and their
// differences. CTime 0 is the "no date" value of the stored records.
#pragma once

#include "framework/CString.h"

#include <cstdint>

using ZTIME = int64_t;

class CTimeSpan {
public:
    CTimeSpan() = default;
    explicit CTimeSpan(ZTIME seconds) : m_span(seconds) {}
    CTimeSpan(long long days, int hours, int minutes, int seconds);

    long long GetDays() const { return m_span / 86400; }
    long long GetTotalHours() const { return m_span / 3600; }
    int GetHours() const { return static_cast<int>(GetTotalHours() % 24); }
    long long GetTotalMinutes() const { return m_span / 60; }
    int GetMinutes() const { return static_cast<int>(GetTotalMinutes() % 60); }
    ZTIME GetTotalSeconds() const { return m_span; }
    int GetSeconds() const { return static_cast<int>(m_span % 60); }
    ZTIME GetTimeSpan() const { return m_span; }

    CTimeSpan operator+(CTimeSpan other) const { return CTimeSpan(m_span + other.m_span); }
    CTimeSpan operator-(CTimeSpan other) const { return CTimeSpan(m_span - other.m_span); }
    auto operator<=>(const CTimeSpan&) const = default;

private:
    ZTIME m_span = 0;
};

class CTime {
public:
    CTime() = default;
    CTime(ZTIME time) : m_time(time) {}
    // From local date and time; dst < 0 lets the C runtime decide whether
    // daylight saving applies, 0 or 1 states it. Fields out of range are
    // normalised as mktime does (month 13 is January of the next year).
    CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);

    static CTime GetCurrentTime();

    ZTIME GetTime() const { return m_time; }
    // Local-time fields (month 1..12, day of week 1 = Sunday .. 7 = Saturday).
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;

    // strftime conventions in local time ("%Y-%m-%d %H:%M:%S").
    CString Format(const char* format) const;
    // The same in UTC.
    CString FormatGmt(const char* format) const;

    CTime operator+(CTimeSpan span) const { return CTime(m_time + span.GetTimeSpan()); }
    CTime operator-(CTimeSpan span) const { return CTime(m_time - span.GetTimeSpan()); }
    CTimeSpan operator-(CTime other) const { return CTimeSpan(m_time - other.m_time); }
    CTime& operator+=(CTimeSpan span) { m_time += span.GetTimeSpan(); return *this; }
    CTime& operator-=(CTimeSpan span) { m_time -= span.GetTimeSpan(); return *this; }
    auto operator<=>(const CTime&) const = default;

private:
    ZTIME m_time = 0;
};
