// CString: the framework's byte string. Text is UTF-8; lengths and positions
// count bytes, as the single-byte texts of the station always did. Converts
// implicitly to const char* so that it can be passed to printf-style formats.
#pragma once

#include "framework/Types.h"

#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_s(text ? text : "") {}
    CString(const char* text, int length) : m_s(text ? std::string(text, static_cast<size_t>(length < 0 ? 0 : length)) : std::string()) {}
    CString(char ch, int repeat = 1) : m_s(static_cast<size_t>(repeat < 0 ? 0 : repeat), ch) {}
    CString(const std::string& text) : m_s(text) {}
    CString(std::string&& text) : m_s(std::move(text)) {}
    CString(std::string_view text) : m_s(text) {}

    // Length in bytes.
    int GetLength() const { return static_cast<int>(m_s.size()); }
    BOOL IsEmpty() const { return m_s.empty() ? TRUE : FALSE; }
    void Empty() { m_s.clear(); }

    // Byte at index; index must be inside the string.
    char GetAt(int index) const { return m_s[static_cast<size_t>(index)]; }
    void SetAt(int index, char ch) { m_s[static_cast<size_t>(index)] = ch; }
    char operator[](int index) const { return GetAt(index); }

    operator const char*() const { return m_s.c_str(); }
    const char* GetString() const { return m_s.c_str(); }
    const std::string& Str() const { return m_s; }
    std::string& StdString() { return m_s; }

    // printf-style formatting; replaces the content.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
    // printf-style formatting appended to the content.
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Loads the text of a string-table entry; FALSE (and an empty string) for
    // an unknown id.
    BOOL LoadString(UINT id);

    // Substrings. Counts and positions are clamped to the string.
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    // Searches; -1 when not found. A start beyond the end finds nothing.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    // Position of the first byte that is one of the given bytes.
    int FindOneOf(const char* charSet) const;

    // Replaces every non-overlapping occurrence, scanning left to right;
    // returns the number of replacements. An empty pattern replaces nothing.
    int Replace(const char* oldText, const char* newText);
    int Replace(char oldCh, char newCh);
    // Removes every occurrence of ch; returns how many were removed.
    int Remove(char ch);
    // Inserts at index (clamped); returns the new length.
    int Insert(int index, const char* text);
    int Insert(int index, char ch);
    // Deletes count bytes from index; returns the new length.
    int Delete(int index, int count = 1);

    // Trimming of white space (space, tab, CR, LF, VT, FF) or of given bytes.
    CString& TrimLeft();
    CString& TrimLeft(char target);
    CString& TrimLeft(const char* targets);
    CString& TrimRight();
    CString& TrimRight(char target);
    CString& TrimRight(const char* targets);
    CString& Trim();

    // ASCII case mapping; bytes of multi-byte characters stay as they are.
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    // <0, 0, >0 like strcmp; CompareNoCase folds ASCII letters only.
    int Compare(const char* other) const;
    int CompareNoCase(const char* other) const;

    CString& operator=(const char* text) { m_s = text ? text : ""; return *this; }
    CString& operator=(const std::string& text) { m_s = text; return *this; }
    CString& operator=(char ch) { m_s.assign(1, ch); return *this; }
    CString& operator+=(const CString& other) { m_s += other.m_s; return *this; }
    CString& operator+=(const char* text) { if (text) m_s += text; return *this; }
    CString& operator+=(char ch) { m_s += ch; return *this; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_s + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_s); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_s + b); }
    friend CString operator+(char a, const CString& b) { return CString(a + b.m_s); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }
    friend bool operator<(const CString& a, const char* b) { return a.m_s < std::string_view(b ? b : ""); }
    friend bool operator<(const char* a, const CString& b) { return std::string_view(a ? a : "") < b.m_s; }
    friend bool operator>(const CString& a, const CString& b) { return b < a; }
    friend bool operator<=(const CString& a, const CString& b) { return !(b < a); }
    friend bool operator>=(const CString& a, const CString& b) { return !(a < b); }

private:
    std::string m_s;
};

// Hash of a CString, so that it can key standard unordered containers.
template <>
struct std::hash<CString> {
    size_t operator()(const CString& s) const noexcept { return std::hash<std::string>()(s.Str()); }
};
