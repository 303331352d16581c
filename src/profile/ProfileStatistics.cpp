// Statistics of a profile: softest and hardest indent, mean and sample
// standard deviation in HV/HK or the profile's common Rockwell scale, core
// hardness of a merged list, and which scales the profile's values allow.

#include "profile/Profile.h"

#include "hardness/Indent.h"
#include "profile/internal/OwnedObList.h"

#include <cmath>

using zen::profile::COwnedObList;

namespace {

// Nominal load (gf) of every value the statistics build: above the 500 gf
// threshold of the Knoop conversions, so each carries its Rockwell equivalent.
constexpr double kNominalLoad = 600.0;

CIndent* IndentAt(CObList& list, POSITION& pos)
{
    return static_cast<CIndent*>(list.GetNext(pos));
}

// A failed indent (no diagonals, so no hardness: -1.0) is no measurement and
// must not drag a statistic towards -1; the lane merge passes over it alike.
bool HasValue(CIndent* indent)
{
    return indent->GetHardnessValue()->HasHVHK();
}

// Whether an indent counts for the mean and deviation in the chosen scale:
// it has its HV/HK value and, in Rockwell mode, a value in the common scale
// (an indent of another lane can lie outside the scale its merged depth has).
bool CountsIn(CIndent* indent, bool rockwell, HardnessType scale)
{
    if (!HasValue(indent))
        return false;
    if (!rockwell)
        return true;
    const CHardnessValue* value = indent->GetHardnessValue();
    return scale == HRB ? value->HasHRB() : value->HasHRC();
}

}  // namespace

CHardnessValue CProfile::GetMinHardness()
{
    CHardnessValue result(-1.0, 0.0, 0.0);
    CIndent* chosen = nullptr;
    POSITION pos = m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        CIndent* indent = IndentAt(m_IndentList, pos);
        if (!HasValue(indent))
            continue;
        if (chosen == nullptr || indent->GetHardnessValue()->GetHVHKHardness() <
                                     chosen->GetHardnessValue()->GetHVHKHardness())
            chosen = indent;
    }
    if (chosen != nullptr)
        result = *chosen->GetHardnessValue();
    return result;
}

CHardnessValue CProfile::GetMaxHardness()
{
    CHardnessValue result(-1.0, 0.0, 0.0);
    CIndent* chosen = nullptr;
    POSITION pos = m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        CIndent* indent = IndentAt(m_IndentList, pos);
        if (!HasValue(indent))
            continue;
        if (chosen == nullptr || indent->GetHardnessValue()->GetHVHKHardness() >
                                     chosen->GetHardnessValue()->GetHVHKHardness())
            chosen = indent;
    }
    if (chosen != nullptr)
        result = *chosen->GetHardnessValue();
    return result;
}

bool CProfile::FindRockwellScale(HardnessType& scale)
{
    COwnedObList merged;
    MultilaneListToSinglelaneList(merged);
    if (HasHardnessType(HRB, &merged) != 0) {
        scale = HRB;
        return true;
    }
    if (HasHardnessType(HRC, &merged) != 0) {
        scale = HRC;
        return true;
    }
    return false;
}

CHardnessValue CProfile::GetMeanHardness(bool rockwell)
{
    HardnessType scale = HV;
    const bool haveScale = rockwell && FindRockwellScale(scale);

    double sum = 0.0;
    int count = 0;
    if (!rockwell || haveScale) {
        POSITION pos = m_IndentList.GetHeadPosition();
        while (pos != nullptr) {
            CIndent* indent = IndentAt(m_IndentList, pos);
            if (!CountsIn(indent, rockwell, scale))
                continue;
            sum += indent->GetHardnessValue()->GetHardness(rockwell);
            ++count;
        }
    }
    const double mean = count > 0 ? sum / count : -1.0;

    IndentorType indentor = Vickers;
    GetIndentorType(indentor);
    return CHardnessValue(mean, indentor, kNominalLoad, haveScale ? scale : HV);
}

CHardnessValue CProfile::GetHardnessStandardDeviation(bool rockwell)
{
    HardnessType scale = HV;
    const bool haveScale = rockwell && FindRockwellScale(scale);

    // s = sqrt(sum (m - h_i)^2 / (n - 1)), the sample form.
    double sumOfSquares = 0.0;
    int n = 0;
    if (!rockwell || haveScale) {
        const double m = GetMeanHardness(rockwell).GetHardness(rockwell);
        POSITION pos = m_IndentList.GetHeadPosition();
        while (pos != nullptr) {
            CIndent* indent = IndentAt(m_IndentList, pos);
            if (!CountsIn(indent, rockwell, scale))
                continue;
            const double d = m - indent->GetHardnessValue()->GetHardness(rockwell);
            sumOfSquares += d * d;
            ++n;
        }
    }
    const double s = n > 1 ? std::sqrt(sumOfSquares / (n - 1)) : -1.0;

    IndentorType indentor = Vickers;
    GetIndentorType(indentor);
    return CHardnessValue(s, indentor, kNominalLoad, haveScale ? scale : HV);
}

bool CProfile::DeepestMean(CObList* list, double& mean)
{
    // A setting below 1 would make the mean 0 / 0: no core value then.
    const int wanted = m_ProfileRun.CoreHardnessNofIndents;
    if (wanted < 1 || list == nullptr)
        return false;
    double sum = 0.0;
    int taken = 0;
    POSITION pos = list->GetTailPosition();
    while (pos != nullptr && taken < wanted) {
        auto* entry = static_cast<CAverageIndent*>(list->GetPrev(pos));
        const double h = entry->GetHardnessValue()->GetHVHKHardness();
        if (h > 0.0) {
            sum += h;
            ++taken;
        }
    }
    if (taken != wanted)
        return false;
    mean = sum / wanted;
    return true;
}

CHardnessValue CProfile::CalcCoreHardness(CObList* list)
{
    double core = 0.0;  // stays 0.0, no valid hardness, without enough deep points
    DeepestMean(list, core);
    IndentorType indentor = Vickers;
    GetIndentorType(indentor);
    return CHardnessValue(core, indentor, kNominalLoad, HV);
}

int CProfile::HasHardnessType(HardnessType type, CObList* list)
{
    IndentorType indentor = Vickers;
    if (GetIndentorType(indentor) == 0)
        return 1;  // nothing measured yet: every scale is possible

    switch (type) {
    case HV:
        return indentor == Knoop ? 0 : 1;
    case HK:
        return indentor == Vickers ? 0 : 1;
    case HRB:
    case HRC: {
        bool allHRB = true;
        bool allHRC = true;
        if (list != nullptr) {
            POSITION pos = list->GetHeadPosition();
            while (pos != nullptr && (allHRB || allHRC)) {
                auto* entry = static_cast<CAverageIndent*>(list->GetNext(pos));
                if (!entry->GetHardnessValue()->HasHRB())
                    allHRB = false;
                if (!entry->GetHardnessValue()->HasHRC())
                    allHRC = false;
            }
        }
        return (type == HRB ? allHRB : allHRC) ? 1 : 0;
    }
    default:
        return 0;
    }
}
