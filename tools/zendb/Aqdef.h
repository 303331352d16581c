// Writer of the AQDEF transfer format (K-field text files, ".dfq") that
// statistics tools read: part fields, characteristics and one value line set
// per measured run. Takes plain records, so that it knows nothing of the
// database and its output can be checked byte by byte.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zendb {

// One characteristic (K2xxx). Numbers are written with `decimals` places.
struct CAqdefCharacteristic {
    std::string description;            // K2002, e.g. "CHD 550 HV1"
    std::string unit;                   // K2142: "mm", "HV", "HK"
    int decimals = 3;                   // K2022, 0 .. 9
    std::optional<double> nominal;      // K2101
    std::optional<double> lower;        // K2110
    std::optional<double> upper;        // K2111
};

// The date and time of a measurement, local time, as the station shows it.
struct CAqdefTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// One run: a value per characteristic of its part (same order and count).
struct CAqdefRecord {
    std::vector<std::optional<double>> values;  // nullopt: no result (attribute 255)
    std::optional<CAqdefTime> measured;         // K0004; nullopt: not written
    std::string workOrder;                      // K0006
    std::string operatorName;                   // K0008
    std::string tester;                         // K0012
    std::string sampleId;                       // K0014; also names the record in losses
};

// One part block: the part fields, then its characteristics, then the values.
struct CAqdefPart {
    std::string partNumber;             // K1001
    std::string partDescription;        // K1002
    std::string station;                // K1082
    std::string operation;              // K1086
    std::string sampleId;               // the sample the part fields come from (names it in losses)
    std::vector<CAqdefCharacteristic> characteristics;
    std::vector<CAqdefRecord> records;
};

// A text that could not be written as it stands: a character the encoding
// has no place for (or bytes that are not UTF-8) became '?', a control
// character (line break, tab, ...) a blank.
struct CAqdefLoss {
    std::string sampleId;   // the sample the text belongs to; empty for the station's own texts
    std::string key;        // "K1001", "K0008", ...
    std::string text;       // the text as given (UTF-8)
};

// The whole file: each part block opens with "K0100 <number of its
// characteristics>", numbers its part fields /1 and its characteristics
// from /1; every line ends in CR LF; texts are in Windows-1252 (the Latin-1
// letters and the few signs of 0x80..0x9F such as the euro sign). Empty
// texts and missing dates leave their line out. A value without a result is
// written "K0001/n 0" with "K0002/n 255", so a reader that honours the
// attribute leaves it out of its statistics. Each text changed on the way
// is appended to `losses` (when given). Throws std::invalid_argument when a
// record's value count differs from its part's characteristics or a value
// or limit is not finite.
std::string WriteAqdef(const std::vector<CAqdefPart>& parts, std::vector<CAqdefLoss>* losses = nullptr);

// "0.512", "550.0", "-1.250": fixed decimals with a point, whatever the
// locale; "0.000" rather than "-0.000". Throws std::invalid_argument for a
// value that is not finite or decimals outside 0 .. 9.
std::string FormatAqdefNumber(double value, int decimals);

// "07.12.2026/14:05:09".
std::string FormatAqdefTime(const CAqdefTime& time);

// The text in Windows-1252 with '?' for what it cannot carry and a blank for
// each control character; `changed` (when given) tells whether anything was
// replaced.
std::string ToWindows1252(const std::string& utf8, bool* changed = nullptr);

} // namespace zendb
