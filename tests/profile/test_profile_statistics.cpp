// Lane merge (the five averaging methods, invalid lanes, the unmerged mode)
// and the statistics of a profile: extremes, mean, standard deviation, core
// hardness and the scales its values allow.

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace proftest;

TEST(LaneMerge, AveragingMethods)
{
    struct Case {
        std::vector<double> lanes;
        int method;
        double expected;
    };
    const Case cases[] = {
        {{500.0, 520.0, 700.0}, 0, 1720.0 / 3.0},
        {{500.0, 520.0, 700.0}, 1, 510.0},
        {{500.0, 520.0, 700.0}, 2, 520.0},
        {{500.0, 520.0, 700.0}, 3, 610.0},
        {{500.0, 520.0, 700.0}, 4, 700.0},
        {{500.0, 520.0, 700.0}, 9, 1720.0 / 3.0},
        {{500.0, 700.0}, 0, 600.0},
        {{500.0, 700.0}, 1, 500.0},
        {{500.0, 700.0}, 2, 600.0},
        {{500.0, 700.0}, 3, 700.0},
        {{500.0, 700.0}, 4, 600.0},
        {{700.0}, 1, 700.0},
        {{500.0, 500.0, 700.0}, 4, 700.0},  // ties count as separate values
        {{700.0, 500.0, 500.0}, 2, 500.0},
        {{500.0, -1.0, 700.0}, 0, 600.0},   // a lane without value does not count
        {{500.0, -1.0, 700.0}, 2, 600.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << ", " << c.lanes.size()
                                        << " lanes, first " << c.lanes[0]);
        CProfile profile;
        profile.GetSampleProfileRun()->MultilaneAverageMethod = c.method;
        AddDepth(profile, 0.1, c.lanes);
        MergedList merged;
        profile.MultilaneListToSinglelaneList(merged.list);
        ASSERT_EQ(merged.list.GetCount(), 1);
        EXPECT_NEAR(merged.At(0)->GetHardnessValue()->GetHVHKHardness(), c.expected, 1e-9);
        EXPECT_DOUBLE_EQ(merged.At(0)->GetXPos(), 0.1);
        EXPECT_DOUBLE_EQ(merged.At(0)->GetTestLoad(), 1000.0);
    }
}

TEST(LaneMerge, OneEntryPerDepthInDepthOrder)
{
    CProfile profile;
    AddDepth(profile, 0.05, {700.0, 720.0, 710.0}, Knoop, 500.0);
    AddDepth(profile, 0.15, {-1.0, -1.0, -1.0}, Knoop, 500.0);  // no valid value: no entry
    AddDepth(profile, 0.25, {400.0, 420.0, -1.0}, Knoop, 500.0);
    MergedList merged;
    profile.MultilaneListToSinglelaneList(merged.list);
    ASSERT_EQ(merged.list.GetCount(), 2);
    EXPECT_DOUBLE_EQ(merged.At(0)->GetXPos(), 0.05);
    EXPECT_NEAR(merged.At(0)->GetHardnessValue()->GetHVHKHardness(), 710.0, 1e-9);
    EXPECT_EQ(merged.At(0)->GetHardnessValue()->GetHVHKHardnessType(), HK);
    EXPECT_TRUE(merged.At(0)->GetHardnessValue()->HasHRC());  // converted at the lane load
    EXPECT_DOUBLE_EQ(merged.At(1)->GetXPos(), 0.25);
    EXPECT_NEAR(merged.At(1)->GetHardnessValue()->GetHVHKHardness(), 410.0, 1e-9);
}

