// Reading made indents from a CSV file (see CsvImport.h). Parsing is strict
// about values (a row that cannot be stored as it stands is refused) and
// lenient about layout (separator, header names, units in the header).
#include "CsvImport.h"
#include "Tr.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A number as people write it in decimal: optional sign, digits with an
// optional point, optional exponent. strtod alone would also take "0x32",
// "inf", "nan" and "infinity".
bool IsDecimal(const std::string& text)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t exponent = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++exponent;
        }
        if (exponent == 0)
            return false;
    }
    return i == text.size();
}

// A finite decimal number; false for anything else, also for one that
// overflows or underflows a double.
bool ParseNumber(std::string text, bool decimalComma, double& value)
{
    if (decimalComma)
        std::replace(text.begin(), text.end(), ',', '.');
    if (!IsDecimal(text))
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

// Lines of a stream within the limits, read in blocks (a stream without a
// line break, such as /dev/zero, ends at the line limit, an endless one at
// the size limit).
class CLineReader {
public:
    explicit CLineReader(std::istream& in)
        : m_in(in)
    {
    }

    // The next line without its '\n'. False at the end of the input, and
    // when a limit is hit (Problem() then says which).
    bool Next(std::string& line, int lineNumber)
    {
        line.clear();
        for (;;) {
            if (m_at == m_end && !Fill())
                return m_problem.empty() && !line.empty();
            const char* begin = m_buffer.data() + m_at;
            const char* stop = m_buffer.data() + m_end;
            const char* newline = static_cast<const char*>(std::memchr(begin, '\n', static_cast<size_t>(stop - begin)));
            const char* last = newline != nullptr ? newline : stop;
            line.append(begin, last);
            m_at += static_cast<size_t>(last - begin) + (newline != nullptr ? 1 : 0);
            if (line.size() > kCsvMaxLineBytes) {
                m_problem = TrF("line %s is longer than %s bytes", lineNumber, kCsvMaxLineBytes);
                return false;
            }
            if (newline != nullptr)
                return true;
        }
    }

    const std::string& Problem() const { return m_problem; }

private:
    bool Fill()
    {
        if (!m_problem.empty() || !m_in)
            return false;
        m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_at = 0;
        m_end = static_cast<size_t>(m_in.gcount());
        m_total += m_end;
        if (m_total > kCsvMaxFileBytes) {
            m_problem = TrF("the input is larger than %s MiB", kCsvMaxFileBytes >> 20);
            m_end = 0;
            return false;
        }
        return m_end > 0;
    }

    std::istream& m_in;
    std::vector<char> m_buffer = std::vector<char>(65536);
    size_t m_at = 0;
    size_t m_end = 0;
    size_t m_total = 0;
    std::string m_problem;
};

std::string Column(const char* name, int index)
{
    return TrF("%s (column %s)", name, index + 1);
}

} // namespace

