// Reading a worklist of samples (see Worklist.h). The whole file is held in
// memory (it is small and bounded) and checked for UTF-8 before it is parsed,
// so a file saved in a legacy code page is refused as a whole instead of
// storing mangled names.
#include "Worklist.h"
#include "Output.h"
#include "Tool.h"
#include "Tr.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zendb {

namespace {

constexpr const char kBom[] = "\xEF\xBB\xBF";

std::string TrimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Refuses text that is no UTF-8 or holds a NUL byte, naming the first
// offending line and byte (both from 1).
void RequireUtf8Text(const std::string& text, const std::string& name)
{
    int line = 1;
    for (size_t pos = 0; pos < text.size();) {
        uint32_t codePoint = 0;
        size_t length = 1;
        if (!DecodeUtf8(text, pos, codePoint, length))
            throw CToolError(TrF("'%s' is not UTF-8 text (line %s, byte %s); save the worklist as UTF-8", name,
                                 line, pos + 1));
        if (codePoint == 0)
            throw CToolError(TrF("'%s' holds a NUL byte (line %s, byte %s); it is no text file", name, line,
                                 pos + 1));
        if (codePoint == '\n')
            ++line;
        pos += length;
    }
}

// The separator of the header line: ';' when it stands there more often than
// ',' outside quotes, else ','.
char HeaderSeparator(const std::string& text)
{
    size_t commas = 0;
    size_t semicolons = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

struct CRecord {
    int line = 0;
    std::vector<std::string> fields;
};

// The records of CSV text (RFC 4180; see Worklist.h). Blank lines give no
// record.
std::vector<CRecord> SplitRecords(const std::string& text, char separator, const std::string& name)
{
    std::vector<CRecord> records;
    CRecord record;
    std::string field;
    bool quoted = false;
    bool fieldStarted = false;   // the record has content (a blank line has none)
    int line = 1;
    int quoteLine = 0;
    record.line = 1;
    auto endRecord = [&] {
        if (fieldStarted || !record.fields.empty()) {
            record.fields.push_back(field);
            records.push_back(std::move(record));
        }
        record = CRecord();
        field.clear();
        fieldStarted = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                // The line break of the file's own convention becomes '\n'.
                field += '\n';
                ++i;
                ++line;
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty()) {
            // Only a quote that opens a field quotes it; elsewhere it is a
            // character of the text, as spreadsheets read it.
            quoted = true;
            quoteLine = line;
            fieldStarted = true;
        } else if (c == separator) {
            record.fields.push_back(field);
            field.clear();
            fieldStarted = true;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r')
                ++i;
            endRecord();
            ++line;
            record.line = line;
        } else {
            field += c;
            if (c != ' ' && c != '\t' && c != '\r')
                fieldStarted = true;
        }
    }
    if (quoted)
        throw CToolError(TrF("'%s': the quoted field opened on line %s is not closed", name, quoteLine));
    endRecord();
    return records;
}

CWorklist ParseCsv(const std::string& text, const std::string& name)
{
    const char separator = HeaderSeparator(text);
    std::vector<CRecord> records = SplitRecords(text, separator, name);
    if (records.empty())
        throw CToolError(TrF("'%s' is empty: a header line naming the columns is needed", name));
    CWorklist list;
    for (size_t c = 0; c < records.front().fields.size(); ++c) {
        const std::string column = TrimBlanks(records.front().fields[c]);
        if (column.empty())
            throw CToolError(TrF("'%s': column %s of the header has no name", name, c + 1));
        list.columns.push_back(column);
    }
    for (size_t r = 1; r < records.size(); ++r) {
        CWorklistRow row;
        row.row = records[r].line;
        const size_t count = records[r].fields.size();
        if (count != list.columns.size())
            row.problem = TrF("%s fields where the header has %s", count, list.columns.size());
        for (size_t c = 0; c < list.columns.size(); ++c) {
            CWorklistValue value;
            value.kind = CWorklistValue::EKind::Text;
            if (c < count)
                value.text = records[r].fields[c];
            row.values.push_back(std::move(value));
        }
        list.rows.push_back(std::move(row));
    }
    return list;
}

CWorklistValue ValueOf(const nlohmann::json& json)
{
    CWorklistValue value;
    using EKind = CWorklistValue::EKind;
    if (json.is_null()) {
        value.kind = EKind::Null;
    } else if (json.is_string()) {
        value.kind = EKind::Text;
        value.text = json.get<std::string>();
    } else if (json.is_boolean()) {
        value.kind = EKind::Flag;
        value.flag = json.get<bool>();
    } else if (json.is_number_integer()) {
        value.kind = EKind::Integer;
        value.text = json.dump();
    } else if (json.is_number()) {
        value.kind = EKind::Real;
        value.text = json.dump();
    } else {
        value.kind = EKind::Other;
    }
    return value;
}

CWorklist ParseJson(const std::string& text, const std::string& name)
{
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw CToolError(TrF("'%s' is not valid JSON: %s", name, e.what()));
    }
    if (!document.is_array())
        throw CToolError(TrF("'%s' holds no JSON array of samples", name));
    CWorklist list;
    for (const auto& entry : document)
        if (entry.is_object())
            for (auto it = entry.begin(); it != entry.end(); ++it)
                if (std::find(list.columns.begin(), list.columns.end(), it.key()) == list.columns.end())
                    list.columns.push_back(it.key());
    for (const std::string& column : list.columns)
        if (TrimBlanks(column).empty())
            throw CToolError(TrF("'%s': a key without name", name));
    int position = 0;
    for (const auto& entry : document) {
        CWorklistRow row;
        row.row = ++position;
        if (!entry.is_object())
            row.problem = Tr("the entry is no JSON object");
        for (const std::string& column : list.columns)
            row.values.push_back(entry.is_object() && entry.contains(column) ? ValueOf(entry[column])
                                                                              : CWorklistValue());
        list.rows.push_back(std::move(row));
    }
    return list;
}

} // namespace

