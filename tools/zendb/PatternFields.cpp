// The fields of a test pattern by name, the presets and the names of the
// evaluation settings' values (see PatternFields.h).
#include "PatternFields.h"
#include "Tr.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zendb {

namespace {

using EKind = CPatternField::EKind;

#define ZEN_INT(field) CPatternField{#field, EKind::Integer, &CZENDB_Pattern::field, nullptr, nullptr}
#define ZEN_FLAG(field) CPatternField{#field, EKind::Flag, &CZENDB_Pattern::field, nullptr, nullptr}
#define ZEN_REAL(field) CPatternField{#field, EKind::Real, nullptr, &CZENDB_Pattern::field, nullptr}
#define ZEN_TEXT(field) CPatternField{#field, EKind::Text, nullptr, nullptr, &CZENDB_Pattern::field}

} // namespace

const std::vector<CPatternField>& PatternFields()
{
    static const std::vector<CPatternField> fields = {
        ZEN_INT(PatternID),
        ZEN_TEXT(Name),
        ZEN_TEXT(Comment),
        ZEN_FLAG(Deleted),
        ZEN_INT(PatternType),
        ZEN_INT(SpacingType),
        ZEN_REAL(ZigZagSpacing),
        ZEN_INT(NrOfIndents),
        ZEN_REAL(SpacingBetweenIndents),
        ZEN_REAL(TotalTraverse),
        ZEN_REAL(XOffset),
        ZEN_REAL(YOffset),
        ZEN_INT(TestLoadMethod),
        ZEN_REAL(TestLoad),
        ZEN_INT(NrOfLines),
        ZEN_REAL(LineSpacing),
        ZEN_FLAG(AutomaticallyEdgeAlignment),
        ZEN_INT(FocusStrategy),
        ZEN_REAL(FocusAfterEvery),
        ZEN_INT(MakeAndMeasureStrategy),
        ZEN_INT(StopXindentsAfterECD),
        ZEN_INT(Standard),
        ZEN_INT(ECD1At),
        ZEN_INT(ECD2At),
        ZEN_INT(ECD3At),
        ZEN_INT(ECD4At),
        ZEN_INT(ECDAtUnitConv),
        ZEN_INT(ECD2AtUnitConv),
        ZEN_FLAG(CalcECD1),
        ZEN_FLAG(CalcECD2),
        ZEN_FLAG(CalcCoreHardness),
        ZEN_INT(DIN50190Part2ECDMethod),
        ZEN_REAL(DIN50190Part2SurfacePercentage),
        ZEN_INT(DIN50190Part2FixHardness),
        ZEN_INT(DIN50190Part2FixHardnessUnitConv),
        ZEN_INT(DIN50190Part3AddToCore),
        ZEN_INT(CoreHardnessNofIndents),
        ZEN_INT(MultilaneAverageMethod),
        ZEN_INT(CurveType),
        ZEN_FLAG(GaussianIgnoreSoftDueToCarbonLoss),
        ZEN_FLAG(GaussianIgnoreIndentOverHardnessLimit),
        ZEN_FLAG(GaussianIgnoreIndentIfOutlier),
        ZEN_INT(GaussianHardnessLimitInputUnit),
        ZEN_INT(GaussianHardnessLimit),
        ZEN_INT(GaussianOutlierLimit),
        ZEN_INT(DiagramXAxisUnit),
        ZEN_FLAG(DiagramXAutomatic),
        ZEN_FLAG(DiagramYAutomatic),
        ZEN_REAL(DiagramXMin),
        ZEN_INT(DiagramYMin),
        ZEN_REAL(DiagramXMax),
        ZEN_INT(DiagramYMax),
        ZEN_FLAG(DiagramShowIndentHardness),
        ZEN_FLAG(DiagramShowShowAsRockwell),
        ZEN_FLAG(DiagramShowResults),
        ZEN_FLAG(DiagramShowECDTolerances),
        ZEN_REAL(ECDToleranceMin),
        ZEN_REAL(ECDToleranceMax),
        ZEN_INT(TestloadUnit),
    };
    return fields;
}

