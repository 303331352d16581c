// The statement cache of the SQLite connection and the literal
// parameterisation behind it: which literals become parameters, lookups that
// differ only in a literal, one statement text in two open recordsets,
// quotes and translated dates in literals, no lock kept by a cached
// statement, a schema change reaching statements prepared before it, and the
// bound-field lists kept per recordset class.
#include "SqlTestSupport.h"
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/RecordsetTextCache.h"
#include "framework/sql/internal/SqlLiterals.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct ParameterCase {
    const char* sql;
    const char* text;   // nullptr: left as it is
    const char* values; // the bound values, "|"-separated, texts quoted
};

const ParameterCase kParameterCases[] = {
    {"SELECT a FROM t WHERE b = 'x'", "SELECT a FROM t WHERE b = ?1", "'x'"},
    {"SELECT a FROM t WHERE b='O''Brien' AND c <> 12", "SELECT a FROM t WHERE b=?1 AND c <> ?2", "'O'Brien'|12"},
    {"SELECT a FROM t WHERE b LIKE 'x%' OR c IN (1, 'two', 3)", "SELECT a FROM t WHERE b LIKE ?1 OR c IN (?2, ?3, ?4)",
     "'x%'|1|'two'|3"},
    {"SELECT a FROM t WHERE b BETWEEN 5 AND 9 AND c >= '2014-03-05 00:00:00'",
     "SELECT a FROM t WHERE b BETWEEN ?1 AND ?2 AND c >= ?3", "5|9|'2014-03-05 00:00:00'"},
    {"SELECT a FROM t WHERE (b = 1 OR b = 2) ORDER BY 1 LIMIT 3", "SELECT a FROM t WHERE (b = ?1 OR b = ?2) ORDER BY 1 LIMIT 3",
     "1|2"},
    {"SELECT a FROM t WHERE b IN (SELECT c FROM u WHERE d = 'y' ORDER BY 2) AND e = 4",
     "SELECT a FROM t WHERE b IN (SELECT c FROM u WHERE d = ?1 ORDER BY 2) AND e = ?2", "'y'|4"},
    {"SELECT * FROM (SELECT a FROM t WHERE b = 'x') AS s JOIN (SELECT c FROM u WHERE d = 1) AS v ON a = 7 WHERE a = 2",
     "SELECT * FROM (SELECT a FROM t WHERE b = ?1) AS s JOIN (SELECT c FROM u WHERE d = ?2) AS v ON a = 7 WHERE a = ?3",
     "'x'|1|2"},
    {"SELECT a, (SELECT MAX(c) FROM u WHERE d = 5) FROM t WHERE a = 1",
     "SELECT a, (SELECT MAX(c) FROM u WHERE d = 5) FROM t WHERE a = ?1", "1"},
    {"UPDATE t SET a = 5, b = (SELECT c FROM u WHERE d = 3) WHERE b = 6",
     "UPDATE t SET a = 5, b = (SELECT c FROM u WHERE d = 3) WHERE b = ?1", "6"},
    {"DELETE FROM t WHERE b = ''", "DELETE FROM t WHERE b = ?1", "''"},
    // Left as written: select lists, real numbers, too large integers, hex and
    // blob literals, negative numbers, literals first in a comparison,
    // statements with parameters of their own, schema statements.
    {"SELECT 'x' = a, 5 FROM t", nullptr, ""},
    {"SELECT a FROM t WHERE b = 1.5 OR b = 2e3 OR b = 9223372036854775808", nullptr, ""},
    {"SELECT a FROM t WHERE b = 0x1F OR c = X'00' OR d = -4 OR 'x' = e", nullptr, ""},
    {"SELECT a FROM t WHERE b = ?1 AND c = 'x'", nullptr, ""},
    {"CREATE TABLE t (a VARCHAR(5) DEFAULT 'x' CHECK (a = 'x'))", nullptr, ""},
    {"SELECT a FROM t WHERE b = 'open", nullptr, ""},
};

using sqltest::Describe;

TEST(SqlLiterals, OnlyLiteralsInWhereExpressionsBecomeParameters)
{
    for (const ParameterCase& c : kParameterCases) {
        SCOPED_TRACE(c.sql);
        CParameterisedSql out;
        const bool changed = ParameteriseLiterals(c.sql, '?', out);
        ASSERT_EQ(changed, c.text != nullptr);
        if (changed) {
            EXPECT_EQ(out.text, c.text);
            EXPECT_EQ(Describe(out.values), c.values);
        }
    }
}

