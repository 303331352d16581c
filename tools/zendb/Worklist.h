// Reading a worklist of samples (from a LIMS or a spreadsheet) into columns
// and rows of values, before anything is known about the database: CSV with
// a header row, or JSON as 'zendb samples list --format json' writes it.
// What the columns mean and whether the values fit is the importer's affair.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zendb {

enum class EWorklistFormat { Csv, Json };

// One value as the file holds it. CSV has only texts (an empty field is an
// empty text); JSON also has null, numbers, true/false, and arrays or
// objects (Other), which no column of a sample can take.
struct CWorklistValue {
    enum class EKind { Null, Text, Integer, Real, Flag, Other };
    EKind kind = EKind::Null;
    std::string text;       // Text: the text; Integer, Real: as written in JSON
    bool flag = false;      // Flag: the value
};

struct CWorklistRow {
    // CSV: the line on which the record begins (the header is line 1);
    // JSON: the position of the entry in the array, from 1.
    int row = 0;
    std::vector<CWorklistValue> values;     // one per column; Null where a JSON entry lacks the key
    std::string problem;                    // a fault of the row's shape (empty: none)
};

struct CWorklist {
    std::vector<std::string> columns;       // header names as written (blanks at the ends removed)
    std::vector<CWorklistRow> rows;
};

// Largest worklist read, in bytes.
constexpr std::size_t kWorklistMaxBytes = std::size_t{16} << 20;   // 16 MiB

// The format a file name implies: ".csv" or ".json" in any letter case;
// nullopt for any other name.
std::optional<EWorklistFormat> WorklistFormatFromName(const std::string& path);

// Parses a worklist held in memory. name is used in messages only.
// CSV: RFC 4180 (fields in double quotes may hold separators, line breaks,
// and quotes written twice; "\r\n" or "\n" ends a record; "\r\n" inside a
// quoted field becomes "\n"); an optional UTF-8 byte order mark; the
// separator is ',' or ';', whichever the header uses more (',' on a tie);
// blank lines are passed over. A record with another number of fields than
// the header gets a problem, not an exception.
// JSON: an array of objects whose values are single values; the columns are
// the keys in the order they first appear. An entry that is no object gets a
// problem.
// Throws CToolError for text that cannot be read as a whole: not UTF-8 (the
// line and byte named), a NUL byte, a header that is missing or has an empty
// or repeated name, a quoted field not closed, JSON that does not parse or is
// no array, no data rows.
CWorklist ParseWorklist(const std::string& text, EWorklistFormat format, const std::string& name);

// Reads the file ("-": standard input) and parses it. CToolError for a file
// that cannot be opened or read, is no regular file (standard input may be a
// pipe) or is larger than kWorklistMaxBytes, besides the faults above.
CWorklist ReadWorklist(const std::string& path, EWorklistFormat format);

} // namespace zendb
