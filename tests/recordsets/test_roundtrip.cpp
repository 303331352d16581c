// Every table recordset carries a row through a real database of each engine:
// added with AddNew/Update, found again by its default statement and key
// filter, changed with Edit, deleted. Distinct values in every field catch a
// column bound to the wrong field.

#include "RecordsetTestSupport.h"

#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <gtest/gtest.h>

namespace {

// Adds a row (fill(rs, 1)), reads it back through the default statement and
// the filter that filterOf builds from the added row, changes it (fill(rs, 2)),
// reads the change back, deletes the row and checks that it is gone.
template <class TSet, class Fill, class Check, class FilterOf>
void RoundTrip(CDatabase& db, Fill fill, Check check, FilterOf filterOf)
{
    CString sql;
    {
        TSet rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none));
        rs.AddNew();
        fill(rs, 1);
        ASSERT_TRUE(rs.Update());
        rs.MoveLast();
        ASSERT_FALSE(rs.IsEOF());
        check(rs, 1);
        sql.Format("%s %s", rs.GetDefaultSQL().GetString(), filterOf(rs).GetString());
    }
    {
        TSet rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::dynaset, sql, CRecordset::none));
        ASSERT_FALSE(rs.IsEOF()) << sql;
        check(rs, 1);
        rs.Edit();
        fill(rs, 2);
        ASSERT_TRUE(rs.Update());
    }
    {
        TSet rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::dynaset, sql, CRecordset::none));
        ASSERT_FALSE(rs.IsEOF());
        check(rs, 2);
        rs.MoveNext();
        EXPECT_TRUE(rs.IsEOF()) << "the filter picks one row";
    }
    {
        TSet rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::dynaset, sql, CRecordset::none));
        rs.Delete();
    }
    TSet rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, sql, CRecordset::none));
    EXPECT_TRUE(rs.IsEOF());
}

// A pattern whose every field holds a value of its own, derived from n.
CZENDB_Pattern MakePattern(int n)
{
    CZENDB_Pattern p;
    int i = n * 100;
    auto next = [&i] { return ++i; };
    auto flag = [&i] { return (++i % 2) ? TRUE : FALSE; };
    p.Name.Format("Pattern %d", n);
    p.Comment.Format("Comment %d", n);
    p.Deleted = FALSE;
    p.PatternType = next();
    p.SpacingType = next();
    p.ZigZagSpacing = next() + 0.5;
    p.NrOfIndents = next();
    p.SpacingBetweenIndents = next() + 0.25;
    p.TotalTraverse = next() + 0.125;
    p.XOffset = next() + 0.0625;
    p.YOffset = -next() - 0.5;
    p.TestLoadMethod = next();
    p.TestLoad = next() * 10.0;
    p.NrOfLines = next();
    p.LineSpacing = next() + 0.75;
    p.AutomaticallyEdgeAlignment = flag();
    p.FocusStrategy = next();
    p.FocusAfterEvery = next() + 0.375;
    p.MakeAndMeasureStrategy = next();
    p.StopXindentsAfterECD = next();
    p.Standard = next();
    p.ECD1At = next();
    p.ECD2At = next();
    p.ECD3At = next();
    p.ECD4At = next();
    p.ECDAtUnitConv = next();
    p.ECD2AtUnitConv = next();
    p.CalcECD1 = flag();
    p.CalcECD2 = flag();
    p.CalcCoreHardness = flag();
    p.DIN50190Part2ECDMethod = next();
    p.DIN50190Part2SurfacePercentage = next() + 0.1;
    p.DIN50190Part2FixHardness = next();
    p.DIN50190Part2FixHardnessUnitConv = next();
    p.DIN50190Part3AddToCore = next();
    p.CoreHardnessNofIndents = next();
    p.MultilaneAverageMethod = next();
    p.CurveType = next();
    p.GaussianIgnoreSoftDueToCarbonLoss = flag();
    p.GaussianIgnoreIndentOverHardnessLimit = flag();
    p.GaussianIgnoreIndentIfOutlier = flag();
    p.GaussianHardnessLimitInputUnit = next();
    p.GaussianHardnessLimit = next();
    p.GaussianOutlierLimit = next();
    p.DiagramXAxisUnit = next();
    p.DiagramXAutomatic = flag();
    p.DiagramYAutomatic = flag();
    p.DiagramXMin = next() + 0.2;
    p.DiagramYMin = next();
    p.DiagramXMax = next() + 0.3;
    p.DiagramYMax = next();
    p.DiagramShowIndentHardness = flag();
    p.DiagramShowShowAsRockwell = flag();
    p.DiagramShowResults = flag();
    p.DiagramShowECDTolerances = flag();
    p.ECDToleranceMin = next() + 0.4;
    p.ECDToleranceMax = next() + 0.6;
    p.TestloadUnit = next();
    return p;
}

