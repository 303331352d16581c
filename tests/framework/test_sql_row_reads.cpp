// The current row of a recordset read straight from the engine's values: the
// bound variables, GetFieldValue and IsFieldNull agree after every kind of
// move and change, also where the row must outlive the statement's position
// (MoveLast on the last row, a deleted row, a row written back), and values
// that need a conversion or a cut read as they always did.
#include "TestSupport.h"

#include "framework/CTime.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Items with a column of every kind a variable is bound to.
class CKindSet : public CRecordset {
public:
    explicit CKindSet(CDatabase* db) : CRecordset(db) { m_nFields = 7; }
    int32_t m_ID = 0;
    CString m_Name;
    double m_Weight = 0;
    CTime m_Made;
    BOOL m_Flag = FALSE;
    int m_Count = 0;
    CByteArray m_Picture;
    CString GetDefaultSQL() override
    {
        return "SELECT [ID], [Name], [Weight], [Made], [Flag], [Count], [Picture] FROM Items ORDER BY [ID]";
    }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        RFX_Text(pFX, "[Name]", m_Name, 6);
        RFX_Double(pFX, "[Weight]", m_Weight);
        RFX_Date(pFX, "[Made]", m_Made);
        RFX_Bool(pFX, "[Flag]", m_Flag);
        RFX_Int(pFX, "[Count]", m_Count);
        RFX_Binary(pFX, "[Picture]", m_Picture, 4);
    }

    // The bound variables, and the same row through GetFieldValue as text.
    std::string Bound() const
    {
        std::string out = std::to_string(m_ID) + "|" + m_Name.Str() + "|" + std::to_string(m_Weight) + "|" +
                          (m_Made.GetTime() == 0 ? std::string("0") : m_Made.Format("%Y-%m-%d %H:%M").Str()) + "|" +
                          std::to_string(m_Flag) + "|" + std::to_string(m_Count) + "|";
        for (int i = 0; i < m_Picture.GetSize(); ++i)
            out += std::to_string(m_Picture[i]);
        return out;
    }
    std::string Fields() const
    {
        std::string out;
        for (const char* name : {"ID", "Name", "Weight", "Made", "Flag", "Count"}) {
            CString value;
            GetFieldValue(name, value);
            out += (out.empty() ? "" : "|") + value.Str();
        }
        return out;
    }
};

class SqlRowReads : public ::testing::Test {
protected:
    void SetUp() override
    {
        const CString connect = CString("DBQ=") + m_dir.File("rows.db").c_str() + ";";
        CDatabase::CreateDatabase(connect);
        m_db.OpenEx(connect);
        m_db.ExecuteSQL("CREATE TABLE Items (ID COUNTER PRIMARY KEY, Name VARCHAR(20), Weight DOUBLE, "
                        "Made DATETIME, Flag BIT, [Count] LONG, Picture LONGBINARY)");
        m_db.ExecuteSQL("INSERT INTO Items (Name, Weight, Made, Flag, [Count], Picture) VALUES "
                        "('first', 1.5, #3/5/2014 10:30#, 1, 7, X'010203'), "
                        "('a name too long', 2, NULL, 0, 8, X'0102030405'), "
                        "(NULL, NULL, #3/7/2014#, NULL, NULL, NULL), "
                        "('last', 4.25, #3/8/2014 23:59#, 1, 10, X'')");
    }

    zentest::CTempDir m_dir;
    CDatabase m_db;
};

// Each step is a move or change, then the row it should stand on: bound
// variables, then the same row through GetFieldValue ("" for NULL).
enum class Step { Open, Next, Prev, First, Last, Requery, Delete, EditName, AddNew };

struct RowCase {
    Step step;
    const char* bound;  // nullptr: at the end or before the start
    const char* fields;
};

const char* const kFirst = "1|first|1.500000|2014-03-05 10:30|1|7|123";
const char* const kFirstFields = "1|first|1.5|2014-03-05 10:30:00|1|7";
const char* const kSecond = "2|a name|2.000000|0|0|8|1234";
const char* const kSecondFields = "2|a name too long|2||0|8";
const char* const kThird = "3||0.000000|2014-03-07 00:00|0|0|";
const char* const kThirdFields = "3|||2014-03-07 00:00:00||";
const char* const kLast = "4|last|4.250000|2014-03-08 23:59|1|10|";
const char* const kLastFields = "4|last|4.25|2014-03-08 23:59:00|1|10";