class CNameSet : public CRecordset {
public:
    explicit CNameSet(CDatabase* db) : CRecordset(db) { m_nFields = 3; }
    int32_t m_ID = 0;
    CString m_Name;
    CTime m_When;
    CString GetDefaultSQL() override { return "SELECT [ID], [Name], [When] FROM Names"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        RFX_Text(pFX, "[Name]", m_Name);
        RFX_Date(pFX, "[When]", m_When);
    }
};

class SqlCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDatabase::CreateDatabase(Connect());
        m_db.OpenEx(Connect());
        m_db.ExecuteSQL("CREATE TABLE Names (ID COUNTER PRIMARY KEY, Name VARCHAR(50), [When] DATETIME, Grp LONG)");
        m_db.ExecuteSQL("INSERT INTO Names (Name, [When], Grp) VALUES ('plain', #3/5/2014#, 1), "
                        "('O''Brien', #3/5/2014 10:00#, 1), ('it''s ''quoted''', #3/6/2014#, 2), "
                        "('', #3/7/2014#, 2), ('?1 -- /* not a comment */', #3/8/2014#, 2), ('x''', NULL, 3)");
    }
    CString Connect() const { return CString("DBQ=") + m_path.c_str() + ";"; }

    // Names of the rows the statement finds, in ID order, ";"-separated.
    std::string Names(const char* where)
    {
        CNameSet rs(&m_db);
        rs.Open(CRecordset::snapshot, CString("SELECT [ID], [Name], [When] FROM Names WHERE ") + where + " ORDER BY ID");
        std::string out;
        for (; !rs.IsEOF(); rs.MoveNext())
            out += rs.m_Name.Str() + ";";
        return out;
    }

    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("cache.db");
    CDatabase m_db;
};

TEST_F(SqlCache, LiteralsWithQuotesAndDatesFindTheirRows)
{
    const struct {
        const char* where;
        const char* names;
    } cases[] = {
        {"Name = 'plain'", "plain;"},
        {"Name = 'O''Brien'", "O'Brien;"},
        {"Name = 'it''s ''quoted'''", "it's 'quoted';"},
        {"Name = ''", ";"},
        {"Name = '?1 -- /* not a comment */'", "?1 -- /* not a comment */;"},
        {"Name = 'x'''", "x';"},
        {"Name = 'x'", ""},
        {"Name LIKE 'O%' OR Name IN ('plain', 'x''')", "plain;O'Brien;x';"},
        {"Grp = 2 AND ID > 3", ";?1 -- /* not a comment */;"},
        {"Grp = '2'", "it's 'quoted';;?1 -- /* not a comment */;"},
        {"Grp BETWEEN 2 AND 3 AND Name <> ''", "it's 'quoted';?1 -- /* not a comment */;x';"},
        {"[When] = #3/5/2014#", "plain;"},
        {"[When] = #3/5/2014 10:00 AM#", "O'Brien;"},
        {"[When] >= CDATE('2014-03-06 00:00:00') AND [When] < #3/8/2014#", "it's 'quoted';;"},
        {"[When] > #3/7/2014# OR [When] IS NULL", "?1 -- /* not a comment */;x';"},
        {"Grp = 1 OR 1 = 0", "plain;O'Brien;"},
    };
    // Twice: the second round runs on the cached statements.
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.where);
            EXPECT_EQ(Names(c.where), c.names);
        }
    }
}

TEST_F(SqlCache, LookupsThatDifferInTheLiteralShareAStatement)
{
    CNameSet rs(&m_db);
    for (int round = 0; round < 3; ++round) {
        for (int id = 1; id <= 7; ++id) {
            CString sql;
            sql.Format("SELECT [ID], [Name], [When] FROM Names WHERE ID = %d", id);
            rs.Open(CRecordset::dynaset, sql);
            ASSERT_EQ(rs.IsEOF() != FALSE, id == 7) << id;
            if (id < 7) {
                EXPECT_EQ(rs.m_ID, id);
            }
            EXPECT_EQ(rs.GetSQL(), sql); // shown as written
            rs.Close();
        }
    }
    // A filter on top of a lookup, and a row changed through a cached statement.
    rs.m_strFilter = "Grp = 1";
    rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE Name = 'plain'");
    ASSERT_FALSE(rs.IsEOF());
    rs.Edit();
    rs.m_Name = "changed";
    EXPECT_TRUE(rs.Update());
    EXPECT_EQ(rs.m_Name, CString("changed"));
    rs.Close();
    rs.m_strFilter.Empty();
    EXPECT_EQ(Names("Name = 'changed'"), "changed;");
    EXPECT_EQ(Names("Name = 'plain'"), "");
}

