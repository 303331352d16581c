// COleDateTime field checks and conversions to and from CTime.
#include "framework/COleDateTime.h"

#include <ctime>

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

} // namespace

COleDateTime::COleDateTime() = default;

COleDateTime::COleDateTime(const CTime& time)
{
    if (time.GetTime() == 0) {
        m_status = null;
        return;
    }
    std::tm tm{};
    const time_t tt = static_cast<time_t>(time.GetTime());
    localtime_r(&tt, &tm);
    SetDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime COleDateTime::GetCurrentTime()
{
    return COleDateTime(CTime::GetCurrentTime());
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const bool ok = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                    day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
                    minute <= 59 && second >= 0 && second <= 59;
    if (!ok) {
        m_status = invalid;
        return 1;
    }
    m_year = year;
    m_month = month;
    m_day = day;
    m_hour = hour;
    m_minute = minute;
    m_second = second;
    m_status = valid;
    return 0;
}

int COleDateTime::SetTime(int hour, int minute, int second)
{
    return SetDateTime(1899, 12, 30, hour, minute, second);
}

CTime COleDateTime::GetAsCTime() const
{
    if (m_status != valid)
        return CTime(0);
    return CTime(m_year, m_month, m_day, m_hour, m_minute, m_second);
}

CString COleDateTime::Format(const char* format) const
{
    if (m_status != valid || format == nullptr)
        return CString();
    std::tm tm{};
    tm.tm_year = m_year - 1900;
    tm.tm_mon = m_month - 1;
    tm.tm_mday = m_day;
    tm.tm_hour = m_hour;
    tm.tm_min = m_minute;
    tm.tm_sec = m_second;
    tm.tm_isdst = -1;
    // Fill in the day of week and year for %a, %j and friends without moving the fields.
    std::tm copy = tm;
    if (std::mktime(&copy) != static_cast<time_t>(-1)) {
        tm.tm_wday = copy.tm_wday;
        tm.tm_yday = copy.tm_yday;
        tm.tm_isdst = copy.tm_isdst;
    }
    char buffer[512];
    const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return CString(buffer, static_cast<int>(n));
}

long long COleDateTime::Key() const
{
    return ((((m_year * 13LL + m_month) * 32 + m_day) * 24 + m_hour) * 60 + m_minute) * 60 + m_second;
}

bool COleDateTime::operator==(const COleDateTime& other) const
{
    if (m_status != other.m_status)
        return false;
    return m_status != valid || Key() == other.Key();
}

bool COleDateTime::operator<(const COleDateTime& other) const
{
    return Key() < other.Key();
}
