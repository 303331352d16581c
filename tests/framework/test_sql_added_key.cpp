// The key the engine gave a row added through a recordset, told without
// reading the row back where the key column is the row's identity, and not
// told (the caller reads the row) where that is not certain.
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <string>

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

class SqlAddedKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDatabase::CreateDatabase(Connect());
        m_db.OpenEx(Connect(), CDatabase::noOdbcDialog);
    }
    CString Connect() const { return CString("Dbq=") + m_path.c_str() + ";"; }

    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("keys.db");
    CDatabase m_db;
};

TEST_F(SqlAddedKey, TheEngineTellsAnAutoNumberKeyOnly)
{
    struct Case {
        const char* key;
        bool told;
    };
    const Case cases[] = {
        {"ID COUNTER PRIMARY KEY", true},
        {"ID INTEGER PRIMARY KEY AUTOINCREMENT", true},
        {"ID INTEGER PRIMARY KEY", false},
        {"ID INTEGER", false},
    };
    for (const Case& c : cases) {
        m_db.ExecuteSQL("DROP TABLE IF EXISTS Keyed");
        m_db.ExecuteSQL(CString("CREATE TABLE Keyed (") + c.key + ", Name VARCHAR(50))");
        // Rows removed again: the engine's counter still goes on.
        m_db.ExecuteSQL("INSERT INTO Keyed (ID, Name) VALUES (40, 'first')");
        m_db.ExecuteSQL("DELETE FROM Keyed");
        CKeyedSet rs(&m_db);
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name] FROM Keyed WHERE [ID]=-1");
        int32_t key = -1;
        EXPECT_FALSE(rs.GetAddedKey("ID", key)) << c.key << ": nothing added yet";
        rs.AddNew();
        rs.m_Name = "second";
        if (!c.told)
            rs.m_ID = 41; // else left to the engine, as AddNew leaves it
        EXPECT_FALSE(rs.GetAddedKey("ID", key)) << c.key << ": not yet written";
        ASSERT_TRUE(rs.Update());
        EXPECT_EQ(rs.GetAddedKey("ID", key), c.told) << c.key;
        rs.MoveLast();
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.m_Name, "second");
        if (c.told) {
            EXPECT_EQ(key, rs.m_ID) << c.key;
            EXPECT_EQ(key, 41) << c.key;
        }
        rs.Close();
    }
}

} // namespace
