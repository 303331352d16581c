// SELECT TOP n ... ORDER BY k run by each engine: the index-friendly form must
// return the same rows, in the same key order, as SQLite's rank form (ties
// with the n-th row kept) on data with ties, NULL keys, fewer rows than n, no
// rows, an existing WHERE and a join; the server's rows are compared with
// those of a SQLite file holding the same data. SQLite must answer it from
// the key's index.
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Dialect.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

struct CResult {
    std::vector<std::string> keys; // the key column, in the order of the rows
    std::vector<std::string> rows; // every shown column, sorted (ties come in any order)
};

class SqlTop : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        m_db.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
        Fill(m_db);
        if (GetParam() != zentest::ETestEngine::Sqlite) {
            m_reference = std::make_unique<zentest::CTestDatabase>(zentest::ETestEngine::Sqlite);
            m_referenceDb.OpenEx(m_reference->ConnectString(), CDatabase::noOdbcDialog);
            Fill(m_referenceDb);
        }
    }
    void TearDown() override
    {
        m_db.Close();
        m_referenceDb.Close();
    }

    static void Fill(CDatabase& db)
    {
        for (const char* table : {"T", "Few", "Empty", "AllNull"}) {
            db.ExecuteSQL(CString("CREATE TABLE ") + table +
                          " (ID COUNTER PRIMARY KEY, G LONG, D DATETIME, Name TEXT(20))");
            db.ExecuteSQL(CString("CREATE INDEX ") + table + "_D ON " + table + " (D)");
        }
        // G: ties at both ends and in the middle, NULLs; D: ties and NULLs.
        db.ExecuteSQL("INSERT INTO T (G, D, Name) VALUES (5, #1/3/2014#, 'a'), (NULL, #1/1/2014#, 'b'), "
                      "(3, NULL, 'x'), (5, #1/3/2014#, 'c'), (1, #1/2/2014#, 'd'), (NULL, NULL, 'e'), "
                      "(3, #1/2/2014#, 'x'), (1, #1/5/2014#, 'f'), (9, #1/5/2014#, 'g')");
        db.ExecuteSQL("INSERT INTO Few (G, D, Name) VALUES (2, NULL, 'a'), (NULL, #1/1/2014#, 'b')");
        db.ExecuteSQL("INSERT INTO AllNull (Name) VALUES ('a'), ('b'), ('x')");
        db.ExecuteSQL("CREATE TABLE U (UID COUNTER PRIMARY KEY, TID LONG, Label TEXT(20))");
        db.ExecuteSQL("INSERT INTO U (TID, Label) VALUES (1, 'one'), (4, 'four'), (4, 'four again'), (8, 'eight')");
    }

    CResult Run(const std::string& sql, size_t keyColumn) { return Run(m_db, sql, keyColumn); }

    static CResult Run(CDatabase& db, const std::string& sql, size_t keyColumn)
    {
        CRecordset rs(&db);
        rs.Open(CRecordset::dynaset, sql.c_str());
        CResult result;
        const short columns = rs.GetODBCFieldCount();
        for (; !rs.IsEOF(); rs.MoveNext()) {
            std::string row;
            for (short c = 0; c < columns; ++c) {
                CODBCFieldInfo info;
                rs.GetODBCFieldInfo(c, info);
                CString value;
                rs.GetFieldValue(info.m_strName, value);
                row += value.Str() + "|";
                if (static_cast<size_t>(c) == keyColumn)
                    result.keys.push_back(value.Str());
            }
            result.rows.push_back(row);
        }
        std::sort(result.rows.begin(), result.rows.end());
        return result;
    }

    // The statement as it stands against the same statement with the key in
    // parentheses, which keeps the rank form.
    void ExpectSameAsRank(const std::string& head, const std::string& key, const std::string& direction,
                          size_t keyColumn)
    {
        const std::string fast = head + " ORDER BY " + key + direction;
        const std::string rank = head + " ORDER BY (" + key + ")" + direction;
        ASSERT_EQ(TranslateSql(fast.c_str(), SqlDialect::Sqlite).Find("RANK()"), -1) << fast;
        ASSERT_NE(TranslateSql(rank.c_str(), SqlDialect::Sqlite).Find("RANK()"), -1) << rank;
        // SQLite's rank form is the measure on every engine.
        const CResult expected = Run(m_reference ? m_referenceDb : m_db, rank, keyColumn);
        const CResult actual = Run(fast, keyColumn);
        EXPECT_EQ(actual.rows, expected.rows) << fast;
        EXPECT_EQ(actual.keys, expected.keys) << fast;
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
    // The same data in a SQLite file, when the engine is another.
    std::unique_ptr<zentest::CTestDatabase> m_reference;
    CDatabase m_referenceDb;
};

