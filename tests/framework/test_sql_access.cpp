// The read-only Access engine driver on real Access files of four format
// versions (copied into the test's folder first): the engine chosen by the
// file's content, every value of the known rows, Unicode texts, dates before
// 1900 with their full year, the empty file, the statements it understands,
// and every change refused.
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/MdbFile.h"
#include "framework/sql/internal/SqlConnection.h"
#include "framework/sql/internal/SqlStatement.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zentest {
namespace {

std::string ConnectTo(const std::string& path) { return "Dbq=" + FormatConnectStringValue(path.c_str()).Str() + ";"; }

// The rows of a statement, each value as the driver gives it.
std::vector<std::vector<CSqlValue>> Rows(CDatabase& db, const char* sql, std::vector<CODBCFieldInfo>* columns = nullptr)
{
    CSqlConnection* connection = db.GetSqlConnection();
    std::unique_ptr<CSqlStatement> statement = connection->Prepare(TranslateSql(sql, connection->GetDialect()), sql);
    std::vector<std::vector<CSqlValue>> rows;
    if (columns != nullptr)
        for (int c = 0; c < statement->GetColumnCount(); ++c)
            columns->push_back(statement->DescribeColumn(c));
    std::vector<CSqlValue> row;
    while (statement->Step()) {
        statement->ReadRow(statement->GetColumnCount(), row);
        rows.push_back(row);
    }
    return rows;
}

std::string DbError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CDBException& e) {
        return e.m_strError.Str();
    }
    return "(no error)";
}

#define ZEN_REQUIRE_SAMPLE(path)                                                                                     \
    if ((path).empty())                                                                                              \
    GTEST_SKIP() << "the Access sample files are not there (ZEN_ACCESS_SAMPLES_DIR)"

TEST(SqlAccess, Table1OfEachVersionHoldsItsKnownRowsValueForValue)
{
    for (const char* file : {"testV1997.mdb", "testV2003.mdb", "testV2010.accdb"}) {
        SCOPED_TRACE(file);
        CTempDir dir;
        const std::string path = CopyAccessSample(dir, file);
        ZEN_REQUIRE_SAMPLE(path);
        CDatabase db;
        db.OpenEx(("Driver=Access;" + ConnectTo(path)).c_str(), CDatabase::noOdbcDialog);
        EXPECT_FALSE(db.CanUpdate());
        EXPECT_EQ(db.GetSqlConnection()->ListTables(),
                  (std::vector<CString>{"Table1", "Table2", "Table3", "Table4"}));

        std::vector<CODBCFieldInfo> columns;
        const auto rows = Rows(db, "SELECT * FROM [table1] ORDER BY [E] DESC", &columns);
        const struct {
            const char* name;
            SWORD type;
        } expectedColumns[] = {{"A", SQL_VARCHAR}, {"B", SQL_VARCHAR},   {"C", SQL_TINYINT},
                               {"D", SQL_SMALLINT}, {"E", SQL_INTEGER},  {"F", SQL_DOUBLE},
                               {"G", SQL_TIMESTAMP}, {"H", SQL_NUMERIC}, {"I", SQL_BIT}};
        ASSERT_EQ(columns.size(), std::size(expectedColumns));
        for (size_t c = 0; c < columns.size(); ++c) {
            EXPECT_EQ(columns[c].m_strName, expectedColumns[c].name);
            EXPECT_EQ(columns[c].m_nSQLType, expectedColumns[c].type) << expectedColumns[c].name;
        }
        ASSERT_EQ(rows.size(), 2u);
        const std::vector<CSqlValue> first = {
            CSqlValue::Text("abcdefg"), CSqlValue::Text("hijklmnop"),  CSqlValue::Integer(2),
            CSqlValue::Integer(222),    CSqlValue::Integer(333333333), CSqlValue::Real(444.555),
            CSqlValue::Text("1974-09-21 00:00:00"), CSqlValue::Real(3.5), CSqlValue::Integer(1)};
        const std::vector<CSqlValue> second = {
            CSqlValue::Text("a"),  CSqlValue::Text("b"),  CSqlValue::Integer(0),
            CSqlValue::Integer(0), CSqlValue::Integer(0), CSqlValue::Real(0.0),
            CSqlValue::Text("1981-12-12 00:00:00"), CSqlValue::Real(0.0), CSqlValue::Integer(0)};
        EXPECT_TRUE(rows[0] == first);
        EXPECT_TRUE(rows[1] == second);

        // A column list in another order and letter case, COUNT(*).
        const auto picked = Rows(db, "SELECT [i], [a] FROM [TABLE1] ORDER BY [a]");
        ASSERT_EQ(picked.size(), 2u);
        EXPECT_TRUE(picked[0] == (std::vector<CSqlValue>{CSqlValue::Integer(0), CSqlValue::Text("a")}));
        EXPECT_TRUE(picked[1] == (std::vector<CSqlValue>{CSqlValue::Integer(1), CSqlValue::Text("abcdefg")}));
        const auto counted = Rows(db, "SELECT COUNT(*) AS N FROM [Table2]");
        ASSERT_EQ(counted.size(), 1u);
        EXPECT_TRUE(counted[0][0] == CSqlValue::Integer(0));
    }
}