#undef ZEN_INT
#undef ZEN_FLAG
#undef ZEN_REAL
#undef ZEN_TEXT

CCell CPatternField::Get(const CZENDB_Pattern& pattern) const
{
    switch (kind) {
    case EKind::Integer:
        return CCell(pattern.*integer);
    case EKind::Flag:
        return CCell::Flag(pattern.*integer != FALSE);
    case EKind::Real:
        return CCell::Real(pattern.*real, 4);
    case EKind::Text: {
        CString value = pattern.*text;
        value.TrimRight();
        return CCell(ToStd(value));
    }
    }
    return CCell();
}

void CPatternField::Set(CZENDB_Pattern& pattern, const std::string& value) const
{
    const std::string where = std::string(name) + "=" + value;
    switch (kind) {
    case EKind::Integer: {
        char* end = nullptr;
        errno = 0;
        const long number = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || number < INT32_MIN || number > INT32_MAX)
            throw CUsageError(TrF("%s: %s takes a whole number", where, name));
        pattern.*integer = static_cast<int>(number);
        return;
    }
    case EKind::Flag: {
        const std::string lower = Lower(value);
        if (lower == "1" || lower == "true" || lower == "yes" || lower == "on")
            pattern.*integer = TRUE;
        else if (lower == "0" || lower == "false" || lower == "no" || lower == "off")
            pattern.*integer = FALSE;
        else
            throw CUsageError(TrF("%s: %s takes true or false", where, name));
        return;
    }
    case EKind::Real: {
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(number))
            throw CUsageError(TrF("%s: %s takes a number", where, name));
        pattern.*real = number;
        return;
    }
    case EKind::Text:
        pattern.*text = CString(value);
        return;
    }
}

const CPatternField& FindPatternField(const std::string& name)
{
    for (const CPatternField& field : PatternFields())
        if (Lower(field.name) == Lower(name))
            return field;
    throw CUsageError(TrF("unknown pattern field '%s' ('zendb patterns show NAME' lists them)", name));
}

const std::vector<std::string>& PatternPresetNames()
{
    static const std::vector<std::string> names = {"case-hardening", "surface-hardening", "nitriding"};
    return names;
}

void ApplyPatternPreset(CZENDB_Pattern& p, const std::string& preset)
{
    // Common to all: a computed straight line of indents under a fixed load,
    // depths in mm, automatic axes, results and tolerance band shown.
    p.PatternType = 0;
    p.SpacingType = 0;
    p.TestLoadMethod = 1;
    p.NrOfLines = 1;
    p.LineSpacing = 0.25;
    p.MultilaneAverageMethod = 0;
    p.CalcCoreHardness = TRUE;
    p.CoreHardnessNofIndents = 3;
    p.DiagramXAxisUnit = 0;
    p.DiagramXAutomatic = TRUE;
    p.DiagramYAutomatic = TRUE;
    p.DiagramShowIndentHardness = FALSE;
    p.DiagramShowResults = TRUE;
    p.DiagramShowECDTolerances = TRUE;
    p.ECDAtUnitConv = NoConversion;
    if (preset == "case-hardening") {
        // Case-hardening depth at 550 HV1, interpolated.
        p.Standard = 0;
        p.ECD1At = 550;
        p.CalcECD1 = TRUE;
        p.CurveType = 0;
        p.TestLoad = 1000.0;
        p.NrOfIndents = 16;
        p.SpacingBetweenIndents = 0.1;
        p.XOffset = 0.05;
        p.ECDToleranceMin = 0.6;
        p.ECDToleranceMax = 0.9;
    } else if (preset == "surface-hardening") {
        // DIN 50190-2: 80 % of the specified surface hardness of 600 HV.
        p.Standard = 2;
        p.DIN50190Part2ECDMethod = 0;
        p.DIN50190Part2SurfacePercentage = 80.0;
        p.DIN50190Part2FixHardness = 600;
        p.DIN50190Part2FixHardnessUnitConv = NoConversion;
        p.CurveType = 0;
        p.TestLoad = 1000.0;
        p.NrOfIndents = 20;
        p.SpacingBetweenIndents = 0.2;
        p.XOffset = 0.1;
        p.ECDToleranceMin = 2.0;
        p.ECDToleranceMax = 3.0;
    } else if (preset == "nitriding") {
        // DIN 50190-3: core hardness + 50, on a fitted Gaussian.
        p.Standard = 3;
        p.DIN50190Part3AddToCore = 50;
        p.CurveType = 1;
        p.GaussianIgnoreIndentIfOutlier = TRUE;
        p.GaussianOutlierLimit = 40;
        p.TestLoad = 500.0;
        p.NrOfIndents = 14;
        p.SpacingBetweenIndents = 0.05;
        p.XOffset = 0.03;
        p.ECDToleranceMin = 0.3;
        p.ECDToleranceMax = 0.5;
    } else {
        throw CUsageError(TrF("unknown preset '%s' (case-hardening, surface-hardening, nitriding)", preset));
    }
    p.TotalTraverse = p.XOffset + (p.NrOfIndents - 1) * p.SpacingBetweenIndents;
}

