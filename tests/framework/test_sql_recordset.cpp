// CRecordset over a real database of each engine: auto-number keys and
// MoveLast after AddNew, Edit/Delete on a table without a key, NULL per column
// kind, the 255-character cut, GetFieldValue and GetODBCFieldInfo, read-only
// results, moves, and (SQLite) the release of the engine's lock on Close.
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>

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

// Names its column with whichever variable `redirect` points at when
// DoFieldExchange runs, and counts the runs.
class CRebindSet : public CRecordset {
public:
    explicit CRebindSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
    int32_t m_A = 0;
    CString m_First;
    CString m_Second;
    CString* redirect = &m_First;
    int runs = 0;
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        ++runs;
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[A]", m_A);
        RFX_Text(pFX, "[B]", *redirect, 50);
    }
};

int RetCode(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CDBException& e) {
        return e.m_nRetCode;
    }
    return 0;
}

class SqlRecordset : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(Connect().IsEmpty());
        m_db.OpenEx(Connect(), CDatabase::noOdbcDialog);
        m_db.ExecuteSQL("CREATE TABLE Items (ID COUNTER PRIMARY KEY, [Count] INTEGER, Weight DOUBLE, Flag BIT, "
                        "Name VARCHAR(255), [When] DATETIME, Blob IMAGE, Code VARCHAR(50) NOT NULL DEFAULT '')");
        m_db.ExecuteSQL("CREATE TABLE Pairs (A LONG, B TEXT(50))");
    }
    void TearDown() override { m_db.Close(); }
    const CString& Connect() const { return m_database->ConnectString(); }
    long long Count(const char* table)
    {
        CRecordset rs(&m_db);
        rs.Open(CRecordset::snapshot, CString("SELECT COUNT(*) AS n FROM ") + table);
        CString n;
        rs.GetFieldValue("n", n);
        return std::stoll(n.Str());
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

// Columns are bound to the variables DoFieldExchange names when the
// recordset opens: rows read, AddNew, Update and IsFieldNull use those, and
// the next open binds again.
TEST_P(SqlRecordset, ColumnsAreBoundToTheVariablesNamedAtTheOpen)
{
    m_db.ExecuteSQL("INSERT INTO Pairs (A, B) VALUES (1, 'one'), (2, 'two')");
    CRebindSet rs(&m_db);
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, "SELECT [A], [B] FROM Pairs ORDER BY A"));
    EXPECT_EQ(rs.runs, 1);
    rs.redirect = &rs.m_Second; // too late for this open
    EXPECT_EQ(rs.m_First, CString("one"));
    rs.MoveNext();
    EXPECT_EQ(rs.m_First, CString("two"));
    EXPECT_EQ(rs.m_Second, CString(""));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_First));
    rs.AddNew();
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_First));
    rs.m_A = 3;
    rs.m_First = "three";
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.m_First, CString("two")); // given back after the new row
    EXPECT_EQ(rs.runs, 1);
    rs.Close();
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, "SELECT [A], [B] FROM Pairs WHERE A = 3"));
    EXPECT_EQ(rs.runs, 2);
    EXPECT_EQ(rs.m_Second, CString("three"));
}

// Cases of what SQLite alone does: its write-ahead log, a text kept in a date
// column.
class SqlRecordsetSqliteOnly : public SqlRecordset {};

