// Output of zendb: tables for people (aligned columns), JSON and CSV for
// programs, all from one table model whose column names are the stable field
// names (the database's column names where there is one).
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace zendb {

enum class EOutputFormat { Table, Json, Csv };

// One value of a table: nothing, a text, a whole number, a real number (shown
// with a fixed number of decimals to people, in full in JSON and CSV) or a flag.
class CCell {
public:
    enum class EKind { Null, Text, Integer, Real, Boolean };

    CCell() = default;
    CCell(const char* text) : m_kind(EKind::Text), m_text(text ? text : "") {}
    CCell(std::string text) : m_kind(EKind::Text), m_text(std::move(text)) {}
    CCell(int value) : m_kind(EKind::Integer), m_integer(value) {}
    CCell(int64_t value) : m_kind(EKind::Integer), m_integer(value) {}
    static CCell Real(double value, int decimals);
    // A real number, or Null for the library's "missing" marker (any value < 0
    // when missingBelowZero, as hardness numbers and depths use -1.0).
    static CCell RealOrNull(double value, int decimals, bool missingBelowZero = true);
    static CCell Flag(bool value);

    EKind Kind() const { return m_kind; }
    bool IsNull() const { return m_kind == EKind::Null; }
    // The text shown to people ("" for Null, "yes"/"no" for flags).
    std::string Display() const;
    // The text written to CSV (full precision, "true"/"false", "" for Null).
    std::string CsvText() const;
    nlohmann::ordered_json Json() const;

private:
    EKind m_kind = EKind::Null;
    std::string m_text;
    int64_t m_integer = 0;
    double m_real = 0.0;
    int m_decimals = 0;
    bool m_flag = false;
};

// Rows of cells under named columns. People see the headers (the names when
// no header was given); JSON is an array of objects keyed by the names, CSV
// has the names as its header line.
class COutputTable {
public:
    // name: stable field name; header: column title for people (empty: name).
    void AddColumn(const std::string& name, const std::string& header = std::string());
    void AddRow(std::vector<CCell> row);
    size_t RowCount() const { return m_rows.size(); }
    const std::vector<std::string>& Columns() const { return m_names; }

    nlohmann::ordered_json ToJson() const;
    std::string ToCsv() const;
    // Aligned columns; cells longer than maxWidth characters are cut with "…".
    std::string ToText(size_t maxWidth = 40) const;
    // Writes the table in the format to out (people get a note instead of an
    // empty table when emptyNote is given).
    void Print(EOutputFormat format, FILE* out, const char* emptyNote = nullptr) const;

private:
    std::vector<std::string> m_names;
    std::vector<std::string> m_headers;
    std::vector<std::vector<CCell>> m_rows;
};

// The character (code point) whose UTF-8 bytes begin at text[pos], with their
// count in length; false when the bytes there are no valid UTF-8 (overlong
// forms, surrogates, beyond U+10FFFF, a sequence cut short): length is then 1.
bool DecodeUtf8(const std::string& text, size_t pos, uint32_t& codePoint, size_t& length);
// Whether a code point is a control character: C0, DEL or C1.
bool IsControl(uint32_t codePoint);
// Text from the database made harmless for a terminal: each byte of a control
// character (C0, DEL, C1; a NUL too) and each byte that is not UTF-8 becomes
// "\xHH" (two lower-case hex digits). With keepLineBreaks, '\n' stays.
std::string Visible(const std::string& text, bool keepLineBreaks = false);

// Number of characters (UTF-8 code points) of a text, for alignment.
size_t DisplayWidth(const std::string& text);
// One CSV field, quoted when it holds a separator, quote or line break.
std::string CsvQuote(const std::string& text);
// Writes text followed by a line break to stdout.
void PrintLine(const std::string& text);
// Writes a JSON document (indented) to stdout.
void PrintJson(const nlohmann::ordered_json& document);
// "%.*f" of a value.
std::string FormatFixed(double value, int decimals);

} // namespace zendb
