// COleDateTime: a calendar date and time of day (local time, one-second
// resolution) with a status, as date pickers and a few interfaces hand them
// over. A null value stands for "no date"; an invalid one for a failed
// conversion or construction from impossible fields.
#pragma once

#include "framework/CTime.h"

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2, error = -1 };

    // Valid, 30 December 1899 00:00:00 (the zero of the original date type).
    COleDateTime();
    // The local date and time of a CTime; CTime 0 gives a null value.
    COleDateTime(const CTime& time);
    // From fields; invalid when they do not name a real date and time.
    COleDateTime(int year, int month, int day, int hour, int minute, int second);

    static COleDateTime GetCurrentTime();

    // Set the value from fields: 0 and status valid on success, 1 and status
    // invalid when the fields are out of range (month 1..12, day within month,
    // hour 0..23, minute and second 0..59, year 100..9999).
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }
    int SetTime(int hour, int minute, int second);

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    int GetYear() const { return m_year; }
    int GetMonth() const { return m_month; }
    int GetDay() const { return m_day; }
    int GetHour() const { return m_hour; }
    int GetMinute() const { return m_minute; }
    int GetSecond() const { return m_second; }

    // The same local date and time as a CTime; CTime 0 when the value is not valid.
    CTime GetAsCTime() const;
    // strftime conventions; empty text when the value is not valid.
    CString Format(const char* format) const;

    bool operator==(const COleDateTime& other) const;
    bool operator!=(const COleDateTime& other) const { return !(*this == other); }
    // Orders valid values by date and time.
    bool operator<(const COleDateTime& other) const;

private:
    long long Key() const;

    DateTimeStatus m_status = valid;
    int m_year = 1899;
    int m_month = 12;
    int m_day = 30;
    int m_hour = 0;
    int m_minute = 0;
    int m_second = 0;
};