TEST_P(SqlRecordset, AddNewLeavesTheKeyToTheEngineAndMoveLastShowsIt)
{
    CItemSet rs(&m_db);
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, "SELECT [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] "
                                             "FROM Items WHERE [Items].[ID]=-1"));
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.IsBOF());
    for (int i = 1; i <= 2; ++i) {
        rs.AddNew();
        EXPECT_EQ(rs.m_ID, AFX_RFX_LONG_PSEUDO_NULL);
        EXPECT_TRUE(rs.IsFieldNull(&rs.m_ID));
        rs.m_Name.Format("item %d", i);
        rs.m_Count = 10 * i;
        ASSERT_TRUE(rs.Update());
        rs.MoveLast();
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.m_ID, i);
        EXPECT_EQ(rs.m_Name, CString("item ") + CString(std::to_string(i)));
        EXPECT_EQ(rs.m_Count, 10 * i);
    }
    // Untouched columns were not written: NULL, or the column's default.
    CDBVariant v;
    rs.GetFieldValue("Weight", v);
    EXPECT_EQ(v.m_dwType, DBVT_NULL);
    rs.Close();
    EXPECT_EQ(Count("Items"), 2);
    CRecordset codes(&m_db);
    codes.Open(CRecordset::snapshot, "SELECT Code, [When], Blob FROM Items WHERE ID=1");
    codes.GetFieldValue("Code", v);
    ASSERT_EQ(v.m_dwType, DBVT_STRING);
    EXPECT_EQ(*v.m_pstring, CString(""));
    codes.GetFieldValue("When", v);
    EXPECT_EQ(v.m_dwType, DBVT_NULL);
    codes.GetFieldValue("Blob", v);
    EXPECT_EQ(v.m_dwType, DBVT_NULL);
}

// AddNew keeps the variables it empties (texts and byte arrays taken, not
// copied) and gives them back when the new row is stored or given up; the
// new row holds only what was set after AddNew.
TEST_P(SqlRecordset, AddNewGivesTheVariablesBeforeItBackAfterUpdateOrCancel)
{
    {
        CItemSet first(&m_db);
        first.Open(CRecordset::dynaset, nullptr);
        first.AddNew();
        first.m_Name = "current";
        first.m_Blob.SetSize(5);
        for (int i = 0; i < 5; ++i)
            first.m_Blob[i] = static_cast<BYTE>(i + 1);
        ASSERT_TRUE(first.Update());
        // Empty before AddNew (no row read): empty again after the write
        // and after a new row given up.
        EXPECT_TRUE(first.m_Name.IsEmpty());
        EXPECT_EQ(first.m_Blob.GetSize(), 0);
        first.AddNew();
        first.m_Name = "given up";
        first.m_Blob.SetSize(3);
        first.CancelUpdate();
        EXPECT_TRUE(first.m_Name.IsEmpty());
        EXPECT_EQ(first.m_Blob.GetSize(), 0);
    }
    struct Case {
        const char* name;
        bool store;
    };
    for (const Case& c : {Case{"stored", true}, Case{"given up", false}}) {
        SCOPED_TRACE(c.name);
        CItemSet rs(&m_db);
        rs.Open(CRecordset::dynaset, "SELECT [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] FROM "
                                     "Items WHERE [Name] = 'current'");
        ASSERT_FALSE(rs.IsEOF());
        rs.AddNew();
        EXPECT_TRUE(rs.m_Name.IsEmpty());
        EXPECT_EQ(rs.m_Blob.GetSize(), 0);
        rs.m_Name = "added";
        rs.m_Blob.SetSize(2);
        rs.m_Blob[0] = 9;
        if (c.store)
            ASSERT_TRUE(rs.Update());
        else
            rs.CancelUpdate();
        EXPECT_EQ(rs.m_Name, CString("current"));
        ASSERT_EQ(rs.m_Blob.GetSize(), 5);
        EXPECT_EQ(rs.m_Blob[4], 5);
        rs.Close();
    }
    CItemSet added(&m_db);
    added.Open(CRecordset::snapshot, "SELECT [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] FROM "
                                     "Items WHERE [Name] = 'added'");
    ASSERT_FALSE(added.IsEOF());
    ASSERT_EQ(added.m_Blob.GetSize(), 2);
    EXPECT_EQ(added.m_Blob[0], 9);
    added.MoveNext();
    EXPECT_TRUE(added.IsEOF());
}