std::optional<EWorklistFormat> WorklistFormatFromName(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return std::nullopt;
    const std::string extension = Lower(path.substr(dot + 1));
    if (extension == "csv")
        return EWorklistFormat::Csv;
    if (extension == "json")
        return EWorklistFormat::Json;
    return std::nullopt;
}

CWorklist ParseWorklist(const std::string& input, EWorklistFormat format, const std::string& name)
{
    RequireUtf8Text(input, name);
    const std::string text = input.compare(0, 3, kBom) == 0 ? input.substr(3) : input;
    CWorklist list = format == EWorklistFormat::Csv ? ParseCsv(text, name) : ParseJson(text, name);
    std::set<std::string> seen;
    for (const std::string& column : list.columns)
        if (!seen.insert(Lower(column)).second)
            throw CToolError(TrF("'%s': the column '%s' stands twice", name, column));
    if (list.rows.empty())
        throw CToolError(TrF("'%s' lists no samples", name));
    return list;
}

CWorklist ReadWorklist(const std::string& path, EWorklistFormat format)
{
    const bool standardInput = path == "-";
    const std::string name = standardInput ? std::string(Tr("standard input")) : path;
    // Opened without blocking, so that a named pipe nobody writes to cannot
    // hold the tool; only regular files (and standard input) are read.
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw CToolError(TrF("cannot read '%s': %s", path, std::strerror(errno)));
    struct CCloser {
        int fd;
        bool own;
        ~CCloser()
        {
            if (own)
                ::close(fd);
        }
    } closer{fd, !standardInput};
    if (!standardInput) {
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            throw CToolError(TrF("cannot read '%s': %s", path, std::strerror(errno)));
        if (!S_ISREG(info.st_mode))
            throw CToolError(TrF("'%s' is not a regular file (give a file, or - for standard input)", path));
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw CToolError(TrF("cannot read '%s': %s", name, std::strerror(errno)));
        if (got == 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
        if (text.size() > kWorklistMaxBytes)
            throw CToolError(TrF("'%s' is larger than %s MiB", name, kWorklistMaxBytes >> 20));
    }
    return ParseWorklist(text, format, name);
}

} // namespace zendb
