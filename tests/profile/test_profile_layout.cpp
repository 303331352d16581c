// Planned profiles from computed and teach-in patterns, the settings copied
// from the pattern, templates and profiles as values, and loading without a
// connection.

#include "ProfileTestSupport.h"

#include "profile/ProfileTemplate.h"

#include <gtest/gtest.h>

using namespace proftest;

namespace {

struct Planned {
    double x, y, load;
    int key;
};

std::vector<Planned> PlannedOf(CProfile& profile)
{
    std::vector<Planned> out;
    POSITION pos = profile.GetIndentList()->GetHeadPosition();
    while (pos != nullptr) {
        auto* indent = static_cast<CIndent*>(profile.GetIndentList()->GetNext(pos));
        EXPECT_EQ(indent->IsMade(), 0);
        out.push_back({indent->GetXPos(), indent->GetYPos(), indent->GetTestLoad(),
                       indent->GetPlannedIndentKey()});
    }
    return out;
}

void ComputedZigZag(CZENDB_Pattern& p)
{
    p.PatternType = 0;
    p.NrOfIndents = 5;
    p.NrOfLines = 3;
    p.SpacingBetweenIndents = 0.05;
    p.XOffset = 0.03;
    p.LineSpacing = 0.1;
    p.SpacingType = 1;
    p.ZigZagSpacing = 0.02;
    p.TestLoadMethod = 1;
    p.TestLoad = 300.0;
}

}  // namespace

TEST(PlannedProfile, ComputedZigZagGivesFifteenIndentsLaneAfterLane)
{
    CProfileTemplate tpl;
    ComputedZigZag(*tpl.GetPattern());
    CProfile profile(&tpl);

    const std::vector<Planned> planned = PlannedOf(profile);
    ASSERT_EQ(planned.size(), 15u);
    for (size_t k = 0; k < planned.size(); ++k) {
        const int i = static_cast<int>(k / 3);
        const int j = static_cast<int>(k % 3);
        SCOPED_TRACE(k);
        EXPECT_NEAR(planned[k].x, 0.03 + 0.05 * i, 1e-12);
        EXPECT_NEAR(planned[k].y, 0.1 * j + (i % 2 == 1 ? 0.02 : 0.0), 1e-12);
        EXPECT_EQ(planned[k].load, 300.0);
        EXPECT_EQ(planned[k].key, -1);
    }
    // The 4th to 6th indents (depth index 1).
    EXPECT_NEAR(planned[3].x, 0.08, 1e-12);
    EXPECT_NEAR(planned[3].y, 0.02, 1e-12);
    EXPECT_NEAR(planned[4].y, 0.12, 1e-12);
    EXPECT_NEAR(planned[5].y, 0.22, 1e-12);

    IndentorType type = Knoop;
    EXPECT_EQ(profile.GetIndentorType(type), 0);
    EXPECT_EQ(type, Knoop);
}