TEST_P(SqlRecordset, AddedRowsComeAfterTheQuerysRowsOnceEach)
{
    m_db.ExecuteSQL("INSERT INTO Items (Name) VALUES ('a'), ('b'), ('c')");
    CItemSet rs(&m_db);
    rs.Open(CRecordset::dynaset);
    ASSERT_EQ(rs.m_Name, CString("a"));
    rs.AddNew();
    rs.m_Name = "d";
    rs.Update();
    EXPECT_EQ(rs.m_Name, CString("a")); // the row current before AddNew again
    CString names;
    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext())
        names += rs.m_Name;
    EXPECT_EQ(names, CString("abcd"));
    EXPECT_EQ(rs.GetRecordCount(), 4);
    EXPECT_EQ(RetCode([&] { rs.MoveNext(); }), AFX_SQL_ERROR_NO_DATA_FOUND);
    rs.MovePrev();
    EXPECT_EQ(rs.m_Name, CString("d"));
    rs.MovePrev();
    EXPECT_EQ(rs.m_Name, CString("c"));
    rs.MoveFirst();
    rs.MovePrev();
    EXPECT_TRUE(rs.IsBOF());
    rs.MoveNext();
    EXPECT_EQ(rs.m_Name, CString("a"));
}

TEST_P(SqlRecordset, EditAndDeleteActOnTheCurrentRowOfATableWithoutKey)
{
    m_db.ExecuteSQL("INSERT INTO Pairs VALUES (1, 'same'), (1, 'same'), (2, 'other')");
    CPairSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT [A], [B] FROM Pairs ORDER BY A");
    ASSERT_TRUE(rs.CanUpdate());
    rs.MoveNext(); // the second of two equal rows
    rs.Edit();
    rs.m_B = "changed";
    EXPECT_TRUE(rs.Update());
    EXPECT_EQ(rs.m_B, CString("changed"));
    rs.Edit();
    EXPECT_FALSE(rs.Update()); // nothing changed, nothing written
    rs.MoveFirst();
    rs.Delete();
    EXPECT_TRUE(rs.IsDeleted());
    EXPECT_EQ(RetCode([&] { rs.Edit(); }), AFX_SQL_ERROR_NO_CURRENT_RECORD);
    rs.MoveNext();
    EXPECT_EQ(rs.m_B, CString("changed"));
    rs.MoveNext();
    EXPECT_EQ(rs.m_B, CString("other"));
    rs.Close();

    CPairSet check(&m_db);
    check.Open(CRecordset::dynaset, "SELECT [A], [B] FROM Pairs ORDER BY A, B");
    CString rows;
    for (; !check.IsEOF(); check.MoveNext())
        rows.AppendFormat("%d:%s ", check.m_A, check.m_B.GetString());
    EXPECT_EQ(rows, CString("1:changed 2:other "));
}

TEST_P(SqlRecordset, EditWritesOnlyTheChangedColumns)
{
    m_db.ExecuteSQL("INSERT INTO Items (Name, [Count]) VALUES ('n', 1)");
    CItemSet rs(&m_db);
    rs.Open();
    rs.Edit();
    rs.m_Count = 2;
    m_db.ExecuteSQL("UPDATE Items SET Name = 'changed meanwhile'"); // another writer, another column
    rs.Update();
    EXPECT_EQ(rs.m_Name, CString("changed meanwhile"));
    EXPECT_EQ(rs.m_Count, 2);
    rs.Edit();
    rs.m_Name = "back";
    rs.CancelUpdate();
    EXPECT_EQ(rs.m_Name, CString("changed meanwhile"));
    EXPECT_EQ(RetCode([&] { rs.Update(); }), AFX_SQL_ERROR_ILLEGAL_MODE);
}