// Lookups made from one pattern, each with its value bound to the kept
// statement: the rows of their own value by number and by text, a row read
// again after a change, and, once the table is gone (dropped here or by
// another connection), the error of the lookup's own statement as written;
// the same error for a statement kept with its own parameterised text.
TEST_F(SqlCache, LookupsFromAPatternReadTheirOwnRowsAndReportTheirOwnErrors)
{
    const struct {
        const char* where;
        const char* names;
    } cases[] = {
        {"ID = 3", "it's 'quoted';"}, {"ID = 1", "plain;"}, {"ID = 7", ""},       {"ID = 12345678901", ""},
        {"Grp = 2", "it's 'quoted';;?1 -- /* not a comment */;"}, {"Grp = 3", "x';"},
        {"Name = 'plain'", "plain;"}, {"Name = 'O Brien'", ""},   {"Name = ''", ";"}, {"Name = 'plain'", "plain;"},
    };
    for (int round = 0; round < 2; ++round)
        for (const auto& c : cases)
            EXPECT_EQ(Names(c.where), c.names) << c.where;

    CNameSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE ID = 4");
    EXPECT_EQ(rs.GetSQL(), "SELECT [ID], [Name], [When] FROM Names WHERE ID = 4");
    rs.Edit();
    rs.m_Name = "four";
    ASSERT_TRUE(rs.Update());
    rs.MoveFirst();
    EXPECT_EQ(rs.m_Name, "four");
    rs.Close();
    EXPECT_EQ(Names("ID = 4"), "four;");

    const auto errorOf = [&](const char* where) {
        try {
            Names(where);
        } catch (const CDBException& e) {
            return e.m_strError.Str();
        }
        return std::string("no error");
    };
    // The same for a statement without a value to compare with, kept as it is.
    const auto plainError = [&] {
        try {
            CNameSet all(&m_db);
            all.Open(CRecordset::snapshot, "SELECT [ID], [Name], [When] FROM Names ORDER BY ID");
        } catch (const CDBException& e) {
            return e.m_strError.Str();
        }
        return std::string("no error");
    };
    EXPECT_EQ(plainError(), "no error");
    CDatabase other;
    other.OpenEx(Connect());
    other.ExecuteSQL("ALTER TABLE Names RENAME TO Gone");
    std::string error = errorOf("ID = 5");
    EXPECT_NE(error.find("no such table: Names"), std::string::npos) << error;
    EXPECT_NE(error.find("WHERE ID = 5 ORDER BY ID"), std::string::npos) << error;
    error = plainError();
    EXPECT_NE(error.find("no such table: Names"), std::string::npos) << error;
    EXPECT_NE(error.find("FROM Names ORDER BY ID"), std::string::npos) << error;
    other.ExecuteSQL("ALTER TABLE Gone RENAME TO Names");
    EXPECT_EQ(Names("ID = 5"), "?1 -- /* not a comment */;");
    EXPECT_EQ(plainError(), "no error");

    m_db.ExecuteSQL("DROP TABLE Names");
    error = errorOf("Name = 'plain'");
    EXPECT_NE(error.find("no such table: Names"), std::string::npos) << error;
    EXPECT_NE(error.find("WHERE Name = 'plain' ORDER BY ID"), std::string::npos) << error;
    error = plainError();
    EXPECT_NE(error.find("no such table: Names"), std::string::npos) << error;
    EXPECT_NE(error.find("FROM Names ORDER BY ID"), std::string::npos) << error;
}