namespace {

struct CIntRange {
    const char* name;
    int CZENDB_Pattern::*field;
    int min;
    int max;
    const char* allowed;    // empty: "min to max"
};

struct CRealRange {
    const char* name;
    double CZENDB_Pattern::*field;
    double min;
    double max;
    const char* unit;
};

[[noreturn]] void OutOfRange(const std::string& name, const std::string& value, const std::string& allowed)
{
    throw CUsageError(TrF("%s is %s; allowed: %s", name, value, allowed));
}

} // namespace

void CheckPatternSettings(const CZENDB_Pattern& p)
{
    // Enumerations (with what each value means) and whole-number bounds.
    // Hardness numbers go up to 5000: above every HV/HK a steel reaches, and
    // far above every Rockwell number a limit can be given in.
    static const CIntRange ints[] = {
        {"PatternType", &CZENDB_Pattern::PatternType, 0, 1, TrMark("0 (computed positions), 1 (teach-in)")},
        {"SpacingType", &CZENDB_Pattern::SpacingType, 0, 2, TrMark("0 (straight line), 1 (zigzag), 2 (as taught)")},
        {"TestLoadMethod", &CZENDB_Pattern::TestLoadMethod, 0, 2,
         TrMark("0 (no fixed load), 1 (the pattern's TestLoad), 2 (each taught indent's own load)")},
        {"FocusStrategy", &CZENDB_Pattern::FocusStrategy, 0, INT32_MAX, ""},
        {"MakeAndMeasureStrategy", &CZENDB_Pattern::MakeAndMeasureStrategy, 0, INT32_MAX, ""},
        {"Standard", &CZENDB_Pattern::Standard, 0, 6,
         TrMark("0, 1, 4 (fixed limits), 2 (DIN 50190-2), 3 (DIN 50190-3), 5, 6 (no limits)")},
        {"ECD1At", &CZENDB_Pattern::ECD1At, 0, 5000, TrMark("0 (unused) to 5000")},
        {"ECD2At", &CZENDB_Pattern::ECD2At, 0, 5000, TrMark("0 (unused) to 5000")},
        {"ECD3At", &CZENDB_Pattern::ECD3At, 0, 5000, TrMark("0 (unused) to 5000")},
        {"ECD4At", &CZENDB_Pattern::ECD4At, 0, 5000, TrMark("0 (unused) to 5000")},
        {"ECDAtUnitConv", &CZENDB_Pattern::ECDAtUnitConv, 0, 2, TrMark("0 (HV/HK), 1 (HRB), 2 (HRC)")},
        {"ECD2AtUnitConv", &CZENDB_Pattern::ECD2AtUnitConv, 0, 2, TrMark("0 (HV/HK), 1 (HRB), 2 (HRC)")},
        {"DIN50190Part2ECDMethod", &CZENDB_Pattern::DIN50190Part2ECDMethod, 0, 2,
         TrMark("0 (fixed hardness times percentage), 1 (surface hardness times percentage), 2 (core hardness + 100)")},
        {"DIN50190Part2FixHardness", &CZENDB_Pattern::DIN50190Part2FixHardness, 0, 5000, ""},
        {"DIN50190Part2FixHardnessUnitConv", &CZENDB_Pattern::DIN50190Part2FixHardnessUnitConv, 0, 2,
         TrMark("0 (HV/HK), 1 (HRB), 2 (HRC)")},
        {"DIN50190Part3AddToCore", &CZENDB_Pattern::DIN50190Part3AddToCore, 0, 5000, ""},
        {"MultilaneAverageMethod", &CZENDB_Pattern::MultilaneAverageMethod, 0, 4,
         TrMark("0 (mean), 1 (without the largest), 2 (without the largest and the smallest), "
                "3 (without the smallest), 4 (without the two smallest)")},
        {"CurveType", &CZENDB_Pattern::CurveType, 0, 1, TrMark("0 (linear interpolation), 1 (Gaussian fit)")},
        {"GaussianHardnessLimitInputUnit", &CZENDB_Pattern::GaussianHardnessLimitInputUnit, 0, 2,
         TrMark("0 (HV/HK), 1 (HRB), 2 (HRC)")},
        {"GaussianHardnessLimit", &CZENDB_Pattern::GaussianHardnessLimit, 0, 5000, ""},
        {"GaussianOutlierLimit", &CZENDB_Pattern::GaussianOutlierLimit, 0, 5000, ""},
        {"DiagramXAxisUnit", &CZENDB_Pattern::DiagramXAxisUnit, 0, 2,
         TrMark("0 (depths in mm), 1 (depths in \xC2\xB5m), 2 (depths in mm, lanes not merged)")},
        {"DiagramYMin", &CZENDB_Pattern::DiagramYMin, 0, 5000, ""},
        {"DiagramYMax", &CZENDB_Pattern::DiagramYMax, 0, 5000, ""},
        {"TestloadUnit", &CZENDB_Pattern::TestloadUnit, 0, INT32_MAX, ""},
    };
    for (const CIntRange& range : ints) {
        const int value = p.*range.field;
        if (value < range.min || value > range.max)
            OutOfRange(range.name, std::to_string(value),
                       *range.allowed ? std::string(Tr(range.allowed))
                       : range.max == INT32_MAX ? TrF("%s or more", range.min)
                                                : TrF("%s to %s", range.min, range.max));
    }
    // Lengths in mm, the load in gf, the percentage.
    static const CRealRange reals[] = {
        {"ZigZagSpacing", &CZENDB_Pattern::ZigZagSpacing, 0.0, 100.0, "mm"},
        {"SpacingBetweenIndents", &CZENDB_Pattern::SpacingBetweenIndents, 0.0, 100.0, "mm"},
        {"TotalTraverse", &CZENDB_Pattern::TotalTraverse, 0.0, 100000.0, "mm"},
        {"XOffset", &CZENDB_Pattern::XOffset, 0.0, 100.0, "mm"},
        {"YOffset", &CZENDB_Pattern::YOffset, -100.0, 100.0, "mm"},
        {"TestLoad", &CZENDB_Pattern::TestLoad, 0.0, 100000.0, "gf"},
        {"LineSpacing", &CZENDB_Pattern::LineSpacing, 0.0, 100.0, "mm"},
        {"FocusAfterEvery", &CZENDB_Pattern::FocusAfterEvery, 0.0, 1.0e6, ""},
        {"DIN50190Part2SurfacePercentage", &CZENDB_Pattern::DIN50190Part2SurfacePercentage, 0.0, 100.0, "%"},
        {"DiagramXMin", &CZENDB_Pattern::DiagramXMin, 0.0, 100000.0, ""},
        {"DiagramXMax", &CZENDB_Pattern::DiagramXMax, 0.0, 100000.0, ""},
        {"ECDToleranceMin", &CZENDB_Pattern::ECDToleranceMin, 0.0, 100.0, "mm"},
        {"ECDToleranceMax", &CZENDB_Pattern::ECDToleranceMax, 0.0, 100.0, "mm"},
    };
    for (const CRealRange& range : reals) {
        const double value = p.*range.field;
        if (!(value >= range.min && value <= range.max)) {
            char text[64];
            std::snprintf(text, sizeof text, "%g", value);
            char low[32];
            char high[32];
            std::snprintf(low, sizeof low, "%g", range.min);
            std::snprintf(high, sizeof high, "%g", range.max);
            OutOfRange(range.name, text,
                       TrF("%s to %s", low, high) + (*range.unit ? " " + std::string(range.unit) : std::string()));
        }
    }
    // Counts within the profile: the merged profile has one point per depth,
    // NrOfIndents of them.
    const int points = p.NrOfIndents;
    if (points >= 1) {
        if (p.CoreHardnessNofIndents < 0 || p.CoreHardnessNofIndents > points)
            OutOfRange("CoreHardnessNofIndents", std::to_string(p.CoreHardnessNofIndents),
                       TrF("0 to %s (NrOfIndents, the points of the profile)", points));
        if (p.StopXindentsAfterECD < 0 || p.StopXindentsAfterECD > points)
            OutOfRange("StopXindentsAfterECD", std::to_string(p.StopXindentsAfterECD),
                       TrF("0 to %s (NrOfIndents)", points));
    }
}