CCsvResult ParseIndentCsv(std::istream& in)
{
    CCsvResult result;
    std::string raw;
    int lineNumber = 0;
    bool layoutKnown = false;
    char separator = ',';
    int columns[kColumnCount];
    std::fill(std::begin(columns), std::end(columns), -1);
    size_t width = 0;
    CLineReader reader(in);
    // The indentor of the first row that names one: every row must name it.
    std::optional<IndentorType> runIndentor;
    int runIndentorLine = 0;

    while (reader.Next(raw, lineNumber + 1)) {
        ++lineNumber;
        if (result.problems.size() >= kCsvMaxProblems) {
            result.problems.push_back(
                {0, TrF("more than %s bad rows; reading stopped at line %s", kCsvMaxProblems, lineNumber)});
            return result;
        }
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
                        result.problems.push_back(
                            {lineNumber,
                             TrF("unknown column '%s' (known: depth, axis, D1, D2, indentor, load, lane)", fields[i])});
                        continue;
                    }
                    if (columns[column] >= 0)
                        result.problems.push_back({lineNumber, TrF("column %s named twice", kColumnNames[column])});
                    columns[column] = static_cast<int>(i);
                }
                for (EColumn needed : {kDepth, kD1, kIndentor, kLoad})
                    if (columns[needed] < 0)
                        result.problems.push_back(
                            {lineNumber, TrF("the header has no column %s", kColumnNames[needed])});
                width = fields.size();
                if (!result.problems.empty())
                    return result;
                result.axisColumn = columns[kAxis] + 1;
                result.laneColumn = columns[kLane] + 1;
                continue;
            }
            // No header: the columns in their documented order.
            for (int c = 0; c < kColumnCount; ++c)
                columns[c] = c;
            width = 0;
            result.axisColumn = kAxis + 1;
            result.laneColumn = kLane + 1;
        }

        const auto fields = SplitLine(line, separator);
        auto field = [&](EColumn column) -> std::string {
            const int index = columns[column];
            return index >= 0 && static_cast<size_t>(index) < fields.size() ? fields[static_cast<size_t>(index)]
                                                                            : std::string();
        };
        auto name = [&](EColumn column) { return Column(kColumnNames[column], columns[column]); };
        std::vector<std::string> errors;
        if (width > 0 && fields.size() > width)
            errors.push_back(Tr("more fields than the header names"));
        if (width == 0 && (fields.size() < 6 || fields.size() > 7))
            errors.push_back(
                TrF("expected 6 or 7 fields (depth, axis, D1, D2, indentor, load[, lane]), found %s", fields.size()));
        CCsvIndent indent;
        indent.line = lineNumber;
        const bool comma = separator != ',';
        if (errors.empty()) {
            if (!ParseNumber(field(kDepth), comma, indent.depth) || indent.depth < 0.0 ||
                indent.depth > kCsvMaxPosition)
                errors.push_back(
                    TrF("%s must be a decimal number from 0 to 100 mm, not '%s'", name(kDepth), field(kDepth)));
            if (const std::string axis = field(kAxis); !axis.empty()) {
                double value = 0.0;
                if (!ParseNumber(axis, comma, value) || value < 0.0 || value > kCsvMaxPosition)
                    errors.push_back(TrF("%s must be a decimal number from 0 to 100 mm, not '%s'", name(kAxis), axis));
                else
                    indent.axis = value;
            }
            if (!ParseIndentor(field(kIndentor), indent.indentor)) {
                errors.push_back(TrF("%s must be Vickers or Knoop, not '%s'", name(kIndentor), field(kIndentor)));
            } else if (!runIndentor) {
                runIndentor = indent.indentor;
                runIndentorLine = lineNumber;
            } else if (indent.indentor != *runIndentor) {
                // A run holds indents of one indentor.
                errors.push_back(TrF("%s %s differs from %s of line %s; a run holds indents of one indentor",
                                     name(kIndentor), indent.indentor == Knoop ? "Knoop" : "Vickers",
                                     indent.indentor == Knoop ? "Vickers" : "Knoop", runIndentorLine));
            }
            if (!ParseNumber(field(kD1), comma, indent.d1) || indent.d1 <= 0.0 || indent.d1 > kCsvMaxDiagonal)
                errors.push_back(TrF("%s must be a decimal number above 0 and at most 10000 µm, not '%s'", name(kD1),
                                     field(kD1)));
            // Knoop hardness needs only the long diagonal; the short one may
            // be left out (or 0).
            const std::string d2 = field(kD2);
            const bool knoop = indent.indentor == Knoop;
            if (d2.empty() && knoop)
                indent.d2 = 0.0;
            else if (!ParseNumber(d2, comma, indent.d2) || indent.d2 < 0.0 || (!knoop && indent.d2 == 0.0) ||
                     indent.d2 > kCsvMaxDiagonal)
                errors.push_back(
                    knoop ? TrF("%s must be a decimal number above 0 and at most 10000 µm (or empty for Knoop), not "
                                "'%s'",
                                name(kD2), d2)
                          : TrF("%s must be a decimal number above 0 and at most 10000 µm, not '%s'", name(kD2), d2));
            if (!ParseNumber(field(kLoad), comma, indent.load) || indent.load < kCsvMinLoad ||
                indent.load > kCsvMaxLoad)
                errors.push_back(
                    TrF("%s must be a decimal number from 1 to 100000 gf, not '%s'", name(kLoad), field(kLoad)));
            if (const std::string lane = field(kLane); !lane.empty()) {
                double value = 0.0;
                if (!ParseNumber(lane, false, value) || value < 1.0 || value > kCsvMaxLane ||
                    value != std::floor(value))
                    errors.push_back(TrF("%s must be a whole number from 1 to 100, not '%s'", name(kLane), lane));
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
    if (!reader.Problem().empty()) {
        // What was read is not the whole input: nothing of it is imported.
        result.problems.insert(result.problems.begin(), {0, reader.Problem()});
        return result;
    }
    if (result.indents.empty() && result.problems.empty())
        result.problems.push_back({0, Tr("no indents in the file")});
    return result;
}

CCsvResult ParseIndentCsv(const std::string& text)
{
    std::istringstream in(text);
    return ParseIndentCsv(in);
}

namespace {

// A read-only stream over a file descriptor (not owned).
class CFdStreamBuf : public std::streambuf {
public:
    explicit CFdStreamBuf(int fd)
        : m_fd(fd)
    {
    }

protected:
    int_type underflow() override
    {
        for (;;) {
            const ssize_t got = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (got > 0) {
                setg(m_buffer, m_buffer, m_buffer + got);
                return traits_type::to_int_type(m_buffer[0]);
            }
            if (got < 0 && errno == EINTR)
                continue;
            return traits_type::eof();
        }
    }

private:
    int m_fd;
    char m_buffer[65536];
};

CCsvResult ProblemOfFile(const std::string& text)
{
    CCsvResult result;
    result.problems.push_back({0, text});
    return result;
}

} // namespace

CCsvResult ReadIndentCsv(const std::string& path)
{
    if (path == "-") {
        CFdStreamBuf buffer(STDIN_FILENO);
        std::istream in(&buffer);
        return ParseIndentCsv(in);
    }
    // Opened without blocking, so that a named pipe nobody writes to cannot
    // hold the tool; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ProblemOfFile(TrF("cannot read '%s': %s", path, std::strerror(errno)));
    struct CCloser {
        int fd;
        ~CCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return ProblemOfFile(TrF("cannot read '%s': %s", path, std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return ProblemOfFile(TrF("'%s' is not a regular file (give a file, or - for standard input)", path));
    if (static_cast<unsigned long long>(info.st_size) > kCsvMaxFileBytes)
        return ProblemOfFile(TrF("'%s' is larger than %s MiB", path, kCsvMaxFileBytes >> 20));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    CFdStreamBuf buffer(fd);
    std::istream in(&buffer);
    return ParseIndentCsv(in);
}

} // namespace zendb