TEST_F(SqlCache, TwoOpenRecordsetsOfOneStatementWalkOnTheirOwn)
{
    const char* sql = "SELECT [ID], [Name], [When] FROM Names WHERE Grp = 2 ORDER BY ID";
    CNameSet first(&m_db);
    CNameSet second(&m_db);
    first.Open(CRecordset::dynaset, sql);
    first.MoveNext();
    second.Open(CRecordset::dynaset, sql); // the first one's statement is in use
    EXPECT_EQ(first.m_ID, 4);
    EXPECT_EQ(second.m_ID, 3);
    second.MoveNext();
    second.MoveNext();
    EXPECT_EQ(second.m_ID, 5);
    first.MoveNext();
    EXPECT_EQ(first.m_ID, 5);
    first.MoveNext();
    EXPECT_TRUE(first.IsEOF());
    first.Close();
    // A third one takes the statement the first gave back, positioned at the start.
    CNameSet third(&m_db);
    third.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE Grp = 1 ORDER BY ID");
    EXPECT_EQ(third.m_ID, 1);
    second.MoveFirst();
    EXPECT_EQ(second.m_ID, 3);
    third.MoveNext();
    EXPECT_EQ(third.m_ID, 2);
}

// The cache lends a statement and keeps its place; statements given back
// find their own place again, and one whose place was given up (more texts
// than the cache keeps, while it was lent) is finalized when it comes back.
// Every text must then still run its own statement: a value per text tells.
TEST_F(SqlCache, LentStatementsComeBackToTheirOwnTexts)
{
    auto sum = [&](int added) {
        CString sql;
        sql.Format("SELECT [ID] + %d FROM Names WHERE ID = 3", added);
        std::vector<CString> row;
        EXPECT_TRUE(m_db.QueryFirstRow(sql, row)) << added;
        return row.empty() ? CString() : row[0];
    };
    const char* walked = "SELECT [ID], [Name], [When] FROM Names WHERE Grp = 2 ORDER BY ID";
    for (int round = 0; round < 2; ++round) {
        CNameSet held(&m_db);
        held.Open(CRecordset::dynaset, walked);
        held.MoveNext();
        // Far more texts than the cache keeps, twice over, while one is lent.
        for (int pass = 0; pass < 2; ++pass)
            for (int added = 100; added < 180; ++added) {
                CString expected;
                expected.Format("%d", 3 + added);
                EXPECT_EQ(sum(added), expected);
            }
        EXPECT_EQ(held.m_ID, 4);
        held.MoveNext();
        EXPECT_EQ(held.m_ID, 5);
        held.Close();
        CNameSet again(&m_db);
        again.Open(CRecordset::dynaset, walked);
        EXPECT_EQ(again.m_ID, 3);
    }
    // The last texts are kept: each still gives its own value.
    for (int added = 179; added >= 150; --added) {
        CString expected;
        expected.Format("%d", 3 + added);
        EXPECT_EQ(sum(added), expected);
    }
    // More statements lent at once than the cache keeps places for: the
    // oldest places go while their statements are out.
    auto heldText = [](int added) {
        CString sql;
        sql.Format("SELECT [ID] + %d FROM Names WHERE Grp = 2 ORDER BY ID", added);
        return sql;
    };
    auto value = [](CRecordset& rs) {
        CDBVariant v;
        rs.GetFieldValue(static_cast<short>(0), v);
        CString text;
        if (v.m_dwType == DBVT_LONG)
            text.Format("%d", static_cast<int>(v.m_lVal));
        return text;
    };
    std::vector<std::unique_ptr<CRecordset>> held;
    for (int batch = 0; batch < 3; ++batch) {
        // Run once and given back, so that the held ones are lent by the cache.
        for (int added = batch * 20; added < batch * 20 + 20; ++added) {
            CRecordset once(&m_db);
            once.Open(CRecordset::forwardOnly, heldText(added), CRecordset::readOnly);
        }
        for (int added = batch * 20; added < batch * 20 + 20; ++added) {
            held.push_back(std::make_unique<CRecordset>(&m_db));
            held.back()->Open(CRecordset::forwardOnly, heldText(added), CRecordset::readOnly);
        }
    }
    for (int added = 100; added < 140; ++added)
        sum(added);
    for (int added = 0; added < 60; ++added) {
        CRecordset& rs = *held[static_cast<size_t>(added)];
        CString expected;
        expected.Format("%d", 3 + added);
        EXPECT_EQ(value(rs), expected) << added;
        rs.MoveNext();
        expected.Format("%d", 4 + added);
        EXPECT_EQ(value(rs), expected) << added;
    }
    held.clear(); // every statement comes back: to its place, or finalized
    for (int added = 59; added >= 0; --added) {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::forwardOnly, heldText(added), CRecordset::readOnly);
        CString expected;
        expected.Format("%d", 3 + added);
        EXPECT_EQ(value(rs), expected) << added;
    }
}