void ExpectSameCalculation(const ProfileCalculationSettings& a, const ProfileCalculationSettings& b)
{
    EXPECT_EQ(a.Standard, b.Standard);
    EXPECT_EQ(a.ECD1At, b.ECD1At);
    EXPECT_EQ(a.ECD2At, b.ECD2At);
    EXPECT_EQ(a.ECD3At, b.ECD3At);
    EXPECT_EQ(a.ECD4At, b.ECD4At);
    EXPECT_EQ(a.ECDAtUnitConv, b.ECDAtUnitConv);
    EXPECT_EQ(a.ECD2AtUnitConv, b.ECD2AtUnitConv);
    EXPECT_EQ(a.CalcECD1, b.CalcECD1);
    EXPECT_EQ(a.CalcECD2, b.CalcECD2);
    EXPECT_EQ(a.CalcCoreHardness, b.CalcCoreHardness);
    EXPECT_EQ(a.DIN50190Part2ECDMethod, b.DIN50190Part2ECDMethod);
    EXPECT_EQ(a.DIN50190Part2SurfacePercentage, b.DIN50190Part2SurfacePercentage);
    EXPECT_EQ(a.DIN50190Part2FixHardness, b.DIN50190Part2FixHardness);
    EXPECT_EQ(a.DIN50190Part2FixHardnessUnitConv, b.DIN50190Part2FixHardnessUnitConv);
    EXPECT_EQ(a.DIN50190Part3AddToCore, b.DIN50190Part3AddToCore);
    EXPECT_EQ(a.CoreHardnessNofIndents, b.CoreHardnessNofIndents);
    EXPECT_EQ(a.MultilaneAverageMethod, b.MultilaneAverageMethod);
    EXPECT_EQ(a.CurveType, b.CurveType);
    EXPECT_EQ(a.GaussianIgnoreSoftDueToCarbonLoss, b.GaussianIgnoreSoftDueToCarbonLoss);
    EXPECT_EQ(a.GaussianIgnoreIndentOverHardnessLimit, b.GaussianIgnoreIndentOverHardnessLimit);
    EXPECT_EQ(a.GaussianIgnoreIndentIfOutlier, b.GaussianIgnoreIndentIfOutlier);
    EXPECT_EQ(a.GaussianHardnessLimitInputUnit, b.GaussianHardnessLimitInputUnit);
    EXPECT_EQ(a.GaussianHardnessLimit, b.GaussianHardnessLimit);
    EXPECT_EQ(a.GaussianOutlierLimit, b.GaussianOutlierLimit);
}