TEST_P(SqlRecordset, NullOfEveryKindReadsAsZeroAndIsWrittenFromZeroDatesAndEmptyBlobs)
{
    m_db.ExecuteSQL("INSERT INTO Items DEFAULT VALUES");
    CItemSet rs(&m_db);
    rs.m_Count = 5;
    rs.m_Weight = 5.0;
    rs.m_Flag = TRUE;
    rs.m_Name = "x";
    rs.m_When = CTime(2000, 1, 1, 0, 0, 0);
    rs.m_Blob.SetSize(10);
    rs.Open();
    EXPECT_EQ(rs.m_Count, 0);
    EXPECT_EQ(rs.m_Weight, 0.0);
    EXPECT_EQ(rs.m_Flag, FALSE);
    EXPECT_EQ(rs.m_Name, CString(""));
    EXPECT_EQ(rs.m_When.GetTime(), 0);
    EXPECT_LE(rs.m_Blob.GetSize(), 1);
    for (const void* p : {static_cast<const void*>(&rs.m_Count), static_cast<const void*>(&rs.m_Weight),
                          static_cast<const void*>(&rs.m_Flag), static_cast<const void*>(&rs.m_Name),
                          static_cast<const void*>(&rs.m_When), static_cast<const void*>(&rs.m_Blob)})
        EXPECT_TRUE(rs.IsFieldNull(p));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_ID));

    // Values in, then CTime 0, an empty array and NaN write NULL again.
    rs.Edit();
    rs.m_When = CTime(2014, 3, 5, 7, 8, 9);
    rs.m_Blob.SetSize(3);
    rs.m_Blob[2] = 0xAB;
    rs.m_Weight = 1.5;
    rs.m_Flag = -1; // any non-zero flag is stored as 1
    rs.Update();
    EXPECT_EQ(rs.m_When, CTime(2014, 3, 5, 7, 8, 9));
    EXPECT_EQ(rs.m_Blob.GetSize(), 3);
    EXPECT_EQ(rs.m_Blob[2], 0xAB);
    EXPECT_EQ(rs.m_Flag, TRUE);
    CString stored;
    rs.GetFieldValue("When", stored);
    EXPECT_EQ(stored, CString("2014-03-05 07:08:09"));
    rs.GetFieldValue("Flag", stored);
    EXPECT_EQ(stored, CString("1"));

    rs.Edit();
    rs.m_When = CTime(0);
    rs.m_Blob.RemoveAll();
    rs.m_Weight = std::numeric_limits<double>::quiet_NaN();
    rs.Update();
    CDBVariant v;
    for (const char* column : {"When", "Blob", "Weight"}) {
        rs.GetFieldValue(column, v);
        EXPECT_EQ(v.m_dwType, DBVT_NULL) << column;
    }
}

// A text column without a declared length, read through a 255-character field.
class CLongNameSet : public CRecordset {
public:
    explicit CLongNameSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
    int m_Count = 0;
    CString m_Name;
    CString GetDefaultSQL() override { return "SELECT [Count], [Name] FROM Longs ORDER BY [Count]"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Int(pFX, "[Count]", m_Count);
        RFX_Text(pFX, "[Name]", m_Name);
    }
};

TEST_P(SqlRecordset, TextReadsAtMost255CharactersNeverHalfACharacter)
{
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "\xC3\xA9"; // é
    const std::string euro = std::string(254, 'a') + "\xE2\x82\xAC" + "xyz";
    // A declared length is enforced by the server, so the long texts stand in
    // a column without one.
    m_db.ExecuteSQL("CREATE TABLE Longs ([Count] INTEGER, Name MEMO)");
    m_db.ExecuteSQL(CString("INSERT INTO Longs ([Count], Name) VALUES (1, '") + accents.c_str() + "'), (2, '" +
                    euro.c_str() + "'), (3, '" + std::string(300, 'b').c_str() + "')");
    CLongNameSet rs(&m_db);
    rs.Open(CRecordset::dynaset, nullptr);
    EXPECT_EQ(rs.m_Name.Str(), accents.substr(0, 510));
    rs.MoveNext();
    EXPECT_EQ(rs.m_Name.Str(), euro.substr(0, 257));
    rs.MoveNext();
    EXPECT_EQ(rs.m_Name.GetLength(), 255);
    // The stored text stays whole: an edit of another column does not cut it,
    // and the variant read returns all of it.
    rs.Edit();
    rs.m_Count = 9;
    rs.Update();
    CDBVariant v;
    rs.GetFieldValue("name", v);
    ASSERT_EQ(v.m_dwType, DBVT_STRING);
    EXPECT_EQ(v.m_pstring->GetLength(), 300);
}

