// Output of zendb: rendering of the table model as aligned text, JSON and CSV.
// Numbers are always written with '.' as decimal point, whatever the locale.
#include "Output.h"
#include "Tr.h"

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
        return m_flag ? Tr("yes") : Tr("no");
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

bool DecodeUtf8(const std::string& text, size_t pos, uint32_t& codePoint, size_t& length)
{
    length = 1;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        codePoint = lead;
        return true;
    }
    size_t count = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 2;
        value = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3;
        value = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4;
        value = lead & 0x07;
        least = 0x10000;
    } else {
        return false;
    }
    if (pos + count > text.size())
        return false;
    for (size_t i = 1; i < count; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (byte(pos + i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    codePoint = value;
    length = count;
    return true;
}

bool IsControl(uint32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

std::string Visible(const std::string& text, bool keepLineBreaks)
{
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        uint32_t codePoint = 0;
        size_t length = 1;
        const bool valid = DecodeUtf8(text, pos, codePoint, length);
        if (valid && (!IsControl(codePoint) || (keepLineBreaks && codePoint == '\n'))) {
            shown.append(text, pos, length);
        } else {
            for (size_t i = pos; i < pos + length; ++i) {
                const auto c = static_cast<unsigned char>(text[i]);
                shown += "\\x";
                shown += kHex[c >> 4];
                shown += kHex[c & 0x0F];
            }
        }
        pos += length;
    }
    return shown;
}

namespace {

// JSON escapes C0 controls itself but writes DEL and the C1 controls as they
// are; inside a JSON text these bytes can only stand in strings, where
// "\u00HH" means the same character.
std::string JsonVisible(const std::string& json)
{
    std::string shown;
    shown.reserve(json.size());
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        uint32_t codePoint = c;
        if (c == 0xC2 && i + 1 < json.size() && (static_cast<unsigned char>(json[i + 1]) & 0xE0) == 0x80)
            codePoint = static_cast<unsigned char>(json[++i]);
        else if (c != 0x7F) {
            shown += json[i];
            continue;
        }
        shown += "\\u00";
        shown += kHex[codePoint >> 4];
        shown += kHex[codePoint & 0x0F];
    }
    return shown;
}

} // namespace

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
        text += (c ? "," : "") + CsvQuote(Visible(m_names[c]));
    text += "\r\n";
    for (const auto& row : m_rows) {
        for (size_t c = 0; c < m_names.size(); ++c)
            text += (c ? "," : "") + CsvQuote(Visible(row[c].CsvText()));
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
        width[c] = DisplayWidth(Visible(m_headers[c]));
    for (size_t r = 0; r < m_rows.size(); ++r) {
        for (size_t c = 0; c < columns; ++c) {
            const CCell& cell = m_rows[r][c];
            // Control characters would break the alignment or drive the
            // terminal; they are shown as escapes.
            shown[r][c] = CutToWidth(Visible(cell.Display()), maxWidth);
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
        out += (c ? "  " : "") + pad(Visible(m_headers[c]), c, c + 1 == columns);
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
        text = JsonVisible(ToJson().dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)) + "\n";
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
    std::fwrite(text.data(), 1, text.size(), out);
}

void PrintLine(const std::string& text)
{
    const std::string shown = Visible(text, true);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fputc('\n', stdout);
}

void PrintJson(const nlohmann::ordered_json& document)
{
    // Texts from the database are not always valid UTF-8; such bytes become U+FFFD.
    const std::string text =
        JsonVisible(document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace zendb