void ExpectSameDiagram(const ProfileDiagramSettings& a, const ProfileDiagramSettings& b)
{
    EXPECT_EQ(a.DiagramXAxisUnit, b.DiagramXAxisUnit);
    EXPECT_EQ(a.DiagramXAutomatic, b.DiagramXAutomatic);
    EXPECT_EQ(a.DiagramYAutomatic, b.DiagramYAutomatic);
    EXPECT_EQ(a.DiagramXMin, b.DiagramXMin);
    EXPECT_EQ(a.DiagramYMin, b.DiagramYMin);
    EXPECT_EQ(a.DiagramXMax, b.DiagramXMax);
    EXPECT_EQ(a.DiagramYMax, b.DiagramYMax);
    EXPECT_EQ(a.DiagramShowIndentHardness, b.DiagramShowIndentHardness);
    EXPECT_EQ(a.DiagramShowShowAsRockwell, b.DiagramShowShowAsRockwell);
    EXPECT_EQ(a.DiagramShowResults, b.DiagramShowResults);
    EXPECT_EQ(a.DiagramShowECDTolerances, b.DiagramShowECDTolerances);
    EXPECT_EQ(a.ECDToleranceMin, b.ECDToleranceMin);
    EXPECT_EQ(a.ECDToleranceMax, b.ECDToleranceMax);
    EXPECT_EQ(a.TestloadUnit, b.TestloadUnit);
}

void ExpectSamePattern(const CZENDB_Pattern& a, const CZENDB_Pattern& b)
{
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Comment, b.Comment);
    EXPECT_EQ(a.Deleted, b.Deleted);
    EXPECT_EQ(a.PatternType, b.PatternType);
    EXPECT_EQ(a.SpacingType, b.SpacingType);
    EXPECT_EQ(a.ZigZagSpacing, b.ZigZagSpacing);
    EXPECT_EQ(a.NrOfIndents, b.NrOfIndents);
    EXPECT_EQ(a.SpacingBetweenIndents, b.SpacingBetweenIndents);
    EXPECT_EQ(a.TotalTraverse, b.TotalTraverse);
    EXPECT_EQ(a.XOffset, b.XOffset);
    EXPECT_EQ(a.YOffset, b.YOffset);
    EXPECT_EQ(a.TestLoadMethod, b.TestLoadMethod);
    EXPECT_EQ(a.TestLoad, b.TestLoad);
    EXPECT_EQ(a.NrOfLines, b.NrOfLines);
    EXPECT_EQ(a.LineSpacing, b.LineSpacing);
    EXPECT_EQ(a.AutomaticallyEdgeAlignment, b.AutomaticallyEdgeAlignment);
    EXPECT_EQ(a.FocusStrategy, b.FocusStrategy);
    EXPECT_EQ(a.FocusAfterEvery, b.FocusAfterEvery);
    EXPECT_EQ(a.MakeAndMeasureStrategy, b.MakeAndMeasureStrategy);
    EXPECT_EQ(a.StopXindentsAfterECD, b.StopXindentsAfterECD);
    ExpectSameCalculation(a.GetCalculationSettings(), b.GetCalculationSettings());
    ExpectSameDiagram(a.GetDiagramSettings(), b.GetDiagramSettings());
}

CZENDB_SampleProfileRun MakeRun(int n)
{
    const CZENDB_Pattern settings = MakePattern(n + 10);
    CZENDB_SampleProfileRun r;
    r.SampleID = 40 + n;
    r.ProfileNr = n;
    r.Position.Format("Position %d", n);
    r.StagePosX = 1.5 * n;
    r.StagePosY = -2.5 * n;
    r.Direction = 45.0 * n;
    r.ProfileName.Format("Profile %d", n);
    r.SetCalculationSettings(settings.GetCalculationSettings());
    r.SetDiagramSettings(settings.GetDiagramSettings());
    return r;
}

class RecordsetRoundTrip : public rstest::CEngineTest {};

TEST_P(RecordsetRoundTrip, Patterns)
{
    RoundTrip<CZENDB_PatternsRecordset>(
        m_db->Db(),
        [](CZENDB_PatternsRecordset& rs, int n) {
            rs.m_Pattern.KeepKey = true; // the key is the database's
            rs.m_Pattern = MakePattern(n);
        },
        [](CZENDB_PatternsRecordset& rs, int n) {
            EXPECT_GT(rs.m_Pattern.PatternID, 0);
            ExpectSamePattern(rs.m_Pattern, MakePattern(n));
        },
        [](CZENDB_PatternsRecordset& rs) { return rs.GetWhereSQL(rs.m_Pattern.PatternID); });
}

