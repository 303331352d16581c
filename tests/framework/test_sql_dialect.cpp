// Translation of the library's statements into the SQLite dialect, text in and
// text out: names, date literals, CDATE, TRUE/FALSE, SELECT TOP with and
// without ORDER BY, schema types; refusals; the quoting and date helpers.
#include "framework/Exceptions.h"
#include "framework/sql/Dialect.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/SqlTokens.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TranslationCase {
    const char* input;
    const char* sqlite;
};

const TranslationCase kCases[] = {
    // Names in brackets become quoted names; plain names stay.
    {"SELECT [Field0], [Field1], [Field2] FROM Table1", "SELECT \"Field0\", \"Field1\", \"Field2\" FROM Table1"},
    {"SELECT [IndentID], [Actual distance from edge] FROM IndentsRun WHERE ProfileID=3 ORDER BY [Actual distance from edge], [IndentID] ",
     "SELECT \"IndentID\", \"Actual distance from edge\" FROM IndentsRun WHERE ProfileID=3 ORDER BY \"Actual distance from edge\", \"IndentID\""},
    {"SELECT [ProfileID] FROM [SampleProfilesRun] WHERE ProfileID=7", "SELECT \"ProfileID\" FROM \"SampleProfilesRun\" WHERE ProfileID=7"},
    {"SELECT [Samples].[SampleID] FROM Samples  WHERE [Samples].[SampleID]=42",
     "SELECT \"Samples\".\"SampleID\" FROM Samples  WHERE \"Samples\".\"SampleID\"=42"},
    // Flags.
    {"SELECT [Signed] FROM Samples WHERE [Signed] = FALSE ORDER BY [Samples].[SampleID]",
     "SELECT \"Signed\" FROM Samples WHERE \"Signed\" = 0 ORDER BY \"Samples\".\"SampleID\""},
    {"WHERE [Signed] = TRUE", "WHERE \"Signed\" = 1"},
    {"UPDATE Patterns SET Deleted = 0", "UPDATE Patterns SET Deleted = 0"},
    // Date literals: blanks, no blank before the year, two-digit year, time.
    {"WHERE [MeasuredDate] > # 3 / 5 / 2014 #", "WHERE \"MeasuredDate\" > '2014-03-05 00:00:00'"},
    {"WHERE [MeasuredDate] >= # 3 / 5 / 2014 # AND [MeasuredDate] < # 3 / 8 /2014 #",
     "WHERE \"MeasuredDate\" >= '2014-03-05 00:00:00' AND \"MeasuredDate\" < '2014-03-08 00:00:00'"},
    {"WHERE d < #12/31/99#", "WHERE d < '1999-12-31 00:00:00'"},
    {"WHERE d < #1/2/05 3:04 PM#", "WHERE d < '2005-01-02 15:04:00'"},
    {"WHERE d < #2014-05-01 07:08:09#", "WHERE d < '2014-05-01 07:08:09'"},
    {"WHERE [MeasuredDate] < CDATE('2014-05-01 00:00:00')", "WHERE \"MeasuredDate\" < '2014-05-01 00:00:00'"},
    {"WHERE d < cdate ( '5/1/2014' )", "WHERE d < '2014-05-01 00:00:00'"},
    // Nothing inside string literals or comments changes.
    {"WHERE [WorkOrder] LIKE '%[A]#1/2/2014# TRUE%'", "WHERE \"WorkOrder\" LIKE '%[A]#1/2/2014# TRUE%'"},
    {"WHERE Field0='it''s [x] TRUE' -- [y] TRUE", "WHERE Field0='it''s [x] TRUE' -- [y] TRUE"},
    // A LIKE with its escape character (a backslash is no escape in SQL text).
    {"WHERE [Detail] LIKE '%50\\%\\_\\[x]\\\\y''%' ESCAPE '\\'",
     "WHERE \"Detail\" LIKE '%50\\%\\_\\[x]\\\\y''%' ESCAPE '\\'"},
    {"UPDATE Registration SET DisplayOrder=3 WHERE Control='CustomField7'",
     "UPDATE Registration SET DisplayOrder=3 WHERE Control='CustomField7'"},
    // TOP with one column as its key: the rows up to the n-th key (ties kept)
    // plus the NULL-key rows when the first n keys hold a NULL, merged by key.
    {"SELECT TOP 1 [Samples].[SampleID],[UserSampleID],[RegistrationDate] FROM Samples  ORDER BY [RegistrationDate] DESC",
     "SELECT \"Samples\".\"SampleID\",\"UserSampleID\",\"RegistrationDate\", \"RegistrationDate\" AS __zen_key FROM "
     "Samples WHERE \"RegistrationDate\" >= (SELECT MIN(__zen_key) FROM (SELECT \"RegistrationDate\" AS __zen_key FROM "
     "Samples ORDER BY \"RegistrationDate\" DESC LIMIT 1)) UNION ALL SELECT \"Samples\".\"SampleID\",\"UserSampleID\","
     "\"RegistrationDate\", \"RegistrationDate\" AS __zen_key FROM Samples WHERE \"RegistrationDate\" IS NULL AND EXISTS "
     "(SELECT 1 FROM (SELECT \"RegistrationDate\" AS __zen_key FROM Samples ORDER BY \"RegistrationDate\" DESC LIMIT 1) "
     "WHERE __zen_key IS NULL) ORDER BY __zen_key DESC"},
    {"SELECT TOP 5000 [Samples].[SampleID],[Trace] FROM Samples  ORDER BY SampleID",
     "SELECT \"Samples\".\"SampleID\",\"Trace\", SampleID AS __zen_key FROM Samples WHERE SampleID <= (SELECT "
     "MAX(__zen_key) FROM (SELECT SampleID AS __zen_key FROM Samples ORDER BY SampleID LIMIT 5000)) UNION ALL SELECT "
     "\"Samples\".\"SampleID\",\"Trace\", SampleID AS __zen_key FROM Samples WHERE SampleID IS NULL AND EXISTS (SELECT 1 "
     "FROM (SELECT SampleID AS __zen_key FROM Samples ORDER BY SampleID LIMIT 5000) WHERE __zen_key IS NULL) ORDER BY "
     "__zen_key"},
    // An existing WHERE is kept whole, in parentheses; a join is repeated.
    {"SELECT TOP 2 a.x FROM a JOIN b ON a.id = b.id WHERE b.y = 1 OR b.y = 2 ORDER BY [a].[x] ASC",
     "SELECT a.x, \"a\".\"x\" AS __zen_key FROM a JOIN b ON a.id = b.id WHERE (b.y = 1 OR b.y = 2) AND \"a\".\"x\" <= "
     "(SELECT MAX(__zen_key) FROM (SELECT \"a\".\"x\" AS __zen_key FROM a JOIN b ON a.id = b.id WHERE b.y = 1 OR b.y = 2 "
     "ORDER BY \"a\".\"x\" LIMIT 2)) UNION ALL SELECT a.x, \"a\".\"x\" AS __zen_key FROM a JOIN b ON a.id = b.id WHERE "
     "(b.y = 1 OR b.y = 2) AND \"a\".\"x\" IS NULL AND EXISTS (SELECT 1 FROM (SELECT \"a\".\"x\" AS __zen_key FROM a "
     "JOIN b ON a.id = b.id WHERE b.y = 1 OR b.y = 2 ORDER BY \"a\".\"x\" LIMIT 2) WHERE __zen_key IS NULL) ORDER BY "
     "__zen_key"},
    // Other TOPs with ORDER BY rank every row: several keys, an expression,
    // DISTINCT, GROUP BY.
    {"SELECT TOP 3 a FROM t ORDER BY b DESC, c",
     "SELECT * FROM (SELECT a, RANK() OVER (ORDER BY b DESC, c) AS __zen_rank FROM t) AS __zen_top WHERE __zen_rank <= 3 "
     "ORDER BY __zen_rank"},
    {"SELECT TOP 3 a FROM t ORDER BY b + 1",
     "SELECT * FROM (SELECT a, RANK() OVER (ORDER BY b + 1) AS __zen_rank FROM t) AS __zen_top WHERE __zen_rank <= 3 "
     "ORDER BY __zen_rank"},
    {"SELECT DISTINCT TOP 3 a FROM t ORDER BY a",
     "SELECT * FROM (SELECT DISTINCT a, RANK() OVER (ORDER BY a) AS __zen_rank FROM t) AS __zen_top WHERE __zen_rank <= "
     "3 ORDER BY __zen_rank"},
    {"SELECT TOP 3 a, COUNT(*) FROM t GROUP BY a ORDER BY a",
     "SELECT * FROM (SELECT a, COUNT(*), RANK() OVER (ORDER BY a) AS __zen_rank FROM t GROUP BY a) AS __zen_top WHERE "
     "__zen_rank <= 3 ORDER BY __zen_rank"},
    // TOP without ORDER BY: the first n rows.
    {"SELECT TOP 5000 [SampleID] FROM Samples ", "SELECT \"SampleID\" FROM Samples LIMIT 5000"},
    {"SELECT DISTINCT TOP 2 Name FROM Patterns", "SELECT DISTINCT Name FROM Patterns LIMIT 2"},
    // A TOP inside a sub-select is rewritten there.
    {"SELECT a FROM t WHERE b IN (SELECT TOP 3 b FROM u)", "SELECT a FROM t WHERE b IN (SELECT b FROM u LIMIT 3)"},
    // Schema statements: types the engine would not know.
    {"ALTER TABLE Samples ADD Trace IMAGE", "ALTER TABLE Samples ADD Trace BLOB"},
    {"ALTER TABLE Patterns ADD AutomaticallyEdgeAlignment BIT", "ALTER TABLE Patterns ADD AutomaticallyEdgeAlignment BIT"},
    {"ALTER TABLE RoutineTypes ADD COLUMN Deleted YESNO", "ALTER TABLE RoutineTypes ADD COLUMN Deleted BIT"},
    {"CREATE TABLE T (ID COUNTER PRIMARY KEY, N LONG NOT NULL, S TEXT(50), M MEMO, P IMAGE, CONSTRAINT u UNIQUE (N))",
     "CREATE TABLE T (ID INTEGER PRIMARY KEY AUTOINCREMENT  , N INTEGER NOT NULL, S TEXT(50), M LONGTEXT, P BLOB, "
     "CONSTRAINT u UNIQUE (N))"},
    // A trailing ';' ends the statement.
    {"SELECT 1 ; ", "SELECT 1"},
    // The short sample list's nested joins are understood as they are.
    {"SELECT [Patterns].[Name] FROM ((Samples LEFT JOIN DefaultProfileToUse ON [Samples].[SampleID] = "
     "[DefaultProfileToUse].[SampleID]) LEFT JOIN Patterns ON [DefaultProfileToUse].[UseProfileTypeID] = "
     "[Patterns].[PatternID] ) ",
     "SELECT \"Patterns\".\"Name\" FROM ((Samples LEFT JOIN DefaultProfileToUse ON \"Samples\".\"SampleID\" = "
     "\"DefaultProfileToUse\".\"SampleID\") LEFT JOIN Patterns ON \"DefaultProfileToUse\".\"UseProfileTypeID\" = "
     "\"Patterns\".\"PatternID\" )"},
};

