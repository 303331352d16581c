// Hardness arithmetic: Vickers and Knoop numbers from load and diagonals, the
// empirical HV/HK -> HRB/HRC formulas, the grid search back from Rockwell to
// HV/HK, and the CHardnessValue that carries a number with its conversions.
#include "hardness/HardnessValue.h"

#include <cmath>

IMPLEMENT_DYNAMIC(CHardnessValue, CObject)

namespace {

// Forward formulas without their range conditions (the inverse search
// evaluates them outside the ranges too). x is HV or HK.
double FormulaHVToHRB(double x)
{
    return (0.0882795 * x + 114.665) - 0.000141855 * (x * x) - 6695.28 / x;
}

double FormulaHVToHRC(double x)
{
    return (0.0796683 * x + 31.49) - 3.555432e-5 * (x * x) - 6728.16 / x;
}

double FormulaHKToHRB(double x)
{
    return (175.357 - 0.237706 * x) + 0.000456743 * (x * x) - 11248.0 / x;
}

double FormulaHKToHRC(double x)
{
    return 1.13729e-5 * (x * x) + (0.00759497 * x + 64.3102) - 11751.5 / x;
}

// The candidate h of the grid first, first + 0.5, ... (h < bound) whose
// formula(h) lies nearest to value: minimises |value - formula(h)|, replacing
// the best only on a strictly smaller difference so that ties keep the lower
// candidate; -1.0 unless the best difference is below 10.0. A template so
// that the formula is inlined into the loop.
template <typename Formula>
double SearchHalfGrid(double value, double first, double bound, Formula formula)
{
    double bestDifference = 1000.0;
    double bestCandidate = 0.0;
    for (int step = 0;; ++step) {
        const double h = first + 0.5 * step;  // exact: halves of small integers
        if (!(h < bound))
            break;
        const double difference = std::fabs(value - formula(h));
        if (difference < bestDifference) {
            bestDifference = difference;
            bestCandidate = h;
        }
    }
    return bestDifference < 10.0 ? bestCandidate : -1.0;
}

// Knoop numbers below this load (gf) have no Rockwell equivalent.
constexpr double kKnoopMinLoad = 500.0;

} // namespace

// ---------------------------------------------------------------------------
// Static arithmetic

double CHardnessValue::CalcHV(double load, double d1, double d2)
{
    const double d = (d1 + d2) * 0.5;
    if (d == 0.0)
        return -1.0;
    return load * 1854.4 / (d * d);
}

double CHardnessValue::CalcHK(double load, double diagonal)
{
    const double q = diagonal * diagonal;
    if (q == 0.0)
        return -1.0;
    return load * 14229.0 / q;
}

double CHardnessValue::HVToHRB(double hv)
{
    if (hv >= 100.0 && hv <= 240.0)
        return FormulaHVToHRB(hv);
    return -1.0;
}

double CHardnessValue::HVToHRC(double hv)
{
    if (hv >= 240.0 && hv <= 940.0)
        return FormulaHVToHRC(hv);
    return -1.0;
}

double CHardnessValue::HKToHRB(double hk, double load)
{
    if (hk >= 87.0 && hk <= 251.0 && load >= kKnoopMinLoad)
        return FormulaHKToHRB(hk);
    return -1.0;
}

double CHardnessValue::HKToHRC(double hk, double load)
{
    if (hk >= 251.0 && hk <= 920.0 && load >= kKnoopMinLoad)
        return FormulaHKToHRC(hk);
    return -1.0;
}

double CHardnessValue::GetConvertedHardness(double value, IndentorType indentor, double load, int convert,
                                            HardnessType* resultType)
{
    if (convert == 0)
        return value;
    // The ranges share their end points (240 HV, 251 HK); testing HRB first
    // gives that point to HRB.
    const auto converted = [resultType](double result, HardnessType type) {
        if (resultType != nullptr)
            *resultType = type;
        return result;
    };
    if (indentor == Vickers) {
        if (value < 100.0)
            return -1.0;
        if (value >= 100.0 && value <= 240.0)
            return converted(HVToHRB(value), HRB);
        if (value >= 240.0 && value <= 940.0)
            return converted(HVToHRC(value), HRC);
        return -1.0;
    }
    if (indentor == Knoop) {
        if (value < 87.0)
            return -1.0;
        if (value >= 87.0 && value <= 251.0 && load >= kKnoopMinLoad)
            return converted(HKToHRB(value, load), HRB);
        if (value >= 251.0 && value <= 920.0 && load >= kKnoopMinLoad)
            return converted(HKToHRC(value, load), HRC);
        return -1.0;
    }
    return value;
}