TEST_P(RecordsetRoundTrip, PatternMarkedDeletedIsNotFoundByKey)
{
    int32_t key = -1;
    {
        CZENDB_PatternsRecordset rs(&m_db->Db());
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        rs.AddNew();
        rs.m_Pattern.KeepKey = true;
        rs.m_Pattern = MakePattern(1);
        rs.m_Pattern.Deleted = TRUE;
        rs.Update();
        rs.MoveLast();
        key = rs.m_Pattern.PatternID;
    }
    CZENDB_PatternsRecordset rs(&m_db->Db());
    CString sql;
    sql.Format("%s %s", rs.GetDefaultSQL().GetString(), rs.GetWhereSQL(key).GetString());
    rs.Open(CRecordset::dynaset, sql, CRecordset::none);
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rstest::FirstColumn(m_db->Db(), "SELECT COUNT(*) FROM Patterns"),
              std::vector<std::string>{"1"});
}

TEST_P(RecordsetRoundTrip, IndentTypeWithoutKeyOfItsOwn)
{
    RoundTrip<CZENDB_IndentTypeRecordset>(
        m_db->Db(),
        [](CZENDB_IndentTypeRecordset& rs, int n) {
            rs.m_IndentType.PatternID = 5;
            rs.m_IndentType.XPos = 0.1 * n;
            rs.m_IndentType.YPos = -0.2 * n;
            rs.m_IndentType.TestLoad = 100.0 * n;
        },
        [](CZENDB_IndentTypeRecordset& rs, int n) {
            EXPECT_EQ(rs.m_IndentType.PatternID, 5);
            EXPECT_EQ(rs.m_IndentType.XPos, 0.1 * n);
            EXPECT_EQ(rs.m_IndentType.YPos, -0.2 * n);
            EXPECT_EQ(rs.m_IndentType.TestLoad, 100.0 * n);
        },
        [](CZENDB_IndentTypeRecordset&) { return CString("WHERE PatternID=5"); });
}

TEST_P(RecordsetRoundTrip, RoutineTypesFindDeletedRoutinesByKey)
{
    RoundTrip<CZENDB_RoutineTypesRecordset>(
        m_db->Db(),
        [](CZENDB_RoutineTypesRecordset& rs, int n) {
            rs.m_Routine.Name.Format("Routine %d", n);
            rs.m_Routine.Comment.Format("Comment %d", n);
            rs.m_Routine.Deleted = n == 2 ? TRUE : FALSE;
        },
        [](CZENDB_RoutineTypesRecordset& rs, int n) {
            EXPECT_GT(rs.m_Routine.RoutineTypeID, 0);
            EXPECT_EQ(rs.m_Routine.Name, n == 1 ? "Routine 1" : "Routine 2");
            EXPECT_EQ(rs.m_Routine.Comment, n == 1 ? "Comment 1" : "Comment 2");
            EXPECT_EQ(rs.m_Routine.Deleted, n == 2 ? TRUE : FALSE);
        },
        [](CZENDB_RoutineTypesRecordset& rs) { return rs.GetWhereSQL(rs.m_Routine.RoutineTypeID); });
}