TEST(SqlAccess, CompressedUnicodeTextsComeAsTheirCharacters)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "testUnicodeCompV2003.mdb");
    ZEN_REQUIRE_SAMPLE(path);
    CDatabase db;
    db.OpenEx(("Driver=Access;" + ConnectTo(path)).c_str(), CDatabase::noOdbcDialog);
    const auto rows = Rows(db, "SELECT [ID], [Unicode] FROM [Table] ORDER BY [ID]");
    const char* const expected[] = {"only ascii chars", "\xC3\xA4\xC3\xA4kk\xC3\xB6si\xC3\xA4", "\xD0\x9C\xD0\xB8\xD1\x80",
                                    // The file keeps omicron and upsilon with oxia (U+1F79,
                                    // U+1F7B), canonically equal to those with tonos (U+03CC,
                                    // U+03CD); they come as stored, not normalised.
                                    "\xCF\xB0\xCE\xB1\xE1\xBD\xB6 \xCF\x84\xE1\xBD\xB9\xCF\x84' \xE1\xBC\x90\xCE\xB3\xE1\xBD\xBC "
                                    "\xCE\x9A\xE1\xBD\xBB\xCF\xB0\xCE\xBB\xCF\x89\xCF\x80\xCE\xB1"};
    ASSERT_GE(rows.size(), 4u);
    for (int id = 1; id <= 4; ++id) {
        EXPECT_TRUE(rows[static_cast<size_t>(id - 1)][0] == CSqlValue::Integer(id));
        EXPECT_EQ(rows[static_cast<size_t>(id - 1)][1].GetText(), expected[id - 1]) << "ID " << id;
    }
}

TEST(SqlAccess, DatesBefore1900KeepTheirFullYear)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "oldDatesV2007.accdb");
    ZEN_REQUIRE_SAMPLE(path);
    CDatabase db;
    db.OpenEx(("Driver=Access;" + ConnectTo(path)).c_str(), CDatabase::noOdbcDialog);
    const auto rows = Rows(db, "SELECT * FROM [Table1] ORDER BY [ID]");
    const char* const expected[] = {"1582-10-15 00:00:00", "1582-10-14 00:00:00", "1492-01-10 00:00:00",
                                    "1392-01-10 00:00:00"};
    ASSERT_EQ(rows.size(), 4u);
    for (size_t r = 0; r < 4; ++r) {
        EXPECT_TRUE(rows[r][0] == CSqlValue::Integer(static_cast<int64_t>(r + 1)));
        EXPECT_EQ(rows[r][1].GetText(), expected[r]);
    }
}

TEST(SqlAccess, DayCountsBecomeCalendarDatesToTheSecond)
{
    const struct {
        double days;
        const char* expected; // nullptr: not representable
    } cases[] = {
        {0.0, "1899-12-30 00:00:00"},   {1.5, "1899-12-31 12:00:00"},
        {2.0, "1900-01-01 00:00:00"},   {-1.25, "1899-12-29 06:00:00"},
        {25569.0, "1970-01-01 00:00:00"}, {27293.0, "1974-09-21 00:00:00"},
        {1.99999999, "1900-01-01 00:00:00"}, {2958465.0, "9999-12-31 00:00:00"},
        {-657434.0, "0100-01-01 00:00:00"}, {-657435.0, nullptr},
        {2958466.0, nullptr},
    };
    for (const auto& c : cases) {
        std::string stored;
        const bool ok = MdbDayCountToStoredDate(c.days, stored);
        EXPECT_EQ(ok, c.expected != nullptr) << c.days;
        if (ok && c.expected != nullptr) {
            EXPECT_EQ(stored, c.expected) << c.days;
        }
    }
}