// The plan is SQLite's (EXPLAIN QUERY PLAN).
class SqlTopSqliteOnly : public SqlTop {};

TEST_P(SqlTop, IndexFriendlyFormReturnsTheRowsOfTheRankForm)
{
    for (const char* table : {"T", "Few", "Empty", "AllNull"}) {
        const std::string qualified = std::string("[") + table + "].[G]";
        const std::pair<std::string, size_t> keys[] = {{"[ID]", 0}, {"G", 1}, {"[D]", 2}, {qualified, 1}};
        for (const char* where : {"", " WHERE [Name] <> 'x'", " WHERE G > 1 OR G IS NULL"}) {
            const std::string from = std::string(" FROM ") + table + where;
            for (const auto& [key, column] : keys)
                for (const char* direction : {"", " ASC", " DESC"})
                    for (int n : {0, 1, 2, 3, 4, 20}) {
                        const std::string head = "SELECT TOP " + std::to_string(n) + " [ID], [G], [D], [Name]" + from;
                        ExpectSameAsRank(head, key, direction, column);
                    }
        }
    }
}

TEST_P(SqlTop, JoinsKeepTheirQualifiedKey)
{
    const std::string head = "SELECT TOP 2 [T].[ID], [U].[Label], [T].[G] FROM T INNER JOIN U ON [T].[ID] = [U].[TID]";
    for (const char* direction : {"", " DESC"}) {
        ExpectSameAsRank(head, "[T].[ID]", direction, 0);
        ExpectSameAsRank(head + " WHERE [U].[Label] <> 'one'", "[T].[G]", direction, 2);
    }
    // ties across the join: ID 4 appears twice and both rows are kept
    const CResult r = Run(head + " ORDER BY [T].[ID] DESC", 0);
    EXPECT_EQ(r.keys, (std::vector<std::string>{"8", "4", "4"}));
}

TEST_P(SqlTop, LatestRegistrationKeepsItsTiesAndRowsCanBeChanged)
{
    // the shape of the next-identifier query: the rows of the latest date
    const CResult latest = Run("SELECT TOP 1 [T].[ID],[Name],[D] FROM T  ORDER BY [D] DESC", 2);
    EXPECT_EQ(latest.rows, (std::vector<std::string>{"8|f|2014-01-05 00:00:00|", "9|g|2014-01-05 00:00:00|"}));

    CRecordset rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT TOP 1 [T].[ID],[Name],[D] FROM T  ORDER BY [D] DESC");
    ASSERT_TRUE(rs.CanUpdate());
    rs.Close();
}

// A TOP over a TOP: the outer level ranks, the inner keeps its own form,
// and the engine returns what the two mean together.
TEST_P(SqlTop, NestedTopsReturnTheRowsOfEachLevel)
{
    const CResult r =
        Run("SELECT TOP 2 [ID], [Name] FROM (SELECT TOP 4 [ID], [Name] FROM T ORDER BY [ID] DESC) ORDER BY [ID]", 0);
    EXPECT_EQ(r.keys, (std::vector<std::string>{"6", "7"}));
    EXPECT_EQ(r.rows, (std::vector<std::string>{"6|e|", "7|x|"}));
}

TEST_P(SqlTopSqliteOnly, TheEngineAnswersFromTheIndex)
{
    // 2000 rows: the plan must search the key's index, not scan the table.
    m_db.ExecuteSQL("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2000) "
                    "INSERT INTO Empty (G, D, Name) SELECT x, datetime('2014-01-01', '+' || x || ' minutes'), 'n' "
                    "FROM c");
    for (const char* sql : {"SELECT TOP 1 [Empty].[ID],[D] FROM Empty ORDER BY [D] DESC",
                            "SELECT TOP 50 [Empty].[ID],[D] FROM Empty ORDER BY ID"}) {
        CRecordset plan(&m_db);
        plan.Open(CRecordset::snapshot, ("EXPLAIN QUERY PLAN " + TranslateSql(sql, SqlDialect::Sqlite).Str()).c_str(),
                  CRecordset::readOnly);
        std::string details;
        for (; !plan.IsEOF(); plan.MoveNext()) {
            CString detail;
            plan.GetFieldValue("detail", detail);
            details += detail.Str() + "\n";
        }
        EXPECT_NE(details.find("SEARCH Empty USING"), std::string::npos) << sql << "\n" << details;
        EXPECT_EQ(details.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << details;
    }
}

std::string EngineParamName(const ::testing::TestParamInfo<zentest::ETestEngine>& engine)
{
    return zentest::EngineName(engine.param);
}
INSTANTIATE_TEST_SUITE_P(Engines, SqlTop, ::testing::ValuesIn(zentest::AllEngines()), EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, SqlTopSqliteOnly, ::testing::Values(zentest::ETestEngine::Sqlite), EngineParamName);

} // namespace