TEST_P(RecordsetRoundTrip, RoutineProfile)
{
    RoundTrip<CZENDB_RoutineProfileRecordset>(
        m_db->Db(),
        [](CZENDB_RoutineProfileRecordset& rs, int n) {
            rs.m_RoutineProfile.RoutineTypeID = 10 + n;
            rs.m_RoutineProfile.PatternID = 20 + n;
            rs.m_RoutineProfile.Position.Format("Tooth %d", n);
            rs.m_RoutineProfile.UsePrestoredCoordinates = n - 1;
            rs.m_RoutineProfile.XPos = 1.25 * n;
            rs.m_RoutineProfile.YPos = 2.5 * n;
            rs.m_RoutineProfile.Direction = 90.0 * n;
        },
        [](CZENDB_RoutineProfileRecordset& rs, int n) {
            EXPECT_GT(rs.m_RoutineProfile.RoutineProfileTypeID, 0);
            EXPECT_EQ(rs.m_RoutineProfile.RoutineTypeID, 10 + n);
            EXPECT_EQ(rs.m_RoutineProfile.PatternID, 20 + n);
            EXPECT_EQ(rs.m_RoutineProfile.Position, n == 1 ? "Tooth 1" : "Tooth 2");
            EXPECT_EQ(rs.m_RoutineProfile.UsePrestoredCoordinates, n - 1);
            EXPECT_EQ(rs.m_RoutineProfile.XPos, 1.25 * n);
            EXPECT_EQ(rs.m_RoutineProfile.YPos, 2.5 * n);
            EXPECT_EQ(rs.m_RoutineProfile.Direction, 90.0 * n);
        },
        [](CZENDB_RoutineProfileRecordset& rs) {
            return rs.GetWhereSQL(rs.m_RoutineProfile.RoutineProfileTypeID);
        });
}

TEST_P(RecordsetRoundTrip, SampleProfilesRun)
{
    RoundTrip<CZENDB_SampleProfilesRunRecordset>(
        m_db->Db(),
        [](CZENDB_SampleProfilesRunRecordset& rs, int n) {
            rs.m_ProfileRun.KeepKey = true;
            rs.m_ProfileRun = MakeRun(n);
        },
        [](CZENDB_SampleProfilesRunRecordset& rs, int n) {
            const CZENDB_SampleProfileRun expected = MakeRun(n);
            const CZENDB_SampleProfileRun& got = rs.m_ProfileRun;
            EXPECT_GT(got.ProfileID, 0);
            EXPECT_EQ(got.SampleID, expected.SampleID);
            EXPECT_EQ(got.ProfileNr, expected.ProfileNr);
            EXPECT_EQ(got.Position, expected.Position);
            EXPECT_EQ(got.StagePosX, expected.StagePosX);
            EXPECT_EQ(got.StagePosY, expected.StagePosY);
            EXPECT_EQ(got.Direction, expected.Direction);
            EXPECT_EQ(got.ProfileName, expected.ProfileName);
            ExpectSameCalculation(got.GetCalculationSettings(), expected.GetCalculationSettings());
            ExpectSameDiagram(got.GetDiagramSettings(), expected.GetDiagramSettings());
        },
        [](CZENDB_SampleProfilesRunRecordset& rs) { return rs.GetWhereSQL(rs.m_ProfileRun.ProfileID); });
}

