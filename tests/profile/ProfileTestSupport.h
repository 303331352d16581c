// Builders for the profile tests: made indents with a given hardness at a
// given depth, multilane profiles, and a profile subclass that opens the
// protected evaluation steps and records the calls made through them.
#pragma once

#include "hardness/Indent.h"
#include "profile/Profile.h"

#include <cmath>
#include <vector>

namespace proftest {

// A made-indent record whose diagonals give `hardness` (HV for Vickers, HK for
// Knoop) at `load` gf; zero diagonals (no valid hardness) for hardness < 0.
inline CZENDB_MadeIndent MadeRecord(double x, double hardness, IndentorType indentor = Vickers,
                                    double load = 1000.0, double y = 0.0)
{
    CZENDB_MadeIndent made(nullptr);
    made.ActualDistanceFromEdge = x;
    made.ActualDistanceFromAxis = y;
    made.ActualTypeOfIndentor = indentor;
    made.ActualTestload = load;
    if (hardness > 0.0) {
        const double d = std::sqrt(load * (indentor == Knoop ? 14229.0 : 1854.4) / hardness);
        made.D1 = d;
        made.D2 = d;
    }
    return made;
}

// A made indent whose value is pinned to exactly `hardness` (the diagonals
// agree with it to rounding), so that comparisons with limits are exact.
inline CIndent* NewMadeIndent(double x, double hardness, IndentorType indentor = Vickers,
                              double load = 1000.0, double y = 0.0)
{
    auto* indent = new CIndent(MadeRecord(x, hardness, indentor, load, y));
    if (hardness >= 0.0)
        *indent->GetHardnessValue() =
            CHardnessValue(hardness, indentor, load, indentor == Knoop ? HK : HV);
    return indent;
}

struct Point {
    double x;
    double h;
};

// Appends a single-lane profile.
inline void AddPoints(CProfile& profile, const std::vector<Point>& points,
                      IndentorType indentor = Vickers, double load = 1000.0)
{
    for (const Point& p : points)
        profile.GetIndentList()->AddTail(NewMadeIndent(p.x, p.h, indentor, load));
}

// Appends one depth with one indent per lane value.
inline void AddDepth(CProfile& profile, double x, const std::vector<double>& lanes,
                     IndentorType indentor = Vickers, double load = 1000.0)
{
    double y = 0.0;
    for (double h : lanes) {
        profile.GetIndentList()->AddTail(NewMadeIndent(x, h, indentor, load, y));
        y += 0.1;
    }
}

// Owns the entries of a merged list for a test.
struct MergedList {
    CObList list;
    ~MergedList()
    {
        while (!list.IsEmpty())
            delete list.RemoveHead();
    }
    CAverageIndent* At(int i) const
    {
        return static_cast<CAverageIndent*>(list.GetAt(list.FindIndex(i)));
    }
};

// Opens the protected steps and counts the fits, preparations and lane merges
// made through the virtual table.
class CProfileProbe : public CProfile {
public:
    using CProfile::operator=;
    using CProfile::CalcGaussianCHD;
    using CProfile::CreateCompatibleHardnessValue;
    using CProfile::GetECDAtValue;
    using CProfile::InterpolateCHD;

    // Depths of the points handed to each fit, in call order.
    std::vector<std::vector<double>> fitInputs;
    int prepareCalls = 0;
    int mergeCalls = 0;

    void MultilaneListToSinglelaneList(CObList& out) override
    {
        ++mergeCalls;
        CProfile::MultilaneListToSinglelaneList(out);
    }

    int FitGaussianToPoints(bool rockwell, double& A, double& w, double& y0,
                            CObList* list) override
    {
        std::vector<double> depths;
        POSITION pos = list->GetHeadPosition();
        while (pos != nullptr)
            depths.push_back(static_cast<CAverageIndent*>(list->GetNext(pos))->GetXPos());
        fitInputs.push_back(depths);
        return CProfile::FitGaussianToPoints(rockwell, A, w, y0, list);
    }

    void PrepareIndentsForGaussian(bool rockwell, CObList* list) override
    {
        ++prepareCalls;
        CProfile::PrepareIndentsForGaussian(rockwell, list);
    }
};

}  // namespace proftest