TEST(LaneMerge, UnmergedModeKeepsEveryValidIndent)
{
    CProfile profile;
    profile.GetSampleProfileRun()->DiagramXAxisUnit = 2;
    profile.GetSampleProfileRun()->MultilaneAverageMethod = 2;
    AddDepth(profile, 0.1, {500.0, -1.0, 700.0});
    AddDepth(profile, 0.2, {450.0});
    MergedList merged;
    profile.MultilaneListToSinglelaneList(merged.list);
    ASSERT_EQ(merged.list.GetCount(), 3);
    const double expected[][2] = {{0.1, 500.0}, {0.1, 700.0}, {0.2, 450.0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(merged.At(i)->GetXPos(), expected[i][0]);
        EXPECT_NEAR(merged.At(i)->GetHardnessValue()->GetHVHKHardness(), expected[i][1], 1e-9);
    }

    CProfile empty;
    MergedList none;
    empty.MultilaneListToSinglelaneList(none.list);
    EXPECT_TRUE(none.list.IsEmpty());
}

TEST(ProfileStatistics, ExtremesAndMean)
{
    struct Case {
        const char* name;
        std::vector<double> values;
        double min, max, mean;
    };
    const Case cases[] = {
        {"a failed indent is left out", {600.0, 580.0, -1.0}, 580.0, 600.0, 590.0},
        {"a failed indent first", {-1.0, 600.0, 580.0}, 580.0, 600.0, 590.0},
        {"regular", {500.0, 520.0, 540.0}, 500.0, 540.0, 520.0},
        {"only failed indents", {-1.0, -1.0}, -1.0, -1.0, -1.0},
        {"empty", {}, -1.0, -1.0, -1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfile profile;
        double x = 0.1;
        for (double v : c.values) {
            AddPoints(profile, {{x, v}});
            x += 0.1;
        }
        EXPECT_NEAR(profile.GetMinHardness().GetHVHKHardness(), c.min, 1e-9);
        EXPECT_NEAR(profile.GetMaxHardness().GetHVHKHardness(), c.max, 1e-9);
        const CHardnessValue mean = profile.GetMeanHardness(false);
        EXPECT_NEAR(mean.GetHVHKHardness(), c.mean, 1e-9);
        EXPECT_EQ(mean.GetOriginalHardnessType(), HV);
    }
}

TEST(ProfileStatistics, MaximumKeepsFirstOfEqualsWithAllItsFields)
{
    CProfile profile;
    AddPoints(profile, {{0.1, 600.0}, {0.2, 600.0}});
    static_cast<CIndent*>(profile.GetIndentList()->GetHead())
        ->GetHardnessValue()
        ->ResetRockwellHardness(70.0, Vickers, HRB);
    const CHardnessValue max = profile.GetMaxHardness();
    EXPECT_TRUE(max.IsArtificial());
    EXPECT_EQ(max.GetRockwellHardnessType(), HRB);
    const CHardnessValue min = profile.GetMinHardness();
    EXPECT_TRUE(min.IsArtificial());
}

TEST(ProfileStatistics, StandardDeviation)
{
    CProfile profile;
    AddPoints(profile, {{0.1, 500.0}, {0.2, 520.0}, {0.3, 540.0}});
    EXPECT_NEAR(profile.GetHardnessStandardDeviation(false).GetHardness(false), 20.0, 1e-9);

    CProfile single;
    AddPoints(single, {{0.1, 500.0}});
    EXPECT_EQ(single.GetHardnessStandardDeviation(false).GetHardness(false), -1.0);

    // Failed indents count neither in the deviations nor in n: mean 590,
    // s = sqrt((10^2 + 10^2) / 1).
    CProfile withFailed;
    AddPoints(withFailed, {{0.1, 600.0}, {0.2, -1.0}, {0.3, 580.0}, {0.4, -1.0}});
    EXPECT_NEAR(withFailed.GetHardnessStandardDeviation(false).GetHardness(false), std::sqrt(200.0),
                1e-9);
    CProfile oneValid;
    AddPoints(oneValid, {{0.1, 600.0}, {0.2, -1.0}});
    EXPECT_EQ(oneValid.GetHardnessStandardDeviation(false).GetHardness(false), -1.0);
}

TEST(ProfileStatistics, RockwellStatisticsLeaveFailedIndentsOut)
{
    const double hrc[] = {CHardnessValue::HVToHRC(500.0), CHardnessValue::HVToHRC(400.0),
                          CHardnessValue::HVToHRC(300.0)};
    const double mean = (hrc[0] + hrc[1] + hrc[2]) / 3.0;
    double squares = 0.0;
    for (double h : hrc)
        squares += (mean - h) * (mean - h);

    CProfile profile;
    AddPoints(profile, {{0.1, 500.0}, {0.2, -1.0}, {0.3, 400.0}, {0.4, 300.0}});
    const CHardnessValue rockwellMean = profile.GetMeanHardness(true);
    EXPECT_EQ(rockwellMean.GetOriginalHardnessType(), HRC);
    EXPECT_NEAR(rockwellMean.GetHardness(true), mean, 1e-9);
    EXPECT_NEAR(profile.GetHardnessStandardDeviation(true).GetHardness(true),
                std::sqrt(squares / 2.0), 1e-9);
    EXPECT_NEAR(profile.GetMeanHardness(false).GetHVHKHardness(), 400.0, 1e-9);
}

TEST(ProfileStatistics, RockwellMeanNeedsOneCommonScale)
{
    // 200 HV converts to HRB, 400 HV to HRC: no common scale.
    CProfile mixed;
    AddPoints(mixed, {{0.1, 400.0}, {0.2, 300.0}, {0.3, 200.0}});
    const CHardnessValue mean = mixed.GetMeanHardness(true);
    EXPECT_EQ(mean.GetHVHKHardness(), -1.0);
    EXPECT_EQ(mean.GetOriginalHardnessType(), HV);
    EXPECT_EQ(mixed.GetHardnessStandardDeviation(true).GetHardness(true), -1.0);

    CProfile hrc;
    AddPoints(hrc, {{0.1, 500.0}, {0.2, 400.0}, {0.3, 300.0}});
    const double expectedMean = (CHardnessValue::HVToHRC(500.0) + CHardnessValue::HVToHRC(400.0) +
                                 CHardnessValue::HVToHRC(300.0)) /
                                3.0;
    const CHardnessValue rockwellMean = hrc.GetMeanHardness(true);
    EXPECT_EQ(rockwellMean.GetOriginalHardnessType(), HRC);
    EXPECT_NEAR(rockwellMean.GetHardness(true), expectedMean, 1e-9);
    EXPECT_TRUE(rockwellMean.HasHVHK());  // found by the inverse search
    EXPECT_GT(hrc.GetHardnessStandardDeviation(true).GetHardness(true), 0.0);
}

TEST(ProfileStatistics, CoreHardness)
{
    struct Case {
        const char* name;
        int nofIndents;
        std::vector<double> merged;  // surface to core
        double core;
    };
    const Case cases[] = {
        {"zero passed over", 3, {700.0, 600.0, 330.0, 320.0, 310.0, 0.0}, 320.0},
        {"too few valid values", 3, {-1.0, 320.0, 310.0}, 0.0},
        {"setting 0 gives no valid hardness", 0, {330.0, 320.0}, 0.0},
        {"negative setting", -2, {330.0, 320.0}, 0.0},
        {"single deepest", 1, {330.0, 320.0}, 320.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfile profile;
        profile.GetSampleProfileRun()->CoreHardnessNofIndents = c.nofIndents;
        MergedList merged;
        double x = 0.1;
        for (double v : c.merged) {
            merged.list.AddTail(new CAverageIndent(x, v, Vickers, HV, 1000.0));
            x += 0.1;
        }
        const CHardnessValue core = profile.CalcCoreHardness(&merged.list);
        EXPECT_NEAR(core.GetHVHKHardness(), c.core, 1e-9);
    }
}

TEST(ProfileStatistics, HasHardnessType)
{
    struct Case {
        const char* name;
        int indentor;  // 0: planned profile
        std::vector<double> merged;
        int hv, hk, hrb, hrc;
    };
    const Case cases[] = {
        {"planned profile", 0, {200.0, 400.0}, 1, 1, 1, 1},
        {"vickers, all HRC", Vickers, {400.0, 300.0}, 1, 0, 0, 1},
        {"vickers, all HRB", Vickers, {200.0, 150.0}, 1, 0, 1, 0},
        {"vickers, mixed", Vickers, {400.0, 200.0}, 1, 0, 0, 0},
        {"vickers, empty list", Vickers, {}, 1, 0, 1, 1},
        {"knoop", Knoop, {400.0}, 0, 1, 0, 1},
        {"unknown indentor", 5, {400.0}, 1, 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfile profile;
        if (c.indentor != 0) {
            CZENDB_MadeIndent made = MadeRecord(0.1, 400.0);
            made.ActualTypeOfIndentor = c.indentor;
            profile.GetIndentList()->AddTail(new CIndent(made));
        } else {
            profile.GetIndentList()->AddTail(new CIndent(CZENDB_IndentType(nullptr)));
        }
        const IndentorType entryIndentor = c.indentor == Knoop ? Knoop : Vickers;
        MergedList merged;
        for (double v : c.merged)
            merged.list.AddTail(
                new CAverageIndent(0.1, v, entryIndentor, entryIndentor == Knoop ? HK : HV, 600.0));
        EXPECT_EQ(profile.HasHardnessType(HV, &merged.list), c.hv);
        EXPECT_EQ(profile.HasHardnessType(HK, &merged.list), c.hk);
        EXPECT_EQ(profile.HasHardnessType(HRB, &merged.list), c.hrb);
        EXPECT_EQ(profile.HasHardnessType(HRC, &merged.list), c.hrc);
        EXPECT_EQ(profile.HasHardnessType(static_cast<HardnessType>(7), &merged.list),
                  c.indentor == 0 ? 1 : 0);
    }
}