TEST(SqlDialect, TranslatesTheLibrarysStatementsForSqlite)
{
    for (const TranslationCase& c : kCases)
        EXPECT_EQ(TranslateSql(c.input, SqlDialect::Sqlite), CString(c.sqlite)) << c.input;
}

// The same statements for the server: every name quoted with its spelling,
// LIKE without regard to case, NULLs ordered as SQLite orders them, TOP with
// its ties kept by the server, the schema's types and the hidden row identity.
const TranslationCase kPgCases[] = {
    {"SELECT [Field0], [Field1], [Field2] FROM Table1", "SELECT \"Field0\", \"Field1\", \"Field2\" FROM \"Table1\""},
    {"SELECT [IndentID], [Actual distance from edge] FROM IndentsRun WHERE ProfileID=3 ORDER BY [Actual distance from edge], [IndentID] ",
     "SELECT \"IndentID\", \"Actual distance from edge\" FROM \"IndentsRun\" WHERE \"ProfileID\"=3 ORDER BY \"Actual "
     "distance from edge\" NULLS FIRST, \"IndentID\" NULLS FIRST"},
    {"SELECT [Samples].[SampleID] FROM Samples  WHERE [Samples].[SampleID]=42",
     "SELECT \"Samples\".\"SampleID\" FROM \"Samples\"  WHERE \"Samples\".\"SampleID\"=42"},
    {"SELECT [Signed] FROM Samples WHERE [Signed] = FALSE ORDER BY [Samples].[SampleID]",
     "SELECT \"Signed\" FROM \"Samples\" WHERE \"Signed\" = 0 ORDER BY \"Samples\".\"SampleID\" NULLS FIRST"},
    {"SELECT CustomField19 FROM Samples", "SELECT \"CustomField19\" FROM \"Samples\""},
    {"WHERE [MeasuredDate] >= # 3 / 5 / 2014 # AND [MeasuredDate] < CDATE('2014-05-01 00:00:00')",
     "WHERE \"MeasuredDate\" >= '2014-03-05 00:00:00' AND \"MeasuredDate\" < '2014-05-01 00:00:00'"},
    // LIKE ignores letter case; no escape character unless one is named.
    {"WHERE [WorkOrder] LIKE '%[A]#1/2/2014# TRUE%'", "WHERE \"WorkOrder\" ILIKE '%[A]#1/2/2014# TRUE%' ESCAPE ''"},
    {"WHERE [Detail] NOT LIKE '%50\\%' ESCAPE '\\'", "WHERE \"Detail\" NOT ILIKE '%50\\%' ESCAPE '\\'"},
    {"UPDATE Registration SET DisplayOrder=3 WHERE Control='CustomField7'",
     "UPDATE \"Registration\" SET \"DisplayOrder\"=3 WHERE \"Control\"='CustomField7'"},
    {"INSERT INTO SystemTable ([MajorVersion], [MinorVersion]) VALUES (1, 9)",
     "INSERT INTO \"SystemTable\" (\"MajorVersion\", \"MinorVersion\") VALUES (1, 9)"},
    // The case-blind sample identifier.
    {"SELECT COUNT(*) FROM Samples WHERE [UserSampleID] = 'S-1' COLLATE NOCASE",
     "SELECT COUNT(*) FROM \"Samples\" WHERE \"UserSampleID\" = 'S-1' COLLATE zen_nocase"},
    {"CREATE UNIQUE INDEX UX_Samples_UserSampleID ON Samples ([UserSampleID] COLLATE NOCASE)",
     "CREATE UNIQUE INDEX \"UX_Samples_UserSampleID\" ON \"Samples\" (\"UserSampleID\" COLLATE zen_nocase)"},
    // TOP: the server keeps the ties; without ORDER BY the first n rows.
    {"SELECT TOP 1 [Samples].[SampleID],[UserSampleID],[RegistrationDate] FROM Samples  ORDER BY [RegistrationDate] DESC",
     "SELECT \"Samples\".\"SampleID\",\"UserSampleID\",\"RegistrationDate\" FROM \"Samples\"  ORDER BY "
     "\"RegistrationDate\" DESC NULLS LAST FETCH FIRST 1 ROWS WITH TIES"},
    {"SELECT TOP 3 a FROM t ORDER BY b DESC, c",
     "SELECT \"a\" FROM \"t\" ORDER BY \"b\" DESC NULLS LAST, \"c\" NULLS FIRST FETCH FIRST 3 ROWS WITH TIES"},
    {"SELECT TOP 5000 [SampleID] FROM Samples ", "SELECT \"SampleID\" FROM \"Samples\" LIMIT 5000"},
    {"SELECT a FROM t WHERE b IN (SELECT TOP 3 b FROM u)",
     "SELECT \"a\" FROM \"t\" WHERE \"b\" IN (SELECT \"b\" FROM \"u\" LIMIT 3)"},
    // Schema statements, with the hidden row identity of every new table.
    {"ALTER TABLE Samples ADD Trace IMAGE", "ALTER TABLE \"Samples\" ADD \"Trace\" BYTEA"},
    {"ALTER TABLE Patterns ADD AutomaticallyEdgeAlignment BIT",
     "ALTER TABLE \"Patterns\" ADD \"AutomaticallyEdgeAlignment\" zen_bit"},
    {"CREATE TABLE Samples ([SampleID] INTEGER PRIMARY KEY AUTOINCREMENT, [UserSampleID] VARCHAR(50), "
     "[RegistrationDate] DATETIME, [Signed] BIT, [TestLoad] DOUBLE, [Trace] IMAGE)",
     "CREATE TABLE \"Samples\" (\"SampleID\" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY , \"UserSampleID\" "
     "VARCHAR(50), \"RegistrationDate\" TIMESTAMP(0), \"Signed\" zen_bit, \"TestLoad\" DOUBLE PRECISION, \"Trace\" "
     "BYTEA, __zen_rowid BIGINT GENERATED ALWAYS AS IDENTITY UNIQUE)"},
    {"CREATE TABLE T (ID COUNTER PRIMARY KEY, N LONG NOT NULL, S TEXT(50), M MEMO, CONSTRAINT u UNIQUE (N))",
     "CREATE TABLE \"T\" (\"ID\" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY  , \"N\" INTEGER NOT NULL, \"S\" "
     "VARCHAR(50), \"M\" TEXT, CONSTRAINT \"u\" UNIQUE (\"N\"), __zen_rowid BIGINT GENERATED ALWAYS AS IDENTITY UNIQUE)"},
    {"CREATE TABLE DefaultProfileToUse ([SampleID] INTEGER, [UseProfileTypeID] INTEGER)",
     "CREATE TABLE \"DefaultProfileToUse\" (\"SampleID\" INTEGER, \"UseProfileTypeID\" INTEGER, __zen_rowid BIGINT "
     "GENERATED ALWAYS AS IDENTITY UNIQUE)"},
    // Savepoints of CTransaction and the nested joins of the short list.
    {"ROLLBACK TO SAVEPOINT zen_scope_2", "ROLLBACK TO SAVEPOINT \"zen_scope_2\""},
    {"SELECT [Patterns].[Name] FROM ((Samples LEFT JOIN DefaultProfileToUse ON [Samples].[SampleID] = "
     "[DefaultProfileToUse].[SampleID]) LEFT JOIN Patterns ON [DefaultProfileToUse].[UseProfileTypeID] = "
     "[Patterns].[PatternID] ) ",
     "SELECT \"Patterns\".\"Name\" FROM ((\"Samples\" LEFT JOIN \"DefaultProfileToUse\" ON \"Samples\".\"SampleID\" = "
     "\"DefaultProfileToUse\".\"SampleID\") LEFT JOIN \"Patterns\" ON \"DefaultProfileToUse\".\"UseProfileTypeID\" = "
     "\"Patterns\".\"PatternID\" )"},
    {"SELECT MAX([SampleID]) AS N FROM Samples", "SELECT MAX(\"SampleID\") AS \"N\" FROM \"Samples\""},
    // The count of failed logins: its table, made where it is missing, and a
    // failure added to or started in one statement.
    {"CREATE TABLE IF NOT EXISTS LoginFailures ([UserName] VARCHAR(255) NOT NULL PRIMARY KEY, "
     "[Failures] INTEGER NOT NULL)",
     "CREATE TABLE IF NOT EXISTS \"LoginFailures\" (\"UserName\" VARCHAR(255) NOT NULL PRIMARY KEY, "
     "\"Failures\" INTEGER NOT NULL, __zen_rowid BIGINT GENERATED ALWAYS AS IDENTITY UNIQUE)"},
    {"SELECT a FROM t WHERE NOT EXISTS (SELECT b FROM u)",
     "SELECT \"a\" FROM \"t\" WHERE NOT EXISTS (SELECT \"b\" FROM \"u\")"},
    {"INSERT INTO LoginFailures ([UserName], [Failures], [LastFailure]) VALUES ('Z1:a', 1, 5) "
     "ON CONFLICT ([UserName]) DO UPDATE SET [Failures] = LoginFailures.[Failures] + 1, "
     "[LastFailure] = excluded.[LastFailure]",
     "INSERT INTO \"LoginFailures\" (\"UserName\", \"Failures\", \"LastFailure\") VALUES ('Z1:a', 1, 5) "
     "ON CONFLICT (\"UserName\") DO UPDATE SET \"Failures\" = \"LoginFailures\".\"Failures\" + 1, "
     "\"LastFailure\" = \"excluded\".\"LastFailure\""},
    // A name the statements spell otherwise than the schema gets the schema's spelling.
    {"SELECT [PatternID], [XPos], [YPos], [Testload] FROM IndentType WHERE testload > 1",
     "SELECT \"PatternID\", \"XPos\", \"YPos\", \"TestLoad\" FROM \"IndentType\" WHERE \"TestLoad\" > 1"},
    {"SELECT [TestloadUnit], [Actual testload] FROM SampleProfilesRun",
     "SELECT \"TestloadUnit\", \"Actual testload\" FROM \"SampleProfilesRun\""},
    // A subquery in FROM or JOIN gets a name where it has none; a named one
    // and one in a condition stay as they are.
    {"SELECT [Field] FROM (SELECT UserSampleID AS Field FROM Samples) WHERE [Field] LIKE '%s-%'",
     "SELECT \"Field\" FROM (SELECT \"UserSampleID\" AS \"Field\" FROM \"Samples\") AS __zen_sub1 WHERE \"Field\" "
     "ILIKE '%s-%' ESCAPE ''"},
    {"SELECT COUNT(*) FROM (SELECT Batch FROM Log GROUP BY Batch HAVING COUNT(*) <> 20)",
     "SELECT COUNT(*) FROM (SELECT \"Batch\" FROM \"Log\" GROUP BY \"Batch\" HAVING COUNT(*) <> 20) AS __zen_sub1"},
    {"SELECT a FROM (SELECT a FROM t) s JOIN (SELECT b FROM u) AS v ON a = b",
     "SELECT \"a\" FROM (SELECT \"a\" FROM \"t\") \"s\" JOIN (SELECT \"b\" FROM \"u\") AS \"v\" ON \"a\" = \"b\""},
    {"SELECT a FROM (SELECT a FROM t) LEFT JOIN (SELECT b FROM u) ON a = b",
     "SELECT \"a\" FROM (SELECT \"a\" FROM \"t\") AS __zen_sub1 LEFT JOIN (SELECT \"b\" FROM \"u\") AS __zen_sub2 "
     "ON \"a\" = \"b\""},
};

