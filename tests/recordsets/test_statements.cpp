// Statements, field counts and key filters of the table recordsets: the texts
// are compared exactly (trailing blanks included), and every statement is run
// on a real database of each engine, where it must return exactly the bound columns.

#include "RecordsetTestSupport.h"

#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct StatementCase {
    const char* name;
    std::function<std::unique_ptr<CZENDB_Recordset>(CDatabase*)> make;
    UINT fields;
    const char* sql;
};

template <class TSet>
std::function<std::unique_ptr<CZENDB_Recordset>(CDatabase*)> Maker()
{
    return [](CDatabase* db) { return std::make_unique<TSet>(db); };
}

const StatementCase kStatements[] = {
    {"Samples", Maker<CZENDB_SamplesRecordset>(), 34,
     "SELECT [Samples].[SampleID],[UserSampleID],[WorkOrder],[PartNo],[Detail],[Customer],"
     "[Material],[RegistrationDate],[RegisteredBy],[DueDate],[MeasuredDate],[MeasuredBy],[Signed],"
     "[Signature],[CustomField1],[CustomField2],[CustomField3],[CustomField4],[CustomField5],"
     "[CustomField6],[CustomField7],[CustomField8],[CustomField9],[CustomField10],[CustomField11],"
     "[CustomField12],[CustomField13],[CustomField14],[CustomField15],[CustomField16],"
     "[CustomField17],[CustomField18],[CustomField19],[Trace] FROM Samples "},
    {"ShortSample", Maker<CZENDB_ShortSampleRecordset>(), 7,
     "SELECT [Samples].[SampleID],[UserSampleID],[RegistrationDate],[DueDate],[MeasuredDate],"
     "[Patterns].[Name], [RoutineTypes].[Name] FROM ((((Samples LEFT JOIN DefaultProfileToUse ON "
     "[Samples].[SampleID] = [DefaultProfileToUse].[SampleID]) LEFT JOIN DefaultRoutineToUse ON "
     "[Samples].[SampleID] = [DefaultRoutineToUse].[SampleID]) LEFT JOIN Patterns ON "
     "[DefaultProfileToUse].[UseProfileTypeID] = [Patterns].[PatternID] ) LEFT JOIN RoutineTypes "
     "ON [DefaultRoutineToUse].[UseRoutineTypeID] = [RoutineTypes].[RoutineTypeID] ) "},
    {"SystemTable", Maker<CZENDB_SystemTableRecordset>(), 2,
     "SELECT [MajorVersion], [MinorVersion] FROM SystemTable"},
    {"Table1", Maker<CZENDB_UserTableRecordset>(), 3,
     "SELECT [Field0], [Field1], [Field2] FROM Table1"},
    {"Registration", Maker<CZENDB_RegistrationRecordset>(), 3,
     "SELECT [Control], [Visible], [DisplayOrder] FROM Registration"},
    {"RegistrationDescriptions", Maker<CZENDB_RegistrationDescriptionsRecordset>(), 2,
     "SELECT [Control], [Description] FROM RegistrationDescriptions"},
    {"DefaultProfileToUse", Maker<CZENDB_DefaultProfileToUseRecordset>(), 2,
     "SELECT [SampleID], [UseProfileTypeID] FROM DefaultProfileToUse"},
    {"DefaultRoutineToUse", Maker<CZENDB_DefaultRoutineToUseRecordset>(), 2,
     "SELECT [SampleID], [UseRoutineTypeID] FROM DefaultRoutineToUse"},
    {"Patterns", Maker<CZENDB_PatternsRecordset>(), 59,
     "SELECT [PatternID],[Name],[Comment],[PatternType],[SpacingType],[ZigZagSpacing],"
     "[NrOfIndents],[SpacingBetweenIndents],[TotalTraverse],[XOffset],[YOffset],[NrOfLines],"
     "[LineSpacing],[TestLoadMethod],[TestLoad],[Standard],[ECD1At],[ECD2At],[ECDAtUnitConv],"
     "[ECD2AtUnitConv],[CalcECD1],[CalcECD2],[CalcCoreHardness],[DIN50190Part2ECDMethod],"
     "[DIN50190Part2SurfacePercentage],[DIN50190Part2FixHardness],"
     "[DIN50190Part2FixHardnessUnitConv],[DIN50190Part3AddToCore],[CoreHardnessNofIndents],"
     "[MultilaneAverageMethod],[CurveType],[GaussianIgnoreSoftDueToCarbonLoss],"
     "[GaussianIgnoreIndentOverHardnessLimit],[GaussianIgnoreIndentIfOutlier],"
     "[GaussianHardnessLimitInputUnit],[GaussianHardnessLimit],[GaussianOutlierLimit],"
     "[FocusStrategy],[FocusAfterEvery],[MakeAndMeasureStrategy],[StopXindentsAfterECD],"
     "[DiagramXAutomatic],[DiagramYAutomatic],[DiagramXMin],[DiagramXMax],[DiagramYMin],"
     "[DiagramYMax],[DiagramXAxisUnit],[DiagramShowIndentHardness],[DiagramShowShowAsRockwell],"
     "[DiagramShowResults],[DiagramShowECDTolerances],[ECDToleranceMin],[ECDToleranceMax],"
     "[TestloadUnit],[ECD3At],[ECD4At], [AutomaticallyEdgeAlignment], [Deleted] FROM Patterns"},
    {"IndentType", Maker<CZENDB_IndentTypeRecordset>(), 4,
     "SELECT [PatternID], [XPos], [YPos], [Testload] FROM IndentType"},
    {"RoutineTypes", Maker<CZENDB_RoutineTypesRecordset>(), 4,
     "SELECT [RoutineTypeID], [Name], [Comment], [Deleted] FROM RoutineTypes"},
    {"RoutineProfile", Maker<CZENDB_RoutineProfileRecordset>(), 8,
     "SELECT [RoutineProfileTypeID], [RoutineTypeID], [PatternID], [Position], "
     "[UsePrestoredCoordinates], [XPos], [YPos], [Direction] FROM RoutineProfile"},
    {"SampleProfilesRun", Maker<CZENDB_SampleProfilesRunRecordset>(), 46,
     "SELECT [ProfileID],[SampleID],[ProfileNr],[Position],[StagePosX],[StagePosY],[Direction],"
     "[ProfileName],[Standard],[ECD1At],[ECD2At],[ECDAtUnitConv],[ECD2AtUnitConv],[CalcECD1],"
     "[CalcECD2],[CalcCoreHardness],[DIN50190Part2ECDMethod],[DIN50190Part2SurfacePercentage],"
     "[DIN50190Part2FixHardness],[DIN50190Part2FixHardnessUnitConv],[DIN50190Part3AddToCore],"
     "[CoreHardnessNofIndents],[MultilaneAverageMethod],[CurveType],"
     "[GaussianIgnoreSoftDueToCarbonLoss],[GaussianIgnoreIndentOverHardnessLimit],"
     "[GaussianIgnoreIndentIfOutlier],[GaussianHardnessLimitInputUnit],[GaussianHardnessLimit],"
     "[GaussianOutlierLimit],[DiagramXAutomatic],[DiagramYAutomatic],[DiagramXMin],[DiagramXMax],"
     "[DiagramYMin],[DiagramYMax],[DiagramXAxisUnit],[DiagramShowIndentHardness],"
     "[DiagramShowShowAsRockwell],[DiagramShowResults],[DiagramShowECDTolerances],"
     "[ECDToleranceMin],[ECDToleranceMax],[TestloadUnit],[ECD3At],[ECD4At] FROM "
     "[SampleProfilesRun]"},
    {"IndentsRun", Maker<CZENDB_IndentsRunRecordset>(), 12,
     "SELECT [IndentID], [ProfileID], [Actual distance from edge], [Actual distance from axis], "
     "[D1], [D2], [Actual type of indentor], [Actual testload], [Hardness], [Hardness unit], "
     "[Objective], [Calibration data] FROM IndentsRun"},
};

