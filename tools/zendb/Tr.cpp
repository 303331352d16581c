// Filling the fields of a translated format (see Tr.h): a translator's
// format may reorder the fields, so positions are honoured, and a broken
// translation must never make zendb fail or read past its arguments.
#include "Tr.h"

#include <cctype>

namespace zendb {

std::string FillFields(const char* format, const std::vector<std::string>& args)
{
    std::string out;
    if (format == nullptr)
        return out;
    size_t next = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            ++p;
            continue;
        }
        if (p[1] == 's') {
            if (next < args.size())
                out += args[next];
            ++next;
            ++p;
            continue;
        }
        // "%N$s": the N-th argument, counted from 1.
        const char* q = p + 1;
        size_t index = 0;
        while (std::isdigit(static_cast<unsigned char>(*q)) != 0 && index < 1000)
            index = index * 10 + static_cast<size_t>(*q++ - '0');
        if (q != p + 1 && q[0] == '$' && q[1] == 's') {
            if (index >= 1 && index <= args.size())
                out += args[index - 1];
            p = q + 1;
            continue;
        }
        out += '%';
    }
    return out;
}

} // namespace zendb
