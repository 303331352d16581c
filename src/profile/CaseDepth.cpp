// Case-hardening depth of a profile: the limit hardness from the run's
// standard (fixed limits, DIN 50190 parts 2 and 3), and the depth at which the
// merged profile falls to it, by linear interpolation or on a fitted Gaussian
// bell f(x) = A*exp(-x^2/w^2) + y0.

#include "profile/Profile.h"

#include "hardness/Indent.h"
#include "numerics/CurveFit.h"
#include "profile/internal/OwnedObList.h"

#include <cmath>
#include <vector>

using zen::profile::COwnedObList;

namespace {

// Every limit is built at this load (gf), above the 500 gf threshold of the
// Knoop conversions, so a limit carries its Rockwell equivalent where its
// number lies in a conversion range.
constexpr double kLimitLoad = 600.0;

// Standard
constexpr int kFixedLimits0 = 0;
constexpr int kFixedLimits1 = 1;
constexpr int kDIN50190Part2 = 2;
constexpr int kDIN50190Part3 = 3;
constexpr int kFixedLimits4 = 4;
constexpr int kNoLimits5 = 5;
constexpr int kNoLimits6 = 6;

// DIN50190Part2ECDMethod
constexpr int kPart2FixedHardness = 0;
constexpr int kPart2CorePlus100 = 2;

// CurveType
constexpr int kCurveInterpolation = 0;
constexpr int kCurveGaussian = 1;

bool IsFixedLimitStandard(int standard)
{
    return standard == kFixedLimits0 || standard == kFixedLimits1 || standard == kFixedLimits4;
}

// The field (1 for ECD1At .. 4 for ECD4At) of fixed limit n: the n-th field
// >= 1 in field order. A field left at 0 between used ones (550, 0, 400) must
// not take a place, or the later limits would never be evaluated: callers ask
// only for n below the count of used fields. 0 when n is outside 0..count-1.
int UsedECDField(const CZENDB_SampleProfileRun& r, int n, int count)
{
    if (n < 0 || n >= count)
        return 0;
    int used = 0;
    int field = 0;
    for (const int at : {r.ECD1At, r.ECD2At, r.ECD3At, r.ECD4At}) {
        ++field;
        if (at >= 1 && used++ == n)
            return field;
    }
    return 0;
}

CAverageIndent* EntryAt(CObList& list, POSITION& pos)
{
    return static_cast<CAverageIndent*>(list.GetNext(pos));
}

double HardnessOf(CObject* entry, bool rockwell)
{
    return static_cast<CAverageIndent*>(entry)->GetHardnessValue()->GetHardness(rockwell);
}

}  // namespace

double CProfile::CalcCHD(bool rockwell, int n)
{
    COwnedObList list;
    MultilaneListToSinglelaneList(list);
    const CHardnessValue limit = CalcCHDAt(&list, n);
    switch (m_ProfileRun.CurveType) {
    case kCurveInterpolation:
        return InterpolateCHD(rockwell, limit, &list);
    case kCurveGaussian: {
        // The fit needs the same merged list: hand this one over rather than
        // merge the lanes a second time. Withdrawn on every way out, so that a
        // later CalcGaussian never sees a list that is gone.
        struct CHandOver {
            CObList*& slot;
            ~CHandOver() { slot = nullptr; }
        } handOver{m_pMergedForGaussian};
        m_pMergedForGaussian = &list;
        return CalcGaussianCHD(rockwell, limit, &list);
    }
    default:
        return -1.0;
    }
}

double CProfile::CalcCHD(int n)
{
    return CalcCHD(m_ProfileRun.DiagramShowShowAsRockwell != 0, n);
}

int CProfile::GetNofECDAtValues()
{
    const CZENDB_SampleProfileRun& r = m_ProfileRun;
    if (IsFixedLimitStandard(r.Standard)) {
        if (!r.CalcECD1)
            return 0;
        int count = 0;
        for (const int at : {r.ECD1At, r.ECD2At, r.ECD3At, r.ECD4At}) {
            if (at >= 1)
                ++count;
        }
        return count;
    }
    if (r.Standard == kNoLimits5 || r.Standard == kNoLimits6)
        return 0;
    return 1;
}

