// Local-time conversion of CTime through the thread-safe C runtime calls.
#include "framework/CTime.h"

#include <ctime>

namespace {

std::tm Local(ZTIME t)
{
    std::tm out{};
    const time_t tt = static_cast<time_t>(t);
    localtime_r(&tt, &out);
    return out;
}

CString FormatTm(const std::tm& tm, const char* format)
{
    if (format == nullptr || *format == '\0')
        return CString();
    // strftime gives 0 both for "too small" and for an empty result; grow a few
    // times, then give up with an empty text.
    for (size_t size = 128; size <= 65536; size *= 4) {
        std::string buffer(size, '\0');
        const size_t n = std::strftime(buffer.data(), buffer.size(), format, &tm);
        if (n > 0) {
            buffer.resize(n);
            return CString(std::move(buffer));
        }
    }
    return CString();
}

} // namespace

CTimeSpan::CTimeSpan(long long days, int hours, int minutes, int seconds)
    : m_span(days * 86400 + hours * 3600LL + minutes * 60LL + seconds)
{
}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = dst < 0 ? -1 : (dst > 0 ? 1 : 0);
    m_time = static_cast<ZTIME>(std::mktime(&tm));
}

CTime CTime::GetCurrentTime()
{
    return CTime(static_cast<ZTIME>(std::time(nullptr)));
}

int CTime::GetYear() const { return Local(m_time).tm_year + 1900; }
int CTime::GetMonth() const { return Local(m_time).tm_mon + 1; }
int CTime::GetDay() const { return Local(m_time).tm_mday; }
int CTime::GetHour() const { return Local(m_time).tm_hour; }
int CTime::GetMinute() const { return Local(m_time).tm_min; }
int CTime::GetSecond() const { return Local(m_time).tm_sec; }
int CTime::GetDayOfWeek() const { return Local(m_time).tm_wday + 1; }

CString CTime::Format(const char* format) const
{
    return FormatTm(Local(m_time), format);
}

CString CTime::FormatGmt(const char* format) const
{
    std::tm out{};
    const time_t tt = static_cast<time_t>(m_time);
    gmtime_r(&tt, &out);
    return FormatTm(out, format);
}
