// zendb with legacy Access files as a process: 'access tables' and 'access
// export' on the sample files of four format versions (copied into the
// test's folder first), an Access file that is no station database refused
// by 'copy' with the list of its tables, and the import path of 'copy' from
// a 1.6 file whose station tables are named in other letter case, upgraded
// to 1.9 on the way.
#include "ToolTestSupport.h"

#include "database/Schema.h"
#include "database/StationCopy.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zentest {
namespace {

namespace fs = std::filesystem;

#define ZEN_REQUIRE_SAMPLE(path)                                                                                     \
    if ((path).empty())                                                                                              \
    GTEST_SKIP() << "the Access sample files are not there (ZEN_ACCESS_SAMPLES_DIR)"

std::string ConnectTo(const std::string& path) { return "Dbq=" + FormatConnectStringValue(path.c_str()).Str() + ";"; }

TEST(ToolLegacyAccess, ExportWritesEveryValueOfTable1InEachFormatVersion)
{
    // Dates with their full year, yes/no as true/false, currency as a
    // number; CSV lines end in CR LF.
    const std::string csv = "A,B,C,D,E,F,G,H,I\r\n"
                            "abcdefg,hijklmnop,2,222,333333333,444.555,1974-09-21 00:00:00,3.5,true\r\n"
                            "a,b,0,0,0,0,1981-12-12 00:00:00,0,false\r\n";
    for (const char* file : {"testV1997.mdb", "testV2003.mdb", "testV2010.accdb"}) {
        SCOPED_TRACE(file);
        CTempDir dir;
        const std::string path = CopyAccessSample(dir, file);
        ZEN_REQUIRE_SAMPLE(path);
        const CRun run = RunZendb({"--format", "csv", "access", "export", path, "table1"});
        ASSERT_EQ(run.status, 0) << run.err;
        // The rows come in the order the file keeps them.
        if (std::string(file) != "testV2003.mdb") {
            EXPECT_EQ(run.out, "A,B,C,D,E,F,G,H,I\r\n"
                               "a,b,0,0,0,0,1981-12-12 00:00:00,0,false\r\n"
                               "abcdefg,hijklmnop,2,222,333333333,444.555,1974-09-21 00:00:00,3.5,true\r\n");
        } else {
            EXPECT_EQ(run.out, csv);
        }

        const nlohmann::json rows = nlohmann::json::parse(RunZendb({"--format", "json", "access", "export", path,
                                                                     "Table1"}).out);
        ASSERT_EQ(rows.size(), 2u);
        for (const nlohmann::json& row : rows) {
            if (row["A"] != "abcdefg")
                continue;
            EXPECT_EQ(row["B"], "hijklmnop");
            EXPECT_EQ(row["C"], 2);
            EXPECT_EQ(row["D"], 222);
            EXPECT_EQ(row["E"], 333333333);
            EXPECT_DOUBLE_EQ(row["F"].get<double>(), 444.555);
            EXPECT_EQ(row["G"], "1974-09-21 00:00:00");
            EXPECT_DOUBLE_EQ(row["H"].get<double>(), 3.5);
            EXPECT_EQ(row["I"], true);
        }
    }
}

TEST(ToolLegacyAccess, TablesListsNamesColumnsAndRowCounts)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "testV2010.accdb");
    ZEN_REQUIRE_SAMPLE(path);
    const CRun run = RunZendb({"--format", "json", "access", "tables", path});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json tables = nlohmann::json::parse(run.out);
    ASSERT_EQ(tables.size(), 4u);
    const struct {
        const char* name;
        const char* columns; // nullptr: not compared (Table2 has 89 columns)
        int rows;
    } expected[] = {
        {"Table1", "A text(50), B text(100), C byte, D integer, E long integer, F double, G date, H currency, I yes/no",
         2},
        {"Table2", nullptr, 0},
        {"Table3", "a long integer, b text(50)", 0},
        {"Table4", "name text(50), data text(38)", 0},
    };
    for (size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(tables[t]["Table"], expected[t].name);
        if (expected[t].columns != nullptr) {
            EXPECT_EQ(tables[t]["Columns"], expected[t].columns);
        }
        EXPECT_EQ(tables[t]["Rows"], expected[t].rows);
    }

    CTempDir emptyDir;
    const std::string empty = CopyAccessSample(emptyDir, "emptyJet4.mdb");
    const CRun none = RunZendb({"access", "tables", empty});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out, "The file holds no tables.\n");
}

TEST(ToolLegacyAccess, UnicodeTextsAndOldDatesAreExportedAsStored)
{
    CTempDir dir;
    const std::string unicode = CopyAccessSample(dir, "testUnicodeCompV2003.mdb");
    ZEN_REQUIRE_SAMPLE(unicode);
    const nlohmann::json rows =
        nlohmann::json::parse(RunZendb({"--format", "json", "access", "export", unicode, "Table"}).out);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0], (nlohmann::json{{"ID", 1}, {"Unicode", "only ascii chars"}}));
    EXPECT_EQ(rows[1], (nlohmann::json{{"ID", 2}, {"Unicode", "\xC3\xA4\xC3\xA4kk\xC3\xB6si\xC3\xA4"}}));
    EXPECT_EQ(rows[2], (nlohmann::json{{"ID", 3}, {"Unicode", "\xD0\x9C\xD0\xB8\xD1\x80"}}));

    const std::string old = CopyAccessSample(dir, "oldDatesV2007.accdb");
    const CRun run = RunZendb({"--format", "csv", "access", "export", old, "Table1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "ID,DateField\r\n1,1582-10-15 00:00:00\r\n2,1582-10-14 00:00:00\r\n3,1492-01-10 00:00:00\r\n"
                       "4,1392-01-10 00:00:00\r\n");
}

