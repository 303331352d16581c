// Reading made indents from a CSV file (see CsvImport.h). Parsing is strict
// about values (a row that cannot be stored as it stands is refused) and
// lenient about layout (separator, header names, units in the header).
#include "CsvImport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zendb {

namespace {

enum EColumn { kDepth, kAxis, kD1, kD2, kIndentor, kLoad, kLane, kColumnCount };

const char* const kColumnNames[kColumnCount] = {"depth", "axis", "D1", "D2", "indentor", "load", "lane"};

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\xEF\xBB\xBF");
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Splits one line at the separator; fields may be enclosed in double quotes
// (a doubled quote inside stands for one).
std::vector<std::string> SplitLine(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            fields.push_back(Trim(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(Trim(field));
    return fields;
}

// The column a header text names, or -1. "Depth [mm]", "d1_um", "Test load
// (gf)" and "ActualDistanceFromEdge" are all understood.
int HeaderColumn(std::string text)
{
    for (const char* open : {"[", "(", "/"})
        if (const size_t at = text.find(open); at != std::string::npos)
            text.erase(at);
    std::string key;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_')
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // A unit after an underscore ("depth_mm", "load_gf").
    if (const size_t at = key.rfind('_'); at != std::string::npos && at > 0) {
        const std::string unit = key.substr(at + 1);
        if (unit == "mm" || unit == "um" || unit == "gf" || unit == "g" || unit == "µm")
            key.erase(at);
    }
    key.erase(std::remove(key.begin(), key.end(), '_'), key.end());
    static const std::pair<const char*, EColumn> names[] = {
        {"depth", kDepth},
        {"distancefromedge", kDepth},
        {"actualdistancefromedge", kDepth},
        {"x", kDepth},
        {"axis", kAxis},
        {"distancefromaxis", kAxis},
        {"actualdistancefromaxis", kAxis},
        {"y", kAxis},
        {"d1", kD1},
        {"d2", kD2},
        {"indentor", kIndentor},
        {"actualtypeofindentor", kIndentor},
        {"load", kLoad},
        {"testload", kLoad},
        {"actualtestload", kLoad},
        {"lane", kLane},
        {"line", kLane},
    };
    for (const auto& [name, column] : names)
        if (key == name)
            return column;
    return -1;
}

bool ParseNumber(std::string text, bool decimalComma, double& value)
{
    if (decimalComma)
        std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseIndentor(const std::string& text, IndentorType& indentor)
{
    std::string key;
    for (char c : text)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key == "v" || key == "vickers" || key == "hv" || key == "1") {
        indentor = Vickers;
        return true;
    }
    if (key == "k" || key == "knoop" || key == "hk" || key == "2") {
        indentor = Knoop;
        return true;
    }
    return false;
}

char DetectSeparator(const std::string& line)
{
    const auto commas = std::count(line.begin(), line.end(), ',');
    const auto semicolons = std::count(line.begin(), line.end(), ';');
    const auto tabs = std::count(line.begin(), line.end(), '\t');
    if (tabs > commas && tabs >= semicolons)
        return '\t';
    if (semicolons > 0 && semicolons >= commas / 2)
        return ';';
    return ',';
}

} // namespace

CCsvResult ParseIndentCsv(const std::string& text)
{
    CCsvResult result;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    bool layoutKnown = false;
    char separator = ',';
    int columns[kColumnCount];
    std::fill(std::begin(columns), std::end(columns), -1);
    size_t width = 0;

    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (!layoutKnown) {
            layoutKnown = true;
            separator = DetectSeparator(line);
            const auto fields = SplitLine(line, separator);
            double number = 0.0;
            if (!ParseNumber(fields[0], separator != ',', number)) {
                // A header: every field must name a column, each at most once.
                for (size_t i = 0; i < fields.size(); ++i) {
                    const int column = HeaderColumn(fields[i]);
                    if (column < 0) {
                        result.problems.push_back({lineNumber, "unknown column '" + fields[i] +
                                                                   "' (known: depth, axis, D1, D2, indentor, load, lane)"});
                        continue;
                    }
                    if (columns[column] >= 0)
                        result.problems.push_back({lineNumber, "column " + std::string(kColumnNames[column]) +
                                                                   " named twice"});
                    columns[column] = static_cast<int>(i);
                }
                for (EColumn needed : {kDepth, kD1, kIndentor, kLoad})
                    if (columns[needed] < 0)
                        result.problems.push_back(
                            {lineNumber, "the header has no column " + std::string(kColumnNames[needed])});
                width = fields.size();
                if (!result.problems.empty())
                    return result;
                continue;
            }
            // No header: the columns in their documented order.
            for (int c = 0; c < kColumnCount; ++c)
                columns[c] = c;
            width = 0;
        }

        const auto fields = SplitLine(line, separator);
        auto field = [&](EColumn column) -> std::string {
            const int index = columns[column];
            return index >= 0 && static_cast<size_t>(index) < fields.size() ? fields[static_cast<size_t>(index)]
                                                                            : std::string();
        };
        std::vector<std::string> errors;
        if (width > 0 && fields.size() > width)
            errors.push_back("more fields than the header names");
        if (width == 0 && (fields.size() < 6 || fields.size() > 7))
            errors.push_back("expected 6 or 7 fields (depth, axis, D1, D2, indentor, load[, lane]), found " +
                             std::to_string(fields.size()));
        CCsvIndent indent;
        indent.line = lineNumber;
        const bool comma = separator != ',';
        if (errors.empty()) {
            if (!ParseNumber(field(kDepth), comma, indent.depth) || indent.depth < 0.0)
                errors.push_back("depth must be a number >= 0 (mm), not '" + field(kDepth) + "'");
            if (const std::string axis = field(kAxis); !axis.empty()) {
                double value = 0.0;
                if (!ParseNumber(axis, comma, value))
                    errors.push_back("axis must be a number (mm), not '" + axis + "'");
                else
                    indent.axis = value;
            }
            if (!ParseIndentor(field(kIndentor), indent.indentor))
                errors.push_back("indentor must be Vickers or Knoop, not '" + field(kIndentor) + "'");
            if (!ParseNumber(field(kD1), comma, indent.d1) || indent.d1 <= 0.0)
                errors.push_back("D1 must be a number > 0 (\xC2\xB5m), not '" + field(kD1) + "'");
            // Knoop hardness needs only the long diagonal; the short one may
            // be left out (or 0).
            const std::string d2 = field(kD2);
            const bool knoop = indent.indentor == Knoop;
            if (d2.empty() && knoop)
                indent.d2 = 0.0;
            else if (!ParseNumber(d2, comma, indent.d2) || indent.d2 < 0.0 || (!knoop && indent.d2 == 0.0))
                errors.push_back("D2 must be a number > 0 (\xC2\xB5m), not '" + d2 + "'");
            if (!ParseNumber(field(kLoad), comma, indent.load) || indent.load <= 0.0)
                errors.push_back("load must be a number > 0 (gf), not '" + field(kLoad) + "'");
            if (const std::string lane = field(kLane); !lane.empty()) {
                double value = 0.0;
                if (!ParseNumber(lane, false, value) || value < 1.0 || value > 100.0 || value != std::floor(value))
                    errors.push_back("lane must be a whole number from 1, not '" + lane + "'");
                else
                    indent.lane = static_cast<int>(value);
            }
        }
        if (!errors.empty()) {
            std::string textLine;
            for (const std::string& error : errors)
                textLine += (textLine.empty() ? "" : ", ") + error;
            result.problems.push_back({lineNumber, textLine});
            continue;
        }
        result.indents.push_back(indent);
    }
    if (result.indents.empty() && result.problems.empty())
        result.problems.push_back({0, "no indents in the file"});
    return result;
}

CCsvResult ReadIndentCsv(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        CCsvResult result;
        result.problems.push_back({0, "cannot read '" + path + "'"});
        return result;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseIndentCsv(text.str());
}

} // namespace zendb
