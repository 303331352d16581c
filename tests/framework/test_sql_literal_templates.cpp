// The parameterisation of a statement worked out from that of a statement
// differing from it only inside one replaced literal: it must always be what
// the statement would get on its own, and it must refuse every other change.
// Also lookups through a connection that keeps such templates.
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/SqlLiterals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CParameterisedTemplate TemplateOf(const std::string& sql)
{
    CParameterisedTemplate known;
    known.sql = sql;
    known.changed = ParameteriseLiterals(sql, '?', known.result);
    return known;
}

std::string Describe(const CParameterisedSql& p)
{
    std::string out = p.text;
    for (const CSqlValue& v : p.values)
        out += " | " + (v.GetType() == CSqlValue::Type::Text ? "'" + v.GetText() + "'" : std::to_string(v.GetInteger()));
    for (const CLiteralSpan& s : p.spans)
        out += " @" + std::to_string(s.begin) + "-" + std::to_string(s.end) + (s.text ? "t" : "n");
    return out;
}

struct LikeCase {
    const char* known;
    const char* sql;
    bool applies; // worked out from the known statement
};

const LikeCase kLikeCases[] = {
    // The same text; another value of the same or another length.
    {"SELECT a FROM t WHERE b = 'S-000042'", "SELECT a FROM t WHERE b = 'S-000042'", true},
    {"SELECT a FROM t WHERE b = 'S-000042'", "SELECT a FROM t WHERE b = 'S-000043'", true},
    {"SELECT a FROM t WHERE b = 'x' ORDER BY a", "SELECT a FROM t WHERE b = 'xyz' ORDER BY a", true},
    {"SELECT a FROM t WHERE b = 'xyz' ORDER BY a", "SELECT a FROM t WHERE b = 'x' ORDER BY a", true},
    {"SELECT a FROM t WHERE b = 'x'", "SELECT a FROM t WHERE b = ''", true},
    {"SELECT a FROM t WHERE b = ''", "SELECT a FROM t WHERE b = 'a--b /* c'", true},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = 123456", true},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = 7", true},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = 007", true},
    {"SELECT a FROM t WHERE b = 1 AND c = 2", "SELECT a FROM t WHERE b = 1 AND c = 25", true},
    {"SELECT a FROM t WHERE b = 1 AND c = 'q'", "SELECT a FROM t WHERE b = 100 AND c = 'q'", true},
    {"SELECT a FROM t WHERE b IN (1, 2, 3)", "SELECT a FROM t WHERE b IN (1, 20, 3)", true},
    {"SELECT a FROM t", "SELECT a FROM t", true},
    // A quote in the new text, a value that is no whole number, a change
    // outside the literals or across two of them, a literal never replaced.
    {"SELECT a FROM t WHERE b = 'x'", "SELECT a FROM t WHERE b = 'O''Brien'", false},
    {"SELECT a FROM t WHERE b = 'x'", "SELECT a FROM t WHERE b = 'x' OR 'y' = b", false},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = 1.5", false},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = 0x1", false},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = 99999999999999999999", false},
    {"SELECT a FROM t WHERE b = 17", "SELECT a FROM t WHERE b = ", false},
    {"SELECT a FROM t WHERE b = 'x'", "SELECT a FROM t WHERE c = 'x'", false},
    {"SELECT a FROM t WHERE b = 1 AND c = 2", "SELECT a FROM t WHERE b = 3 AND c = 4", false},
    {"SELECT 'x' FROM t WHERE b = 1", "SELECT 'y' FROM t WHERE b = 1", false},
    {"SELECT a FROM t WHERE b = 1.5", "SELECT a FROM t WHERE b = 2.5", false},
    {"SELECT a FROM t", "SELECT b FROM t", false},
};

