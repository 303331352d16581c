// Parsing and formatting of the date texts of the SQL layer.
#include "framework/sql/internal/SqlDates.h"

#include <cctype>
#include <cstdio>

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool IsValid(const CDateParts& p)
{
    return p.year >= 100 && p.year <= 9999 && p.month >= 1 && p.month <= 12 && p.day >= 1 &&
           p.day <= DaysInMonth(p.year, p.month) && p.hour >= 0 && p.hour <= 23 && p.minute >= 0 &&
           p.minute <= 59 && p.second >= 0 && p.second <= 59;
}

// Small cursor over the text.
struct CScan {
    std::string_view s;
    size_t i = 0;
    void SkipBlanks()
    {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
    }
    // Reads 1..maxDigits digits; returns the digit count (0 when none).
    int Number(int& value, int maxDigits = 4)
    {
        value = 0;
        int count = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && count < maxDigits) {
            value = value * 10 + (s[i] - '0');
            ++i;
            ++count;
        }
        if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            return 0; // too many digits
        return count;
    }
    bool Accept(char c)
    {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return i >= s.size(); }
};

} // namespace

bool ParseDateLiteral(std::string_view text, CDateParts& out)
{
    CScan sc{text};
    int numbers[3];
    int digits[3];
    char separator = 0;
    sc.SkipBlanks();
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            sc.SkipBlanks();
            if (sc.AtEnd() || (text[sc.i] != '/' && text[sc.i] != '-' && text[sc.i] != '.'))
                return false;
            if (separator == 0)
                separator = text[sc.i];
            else if (text[sc.i] != separator)
                return false;
            ++sc.i;
            sc.SkipBlanks();
        }
        digits[k] = sc.Number(numbers[k]);
        if (digits[k] == 0)
            return false;
    }
    CDateParts p;
    if (digits[0] == 4) { // year first
        p.year = numbers[0];
        p.month = numbers[1];
        p.day = numbers[2];
        if (digits[1] > 2 || digits[2] > 2)
            return false;
    } else {
        if (digits[0] > 2 || digits[1] > 2 || digits[2] == 3)
            return false;
        p.month = numbers[0];
        p.day = numbers[1];
        p.year = numbers[2];
        if (digits[2] <= 2)
            p.year += p.year < 30 ? 2000 : 1900;
    }
    sc.SkipBlanks();
    if (!sc.AtEnd()) {
        if (sc.Number(p.hour, 2) == 0 || !sc.Accept(':') || sc.Number(p.minute, 2) != 2)
            return false;
        if (sc.Accept(':') && sc.Number(p.second, 2) != 2)
            return false;
        sc.SkipBlanks();
        if (!sc.AtEnd()) {
            const std::string_view rest = text.substr(sc.i);
            const bool am = rest == "AM" || rest == "am" || rest == "A.M." || rest == "a.m.";
            const bool pm = rest == "PM" || rest == "pm" || rest == "P.M." || rest == "p.m.";
            if ((!am && !pm) || p.hour < 1 || p.hour > 12)
                return false;
            if (am && p.hour == 12)
                p.hour = 0;
            else if (pm && p.hour != 12)
                p.hour += 12;
        }
    }
    if (!IsValid(p))
        return false;
    out = p;
    return true;
}

namespace {

// The stored form "YYYY-MM-DD HH:MM:SS" (or with 'T'), as every row written
// by the library holds it, read without the scanner: the result is the
// scanner's for these texts. False for every other text.
bool ParseUsualDateTime(std::string_view t, CDateParts& out)
{
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || (t[10] != ' ' && t[10] != 'T') || t[13] != ':' ||
        t[16] != ':')
        return false;
    const auto digits = [&t](size_t at, size_t n, int& value) {
        value = 0;
        for (size_t k = at; k < at + n; ++k) {
            const unsigned d = static_cast<unsigned char>(t[k]) - static_cast<unsigned>('0');
            if (d > 9)
                return false;
            value = value * 10 + static_cast<int>(d);
        }
        return true;
    };
    CDateParts p;
    if (!digits(0, 4, p.year) || !digits(5, 2, p.month) || !digits(8, 2, p.day) || !digits(11, 2, p.hour) ||
        !digits(14, 2, p.minute) || !digits(17, 2, p.second) || !IsValid(p))
        return false;
    out = p;
    return true;
}

} // namespace

bool ParseStoredDateTime(std::string_view text, CDateParts& out)
{
    if (ParseUsualDateTime(text, out))
        return true;
    CScan sc{text};
    CDateParts p;
    if (sc.Number(p.year, 4) != 4 || !sc.Accept('-') || sc.Number(p.month, 2) != 2 || !sc.Accept('-') ||
        sc.Number(p.day, 2) != 2)
        return false;
    if (!sc.AtEnd()) {
        if (!sc.Accept(' ') && !sc.Accept('T'))
            return false;
        if (sc.Number(p.hour, 2) != 2 || !sc.Accept(':') || sc.Number(p.minute, 2) != 2)
            return false;
        if (sc.Accept(':')) {
            if (sc.Number(p.second, 2) != 2)
                return false;
            if (sc.Accept('.')) {
                while (!sc.AtEnd() && std::isdigit(static_cast<unsigned char>(text[sc.i])))
                    ++sc.i;
            }
        }
        if (!sc.AtEnd())
            return false;
    }
    if (!IsValid(p))
        return false;
    out = p;
    return true;
}

std::string FormatStoredDateTime(const CDateParts& p)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buffer;
}
