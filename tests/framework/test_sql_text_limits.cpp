// The declared text lengths that row writes are checked against follow the
// schema: a column's length changed through the same connection, undone by a
// rollback, or changed by another connection applies to the next write.
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CNameSet : public CRecordset {
public:
    explicit CNameSet(CDatabase* db) : CRecordset(db) { m_nFields = 1; }
    CString m_Name;
    CString GetDefaultSQL() override { return "SELECT [Name] FROM Names"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Text(pFX, "[Name]", m_Name, 1000);
    }
};

class SqlTextLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDatabase::CreateDatabase(Connect());
        m_db.OpenEx(Connect(), CDatabase::noOdbcDialog);
    }
    CString Connect() const { return CString("Dbq=") + m_path.c_str() + ";"; }
    // Adds a row through a recordset of db; the refusal's text, or empty
    // when the row was written.
    static std::string Add(CDatabase& db, const std::string& name)
    {
        CNameSet rs(&db);
        rs.Open(CRecordset::dynaset, nullptr);
        rs.AddNew();
        rs.m_Name = name.c_str();
        try {
            rs.Update();
        } catch (const CDBException& e) {
            return e.m_strError.Str();
        }
        return std::string();
    }

    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("limits.db");
    CDatabase m_db;
};

const std::string kEight(8, 'e');

TEST_F(SqlTextLimits, ALengthChangedThroughTheConnectionAppliesToTheNextWrite)
{
    // Each step: the table made anew with this declared type, then whether
    // eight characters are refused.
    struct Step {
        const char* type;
        bool refused;
    };
    const Step steps[] = {{"VARCHAR(10)", false}, {"VARCHAR(5)", true}, {"TEXT(8)", false},
                          {"CHAR(7)", true},      {"LONGTEXT", false},  {"VARCHAR(5)", true}};
    for (const Step& step : steps) {
        m_db.ExecuteSQL("DROP TABLE IF EXISTS Names");
        m_db.ExecuteSQL(CString("CREATE TABLE Names (Name ") + step.type + ")");
        const std::string refusal = Add(m_db, kEight);
        EXPECT_EQ(!refusal.empty(), step.refused) << step.type << ": " << refusal;
        if (step.refused) {
            EXPECT_NE(refusal.find(std::string("(") + step.type + ")"), std::string::npos) << refusal;
        }
    }
}

TEST_F(SqlTextLimits, ASchemaChangeRolledBackIsForgotten)
{
    m_db.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(5))");
    m_db.BeginTrans();
    m_db.ExecuteSQL("DROP TABLE Names");
    m_db.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(10))");
    EXPECT_EQ(Add(m_db, kEight), "");
    m_db.Rollback();
    EXPECT_NE(Add(m_db, kEight).find("holds at most 5 (VARCHAR(5))"), std::string::npos);
}

TEST_F(SqlTextLimits, ALengthChangedByAnotherConnectionAppliesOnceThisOneHasRead)
{
    m_db.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(10))");
    EXPECT_EQ(Add(m_db, kEight), "");
    {
        CDatabase other;
        other.OpenEx(Connect(), CDatabase::noOdbcDialog);
        other.ExecuteSQL("DROP TABLE Names");
        other.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(5))");
        other.Close();
    }
    // The recordset's open reads the file, and with it the new schema.
    EXPECT_NE(Add(m_db, kEight).find("holds at most 5 (VARCHAR(5))"), std::string::npos);
}

TEST_F(SqlTextLimits, ALengthChangedByAnotherConnectionAfterATransactionApplies)
{
    m_db.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(10))");
    m_db.BeginTrans();
    EXPECT_EQ(Add(m_db, kEight), "");
    m_db.CommitTrans();
    {
        CDatabase other;
        other.OpenEx(Connect(), CDatabase::noOdbcDialog);
        other.ExecuteSQL("DROP TABLE Names");
        other.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(5))");
        other.Close();
    }
    m_db.BeginTrans();
    EXPECT_NE(Add(m_db, kEight).find("holds at most 5 (VARCHAR(5))"), std::string::npos);
    m_db.Rollback();
}

} // namespace
