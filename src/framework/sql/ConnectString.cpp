// Connection-string values: when a value needs braces, and how a '}' in it
// is written.
#include "framework/sql/ConnectString.h"

#include <cstring>
#include <string>

CString FormatConnectStringValue(const char* value)
{
    const std::string text = value ? value : "";
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    const bool needsBraces = text.find_first_of(";{}=") != std::string::npos ||
                             (!text.empty() && (isBlank(text.front()) || isBlank(text.back())));
    if (!needsBraces)
        return CString(text);
    std::string out = "{";
    for (char c : text) {
        out += c;
        if (c == '}')
            out += '}';
    }
    return CString(out + "}");
}
