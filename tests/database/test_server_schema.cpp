// The station schema made in an existing database by its connection string,
// on both engines: versions 1.6 to 1.9 give the same tables with the same
// columns (spelled as the schema spells them) and rows on a server database
// as in a new file; the identifier's unique index ignores letter case there
// too; a database that holds a station schema already is refused.
#include "EngineTestSupport.h"

#include "database/Schema.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using zentest::ETestEngine;

namespace {

const char* const kTables[] = {"Samples",      "Patterns",      "IndentType",           "RoutineTypes",
                               "RoutineProfile", "SampleProfilesRun", "IndentsRun",        "SystemTable",
                               "Registration", "RegistrationDescriptions", "DefaultProfileToUse",
                               "DefaultRoutineToUse"};

// Column names and ODBC types of every table, and the version row.
std::map<std::string, std::vector<std::string>> Describe(const CString& connect)
{
    CDatabase db;
    db.OpenEx(connect, CDatabase::noOdbcDialog);
    std::map<std::string, std::vector<std::string>> out;
    for (const char* table : kTables) {
        CRecordset rs(&db);
        rs.Open(CRecordset::snapshot, CString("SELECT * FROM ") + table, CRecordset::readOnly);
        for (short i = 0; i < rs.GetODBCFieldCount(); ++i) {
            CODBCFieldInfo info;
            rs.GetODBCFieldInfo(i, info);
            out[table].push_back(info.m_strName.Str() + ":" + std::to_string(info.m_nSQLType));
        }
    }
    CRecordset version(&db);
    version.Open(CRecordset::snapshot,
                 "SELECT [MajorVersion], [MinorVersion], (SELECT COUNT(*) FROM Registration) AS Fields, "
                 "(SELECT COUNT(*) FROM RegistrationDescriptions) AS Descriptions FROM SystemTable",
                 CRecordset::readOnly);
    for (const char* column : {"MajorVersion", "MinorVersion", "Fields", "Descriptions"}) {
        CString value;
        version.GetFieldValue(column, value);
        out["version"].push_back(value.Str());
    }
    return out;
}

class ServerSchema : public ::testing::TestWithParam<int> {};

TEST_P(ServerSchema, IsTheSameOnBothEngines)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    const int minor = GetParam();
    std::map<std::string, std::vector<std::string>> described[2];
    for (ETestEngine engine : zentest::AllEngines()) {
        zentest::CTestDatabase database(engine);
        CString error;
        ASSERT_TRUE(ZenCreateDatabaseSchema(database.ConnectString(), 1, minor, &error))
            << zentest::EngineName(engine) << ": " << error.Str();
        described[static_cast<int>(engine)] = Describe(database.ConnectString());
        EXPECT_FALSE(ZenCreateDatabaseSchema(database.ConnectString(), 1, minor, &error));
        EXPECT_NE(error.Find("holds a station database already"), -1) << error.Str();
    }
    EXPECT_EQ(described[0], described[1]);
    EXPECT_EQ(described[1]["version"], (std::vector<std::string>{"1", std::to_string(minor), "27", "27"}));
}

INSTANTIATE_TEST_SUITE_P(Versions, ServerSchema, ::testing::Values(6, 7, 8, 9),
                         [](const ::testing::TestParamInfo<int>& version) {
                             return "1_" + std::to_string(version.param);
                         });

// The tables of signatures come with the current version, alike on both
// engines, and take a signature and its sample's revision.
TEST(ServerSchemaSignatures, AreTheSameOnBothEngines)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    std::vector<std::string> described[2];
    for (ETestEngine engine : zentest::AllEngines()) {
        zentest::CTestDatabase database(engine);
        CString error;
        ASSERT_TRUE(ZenCreateDatabaseSchema(database.ConnectString(), 1, 9, &error)) << error.Str();
        CDatabase db;
        db.OpenEx(database.ConnectString(), CDatabase::noOdbcDialog);
        db.ExecuteSQL("INSERT INTO SampleSignatures ([SampleID], [UserName], [Meaning], [SignedTime], [Revision]) "
                      "VALUES (7, 'sup', 'approved', '2026-01-02 03:04:05', 0)");
        db.ExecuteSQL("INSERT INTO SampleRevisions ([SampleID], [Revision]) VALUES (7, 1)");
        db.ExecuteSQL("UPDATE SampleRevisions SET [Revision] = [Revision] + 1 WHERE [SampleID] = 7");
        for (const char* sql : {"SELECT * FROM SampleSignatures", "SELECT * FROM SampleRevisions"}) {
            CRecordset rs(&db);
            rs.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
            for (short i = 0; i < rs.GetODBCFieldCount(); ++i) {
                CODBCFieldInfo info;
                rs.GetODBCFieldInfo(i, info);
                CString value;
                rs.GetFieldValue(info.m_strName.GetString(), value);
                described[static_cast<int>(engine)].push_back(info.m_strName.Str() + ":" +
                                                              std::to_string(info.m_nSQLType) + "=" + value.Str());
            }
        }
    }
    EXPECT_EQ(described[0], described[1]);
    EXPECT_EQ(described[1].size(), 10u);
    EXPECT_EQ(described[1].back(), "Revision:4=2");
}

TEST(ServerSchemaIdentifier, IsUniqueWithoutRegardToLetterCase)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    zentest::CTestDatabase database(ETestEngine::PostgreSql);
    CString error;
    ASSERT_TRUE(ZenCreateDatabaseSchema(database.ConnectString(), 1, 9, &error)) << error.Str();
    CDatabase db;
    db.OpenEx(database.ConnectString(), CDatabase::noOdbcDialog);
    db.ExecuteSQL("INSERT INTO Samples ([UserSampleID]) VALUES ('Härte-7'), (''), ('')");
    try {
        db.ExecuteSQL("INSERT INTO Samples ([UserSampleID]) VALUES ('HÄRTE-7')");
        ADD_FAILURE() << "a second sample with the identifier was taken";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_strStateNativeOrigin.Find("State:23000"), 0) << e.m_strStateNativeOrigin.Str();
    }
}

TEST(ServerSchemaRefusal, NamesNoPassword)
{
    CString error;
    EXPECT_FALSE(ZenCreateDatabaseSchema("host=/nonexistent-folder dbname=zen password=SeCrEt", 1, 9, &error));
    EXPECT_EQ(error.Find("SeCrEt"), -1) << error.Str();
    EXPECT_NE(error.Find("password=***"), -1) << error.Str();
    EXPECT_FALSE(ZenCreateDatabaseSchema("host=/nonexistent-folder dbname=zen", 1, 5, &error));
    EXPECT_NE(error.Find("versions 1.6 to 1.9"), -1) << error.Str();
}

} // namespace