TEST(SqlDialect, TranslatesTheLibrarysStatementsForPostgreSql)
{
    for (const TranslationCase& c : kPgCases)
        EXPECT_EQ(TranslateSql(c.input, SqlDialect::PostgreSql), CString(c.sqlite)) << c.input;
}

TEST(SqlDialect, RefusesInvalidDatesAndTopPercent)
{
    const char* const refused[] = {
        "WHERE d < # 2 / 30 / 2014 #",  // no such day
        "WHERE d < # 13 / 1 / 2014 #",  // no such month
        "WHERE d < CDATE('')",          // what an invalid date formats to
        "WHERE d < CDATE('Invalid DateTime')",
        "WHERE d < #1/2/2014 25:00#",
        "SELECT TOP 10 PERCENT a FROM t ORDER BY a",
    };
    for (const char* sql : refused) {
        try {
            TranslateSql(sql, SqlDialect::Sqlite);
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const CDBException& e) {
            EXPECT_EQ(e.m_strSQL, CString(sql));
            EXPECT_NE(e.m_strError.Find("Statement: "), -1);
        }
    }
    // Leap day of a leap year is a date.
    EXPECT_EQ(TranslateSql("# 2 / 29 / 2016 #", SqlDialect::Sqlite), CString("'2016-02-29 00:00:00'"));
}