class RecordsetStatementsOpen : public rstest::CEngineTest {};

TEST_P(RecordsetStatementsOpen, TextAndFieldCountOfEveryTable)
{
    rstest::CTestDatabase& db = *m_db;
    for (const StatementCase& c : kStatements) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CZENDB_Recordset> rs = c.make(&db.Db());
        EXPECT_EQ(rs->GetDefaultSQL(), c.sql);
        EXPECT_EQ(rs->m_nFields, c.fields);
        EXPECT_EQ(rs->GetDefaultConnect(), "ODBC;");
        // Opening checks that the field exchange names exactly m_nFields columns.
        ASSERT_TRUE(rs->Open(CRecordset::dynaset, rs->GetDefaultSQL(), CRecordset::none));
        EXPECT_EQ(static_cast<UINT>(rs->GetODBCFieldCount()), c.fields);
        rs->Close();
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordsetStatementsOpen, ::testing::ValuesIn(zentest::AllEngines()),
                         rstest::EngineParamName);

TEST(RecordsetStatements, LimitedAndSelectListStatementsOfSamples)
{
    CZENDB_SamplesRecordset samples;
    const CString all = samples.GetDefaultSQL();
    EXPECT_EQ(samples.GetDefaultFirst5000SQL(), "SELECT TOP 5000 " + all.Mid(7));

    CZENDB_SampleRegisteredByRecordset registered;
    EXPECT_EQ(registered.GetDefaultSQL(),
              "[Samples].[SampleID],[UserSampleID],[RegistrationDate] FROM Samples ");
    EXPECT_EQ(registered.m_nFields, 3u);
}