TEST_P(RecordsetRoundTrip, IndentsRunLeavesHardnessColumnsToOthers)
{
    auto fill = [](CZENDB_IndentsRunRecordset& rs, int n) {
        rs.m_MadeIndent.ProfileID = 7;
        rs.m_MadeIndent.ActualDistanceFromEdge = 0.05 * n;
        rs.m_MadeIndent.ActualDistanceFromAxis = 0.01 * n;
        rs.m_MadeIndent.D1 = 30.0 + n;
        rs.m_MadeIndent.D2 = 31.0 + n;
        rs.m_MadeIndent.ActualTypeOfIndentor = n;
        rs.m_MadeIndent.ActualTestload = 500.0 * n;
        rs.m_MadeIndent.Objective.Format("%dx", 40 + n);
        rs.m_MadeIndent.CalibrationData = 0.125 * n;
    };
    auto check = [](CZENDB_IndentsRunRecordset& rs, int n) {
        EXPECT_GT(rs.m_MadeIndent.IndentID, 0);
        EXPECT_EQ(rs.m_MadeIndent.ProfileID, 7);
        EXPECT_EQ(rs.m_MadeIndent.ActualDistanceFromEdge, 0.05 * n);
        EXPECT_EQ(rs.m_MadeIndent.ActualDistanceFromAxis, 0.01 * n);
        EXPECT_EQ(rs.m_MadeIndent.D1, 30.0 + n);
        EXPECT_EQ(rs.m_MadeIndent.D2, 31.0 + n);
        EXPECT_EQ(rs.m_MadeIndent.ActualTypeOfIndentor, n);
        EXPECT_EQ(rs.m_MadeIndent.ActualTestload, 500.0 * n);
        EXPECT_EQ(rs.m_MadeIndent.Objective, n == 1 ? "41x" : "42x");
        EXPECT_EQ(rs.m_MadeIndent.CalibrationData, 0.125 * n);
    };
    RoundTrip<CZENDB_IndentsRunRecordset>(
        m_db->Db(), fill, check,
        [](CZENDB_IndentsRunRecordset& rs) { return rs.GetWhereSQL(rs.m_MadeIndent.IndentID); });

    // A row added through the recordset leaves Hardness and Hardness unit unset.
    int32_t key = -1;
    {
        CZENDB_IndentsRunRecordset rs(&m_db->Db());
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        rs.AddNew();
        fill(rs, 1);
        rs.Update();
        rs.MoveLast();
        key = rs.m_MadeIndent.IndentID;
        EXPECT_TRUE(rs.IsFieldNull(&rs.m_Hardness));
        EXPECT_TRUE(rs.IsFieldNull(&rs.m_HardnessUnit));
    }
    // Another program fills them in; a change through the recordset keeps them.
    CString sql;
    sql.Format("UPDATE IndentsRun SET [Hardness] = 612.5, [Hardness unit] = 'HV0.5' WHERE IndentID=%d",
               key);
    m_db->Db().ExecuteSQL(sql);
    {
        CZENDB_IndentsRunRecordset rs(&m_db->Db());
        sql.Format("%s %s", rs.GetDefaultSQL().GetString(), rs.GetWhereSQL(key).GetString());
        rs.Open(CRecordset::dynaset, sql, CRecordset::none);
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.m_Hardness, 612.5);
        rs.Edit();
        CZENDB_MadeIndent changed = rs.m_MadeIndent;
        changed.D1 = 44.0;
        rs.m_MadeIndent = changed;
        rs.Update();
    }
    CZENDB_IndentsRunRecordset rs(&m_db->Db());
    rs.Open(CRecordset::dynaset, sql, CRecordset::none);
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.m_MadeIndent.D1, 44.0);
    EXPECT_EQ(rs.m_Hardness, 612.5);
    EXPECT_EQ(rs.m_HardnessUnit, "HV0.5");
}

TEST_P(RecordsetRoundTrip, SystemTableVersionRow)
{
    // The new file holds its version row already; edit and restore it.
    CZENDB_SystemTableRecordset rs(&m_db->Db());
    rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.m_MajorVersion, 1);
    EXPECT_EQ(rs.m_MinorVersion, 9);
    rs.Edit();
    rs.m_MinorVersion = 10;
    EXPECT_TRUE(rs.Update());
    rs.Close();
    EXPECT_EQ(rstest::FirstColumn(m_db->Db(), "SELECT MinorVersion FROM SystemTable"),
              std::vector<std::string>{"10"});
    RoundTrip<CZENDB_SystemTableRecordset>(
        m_db->Db(),
        [](CZENDB_SystemTableRecordset& r, int n) {
            r.m_MajorVersion = 7;
            r.m_MinorVersion = n;
        },
        [](CZENDB_SystemTableRecordset& r, int n) {
            EXPECT_EQ(r.m_MajorVersion, 7);
            EXPECT_EQ(r.m_MinorVersion, n);
        },
        [](CZENDB_SystemTableRecordset&) { return CString("WHERE MajorVersion=7"); });
}