// Nested TOPs keep the output proportional to the input at every depth up
// to the nesting bound (each level once, only the innermost in the
// index-friendly form that repeats its clauses).
TEST(SqlDialect, NestedTopsGrowLinearly)
{
    std::string sql = "SELECT TOP 1 [a] FROM t WHERE [b] = 1 ORDER BY [a]";
    for (int depth = 1; depth < 100; ++depth) {
        const size_t translated = TranslateSql(sql.c_str(), SqlDialect::Sqlite).Str().size();
        ASSERT_LE(translated, 4 * sql.size() + 400) << "depth " << depth;
        sql = "SELECT TOP 1 [a] FROM (" + sql + ") WHERE [b] = 1 ORDER BY [a]";
    }
    // The innermost level still gets the form an index answers.
    const std::string inner = TranslateSql(sql.c_str(), SqlDialect::Sqlite).Str();
    EXPECT_NE(inner.find("AS __zen_key FROM t WHERE"), std::string::npos);
    EXPECT_NE(inner.find("RANK()"), std::string::npos);
    // A sub-select in the select list is not repeated either.
    const std::string listed =
        TranslateSql("SELECT TOP 1 (SELECT TOP 1 x FROM u ORDER BY x) FROM t ORDER BY a", SqlDialect::Sqlite).Str();
    EXPECT_NE(listed.find("RANK()"), std::string::npos) << listed;
}

