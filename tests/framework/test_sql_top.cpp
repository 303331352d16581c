// SELECT TOP n ... ORDER BY k run by the engine: the index-friendly form must
// return the same rows, in the same key order, as the rank form (ties with the
// n-th row kept) on data with ties, NULL keys, fewer rows than n, no rows, an
// existing WHERE and a join; and the engine must answer it from the key's index.
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Dialect.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct CResult {
    std::vector<std::string> keys; // the key column, in the order of the rows
    std::vector<std::string> rows; // every shown column, sorted (ties come in any order)
};

class SqlTop : public ::testing::Test {
protected:
    void SetUp() override
    {
        const CString connect = CString("ODBC;DBQ=") + m_dir.File("top.mdb").c_str();
        CDatabase::CreateDatabase(connect);
        m_db.OpenEx(connect, CDatabase::noOdbcDialog);
        for (const char* table : {"T", "Few", "Empty", "AllNull"}) {
            m_db.ExecuteSQL(CString("CREATE TABLE ") + table +
                            " (ID COUNTER PRIMARY KEY, G LONG, D DATETIME, Name TEXT(20))");
            m_db.ExecuteSQL(CString("CREATE INDEX ") + table + "_D ON " + table + " (D)");
        }
        // G: ties at both ends and in the middle, NULLs; D: ties and NULLs.
        m_db.ExecuteSQL("INSERT INTO T (G, D, Name) VALUES (5, #1/3/2014#, 'a'), (NULL, #1/1/2014#, 'b'), "
                        "(3, NULL, 'x'), (5, #1/3/2014#, 'c'), (1, #1/2/2014#, 'd'), (NULL, NULL, 'e'), "
                        "(3, #1/2/2014#, 'x'), (1, #1/5/2014#, 'f'), (9, #1/5/2014#, 'g')");
        m_db.ExecuteSQL("INSERT INTO Few (G, D, Name) VALUES (2, NULL, 'a'), (NULL, #1/1/2014#, 'b')");
        m_db.ExecuteSQL("INSERT INTO AllNull (Name) VALUES ('a'), ('b'), ('x')");
        m_db.ExecuteSQL("CREATE TABLE U (UID COUNTER PRIMARY KEY, TID LONG, Label TEXT(20))");
        m_db.ExecuteSQL("INSERT INTO U (TID, Label) VALUES (1, 'one'), (4, 'four'), (4, 'four again'), (8, 'eight')");
    }

    CResult Run(const std::string& sql, size_t keyColumn)
    {
        CRecordset rs(&m_db);
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
        const CResult expected = Run(rank, keyColumn);
        const CResult actual = Run(fast, keyColumn);
        EXPECT_EQ(actual.rows, expected.rows) << fast;
        EXPECT_EQ(actual.keys, expected.keys) << fast;
    }

    zentest::CTempDir m_dir;
    CDatabase m_db;
};

TEST_F(SqlTop, IndexFriendlyFormReturnsTheRowsOfTheRankForm)
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

TEST_F(SqlTop, JoinsKeepTheirQualifiedKey)
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

TEST_F(SqlTop, LatestRegistrationKeepsItsTiesAndRowsCanBeChanged)
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
TEST_F(SqlTop, NestedTopsReturnTheRowsOfEachLevel)
{
    const CResult r =
        Run("SELECT TOP 2 [ID], [Name] FROM (SELECT TOP 4 [ID], [Name] FROM T ORDER BY [ID] DESC) ORDER BY [ID]", 0);
    EXPECT_EQ(r.keys, (std::vector<std::string>{"6", "7"}));
    EXPECT_EQ(r.rows, (std::vector<std::string>{"6|e|", "7|x|"}));
}

TEST_F(SqlTop, TheEngineAnswersFromTheIndex)
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

} // namespace
