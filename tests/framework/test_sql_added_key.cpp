// The key the engine gave a row added through a recordset, told without
// reading the row back where the key column is the row's identity, and not
// told (the caller reads the row) where that is not certain; on each engine.
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class CKeyedSet : public CRecordset {
public:
    explicit CKeyedSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
    int32_t m_ID = 0;
    CString m_Name;
    CString GetDefaultSQL() override { return "SELECT [ID], [Name] FROM Keyed"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        RFX_Text(pFX, "[Name]", m_Name, 50);
    }
};

class SqlAddedKey : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        m_db.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
    }
    void TearDown() override { m_db.Close(); }

    // A row with its key given, added through a recordset opened empty and
    // left open (for GetAddedKey).
    static void AddRow(CKeyedSet& rs, int32_t id, const char* name)
    {
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name] FROM Keyed WHERE [ID]=-1");
        rs.AddNew();
        rs.m_ID = id;
        rs.m_Name = name;
        ASSERT_TRUE(rs.Update());
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

// Told where the engine names an added row by its key (SQLite's auto-number
// is its row identity); the server names it by a hidden identity of its own,
// so the caller reads the row back there.
TEST_P(SqlAddedKey, TheEngineTellsAnAutoNumberKeyOnly)
{
    struct Case {
        const char* key;
        bool autoNumber;
    };
    const Case cases[] = {
        {"ID COUNTER PRIMARY KEY", true},
        {"ID INTEGER PRIMARY KEY AUTOINCREMENT", true},
        {"ID INTEGER PRIMARY KEY", false},
        {"ID INTEGER", false},
    };
    for (const Case& c : cases) {
        const bool told = c.autoNumber && zentest::EngineQuirks(GetParam()).addedKeyTold;
        m_db.ExecuteSQL("DROP TABLE IF EXISTS Keyed");
        m_db.ExecuteSQL(CString("CREATE TABLE Keyed (") + c.key + ", Name VARCHAR(50))");
        CKeyedSet rs(&m_db);
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name] FROM Keyed WHERE [ID]=-1");
        int32_t key = -1;
        EXPECT_FALSE(rs.GetAddedKey("ID", key)) << c.key << ": nothing added yet";
        rs.AddNew();
        rs.m_Name = "second";
        if (!c.autoNumber)
            rs.m_ID = 41; // else left to the engine, as AddNew leaves it
        EXPECT_FALSE(rs.GetAddedKey("ID", key)) << c.key << ": not yet written";
        ASSERT_TRUE(rs.Update());
        EXPECT_EQ(rs.GetAddedKey("ID", key), told) << c.key;
        rs.MoveLast();
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.m_Name, "second");
        EXPECT_EQ(rs.m_ID, c.autoNumber ? 1 : 41) << c.key;
        if (told) {
            EXPECT_EQ(key, rs.m_ID) << c.key;
        }
        rs.Close();
    }
}

// Whether a column is the row's identity is kept per connection: a table
// made anew by another connection, its key no longer an auto-number, is
// asked again.
TEST_P(SqlAddedKey, AKeyMadeAnewByAnotherConnectionIsAskedAgain)
{
    if (!zentest::EngineQuirks(GetParam()).addedKeyTold)
        GTEST_SKIP() << "the engine never tells the key, so nothing is kept";
    m_db.ExecuteSQL("CREATE TABLE Keyed (ID COUNTER PRIMARY KEY, Name VARCHAR(50))");
    CDatabase other;
    other.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
    for (const bool autoNumber : {true, false}) {
        SCOPED_TRACE(autoNumber ? "auto-number" : "made anew without");
        CKeyedSet rs(&m_db);
        AddRow(rs, 7, "row");
        int32_t key = -1;
        EXPECT_EQ(rs.GetAddedKey("ID", key), autoNumber);
        rs.Close();
        other.ExecuteSQL("DROP TABLE Keyed");
        other.ExecuteSQL("CREATE TABLE Keyed (ID INTEGER PRIMARY KEY, Name VARCHAR(50))");
    }
    other.Close();
}

// A key written with its row moves the auto-number past it: a row added
// later never takes it, also after the row is gone.
TEST_P(SqlAddedKey, AKeyWrittenWithItsRowIsNeverHandedOutAgain)
{
    enum class EWrittenBy { Statement, StatementWithValues, Recordset };
    for (const EWrittenBy by : {EWrittenBy::Statement, EWrittenBy::StatementWithValues, EWrittenBy::Recordset})
    for (const char* keyColumn : {"ID COUNTER PRIMARY KEY", "ID INTEGER PRIMARY KEY AUTOINCREMENT"}) {
        SCOPED_TRACE(std::string(keyColumn) + ", written by way " + std::to_string(static_cast<int>(by)));
        m_db.ExecuteSQL("DROP TABLE IF EXISTS Keyed");
        m_db.ExecuteSQL(CString("CREATE TABLE Keyed (") + keyColumn + ", Name VARCHAR(50))");
        if (by == EWrittenBy::Statement) {
            m_db.ExecuteSQL("INSERT INTO Keyed (ID, Name) VALUES (40, 'first')");
        } else if (by == EWrittenBy::StatementWithValues) {
            std::vector<CDBVariant> values(2);
            values[0].SetLong(40);
            values[1].SetString("first");
            m_db.ExecuteSQL("INSERT INTO Keyed (ID, Name) VALUES (?, ?)", values);
        } else {
            CKeyedSet first(&m_db);
            AddRow(first, 40, "first");
            first.Close();
        }
        m_db.ExecuteSQL("DELETE FROM Keyed");
        CKeyedSet rs(&m_db);
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name] FROM Keyed WHERE [ID]=-1");
        rs.AddNew();
        rs.m_Name = "second";
        ASSERT_TRUE(rs.Update());
        rs.MoveLast();
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.m_ID, 41);
        rs.Close();
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlAddedKey, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
