// Case-hardening depth: number and values of the limits, the limit hardness of
// each standard, interpolated depths, and the Gaussian evaluation with its
// point selection, outlier refit and depth on the fitted bell.

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace proftest;

namespace {

const std::vector<Point> kProfile = {{0.1, 700.0}, {0.3, 650.0}, {0.5, 560.0}, {0.7, 500.0},
                                     {0.9, 420.0}};

double Bell(double x, double A, double w, double y0)
{
    return A * std::exp(-(x * x) / (w * w)) + y0;
}

std::vector<Point> BellPoints(double A, double w, double y0, int count, double step)
{
    std::vector<Point> points;
    for (int i = 1; i <= count; ++i)
        points.push_back({i * step, Bell(i * step, A, w, y0)});
    return points;
}

void FixedLimit(CProfile& profile, int ecd1, int curveType = 0)
{
    CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    r.Standard = 0;
    r.CalcECD1 = TRUE;
    r.ECD1At = ecd1;
    r.CurveType = curveType;
}

}  // namespace

TEST(CaseDepthLimits, NumberOfLimitsAndFixedValues)
{
    struct Case {
        int standard;
        BOOL calc;
        int ecd[4];
        int count;
    };
    const Case cases[] = {
        {0, FALSE, {550, 500, 400, 300}, 0}, {0, TRUE, {550, 0, 400, 0}, 2},
        {1, TRUE, {550, 500, 400, 300}, 4},  {4, TRUE, {0, -5, 1, 0}, 1},
        {5, TRUE, {550, 0, 0, 0}, 0},        {6, TRUE, {550, 0, 0, 0}, 0},
        {2, FALSE, {0, 0, 0, 0}, 1},         {3, FALSE, {0, 0, 0, 0}, 1},
        {8, FALSE, {0, 0, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "standard " << c.standard << " count " << c.count);
        CProfileProbe profile;
        CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
        r.Standard = c.standard;
        r.CalcECD1 = c.calc;
        r.ECD1At = c.ecd[0];
        r.ECD2At = c.ecd[1];
        r.ECD3At = c.ecd[2];
        r.ECD4At = c.ecd[3];
        EXPECT_EQ(profile.GetNofECDAtValues(), c.count);
    }

}

TEST(CaseDepthLimits, UnusedFieldsBetweenLimitsArePassedOver)
{
    // Limit n is the n-th used field in field order, whatever gaps lie between.
    struct Case {
        int ecd[4];
        std::vector<int> values;  // limit 0, 1, ...
        std::vector<int> fields;  // the field each comes from
    };
    const Case cases[] = {
        {{550, 0, 400, 0}, {550, 400}, {1, 3}},
        {{0, 0, 0, 300}, {300}, {4}},
        {{0, 520, -5, 450}, {520, 450}, {2, 4}},
        {{550, 500, 400, 300}, {550, 500, 400, 300}, {1, 2, 3, 4}},
        {{0, 0, 0, 0}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ecd[0] << ", " << c.ecd[1] << ", " << c.ecd[2] << ", "
                                        << c.ecd[3]);
        CProfileProbe profile;
        CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
        r.CalcECD1 = TRUE;
        r.ECD1At = c.ecd[0];
        r.ECD2At = c.ecd[1];
        r.ECD3At = c.ecd[2];
        r.ECD4At = c.ecd[3];
        ASSERT_EQ(profile.GetNofECDAtValues(), static_cast<int>(c.values.size()));
        for (size_t n = 0; n < c.values.size(); ++n) {
            int v = 77;
            EXPECT_EQ(profile.GetECDAtValue(static_cast<int>(n), v), 1);
            EXPECT_EQ(v, c.values[n]);
            EXPECT_EQ(profile.GetECDAtSlot(static_cast<int>(n)), c.fields[n]);
        }
        // Past the last limit: none, value 0.
        const int past = static_cast<int>(c.values.size());
        int v = 77;
        EXPECT_EQ(profile.GetECDAtValue(past, v), 0);
        EXPECT_EQ(v, 0);
        EXPECT_EQ(profile.GetECDAtSlot(past), 0);
        // A negative index leaves the value alone.
        v = 77;
        EXPECT_EQ(profile.GetECDAtValue(-1, v), 1);
        EXPECT_EQ(v, 77);
        EXPECT_EQ(profile.GetECDAtSlot(-1), 0);
    }

    // The fields are read only by the fixed-limit standards.
    CProfileProbe din;
    din.GetSampleProfileRun()->Standard = 3;
    din.GetSampleProfileRun()->CalcECD1 = TRUE;
    din.GetSampleProfileRun()->ECD1At = 550;
    EXPECT_EQ(din.GetNofECDAtValues(), 1);
    EXPECT_EQ(din.GetECDAtSlot(0), 0);
}

TEST(CaseDepthLimits, ALimitAfterAGapIsEvaluated)
{
    // 550 HV at 0.5333 (see kProfile), 450 HV between (0.7, 500) and (0.9, 420).
    CProfile profile;
    CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    r.CalcECD1 = TRUE;
    r.ECD1At = 550;
    r.ECD3At = 450;
    AddPoints(profile, kProfile);
    ASSERT_EQ(profile.GetNofECDAtValues(), 2);
    EXPECT_NEAR(profile.CalcCHD(false, 0), 0.5 + 10.0 / 60.0 * 0.2, 1e-9);
    EXPECT_NEAR(profile.CalcCHD(false, 1), 0.7 + 50.0 / 80.0 * 0.2, 1e-9);
    MergedList merged;
    profile.MultilaneListToSinglelaneList(merged.list);
    EXPECT_DOUBLE_EQ(profile.CalcCHDAt(&merged.list, 1).GetHVHKHardness(), 450.0);
    EXPECT_EQ(profile.CalcCHD(false, 2), -1.0);
}

TEST(CaseDepthLimits, LimitHardnessPerStandard)
{
    struct Case {
        const char* name;
        int standard, method;
        double percentage;
        int fix, fixConv, addToCore, nofCore;
        std::vector<double> merged;  // surface to core, HV
        double limitHV;
    };
    const std::vector<double> hrcProfile = {700.0, 600.0, 330.0, 320.0, 310.0, 300.0};
    const Case cases[] = {
        {"part 3: core 310 + 50", 3, 0, 0.0, 0, 0, 50, 3, {700.0, 320.0, 310.0, 300.0, -1.0}, 360.0},
        {"part 3 without enough core points", 3, 0, 0.0, 0, 0, 50, 3, {300.0, -1.0}, 0.0},
        {"part 3 with no core points asked", 3, 0, 0.0, 0, 0, 50, 0, hrcProfile, 0.0},
        {"part 2 fixed 80 % of 600", 2, 0, 80.0, 600, NoConversion, 0, 0, hrcProfile, 480.0},
        {"part 2 fixed 55 HRC, all HRC", 2, 0, 100.0, 55, FromHRC, 0, 0, hrcProfile, 595.0},
        {"part 2 fixed 55 HRC, mixed", 2, 0, 100.0, 55, FromHRC, 0, 0, {600.0, 200.0}, 595.0},
        {"part 2 fixed hardness 0", 2, 0, 80.0, 0, NoConversion, 0, 0, hrcProfile, 0.0},
        {"part 2 surface 80 % of 700", 2, 1, 80.0, 0, 0, 0, 0, hrcProfile, 560.0},
        {"part 2 surface, empty", 2, 1, 80.0, 0, 0, 0, 0, {}, 0.0},
        {"part 2 core 305 + 100", 2, 2, 0.0, 0, 0, 0, 2, hrcProfile, 405.0},
        {"part 2 core, no core points asked", 2, 2, 0.0, 0, 0, 0, 0, hrcProfile, 0.0},
        {"unknown standard", 9, 0, 80.0, 600, 0, 50, 3, hrcProfile, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfile profile;
        AddPoints(profile, {{0.1, 600.0}});  // a made Vickers profile
        CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
        r.Standard = c.standard;
        r.DIN50190Part2ECDMethod = c.method;
        r.DIN50190Part2SurfacePercentage = c.percentage;
        r.DIN50190Part2FixHardness = c.fix;
        r.DIN50190Part2FixHardnessUnitConv = c.fixConv;
        r.DIN50190Part3AddToCore = c.addToCore;
        r.CoreHardnessNofIndents = c.nofCore;
        MergedList merged;
        double x = 0.1;
        for (double h : c.merged) {
            merged.list.AddTail(new CAverageIndent(x, h, Vickers, HV, 1000.0));
            x += 0.1;
        }
        const CHardnessValue limit = profile.CalcCHDAt(&merged.list, 0);
        EXPECT_NEAR(limit.GetHVHKHardness(), c.limitHV, 1e-9);
        EXPECT_EQ(limit.GetIndentorType(), Vickers);
    }
}

TEST(CaseDepthLimits, CompatibleValueFollowsTheProfileScale)
{
    struct Case {
        const char* name;
        int indentor;  // 0: planned profile
        HardnessConversionType conv;
        double value;
        HardnessType original;
        double hvhk;  // < -1.5: not checked
    };
    const Case cases[] = {
        {"vickers, plain", Vickers, NoConversion, 550.0, HV, 550.0},
        {"knoop, plain", Knoop, NoConversion, 550.0, HK, 550.0},
        {"unknown indentor, plain", 5, NoConversion, 550.0, HV, 550.0},
        {"vickers, from HRC, list in HRC", Vickers, FromHRC, 50.0, HRC, 514.5},
        {"vickers, from HRB, list in HRC", Vickers, FromHRB, 90.0, HV, -2.0},
        {"planned, from HRC", 0, FromHRC, 50.0, HRC, 514.5},
        {"knoop, unknown conversion", Knoop, static_cast<HardnessConversionType>(7), 400.0, HK,
         400.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfileProbe profile;
        if (c.indentor != 0) {
            CZENDB_MadeIndent made = MadeRecord(0.1, 500.0);
            made.ActualTypeOfIndentor = c.indentor;
            profile.GetIndentList()->AddTail(new CIndent(made));
        }
        MergedList merged;  // values in HRC range
        merged.list.AddTail(new CAverageIndent(0.1, 500.0, Vickers, HV, 1000.0));
        const CHardnessValue v = profile.CreateCompatibleHardnessValue(c.value, c.conv, &merged.list);
        EXPECT_EQ(v.GetOriginalHardnessType(), c.original);
        if (c.hvhk > -1.5) {
            EXPECT_NEAR(v.GetHVHKHardness(), c.hvhk, 1e-9);
        }
        EXPECT_TRUE(v.HasRockwellHardness() || c.original == HV);
    }
    // From HRB on a list without a common HRB scale: the HV number of 90 HRB.
    CProfileProbe profile;
    AddPoints(profile, {{0.1, 500.0}});
    MergedList merged;
    merged.list.AddTail(new CAverageIndent(0.1, 500.0, Vickers, HV, 1000.0));
    const CHardnessValue v = profile.CreateCompatibleHardnessValue(90.0, FromHRB, &merged.list);
    EXPECT_DOUBLE_EQ(v.GetHVHKHardness(), CHardnessValue::ConvertToHVHK(90.0, Vickers, HRB));
    EXPECT_TRUE(v.HasHRB());
}

TEST(InterpolatedDepth, StraddlingPoints)
{
    struct Case {
        const char* name;
        std::vector<Point> points;
        double depth;
    };
    const Case cases[] = {
        {"worked example", kProfile, 0.5 + 10.0 / 60.0 * 0.2},
        {"soft first point", {{0.1, 540.0}, {0.3, 650.0}, {0.5, 560.0}, {0.7, 500.0}, {0.9, 420.0}},
         0.5 + 10.0 / 60.0 * 0.2},
        {"point exactly on the limit", {{0.1, 700.0}, {0.3, 650.0}, {0.5, 550.0}, {0.7, 500.0}},
         0.5},
        {"invalid point passed over", {{0.1, 700.0}, {0.3, 560.0}, {0.5, -1.0}, {0.7, 500.0}},
         0.3 + 10.0 / 60.0 * 0.4},
        {"never falls to the limit", {{0.1, 700.0}, {0.3, 650.0}, {0.5, 600.0}}, -1.0},
        {"never exceeds the limit", {{0.1, 540.0}, {0.3, 500.0}, {0.5, 450.0}}, -1.0},
        {"only the limit itself", {{0.1, 550.0}, {0.3, 550.0}}, -1.0},
        {"empty", {}, -1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfileProbe profile;
        FixedLimit(profile, 550);
        AddPoints(profile, c.points);
        EXPECT_NEAR(profile.CalcCHD(false, 0), c.depth, 1e-9);

        MergedList merged;
        profile.MultilaneListToSinglelaneList(merged.list);
        const CHardnessValue limit(550.0, Vickers, 600.0, HV);
        EXPECT_NEAR(profile.InterpolateCHD(false, limit, &merged.list), c.depth, 1e-9);
    }
    EXPECT_NEAR(0.5 + 10.0 / 60.0 * 0.2, 0.5333, 5e-5);
}

TEST(InterpolatedDepth, ScaleCurveTypeAndMissingLimit)
{
    CProfile profile;
    FixedLimit(profile, 550);
    AddPoints(profile, kProfile);
    const double hv = profile.CalcCHD(false, 0);
    const double hrc = profile.CalcCHD(true, 0);
    EXPECT_GT(hrc, 0.5);
    EXPECT_LT(hrc, 0.7);
    EXPECT_NE(hrc, hv);
    EXPECT_EQ(profile.CalcCHD(0), hv);
    profile.GetSampleProfileRun()->DiagramShowShowAsRockwell = TRUE;
    EXPECT_EQ(profile.CalcCHD(0), hrc);

    EXPECT_EQ(profile.CalcCHD(false, 1), -1.0);  // ECD2At unused: limit 0
    profile.GetSampleProfileRun()->CurveType = 5;
    EXPECT_EQ(profile.CalcCHD(false, 0), -1.0);
}

TEST(GaussianDepth, RecoversTheBellThroughItsPoints)
{
    struct Case {
        double A, w, y0, limit;
        int count;
        double step;
        IndentorType indentor;
    };
    const Case cases[] = {
        {300.0, 0.5, 400.0, 550.0, 30, 0.05, Vickers},
        {250.0, 0.8, 350.0, 500.0, 25, 0.1, Vickers},
        {400.0, 0.3, 300.0, 450.0, 20, 0.05, Knoop},
        {350.0, 1.2, 320.0, 600.0, 40, 0.1, Vickers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "A " << c.A << " w " << c.w << " y0 " << c.y0);
        CProfile profile;
        FixedLimit(profile, static_cast<int>(c.limit), 1);
        AddPoints(profile, BellPoints(c.A, c.w, c.y0, c.count, c.step), c.indentor);

        double A = 0.0;
        double w = 0.0;
        double y0 = 0.0;
        ASSERT_EQ(profile.CalcGaussian(false, A, w, y0), 1);
        EXPECT_NEAR(A, c.A, 1e-3 * c.A);
        EXPECT_NEAR(w, c.w, 1e-3 * c.w);
        EXPECT_NEAR(y0, c.y0, 1e-3 * c.y0);
        const double closedForm = c.w * std::sqrt(std::log(c.A / (c.limit - c.y0)));
        EXPECT_NEAR(profile.CalcCHD(false, 0), closedForm, 1e-4);
    }
}

TEST(GaussianDepth, TooFewPointsAndUnreachableLimits)
{
    CProfileProbe few;
    FixedLimit(few, 550, 1);
    AddPoints(few, {{0.1, 700.0}, {0.3, 500.0}});
    double A = 11.0;
    double w = 12.0;
    double y0 = 13.0;
    EXPECT_EQ(few.CalcGaussian(false, A, w, y0), 0);
    EXPECT_EQ(A, 11.0);
    EXPECT_EQ(w, 12.0);
    EXPECT_EQ(y0, 13.0);
    EXPECT_EQ(few.CalcCHD(false, 0), -1.0);
    EXPECT_EQ(few.prepareCalls, 2);

    // A limit above the bell's top or below its floor is never reached.
    for (int limit : {750, 390, 0}) {
        SCOPED_TRACE(limit);
        CProfile profile;
        FixedLimit(profile, limit, 1);
        AddPoints(profile, BellPoints(300.0, 0.5, 400.0, 30, 0.05));
        EXPECT_EQ(profile.CalcCHD(false, 0), -1.0);
    }
}

// The Gaussian depth merges the lanes once; the fit works on that merged
// list, and a fit asked for on its own merges afresh. Each way gives the same
// numbers, on one lane and on three.
TEST(GaussianDepth, LanesAreMergedOncePerDepth)
{
    const std::vector<std::vector<double>> laneOffsets = {{0.0}, {-4.0, 0.0, 4.0}};
    for (const std::vector<double>& offsets : laneOffsets) {
        SCOPED_TRACE(offsets.size());
        CProfileProbe profile;
        FixedLimit(profile, 550, 1);
        for (const Point& p : BellPoints(300.0, 0.5, 400.0, 30, 0.05)) {
            std::vector<double> values;
            for (const double offset : offsets)
                values.push_back(p.h + offset);
            AddDepth(profile, p.x, values);
        }

        const double depth = profile.CalcCHD(false, 0);
        EXPECT_EQ(profile.mergeCalls, 1);
        ASSERT_EQ(profile.fitInputs.size(), 1u);
        EXPECT_EQ(profile.fitInputs[0].size(), 30u);

        double A = 0.0;
        double w = 0.0;
        double y0 = 0.0;
        ASSERT_EQ(profile.CalcGaussian(false, A, w, y0), 1);
        EXPECT_EQ(profile.mergeCalls, 2);
        ASSERT_EQ(profile.fitInputs.size(), 2u);
        EXPECT_EQ(profile.fitInputs[1], profile.fitInputs[0]);
        EXPECT_EQ(std::sqrt(std::log(A / (550.0 - y0)) * w * w), depth);

        // Evaluated again, the result is the same: nothing is left over.
        EXPECT_EQ(profile.CalcCHD(false, 0), depth);
        EXPECT_EQ(profile.mergeCalls, 3);
    }
}

TEST(GaussianDepth, CarbonLossDropsSoftSurfacePoints)
{
    // The hardest point is the third from the surface.
    std::vector<Point> points = BellPoints(300.0, 0.5, 400.0, 30, 0.05);
    points[0].h = 600.0;
    points[1].h = 650.0;
    CProfileProbe profile;
    FixedLimit(profile, 550, 1);
    profile.GetSampleProfileRun()->GaussianIgnoreSoftDueToCarbonLoss = TRUE;
    AddPoints(profile, points);

    const double depth = profile.CalcCHD(false, 0);
    ASSERT_EQ(profile.fitInputs.size(), 1u);
    ASSERT_EQ(profile.fitInputs[0].size(), points.size() - 2);
    EXPECT_DOUBLE_EQ(profile.fitInputs[0].front(), points[2].x);
    EXPECT_NEAR(depth, 0.5 * std::sqrt(std::log(2.0)), 1e-3);

    // Without the setting every point is fitted.
    profile.fitInputs.clear();
    profile.GetSampleProfileRun()->GaussianIgnoreSoftDueToCarbonLoss = FALSE;
    profile.CalcCHD(false, 0);
    ASSERT_EQ(profile.fitInputs.size(), 1u);
    EXPECT_EQ(profile.fitInputs[0].size(), points.size());
}

TEST(GaussianDepth, CarbonLossOnLanesThatDifferAtTheHardestDepth)
{
    // Lane values differ at every depth, so no single indent's hardness equals
    // a merged value; the hardest merged point still opens the fitted range.
    CProfileProbe profile;
    FixedLimit(profile, 550, 1);
    profile.GetSampleProfileRun()->GaussianIgnoreSoftDueToCarbonLoss = TRUE;
    for (const Point& p : BellPoints(300.0, 0.5, 400.0, 30, 0.05))
        AddDepth(profile, p.x, {p.h - 5.0, p.h, p.h + 5.0});
    const double depth = profile.CalcCHD(false, 0);
    ASSERT_EQ(profile.fitInputs.size(), 1u);
    EXPECT_EQ(profile.fitInputs[0].size(), 30u);
    EXPECT_NEAR(depth, 0.5 * std::sqrt(std::log(2.0)), 1e-3);
}

TEST(GaussianDepth, PointsOverTheHardnessLimitAreDropped)
{
    CProfileProbe profile;
    FixedLimit(profile, 550, 1);
    CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    r.GaussianIgnoreIndentOverHardnessLimit = TRUE;
    r.GaussianHardnessLimit = 650;
    r.GaussianHardnessLimitInputUnit = NoConversion;
    const std::vector<Point> points = BellPoints(300.0, 0.5, 400.0, 30, 0.05);
    AddPoints(profile, points);
    profile.CalcCHD(false, 0);
    ASSERT_EQ(profile.fitInputs.size(), 1u);
    size_t kept = 0;
    for (const Point& p : points)
        kept += p.h <= 650.0 ? 1 : 0;
    EXPECT_EQ(profile.fitInputs[0].size(), kept);
    EXPECT_LT(kept, points.size());
}

TEST(GaussianDepth, OutlierIsRemovedAndTheCurveRefitted)
{
    std::vector<Point> points = BellPoints(300.0, 0.5, 400.0, 40, 0.05);
    const size_t outlier = 12;
    points[outlier].h += 30.0;
    CProfileProbe profile;
    FixedLimit(profile, 550, 1);
    CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    r.GaussianIgnoreIndentIfOutlier = TRUE;
    r.GaussianOutlierLimit = 20;
    AddPoints(profile, points);

    double A = 0.0;
    double w = 0.0;
    double y0 = 0.0;
    ASSERT_EQ(profile.CalcGaussian(false, A, w, y0), 1);
    ASSERT_EQ(profile.fitInputs.size(), 2u);
    EXPECT_EQ(profile.fitInputs[0].size(), points.size());
    ASSERT_EQ(profile.fitInputs[1].size(), points.size() - 1);
    for (double x : profile.fitInputs[1])
        EXPECT_NE(x, points[outlier].x);
    EXPECT_NEAR(A, 300.0, 0.3);
    EXPECT_NEAR(w, 0.5, 5e-4);
    EXPECT_NEAR(y0, 400.0, 0.4);
}
