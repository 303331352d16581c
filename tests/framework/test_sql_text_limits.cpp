// The declared text lengths that row writes are checked against follow the
// schema: a column's length changed through the same connection, undone by a
// rollback, or changed by another connection applies to the next write; on
// each engine.
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <memory>
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

class SqlTextLimits : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(Connect().IsEmpty());
        m_db.OpenEx(Connect(), CDatabase::noOdbcDialog);
    }
    void TearDown() override { m_db.Close(); }
    const CString& Connect() const { return m_database->ConnectString(); }
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

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

const std::string kEight(8, 'e');

// The server's driver keeps a table's declared lengths until this connection
// changes the schema itself: after a rolled-back change or another
// connection's, the server refuses the row in its own words instead.
#define ZEN_SKIP_STALE_LIMITS_ON_SERVER()                                                                             \
    do {                                                                                                               \
        if (GetParam() == zentest::ETestEngine::PostgreSql)                                                            \
            GTEST_SKIP() << "known fault of the server's driver: declared lengths kept past a rollback or another "    \
                            "connection's schema change (to be mended in the driver)";                                 \
    } while (0)

TEST_P(SqlTextLimits, ALengthChangedThroughTheConnectionAppliesToTheNextWrite)
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

TEST_P(SqlTextLimits, ASchemaChangeRolledBackIsForgotten)
{
    ZEN_SKIP_STALE_LIMITS_ON_SERVER();
    m_db.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(5))");
    m_db.BeginTrans();
    m_db.ExecuteSQL("DROP TABLE Names");
    m_db.ExecuteSQL("CREATE TABLE Names (Name VARCHAR(10))");
    EXPECT_EQ(Add(m_db, kEight), "");
    m_db.Rollback();
    const std::string refusal = Add(m_db, kEight);
    EXPECT_NE(refusal.find("holds at most 5 (VARCHAR(5))"), std::string::npos) << refusal;
}

TEST_P(SqlTextLimits, ALengthChangedByAnotherConnectionAppliesOnceThisOneHasRead)
{
    ZEN_SKIP_STALE_LIMITS_ON_SERVER();
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
    const std::string refusal = Add(m_db, kEight);
    EXPECT_NE(refusal.find("holds at most 5 (VARCHAR(5))"), std::string::npos) << refusal;
}

TEST_P(SqlTextLimits, ALengthChangedByAnotherConnectionAfterATransactionApplies)
{
    ZEN_SKIP_STALE_LIMITS_ON_SERVER();
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
    const std::string refusal = Add(m_db, kEight);
    EXPECT_NE(refusal.find("holds at most 5 (VARCHAR(5))"), std::string::npos) << refusal;
    m_db.Rollback();
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlTextLimits, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