// A walk holds a read transaction on its snapshot: writers go on (the
// write-ahead log), but the log cannot be emptied behind the reader until the
// statement is given back, which ends the transaction.
TEST_F(SqlCache, AStatementGivenBackKeepsNoLock)
{
    CDatabase other;
    other.SetQueryTimeout(0);
    other.OpenEx(Connect());
    auto checkpointBusy = [&] {
        CRecordset rs(&other);
        rs.Open(CRecordset::snapshot, "PRAGMA wal_checkpoint(TRUNCATE)", CRecordset::readOnly);
        CString busy;
        rs.GetFieldValue("busy", busy);
        return busy;
    };
    for (int round = 0; round < 3; ++round) {
        CNameSet rs(&m_db);
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE Grp = 2");
        rs.MoveNext(); // mid-walk: the engine holds a read transaction
        other.ExecuteSQL("INSERT INTO Names (Name, Grp) VALUES ('written', 9)");
        EXPECT_EQ(checkpointBusy(), CString("1"));
        rs.Close(); // the statement goes back to the cache
        EXPECT_EQ(checkpointBusy(), CString("0"));
    }
    EXPECT_EQ(Names("Grp = 9"), "written;written;written;");
}

TEST_F(SqlCache, SchemaChangesReachStatementsPreparedBefore)
{
    CRecordset rs(&m_db);
    rs.Open(CRecordset::snapshot, "SELECT * FROM Names WHERE ID = 1");
    EXPECT_EQ(rs.GetODBCFieldCount(), 4);
    rs.Close();
    m_db.ExecuteSQL("ALTER TABLE Names ADD Extra VARCHAR(10)");
    rs.Open(CRecordset::snapshot, "SELECT * FROM Names WHERE ID = 1");
    EXPECT_EQ(rs.GetODBCFieldCount(), 5);
    rs.Close();
    // Undone by a rollback: the statements prepared inside the transaction go.
    m_db.BeginTrans();
    m_db.ExecuteSQL("ALTER TABLE Names ADD Other LONG");
    rs.Open(CRecordset::snapshot, "SELECT * FROM Names WHERE ID = 2");
    EXPECT_EQ(rs.GetODBCFieldCount(), 6);
    rs.Close();
    m_db.Rollback();
    rs.Open(CRecordset::snapshot, "SELECT * FROM Names WHERE ID = 2");
    EXPECT_EQ(rs.GetODBCFieldCount(), 5);
    CString name;
    rs.GetFieldValue("Name", name);
    EXPECT_EQ(name, CString("O'Brien"));
}

// An open of a statement run before takes its result columns from that run
// only while the statement is the same preparation, unchanged: a schema
// changed by another connection is seen at the next open.
TEST_F(SqlCache, ResultColumnsFollowSchemaChangesOfOtherConnections)
{
    const auto fieldCount = [&](const char* where) {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::snapshot, CString("SELECT * FROM Names WHERE ") + where);
        return rs.GetODBCFieldCount();
    };
    const auto name = [&](const char* where) {
        CNameSet rs(&m_db);
        rs.Open(CRecordset::dynaset, CString("SELECT * FROM Names WHERE ") + where);
        return rs.IsEOF() ? std::string("none") : rs.m_Name.Str();
    };
    EXPECT_EQ(fieldCount("ID = 1"), 4);
    EXPECT_EQ(fieldCount("ID = 2"), 4);
    EXPECT_EQ(name("ID = 1"), "plain");
    EXPECT_EQ(name("ID = 2"), "O'Brien");

    // Each change is first met by the open that binds fields.
    CDatabase other;
    other.OpenEx(Connect());
    other.ExecuteSQL("ALTER TABLE Names ADD Extra VARCHAR(10)");
    EXPECT_EQ(name("ID = 3"), "it's 'quoted'");
    EXPECT_EQ(fieldCount("ID = 3"), 5);
    other.ExecuteSQL("ALTER TABLE Names DROP COLUMN Grp");
    other.ExecuteSQL("ALTER TABLE Names DROP COLUMN [When]");
    EXPECT_EQ(name("ID = 2"), "O'Brien"); // [When] reads Extra now
    EXPECT_EQ(fieldCount("ID = 1"), 3);
    // Too few columns for the three fields.
    other.ExecuteSQL("ALTER TABLE Names DROP COLUMN Extra");
    EXPECT_THROW(name("ID = 2"), CDBException);
    EXPECT_EQ(fieldCount("ID = 1"), 2);
    other.ExecuteSQL("ALTER TABLE Names ADD [When] DATETIME");
    EXPECT_EQ(name("ID = 2"), "O'Brien");
    EXPECT_EQ(fieldCount("ID = 2"), 3);
}

