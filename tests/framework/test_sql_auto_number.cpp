// Moving an auto-number past a key through the driver interface: the next
// row written without a key gets a greater one, a counter never moves back,
// the table's name in any letter case, keys without a counter of their own,
// and columns that are no auto-number refused; on each engine (SQLite's own
// key that numbers itself without a counter stays SQLite's).
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/SqlConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

class AutoNumberTest : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        m_db.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
        m_db.ExecuteSQL("CREATE TABLE Counted (Id INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(20))");
        m_db.ExecuteSQL("CREATE TABLE Plain (Id INTEGER PRIMARY KEY, Name VARCHAR(20))");
    }
    void TearDown() override { m_db.Close(); }

    // Adds a row without a key and returns the key it got.
    long long AddRow(const char* table)
    {
        m_db.ExecuteSQL((std::string("INSERT INTO ") + table + " (Name) VALUES ('x')").c_str());
        CRecordset rs(&m_db);
        rs.Open(CRecordset::forwardOnly, (std::string("SELECT MAX(Id) AS K FROM ") + table).c_str(),
                CRecordset::readOnly);
        CString key;
        rs.GetFieldValue("K", key);
        return std::atoll(key.GetString());
    }

    CSqlConnection& Connection() { return *m_db.GetSqlConnection(); }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

// SQLite numbers an INTEGER PRIMARY KEY by itself (the row identity); the
// server's plain key has no default.
class AutoNumberTestSqliteOnly : public AutoNumberTest {};

TEST_P(AutoNumberTest, NextRowTakesAKeyPastTheGivenOneAndCountersNeverMoveBack)
{
    Connection().MoveAutoNumberPast("Counted", "Id", 100); // empty table: no counter row yet
    EXPECT_EQ(AddRow("Counted"), 101);
    Connection().MoveAutoNumberPast("counted", "ID", 50); // letter case of the caller's own
    EXPECT_EQ(AddRow("Counted"), 102);
    Connection().MoveAutoNumberPast("COUNTED", "id", 500);
    EXPECT_EQ(AddRow("Counted"), 501);
    // The rows are gone, the counter stays: no key is handed out twice.
    m_db.ExecuteSQL("DELETE FROM Counted");
    EXPECT_EQ(AddRow("Counted"), 502);
}

TEST_P(AutoNumberTest, InsideATransactionTheMoveIsUndoneWithIt)
{
    m_db.BeginTrans();
    Connection().MoveAutoNumberPast("Counted", "Id", 1000);
    m_db.Rollback();
    // The server's counter stays moved: a gap, never a key handed out twice.
    EXPECT_EQ(AddRow("Counted"), zentest::EngineQuirks(GetParam()).autoNumberMoveRolledBack ? 1 : 1001);
}

TEST_P(AutoNumberTestSqliteOnly, AKeyWithoutCounterNeedsNothing)
{
    m_db.ExecuteSQL("INSERT INTO Plain (Id, Name) VALUES (70, 'x')");
    Connection().MoveAutoNumberPast("Plain", "Id", 70);
    EXPECT_EQ(AddRow("Plain"), 71);
}

TEST_P(AutoNumberTest, ColumnsThatAreNoAutoNumberAreRefused)
{
    for (const auto& [table, column] : {std::pair{"Counted", "Name"}, std::pair{"Missing", "Id"},
                                        std::pair{"Counted", "Missing"}}) {
        try {
            Connection().MoveAutoNumberPast(table, column, 5);
            ADD_FAILURE() << table << "." << column << " accepted";
        } catch (const CDBException& e) {
            EXPECT_NE(e.m_strError.Find((std::string("Column ") + column + " of table " + table +
                                         " is not an auto-numbered key.")
                                            .c_str()),
                      -1)
                << e.m_strError.GetString();
        }
    }
}

std::string EngineParamName(const ::testing::TestParamInfo<zentest::ETestEngine>& engine)
{
    return zentest::EngineName(engine.param);
}
INSTANTIATE_TEST_SUITE_P(Engines, AutoNumberTest, ::testing::ValuesIn(zentest::AllEngines()), EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, AutoNumberTestSqliteOnly, ::testing::Values(zentest::ETestEngine::Sqlite),
                         EngineParamName);

} // namespace
