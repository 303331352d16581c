// The kept statements of ExecuteSQL and of the savepoints: which literals of
// a write become parameters, values stored as written, and every way a kept
// statement could go stale (a column added, by this connection or another,
// a connection closed and opened on another file, a failed statement, a
// rollback that undid a column) or mix up two scopes' savepoints.
#include "SqlTestSupport.h"
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/Transaction.h"
#include "framework/sql/internal/SqlLiterals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct WriteCase {
    const char* sql;
    const char* text; // nullptr: left as it is
    const char* values;
};

const WriteCase kWriteCases[] = {
    {"INSERT INTO t (a, b) VALUES ('x', 5)", "INSERT INTO t (a, b) VALUES (?1, ?2)", "'x'|5"},
    {"INSERT INTO t VALUES (1, 'O''Brien'), (2, '')", "INSERT INTO t VALUES (?1, ?2), (?3, ?4)", "1|'O'Brien'|2|''"},
    {"UPDATE t SET a = 'x', b = 5 WHERE c = 6", "UPDATE t SET a = ?1, b = ?2 WHERE c = ?3", "'x'|5|6"},
    {"INSERT INTO t (a) VALUES ('x') ON CONFLICT (a) DO UPDATE SET b = 7",
     "INSERT INTO t (a) VALUES (?1) ON CONFLICT (a) DO UPDATE SET b = ?2", "'x'|7"},
    {"UPDATE t SET a = 5 WHERE b IN (SELECT c FROM u WHERE d = 'y')",
     "UPDATE t SET a = ?1 WHERE b IN (SELECT c FROM u WHERE d = ?2)", "5|'y'"},
    // Left as written: expressions, negative and real numbers, sub-selects,
    // an INSERT from a SELECT's list, statements with parameters of their own.
    {"INSERT INTO t (a, b, c) VALUES (lower('X'), -4, 1.5)", nullptr, ""},
    {"UPDATE t SET a = (SELECT c FROM u WHERE d = 3), b = b + 1", nullptr, ""},
    {"INSERT INTO t (a) SELECT 'x' FROM u", nullptr, ""},
    {"INSERT INTO t (a, b) VALUES (?1, 'x')", nullptr, ""},
};

using sqltest::Describe;

TEST(SqlWriteLiterals, WrittenValuesBecomeParametersOnlyWhenAsked)
{
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.sql);
        CParameterisedSql out;
        const bool changed = ParameteriseLiterals(c.sql, '?', out, true);
        ASSERT_EQ(changed, c.text != nullptr);
        if (changed) {
            EXPECT_EQ(out.text, c.text);
            EXPECT_EQ(Describe(out.values), c.values);
        }
        // The queries' own parameterisation leaves a write's values alone.
        CParameterisedSql plain;
        if (ParameteriseLiterals(c.sql, '?', plain)) {
            EXPECT_EQ(plain.text.find("VALUES (?"), std::string::npos) << plain.text;
        }
    }
}

class SqlWriteCache : public ::testing::Test {
public: // the steps of a table reach the fixture's connection

    void SetUp() override
    {
        Create(m_path);
        m_db.OpenEx(Connect(m_path));
    }
    static CString Connect(const std::string& path) { return CString("DBQ=") + path.c_str() + ";"; }
    static void Create(const std::string& path)
    {
        CDatabase::CreateDatabase(Connect(path));
        CDatabase db;
        db.OpenEx(Connect(path));
        db.ExecuteSQL("CREATE TABLE Items (ID COUNTER PRIMARY KEY, Code VARCHAR(20) UNIQUE, Qty LONG)");
        db.Close();
    }

    // The rows of Items as "Code:Qty" (or "Code:Qty:Extra" when asked),
    // in ID order, ";"-separated.
    static std::string Rows(CDatabase& db, bool withExtra = false)
    {
        CRecordset rs(&db);
        rs.Open(CRecordset::forwardOnly,
                withExtra ? "SELECT Code, Qty, Extra FROM Items ORDER BY ID" : "SELECT Code, Qty FROM Items ORDER BY ID",
                CRecordset::readOnly);
        std::string out;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            CString code, qty, extra;
            rs.GetFieldValue("Code", code);
            rs.GetFieldValue("Qty", qty);
            out += code.Str() + ":" + qty.Str();
            if (withExtra) {
                rs.GetFieldValue("Extra", extra);
                out += ":" + extra.Str();
            }
            out += ";";
        }
        return out;
    }

    zentest::CTempDir m_dir;
    std::string m_path = m_dir.File("write.db");
    CDatabase m_db;
};

TEST_F(SqlWriteCache, ValuesAreStoredAsWrittenWithTheirTypes)
{
    // A text of digits stays a text in a text column; a number in a number
    // column; the same statement text run again with other values.
    for (const char* sql : {"INSERT INTO Items (Code, Qty) VALUES ('007', 7)",
                            "INSERT INTO Items (Code, Qty) VALUES ('O''Brien', '12')",
                            "INSERT INTO Items (Code, Qty) VALUES ('?1 -- not a comment', 3)"})
        m_db.ExecuteSQL(sql);
    m_db.ExecuteSQL("UPDATE Items SET Qty = 8 WHERE Code = '007'");
    EXPECT_EQ(Rows(m_db), "007:8;O'Brien:12;?1 -- not a comment:3;");
    CRecordset rs(&m_db);
    rs.Open(CRecordset::forwardOnly, "SELECT typeof(Code) AS c, typeof(Qty) AS q FROM Items WHERE ID = 1",
            CRecordset::readOnly);
    CString code, qty;
    rs.GetFieldValue("c", code);
    rs.GetFieldValue("q", qty);
    EXPECT_EQ(code, CString("text"));
    EXPECT_EQ(qty, CString("integer"));
}

