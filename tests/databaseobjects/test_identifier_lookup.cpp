// The lookups of a sample by its identifier (the load, and the check before a
// save) search the unique identifier index instead of reading the whole
// table, also after the statement cache has turned their values into
// parameters (SQLite's plan); and they find exactly the rows they found
// before, on each engine.
#include "OpsTestSupport.h"

#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/internal/SampleIdentifier.h"
#include "framework/sql/internal/SqlLiterals.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class IdentifierLookup : public opstest::COpsTest {
protected:
    // The engine's plan of a statement, one "detail" line after the other.
    std::string Plan(const std::string& sql)
    {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::forwardOnly, ("EXPLAIN QUERY PLAN " + sql).c_str(), CRecordset::readOnly);
        std::string plan;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            CString detail;
            rs.GetFieldValue("detail", detail);
            plan += detail.Str() + "\n";
        }
        return plan;
    }

    // The statement as the statement cache prepares it: literals of the
    // WHERE clause turned into parameters.
    static std::string AsCached(const std::string& sql)
    {
        CParameterisedSql out;
        return ParameteriseLiterals(sql, '?', out) ? out.text : sql;
    }
};

// The plan is SQLite's (EXPLAIN QUERY PLAN).
class IdentifierLookupSqliteOnly : public IdentifierLookup {};

TEST_P(IdentifierLookupSqliteOnly, LoadAndSaveCheckSearchTheUniqueIndex)
{
    const std::string condition = zendb_ident::MatchCondition("S-1").Str();
    const struct {
        const char* what;
        std::string sql;
    } statements[] = {
        {"load", "SELECT [SampleID], [UserSampleID] FROM Samples WHERE " + condition},
        {"check", "SELECT [SampleID] FROM Samples WHERE " + condition + " AND [SampleID] <> -1"},
    };
    for (const auto& s : statements) {
        SCOPED_TRACE(s.what);
        for (const std::string& sql : {s.sql, AsCached(s.sql)}) {
            SCOPED_TRACE(sql);
            const std::string plan = Plan(sql);
            EXPECT_NE(plan.find("SEARCH Samples USING COVERING INDEX UX_Samples_UserSampleID"), std::string::npos)
                << plan;
        }
    }
}

TEST_P(IdentifierLookup, LoadFindsTheSameRowsAsBefore)
{
    // An identifier in other letter case and one with a quote find their
    // rows; an empty one finds none (a sample saved without identifier
    // stores NULL, which equals no text).
    CZENDB_Sample named(&m_db, "Lab-7");
    ASSERT_TRUE(named.Save());
    CZENDB_Sample unnamed(&m_db);
    unnamed.WorkOrder = "no identifier";
    ASSERT_TRUE(unnamed.Save());
    CZENDB_Sample quoted(&m_db, "O'Brien 1");
    ASSERT_TRUE(quoted.Save());

    const struct {
        const char* id;
        int32_t key;
    } cases[] = {
        {"Lab-7", named.SampleID},   {"LAB-7", named.SampleID}, {"lab-7", named.SampleID},
        {"", -1},      {"O'Brien 1", quoted.SampleID}, {"o'brien 1", quoted.SampleID},
        {"Lab-8", -1},               {" Lab-7", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        CZENDB_Sample sample(&m_db);
        EXPECT_EQ(sample.Load(CString(c.id)), c.key != -1);
        EXPECT_EQ(sample.SampleID, c.key);
    }
}

// The condition's text, alone and appended to a statement: quotes doubled,
// the index's own term only for an identifier that is not empty.
TEST(IdentifierCondition, TextAloneAndAppended)
{
    const struct {
        const char* id;
        const char* condition;
    } cases[] = {
        {"S-1", "[UserSampleID] = 'S-1' COLLATE NOCASE AND [UserSampleID] <> ('')"},
        {"O'Brien ''", "[UserSampleID] = 'O''Brien ''''' COLLATE NOCASE AND [UserSampleID] <> ('')"},
        {"", "[UserSampleID] = '' COLLATE NOCASE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(zendb_ident::MatchCondition(c.id).Str(), c.condition);
        std::string sql = "SELECT 1 FROM Samples WHERE ";
        zendb_ident::AppendMatchCondition(sql, c.id);
        EXPECT_EQ(sql, std::string("SELECT 1 FROM Samples WHERE ") + c.condition);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, IdentifierLookup,
                         ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, IdentifierLookupSqliteOnly,
                         ::testing::Values(zentest::ETestEngine::Sqlite), opstest::EngineParamName);

} // namespace