TEST_F(SqlCache, ErrorsAreThoseOfTheStatementAsWritten)
{
    CNameSet rs(&m_db);
    try {
        rs.Open(CRecordset::snapshot, "SELECT [ID], [Name], [When] FROM Names WHERE Nope = 'x'");
        FAIL() << "no error";
    } catch (const CDBException& e) {
        EXPECT_NE(e.m_strError.Find("no such column: Nope"), -1) << e.m_strError.GetString();
        EXPECT_NE(e.m_strError.Find("WHERE Nope = 'x'"), -1) << e.m_strError.GetString();
    }
    // More statement texts than the cache holds, each twice: every lookup right.
    for (int i = 0; i < 80; ++i) {
        CString sql;
        sql.Format("SELECT [ID], [Name], [When] FROM Names WHERE (ID = %d AND Name <> '%s')", i % 7 + 1,
                   SqlQuote(CString(std::to_string(i))).GetString());
        for (int k = 0; k < i % 40; ++k)
            sql += " OR ID = 0";
        rs.Open(CRecordset::snapshot, sql);
        EXPECT_EQ(rs.IsEOF() != FALSE, i % 7 + 1 == 7) << sql.GetString();
        rs.Close();
    }
}

// Binds the second column by a switch: "[Name]" as text, "[Grp]" as a number,
// or "[Tag]" as text (same kind and length as "[Name]", another column).
class CSwitchSet : public CRecordset {
public:
    enum class Second { Name, Grp, Tag };
    CSwitchSet(CDatabase* db, Second second) : CRecordset(db), m_Second(second) { m_nFields = 2; }
    Second m_Second;
    int32_t m_ID = 0;
    CString m_Text;
    int32_t m_Number = 0;
    CString GetDefaultSQL() override
    {
        return m_Second == Second::Grp ? "SELECT [ID], [Grp] FROM Names"
                                       : m_Second == Second::Tag ? "SELECT [ID], [Tag] FROM Names"
                                                                 : "SELECT [ID], [Name] FROM Names";
    }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        if (m_Second == Second::Grp)
            RFX_Long(pFX, "[Grp]", m_Number);
        else
            RFX_Text(pFX, m_Second == Second::Tag ? "[Tag]" : "[Name]", m_Text);
    }
};

// What row 2 holds through each binding; a change written through the
// binding lands in its own column.
std::string ReadAndWrite(CDatabase& db, CSwitchSet::Second second, const char* written)
{
    CSwitchSet rs(&db, second);
    rs.Open(CRecordset::dynaset, rs.GetDefaultSQL() + " WHERE ID = 2");
    if (rs.IsEOF())
        return "none";
    const std::string read = second == CSwitchSet::Second::Grp ? std::to_string(rs.m_Number) : rs.m_Text.Str();
    rs.Edit();
    if (second == CSwitchSet::Second::Grp)
        rs.m_Number = std::stoi(written);
    else
        rs.m_Text = written;
    rs.Update();
    return read;
}

