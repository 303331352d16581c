// The fields of a test pattern by name, the presets and the names of the
// evaluation settings' values (see PatternFields.h).
#include "PatternFields.h"

#include <cerrno>
#include <cmath>
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
            throw CUsageError(where + ": " + name + " takes a whole number");
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
            throw CUsageError(where + ": " + name + " takes true or false");
        return;
    }
    case EKind::Real: {
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(number))
            throw CUsageError(where + ": " + name + " takes a number");
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
    throw CUsageError("unknown pattern field '" + name + "' ('zendb patterns show NAME' lists them)");
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
        throw CUsageError("unknown preset '" + preset + "' (case-hardening, surface-hardening, nitriding)");
    }
    p.TotalTraverse = p.XOffset + (p.NrOfIndents - 1) * p.SpacingBetweenIndents;
}

std::string StandardName(int standard)
{
    switch (standard) {
    case 0:
    case 1:
    case 4:
        return "fixed limits";
    case 2:
        return "DIN 50190-2";
    case 3:
        return "DIN 50190-3";
    case 5:
    case 6:
        return "no limits";
    default:
        return "unknown (" + std::to_string(standard) + ")";
    }
}

std::string CurveTypeName(int curveType)
{
    switch (curveType) {
    case 0:
        return "linear";
    case 1:
        return "Gaussian";
    default:
        return "none (" + std::to_string(curveType) + ")";
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