class CNoteSet : public CRecordset {
public:
    explicit CNoteSet(CDatabase* db) : CRecordset(db) { m_nFields = 1; }
    CString m_Text;
    CString GetDefaultSQL() override { return "SELECT [Text] FROM Notes"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Text(pFX, "[Text]", m_Text, 1000000);
    }
};

// A text longer than its column's declared length (in characters, not
// bytes) or holding a NUL byte is refused on AddNew and on Edit, with the
// column and its length named, and nothing is written; long texts have no
// declared limit.
TEST_P(SqlRecordset, TextsTheColumnCannotHoldAreRefused)
{
    std::string accents;
    for (int i = 0; i < 50; ++i)
        accents += "\xC3\xA9"; // é: 50 characters in 100 bytes
    CPairSet pairs(&m_db);
    pairs.Open(CRecordset::dynaset, nullptr);
    pairs.AddNew();
    pairs.m_A = 1;
    pairs.m_B = accents.c_str();
    ASSERT_TRUE(pairs.Update());

    struct Case {
        std::string text;
        const char* reason;
    };
    const Case refused[] = {
        // The type as the engine spells it follows: TEXT(50), or the server's VARCHAR(50).
        {accents + "x", "The text for column B of table Pairs is 51 characters long; the column holds at most 50 ("},
        {std::string(300, 'b'), "is 300 characters long; the column holds at most 50"},
        {std::string("ab\0cd", 5), "The text for column B of table Pairs holds a NUL byte (after 2 characters)"},
    };
    for (const Case& c : refused) {
        pairs.AddNew();
        pairs.m_A = 2;
        pairs.m_B = CString(c.text);
        try {
            pairs.Update();
            ADD_FAILURE() << "stored " << c.text.size() << " bytes";
        } catch (const CDBException& e) {
            EXPECT_NE(e.m_strError.Find(c.reason), -1) << e.m_strError.GetString();
            EXPECT_EQ(e.m_nRetCode, SQL_ERROR);
        }
        pairs.CancelUpdate();
    }
    pairs.Requery();
    ASSERT_FALSE(pairs.IsEOF());
    for (const Case& c : refused) {
        pairs.Edit();
        pairs.m_B = CString(c.text);
        EXPECT_EQ(RetCode([&] { pairs.Update(); }), SQL_ERROR);
        pairs.CancelUpdate();
    }
    EXPECT_EQ(Count("Pairs"), 1);
    pairs.Requery();
    EXPECT_EQ(pairs.m_B.Str(), accents);

    CItemSet items(&m_db);
    items.Open(CRecordset::dynaset, nullptr);
    items.AddNew();
    items.m_Name = std::string(255, 'n').c_str();
    ASSERT_TRUE(items.Update());
    items.AddNew();
    items.m_Name = std::string(256, 'n').c_str();
    EXPECT_EQ(RetCode([&] { items.Update(); }), SQL_ERROR);
    items.CancelUpdate();
    EXPECT_EQ(Count("Items"), 1);

    m_db.ExecuteSQL("CREATE TABLE Notes (Text MEMO)");
    CNoteSet notes(&m_db);
    notes.Open(CRecordset::dynaset, nullptr);
    notes.AddNew();
    notes.m_Text = std::string(100000, 'm').c_str();
    ASSERT_TRUE(notes.Update());
    notes.Requery();
    EXPECT_EQ(notes.m_Text.GetLength(), 100000);
}