TEST_F(SqlCache, ARecordsetClassNamingOtherFieldsReadsAndWritesItsOwn)
{
    m_db.ExecuteSQL("ALTER TABLE Names ADD Tag VARCHAR(20)");
    m_db.ExecuteSQL("UPDATE Names SET Tag = 'tag' WHERE ID = 2");
    using S = CSwitchSet::Second;
    const struct {
        S second;
        const char* written;
        const char* expected; // what the open before wrote to the column read now
    } steps[] = {{S::Name, "N1", "O'Brien"}, {S::Grp, "7", "1"},  {S::Name, "N2", "N1"}, {S::Tag, "T1", "tag"},
                 {S::Name, "N3", "N2"},     {S::Tag, "T2", "T1"}, {S::Grp, "8", "7"},   {S::Grp, "9", "8"}};
    for (const auto& step : steps)
        EXPECT_EQ(ReadAndWrite(m_db, step.second, step.written), step.expected) << step.written;
    CRecordset rs(&m_db);
    rs.Open(CRecordset::snapshot, "SELECT Name, Grp, Tag FROM Names WHERE ID = 2");
    CString name, group, tag;
    rs.GetFieldValue("Name", name);
    rs.GetFieldValue("Grp", group);
    rs.GetFieldValue("Tag", tag);
    EXPECT_EQ(name, CString("N3"));
    EXPECT_EQ(group, CString("9"));
    EXPECT_EQ(tag, CString("T2"));
}

TEST_F(SqlCache, FieldListsFollowTheConnectionAndTheSchema)
{
    const auto firstName = [](CDatabase& db) {
        CNameSet rs(&db);
        rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names ORDER BY ID");
        return rs.IsEOF() ? std::string("none") : rs.m_Name.Str() + "@" + rs.m_When.Format("%Y-%m-%d").Str();
    };
    EXPECT_EQ(firstName(m_db), "plain@2014-03-05");
    EXPECT_EQ(m_db.GetRecordsetTextCache().FieldListCount(), 1u);

    // A second connection keeps lists of its own.
    CDatabase other;
    other.OpenEx(Connect());
    EXPECT_EQ(other.GetRecordsetTextCache().FieldListCount(), 0u);
    EXPECT_EQ(firstName(other), "plain@2014-03-05");

    // A column added, and one that the recordset binds dropped and added again.
    m_db.ExecuteSQL("ALTER TABLE Names ADD Extra VARCHAR(10)");
    EXPECT_EQ(firstName(m_db), "plain@2014-03-05");
    m_db.ExecuteSQL("ALTER TABLE Names DROP COLUMN [When]");
    EXPECT_THROW(firstName(m_db), CDBException);
    EXPECT_THROW(firstName(other), CDBException);
    m_db.ExecuteSQL("ALTER TABLE Names ADD [When] DATETIME");
    m_db.ExecuteSQL("UPDATE Names SET [When] = #4/1/2015# WHERE ID = 1");
    EXPECT_EQ(firstName(m_db), "plain@2015-04-01");
    EXPECT_EQ(firstName(other), "plain@2015-04-01");

    // Undone by a rollback: the list is the class's, the rows the file's.
    m_db.BeginTrans();
    m_db.ExecuteSQL("UPDATE Names SET Name = 'inside' WHERE ID = 1");
    EXPECT_EQ(firstName(m_db), "inside@2015-04-01");
    m_db.Rollback();
    EXPECT_EQ(firstName(m_db), "plain@2015-04-01");

    // Closed and opened again: nothing kept from before.
    m_db.Close();
    m_db.OpenEx(Connect());
    EXPECT_EQ(m_db.GetRecordsetTextCache().FieldListCount(), 0u);
    EXPECT_EQ(firstName(m_db), "plain@2015-04-01");
    EXPECT_EQ(m_db.GetRecordsetTextCache().FieldListCount(), 1u);
}

TEST_F(SqlCache, AFailedOpenLeavesTheFieldListRight)
{
    CNameSet rs(&m_db);
    EXPECT_THROW(rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Nowhere"), CDBException);
    EXPECT_THROW(rs.Open(CRecordset::dynaset, "SELECT [ID], [Name] FROM Names"), CDBException); // too few columns
    rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE ID = 2");
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.m_ID, 2);
    EXPECT_EQ(rs.m_Name, CString("O'Brien"));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_When));
    rs.Close();
    rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE ID = 6");
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_When));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_Name));
}

// A class that promises fixed fields; one derived from it that names a
// fourth field without promising; one that promises but binds a variable
// outside the object.
class CFixedNameSet : public CNameSet {
public:
    using CNameSet::CNameSet;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
};

