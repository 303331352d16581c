// Quoting of text values and the stored date-time text.
#include "framework/sql/SqlText.h"

#include "framework/sql/internal/SqlDates.h"

#include <ctime>
#include <string>

CString SqlQuote(const CString& text)
{
    CString out = text;
    out.Replace("'", "''");
    return out;
}

CString SqlDateTimeText(const CTime& t)
{
    if (t.GetTime() == 0)
        return CString();
    // Every written date comes here: the fixed layout is put together
    // directly rather than through strftime and its growing buffer. Years of
    // other than four digits keep strftime's spelling.
    std::tm tm{};
    const time_t tt = static_cast<time_t>(t.GetTime());
    if (localtime_r(&tt, &tm) == nullptr || tm.tm_year + 1900 < 1000 || tm.tm_year + 1900 > 9999)
        return t.Format("%Y-%m-%d %H:%M:%S");
    std::string text(19, ' ');
    auto two = [&](size_t at, int value) {
        text[at] = static_cast<char>('0' + value / 10);
        text[at + 1] = static_cast<char>('0' + value % 10);
    };
    const int year = tm.tm_year + 1900;
    two(0, year / 100);
    two(2, year % 100);
    text[4] = '-';
    two(5, tm.tm_mon + 1);
    text[7] = '-';
    two(8, tm.tm_mday);
    two(11, tm.tm_hour);
    text[13] = ':';
    two(14, tm.tm_min);
    text[16] = ':';
    two(17, tm.tm_sec);
    return CString(std::move(text));
}

BOOL ParseSqlDateTimeText(const char* text, CTime& t)
{
    CDateParts p;
    if (text == nullptr || !ParseStoredDateTime(text, p))
        return FALSE;
    t = CTime(p.year, p.month, p.day, p.hour, p.minute, p.second);
    return TRUE;
}
