// Identifier increment and word wrap over UTF-8 text.
#include "companions/StringUtilities.h"

#include <string>

namespace {

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// Continuation bytes of a UTF-8 sequence are not characters of their own.
bool StartsCharacter(char ch)
{
    return (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
}

// Byte length of the longest prefix of line[from..] holding at most count
// characters.
size_t PrefixBytes(const std::string& line, size_t from, int count)
{
    size_t i = from;
    int characters = 0;
    while (i < line.size()) {
        if (StartsCharacter(line[i])) {
            if (characters == count)
                break;
            ++characters;
        }
        ++i;
    }
    return i - from;
}

void WrapLine(const std::string& line, int width, std::string& out)
{
    size_t start = 0;
    bool first = true;
    while (true) {
        if (!first) {
            // Blanks at a break belong to neither line.
            while (start < line.size() && line[start] == ' ')
                ++start;
        }
        const size_t fit = PrefixBytes(line, start, width);
        if (start + fit >= line.size()) {
            if (first || start < line.size()) {
                if (!first)
                    out += '\n';
                out.append(line, start, std::string::npos);
            }
            return;
        }
        size_t cut;  // end of this line (exclusive)
        if (line[start + fit] == ' ') {
            cut = start + fit;
        } else {
            const size_t blank = line.rfind(' ', start + fit - 1);
            cut = (blank != std::string::npos && blank > start) ? blank : start + fit;
        }
        size_t end = cut;
        while (end > start && line[end - 1] == ' ')
            --end;
        if (!first)
            out += '\n';
        out.append(line, start, end - start);
        start = cut;
        first = false;
    }
}

} // namespace

CString IncLastNumberInString(const CString& text)
{
    std::string s = text.Str();
    size_t end = s.size();
    while (end > 0 && !IsDigit(s[end - 1]))
        --end;
    if (end == 0)
        return CString(s + "1");
    size_t begin = end;
    while (begin > 0 && IsDigit(s[begin - 1]))
        --begin;

    // Add one from the right; a carry out of the run's first digit widens it.
    size_t i = end;
    while (i > begin) {
        --i;
        if (s[i] != '9') {
            ++s[i];
            return CString(std::move(s));
        }
        s[i] = '0';
    }
    s.insert(begin, 1, '1');
    return CString(std::move(s));
}

CString WordWrapAtLength(const CString& text, int width)
{
    if (width < 1)
        return text;
    const std::string& s = text.Str();
    std::string out;
    size_t start = 0;
    while (true) {
        const size_t newline = s.find('\n', start);
        WrapLine(s.substr(start, newline == std::string::npos ? std::string::npos : newline - start), width, out);
        if (newline == std::string::npos)
            break;
        out += '\n';
        start = newline + 1;
    }
    return CString(std::move(out));
}