class CGroupNameSet : public CFixedNameSet {
public:
    explicit CGroupNameSet(CDatabase* db) : CFixedNameSet(db) { m_nFields = 4; }
    int32_t m_Group = 0;
    CString GetDefaultSQL() override { return "SELECT [ID], [Name], [When], [Grp] FROM Names"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        CNameSet::DoFieldExchange(pFX);
        RFX_Long(pFX, "[Grp]", m_Group);
    }
};

int32_t g_outsideGroup = 0;
class COutsideSet : public CNameSet {
public:
    explicit COutsideSet(CDatabase* db) : CNameSet(db) { m_nFields = 4; }
    CString GetDefaultSQL() override { return "SELECT [ID], [Name], [When], [Grp] FROM Names"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        CNameSet::DoFieldExchange(pFX);
        RFX_Long(pFX, "[Grp]", g_outsideGroup);
    }
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
};

// "id:name@day:group" of the row with the given ID, read by a fresh object of
// Set (on the heap, so that each lies elsewhere); group from read(rs).
template <class Set, class Read>
std::string ReadRow(CDatabase& db, int id, Read read)
{
    auto rs = std::make_unique<Set>(&db);
    rs->Open(CRecordset::dynaset, rs->GetDefaultSQL() + " WHERE ID = " + std::to_string(id).c_str());
    if (rs->IsEOF())
        return "none";
    return std::to_string(rs->m_ID) + ":" + rs->m_Name.Str() + "@" + rs->m_When.Format("%m-%d").Str() + ":" +
           std::to_string(read(*rs));
}

TEST_F(SqlCache, FixedFieldsBindEachObjectsOwnMembers)
{
    const auto noGroup = [](const CNameSet&) { return 0; };
    const auto group = [](const CGroupNameSet& rs) { return rs.m_Group; };
    const auto outside = [](const COutsideSet&) { return g_outsideGroup; };
    const struct {
        int id;
        const char* expected;
    } rows[] = {{1, "1:plain@03-05:"}, {2, "2:O'Brien@03-05:"}, {3, "3:it's 'quoted'@03-06:"}};
    const int groups[] = {1, 1, 2};
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < std::size(rows); ++i) {
            SCOPED_TRACE(rows[i].id);
            const std::string base = rows[i].expected;
            EXPECT_EQ(ReadRow<CFixedNameSet>(m_db, rows[i].id, noGroup), base + "0");
            // A derived class that does not promise names its own fields.
            EXPECT_EQ(ReadRow<CGroupNameSet>(m_db, rows[i].id, group), base + std::to_string(groups[i]));
            // A promise broken by a variable outside the object is not taken.
            g_outsideGroup = -1;
            EXPECT_EQ(ReadRow<COutsideSet>(m_db, rows[i].id, outside), base + std::to_string(groups[i]));
        }
    }
    EXPECT_EQ(m_db.GetRecordsetTextCache().FieldListCount(), 3u);

    // Written through the kept offsets: the change lands in the object's own
    // columns, and a second object reads it back.
    {
        CFixedNameSet first(&m_db);
        first.Open(CRecordset::dynaset, "SELECT [ID], [Name], [When] FROM Names WHERE ID = 4");
        ASSERT_FALSE(first.IsEOF());
        first.Edit();
        first.m_Name = "edited";
        first.m_When = CTime(2016, 7, 8, 0, 0, 0);
        first.Update();
        first.AddNew();
        first.m_Name = "added";
        first.m_When = CTime(2017, 1, 2, 0, 0, 0);
        first.Update();
    }
    EXPECT_EQ(ReadRow<CFixedNameSet>(m_db, 4, noGroup), "4:edited@07-08:0");
    EXPECT_EQ(Names("Name = 'added'"), "added;");

    // A connection opened anew names each class again.
    m_db.Close();
    m_db.OpenEx(Connect());
    EXPECT_EQ(m_db.GetRecordsetTextCache().FieldListCount(), 0u);
    EXPECT_EQ(ReadRow<CFixedNameSet>(m_db, 4, noGroup), "4:edited@07-08:0");
    EXPECT_EQ(ReadRow<CGroupNameSet>(m_db, 2, group), "2:O'Brien@03-05:1");
}

} // namespace