double CHardnessValue::ConvertToHVHK(double value, IndentorType indentor, HardnessType type)
{
    if (indentor != Vickers && indentor != Knoop)
        return -1.0;
    if (type != HRB && type != HRC)
        return value;

    // Candidates h = first, first + 0.5, ... while h < bound. The Vickers HRC
    // grid starts at 238.0, two units below its forward range.
    if (indentor == Vickers && type == HRB)
        return SearchHalfGrid(value, 100.0, 240.0, [](double h) { return FormulaHVToHRB(h); });
    if (indentor == Vickers)
        return SearchHalfGrid(value, 238.0, 940.0, [](double h) { return FormulaHVToHRC(h); });
    if (type == HRB)
        return SearchHalfGrid(value, 87.0, 251.0, [](double h) { return FormulaHKToHRB(h); });
    return SearchHalfGrid(value, 251.0, 920.0, [](double h) { return FormulaHKToHRC(h); });
}

CString CHardnessValue::GetHardnessString(double value, IndentorType indentor, HardnessType* type)
{
    CString text;
    text.Format("%0.0f", value);
    if (type != nullptr && (*type == HRB || *type == HRC)) {
        if (value == -1.0)
            return text;
        text += (*type == HRB) ? " HRB" : " HRC";
        return text;
    }
    // The suffix follows the indentor, not the type.
    text += (indentor == Knoop) ? " HK" : " HV";
    return text;
}

// ---------------------------------------------------------------------------
// Construction and assignment

CHardnessValue::CHardnessValue(double load, double d1, double d2)
    : CHardnessValue(CalcHV(load, d1, d2), Vickers, load, HV)
{
}

CHardnessValue::CHardnessValue(double load, double diagonal)
    : CHardnessValue(CalcHK(load, diagonal), Knoop, load, HK)
{
}

CHardnessValue::CHardnessValue(double value, IndentorType indentor, double load, HardnessType type)
    : m_dHVHKHardness(-1.0),
      m_OriginalHardnessType(HV),
      m_IndentorType(indentor),
      m_dHRBHardness(-1.0),
      m_dHRCHardness(-1.0),
      m_bArtificial(false)
{
    HardnessType rockwellType = HV;
    if (type == HRB) {
        m_dHRBHardness = value;
        m_OriginalHardnessType = HRB;
        m_dHVHKHardness = ConvertToHVHK(value, indentor, HRB);
        rockwellType = HRB;
    } else if (type == HRC) {
        m_dHRCHardness = value;
        m_OriginalHardnessType = HRC;
        m_dHVHKHardness = ConvertToHVHK(value, indentor, HRC);
        rockwellType = HRC;
    } else {
        // The given type does not matter here: the value is in the
        // indentor's own scale.
        m_dHVHKHardness = value;
        m_OriginalHardnessType = (indentor == Knoop) ? HK : HV;
        const double converted = GetConvertedHardness(value, indentor, load, 1, &rockwellType);
        if (rockwellType == HRB)
            m_dHRBHardness = converted;
        else if (rockwellType == HRC)
            m_dHRCHardness = converted;
    }
    // The display texts are made when read (GetHardnessString,
    // GetRockwellHardnessString): at most one Rockwell field holds a value
    // here, and it is the one of rockwellType.
}