// Parentheses nest at most 100 deep; deeper text is refused before it is
// walked, unbalanced text either way is handled without descending into it.
TEST(SqlDialect, NestingDeeperThanTheBoundIsRefused)
{
    auto nested = [](int levels) {
        return "SELECT " + std::string(static_cast<size_t>(levels), '(') + "1" +
               std::string(static_cast<size_t>(levels), ')');
    };
    EXPECT_EQ(TranslateSql(nested(100).c_str(), SqlDialect::Sqlite), CString(nested(100)));
    for (const std::string& sql : {nested(101), "SELECT " + std::string(10000, '('),
                                   "SELECT * FROM t WHERE a IN " + std::string(20000, '(') + "SELECT TOP 1 a FROM t"}) {
        try {
            TranslateSql(sql.c_str(), SqlDialect::Sqlite);
            ADD_FAILURE() << "accepted " << sql.size() << " characters";
        } catch (const CDBException& e) {
            EXPECT_NE(e.m_strError.Find("deeper than 100 levels"), -1) << e.m_strError.GetString();
            EXPECT_EQ(e.m_strSQL, CString(sql));
        }
    }
    const std::string closing = "SELECT TOP 2 a FROM t ORDER BY a " + std::string(10000, ')');
    EXPECT_LT(TranslateSql(closing.c_str(), SqlDialect::Sqlite).GetLength(), static_cast<int>(closing.size() + 200));
    // 100 levels, each with a TOP of its own, unclosed: still within bounds.
    std::string open;
    for (int i = 0; i < 100; ++i)
        open += "SELECT TOP 1 a FROM (";
    EXPECT_NO_THROW(TranslateSql(open.c_str(), SqlDialect::Sqlite));
}