int CProfile::GetECDAtSlot(int n)
{
    if (!IsFixedLimitStandard(m_ProfileRun.Standard))
        return 0;
    return UsedECDField(m_ProfileRun, n, GetNofECDAtValues());
}

int CProfile::GetECDAtValue(int n, int& value)
{
    if (n < 0)
        return 1;  // leaves value alone
    switch (UsedECDField(m_ProfileRun, n, GetNofECDAtValues())) {
    case 1:
        value = m_ProfileRun.ECD1At;
        return 1;
    case 2:
        value = m_ProfileRun.ECD2At;
        return 1;
    case 3:
        value = m_ProfileRun.ECD3At;
        return 1;
    case 4:
        value = m_ProfileRun.ECD4At;
        return 1;
    default:
        value = 0;
        return 0;
    }
}

CHardnessValue CProfile::CalcCHDAt(CObList* list, int n)
{
    const CZENDB_SampleProfileRun& r = m_ProfileRun;
    double limit = 0.0;
    auto conv = NoConversion;
    double core = 0.0;

    // Surface and core values are HV/HK numbers whatever the evaluation scale.
    if (IsFixedLimitStandard(r.Standard)) {
        int v = 0;
        GetECDAtValue(n, v);
        limit = v;
        conv = static_cast<HardnessConversionType>(r.ECDAtUnitConv);
    } else if (r.Standard == kDIN50190Part2) {
        if (r.DIN50190Part2ECDMethod == kPart2FixedHardness) {
            if (r.DIN50190Part2FixHardness > 0) {
                limit = (r.DIN50190Part2SurfacePercentage / 100.0) * r.DIN50190Part2FixHardness;
                conv = static_cast<HardnessConversionType>(r.DIN50190Part2FixHardnessUnitConv);
            }
        } else if (r.DIN50190Part2ECDMethod == kPart2CorePlus100) {
            if (DeepestMean(list, core))
                limit = core + 100.0;
        } else if (list != nullptr && !list->IsEmpty()) {
            const double s = static_cast<CAverageIndent*>(list->GetHead())
                                 ->GetHardnessValue()
                                 ->GetHVHKHardness();
            if (s > 0.0)
                limit = (r.DIN50190Part2SurfacePercentage / 100.0) * s;
        }
    } else if (r.Standard == kDIN50190Part3) {
        if (DeepestMean(list, core))
            limit = core + r.DIN50190Part3AddToCore;
    }
    return CreateCompatibleHardnessValue(limit, conv, list);
}

CHardnessValue CProfile::CreateCompatibleHardnessValue(double value, HardnessConversionType conv,
                                                       CObList* list)
{
    IndentorType indentor = Vickers;
    GetIndentorType(indentor);
    const bool hasHV = HasHardnessType(HV, list) != 0;
    const HardnessType own = hasHV ? HV : HK;

    switch (conv) {
    case NoConversion:
        if (hasHV)
            return CHardnessValue(value, Vickers, kLimitLoad, HV);
        if (HasHardnessType(HK, list) != 0)
            return CHardnessValue(value, Knoop, kLimitLoad, HK);
        return CHardnessValue(value, indentor, kLimitLoad, HK);
    case FromHRC:
    case FromHRB: {
        const HardnessType rockwell = conv == FromHRC ? HRC : HRB;
        if (HasHardnessType(rockwell, list) != 0)
            return CHardnessValue(value, indentor, kLimitLoad, rockwell);
        const double hvhk = CHardnessValue::ConvertToHVHK(value, indentor, rockwell);
        return CHardnessValue(hvhk, indentor, kLimitLoad, own);
    }
    default:
        return CHardnessValue(value, indentor, kLimitLoad, own);
    }
}