const RowCase kWalk[] = {
    {Step::Open, kFirst, kFirstFields},
    {Step::Next, kSecond, kSecondFields},
    {Step::Next, kThird, kThirdFields},
    {Step::Prev, kSecond, kSecondFields},
    {Step::Next, kThird, kThirdFields},
    {Step::Next, kLast, kLastFields},
    // On the last row already: MoveLast finds nothing after it and stays.
    {Step::Last, kLast, kLastFields},
    {Step::First, kFirst, kFirstFields},
    {Step::Last, kLast, kLastFields},
    {Step::Requery, kFirst, kFirstFields},
    {Step::Next, kSecond, kSecondFields},
    // A deleted row stays current, its values readable, until the next move.
    {Step::Delete, kSecond, kSecondFields},
    {Step::Next, kThird, kThirdFields},
    {Step::EditName, "3|edited|0.000000|2014-03-07 00:00|0|0|", "3|edited||2014-03-07 00:00:00||"},
    {Step::Next, kLast, kLastFields},
    {Step::AddNew, kLast, kLastFields},
    {Step::Next, "5|added|0.000000|0|0|0|", "5|added||||"},
    {Step::Next, nullptr, nullptr},
    {Step::Requery, kFirst, kFirstFields},
};

TEST_F(SqlRowReads, EveryMoveAndChangeShowsItsRow)
{
    CKindSet rs(&m_db);
    int n = 0;
    for (const RowCase& c : kWalk) {
        SCOPED_TRACE("step " + std::to_string(n++));
        switch (c.step) {
        case Step::Open: rs.Open(CRecordset::dynaset); break;
        case Step::Next: rs.MoveNext(); break;
        case Step::Prev: rs.MovePrev(); break;
        case Step::First: rs.MoveFirst(); break;
        case Step::Last: rs.MoveLast(); break;
        case Step::Requery: rs.Requery(); break;
        case Step::Delete: rs.Delete(); break;
        case Step::EditName:
            rs.Edit();
            rs.m_Name = "edited";
            ASSERT_TRUE(rs.Update());
            break;
        case Step::AddNew:
            rs.AddNew();
            rs.m_Name = "added";
            ASSERT_TRUE(rs.Update());
            break;
        }
        if (c.bound == nullptr) {
            EXPECT_TRUE(rs.IsEOF());
            continue;
        }
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.Bound(), c.bound);
        EXPECT_EQ(rs.Fields(), c.fields);
    }
}

// NULL columns are told by IsFieldNull on a row read from the engine.
TEST_F(SqlRowReads, NullColumnsAreToldAsNull)
{
    CKindSet rs(&m_db);
    rs.Open(CRecordset::dynaset);
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_Made));
    rs.MoveNext();
    EXPECT_TRUE(rs.IsFieldNull(&rs.m_Made));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_Name));
    rs.MoveNext();
    for (const void* field : {static_cast<const void*>(&rs.m_Name), static_cast<const void*>(&rs.m_Weight),
                              static_cast<const void*>(&rs.m_Flag), static_cast<const void*>(&rs.m_Count),
                              static_cast<const void*>(&rs.m_Picture)})
        EXPECT_TRUE(rs.IsFieldNull(field));
    EXPECT_FALSE(rs.IsFieldNull(&rs.m_ID));
}

// Values of another kind than their variable are converted, or refused, as
// before: a text holding a number into a number, a number into a text, a
// text that is no date.
TEST_F(SqlRowReads, ValuesOfAnotherKindConvertOrAreRefused)
{
    struct Case {
        const char* sql;
        const char* bound; // nullptr: refused
    };
    const Case cases[] = {
        {"SELECT 9 AS ID, 12 AS Name, '2.5' AS Weight, NULL AS Made, '1' AS Flag, 3.0 AS Count, NULL AS Picture",
         "9|12|2.500000|0|1|3|"},
        {"SELECT '17' AS ID, 'x' AS Name, 1 AS Weight, '2014-03-05 10:30:00' AS Made, 0 AS Flag, 1 AS Count, "
         "'abcdef' AS Picture",
         "17|x|1.000000|2014-03-05 10:30|0|1|979899100"},
        {"SELECT 1 AS ID, 'x' AS Name, 1 AS Weight, 'not a date' AS Made, 0 AS Flag, 1 AS Count, NULL AS Picture",
         nullptr},
        {"SELECT 4294967296 AS ID, 'x' AS Name, 1 AS Weight, NULL AS Made, 0 AS Flag, 1 AS Count, NULL AS Picture",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        CKindSet rs(&m_db);
        if (c.bound == nullptr) {
            EXPECT_THROW(rs.Open(CRecordset::forwardOnly, c.sql), CDBException);
            continue;
        }
        rs.Open(CRecordset::forwardOnly, c.sql);
        ASSERT_FALSE(rs.IsEOF());
        EXPECT_EQ(rs.Bound(), c.bound);
    }
}

} // namespace