TEST(SqlLiteralTemplates, AWorkedOutParameterisationIsThatOfTheStatement)
{
    for (const LikeCase& c : kLikeCases) {
        SCOPED_TRACE(std::string(c.known) + " -> " + c.sql);
        const CParameterisedTemplate known = TemplateOf(c.known);
        CParameterisedSql out;
        bool changed = false;
        ASSERT_EQ(ParameteriseLike(known, c.sql, out, changed), c.applies);
        if (!c.applies)
            continue;
        CParameterisedSql own;
        const bool ownChanged = ParameteriseLiterals(c.sql, '?', own);
        EXPECT_EQ(changed, ownChanged);
        if (ownChanged) {
            EXPECT_EQ(Describe(out), Describe(own));
        }
    }
}

// A template worked out from another serves as one itself: the places of
// the literals after a longer or shorter value are right.
TEST(SqlLiteralTemplates, AWorkedOutTemplateServesAgain)
{
    const std::string steps[] = {
        "SELECT a FROM t WHERE b = 1 AND c = 'q' AND d = 5",
        "SELECT a FROM t WHERE b = 1000 AND c = 'q' AND d = 5",
        "SELECT a FROM t WHERE b = 1000 AND c = 'a longer text' AND d = 5",
        "SELECT a FROM t WHERE b = 1000 AND c = 'a longer text' AND d = 77",
        "SELECT a FROM t WHERE b = 2 AND c = 'a longer text' AND d = 77",
        "SELECT a FROM t WHERE b = 2 AND c = '' AND d = 77",
    };
    CParameterisedTemplate known = TemplateOf(steps[0]);
    for (size_t i = 1; i < std::size(steps); ++i) {
        SCOPED_TRACE(steps[i]);
        CParameterisedSql out;
        bool changed = false;
        ASSERT_TRUE(ParameteriseLike(known, steps[i], out, changed));
        CParameterisedSql own;
        ASSERT_TRUE(ParameteriseLiterals(steps[i], '?', own));
        EXPECT_EQ(Describe(out), Describe(own));
        known.sql = steps[i];
        known.result = out;
    }
}

// Lookups on a file whose values differ in length, in quotes and in kind,
// one after the other on one connection: each finds its own row.
TEST(SqlLiteralTemplates, LookupsOnOneConnectionFindTheirOwnRows)
{
    zentest::CTempDir dir;
    const CString connect = CString("DBQ=") + dir.File("t.db").c_str() + ";";
    CDatabase::CreateDatabase(connect);
    CDatabase db;
    db.OpenEx(connect);
    db.ExecuteSQL("CREATE TABLE Items (ID INTEGER PRIMARY KEY, Name VARCHAR(20))");
    const char* const names[] = {"A", "B-2", "C-300", "O'Brien", "", "long name 12345"};
    for (int i = 0; i < static_cast<int>(std::size(names)); ++i)
        db.ExecuteSQL(CString(("INSERT INTO Items (ID, Name) VALUES (" + std::to_string(i + 1) + ", '" +
                               SqlQuote(names[i]).Str() + "')")
                                  .c_str()));
    struct Lookup {
        std::string where;
        int id; // 0: no row
    };
    const Lookup lookups[] = {{"Name = 'A'", 1},       {"Name = 'C-300'", 3}, {"Name = 'B-2'", 2},
                              {"Name = 'O''Brien'", 4}, {"Name = ''", 5},      {"Name = 'long name 12345'", 6},
                              {"Name = 'none'", 0},     {"ID = 3", 3},         {"ID = 30", 0},
                              {"ID = 6", 6},            {"Name = 'A'", 1}};
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(l.where);
        CRecordset rs(&db);
        rs.Open(CRecordset::forwardOnly, ("SELECT ID FROM Items WHERE " + l.where).c_str());
        if (l.id == 0) {
            EXPECT_TRUE(rs.IsEOF());
            continue;
        }
        ASSERT_FALSE(rs.IsEOF());
        CString id;
        rs.GetFieldValue("ID", id);
        EXPECT_EQ(id, CString(std::to_string(l.id).c_str()));
        rs.MoveNext();
        EXPECT_TRUE(rs.IsEOF());
    }
}

} // namespace