double CProfile::InterpolateCHD(bool rockwell, CHardnessValue limit, CObList* list)
{
    // (x1, h1): last point above the limit L; (x2, h2): the first point at or
    // below it after that. Points without a value (h <= 0) are passed over, and
    // soft points before the first point above L cannot end the search.
    const double L = limit.GetHardness(rockwell);
    double x1 = -1.0;
    double h1 = 0.0;
    double x2 = 9999.0;
    double h2 = 0.0;
    if (list != nullptr) {
        POSITION pos = list->GetHeadPosition();
        while (pos != nullptr && x2 == 9999.0) {
            CAverageIndent* entry = EntryAt(*list, pos);
            const double h = entry->GetHardnessValue()->GetHardness(rockwell);
            if (h <= 0.0)
                continue;
            const double x = entry->GetXPos();
            if (h > L) {
                x1 = x;
                h1 = h;
            }
            if (h <= L && x1 != -1.0 && x < x2) {
                x2 = x;
                h2 = h;
            }
        }
    }
    if (x1 == -1.0 || x2 == 9999.0)
        return -1.0;
    if (h1 - h2 == 0.0)
        return -1.0;
    // depth = (h1 - L) / (h1 - h2) * (x2 - x1) + x1
    return (h1 - L) / (h1 - h2) * (x2 - x1) + x1;
}

double CProfile::CalcGaussianCHD(bool rockwell, CHardnessValue limit, CObList* /*list*/)
{
    // The bell equals L at x = sqrt(ln(A / (L - y0)) * w^2), which exists for
    // y0 < L < A + y0.
    const double L = limit.GetHardness(rockwell);
    double A = 0.0;
    double w = 0.0;
    double y0 = 0.0;
    if (CalcGaussian(rockwell, A, w, y0) == 0)
        return -1.0;
    if (!(y0 < L && A > 0.0 && w > 0.0))
        return -1.0;
    const double q = A / (L - y0);
    if (!(q > 1.0))
        return -1.0;
    return std::sqrt(std::log(q) * w * w);
}

int CProfile::CalcGaussian(bool rockwell, double& A, double& w, double& y0)
{
    COwnedObList list;
    if (m_pMergedForGaussian != nullptr) {
        list.AddTail(m_pMergedForGaussian);
        m_pMergedForGaussian->RemoveAll();  // the entries are ours now
        m_pMergedForGaussian = nullptr;
    } else {
        MultilaneListToSinglelaneList(list);
    }
    PrepareIndentsForGaussian(rockwell, &list);
    int result = FitGaussianToPoints(rockwell, A, w, y0, &list);

    if (result != 0 && m_ProfileRun.GaussianIgnoreIndentIfOutlier) {
        // Keep a point when the first fit lies within +-tol HV/HK of it, the
        // band converted into the evaluation scale; refit from the first fit.
        const double tol = m_ProfileRun.GaussianOutlierLimit;
        POSITION pos = list.GetHeadPosition();
        while (pos != nullptr) {
            const POSITION current = pos;
            CAverageIndent* entry = EntryAt(list, pos);
            const double h = entry->GetHardnessValue()->GetHVHKHardness();
            const double fit = CalcGaussianAt(entry->GetXPos(), A, w, y0);
            const double lo =
                CreateCompatibleHardnessValue(h - tol, NoConversion, &list).GetHardness(rockwell);
            const double hi =
                CreateCompatibleHardnessValue(h + tol, NoConversion, &list).GetHardness(rockwell);
            if (!(lo <= fit && fit <= hi))
                zen::profile::DeleteAt(list, current);
        }
        result = FitGaussianToPoints(rockwell, A, w, y0, &list);
    }
    return result;
}

