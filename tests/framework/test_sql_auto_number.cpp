// Moving an auto-number past a key through the driver interface: the next
// row written without a key gets a greater one, a counter never moves back,
// the table's name in any letter case, keys without a counter of their own,
// and columns that are no auto-number refused.
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/SqlConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class AutoNumberTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.File("auto.db");
        m_connect = CString(("DBQ=" + m_path + ";").c_str());
        CDatabase::CreateDatabase(m_connect);
        m_db.OpenEx(m_connect, CDatabase::noOdbcDialog);
        m_db.ExecuteSQL("CREATE TABLE Counted (Id INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(20))");
        m_db.ExecuteSQL("CREATE TABLE Plain (Id INTEGER PRIMARY KEY, Name VARCHAR(20))");
    }

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

    zentest::CTempDir m_dir;
    std::string m_path;
    CString m_connect;
    CDatabase m_db;
};

TEST_F(AutoNumberTest, NextRowTakesAKeyPastTheGivenOneAndCountersNeverMoveBack)
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

TEST_F(AutoNumberTest, InsideATransactionTheMoveIsUndoneWithIt)
{
    m_db.BeginTrans();
    Connection().MoveAutoNumberPast("Counted", "Id", 1000);
    m_db.Rollback();
    EXPECT_EQ(AddRow("Counted"), 1);
}

TEST_F(AutoNumberTest, AKeyWithoutCounterNeedsNothingAndOtherColumnsAreRefused)
{
    m_db.ExecuteSQL("INSERT INTO Plain (Id, Name) VALUES (70, 'x')");
    Connection().MoveAutoNumberPast("Plain", "Id", 70);
    EXPECT_EQ(AddRow("Plain"), 71);

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

} // namespace