TEST(ToolLegacyAccess, UnknownTablesAndFilesThatAreNoAccessFilesAreRefused)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "testV2003.mdb");
    ZEN_REQUIRE_SAMPLE(path);
    const std::string text = dir.File("notes.mdb");
    WriteFileText(text, "not a database");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"access", "export", path, "Samples"},
         "zendb: cannot read " + path + ": The Access file " + path + " has no table Samples.\n"},
        {{"access", "tables", text},
         "zendb: cannot read " + text + ": The Access file " + text + " cannot be read or is no Access database.\n"},
    };
    for (const auto& c : cases) {
        const CRun run = RunZendb(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
}

TEST(ToolLegacyAccess, CopyRefusesAnAccessFileThatIsNoStationDatabaseListingItsTables)
{
    const struct {
        const char* file;
        std::string tables;
        std::string lacking;
    } cases[] = {
        {"testV2003.mdb", "Its tables: Table1, Table2, Table3, Table4.",
         "Samples, Patterns, IndentType, RoutineTypes, RoutineProfile, SampleProfilesRun, IndentsRun, SystemTable, "
         "Registration, RegistrationDescriptions, DefaultProfileToUse, DefaultRoutineToUse"},
        {"emptyJet4.mdb", "It holds no tables.",
         "Samples, Patterns, IndentType, RoutineTypes, RoutineProfile, SampleProfilesRun, IndentsRun, SystemTable, "
         "Table1, Registration, RegistrationDescriptions, DefaultProfileToUse, DefaultRoutineToUse"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CTempDir dir;
        const std::string path = CopyAccessSample(dir, c.file);
        ZEN_REQUIRE_SAMPLE(path);
        const std::string target = dir.File("new.db");
        const CRun run = RunZendb({"copy", path, target});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "zendb: cannot copy " + path + " to " + target +
                               ": The Access file is no station database: it lacks the table(s) " + c.lacking + ". " +
                               c.tables + "\n");
        EXPECT_FALSE(fs::exists(target));
    }
}

// Renames every station table of a file to its lower-case name (two steps:
// SQLite takes names without regard to letter case).
void LowerTableNames(const std::string& path)
{
    std::vector<std::string> statements;
    for (const char* table : {"Samples", "Patterns", "IndentType", "RoutineTypes", "RoutineProfile",
                              "SampleProfilesRun", "IndentsRun", "SystemTable", "Table1", "Registration",
                              "RegistrationDescriptions", "DefaultProfileToUse", "DefaultRoutineToUse"}) {
        std::string lower = table;
        for (char& ch : lower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        statements.push_back(std::string("ALTER TABLE ") + table + " RENAME TO zen_tmp");
        statements.push_back("ALTER TABLE zen_tmp RENAME TO " + lower);
    }
    ExecuteOn(path, statements);
}

std::string Version(const std::string& path)
{
    CDatabase db;
    db.OpenEx(ConnectTo(path).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    CRecordset set(&db);
    set.Open(CRecordset::snapshot, "SELECT MajorVersion, MinorVersion FROM SystemTable", CRecordset::readOnly);
    CString major;
    CString minor;
    set.GetFieldValue("MajorVersion", major);
    set.GetFieldValue("MinorVersion", minor);
    return major.Str() + "." + minor.Str();
}

TEST(ToolLegacyAccess, AStationFileWithTablesInOtherLetterCaseAndThe16ColumnsImportsAndUpgrades)
{
    CTempDir dir;
    const std::string old = dir.File("old16.db");
    CString error;
    ASSERT_TRUE(ZenCreateDatabaseFile(old.c_str(), 1, 6, &error)) << error.GetString();
    ExecuteOn(old, {"INSERT INTO Samples (UserSampleID, Customer) VALUES ('OLD-1', 'ACME')",
                    "INSERT INTO Samples (UserSampleID, Customer) VALUES ('OLD-2', 'Müller')",
                    "INSERT INTO Patterns (Name) VALUES ('P-old')"});
    LowerTableNames(old);

    const std::string target = dir.File("new.db");
    const CRun run = RunZendb({"--format", "json", "copy", old, target, "--upgrade"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["SchemaVersion"], "1.6");
    EXPECT_EQ(report["UpgradedTo"], "1.9");
    EXPECT_EQ(report["Copied"], true);
    EXPECT_EQ(Version(target), "1.9");
    const CRun samples = RunZendb({"--db", target, "--format", "json", "samples", "list"});
    ASSERT_EQ(samples.status, 0) << samples.err;
    EXPECT_NE(samples.out.find("\"OLD-1\""), std::string::npos);
    EXPECT_NE(samples.out.find("\"OLD-2\""), std::string::npos);
    // The keys were kept and the counter moved past them.
    EXPECT_EQ(RunZendb({"--db", target, "samples", "register", "NEW-1"}).status, 0);

    // Without --upgrade the copy keeps the source's version.
    const std::string kept = dir.File("kept.db");
    const CRun plain = RunZendb({"copy", old, kept});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(Version(kept), "1.6");
}

} // namespace
} // namespace zentest