TEST_P(RecordsetRoundTrip, UsersFoundByStoredNameEvenWithQuotes)
{
    RoundTrip<CZENDB_UserTableRecordset>(
        m_db->Db(),
        [](CZENDB_UserTableRecordset& rs, int n) {
            rs.m_User.Field0 = "O'Brien";
            rs.m_User.Field1.Format("secret %d", n);
            rs.m_User.Field2 = n;
        },
        [](CZENDB_UserTableRecordset& rs, int n) {
            EXPECT_EQ(rs.m_User.Field0, "O'Brien");
            EXPECT_EQ(rs.m_User.Field1, n == 1 ? "secret 1" : "secret 2");
            EXPECT_EQ(rs.m_User.Field2, n);
        },
        [](CZENDB_UserTableRecordset& rs) { return rs.GetWhereSQL(rs.m_User.Field0); });
}

TEST_P(RecordsetRoundTrip, RegistrationAndDescriptions)
{
    RoundTrip<CZENDB_RegistrationRecordset>(
        m_db->Db(),
        [](CZENDB_RegistrationRecordset& rs, int n) {
            rs.m_RegistrationField.Control = "Extra'Field";
            rs.m_RegistrationField.Visible = n == 1 ? TRUE : FALSE;
            rs.m_RegistrationField.DisplayOrder = 26 + n;
        },
        [](CZENDB_RegistrationRecordset& rs, int n) {
            EXPECT_EQ(rs.m_RegistrationField.Control, "Extra'Field");
            EXPECT_EQ(rs.m_RegistrationField.Visible, n == 1 ? TRUE : FALSE);
            EXPECT_EQ(rs.m_RegistrationField.DisplayOrder, 26 + n);
        },
        [](CZENDB_RegistrationRecordset& rs) { return rs.GetWhereSQL(rs.m_RegistrationField.Control); });
    RoundTrip<CZENDB_RegistrationDescriptionsRecordset>(
        m_db->Db(),
        [](CZENDB_RegistrationDescriptionsRecordset& rs, int n) {
            rs.m_Control = "Extra'Field";
            rs.m_Description.Format("Número %d", n);
        },
        [](CZENDB_RegistrationDescriptionsRecordset& rs, int n) {
            EXPECT_EQ(rs.m_Control, "Extra'Field");
            EXPECT_EQ(rs.m_Description, n == 1 ? "Número 1" : "Número 2");
        },
        [](CZENDB_RegistrationDescriptionsRecordset& rs) { return rs.GetWhereSQL(rs.m_Control); });
}

TEST_P(RecordsetRoundTrip, DefaultTestTables)
{
    RoundTrip<CZENDB_DefaultProfileToUseRecordset>(
        m_db->Db(),
        [](CZENDB_DefaultProfileToUseRecordset& rs, int n) {
            rs.m_SampleID = 42;
            rs.m_UseProfileTypeID = 100 + n;
        },
        [](CZENDB_DefaultProfileToUseRecordset& rs, int n) {
            EXPECT_EQ(rs.m_SampleID, 42);
            EXPECT_EQ(rs.m_UseProfileTypeID, 100 + n);
        },
        [](CZENDB_DefaultProfileToUseRecordset& rs) { return rs.GetWhereSQL(rs.m_SampleID); });
    RoundTrip<CZENDB_DefaultRoutineToUseRecordset>(
        m_db->Db(),
        [](CZENDB_DefaultRoutineToUseRecordset& rs, int n) {
            rs.m_SampleID = 43;
            rs.m_UseRoutineTypeID = 200 + n;
        },
        [](CZENDB_DefaultRoutineToUseRecordset& rs, int n) {
            EXPECT_EQ(rs.m_SampleID, 43);
            EXPECT_EQ(rs.m_UseRoutineTypeID, 200 + n);
        },
        [](CZENDB_DefaultRoutineToUseRecordset& rs) { return rs.GetWhereSQL(rs.m_SampleID); });
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordsetRoundTrip, ::testing::ValuesIn(zentest::AllEngines()),
                         rstest::EngineParamName);

} // namespace
