// Reading made indents from a CSV file: one row per indent with its depth
// from the edge (mm), distance from the axis (mm), diagonals D1 and D2 (µm),
// indentor (Vickers/Knoop), test load (gf) and optionally the lane. Every
// row is checked before anything is stored; bad rows are reported with
// their line and column numbers. Files are read as a stream within limits.
#pragma once

#include "hardness/HardnessTypes.h"

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace zendb {

struct CCsvIndent {
    int line = 0;               // line number in the file (1-based)
    double depth = 0.0;         // mm from the edge
    std::optional<double> axis; // mm from the axis; nullopt when not given
    double d1 = 0.0;            // µm (the long diagonal for Knoop)
    double d2 = 0.0;            // µm (0 when not given for Knoop)
    IndentorType indentor = Vickers;
    double load = 0.0;          // gf
    int lane = 0;               // 1-based; 0 when not given
};

struct CCsvProblem {
    int line = 0;
    std::string text;
};

struct CCsvResult {
    std::vector<CCsvIndent> indents;
    std::vector<CCsvProblem> problems;
    int axisColumn = 0;         // 1-based column of the axis; 0: none
    int laneColumn = 0;         // 1-based column of the lane; 0: none
};

// Limits of what is read: a file (or standard input) larger than this is
// refused, and so is a line longer than kCsvMaxLineBytes.
constexpr std::size_t kCsvMaxFileBytes = std::size_t{64} << 20;    // 64 MiB
constexpr std::size_t kCsvMaxLineBytes = 4096;
// Reading stops after this many bad rows (the rest are not looked at).
constexpr std::size_t kCsvMaxProblems = 1000;

// Plausible values of a row; outside them the row is refused.
constexpr double kCsvMinLoad = 1.0;             // gf
constexpr double kCsvMaxLoad = 100000.0;        // gf (100 kgf)
constexpr double kCsvMaxDiagonal = 10000.0;     // µm (10 mm)
constexpr double kCsvMaxPosition = 100.0;       // mm, depth and axis
constexpr int kCsvMaxLane = 100;

// Parses CSV text. Accepted:
//  - separators ',', ';' or tab (the one the first data line uses most);
//    with ';' or tab a decimal comma is accepted as well;
//  - '#' comment lines and blank lines anywhere;
//  - a header line naming the columns (any order, any letter case, units in
//    brackets or after '_' ignored): depth | distance from edge, axis |
//    distance from axis, D1, D2, indentor, load | test load, lane;
//    without a header the columns are in that order (lane optional);
//  - indentor as V, Vickers, HV or 1, and K, Knoop, HK or 2; one indentor
//    for all rows (a row whose indentor differs from the first row's is bad);
//  - numbers written in decimal only ("12", "-0.5", "1.5e2"; not "0x32",
//    "inf", "nan"), within the plausible values above.
// Problems name the line, the column and what is wrong; a file without data
// rows is a problem of line 0. Reading stops at a line longer than
// kCsvMaxLineBytes, after kCsvMaxFileBytes, or after kCsvMaxProblems bad rows.
CCsvResult ParseIndentCsv(std::istream& in);
CCsvResult ParseIndentCsv(const std::string& text);
// Reads the file ("-": standard input) and parses it. A path that is not a
// regular file (a device, a folder, a named pipe), a file larger than
// kCsvMaxFileBytes or one that cannot be opened is a problem of line 0.
CCsvResult ReadIndentCsv(const std::string& path);

} // namespace zendb
