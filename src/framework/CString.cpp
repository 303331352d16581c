// Formatting, searching, replacing and trimming of CString.
#include "framework/CString.h"

#include "framework/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace {

constexpr const char* kWhiteSpace = " \t\r\n\v\f";

size_t Clamp(int value, size_t upper)
{
    if (value < 0)
        return 0;
    return std::min(static_cast<size_t>(value), upper);
}

std::string FormatToString(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

std::string FormatToString(const char* format, va_list args)
{
    if (format == nullptr)
        return std::string();
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return std::string();
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

} // namespace

void CString::FormatV(const char* format, va_list args)
{
    m_s = FormatToString(format, args);
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    m_s = FormatToString(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    m_s += FormatToString(format, args);
    va_end(args);
}

BOOL CString::LoadString(UINT id)
{
    return ZenLookupString(id, *this) ? TRUE : FALSE;
}

CString CString::Left(int count) const
{
    return CString(m_s.substr(0, Clamp(count, m_s.size())));
}

CString CString::Mid(int first) const
{
    return CString(m_s.substr(Clamp(first, m_s.size())));
}

CString CString::Mid(int first, int count) const
{
    const size_t start = Clamp(first, m_s.size());
    return CString(m_s.substr(start, Clamp(count, m_s.size() - start)));
}

CString CString::Right(int count) const
{
    const size_t n = Clamp(count, m_s.size());
    return CString(m_s.substr(m_s.size() - n));
}

int CString::Find(char ch, int start) const
{
    if (start < 0)
        start = 0;
    const size_t pos = m_s.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const
{
    if (sub == nullptr)
        return -1;
    if (start < 0)
        start = 0;
    if (static_cast<size_t>(start) > m_s.size())
        return -1;
    const size_t pos = m_s.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const
{
    const size_t pos = m_s.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* charSet) const
{
    if (charSet == nullptr || *charSet == '\0')
        return -1;
    const size_t pos = m_s.find_first_of(charSet);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (oldText == nullptr || *oldText == '\0')
        return 0;
    const std::string from(oldText);
    const std::string to(newText ? newText : "");
    std::string out;
    int count = 0;
    size_t pos = 0;
    for (;;) {
        const size_t hit = m_s.find(from, pos);
        if (hit == std::string::npos)
            break;
        out.append(m_s, pos, hit - pos);
        out += to;
        pos = hit + from.size();
        ++count;
    }
    if (count > 0) {
        out.append(m_s, pos, std::string::npos);
        m_s.swap(out);
    }
    return count;
}

int CString::Replace(char oldCh, char newCh)
{
    int count = 0;
    for (char& c : m_s)
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    return count;
}

int CString::Remove(char ch)
{
    const size_t before = m_s.size();
    m_s.erase(std::remove(m_s.begin(), m_s.end(), ch), m_s.end());
    return static_cast<int>(before - m_s.size());
}

int CString::Insert(int index, const char* text)
{
    m_s.insert(Clamp(index, m_s.size()), text ? text : "");
    return GetLength();
}

int CString::Insert(int index, char ch)
{
    m_s.insert(Clamp(index, m_s.size()), 1, ch);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    const size_t start = Clamp(index, m_s.size());
    m_s.erase(start, Clamp(count, m_s.size() - start));
    return GetLength();
}

CString& CString::TrimLeft() { return TrimLeft(kWhiteSpace); }
CString& CString::TrimRight() { return TrimRight(kWhiteSpace); }

CString& CString::TrimLeft(char target)
{
    const char set[2] = {target, '\0'};
    return TrimLeft(set);
}

CString& CString::TrimRight(char target)
{
    const char set[2] = {target, '\0'};
    return TrimRight(set);
}

CString& CString::TrimLeft(const char* targets)
{
    if (targets == nullptr)
        return *this;
    const size_t pos = m_s.find_first_not_of(targets);
    m_s.erase(0, pos == std::string::npos ? m_s.size() : pos);
    return *this;
}

CString& CString::TrimRight(const char* targets)
{
    if (targets == nullptr)
        return *this;
    const size_t pos = m_s.find_last_not_of(targets);
    m_s.erase(pos == std::string::npos ? 0 : pos + 1);
    return *this;
}

CString& CString::Trim()
{
    TrimRight();
    return TrimLeft();
}

CString& CString::MakeUpper()
{
    for (char& c : m_s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return *this;
}

CString& CString::MakeLower()
{
    for (char& c : m_s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return *this;
}

CString& CString::MakeReverse()
{
    std::reverse(m_s.begin(), m_s.end());
    return *this;
}

int CString::Compare(const char* other) const
{
    return std::strcmp(m_s.c_str(), other ? other : "");
}

int CString::CompareNoCase(const char* other) const
{
    // strcasecmp folds ASCII only in the C locale, which the library never changes.
    return ::strcasecmp(m_s.c_str(), other ? other : "");
}
