// Quoting of text values and the stored date-time text.
#include "framework/sql/SqlText.h"

#include "framework/sql/internal/SqlDates.h"

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
    return t.Format("%Y-%m-%d %H:%M:%S");
}

BOOL ParseSqlDateTimeText(const char* text, CTime& t)
{
    CDateParts p;
    if (text == nullptr || !ParseStoredDateTime(text, p))
        return FALSE;
    t = CTime(p.year, p.month, p.day, p.hour, p.minute, p.second);
    return TRUE;
}