TEST(SqlDialect, QuoteDoublesSingleQuotes)
{
    EXPECT_EQ(SqlQuote("O'Brien"), CString("O''Brien"));
    EXPECT_EQ(SqlQuote("''"), CString("''''"));
    EXPECT_EQ(SqlQuote("plain µm"), CString("plain µm"));
}

// The stored text is put together by hand; it must read exactly as the
// general formatting spells the same moment, years of other widths included.
TEST(SqlDialect, StoredDateTextSpellsAsTheGeneralFormat)
{
    const CTime moments[] = {CTime(2014, 3, 5, 7, 8, 9),   CTime(1999, 12, 31, 23, 59, 59),
                             CTime(2000, 1, 1, 0, 0, 0),   CTime(2024, 2, 29, 12, 30, 5),
                             CTime(1970, 1, 2, 0, 0, 1),   CTime(9999, 12, 31, 23, 59, 59),
                             CTime(static_cast<ZTIME>(-86400 * 400)), CTime(static_cast<ZTIME>(1))};
    for (const CTime& t : moments)
        EXPECT_EQ(SqlDateTimeText(t), t.Format("%Y-%m-%d %H:%M:%S")) << t.GetTime();
    // Before the year 1000 (about 30.6 billion seconds before 1970) and after
    // 9999 strftime's own spelling stands.
    for (const ZTIME far : {static_cast<ZTIME>(-31000000000LL), static_cast<ZTIME>(253402300800LL + 86400)})
        EXPECT_EQ(SqlDateTimeText(CTime(far)), CTime(far).Format("%Y-%m-%d %H:%M:%S")) << far;
}

