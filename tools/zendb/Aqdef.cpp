// AQDEF writer (see Aqdef.h): K-field lines in Windows-1252 with CR LF.
#include "Aqdef.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace zendb {

namespace {

// The code points Windows-1252 puts at 0x80..0x9F (0: no character there).
constexpr char32_t kHighRow[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[at]; returns its length, or 0 for a
// byte that does not start a valid sequence (overlong forms, surrogates and
// values past U+10FFFF are not valid).
size_t DecodeUtf8(const std::string& text, size_t at, char32_t& code)
{
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    code = value;
    return length;
}

bool IsControl(char32_t code)
{
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F);
}

class CLines {
public:
    explicit CLines(std::vector<CAqdefLoss>* losses) : m_losses(losses) {}

    void Number(const char* key, const std::string& index, double value, int decimals)
    {
        Line(key, index, FormatAqdefNumber(value, decimals));
    }
    // A text field; left out when empty.
    void Text(const char* key, const std::string& index, const std::string& value, const std::string& sampleId)
    {
        if (value.empty())
            return;
        bool changed = false;
        const std::string encoded = ToWindows1252(value, &changed);
        if (changed && m_losses != nullptr)
            m_losses->push_back({sampleId, key, value});
        Line(key, index, encoded);
    }
    void Line(const char* key, const std::string& index, const std::string& value)
    {
        m_text += key;
        if (!index.empty())
            m_text += "/" + index;
        m_text += " " + value + "\r\n";
    }
    std::string Take() { return std::move(m_text); }

private:
    std::vector<CAqdefLoss>* m_losses;
    std::string m_text;
};

void WritePart(CLines& lines, const CAqdefPart& part)
{
    const size_t count = part.characteristics.size();
    lines.Line("K0100", "", std::to_string(count));
    lines.Text("K1001", "1", part.partNumber, part.sampleId);
    lines.Text("K1002", "1", part.partDescription, part.sampleId);
    lines.Text("K1082", "1", part.station, std::string());
    lines.Text("K1086", "1", part.operation, part.sampleId);
    for (size_t i = 0; i < count; ++i) {
        const CAqdefCharacteristic& c = part.characteristics[i];
        const std::string n = std::to_string(i + 1);
        lines.Line("K2001", n, n);
        lines.Text("K2002", n, c.description, part.sampleId);
        lines.Line("K2004", n, "0");
        lines.Line("K2022", n, std::to_string(c.decimals));
        if (c.nominal)
            lines.Number("K2101", n, *c.nominal, c.decimals);
        if (c.lower)
            lines.Number("K2110", n, *c.lower, c.decimals);
        if (c.upper)
            lines.Number("K2111", n, *c.upper, c.decimals);
        lines.Text("K2142", n, c.unit, part.sampleId);
    }
    for (const CAqdefRecord& record : part.records) {
        if (record.values.size() != count)
            throw std::invalid_argument("record of sample '" + record.sampleId + "' has " +
                                        std::to_string(record.values.size()) + " values for " +
                                        std::to_string(count) + " characteristics");
        for (size_t i = 0; i < count; ++i) {
            const std::string n = std::to_string(i + 1);
            const std::optional<double>& value = record.values[i];
            lines.Line("K0001", n, value ? FormatAqdefNumber(*value, part.characteristics[i].decimals) : "0");
            lines.Line("K0002", n, value ? "0" : "255");
            if (record.measured)
                lines.Line("K0004", n, FormatAqdefTime(*record.measured));
            lines.Text("K0006", n, record.workOrder, record.sampleId);
            lines.Text("K0008", n, record.operatorName, record.sampleId);
            lines.Text("K0012", n, record.tester, std::string());
            lines.Text("K0014", n, record.sampleId, record.sampleId);
        }
    }
}

} // namespace

std::string ToWindows1252(const std::string& utf8, bool* changed)
{
    std::string out;
    out.reserve(utf8.size());
    bool replaced = false;
    for (size_t at = 0; at < utf8.size();) {
        char32_t code = 0;
        const size_t length = DecodeUtf8(utf8, at, code);
        if (length == 0) {
            out += '?';
            replaced = true;
            ++at;
            continue;
        }
        at += length;
        if (IsControl(code)) {
            out += ' ';
            replaced = true;
        } else if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
        } else {
            char byte = '?';
            for (size_t i = 0; i < 32; ++i)
                if (kHighRow[i] == code)
                    byte = static_cast<char>(0x80 + i);
            replaced = replaced || byte == '?';
            out += byte;
        }
    }
    if (changed != nullptr)
        *changed = replaced;
    return out;
}

std::string FormatAqdefNumber(double value, int decimals)
{
    if (!std::isfinite(value))
        throw std::invalid_argument("a value that is not finite cannot be written");
    if (decimals < 0 || decimals > 9)
        throw std::invalid_argument("decimals must lie in 0 .. 9");
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string out(text, result.ptr);
    // A negative number that rounds to zero reads as zero.
    if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1);
    return out;
}

std::string FormatAqdefTime(const CAqdefTime& time)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d/%02d:%02d:%02d", time.day, time.month, time.year, time.hour,
                  time.minute, time.second);
    return text;
}

std::string WriteAqdef(const std::vector<CAqdefPart>& parts, std::vector<CAqdefLoss>* losses)
{
    CLines lines(losses);
    for (const CAqdefPart& part : parts) {
        for (const CAqdefCharacteristic& c : part.characteristics)
            for (const std::optional<double>& limit : {c.nominal, c.lower, c.upper})
                if (limit && !std::isfinite(*limit))
                    throw std::invalid_argument("characteristic '" + c.description + "' has a limit that is not finite");
        WritePart(lines, part);
    }
    return lines.Take();
}

} // namespace zendb