TEST_F(SqlWriteCache, KeptStatementsFollowEveryChangeOfTheSchemaAndConnection)
{
    const char* const insert = "INSERT INTO Items VALUES (NULL, 'a', 1)";
    struct Step {
        const char* name;
        void (*change)(SqlWriteCache& t);
        bool insertWorks; // the kept text, all columns by position
    };
    const Step steps[] = {
        {"as created", [](SqlWriteCache&) {}, true},
        {"a column added by this connection",
         [](SqlWriteCache& t) { t.m_db.ExecuteSQL("ALTER TABLE Items ADD Extra VARCHAR(10) DEFAULT 'd'"); }, false},
        {"closed and opened on a file without the column",
         [](SqlWriteCache& t) {
             t.m_db.Close();
             const std::string other = t.m_dir.File("other.db");
             Create(other);
             t.m_db.OpenEx(Connect(other));
         },
         true},
        {"a column added by another connection",
         [](SqlWriteCache& t) {
             CDatabase second;
             second.OpenEx(Connect(t.m_dir.File("other.db")));
             second.ExecuteSQL("ALTER TABLE Items ADD Extra VARCHAR(10) DEFAULT 'e'");
         },
         false},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change(*this);
        CString code;
        code.Format("INSERT INTO Items (Code, Qty) VALUES ('k%d', %d)", n, n);
        m_db.ExecuteSQL(code); // by name: works in every schema
        ++n;
        if (step.insertWorks) {
            m_db.ExecuteSQL(insert);
            m_db.ExecuteSQL("DELETE FROM Items WHERE Code = 'a'");
        } else {
            EXPECT_THROW(m_db.ExecuteSQL(insert), CDBException);
        }
    }
    EXPECT_EQ(Rows(m_db, true), "k2:2:e;k3:3:e;");
    CDatabase first;
    first.OpenEx(Connect(m_path));
    EXPECT_EQ(Rows(first, true), "k0:0:d;k1:1:d;");
}

TEST_F(SqlWriteCache, TwoConnectionsWriteTheSameTextEachToItsFile)
{
    const std::string otherPath = m_dir.File("second.db");
    Create(otherPath);
    CDatabase other;
    other.OpenEx(Connect(otherPath));
    for (int i = 0; i < 3; ++i) {
        CString sql;
        sql.Format("INSERT INTO Items (Code, Qty) VALUES ('c%d', %d)", i, i);
        m_db.ExecuteSQL(sql);
        sql.Format("INSERT INTO Items (Code, Qty) VALUES ('c%d', %d)", i, 10 + i);
        other.ExecuteSQL(sql);
    }
    EXPECT_EQ(Rows(m_db), "c0:0;c1:1;c2:2;");
    EXPECT_EQ(Rows(other), "c0:10;c1:11;c2:12;");
}

TEST_F(SqlWriteCache, AFailedStatementLeavesItsKeptTextUsableAndNoLock)
{
    m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('x', 1)");
    try {
        m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('x', 2)");
        FAIL() << "the unique code was not refused";
    } catch (const CDBException& e) {
        EXPECT_NE(e.m_strError.Find("UNIQUE"), -1) << e.m_strError.GetString();
        EXPECT_NE(e.m_strError.Find("VALUES ('x', 2)"), -1) << e.m_strError.GetString();
    }
    m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('y', 3)");
    CDatabase second;
    second.OpenEx(Connect(m_path));
    second.SetQueryTimeout(0);
    second.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('z', 4)"); // no lock left behind
    EXPECT_EQ(Rows(m_db), "x:1;y:3;z:4;");
}

TEST_F(SqlWriteCache, ARollbackTakesBackTheColumnsOfTheKeptStatements)
{
    m_db.BeginTrans();
    m_db.ExecuteSQL("ALTER TABLE Items ADD Extra LONG");
    m_db.ExecuteSQL("INSERT INTO Items (Code, Qty, Extra) VALUES ('r', 1, 1)");
    m_db.Rollback();
    EXPECT_THROW(m_db.ExecuteSQL("INSERT INTO Items (Code, Qty, Extra) VALUES ('s', 2, 2)"), CDBException);
    m_db.BeginTrans();
    m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('t', 3)");
    m_db.Rollback();
    m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('u', 4)");
    EXPECT_EQ(Rows(m_db), "u:4;");
}

// Scopes one after another reuse their savepoints' names; scopes alive at
// once never share one, also when an outer scope ended before an inner one.
TEST_F(SqlWriteCache, SavepointsOfNestedScopesStayApart)
{
    m_db.BeginTrans();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        CTransaction outer(m_db);
        CString sql;
        sql.Format("INSERT INTO Items (Code, Qty) VALUES ('kept%d', %d)", round, round);
        m_db.ExecuteSQL(sql);
        {
            CTransaction inner(m_db);
            sql.Format("INSERT INTO Items (Code, Qty) VALUES ('undone%d', %d)", round, round);
            m_db.ExecuteSQL(sql);
            inner.Rollback();
        }
        outer.Commit();
    }
    {
        CTransaction a(m_db);
        m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('a', 1)");
        CTransaction b(m_db);
        m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('b', 2)");
        a.Commit(); // the engine releases b's savepoint with a's
        CTransaction c(m_db);
        m_db.ExecuteSQL("INSERT INTO Items (Code, Qty) VALUES ('c', 3)");
        EXPECT_THROW(b.Commit(), CDBException); // b's savepoint is gone, c's is not b's
        c.Rollback();
    }
    m_db.CommitTrans();
    EXPECT_EQ(Rows(m_db), "kept0:0;kept1:1;kept2:2;a:1;b:2;");
}

} // namespace