CHardnessValue::CHardnessValue(const CHardnessValue& other)
    : CObject(other),
      m_dHVHKHardness(other.m_dHVHKHardness),
      m_OriginalHardnessType(other.m_OriginalHardnessType),
      m_IndentorType(other.m_IndentorType),
      m_dHRBHardness(other.m_dHRBHardness),
      m_dHRCHardness(other.m_dHRCHardness),
      m_strRockwellHardness(other.m_strRockwellHardness),
      m_bArtificial(other.m_bArtificial)
{
}

CHardnessValue& CHardnessValue::operator=(const CHardnessValue& other)
{
    if (this != &other) {
        m_dHVHKHardness = other.m_dHVHKHardness;
        m_OriginalHardnessType = other.m_OriginalHardnessType;
        m_IndentorType = other.m_IndentorType;
        m_dHRBHardness = other.m_dHRBHardness;
        m_dHRCHardness = other.m_dHRCHardness;
        m_strRockwellHardness = other.m_strRockwellHardness;
        m_bArtificial = other.m_bArtificial;
    }
    return *this;
}

// ---------------------------------------------------------------------------
// Accessors; they ask each other through the virtual table so that an
// override of a predicate also changes the answers derived from it.

double CHardnessValue::GetHVHKHardness() const
{
    return m_dHVHKHardness;
}

double CHardnessValue::GetRockwellHardness() const
{
    if (HasHRB())
        return m_dHRBHardness;
    if (HasHRC())
        return m_dHRCHardness;
    return -1.0;
}

HardnessType CHardnessValue::GetOriginalHardnessType() const
{
    return m_OriginalHardnessType;
}

HardnessType CHardnessValue::GetHVHKHardnessType() const
{
    return (m_IndentorType == Knoop) ? HK : HV;
}

HardnessType CHardnessValue::GetRockwellHardnessType() const
{
    if (HasHRB())
        return HRB;
    if (HasHRC())
        return HRC;
    return HV;
}

double CHardnessValue::GetHardness(bool rockwell) const
{
    return rockwell ? GetRockwellHardness() : GetHVHKHardness();
}

IndentorType CHardnessValue::GetIndentorType() const
{
    return m_IndentorType;
}

void CHardnessValue::ResetRockwellHardness(double value, IndentorType indentor, HardnessType type)
{
    if (type == HRB)
        m_dHRBHardness = value;
    else if (type == HRC)
        m_dHRCHardness = value;
    else
        return;
    m_bArtificial = true;

    // The text shows the number GetRockwellHardness() reports, with that
    // number's own scale: setting HRC while an HRB value is held must not
    // label the HRB number "HRC", and clearing the last Rockwell value must
    // not leave its old text behind.
    if (HasRockwellHardness()) {
        HardnessType shownType = GetRockwellHardnessType();
        m_strRockwellHardness = GetHardnessString(GetRockwellHardness(), indentor, &shownType);
    } else {
        m_strRockwellHardness.Empty();
    }
}

bool CHardnessValue::HasHRB() const
{
    return m_dHRBHardness >= 0.0;
}

bool CHardnessValue::HasHRC() const
{
    return m_dHRCHardness >= 0.0;
}

bool CHardnessValue::HasRockwellHardness() const
{
    return HasHRB() || HasHRC();
}

bool CHardnessValue::HasHVHK() const
{
    return m_dHVHKHardness >= 0.0;
}

bool CHardnessValue::IsArtificial() const
{
    return m_bArtificial;
}

// The texts as the constructor would have made them from the fields: both
// follow the fields themselves, not the virtual predicates, since a
// constructor's calls never reach an override.
CString CHardnessValue::GetHardnessString() const
{
    if (!(m_dHVHKHardness >= 0.0))
        return CString();
    return GetHardnessString(m_dHVHKHardness, m_IndentorType, nullptr);
}

CString CHardnessValue::GetRockwellHardnessString() const
{
    if (m_bArtificial)
        return m_strRockwellHardness;
    HardnessType type = HRB;
    if (m_dHRBHardness >= 0.0)
        return GetHardnessString(m_dHRBHardness, m_IndentorType, &type);
    type = HRC;
    if (m_dHRCHardness >= 0.0)
        return GetHardnessString(m_dHRCHardness, m_IndentorType, &type);
    return CString();
}