TEST(SqlDialect, StoredDateTextRoundTrip)
{
    const CTime t(2014, 3, 5, 7, 8, 9);
    EXPECT_EQ(SqlDateTimeText(t), CString("2014-03-05 07:08:09"));
    EXPECT_EQ(SqlDateTimeText(CTime(0)), CString(""));
    CTime back;
    ASSERT_TRUE(ParseSqlDateTimeText("2014-03-05 07:08:09", back));
    EXPECT_EQ(back, t);
    ASSERT_TRUE(ParseSqlDateTimeText("2014-03-05", back));
    EXPECT_EQ(back, CTime(2014, 3, 5, 0, 0, 0));
    ASSERT_TRUE(ParseSqlDateTimeText("2014-03-05T07:08:09.250", back));
    EXPECT_EQ(back, t);
    for (const char* bad : {"", "2014-02-30", "2014-3-5", "05/03/2014", "2014-03-05 24:00:00", "2014-03-05x"}) {
        CTime untouched(7);
        EXPECT_FALSE(ParseSqlDateTimeText(bad, untouched)) << bad;
        EXPECT_EQ(untouched.GetTime(), 7);
    }
}

// The first word a driver tells statements apart by: after blanks and
// comments, upper-cased, letters only; a word too long to keep whole never
// reads as the keyword it begins with.
TEST(SqlDialect, TheFirstWordIsTheStatementsKeyword)
{
    const std::string longWord(40, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {"SELECT 1", "SELECT"},
        {"  \t\r\n select * FROM t", "SELECT"},
        {"-- note\nInsert INTO t VALUES (1)", "INSERT"},
        {"/* a */ /* b */savepoint zen_1", "SAVEPOINT"},
        {"RELEASE SAVEPOINT zen_1", "RELEASE"},
        {"SELECTX", "SELECTX"},
        {"(SELECT 1)", ""},
        {"/* never closed", ""},
        {"-- only a comment", ""},
        {"", ""},
        {"selectabcdefghijklmnopqrstuvwxyz", "SELECTABCDEFGHIJKLMNOP+"},
        {longWord, std::string(22, 'X') + "+"},
    };
    for (const auto& [sql, word] : cases) {
        SCOPED_TRACE(sql);
        const CSqlWord first = SqlFirstWord(sql.c_str());
        EXPECT_EQ(std::string(first.View()), word);
        EXPECT_EQ(first.empty(), word.empty());
    }
    EXPECT_FALSE(SqlFirstWord("SELECTABCDEFGHIJKLMNOPQRSTUVWXYZ") == "SELECTABCDEFGHIJKLMNOP");
    EXPECT_TRUE(SqlFirstWord(nullptr).empty());
}

} // namespace
