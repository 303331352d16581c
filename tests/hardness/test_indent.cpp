// Planned and made indents and lane-averaged entries: the hardness computed
// from diagonals, the planned positions, and value semantics of assignment.

#include "hardness/Indent.h"

#include <gtest/gtest.h>

namespace {

CZENDB_MadeIndent MadeRecord(int indentor, double load, double d1, double d2)
{
    CZENDB_MadeIndent made(nullptr);
    made.IndentID = 17;
    made.ProfileID = 4;
    made.ActualDistanceFromEdge = 0.25;
    made.ActualDistanceFromAxis = 0.1;
    made.D1 = d1;
    made.D2 = d2;
    made.ActualTypeOfIndentor = indentor;
    made.ActualTestload = load;
    made.Objective = "50x";
    made.CalibrationData = 0.125;
    return made;
}

}  // namespace

TEST(MadeIndent, HardnessFromDiagonals)
{
    struct Case {
        const char* name;
        int indentor;
        double load, d1, d2;
        double hvhk;
        const char* text;
        bool hasRockwell;
    };
    const Case cases[] = {
        {"vickers below HRB range", Vickers, 100.0, 50.0, 50.0, 74.176, "74 HV", false},
        {"vickers zero diagonals", Vickers, 100.0, 0.0, 0.0, -1.0, "", false},
        {"vickers in HRC range", Vickers, 1000.0, 60.0, 60.0, 1000.0 * 1854.4 / 3600.0, "515 HV",
         true},
        {"knoop uses D1 only", Knoop, 500.0, 100.0, 3.0, 500.0 * 14229.0 / 10000.0, "711 HK", true},
        {"knoop below 500 gf", Knoop, 300.0, 100.0, 100.0, 300.0 * 14229.0 / 10000.0, "427 HK",
         false},
        {"unknown indentor", 3, 100.0, 50.0, 50.0, 0.0, "0 HV", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CZENDB_MadeIndent made = MadeRecord(c.indentor, c.load, c.d1, c.d2);
        CIndent indent(made);
        EXPECT_EQ(indent.IsMade(), 1);
        EXPECT_EQ(indent.GetPlannedIndentKey(), -1);
        EXPECT_NEAR(indent.GetHardnessValue()->GetHVHKHardness(), c.hvhk, 5e-4);
        EXPECT_EQ(indent.GetHardnessValue()->GetHardnessString(), CString(c.text));
        EXPECT_EQ(indent.GetHardnessValue()->HasRockwellHardness(), c.hasRockwell);
        EXPECT_EQ(indent.GetHardnessValue()->HasHVHK(), c.hvhk >= 0.0);
        EXPECT_EQ(static_cast<int>(indent.GetIndentorType()), c.indentor);
    }
}

TEST(MadeIndent, KnoopIgnoresSecondDiagonal)
{
    CZENDB_MadeIndent made = MadeRecord(Knoop, 500.0, 80.0, 10.0);
    const double before = CIndent(made).GetHardnessValue()->GetHVHKHardness();
    made.D2 = 75.0;
    EXPECT_EQ(CIndent(made).GetHardnessValue()->GetHVHKHardness(), before);
    EXPECT_EQ(CIndent(made).GetHardnessValue()->GetHVHKHardnessType(), HK);
}

TEST(MadeIndent, AccessorsReadTheRecord)
{
    const CZENDB_MadeIndent made = MadeRecord(Vickers, 300.0, 40.0, 42.0);
    CIndent indent(made);
    EXPECT_DOUBLE_EQ(indent.GetXPos(), 0.25);
    EXPECT_DOUBLE_EQ(indent.GetYPos(), 0.1);
    EXPECT_DOUBLE_EQ(indent.GetTestLoad(), 300.0);
    EXPECT_DOUBLE_EQ(indent.GetD1(), 40.0);
    EXPECT_DOUBLE_EQ(indent.GetD2(), 42.0);
    EXPECT_EQ(indent.GetObjective(), CString("50x"));
    EXPECT_DOUBLE_EQ(indent.GetCalibrationData(), 0.125);
    EXPECT_EQ(indent.GetMadeIndent()->IndentID, 17);
    EXPECT_EQ(indent.GetMadeIndent()->ProfileID, 4);
}

TEST(PlannedIndent, PositionAndLoadFromIndentType)
{
    CZENDB_IndentType type(nullptr, 0.08, 0.12, 500.0);
    type.PatternID = 9;
    CIndent planned(type);
    EXPECT_EQ(planned.IsMade(), 0);
    EXPECT_EQ(planned.GetPlannedIndentKey(), 9);
    EXPECT_DOUBLE_EQ(planned.GetXPos(), 0.08);
    EXPECT_DOUBLE_EQ(planned.GetYPos(), 0.12);
    EXPECT_DOUBLE_EQ(planned.GetTestLoad(), 500.0);
    EXPECT_EQ(planned.GetD1(), 0.0);
    EXPECT_EQ(planned.GetD2(), 0.0);
    EXPECT_EQ(planned.GetIndentorType(), Vickers);
    EXPECT_EQ(planned.GetHardnessValue()->GetHVHKHardness(), 0.0);
    EXPECT_EQ(planned.GetHardnessValue()->GetHardnessString(), CString("0 HV"));

    CIndent empty;
    EXPECT_EQ(empty.IsMade(), 0);
    EXPECT_EQ(empty.GetPlannedIndentKey(), -1);
    EXPECT_EQ(empty.GetObjective(), CString(""));
    EXPECT_EQ(empty.GetHardnessValue()->GetHVHKHardness(), 0.0);
}

TEST(IndentAssignment, CopiesEverythingAndStaysIndependent)
{
    CZENDB_IndentType type(nullptr, 0.3, 0.0, 200.0);
    type.PatternID = 5;
    CIndent target(type);
    CIndent source(MadeRecord(Vickers, 1000.0, 60.0, 60.0));

    target = source;
    EXPECT_EQ(target.GetPlannedIndentKey(), -1);
    EXPECT_EQ(target.IsMade(), 1);
    EXPECT_EQ(target.GetMadeIndent()->IndentID, 17);
    EXPECT_DOUBLE_EQ(target.GetD1(), 60.0);
    EXPECT_EQ(target.GetHardnessValue()->GetHardnessString(), CString("515 HV"));
    EXPECT_EQ(target.GetHardnessValue()->GetRockwellHardnessString(),
              source.GetHardnessValue()->GetRockwellHardnessString());

    *source.GetHardnessValue() = CHardnessValue(100.0, Vickers, 1000.0, HV);
    source.GetMadeIndent()->D1 = 1.0;
    EXPECT_EQ(target.GetHardnessValue()->GetHardnessString(), CString("515 HV"));
    EXPECT_DOUBLE_EQ(target.GetD1(), 60.0);

    CIndent planned(type);
    source = planned;
    EXPECT_EQ(source.GetPlannedIndentKey(), 5);
    EXPECT_EQ(source.IsMade(), 0);
}

TEST(AverageIndent, ConstructionAndAssignment)
{
    CAverageIndent empty;
    EXPECT_EQ(empty.GetXPos(), 0.0);
    EXPECT_EQ(empty.GetTestLoad(), 0.0);
    EXPECT_EQ(empty.GetHardnessValue()->GetHVHKHardness(), 0.0);

    CAverageIndent knoop(0.4, 300.0, Knoop, HK, 600.0);
    EXPECT_DOUBLE_EQ(knoop.GetXPos(), 0.4);
    EXPECT_DOUBLE_EQ(knoop.GetTestLoad(), 600.0);
    EXPECT_EQ(knoop.GetHardnessValue()->GetHardnessString(), CString("300 HK"));
    EXPECT_TRUE(knoop.GetHardnessValue()->HasHRC());

    CAverageIndent rockwell(0.1, 50.0, Vickers, HRC, 600.0);
    EXPECT_DOUBLE_EQ(rockwell.GetHardnessValue()->GetHVHKHardness(), 514.5);

    empty = knoop;
    EXPECT_DOUBLE_EQ(empty.GetXPos(), 0.4);
    EXPECT_DOUBLE_EQ(empty.GetTestLoad(), 600.0);
    EXPECT_EQ(empty.GetHardnessValue()->GetIndentorType(), Knoop);
}
