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

}  // namespace

CHardnessValue CProfile::GetMinHardness()
{
    CHardnessValue result(-1.0, 0.0, 0.0);
    CIndent* chosen = nullptr;
    POSITION pos = m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        CIndent* indent = IndentAt(m_IndentList, pos);
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

    // Every indent counts, invalid (-1.0) ones included.
    double sum = 0.0;
    int count = 0;
    if (!rockwell || haveScale) {
        POSITION pos = m_IndentList.GetHeadPosition();
        while (pos != nullptr) {
            sum += IndentAt(m_IndentList, pos)->GetHardnessValue()->GetHardness(rockwell);
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
            const double d = m - IndentAt(m_IndentList, pos)->GetHardnessValue()->GetHardness(rockwell);
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
