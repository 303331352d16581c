// Reading made indents from a CSV file: one row per indent with its depth
// from the edge (mm), distance from the axis (mm), diagonals D1 and D2 (µm),
// indentor (Vickers/Knoop), test load (gf) and optionally the lane. Every
// row is checked before anything is stored; bad rows are reported with
// their line numbers.
#pragma once

#include "hardness/HardnessTypes.h"

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
};

// Parses CSV text. Accepted:
//  - separators ',', ';' or tab (the one the first data line uses most);
//    with ';' or tab a decimal comma is accepted as well;
//  - '#' comment lines and blank lines anywhere;
//  - a header line naming the columns (any order, any letter case, units in
//    brackets or after '_' ignored): depth | distance from edge, axis |
//    distance from axis, D1, D2, indentor, load | test load, lane;
//    without a header the columns are in that order (lane optional);
//  - indentor as V, Vickers, HV or 1, and K, Knoop, HK or 2.
// Problems name the line and what is wrong; a file without data rows is a
// problem of line 0.
CCsvResult ParseIndentCsv(const std::string& text);
// Reads the file and parses it; a file that cannot be read is a problem of
// line 0.
CCsvResult ReadIndentCsv(const std::string& path);

} // namespace zendb
