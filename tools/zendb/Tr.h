// The texts of zendb that a person reads, in the operator's language: looked
// up in the "zendb" message catalogue, the text as written here when the
// catalogue has no entry for it (or no catalogue is chosen).
//
// Marking for the catalogue (scripts/update-po.sh runs xgettext with these):
//   --keyword= --keyword=Tr --keyword=TrC:1c,2 --keyword=TrF --keyword=TrMark
//   --flag=TrF:1:c-format --flag=Tr:1:no-c-format --flag=TrC:2:no-c-format
//   --flag=TrMark:1:no-c-format
// Tr("text")             a plain text;
// TrC("context", "text") a text that needs a context to be translated (a word
//                        that reads differently in two places);
// TrF("format", ...)     a text with fields: the format is translated first,
//                        then filled. Fields are "%s" in order, or "%1$s",
//                        "%2$s"... when a language needs another order; "%%"
//                        is a percent sign. Every argument becomes text
//                        (numbers in full, as std::to_string writes them).
// TrMark("text")         marks a text in a table of constants; it is
//                        translated where it is shown, with Tr.
// Log lines, SQL, stored values and the keys of machine-readable output
// (JSON names, CSV headers) are never marked.
#pragma once

#include "ZENDatabase.h"

#include <string>
#include <type_traits>
#include <vector>

namespace zendb {

// Marks a text for the catalogue without translating it (see above).
constexpr const char* TrMark(const char* text)
{
    return text;
}

// The text in the operator's language; valid for the life of the process.
inline const char* Tr(const char* text)
{
    return ZenTranslate(kZendbTextDomain, nullptr, text);
}

// The same for a text in a context (the context is never shown).
inline const char* TrC(const char* context, const char* text)
{
    return ZenTranslate(kZendbTextDomain, context, text);
}

// Fills "%s" / "%N$s" fields of format with args in order (see above); a
// field without an argument stays empty, any other '%' sequence is kept as
// written. Never throws for a malformed format.
std::string FillFields(const char* format, const std::vector<std::string>& args);

namespace detail {
inline std::string FieldText(const std::string& value) { return value; }
inline std::string FieldText(const char* value) { return value != nullptr ? value : ""; }
inline std::string FieldText(const CString& value) { return value.Str(); }
template <class T>
    requires std::is_arithmetic_v<T>
std::string FieldText(T value)
{
    return std::to_string(value);
}
} // namespace detail

// The format translated, then filled with the arguments.
template <class... Args>
std::string TrF(const char* format, const Args&... args)
{
    return FillFields(Tr(format), {detail::FieldText(args)...});
}

} // namespace zendb
