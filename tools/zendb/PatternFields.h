// The fields of a test pattern by name (the Patterns columns), so that zendb
// can show every field and set any of them from the command line, the three
// presets for the usual evaluations (case hardening, surface hardening,
// nitriding), and readable names of the evaluation settings' values.
#pragma once

#include "Tool.h"

#include <string>
#include <vector>

namespace zendb {

struct CPatternField {
    enum class EKind { Integer, Flag, Real, Text };
    const char* name;
    EKind kind;
    int CZENDB_Pattern::*integer = nullptr;     // Integer and Flag (BOOL is a 32-bit int)
    double CZENDB_Pattern::*real = nullptr;
    CString CZENDB_Pattern::*text = nullptr;

    CCell Get(const CZENDB_Pattern& pattern) const;
    // Sets the field from its text ("true"/"false"/"1"/"0" for flags);
    // CUsageError for a value of the wrong kind.
    void Set(CZENDB_Pattern& pattern, const std::string& value) const;
};

// Every field of a pattern in declaration order (PatternID and Deleted
// included; they are shown but not set).
const std::vector<CPatternField>& PatternFields();
// The field of that name (any letter case); CUsageError otherwise.
const CPatternField& FindPatternField(const std::string& name);

// Names of the presets, and applying one to a pattern (layout, load and
// evaluation settings; the name and comment stay).
const std::vector<std::string>& PatternPresetNames();
void ApplyPatternPreset(CZENDB_Pattern& pattern, const std::string& preset);

// Every setting of the pattern against its meaning: enumerations within
// their values, limits, spacings and tolerances not negative (and within
// plausible bounds), counts within the points a profile of the pattern can
// have. CUsageError naming the first setting out of range, its value and
// what is allowed.
void CheckPatternSettings(const CZENDB_Pattern& pattern);

// The lane spacing (mm) taken for a pattern whose LineSpacing is not above
// 0, as the presets plan it.
constexpr double kDefaultLaneSpacing = 0.25;

// The indentor a pattern is meant for: the one its name names as a word
// ("Vickers", "Knoop", or a scale such as "HV1", "HK0.5"), else the one its
// comment names, else Vickers (the library's indentor when none is known).
// A text naming both counts as naming none.
IndentorType PatternIndentor(const CZENDB_Pattern& pattern);

// Readable names of evaluation settings, in the operator's language (the
// standard's name also as written here, translated = false, for JSON).
std::string StandardName(int standard, bool translated = true);
std::string CurveTypeName(int curveType);
std::string ConversionName(int conversion);
// "mm" or "µm" by DiagramXAxisUnit (1 shows depths in µm; depths are
// stored in mm).
std::string DepthUnitName(int diagramXAxisUnit);
double DepthUnitFactor(int diagramXAxisUnit);

} // namespace zendb
