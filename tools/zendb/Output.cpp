// Output of zendb: rendering of the table model as aligned text, JSON and CSV.
// Numbers are always written with '.' as decimal point, whatever the locale.
#include "Output.h"

#include <cmath>
#include <cstdio>

namespace zendb {

CCell CCell::Real(double value, int decimals)
{
    CCell cell;
    if (!std::isfinite(value))
        return cell;
    cell.m_kind = EKind::Real;
    cell.m_real = value;
    cell.m_decimals = decimals;
    return cell;
}

CCell CCell::RealOrNull(double value, int decimals, bool missingBelowZero)
{
    if (missingBelowZero && value < 0.0)
        return CCell();
    return Real(value, decimals);
}

CCell CCell::Flag(bool value)
{
    CCell cell;
    cell.m_kind = EKind::Boolean;
    cell.m_flag = value;
    return cell;
}

std::string FormatFixed(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text(buffer);
    // "-0.00" reads as a negative number to people; it is zero.
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string CCell::Display() const
{
    switch (m_kind) {
    case EKind::Null:
        return std::string();
    case EKind::Text:
        return m_text;
    case EKind::Integer:
        return std::to_string(m_integer);
    case EKind::Real:
        return FormatFixed(m_real, m_decimals);
    case EKind::Boolean:
        return m_flag ? "yes" : "no";
    }
    return std::string();
}

std::string CCell::CsvText() const
{
    switch (m_kind) {
    case EKind::Null:
        return std::string();
    case EKind::Text:
        return m_text;
    case EKind::Integer:
        return std::to_string(m_integer);
    case EKind::Real: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.10g", m_real);
        return buffer;
    }
    case EKind::Boolean:
        return m_flag ? "true" : "false";
    }
    return std::string();
}

nlohmann::ordered_json CCell::Json() const
{
    switch (m_kind) {
    case EKind::Null:
        return nullptr;
    case EKind::Text:
        return m_text;
    case EKind::Integer:
        return m_integer;
    case EKind::Real:
        return m_real;
    case EKind::Boolean:
        return m_flag;
    }
    return nullptr;
}

size_t DisplayWidth(const std::string& text)
{
    size_t width = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++width;
    return width;
}

namespace {

// The first maxWidth characters of text, the last one replaced by "…" when
// text is longer. Cuts only between UTF-8 characters.
std::string CutToWidth(const std::string& text, size_t maxWidth)
{
    if (maxWidth < 2 || DisplayWidth(text) <= maxWidth)
        return text;
    size_t chars = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxWidth - 1)
                break;
            ++chars;
        }
    }
    return text.substr(0, i) + "\xE2\x80\xA6";
}

// Line breaks and tabs inside a cell would break the alignment.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return text;
}

} // namespace

std::string CsvQuote(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void COutputTable::AddColumn(const std::string& name, const std::string& header)
{
    m_names.push_back(name);
    m_headers.push_back(header.empty() ? name : header);
}

void COutputTable::AddRow(std::vector<CCell> row)
{
    row.resize(m_names.size());
    m_rows.push_back(std::move(row));
}

nlohmann::ordered_json COutputTable::ToJson() const
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const auto& row : m_rows) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (size_t c = 0; c < m_names.size(); ++c)
            object[m_names[c]] = row[c].Json();
        rows.push_back(std::move(object));
    }
    return rows;
}

std::string COutputTable::ToCsv() const
{
    std::string text;
    for (size_t c = 0; c < m_names.size(); ++c)
        text += (c ? "," : "") + CsvQuote(m_names[c]);
    text += "\r\n";
    for (const auto& row : m_rows) {
        for (size_t c = 0; c < m_names.size(); ++c)
            text += (c ? "," : "") + CsvQuote(row[c].CsvText());
        text += "\r\n";
    }
    return text;
}

std::string COutputTable::ToText(size_t maxWidth) const
{
    const size_t columns = m_names.size();
    std::vector<std::vector<std::string>> shown(m_rows.size(), std::vector<std::string>(columns));
    std::vector<size_t> width(columns);
    std::vector<bool> numeric(columns, true);
    for (size_t c = 0; c < columns; ++c)
        width[c] = DisplayWidth(m_headers[c]);
    for (size_t r = 0; r < m_rows.size(); ++r) {
        for (size_t c = 0; c < columns; ++c) {
            const CCell& cell = m_rows[r][c];
            shown[r][c] = CutToWidth(OneLine(cell.Display()), maxWidth);
            width[c] = std::max(width[c], DisplayWidth(shown[r][c]));
            if (cell.Kind() == CCell::EKind::Text || cell.Kind() == CCell::EKind::Boolean)
                numeric[c] = false;
        }
    }
    auto pad = [&](const std::string& text, size_t c, bool last) {
        const size_t fill = width[c] - DisplayWidth(text);
        if (numeric[c])
            return std::string(fill, ' ') + text;
        return last ? text : text + std::string(fill, ' ');
    };
    std::string out;
    for (size_t c = 0; c < columns; ++c)
        out += (c ? "  " : "") + pad(m_headers[c], c, c + 1 == columns);
    out += '\n';
    for (size_t c = 0; c < columns; ++c) {
        out += (c ? "  " : "");
        for (size_t i = 0; i < width[c]; ++i)
            out += '-';
    }
    out += '\n';
    for (const auto& row : shown) {
        std::string line;
        for (size_t c = 0; c < columns; ++c)
            line += (c ? "  " : "") + pad(row[c], c, c + 1 == columns);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + '\n';
    }
    return out;
}

void COutputTable::Print(EOutputFormat format, FILE* out, const char* emptyNote) const
{
    std::string text;
    switch (format) {
    case EOutputFormat::Json:
        text = ToJson().dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
        break;
    case EOutputFormat::Csv:
        text = ToCsv();
        break;
    case EOutputFormat::Table:
        if (m_rows.empty() && emptyNote != nullptr)
            text = std::string(emptyNote) + "\n";
        else
            text = ToText();
        break;
    }
    std::fputs(text.c_str(), out);
}

void PrintLine(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

void PrintJson(const nlohmann::ordered_json& document)
{
    // Texts from the database are not always valid UTF-8; such bytes become U+FFFD.
    const std::string text = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

} // namespace zendb