TEST_P(SqlRecordset, GetFieldValueAndFieldInfoFollowTheDeclaredTypes)
{
    m_db.ExecuteSQL("INSERT INTO Items ([Count], Weight, Flag, Name, [When]) VALUES "
                    "(7, 2.5, 1, 'µm', '2014-03-05 07:08:09')");
    CItemSet rs(&m_db);
    rs.Open();
    // Byte strings have no literal that both engines read.
    rs.Edit();
    rs.m_Blob.SetSize(2);
    rs.m_Blob[0] = 1;
    rs.m_Blob[1] = 2;
    ASSERT_TRUE(rs.Update());
    ASSERT_EQ(rs.GetODBCFieldCount(), 7); // the row identity is not shown

    struct Expected {
        const char* name;
        SWORD type;
        UDWORD precision;
        SWORD nullability;
        DWORD variant;
    };
    const Expected expected[] = {
        {"ID", SQL_INTEGER, 10, SQL_NO_NULLS, DBVT_LONG},
        {"Count", SQL_INTEGER, 10, SQL_NULLABLE, DBVT_LONG},
        {"Weight", SQL_DOUBLE, 15, SQL_NULLABLE, DBVT_DOUBLE},
        {"Flag", SQL_BIT, 1, SQL_NULLABLE, DBVT_BOOL},
        {"Name", SQL_VARCHAR, 255, SQL_NULLABLE, DBVT_STRING},
        {"When", SQL_TYPE_TIMESTAMP, 19, SQL_NULLABLE, DBVT_DATE},
        {"Blob", SQL_LONGVARBINARY, 1073741823, SQL_NULLABLE, DBVT_BINARY},
    };
    for (short i = 0; i < 7; ++i) {
        CODBCFieldInfo info;
        rs.GetODBCFieldInfo(i, info);
        EXPECT_EQ(info.m_strName, CString(expected[i].name));
        EXPECT_EQ(info.m_nSQLType, expected[i].type) << expected[i].name;
        EXPECT_EQ(info.m_nPrecision, expected[i].precision) << expected[i].name;
        EXPECT_EQ(info.m_nScale, 0);
        EXPECT_EQ(info.m_nNullability, expected[i].nullability) << expected[i].name;
        CDBVariant v;
        rs.GetFieldValue(expected[i].name, v);
        EXPECT_EQ(v.m_dwType, expected[i].variant) << expected[i].name;
    }
    CDBVariant v;
    rs.GetFieldValue("COUNT", v);
    EXPECT_EQ(v.m_lVal, 7);
    rs.GetFieldValue("Flag", v);
    EXPECT_EQ(v.m_boolVal, TRUE);
    rs.GetFieldValue("Name", v);
    EXPECT_EQ(*v.m_pstring, CString("µm"));
    rs.GetFieldValue("When", v);
    EXPECT_EQ(v.m_pdate->year, 2014);
    EXPECT_EQ(v.m_pdate->month, 3);
    EXPECT_EQ(v.m_pdate->second, 9);
    rs.GetFieldValue("Blob", v);
    EXPECT_EQ(v.m_pbinary->GetSize(), 2);
    const CDBVariant copy = v;
    EXPECT_EQ(copy.m_pbinary->GetAt(1), 2);

    CODBCFieldInfo info;
    EXPECT_EQ(RetCode([&] { rs.GetODBCFieldInfo(short{7}, info); }), AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    EXPECT_EQ(RetCode([&] { rs.GetFieldValue("Nope", v); }), AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    CRecordset code(&m_db);
    code.Open(CRecordset::dynaset, "SELECT Code FROM Items");
    code.GetODBCFieldInfo("code", info);
    EXPECT_EQ(info.m_nPrecision, 50u);
    EXPECT_EQ(info.m_nNullability, SQL_NO_NULLS);
}

// A count and a 64-bit column read as numbers on both engines (the server
// counts in BIGINT): 32-bit values as DBVT_LONG, larger ones as DBVT_DOUBLE.
TEST_P(SqlRecordset, CountsAndWideWholeNumbersAreNumbers)
{
    m_db.ExecuteSQL("CREATE TABLE Wide (N BIGINT)");
    m_db.ExecuteSQL("INSERT INTO Wide VALUES (7), (-2147483648), (5000000000)");
    struct Case {
        const char* sql;
        DWORD kind;
        double value;
    };
    const Case cases[] = {
        {"SELECT COUNT(*) FROM Wide", DBVT_LONG, 3},
        {"SELECT COUNT(*) AS n FROM Wide WHERE N > 0", DBVT_LONG, 2},
        {"SELECT N FROM Wide WHERE N = 7", DBVT_LONG, 7},
        {"SELECT N FROM Wide WHERE N < 0", DBVT_LONG, -2147483648.0},
        {"SELECT N FROM Wide WHERE N > 7", DBVT_DOUBLE, 5000000000.0},
        {"SELECT SUM(N) AS s FROM Wide WHERE N > 0", DBVT_DOUBLE, 5000000007.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        CRecordset rs(&m_db);
        rs.Open(CRecordset::forwardOnly, c.sql, CRecordset::readOnly);
        ASSERT_FALSE(rs.IsEOF());
        CDBVariant v;
        rs.GetFieldValue(short{0}, v);
        ASSERT_EQ(v.m_dwType, c.kind);
        EXPECT_EQ(c.kind == DBVT_LONG ? v.m_lVal : v.m_dblVal, c.value);
    }
}

TEST_P(SqlRecordset, JoinsAndReadOnlyRecordsetsRefuseChanges)
{
    m_db.ExecuteSQL("INSERT INTO Pairs VALUES (1, 'x')");
    m_db.ExecuteSQL("INSERT INTO Items ([Count]) VALUES (1)");
    CRecordset join(&m_db);
    join.Open(CRecordset::dynaset, "SELECT [Pairs].[B], [Items].[ID] FROM (Pairs LEFT JOIN Items ON "
                                   "[Pairs].[A] = [Items].[Count])");
    EXPECT_FALSE(join.CanUpdate());
    EXPECT_EQ(RetCode([&] { join.Edit(); }), AFX_SQL_ERROR_RECORDSET_READONLY);
    EXPECT_EQ(RetCode([&] { join.AddNew(); }), AFX_SQL_ERROR_RECORDSET_READONLY);
    EXPECT_EQ(RetCode([&] { join.Delete(); }), AFX_SQL_ERROR_RECORDSET_READONLY);

    CPairSet ro(&m_db);
    ro.Open(CRecordset::snapshot, nullptr, CRecordset::readOnly);
    EXPECT_FALSE(ro.CanUpdate());
    EXPECT_EQ(RetCode([&] { ro.Edit(); }), AFX_SQL_ERROR_RECORDSET_READONLY);

    CPairSet forward(&m_db);
    forward.Open(CRecordset::forwardOnly);
    EXPECT_EQ(RetCode([&] { forward.MovePrev(); }), AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY);
}

TEST_P(SqlRecordset, MisuseIsReportedAsDatabaseErrors)
{
    CPairSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT [A], [B] FROM Pairs WHERE B='none'");
    EXPECT_EQ(RetCode([&] { rs.Delete(); }), AFX_SQL_ERROR_NO_CURRENT_RECORD); // delete on an empty result
    EXPECT_EQ(RetCode([&] { rs.MoveNext(); }), AFX_SQL_ERROR_NO_DATA_FOUND);
    rs.MoveFirst(); // no row: nothing happens
    rs.MoveLast();
    EXPECT_TRUE(rs.IsEOF());
    rs.Close();
    // A statement with fewer columns than bound, a field count that differs.
    EXPECT_EQ(RetCode([&] { rs.Open(CRecordset::dynaset, "SELECT [A] FROM Pairs"); }),
              AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    rs.m_nFields = 3;
    EXPECT_EQ(RetCode([&] { rs.Open(); }), AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH);
    EXPECT_FALSE(rs.IsOpen());
}

// The server refuses such a text when it is written.
TEST_P(SqlRecordsetSqliteOnly, ATextThatIsNotADateInADateColumnFailsTheOpen)
{
    m_db.ExecuteSQL("INSERT INTO Items ([When]) VALUES ('yesterday')");
    CItemSet items(&m_db);
    EXPECT_EQ(RetCode([&] { items.Open(); }), SQL_ERROR);
    EXPECT_FALSE(items.IsOpen());
}

TEST_P(SqlRecordset, TableNameFilterAndSortCompleteTheStatement)
{
    m_db.ExecuteSQL("INSERT INTO Pairs VALUES (3, 'c'), (1, 'a'), (2, 'b')");
    CPairSet rs(&m_db);
    rs.m_strFilter = "A >= 2";
    rs.m_strSort = "A DESC";
    rs.Open(CRecordset::dynaset, "Pairs");
    EXPECT_EQ(rs.GetSQL(), CString("SELECT [A], [B] FROM Pairs WHERE A >= 2 ORDER BY A DESC"));
    EXPECT_EQ(rs.m_B, CString("c"));
    rs.MoveNext();
    EXPECT_EQ(rs.m_B, CString("b"));
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
}

TEST_P(SqlRecordsetSqliteOnly, CloseReleasesTheReadLock)
{
    for (int i = 0; i < 5; ++i)
        m_db.ExecuteSQL("INSERT INTO Pairs VALUES (1, 'r')");
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
    CPairSet rs(&m_db);
    rs.Open();
    rs.MoveNext(); // mid-walk: the engine holds a read transaction
    other.ExecuteSQL("INSERT INTO Pairs VALUES (2, 'w')"); // a reader never holds off a writer
    EXPECT_EQ(checkpointBusy(), CString("1"));             // but keeps its snapshot in the log
    rs.Close();
    EXPECT_EQ(checkpointBusy(), CString("0"));
    // Closing the connection closes the recordsets still open on it.
    rs.Open();
    m_db.Close();
    EXPECT_FALSE(rs.IsOpen());
}

TEST_P(SqlRecordset, TopKeepsTiesAndItsRowsCanBeChanged)
{
    m_db.ExecuteSQL("INSERT INTO Items (Name, [When]) VALUES ('old', #1/1/2014#), ('tie1', #2/1/2014#), "
                    "('tie2', #2/1/2014#), ('x', #1/15/2014#)");
    CItemSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT TOP 1 [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] FROM "
                                 "Items ORDER BY [When] DESC");
    CString names;
    for (; !rs.IsEOF(); rs.MoveNext())
        names += rs.m_Name + " ";
    EXPECT_EQ(names, CString("tie1 tie2 "));
    rs.MoveFirst();
    ASSERT_TRUE(rs.CanUpdate());
    rs.Edit();
    rs.m_Count = 42;
    rs.Update();
    EXPECT_EQ(rs.m_Count, 42);

    CItemSet first(&m_db);
    first.Open(CRecordset::dynaset, "SELECT TOP 3 [Items].[ID], [Count], [Weight], [Flag], [Name], [When], [Blob] "
                                    "FROM Items ORDER BY ID");
    first.MoveLast();
    EXPECT_EQ(first.GetRecordCount(), 3);
    EXPECT_EQ(first.m_ID, 3);
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlRecordset, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });
INSTANTIATE_TEST_SUITE_P(Engines, SqlRecordsetSqliteOnly, ::testing::Values(zentest::ETestEngine::Sqlite),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