TEST(SqlAccess, TheEmptyFileHasNoTablesAndUnknownNamesAreRefused)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "emptyJet4.mdb");
    ZEN_REQUIRE_SAMPLE(path);
    CDatabase db;
    db.OpenEx(("Driver=Access;" + ConnectTo(path)).c_str(), CDatabase::noOdbcDialog);
    EXPECT_TRUE(db.GetSqlConnection()->ListTables().empty());
    EXPECT_EQ(DbError([&] { Rows(db, "SELECT * FROM [Samples]"); }),
              "The Access file " + path + " has no table Samples.\nStatement: SELECT * FROM [Samples]");
}

TEST(SqlAccess, EveryChangeIsRefusedAndOnlyTheSelectFormsAreUnderstood)
{
    CTempDir dir;
    const std::string path = CopyAccessSample(dir, "testV2003.mdb");
    ZEN_REQUIRE_SAMPLE(path);
    const std::string before = ReadFileText(path);
    CDatabase db;
    db.OpenEx(("Driver=Access;" + ConnectTo(path)).c_str(), CDatabase::noOdbcDialog);
    const std::string readOnly =
        "The Access file " + path + " is read-only: it can be read and imported, never changed.";
    EXPECT_EQ(db.GetReadOnlyReason().Str(), readOnly);
    const struct {
        const char* sql;
        std::string error;
    } cases[] = {
        {"INSERT INTO Table1 (A) VALUES ('x')", readOnly},
        {"UPDATE Table1 SET A = 'x'", readOnly},
        {"DELETE FROM Table1", readOnly},
        {"DROP TABLE Table1", readOnly},
        {"CREATE TABLE T (A INTEGER)", readOnly},
        {"SELECT A FROM Table1 WHERE A = 'a'",
         "An Access file is read with SELECT ... FROM one table only: nothing may follow the table name but ORDER BY."},
        {"SELECT [Nope] FROM [Table1]", "The table Table1 has no column Nope."},
        {"SELECT * FROM [Table1] ORDER BY [Nope]", "The table Table1 has no column Nope."},
        {"VALUES (1)", "An Access file is read with SELECT ... FROM one table only: the statement is no SELECT."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DbError([&] { db.ExecuteSQL(c.sql); }), c.error + "\nStatement: " + c.sql);
    CSqlConnection* connection = db.GetSqlConnection();
    EXPECT_EQ(DbError([&] { connection->InsertRow("Table1", {"A"}, {CSqlValue::Text("x")}); }),
              readOnly + "\nStatement: insert into Table1");
    EXPECT_EQ(DbError([&] { connection->MoveAutoNumberPast("Table3", "a", 5); }),
              readOnly + "\nStatement: auto-number of Table3");
    db.Close();
    EXPECT_EQ(ReadFileText(path), before);
}

TEST(SqlAccess, OnlyTheAccessDriverStringOpensAnAccessFile)
{
    CTempDir accessDir;
    const std::string path = CopyAccessSample(accessDir, "testV2003.mdb");
    ZEN_REQUIRE_SAMPLE(path);
    // A station opening the file as its database is told to convert it.
    CDatabase station;
    EXPECT_NE(DbError([&] { station.OpenEx(ConnectTo(path).c_str(), CDatabase::noOdbcDialog); })
                  .find("is a Microsoft Access database file"),
              std::string::npos);
    for (const char* driver : {"Driver=Access;", "DRIVER=access;", "ENGINE=Access;"}) {
        CDatabase db;
        db.OpenEx((driver + ConnectTo(path)).c_str(), CDatabase::noOdbcDialog);
        EXPECT_FALSE(db.CanUpdate()) << driver;
    }
}

TEST(SqlAccess, AnAccessDriverStringOnAnotherFileIsRefusedAndSqliteFilesNamedMdbStaySqlite)
{
    CTempDir dir;
    const std::string sqliteFile = dir.File("ZEN.mdb");
    CDatabase::CreateDatabase(ConnectTo(sqliteFile).c_str());
    CDatabase db;
    db.OpenEx(ConnectTo(sqliteFile).c_str(), CDatabase::noOdbcDialog);
    EXPECT_TRUE(db.CanUpdate());
    db.ExecuteSQL("CREATE TABLE T (A INTEGER)");
    db.Close();
    CDatabase access;
    EXPECT_EQ(DbError([&] { access.OpenEx(("Driver=Access;" + ConnectTo(sqliteFile)).c_str(), CDatabase::noOdbcDialog); }),
              "The Access file " + sqliteFile + " cannot be read or is no Access database.");
}

} // namespace
} // namespace zentest
