// Value conversions of the recordsets.
#include "framework/sql/internal/SqlConvert.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

bool SqlValueToInt64(const CSqlValue& value, int64_t& out)
{
    switch (value.GetType()) {
    case CSqlValue::Type::Null: out = 0; return true;
    case CSqlValue::Type::Integer: out = value.GetInteger(); return true;
    case CSqlValue::Type::Real: {
        const double d = std::trunc(value.GetReal());
        if (!std::isfinite(d) || d < -9.2233720368547758e18 || d >= 9.2233720368547758e18)
            return false;
        out = static_cast<int64_t>(d);
        return true;
    }
    case CSqlValue::Type::Text: {
        const char* text = value.GetText().c_str();
        char* end = nullptr;
        const double d = std::strtod(text, &end);
        if (end == text) {
            out = 0;
            return true;
        }
        return SqlValueToInt64(CSqlValue::Real(d), out);
    }
    case CSqlValue::Type::Blob: return false;
    }
    return false;
}

double SqlValueToDouble(const CSqlValue& value)
{
    switch (value.GetType()) {
    case CSqlValue::Type::Integer: return static_cast<double>(value.GetInteger());
    case CSqlValue::Type::Real: return value.GetReal();
    case CSqlValue::Type::Text: return std::strtod(value.GetText().c_str(), nullptr);
    default: return 0.0;
    }
}

std::string SqlValueToText(const CSqlValue& value)
{
    char buffer[64];
    switch (value.GetType()) {
    case CSqlValue::Type::Integer: return std::to_string(value.GetInteger());
    case CSqlValue::Type::Real:
        std::snprintf(buffer, sizeof buffer, "%.15g", value.GetReal());
        return buffer;
    case CSqlValue::Type::Text: return value.GetText();
    case CSqlValue::Type::Blob: return std::string(value.GetBlob().begin(), value.GetBlob().end());
    case CSqlValue::Type::Null: break;
    }
    return std::string();
}

std::vector<uint8_t> SqlValueToBytes(const CSqlValue& value)
{
    if (value.GetType() == CSqlValue::Type::Blob)
        return value.GetBlob();
    const std::string text = SqlValueToText(value);
    return std::vector<uint8_t>(text.begin(), text.end());
}

namespace {

// Bytes of the character that starts at text[i]: a valid UTF-8 sequence, or
// the lead byte alone.
size_t CharacterLength(const std::string& text, size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    for (size_t k = 1; k < length; ++k)
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 1;
    return length;
}

} // namespace

std::string CutToCharacters(const std::string& text, int maxCharacters)
{
    if (maxCharacters <= 0)
        return text;
    size_t i = 0;
    int count = 0;
    while (i < text.size() && count < maxCharacters) {
        i += CharacterLength(text, i);
        ++count;
    }
    return text.substr(0, i);
}

size_t CountCharacters(const std::string& text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += CharacterLength(text, i))
        ++count;
    return count;
}
