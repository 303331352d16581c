// The library's statements on both engines with the same results: values of
// every column kind through a recordset (UTF-8 text, dates and NULL dates,
// flags, byte strings), auto-number keys, TOP with ties and NULL keys, the
// case-blind sample identifier and LIKE, the spelling of column names, and
// edits and deletes in a table without a key. Each test runs once per engine
// on a fresh database of its own; the server's runs skip without a server.
#include "EngineTestSupport.h"
#include "framework/SqlTestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using zentest::ETestEngine;

namespace {

class CItemSet : public CRecordset {
public:
    explicit CItemSet(CDatabase* db) : CRecordset(db) { m_nFields = 7; }
    int32_t m_ID = -1;
    int m_Count = 0;
    double m_Weight = 0.0;
    BOOL m_Flag = FALSE;
    CString m_Name;
    CTime m_When;
    CByteArray m_Blob;

    CString GetDefaultSQL() override
    {
        return "SELECT [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] FROM Items ";
    }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[Items].[ID]", m_ID);
        RFX_Int(pFX, "[Count]", m_Count);
        RFX_Double(pFX, "[Weight]", m_Weight);
        RFX_Bool(pFX, "[Flag]", m_Flag);
        RFX_Text(pFX, "[Name]", m_Name);
        RFX_Date(pFX, "[When]", m_When);
        RFX_Binary(pFX, "[Blob]", m_Blob, 100);
    }
};

// A table without a key, as the default profile and routine tables are.
class CPairSet : public CRecordset {
public:
    explicit CPairSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
    int32_t m_A = 0;
    CString m_B;
    CString GetDefaultSQL() override { return "SELECT [A], [B] FROM Pairs"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[A]", m_A);
        RFX_Text(pFX, "[B]", m_B, 50);
    }
};

class SqlEngines : public ::testing::TestWithParam<ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        m_db.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
        m_db.ExecuteSQL("CREATE TABLE Items (ID COUNTER PRIMARY KEY, [Count] INTEGER, Weight DOUBLE, Flag BIT, "
                        "Name VARCHAR(255), [When] DATETIME, Blob IMAGE, Code VARCHAR(50) NOT NULL DEFAULT '')");
        m_db.ExecuteSQL("CREATE TABLE Pairs (A LONG, B TEXT(50))");
    }
    void TearDown() override { m_db.Close(); }

    // Every row of a one-column query, as text ("NULL" for NULL).
    std::vector<std::string> Column(const char* sql)
    {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
        std::vector<std::string> out;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            CODBCFieldInfo info;
            rs.GetODBCFieldInfo(short{0}, info);
            CDBVariant v;
            rs.GetFieldValue(short{0}, v);
            if (v.m_dwType == DBVT_NULL) {
                out.emplace_back("NULL");
            } else {
                CString text;
                rs.GetFieldValue(info.m_strName, text);
                out.emplace_back(text.Str());
            }
        }
        return out;
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