IndentorType PatternIndentor(const CZENDB_Pattern& pattern)
{
    // 0: names none (or both); otherwise the indentor named.
    auto named = [](const CString& text) -> int {
        bool vickers = false;
        bool knoop = false;
        std::string word;
        auto look = [&] {
            const std::string w = Lower(word);
            word.clear();
            auto scale = [&](const char* prefix) {
                if (w.rfind(prefix, 0) != 0)
                    return false;
                for (size_t i = 2; i < w.size(); ++i)
                    if (!std::isdigit(static_cast<unsigned char>(w[i])) && w[i] != '.')
                        return false;
                return true;
            };
            vickers = vickers || w == "vickers" || scale("hv");
            knoop = knoop || w == "knoop" || scale("hk");
        };
        for (char c : ToStd(text)) {
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '.')
                word += c;
            else
                look();
        }
        look();
        if (vickers == knoop)
            return 0;
        return vickers ? Vickers : Knoop;
    };
    if (const int byName = named(pattern.Name))
        return static_cast<IndentorType>(byName);
    if (const int byComment = named(pattern.Comment))
        return static_cast<IndentorType>(byComment);
    return Vickers;
}

std::string StandardName(int standard, bool translated)
{
    auto text = [translated](const char* name) { return std::string(translated ? Tr(name) : name); };
    switch (standard) {
    case 0:
    case 1:
    case 4:
        return text(TrMark("fixed limits"));
    case 2:
        return "DIN 50190-2";
    case 3:
        return "DIN 50190-3";
    case 5:
    case 6:
        return text(TrMark("no limits"));
    default:
        return FillFields(text(TrMark("unknown (%s)")).c_str(), {std::to_string(standard)});
    }
}

std::string CurveTypeName(int curveType)
{
    switch (curveType) {
    case 0:
        return Tr("linear");
    case 1:
        return Tr("Gaussian");
    default:
        return TrF("none (%s)", curveType);
    }
}

std::string ConversionName(int conversion)
{
    switch (conversion) {
    case FromHRB:
        return "HRB";
    case FromHRC:
        return "HRC";
    default:
        return "HV/HK";
    }
}

std::string DepthUnitName(int diagramXAxisUnit)
{
    return diagramXAxisUnit == 1 ? "\xC2\xB5m" : "mm";
}

double DepthUnitFactor(int diagramXAxisUnit)
{
    return diagramXAxisUnit == 1 ? 1000.0 : 1.0;
}

} // namespace zendb