void CProfile::PrepareIndentsForGaussian(bool rockwell, CObList* list)
{
    if (list == nullptr)
        return;

    if (m_ProfileRun.GaussianIgnoreSoftDueToCarbonLoss && !list->IsEmpty()) {
        // Carbon loss softens the surface: drop everything before the hardest
        // point. The hardest point is taken from the merged list itself (by
        // HV/HK, first of equals), so that a multilane profile whose lanes
        // differ at the hardest depth still reaches it.
        CAverageIndent* hardest = nullptr;
        POSITION pos = list->GetHeadPosition();
        while (pos != nullptr) {
            CAverageIndent* entry = EntryAt(*list, pos);
            if (hardest == nullptr || entry->GetHardnessValue()->GetHVHKHardness() >
                                          hardest->GetHardnessValue()->GetHVHKHardness())
                hardest = entry;
        }
        const double M = hardest->GetHardnessValue()->GetHardness(rockwell);
        while (!list->IsEmpty() && HardnessOf(list->GetHead(), rockwell) < M)
            delete list->RemoveHead();
    }

    if (m_ProfileRun.GaussianIgnoreIndentOverHardnessLimit) {
        const double H =
            CreateCompatibleHardnessValue(
                m_ProfileRun.GaussianHardnessLimit,
                static_cast<HardnessConversionType>(m_ProfileRun.GaussianHardnessLimitInputUnit),
                list)
                .GetHardness(rockwell);
        POSITION pos = list->GetHeadPosition();
        while (pos != nullptr) {
            const POSITION current = pos;
            if (EntryAt(*list, pos)->GetHardnessValue()->GetHardness(rockwell) > H)
                zen::profile::DeleteAt(*list, current);
        }
    }
}

int CProfile::FitGaussianToPoints(bool rockwell, double& A, double& w, double& y0, CObList* list)
{
    if (list == nullptr || list->GetCount() < 3)
        return 0;
    const int n = list->GetCount();

    // Start values from the ends: y0 = deepest hardness, A = surface - y0, and
    // w such that the bell is at half its amplitude at the middle depth m:
    // exp(-m^2/w^2) = 1/2  =>  w = m / sqrt(ln 2).
    auto* surface = static_cast<CAverageIndent*>(list->GetHead());
    auto* deepest = static_cast<CAverageIndent*>(list->GetTail());
    y0 = deepest->GetHardnessValue()->GetHardness(rockwell);
    A = surface->GetHardnessValue()->GetHardness(rockwell) - y0;
    const double m = surface->GetXPos() + (deepest->GetXPos() - surface->GetXPos()) * 0.5;
    w = m / std::sqrt(std::log(2.0));

    // Candidate widths: the bell with these A and y0 through point i has
    // w_i = sqrt(x_i^2 / ln(A / (y_i - y0))), defined for A / (y_i - y0) > 1.
    std::vector<double> x(n);
    std::vector<double> y(n);
    std::vector<double> widths(n);
    POSITION pos = list->GetHeadPosition();
    for (int i = 0; i < n; ++i) {
        CAverageIndent* entry = EntryAt(*list, pos);
        x[i] = entry->GetXPos();
        y[i] = entry->GetHardnessValue()->GetHardness(rockwell);
        widths[i] = -1.0;
        if (y[i] > y0) {
            const double q = A / (y[i] - y0);
            if (q > 1.0)
                widths[i] = std::sqrt(x[i] * x[i] / std::log(q));
        }
    }

    // One Gauss-Newton fit per candidate width; the smallest sum of squares
    // wins, the first of equal ones.
    int result = 0;
    bool haveBest = false;
    double bestA = 0.0;
    double bestW = 0.0;
    double bestY0 = 0.0;
    double bestSS = 0.0;
    for (int i = 0; i < n; ++i) {
        if (!(widths[i] > 0.0))
            continue;
        double a = A;
        double wi = widths[i];
        double yi0 = y0;
        double ss = 0.0;
        if (FitGaussian(n, x.data(), y.data(), a, wi, yi0, ss) == 0)
            continue;
        result = 1;
        if (!haveBest || ss < bestSS) {
            haveBest = true;
            bestA = a;
            bestW = wi;
            bestY0 = yi0;
            bestSS = ss;
        }
    }
    if (haveBest) {
        A = bestA;
        w = bestW;
        y0 = bestY0;
    }
    return result;
}