TEST(PlannedProfile, ComputedPatternVariants)
{
    struct Case {
        const char* name;
        int spacingType, lines, loadMethod;
        size_t count;
        double load;
    };
    const Case cases[] = {
        {"as taught is not a computed layout", 2, 3, 1, 0u, 0.0},
        {"unknown spacing type", 7, 3, 1, 0u, 0.0},
        {"no lanes", 0, 0, 1, 0u, 0.0},
        {"straight line", 0, 1, 1, 5u, 300.0},
        {"no load fixed", 0, 2, 0, 10u, -1.0},
        {"teach-in load method on a computed pattern", 1, 1, 2, 5u, -1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfileTemplate tpl;
        ComputedZigZag(*tpl.GetPattern());
        tpl.GetPattern()->SpacingType = c.spacingType;
        tpl.GetPattern()->NrOfLines = c.lines;
        tpl.GetPattern()->TestLoadMethod = c.loadMethod;
        CProfile profile(&tpl);
        const std::vector<Planned> planned = PlannedOf(profile);
        ASSERT_EQ(planned.size(), c.count);
        for (const Planned& p : planned)
            EXPECT_EQ(p.load, c.load);
        if (c.spacingType == 0 && c.lines == 1) {
            for (const Planned& p : planned)
                EXPECT_EQ(p.y, 0.0);
        }
    }
}

TEST(PlannedProfile, TeachInPositionsRepeatedPerLane)
{
    struct Case {
        const char* name;
        int spacingType;
        std::vector<double> y;  // per planned indent, lane after lane
    };
    // Taught positions (x, y): (0.1, 0.05), (0.2, 0.07); two lanes 0.5 apart;
    // the zigzag counter runs over every indent made, across lanes.
    const Case cases[] = {
        {"straight", 0, {0.0, 0.5, 0.0, 0.5}},
        {"zigzag", 1, {0.0, 0.5 + 0.03, 0.0, 0.5 + 0.03}},
        {"as taught", 2, {0.05, 0.55, 0.07, 0.57}},
        {"unknown", 9, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProfileTemplate tpl;
        CZENDB_Pattern& p = *tpl.GetPattern();
        p.PatternType = 1;  // a new teach-in pattern: types stored, load as stored
        p.TestLoadMethod = 2;
        p.SpacingType = c.spacingType;
        p.NrOfLines = 2;
        p.LineSpacing = 0.5;
        p.ZigZagSpacing = 0.03;
        for (const auto& [x, y] : {std::pair{0.1, 0.05}, std::pair{0.2, 0.07}}) {
            auto* type = new CZENDB_IndentType(nullptr, x, y, 250.0);
            type->PatternID = 12;
            tpl.GetIndentList()->AddTail(type);
        }
        CProfile profile(&tpl);
        const std::vector<Planned> planned = PlannedOf(profile);
        ASSERT_EQ(planned.size(), c.y.size());
        for (size_t k = 0; k < planned.size(); ++k) {
            EXPECT_NEAR(planned[k].y, c.y[k], 1e-12);
            EXPECT_EQ(planned[k].x, k < 2 ? 0.1 : 0.2);
            EXPECT_EQ(planned[k].load, 250.0);
            EXPECT_EQ(planned[k].key, 12);
        }
    }
}

TEST(PlannedProfile, CopiesEvaluationAndDiagramSettingsOnly)
{
    CProfileTemplate tpl;
    CZENDB_Pattern& p = *tpl.GetPattern();
    p.PatternID = 44;
    p.Name = "Case 0.5";
    p.Standard = 2;
    p.ECD1At = 550;
    p.ECD4At = 400;
    p.ECDAtUnitConv = FromHRC;
    p.ECD2AtUnitConv = FromHRB;
    p.CalcECD1 = TRUE;
    p.CalcCoreHardness = TRUE;
    p.DIN50190Part2ECDMethod = 1;
    p.DIN50190Part2SurfacePercentage = 80.0;
    p.DIN50190Part2FixHardness = 600;
    p.DIN50190Part2FixHardnessUnitConv = 2;
    p.DIN50190Part3AddToCore = 50;
    p.CoreHardnessNofIndents = 3;
    p.MultilaneAverageMethod = 4;
    p.CurveType = 1;
    p.GaussianIgnoreSoftDueToCarbonLoss = TRUE;
    p.GaussianIgnoreIndentIfOutlier = TRUE;
    p.GaussianHardnessLimit = 800;
    p.GaussianOutlierLimit = 20;
    p.DiagramXAxisUnit = 2;
    p.DiagramXMax = 2.5;
    p.DiagramYMax = 900;
    p.DiagramShowShowAsRockwell = TRUE;
    p.ECDToleranceMin = 0.4;
    p.ECDToleranceMax = 0.6;
    p.TestloadUnit = 1;

    CProfile profile(&tpl);
    const CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    EXPECT_EQ(r.ProfileID, -1);
    EXPECT_EQ(r.SampleID, -1);
    EXPECT_EQ(r.ProfileNr, -1);
    EXPECT_EQ(r.ProfileName, CString(""));
    EXPECT_EQ(r.Standard, 2);
    EXPECT_EQ(r.ECD1At, 550);
    EXPECT_EQ(r.ECD4At, 400);
    EXPECT_EQ(r.ECDAtUnitConv, FromHRC);
    EXPECT_EQ(r.ECD2AtUnitConv, FromHRB);
    EXPECT_EQ(r.CalcECD1, TRUE);
    EXPECT_EQ(r.CalcCoreHardness, TRUE);
    EXPECT_EQ(r.DIN50190Part2ECDMethod, 1);
    EXPECT_EQ(r.DIN50190Part2SurfacePercentage, 80.0);
    EXPECT_EQ(r.DIN50190Part2FixHardness, 600);
    EXPECT_EQ(r.DIN50190Part2FixHardnessUnitConv, 2);
    EXPECT_EQ(r.DIN50190Part3AddToCore, 50);
    EXPECT_EQ(r.CoreHardnessNofIndents, 3);
    EXPECT_EQ(r.MultilaneAverageMethod, 4);
    EXPECT_EQ(r.CurveType, 1);
    EXPECT_EQ(r.GaussianIgnoreSoftDueToCarbonLoss, TRUE);
    EXPECT_EQ(r.GaussianIgnoreIndentIfOutlier, TRUE);
    EXPECT_EQ(r.GaussianHardnessLimit, 800);
    EXPECT_EQ(r.GaussianOutlierLimit, 20);
    EXPECT_EQ(r.DiagramXAxisUnit, 2);
    EXPECT_EQ(r.DiagramXMax, 2.5);
    EXPECT_EQ(r.DiagramYMax, 900);
    EXPECT_EQ(r.DiagramShowShowAsRockwell, TRUE);
    EXPECT_EQ(r.ECDToleranceMin, 0.4);
    EXPECT_EQ(r.ECDToleranceMax, 0.6);
    EXPECT_EQ(r.TestloadUnit, 1);
}

TEST(ProfileValues, AssignmentMakesIndependentCopies)
{
    CProfile source;
    source.GetSampleProfileRun()->ProfileName = "P1";
    AddPoints(source, {{0.1, 600.0}, {0.2, 500.0}});
    CProfile target;
    AddPoints(target, {{0.5, 300.0}});

    target = source;
    ASSERT_EQ(target.GetIndentList()->GetCount(), 2);
    EXPECT_EQ(target.GetSampleProfileRun()->ProfileName, CString("P1"));
    auto* first = static_cast<CIndent*>(target.GetIndentList()->GetHead());
    EXPECT_NE(first, source.GetIndentList()->GetHead());
    EXPECT_DOUBLE_EQ(first->GetHardnessValue()->GetHVHKHardness(), 600.0);
    EXPECT_EQ(first->IsMade(), 1);

    target = target;  // self-assignment keeps the indents
    EXPECT_EQ(target.GetIndentList()->GetCount(), 2);

    CProfileTemplate tplSource;
    tplSource.GetPattern()->Name = "Teach";
    tplSource.GetIndentList()->AddTail(new CZENDB_IndentType(nullptr, 0.1, 0.2, 300.0));
    CProfileTemplate tplTarget;
    tplTarget.GetIndentList()->AddTail(new CZENDB_IndentType(nullptr, 9.0, 9.0, 9.0));
    tplTarget = tplSource;
    ASSERT_EQ(tplTarget.GetIndentList()->GetCount(), 1);
    auto* type = static_cast<CZENDB_IndentType*>(tplTarget.GetIndentList()->GetHead());
    EXPECT_NE(type, tplSource.GetIndentList()->GetHead());
    EXPECT_EQ(type->XPos, 0.1);
    EXPECT_EQ(tplTarget.GetPattern()->Name, CString("Teach"));
}

TEST(ProfileLoading, WithoutConnectionNothingChanges)
{
    CProfileTemplate tpl(3, nullptr);
    EXPECT_EQ(tpl.GetIndentList()->GetCount(), 0);
    EXPECT_EQ(tpl.GetPattern()->PatternID, -1);
    tpl.GetIndentList()->AddTail(new CZENDB_IndentType(nullptr, 0.1, 0.0, 100.0));
    EXPECT_EQ(tpl.LoadFromDB(3, nullptr), 0);
    EXPECT_EQ(tpl.GetIndentList()->GetCount(), 1);
    EXPECT_EQ(tpl.SaveToDB(nullptr), 0);

    CProfile profile;
    AddPoints(profile, {{0.1, 600.0}});
    EXPECT_EQ(profile.LoadFromDB(7, nullptr), 0);
    EXPECT_EQ(profile.LoadFromDB(1, 2, nullptr), 0);
    EXPECT_EQ(profile.GetIndentList()->GetCount(), 1);
}
