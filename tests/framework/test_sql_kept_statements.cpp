// What the connection keeps between recordsets (the statement texts worked
// out by Open, the prepared reads and the prepared row writes) never outlives
// what it was made for: a column added to the table, the connection closed
// and another file opened, a second connection changing the table, a
// statement that failed.
#include "SqlTestSupport.h"
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/RecordsetTextCache.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Items (ID, Name VARCHAR(10) unique), bound.
class CItemSet : public CRecordset {
public:
    explicit CItemSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
    int32_t m_ID = 0;
    CString m_Name;
    CString GetDefaultSQL() override { return "SELECT [ID], [Name] FROM Items"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        RFX_Text(pFX, "[Name]", m_Name, 10);
    }
};

// The same with the column added later.
class CItemPlusSet : public CItemSet {
public:
    explicit CItemPlusSet(CDatabase* db) : CItemSet(db) { m_nFields = 3; }
    CString m_Custom;
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        CItemSet::DoFieldExchange(pFX);
        RFX_Text(pFX, "[CustomField20]", m_Custom, 3);
    }
};

class SqlKeptStatements : public ::testing::Test {
protected:
    void SetUp() override
    {
        Create(m_path);
        m_db.OpenEx(Connect(m_path));
    }
    static CString Connect(const std::string& path) { return CString("DBQ=") + path.c_str() + ";"; }
    static void Create(const std::string& path, const char* extraColumn = "")
    {
        CDatabase::CreateDatabase(Connect(path));
        CDatabase db;
        db.OpenEx(Connect(path));
        db.ExecuteSQL(CString("CREATE TABLE Items (ID COUNTER PRIMARY KEY, Name VARCHAR(10) UNIQUE") + extraColumn +
                      ")");
    }

    // Adds a row through the recordset; its key.
    static int32_t Add(CDatabase& db, const char* name)
    {
        CItemSet rs(&db);
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name] FROM Items WHERE ID = -1");
        rs.AddNew();
        rs.m_Name = name;
        rs.Update();
        rs.MoveLast();
        return rs.m_ID;
    }

    static int ColumnsOfAll(CDatabase& db)
    {
        CRecordset rs(&db);
        rs.Open(CRecordset::snapshot, "SELECT * FROM Items WHERE ID > 0");
        return rs.GetODBCFieldCount();
    }

    static std::string Names(CDatabase& db)
    {
        CItemSet rs(&db);
        rs.Open(CRecordset::snapshot, "SELECT [ID], [Name] FROM Items ORDER BY ID");
        std::string out;
        for (; !rs.IsEOF(); rs.MoveNext())
            out += rs.m_Name.Str() + ";";
        return out;
    }

    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("kept.db");
    CDatabase m_db;
};

TEST_F(SqlKeptStatements, AColumnAddedToTheTableIsSeenByTheSameTexts)
{
    EXPECT_EQ(Add(m_db, "one"), 1);
    EXPECT_EQ(ColumnsOfAll(m_db), 2);
    m_db.ExecuteSQL("ALTER TABLE Items ADD CustomField20 VARCHAR(3)");
    EXPECT_EQ(ColumnsOfAll(m_db), 3);
    // The same insert text as before the change.
    EXPECT_EQ(Add(m_db, "two"), 2);
    // The new column's declared length is checked like every other's.
    CItemPlusSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [CustomField20] FROM Items WHERE ID = 2");
    rs.Edit();
    rs.m_Custom = "abcd";
    EXPECT_NE(sqltest::Caught([&] { rs.Update(); }).m_strError.Find("at most 3"), -1);
    rs.m_Custom = "abc";
    EXPECT_TRUE(rs.Update());
    rs.Close();
    EXPECT_EQ(sqltest::Scalar(m_db, "SELECT CustomField20 FROM Items WHERE ID = 2"), CString("abc"));
}

TEST_F(SqlKeptStatements, TextsAreNotKeptPastTheConnection)
{
    EXPECT_EQ(Add(m_db, "first"), 1);
    EXPECT_EQ(ColumnsOfAll(m_db), 2);
    EXPECT_GT(m_db.GetRecordsetTextCache().Size(), 0u);
    m_db.Close();
    EXPECT_EQ(m_db.GetRecordsetTextCache().Size(), 0u);

    // Another file with the same table, one column more, and a row of its own.
    const std::string other = m_dir.File("other.db");
    Create(other, ", Extra LONG");
    m_db.OpenEx(Connect(other));
    EXPECT_EQ(ColumnsOfAll(m_db), 3);
    EXPECT_EQ(Add(m_db, "elsewhere"), 1);
    EXPECT_EQ(Names(m_db), "elsewhere;");
    m_db.Close();

    m_db.OpenEx(Connect(m_path));
    EXPECT_EQ(ColumnsOfAll(m_db), 2);
    EXPECT_EQ(Names(m_db), "first;");
}

TEST_F(SqlKeptStatements, AnotherConnectionsChangesReachTheKeptStatements)
{
    CDatabase other;
    other.OpenEx(Connect(m_path));
    EXPECT_EQ(Add(m_db, "mine"), 1);
    EXPECT_EQ(ColumnsOfAll(m_db), 2);

    other.ExecuteSQL("ALTER TABLE Items ADD CustomField20 VARCHAR(50)");
    EXPECT_EQ(Add(other, "theirs"), 2);

    EXPECT_EQ(ColumnsOfAll(m_db), 3);
    EXPECT_EQ(Add(m_db, "mine too"), 3);
    EXPECT_EQ(Names(other), "mine;theirs;mine too;");
    EXPECT_EQ(Names(m_db), "mine;theirs;mine too;");
}

TEST_F(SqlKeptStatements, AStatementAfterAFailedOneRunsAsIfAlone)
{
    EXPECT_EQ(Add(m_db, "same"), 1);
    // The unique name refuses the row; the next insert of the same columns
    // (the same kept statement) is written.
    EXPECT_NE(sqltest::Caught([&] { Add(m_db, "same"); }).m_strError.Find("UNIQUE"), -1);
    EXPECT_EQ(Add(m_db, "other"), 2);
    // Too long for its column: refused before the engine, every time.
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_NE(sqltest::Caught([&] { Add(m_db, "eleven char"); }).m_strError.Find("at most 10"), -1);
    EXPECT_EQ(Names(m_db), "same;other;");

    // A read naming a column that is not there fails each time, and the same
    // text reads once the column exists.
    const char* sql = "SELECT [ID], [Later] FROM Items WHERE ID = 1";
    for (int attempt = 0; attempt < 2; ++attempt) {
        CRecordset rs(&m_db);
        EXPECT_NE(sqltest::Caught([&] { rs.Open(CRecordset::snapshot, sql); }).m_strError.Find("no such column"),
                  -1);
    }
    m_db.ExecuteSQL("ALTER TABLE Items ADD Later LONG");
    CRecordset rs(&m_db);
    rs.Open(CRecordset::snapshot, sql);
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.GetODBCFieldCount(), 2);
}

} // namespace
