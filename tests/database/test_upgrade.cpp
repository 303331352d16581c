// Tests of the version check and the schema upgrade, on a file and on a
// server database: opening databases of every version, the statements each step runs and their order across the tables,
// interrupted upgrades, the one-step operations, the version 1.5 settings
// filler and the table configurations.

#include "FacadeTestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/FieldInfo.h"

#include <algorithm>
#include <cstdint>

namespace {

using factest::CFacadeTest;
using factest::Column;
using factest::ColumnNames;
using factest::Text;

// The facade with its protected upgrade walk reachable.
class CUpgradableFacade : public CZENDatabase {
public:
    using CZENDatabase::UpdateTablesTo;
};

bool Has(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Last(const std::vector<std::string>& names, size_t fromEnd)
{
    return names.size() > fromEnd ? names[names.size() - 1 - fromEnd] : std::string();
}

class Upgrade : public CFacadeTest {
protected:
    // Opens the database as a plain connection, without the version check.
    void Connect(CZENDatabase& facade) { facade.OpenEx(m_connect.c_str(), CDatabase::noOdbcDialog); }
};

TEST_P(Upgrade, OpeningDatabasesOfEveryVersion)
{
    struct Case {
        int createdMinor;
        int major, minor;
        int result;
        bool openAfterwards;
        std::vector<std::string> messages;
    };
    CString refusal;
    refusal.Format("This software can only upgrade database versions newer with version 1.6 and higher!\n"
                   "Your database version is %d.%d\nPlease use an older version of ZEN to upgrade to at least 1.6",
                   1, 5);
    CString upgraded;
    upgraded.Format(Text(13036).c_str(), 1, 9);
    const Case cases[] = {
        {9, 1, 5, 0, true, {refusal.Str()}},
        {6, 1, 6, 1, true, {upgraded.Str()}},
        {7, 1, 7, 1, true, {upgraded.Str()}},
        {8, 1, 8, 1, true, {upgraded.Str()}},
        {9, 1, 9, 1, true, {}},
        {9, 1, 10, 0, false, {}},
        {9, 2, 0, 0, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        NewDatabase();
        CreateDatabase(c.createdMinor, std::make_pair(c.major, c.minor));
        m_host.Reset();
        CZENDatabase facade;
        CString error;
        EXPECT_EQ(facade.OpenDatabase(0, "", "", error), c.result);
        EXPECT_EQ(facade.IsOpen() != FALSE, c.openAfterwards);
        EXPECT_EQ(MessageTexts(), c.messages);
        EXPECT_TRUE(error.IsEmpty());
        for (const auto& message : m_host.GetMessages()) {
            if (c.result == 1) {
                EXPECT_EQ(message.style, MB_OK | MB_ICONINFORMATION);
            }
        }
        facade.CloseDatabase();
        const std::string expectedVersion =
            c.result == 1 ? "1.9" : std::to_string(c.major) + "." + std::to_string(c.minor);
        EXPECT_EQ(factest::Version(m_connect), expectedVersion);
    }
}

TEST_P(Upgrade, VersionSixBecomesNineWithEveryColumnInPlace)
{
    CreateDatabase(6);
    factest::Exec(m_connect, {"INSERT INTO Patterns (Name) VALUES ('P1')", "INSERT INTO Patterns (Name) VALUES ('P2')",
                             "INSERT INTO RoutineTypes (Name) VALUES ('R1')"});
    EXPECT_EQ(OpenPlain(), 1);
    m_facade.CloseDatabase();

    const auto samples = ColumnNames(m_connect, "Samples");
    const auto patterns = ColumnNames(m_connect, "Patterns");
    const auto routines = ColumnNames(m_connect, "RoutineTypes");
    EXPECT_EQ(Last(samples, 0), "Trace");
    EXPECT_EQ(Last(patterns, 1), "AutomaticallyEdgeAlignment");
    EXPECT_EQ(Last(patterns, 0), "Deleted");
    EXPECT_EQ(Last(routines, 0), "Deleted");
    EXPECT_EQ(Column(m_connect, "SELECT AutomaticallyEdgeAlignment FROM Patterns"),
              (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(Column(m_connect, "SELECT Deleted FROM Patterns"), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(Column(m_connect, "SELECT Deleted FROM RoutineTypes"), (std::vector<std::string>{"0"}));
    // An upgraded file and a new one have the same layout.
    const std::string fresh = OtherDatabase(9);
    for (const char* table : {"Samples", "Patterns", "RoutineTypes"})
        EXPECT_EQ(ColumnNames(m_connect, table), ColumnNames(fresh, table)) << table;
}

TEST_P(Upgrade, EightRunsOnlyTheLastStep)
{
    CreateDatabase(8);
    const auto samplesBefore = ColumnNames(m_connect, "Samples");
    const auto patternsBefore = ColumnNames(m_connect, "Patterns");
    EXPECT_EQ(OpenPlain(), 1);
    m_facade.CloseDatabase();
    EXPECT_EQ(ColumnNames(m_connect, "Samples"), samplesBefore);
    auto patternsAfter = ColumnNames(m_connect, "Patterns");
    ASSERT_EQ(patternsAfter.size(), patternsBefore.size() + 1);
    EXPECT_EQ(Last(patternsAfter, 0), "Deleted");
}

// The first statement of the walk fails (a Trace column already there): its
// error is shown, nothing else runs, the version stays, and every later
// opening fails the same way.
TEST_P(Upgrade, InterruptedUpgradeStopsAtItsFirstFailure)
{
    CreateDatabase(7, std::make_pair(1, 6));
    const auto patternsBefore = ColumnNames(m_connect, "Patterns");
    const auto routinesBefore = ColumnNames(m_connect, "RoutineTypes");
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_host.Reset();
        CZENDatabase facade;
        CString error;
        EXPECT_EQ(facade.OpenDatabase(0, "", "", error), 0);
        EXPECT_FALSE(facade.IsOpen());
        ASSERT_EQ(m_host.GetMessages().size(), 2u);
        EXPECT_NE(m_host.GetMessages()[0].text.Find("Trace"), -1) << m_host.GetMessages()[0].text.GetString();
        EXPECT_EQ(m_host.GetMessages()[0].style, MB_OK);
        EXPECT_EQ(m_host.GetMessages()[1].text.Str(), Text(13035));
        EXPECT_EQ(m_host.GetMessages()[1].style, MB_OK | MB_ICONERROR);
        EXPECT_EQ(factest::Version(m_connect), "1.6");
        EXPECT_EQ(ColumnNames(m_connect, "Patterns"), patternsBefore);
        EXPECT_EQ(ColumnNames(m_connect, "RoutineTypes"), routinesBefore);
    }
}

// Where the walk stops tells the order: Samples before Patterns before
// RoutineTypes, and the version only after all of them.
TEST_P(Upgrade, TablesAreUpgradedInOrderWithTheVersionLast)
{
    // The step to 1.8 of Patterns fails silently: Samples has already changed.
    CreateDatabase(6);
    factest::Exec(m_connect, {"ALTER TABLE Patterns ADD AutomaticallyEdgeAlignment BIT"});
    EXPECT_EQ(OpenPlain(), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Text(13035)});
    EXPECT_TRUE(Has(ColumnNames(m_connect, "Samples"), "Trace"));
    EXPECT_FALSE(Has(ColumnNames(m_connect, "Patterns"), "Deleted"));
    EXPECT_FALSE(Has(ColumnNames(m_connect, "RoutineTypes"), "Deleted"));
    EXPECT_EQ(factest::Version(m_connect), "1.6");

    // The step to 1.9 of RoutineTypes fails loudly: Patterns has already changed.
    NewDatabase();
    CreateDatabase(8);
    factest::Exec(m_connect, {"ALTER TABLE RoutineTypes ADD Deleted BIT"});
    m_host.Reset();
    CZENDatabase facade;
    CString error;
    EXPECT_EQ(facade.OpenDatabase(0, "", "", error), 0);
    ASSERT_EQ(m_host.GetMessages().size(), 2u);
    EXPECT_EQ(m_host.GetMessages()[0].text.Find("Failed to upgrade: "), 0)
        << m_host.GetMessages()[0].text.GetString();
    EXPECT_EQ(m_host.GetMessages()[1].text.Str(), Text(13035));
    EXPECT_TRUE(Has(ColumnNames(m_connect, "Patterns"), "Deleted"));
    EXPECT_EQ(factest::Version(m_connect), "1.8");
}

TEST_P(Upgrade, WalkRefusesTargetsAndVersionsOutsideItsRange)
{
    CreateDatabase(6);
    CUpgradableFacade facade;
    Connect(facade);
    const auto samplesBefore = ColumnNames(m_connect, "Samples");
    EXPECT_EQ(facade.UpdateTablesTo(1, 5), 0);
    EXPECT_EQ(facade.UpdateTablesTo(2, 9), 0);
    EXPECT_EQ(facade.UpdateTablesTo(1, 10), 0);
    EXPECT_EQ(ColumnNames(m_connect, "Samples"), samplesBefore);
    EXPECT_EQ(factest::Version(m_connect), "1.6");
    // Any target in range carries the file all the way to 1.9.
    EXPECT_EQ(facade.UpdateTablesTo(1, 7), 1);
    EXPECT_EQ(factest::Version(m_connect), "1.9");
    EXPECT_EQ(facade.UpdateTablesTo(1, 9), 1);

    // A version of another generation is never touched.
    facade.Close();
    NewDatabase();
    CreateDatabase(6, std::make_pair(2, 7));
    Connect(facade);
    const auto patternsBefore = ColumnNames(m_connect, "Patterns");
    EXPECT_EQ(facade.UpdateTablesTo(1, 9), 0);
    EXPECT_EQ(ColumnNames(m_connect, "Patterns"), patternsBefore);
}

TEST_P(Upgrade, SystemTableWithoutRowHasNoVersion)
{
    CreateDatabase(6);
    factest::Exec(m_connect, {"DELETE FROM SystemTable"});
    {
        CUpgradableFacade facade;
        Connect(facade);
        int major = 77;
        int minor = 77;
        EXPECT_EQ(facade.GetVersion(major, minor), 0);
        EXPECT_EQ(major, 77);
        EXPECT_EQ(minor, 77);
        const auto samplesBefore = ColumnNames(m_connect, "Samples");
        EXPECT_EQ(facade.UpdateTablesTo(1, 9), 0);
        EXPECT_EQ(ColumnNames(m_connect, "Samples"), samplesBefore);
    }
    EXPECT_EQ(OpenPlain(), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Text(13032)});
    EXPECT_EQ(m_host.GetMessages()[0].style, MB_OK | MB_ICONERROR);
    EXPECT_FALSE(m_facade.IsOpen());
}

TEST_P(Upgrade, OneStepOperations)
{
    struct Case {
        int minor;
        int (CZENDatabase::*step)();
        int result;
        const char* versionAfter;
    };
    const Case cases[] = {
        {5, &CZENDatabase::UpdateToVer13, 0, "1.5"}, {5, &CZENDatabase::UpdateToVer14, 0, "1.5"},
        {5, &CZENDatabase::UpdateToVer15, 0, "1.5"}, {5, &CZENDatabase::UpdateToVer16, 1, "1.5"},
        {6, &CZENDatabase::UpdateToVer17, 1, "1.9"}, {6, &CZENDatabase::UpdateToVer19, 0, "1.9"},
        {7, &CZENDatabase::UpdateToVer18, 1, "1.9"}, {8, &CZENDatabase::UpdateToVer19, 1, "1.9"},
        {9, &CZENDatabase::UpdateToVer19, 0, "1.9"},
    };
    for (const Case& c : cases) {
        NewDatabase();
        CreateDatabase(c.minor < 6 ? 6 : c.minor, std::make_pair(1, c.minor));
        CZENDatabase facade;
        Connect(facade);
        EXPECT_EQ((facade.*c.step)(), c.result) << "from 1." << c.minor;
        EXPECT_EQ(factest::Version(m_connect), c.versionAfter) << "from 1." << c.minor;
    }
}

TEST_P(Upgrade, VersionFifteenDefaultsOverwriteEveryPatternAndRun)
{
    CreateDatabase(9);
    factest::Exec(m_connect, {"INSERT INTO Patterns (Name, FocusStrategy, Standard, TestloadUnit) VALUES ('P1', 1, 1, 1)",
                             "INSERT INTO Patterns (Name, FocusStrategy, Standard, TestloadUnit) VALUES ('P2', 2, 2, 2)",
                             "INSERT INTO SampleProfilesRun (SampleID, Standard, TestloadUnit) VALUES (1, 5, 5)"});
    ProfileCalculationSettings calc;
    calc.Standard = 3;
    calc.CurveType = 2;
    ProfileStrategySettings strategy;
    strategy.FocusStrategy = 4;
    strategy.FocusAfterEvery = 2.5;
    ProfileDiagramSettings diagram;
    diagram.TestloadUnit = 6;
    diagram.ECDToleranceMax = 0.75;

    CZENDatabase facade;
    Connect(facade);
    EXPECT_EQ(facade.SetVer15DefaultProperties(calc, strategy, diagram), 1);
    EXPECT_EQ(Column(m_connect, "SELECT FocusStrategy FROM Patterns"), (std::vector<std::string>{"4", "4"}));
    EXPECT_EQ(Column(m_connect, "SELECT Standard FROM Patterns"), (std::vector<std::string>{"3", "3"}));
    EXPECT_EQ(Column(m_connect, "SELECT TestloadUnit FROM Patterns"), (std::vector<std::string>{"6", "6"}));
    EXPECT_EQ(Column(m_connect, "SELECT Standard FROM SampleProfilesRun"), std::vector<std::string>{"3"});
    EXPECT_EQ(Column(m_connect, "SELECT ECDToleranceMax FROM SampleProfilesRun"), std::vector<std::string>{"0.75"});

    facade.Close();
    factest::Exec(m_connect, {"UPDATE SystemTable SET MinorVersion=4", "UPDATE Patterns SET Standard=9"});
    Connect(facade);
    EXPECT_EQ(facade.SetVer15DefaultProperties(calc, strategy, diagram), 0);
    EXPECT_EQ(Column(m_connect, "SELECT Standard FROM Patterns"), (std::vector<std::string>{"9", "9"}));
}

TEST_P(Upgrade, ScanningTwiceKeepsOneRecordPerColumn)
{
    CreateDatabase(9);
    ASSERT_EQ(OpenPlain(), 1);
    for (int table = 0; table < ZENRS_Count; ++table)
        EXPECT_EQ(m_facade.GetTableConfiguration(static_cast<ZENRecordsets>(table))->GetCount(), 0);
    EXPECT_EQ(m_facade.ScanTableConfigurations(), 1);
    std::vector<int> counts;
    for (int table = 0; table < ZENRS_Count; ++table)
        counts.push_back(m_facade.GetTableConfiguration(static_cast<ZENRecordsets>(table))->GetCount());
    EXPECT_EQ(counts[ZENRS_Samples], 34);
    EXPECT_EQ(counts[ZENRS_SystemTable], 2);
    EXPECT_EQ(counts[ZENRS_UserTable], 3);
    EXPECT_EQ(counts[ZENRS_Patterns], 59);
    EXPECT_EQ(m_facade.ScanTableConfigurations(), 1);
    for (int table = 0; table < ZENRS_Count; ++table)
        EXPECT_EQ(m_facade.GetTableConfiguration(static_cast<ZENRecordsets>(table))->GetCount(), counts[table]);
    void* info = nullptr;
    ASSERT_TRUE(m_facade.GetTableConfiguration(ZENRS_Samples)->Lookup("UserSampleID", info));
    EXPECT_EQ(static_cast<CODBCFieldInfo*>(info)->m_nSQLType, SQL_VARCHAR);
    // Closing keeps the configurations.
    m_facade.CloseDatabase();
    EXPECT_EQ(m_facade.GetTableConfiguration(ZENRS_Samples)->GetCount(), 34);
}

TEST_P(Upgrade, TableConfigurationOutsideTheThirteenTablesIsNull)
{
    CreateDatabase(9);
    ASSERT_EQ(OpenPlain(), 1);
    ASSERT_EQ(m_facade.ScanTableConfigurations(), 1);
    for (const int which : {-1, ZENRS_Count, ZENRS_Count + 1, 1000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(m_facade.GetTableConfiguration(static_cast<ZENRecordsets>(which)), nullptr) << which;
    // The first and the last table still have their maps.
    ASSERT_NE(m_facade.GetTableConfiguration(ZENRS_DefaultProfileToUse), nullptr);
    EXPECT_EQ(m_facade.GetTableConfiguration(ZENRS_DefaultProfileToUse)->GetCount(), 2);
    ASSERT_NE(m_facade.GetTableConfiguration(ZENRS_UserTable), nullptr);
    EXPECT_EQ(m_facade.GetTableConfiguration(ZENRS_UserTable)->GetCount(), 3);
}

// Opened with ZENOPEN_KeepVersion a 1.6 .. 1.8 database stays as it is, without
// a message; UpgradeToCurrentVersion then takes it to 1.9 with the steps of
// the station's opening and adds the unique index. Older and newer files are
// refused as by OpenDatabase.
TEST_P(Upgrade, KeepVersionOpensOlderDatabasesAsTheyStandUntilUpgradeIsAsked)
{
    for (int minor : {6, 7, 8, 9}) {
        SCOPED_TRACE("1." + std::to_string(minor));
        NewDatabase();
        CreateDatabase(minor);
        factest::Exec(m_connect, {"INSERT INTO Samples (UserSampleID) VALUES ('S-1')"});
        const auto samplesBefore = ColumnNames(m_connect, "Samples");
        const auto patternsBefore = ColumnNames(m_connect, "Patterns");
        m_host.Reset();
        CZENDatabase facade;
        CString error;
        ASSERT_EQ(facade.OpenDatabaseWithOptions(ZENOPEN_KeepVersion, 0, "", "", error), 1);
        EXPECT_TRUE(m_host.GetMessages().empty());
        int major = 0;
        int found = 0;
        ASSERT_EQ(facade.GetVersion(major, found), 1);
        EXPECT_EQ(found, minor);
        EXPECT_EQ(factest::Version(m_connect), "1." + std::to_string(minor));
        EXPECT_EQ(ColumnNames(m_connect, "Samples"), samplesBefore);
        EXPECT_EQ(ColumnNames(m_connect, "Patterns"), patternsBefore);
        EXPECT_EQ(facade.HasUniqueSampleIDIndex(), minor == 9);

        EXPECT_EQ(facade.UpgradeToCurrentVersion(), 1);
        EXPECT_TRUE(m_host.GetMessages().empty());
        EXPECT_EQ(factest::Version(m_connect), "1.9");
        EXPECT_TRUE(facade.HasUniqueSampleIDIndex());
        facade.CloseDatabase();
    }
    const struct {
        int major, minor;
        bool openAfterwards;
        size_t messages;
    } refused[] = {{1, 5, true, 1}, {1, 10, false, 0}, {2, 0, false, 0}};
    for (const auto& c : refused) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        NewDatabase();
        CreateDatabase(9, std::make_pair(c.major, c.minor));
        m_host.Reset();
        CZENDatabase facade;
        CString error;
        EXPECT_EQ(facade.OpenDatabaseWithOptions(ZENOPEN_KeepVersion, 0, "", "", error), 0);
        EXPECT_EQ(facade.IsOpen() != FALSE, c.openAfterwards);
        EXPECT_EQ(m_host.GetMessages().size(), c.messages);
        if (facade.IsOpen()) {
            EXPECT_EQ(facade.UpgradeToCurrentVersion(), 0);
        }
        EXPECT_EQ(factest::Version(m_connect), std::to_string(c.major) + "." + std::to_string(c.minor));
    }
}

// A failing step stops UpgradeToCurrentVersion as it stops the opening: the
// step's error is shown, the version stays.
TEST_P(Upgrade, UpgradeToCurrentVersionStopsAtTheFirstFailure)
{
    CreateDatabase(7, std::make_pair(1, 6));
    CZENDatabase facade;
    CString error;
    ASSERT_EQ(facade.OpenDatabaseWithOptions(ZENOPEN_KeepVersion, 0, "", "", error), 1);
    EXPECT_EQ(facade.UpgradeToCurrentVersion(), 0);
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_NE(m_host.GetMessages()[0].text.Find("Trace"), -1) << m_host.GetMessages()[0].text.GetString();
    EXPECT_EQ(factest::Version(m_connect), "1.6");
}

ZEN_FACADE_ENGINES(Upgrade);

} // namespace