TEST_P(SqlEngines, ValuesOfEveryKindRoundTripAndKeysAreNumbered)
{
    CItemSet rs(&m_db);
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, "SELECT [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] "
                                             "FROM Items WHERE [Items].[ID]=-1"));
    const std::vector<uint8_t> bytes = {0x00, 0xFF, 0x5C, 0x27, 0x78, 0x00};
    for (int i = 1; i <= 2; ++i) {
        rs.AddNew();
        rs.m_Count = i == 1 ? -2147483647 : 2147483647; // the lowest value stands for NULL
        rs.m_Weight = i == 1 ? 0.1 : -1.5e300;
        rs.m_Flag = i == 1;
        rs.m_Name = i == 1 ? "Härte ✓ 'x' \"y\" \\z" : "";
        if (i == 1)
            rs.m_When = CTime(2014, 3, 5, 7, 8, 9); // the second row's stays at its NULL from AddNew
        rs.m_Blob.SetSize(static_cast<INT_PTR>(bytes.size()));
        for (size_t b = 0; b < bytes.size(); ++b)
            rs.m_Blob[static_cast<INT_PTR>(b)] = bytes[b];
        ASSERT_TRUE(rs.Update());
        rs.MoveLast();
        EXPECT_EQ(rs.m_ID, i) << "the keys are numbered from 1";
    }
    rs.Close();

    CItemSet read(&m_db);
    read.Open(CRecordset::snapshot, nullptr, CRecordset::readOnly);
    ASSERT_FALSE(read.IsEOF());
    EXPECT_EQ(read.m_ID, 1);
    EXPECT_EQ(read.m_Count, -2147483647);
    EXPECT_DOUBLE_EQ(read.m_Weight, 0.1);
    EXPECT_TRUE(read.m_Flag);
    EXPECT_EQ(read.m_Name, CString("Härte ✓ 'x' \"y\" \\z"));
    EXPECT_EQ(read.m_When, CTime(2014, 3, 5, 7, 8, 9));
    ASSERT_EQ(read.m_Blob.GetSize(), static_cast<INT_PTR>(bytes.size()));
    for (size_t b = 0; b < bytes.size(); ++b)
        EXPECT_EQ(read.m_Blob[static_cast<INT_PTR>(b)], bytes[b]);
    read.MoveNext();
    ASSERT_FALSE(read.IsEOF());
    EXPECT_EQ(read.m_ID, 2);
    EXPECT_EQ(read.m_Count, 2147483647);
    EXPECT_DOUBLE_EQ(read.m_Weight, -1.5e300);
    EXPECT_FALSE(read.m_Flag);
    EXPECT_EQ(read.m_Name, CString(""));
    EXPECT_TRUE(read.IsFieldNull(&read.m_When));
    read.Close();

    // The stored text forms: dates as 'YYYY-MM-DD HH:MM:SS', flags as 0/1.
    EXPECT_EQ(Column("SELECT [When] FROM Items ORDER BY ID"), (std::vector<std::string>{"2014-03-05 07:08:09", "NULL"}));
    EXPECT_EQ(Column("SELECT ID FROM Items WHERE Flag = TRUE"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(Column("SELECT ID FROM Items WHERE [When] < #3/6/2014#"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(Column("SELECT ID FROM Items WHERE [When] IS NULL"), (std::vector<std::string>{"2"}));
}

TEST_P(SqlEngines, ColumnsAreDescribedAndNamedAsTheSchemaSpellsThem)
{
    m_db.ExecuteSQL("CREATE TABLE Samples ([SampleID] INTEGER PRIMARY KEY AUTOINCREMENT, [UserSampleID] VARCHAR(50), "
                    "CustomField19 VARCHAR(255), [RegistrationDate] DATETIME, [Signed] BIT, [Trace] IMAGE, "
                    "[TestLoad] DOUBLE)");
    m_db.ExecuteSQL("INSERT INTO Samples ([UserSampleID]) VALUES ('S-1')");
    CRecordset rs(&m_db);
    rs.Open(CRecordset::snapshot, "SELECT * FROM Samples", CRecordset::readOnly);
    ASSERT_EQ(rs.GetODBCFieldCount(), 7) << "internal columns are not counted";
    struct Expected {
        const char* name;
        SWORD type;
        UDWORD precision;
    };
    const Expected expected[] = {
        {"SampleID", SQL_INTEGER, 10},          {"UserSampleID", SQL_VARCHAR, 50},
        {"CustomField19", SQL_VARCHAR, 255},    {"RegistrationDate", SQL_TYPE_TIMESTAMP, 19},
        {"Signed", SQL_BIT, 1},                 {"Trace", SQL_LONGVARBINARY, 1073741823},
        {"TestLoad", SQL_DOUBLE, 15},
    };
    for (short i = 0; i < 7; ++i) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(i, info);
        EXPECT_EQ(info.m_strName, CString(expected[i].name));
        EXPECT_EQ(info.m_nSQLType, expected[i].type) << expected[i].name;
        EXPECT_EQ(info.m_nPrecision, expected[i].precision) << expected[i].name;
    }
    CODBCFieldInfo key;
    rs.GetODBCFieldInfo(short{0}, key);
    EXPECT_EQ(key.m_nNullability, SQL_NO_NULLS);
}

TEST_P(SqlEngines, TopKeepsTiesAndOrdersNullsAsSqlite)
{
    m_db.ExecuteSQL("INSERT INTO Items ([Count], Name) VALUES (5, 'a'), (5, 'b'), (3, 'c'), (NULL, 'd'), (1, 'e')");
    const struct {
        const char* sql;
        std::vector<std::string> names;
        bool anyOrder; // rows that tie come in no particular order
    } cases[] = {
        {"SELECT TOP 1 Name FROM Items ORDER BY [Count] DESC, Name", {"a"}, false},
        {"SELECT TOP 1 Name FROM Items ORDER BY [Count] DESC", {"a", "b"}, true},
        {"SELECT TOP 2 Name FROM Items ORDER BY [Count], Name", {"d", "e"}, false},
        {"SELECT TOP 4 Name FROM Items ORDER BY [Count] DESC, Name", {"a", "b", "c", "e"}, false},
        {"SELECT TOP 0 Name FROM Items ORDER BY [Count]", {}, false},
        {"SELECT Name FROM Items ORDER BY [Count], Name", {"d", "e", "c", "a", "b"}, false},
        {"SELECT Name FROM Items ORDER BY [Count] DESC, Name DESC", {"b", "a", "c", "e", "d"}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names = Column(c.sql);
        if (c.anyOrder)
            std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << c.sql;
    }
    EXPECT_EQ(Column("SELECT TOP 2 Name FROM Items").size(), 2u);
}

TEST_P(SqlEngines, SampleIdentifierAndLikeIgnoreLetterCase)
{
    m_db.ExecuteSQL("CREATE TABLE Samples ([SampleID] INTEGER PRIMARY KEY AUTOINCREMENT, [UserSampleID] VARCHAR(50))");
    m_db.ExecuteSQL("CREATE UNIQUE INDEX UX_Samples_UserSampleID ON Samples ([UserSampleID] COLLATE NOCASE) "
                    "WHERE [UserSampleID] <> '' AND [UserSampleID] IS NOT NULL");
    m_db.ExecuteSQL("INSERT INTO Samples ([UserSampleID]) VALUES ('Abc-1'), ('x_y'), ('50%'), ('a\\b')");
    const CDBException duplicate =
        sqltest::Caught([&] { m_db.ExecuteSQL("INSERT INTO Samples ([UserSampleID]) VALUES ('ABC-1')"); });
    EXPECT_EQ(duplicate.m_strStateNativeOrigin.Find("State:23000"), 0) << duplicate.m_strStateNativeOrigin.Str();
    // The failed statement undid only itself: the connection goes on.
    EXPECT_EQ(sqltest::Scalar(m_db, "SELECT COUNT(*) AS N FROM Samples"), CString("4"));
    const struct {
        const char* where;
        std::vector<std::string> ids;
    } cases[] = {
        {"[UserSampleID] = 'aBC-1' COLLATE NOCASE", {"1"}},
        {"[UserSampleID] = 'aBC-1'", {}},
        {"[UserSampleID] = 'Abc-1'", {"1"}},
        {"[UserSampleID] LIKE 'abc%'", {"1"}},
        {"[UserSampleID] LIKE '%Y'", {"2"}},
        {"[UserSampleID] LIKE 'x_y'", {"2"}},
        {"[UserSampleID] LIKE 'a\\b'", {"4"}},
        {"[UserSampleID] LIKE '50!%' ESCAPE '!'", {"3"}},
        {"[UserSampleID] NOT LIKE '%1'", {"2", "3", "4"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Column((std::string("SELECT [SampleID] FROM Samples WHERE ") + c.where + " ORDER BY [SampleID]").c_str()),
                  c.ids)
            << c.where;
}

TEST_P(SqlEngines, RowsOfATableWithoutAKeyAreEditedAndDeletedOneByOne)
{
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (1, 'same'), (1, 'same'), (2, 'other')");
    CPairSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT [A], [B] FROM Pairs WHERE [A] = 1");
    ASSERT_FALSE(rs.IsEOF());
    rs.Edit();
    rs.m_B = "changed";
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.m_B, CString("changed"));
    rs.Edit();
    rs.m_B = "changed twice";
    ASSERT_TRUE(rs.Update()) << "the row keeps its identity after an update";
    rs.MoveNext();
    ASSERT_FALSE(rs.IsEOF());
    rs.Delete();
    rs.Close();
    EXPECT_EQ(Column("SELECT B FROM Pairs ORDER BY A, B"), (std::vector<std::string>{"changed twice", "other"}));
}

TEST_P(SqlEngines, TextsLongerThanTheirColumnAreRefusedAlike)
{
    CPairSet rs(&m_db);
    rs.Open(CRecordset::dynaset);
    rs.AddNew();
    rs.m_A = 1;
    rs.m_B = CString(std::string(51, 'x').c_str());
    const CDBException e = sqltest::Caught([&] { rs.Update(); });
    EXPECT_NE(e.m_strError.Find("column B of table Pairs is 51 characters long; the column holds at most 50"), -1)
        << e.m_strError.Str();
    rs.m_B = CString((std::string(49, 'x') + "ä").c_str());
    EXPECT_TRUE(rs.Update()) << "50 characters, 51 bytes";
}

TEST_P(SqlEngines, ALockHeldPastTheWaitIsTheSameBusyError)
{
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (1, 'one')");
    CDatabase other;
    other.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
    other.SetQueryTimeout(1);
    m_db.BeginTrans();
    m_db.ExecuteSQL("UPDATE Pairs SET B = 'mine' WHERE A = 1");
    const CDBException e = sqltest::Caught([&] { other.ExecuteSQL("UPDATE Pairs SET B = 'theirs' WHERE A = 1"); });
    EXPECT_NE(e.m_strError.Find(": another connection kept the database locked for longer than the wait of 1000 ms"), -1)
        << e.m_strError.Str();
    EXPECT_EQ(e.m_strStateNativeOrigin.Find("State:HYT00"), 0) << e.m_strStateNativeOrigin.Str();
    m_db.CommitTrans();
    other.ExecuteSQL("UPDATE Pairs SET B = 'theirs' WHERE A = 1");
    EXPECT_EQ(Column("SELECT B FROM Pairs"), (std::vector<std::string>{"theirs"}));
}

// One statement text written again with other values: every kind of value
// stored as given, "?" inside a text not taken for a value, and a wrong
// number of values or a date refused before anything is written.
TEST_P(SqlEngines, StatementsWithValuesApartStoreEachKindOfValue)
{
    auto number = [](int32_t v) {
        CDBVariant out;
        out.SetLong(v);
        return out;
    };
    auto real = [](double v) {
        CDBVariant out;
        out.SetDouble(v);
        return out;
    };
    auto text = [](const char* v) {
        CDBVariant out;
        out.SetString(v);
        return out;
    };
    auto flag = [](bool v) {
        CDBVariant out;
        out.SetBool(v ? TRUE : FALSE);
        return out;
    };
    const char* const insert = "INSERT INTO Items ([Count], Weight, Flag, Name, Code) VALUES (?, ?, ?, ?, ?)";
    const std::vector<std::vector<CDBVariant>> rows = {
        {number(1), real(0.5), flag(true), text("it's a '?'"), text("a")},
        {number(-2), real(1e-3), flag(false), CDBVariant(), text("")},
        {number(2147483647), real(2.25), flag(true), text("\xc3\xa9t\xc3\xa9"), text("c")},
    };
    for (const std::vector<CDBVariant>& row : rows)
        m_db.ExecuteSQL(insert, row);
    m_db.ExecuteSQL("UPDATE Items SET Name = '?' WHERE [Count] = ?", {number(-2)});
    EXPECT_EQ(Column("SELECT [Count] FROM Items ORDER BY ID"), (std::vector<std::string>{"1", "-2", "2147483647"}));
    EXPECT_EQ(Column("SELECT Name FROM Items ORDER BY ID"),
              (std::vector<std::string>{"it's a '?'", "?", "\xc3\xa9t\xc3\xa9"}));
    EXPECT_EQ(Column("SELECT Code FROM Items ORDER BY ID"), (std::vector<std::string>{"a", "", "c"}));
    EXPECT_EQ(Column("SELECT Weight FROM Items WHERE Flag = 1 ORDER BY ID"), (std::vector<std::string>{"0.5", "2.25"}));

    struct Refusal {
        std::vector<CDBVariant> values;
        const char* text;
    };
    CDBVariant date;
    TIMESTAMP_STRUCT when;
    when.year = 2024;
    when.month = 1;
    when.day = 2;
    date.SetDate(when);
    const Refusal refusals[] = {
        {{number(1), real(1.0), flag(true), text("x")}, "The statement has 5 parameters, but 4 values were given."},
        {{number(1), real(1.0), flag(true), text("x"), date}, "Value 5 of the statement is of a kind that cannot be given"},
    };
    for (const Refusal& r : refusals) {
        try {
            m_db.ExecuteSQL(insert, r.values);
            ADD_FAILURE() << "not refused: " << r.text;
        } catch (const CDBException& e) {
            EXPECT_NE(e.m_strError.Find(r.text), -1) << e.m_strError.Str();
        }
    }
    EXPECT_EQ(Column("SELECT COUNT(*) FROM Items"), (std::vector<std::string>{"3"}));
}

// A single row read without a recordset: the first row's values as texts
// (numbers in their text form, NULL empty), FALSE for no row, and a
// statement other than a read refused before it runs.
TEST_P(SqlEngines, QueryFirstRowGivesTheFirstRowAsTexts)
{
    m_db.ExecuteSQL("INSERT INTO Items ([Count], Weight, Name) VALUES (7, 2.5, 'first'), (8, NULL, 'second')");
    struct Case {
        const char* sql;
        bool found;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"SELECT [Count], Weight, Name, [When] FROM Items ORDER BY ID", true, {"7", "2.5", "first", ""}},
        {"SELECT Name, (SELECT MAX([Count]) FROM Items) AS Most FROM Items WHERE Weight IS NULL", true,
         {"second", "8"}},
        {"SELECT Name FROM Items WHERE [Count] > 100", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        std::vector<CString> row = {"left from before"};
        EXPECT_EQ(m_db.QueryFirstRow(c.sql, row) != FALSE, c.found);
        std::vector<std::string> texts;
        for (const CString& text : row)
            texts.push_back(text.Str());
        EXPECT_EQ(texts, c.texts);
    }
    std::vector<CString> row;
    for (const char* refused : {"DELETE FROM Items", "SELECT Nothing FROM Items"}) {
        SCOPED_TRACE(refused);
        EXPECT_THROW(m_db.QueryFirstRow(refused, row), CDBException);
    }
    EXPECT_EQ(Column("SELECT COUNT(*) FROM Items"), (std::vector<std::string>{"2"}));
}

// The single row read with values apart from the statement: each "?" takes
// the next value, a text read again with other values gives their row (the
// engine's statement kept and bound anew), and what ExecuteSQL with values
// refuses is refused here too, before anything is read.
TEST_P(SqlEngines, QueryFirstRowWithValuesReadsTheRowOfTheGivenValues)
{
    m_db.ExecuteSQL("INSERT INTO Items ([Count], Name) VALUES (7, 'Abc'), (8, 'it''s'), (9, NULL)");
    auto number = [](int32_t v) {
        CDBVariant out;
        out.SetLong(v);
        return out;
    };
    auto text = [](const std::string& v) {
        CDBVariant out;
        out.SetString(CString(v));
        return out;
    };
    struct Case {
        const char* sql;
        std::vector<CDBVariant> values;
        std::vector<std::string> row; // empty: no row
    };
    const char* const byName = "SELECT [Count] FROM Items WHERE Name = ? COLLATE NOCASE AND [Count] <> ?";
    const Case cases[] = {
        {byName, {text("aBC"), number(-1)}, {"7"}},
        {byName, {text("aBC"), number(7)}, {}},
        {byName, {text("IT'S"), number(-1)}, {"8"}},
        {byName, {text("it's a '?'"), number(-1)}, {}},
        {"SELECT Name, [Count] FROM Items WHERE [Count] = ?", {number(9)}, {"", "9"}},
        {"SELECT COUNT(*) FROM Items WHERE [Count] > ?", {number(7)}, {"2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        std::vector<CString> row = {"left from before"};
        EXPECT_EQ(m_db.QueryFirstRow(c.sql, c.values, row) != FALSE, !c.row.empty());
        std::vector<std::string> texts;
        for (const CString& t : row)
            texts.push_back(t.Str());
        EXPECT_EQ(texts, c.row);
    }

    CDBVariant date;
    TIMESTAMP_STRUCT when{};
    when.year = 2024;
    when.month = 1;
    when.day = 2;
    date.SetDate(when);
    struct Refusal {
        const char* sql;
        std::vector<CDBVariant> values;
        const char* reason;
    };
    const Refusal refusals[] = {
        {byName, {text("Abc")}, "The statement has 2 parameters, but 1 values were given."},
        {"SELECT Name FROM Items WHERE [When] = ?", {date}, "Value 1 of the statement is of a kind that cannot be given"},
        {byName, {text(std::string("Ab\0c", 4)), number(-1)}, "The text for parameter 1 holds a NUL byte (after 2 characters)"},
        {"DELETE FROM Items WHERE [Count] = ?", {number(7)}, "Only a SELECT statement gives a row to read."},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.reason);
        std::vector<CString> row;
        try {
            m_db.QueryFirstRow(r.sql, r.values, row);
            ADD_FAILURE() << "not refused";
        } catch (const CDBException& e) {
            EXPECT_NE(e.m_strError.Find(r.reason), -1) << e.m_strError.Str();
        }
        EXPECT_TRUE(row.empty());
    }
    EXPECT_EQ(Column("SELECT COUNT(*) FROM Items"), (std::vector<std::string>{"3"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlEngines, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