TEST(RecordsetStatements, KeyFiltersBeginWithABlankAndQuoteTextKeys)
{
    struct Case {
        CString actual;
        const char* expected;
    };
    CZENDB_SamplesRecordset samples;
    CZENDB_UserTableRecordset users;
    CZENDB_RegistrationRecordset registration;
    CZENDB_RegistrationDescriptionsRecordset descriptions;
    CZENDB_DefaultProfileToUseRecordset defaultProfile;
    CZENDB_DefaultRoutineToUseRecordset defaultRoutine;
    CZENDB_PatternsRecordset patterns;
    CZENDB_RoutineTypesRecordset routines;
    CZENDB_RoutineProfileRecordset routineProfiles;
    CZENDB_SampleProfilesRunRecordset runs;
    CZENDB_IndentsRunRecordset indents;
    const Case cases[] = {
        {samples.GetWhereSQL(12), " WHERE [Samples].[SampleID]=12"},
        {users.GetWhereSQL("abc"), " WHERE Field0='abc'"},
        {users.GetWhereSQL("O'Brien"), " WHERE Field0='O''Brien'"},
        {registration.GetWhereSQL("CustomField7"), " WHERE Control='CustomField7'"},
        {registration.GetWhereSQL("a'; DROP TABLE Samples; --"),
         " WHERE Control='a''; DROP TABLE Samples; --'"},
        {descriptions.GetWhereSQL("Work'Order"), " WHERE Control='Work''Order'"},
        {defaultProfile.GetWhereSQL(42), " WHERE SampleID=42"},
        {defaultProfile.GetWhereSQL(-1), " WHERE SampleID=-1"},
        {defaultRoutine.GetWhereSQL(42), " WHERE SampleID=42"},
        {patterns.GetWhereSQL(7), " WHERE PatternID=7 AND Deleted = 0 "},
        {routines.GetWhereSQL(7), " WHERE RoutineTypeID=7"},
        {routineProfiles.GetWhereSQL(3), " WHERE RoutineProfileTypeID=3"},
        {runs.GetWhereSQL(-2147483647 - 1), " WHERE ProfileID=-2147483648"},
        {indents.GetWhereSQL(2147483647), " WHERE IndentID=2147483647"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(RecordsetStatements, SampleRecordsetsStartWithCurrentDatesAndAZeroTraceBlock)
{
    const ZTIME before = CTime::GetCurrentTime().GetTime();
    CZENDB_SamplesRecordset samples;
    CZENDB_SampleRegisteredByRecordset registered;
    EXPECT_EQ(samples.m_Sample.Database, nullptr);
    EXPECT_GE(samples.m_Sample.RegistrationDate.GetTime(), before);
    EXPECT_GE(samples.m_Sample.DueDate.GetTime(), before);
    EXPECT_GE(samples.m_Sample.MeasuredDate.GetTime(), before);
    EXPECT_GE(registered.m_Sample.RegistrationDate.GetTime(), before);
    EXPECT_EQ(registered.m_Sample.DueDate.GetTime(), 0);
    ASSERT_EQ(samples.m_Trace.GetSize(), 10000);
    EXPECT_EQ(samples.m_Trace.Vector(), std::vector<BYTE>(10000, 0));
}

} // namespace
