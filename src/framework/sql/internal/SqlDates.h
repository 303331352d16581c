// Date texts of the SQL layer: the literals of the desktop-database dialect
// (# 3 / 5 / 2014 #, CDATE('2014-05-01 00:00:00')) and the stored form
// "YYYY-MM-DD HH:MM:SS" of date columns.
#pragma once

#include <string>
#include <string_view>

struct CDateParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A literal's text: "m/d/y" (also '-' or '.' between the parts, blanks
// around them, two-digit years 00-29 -> 20xx, 30-99 -> 19xx) or "yyyy-m-d"
// (also '/'), optionally followed by "h:mm[:ss]" and AM/PM. False for any
// other text and for impossible dates and times.
bool ParseDateLiteral(std::string_view text, CDateParts& out);

// The stored form: "YYYY-MM-DD", optionally followed by a blank or 'T' and
// "HH:MM" or "HH:MM:SS" (a fraction of seconds after it is ignored).
bool ParseStoredDateTime(std::string_view text, CDateParts& out);

// "YYYY-MM-DD HH:MM:SS".
std::string FormatStoredDateTime(const CDateParts& parts);
