// Lookups that differ only in the value they compare with share one pattern
// of Open's text work: which value is taken as the compared one, that a
// pattern gives exactly the work a statement would get on its own, that
// every such lookup reads its own rows, and that patterns go with the
// connection. Also the rows read through the engine's values, of every kind.
// The lookups run on each engine.
#include "EngineTestSupport.h"
#include "SqlTestSupport.h"
#include "TestSupport.h"

#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/internal/RecordsetTextCache.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct LiteralCase {
    const char* sql;
    const char* value; // nullptr: none found
    bool text;
};

TEST(SqlTextPatterns, TheComparedLiteralIsTheLastPlainEquality)
{
    const LiteralCase cases[] = {
        {"SELECT a FROM T WHERE [ID]=17", "17", false},
        {"SELECT a FROM T WHERE [ID] = 17  ", "17", false},
        {"SELECT a FROM T WHERE [ID] = 0", "0", false},
        {"SELECT a FROM T WHERE [U] = 'S-12' COLLATE NOCASE AND [U] <> ('')", "S-12", true},
        {"SELECT a FROM T WHERE [U] = '' AND b = 3", "3", false},
        {"SELECT a FROM T WHERE b = 3 AND [U] = ''", "", true},
        {"SELECT a FROM T WHERE x = 1 AND y = 2 ORDER BY z", "2", false},
        {"SELECT a FROM T WHERE [ID]=007", nullptr, false},
        {"SELECT a FROM T WHERE [ID]=1.5", nullptr, false},
        {"SELECT a FROM T WHERE [ID]=0x1F", nullptr, false},
        {"SELECT a FROM T WHERE [ID]=-5", nullptr, false},
        {"SELECT a FROM T WHERE [ID]<=5", nullptr, false},
        {"SELECT a FROM T WHERE [ID]>=5", nullptr, false},
        {"SELECT a FROM T WHERE [ID]<>5", nullptr, false},
        {"SELECT a FROM T WHERE [ID]!=5", nullptr, false},
        {"SELECT a FROM T WHERE [ID]==5", nullptr, false},
        {"SELECT a FROM T WHERE [ID] IN (5)", nullptr, false},
        {"SELECT a FROM T WHERE [U]='it''s'", nullptr, false},
        {"SELECT a FROM T WHERE [U]='50%'", nullptr, false},
        {"SELECT a FROM T WHERE [U]=X12", nullptr, false},
        {"SELECT a FROM T WHERE [U]=#5/3/2014#", nullptr, false},
        {"SELECT a FROM T WHERE [U]='unterminated", nullptr, false},
        {"SELECT a FROM T WHERE [x=5]>1", nullptr, false},
        {"SELECT a FROM T WHERE \"x=5\">1 -- = 7", nullptr, false},
        {"SELECT a FROM T WHERE b=2 /* = 7 */", "2", false},
        {"SELECT a FROM T WHERE [ID]=1234567890123456789", nullptr, false},
        {"SELECT a FROM T WHERE [ID]=123456789012345678", "123456789012345678", false},
        {"SELECT a FROM T", nullptr, false},
    };
    for (const LiteralCase& c : cases) {
        SCOPED_TRACE(c.sql);
        CComparedLiteral literal;
        const std::string sql = c.sql;
        const bool found = FindComparedLiteral(sql, literal);
        ASSERT_EQ(found, c.value != nullptr);
        if (!found)
            continue;
        EXPECT_EQ(sql.substr(literal.begin, literal.end - literal.begin), c.value);
        EXPECT_EQ(literal.text, c.text);
    }
}

// A statement of a recently used pattern is known by the texts around its
// value, without reading it: found exactly when the value is one that
// FindComparedLiteral takes there, with the same filter and sort.
TEST(SqlTextPatterns, ARecentPatternIsKnownByTheTextsAroundItsValue)
{
    struct {
        const char* sql;
        const char* filter;
        const char* value; // nullptr: not known as the pattern
    } const cases[] = {
        {"SELECT a FROM T WHERE b=42", "", "42"},
        {"SELECT a FROM T WHERE b=0", "", "0"},
        {"SELECT a FROM T WHERE b=123456789012345678", "", "123456789012345678"},
        {"SELECT a FROM T WHERE b=1234567890123456789", "", nullptr},
        {"SELECT a FROM T WHERE b=042", "", nullptr},
        {"SELECT a FROM T WHERE b=4.2", "", nullptr},
        {"SELECT a FROM T WHERE b=-4", "", nullptr},
        {"SELECT a FROM T WHERE b=", "", nullptr},
        {"SELECT a FROM T WHERE c=42", "", nullptr},
        {"SELECT a FROM T WHERE b=42", "d = 1", nullptr},
        {"SELECT u FROM T WHERE u = 'S-13' COLLATE NOCASE", "", "S-13"},
        {"SELECT u FROM T WHERE u = '' COLLATE NOCASE", "", ""},
        {"SELECT u FROM T WHERE u = 'a b.c_d-e' COLLATE NOCASE", "", "a b.c_d-e"},
        {"SELECT u FROM T WHERE u = 'it''s' COLLATE NOCASE", "", nullptr},
        {"SELECT u FROM T WHERE u = '50%' COLLATE NOCASE", "", nullptr},
        {"SELECT u FROM T WHERE u = 'x' OR u = 'y' COLLATE NOCASE", "", nullptr},
        {"SELECT u FROM T WHERE u = 'S-13' COLLATE BINARY", "", nullptr},
    };
    CRecordsetTextCache cache;
    for (const char* first : {"SELECT a FROM T WHERE b=17", "SELECT u FROM T WHERE u = 'S-12' COLLATE NOCASE"}) {
        CComparedLiteral literal;
        ASSERT_TRUE(FindComparedLiteral(first, literal));
        cache.NoteRecentPattern(first, literal, "", "", std::make_shared<CSelectTextPattern>());
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        std::string_view value;
        const bool known = cache.FindRecentPattern(c.sql, c.filter, "", value) != nullptr;
        ASSERT_EQ(known, c.value != nullptr);
        if (!known)
            continue;
        EXPECT_EQ(value, c.value);
        // What reading the statement would find.
        CComparedLiteral literal;
        ASSERT_TRUE(FindComparedLiteral(c.sql, literal));
        EXPECT_EQ(std::string_view(c.sql).substr(literal.begin, literal.end - literal.begin), c.value);
    }
    std::string_view value;
    EXPECT_EQ(cache.FindRecentPattern("SELECT a FROM T WHERE b=42", "", "ORDER BY a", value), nullptr);
    cache.Clear();
    EXPECT_EQ(cache.FindRecentPattern("SELECT a FROM T WHERE b=42", "", "", value), nullptr);
}

// Items (ID, Name VARCHAR(20), Weight DOUBLE, Picture LONGBINARY), bound.
class CItemSet : public CRecordset {
public:
    explicit CItemSet(CDatabase* db) : CRecordset(db) { m_nFields = 4; }
    int32_t m_ID = 0;
    CString m_Name;
    double m_Weight = 0;
    CByteArray m_Picture;
    CString GetDefaultSQL() override { return "SELECT [ID], [Name], [Weight], [Picture] FROM Items"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        RFX_Text(pFX, "[Name]", m_Name, 20);
        RFX_Double(pFX, "[Weight]", m_Weight);
        RFX_Binary(pFX, "[Picture]", m_Picture, 8);
    }
};

// The pictures of Items, whole (up to 100 bytes), for writing them.
class CPictureSet : public CRecordset {
public:
    explicit CPictureSet(CDatabase* db) : CRecordset(db) { m_nFields = 1; }
    CByteArray m_Picture;
    CString GetDefaultSQL() override { return "SELECT [Picture] FROM Items ORDER BY [ID]"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Binary(pFX, "[Picture]", m_Picture, 100);
    }
};

class SqlTextPatternsOnFile : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
        m_db.OpenEx(m_database->ConnectString());
        m_db.ExecuteSQL("CREATE TABLE Items (ID COUNTER PRIMARY KEY, Name VARCHAR(20), Weight DOUBLE, "
                        "Picture LONGBINARY)");
        m_db.ExecuteSQL("INSERT INTO Items (Name, Weight) VALUES ('S-1', 1.5)");
        m_db.ExecuteSQL("INSERT INTO Items (Name, Weight) VALUES ('S-2', NULL)");
        m_db.ExecuteSQL("INSERT INTO Items (Name, Weight, Picture) VALUES (NULL, 3, NULL)");
        // Byte strings have no literal both engines read: written through a
        // recordset of another connection, which leaves this one's patterns
        // untouched.
        CDatabase writer;
        writer.OpenEx(m_database->ConnectString());
        CPictureSet rs(&writer);
        rs.Open(CRecordset::dynaset, nullptr);
        for (const std::vector<BYTE>& picture :
             {std::vector<BYTE>{1, 2}, std::vector<BYTE>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}) {
            rs.Edit();
            rs.m_Picture.Vector() = picture;
            rs.Update();
            rs.MoveNext();
        }
    }
    void TearDown() override { m_db.Close(); }

    // The name read by a lookup, or "-" when it finds no row.
    std::string NameOf(const CString& sql)
    {
        CItemSet rs(&m_db);
        rs.Open(CRecordset::dynaset, sql);
        return rs.IsEOF() ? "-" : rs.m_Name.Str();
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
};

TEST_P(SqlTextPatternsOnFile, EveryLookupReadsItsOwnRow)
{
    const struct {
        const char* sql;
        const char* name;
    } lookups[] = {
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=1", "S-1"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=2", "S-2"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=3", ""},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=4", "-"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=1", "S-1"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [Name] = 'S-2' COLLATE NOCASE", "S-2"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [Name] = 's-1' COLLATE NOCASE", "S-1"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [Name] = 'S-9' COLLATE NOCASE", "-"},
        {"SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [Name] = '' COLLATE NOCASE", "-"},
    };
    for (const auto& lookup : lookups) {
        SCOPED_TRACE(lookup.sql);
        EXPECT_EQ(NameOf(lookup.sql), lookup.name);
    }
    // One pattern for the numbers, one for the texts, both in use.
    EXPECT_EQ(m_db.GetRecordsetTextCache().PatternCount(), 2u);
    EXPECT_EQ(m_db.GetRecordsetTextCache().UsablePatternCount(), 2u);
}

TEST_P(SqlTextPatternsOnFile, APatternGivesTheWorkTheStatementGetsOnItsOwn)
{
    const char* const texts[] = {
        "SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=",
        "SELECT TOP 1 [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID] = ",
    };
    for (const char* head : texts) {
        SCOPED_TRACE(head);
        for (const char* value : {"1", "2", "1234567", "0"}) {
            const CString sql = CString(head) + value;
            CItemSet viaPattern(&m_db);
            viaPattern.Open(CRecordset::dynaset, sql);
            const CString patternSql = viaPattern.GetSQL();
            viaPattern.Close();

            CDatabase fresh; // a connection of its own has no pattern yet
            fresh.OpenEx(m_db.GetConnect());
            CItemSet alone(&fresh);
            alone.Open(CRecordset::dynaset, sql);
            EXPECT_EQ(patternSql, alone.GetSQL());
            EXPECT_EQ(fresh.GetRecordsetTextCache().UsablePatternCount(), 1u);
        }
    }
    EXPECT_EQ(m_db.GetRecordsetTextCache().PatternCount(), 2u);
}

// Lookups on a read of two tables (run without the row identity, from the
// statement's own tokens): each finds its own row through the pattern.
TEST_P(SqlTextPatternsOnFile, LookupsOnAJoinReadTheirOwnRows)
{
    const char* const head = "SELECT a.[ID], a.[Name], a.[Weight], a.[Picture] FROM Items a INNER JOIN Items b "
                             "ON a.[ID] = b.[ID] WHERE a.[ID]=";
    const struct {
        const char* value;
        const char* name;
    } lookups[] = {{"1", "S-1"}, {"2", "S-2"}, {"3", ""}, {"4", "-"}, {"2", "S-2"}};
    for (const auto& lookup : lookups) {
        const CString sql = CString(head) + lookup.value;
        SCOPED_TRACE(sql.GetString());
        CItemSet rs(&m_db);
        rs.Open(CRecordset::dynaset, sql);
        EXPECT_EQ(rs.IsEOF() ? std::string("-") : rs.m_Name.Str(), lookup.name);
        EXPECT_EQ(rs.GetSQL(), sql);
        EXPECT_FALSE(rs.CanUpdate());
    }
    EXPECT_EQ(m_db.GetRecordsetTextCache().UsablePatternCount(), 1u);
}

TEST(SqlTextPatterns, AnInstanceMatchesTheWorkItStandsFor)
{
    CSelectTextPattern pattern;
    auto text = std::make_shared<CPreparedSelectText>();
    pattern.standIn = PatternStandIn(false);
    text->sql = CString("SELECT a FROM T WHERE b=") + pattern.standIn.c_str();
    text->tokens = TokenizeSql(text->sql.Str());
    text->singleTable = true;
    text->table = "T";
    text->withRowId = CString("SELECT rowid AS __zen_rowid, a FROM T WHERE b=") + pattern.standIn.c_str();
    text->reselectSql = "SELECT rowid AS __zen_rowid, a FROM T WHERE rowid = ?1";
    text->reselectEngineSql = "kept";
    pattern.text = text;

    const auto instance = InstantiatePattern(pattern, "42");
    EXPECT_EQ(instance->sql, CString("SELECT a FROM T WHERE b=42"));
    EXPECT_EQ(instance->withRowId, CString("SELECT rowid AS __zen_rowid, a FROM T WHERE b=42"));
    EXPECT_EQ(instance->reselectSql, text->reselectSql);
    EXPECT_TRUE(instance->reselectEngineSql.IsEmpty());
    CPreparedSelectText expected;
    expected.sql = instance->sql;
    expected.tokens = TokenizeSql("SELECT a FROM T WHERE b=42");
    expected.singleTable = true;
    expected.table = "T";
    expected.withRowId = instance->withRowId;
    expected.reselectSql = text->reselectSql;
    EXPECT_TRUE(SameSelectText(*instance, expected));
    expected.tokens.back().text = "43";
    EXPECT_FALSE(SameSelectText(*instance, expected));
}

// An instance of a pattern whose stand-ins were marked once is the instance
// made by searching for them, wherever and however often they stand, also
// for values that hold the stand-in or nothing.
TEST(SqlTextPatterns, MarkedStandInsMakeTheSameInstances)
{
    const std::string standIn = PatternStandIn(true);
    auto text = std::make_shared<CPreparedSelectText>();
    text->sql = CString("SELECT a FROM T WHERE b='" + standIn + "' OR c='" + standIn + "'");
    text->singleTable = true;
    text->table = CString("T" + standIn);
    text->withRowId = CString("SELECT rowid AS __zen_rowid, a FROM T WHERE b='" + standIn + "' OR c='" + standIn + "'");
    text->reselectSql = "SELECT rowid AS __zen_rowid, a FROM T WHERE rowid = ?1";
    auto searched = std::make_shared<CSelectTextPattern>();
    searched->standIn = standIn;
    searched->text = text;
    auto marked = std::make_shared<CSelectTextPattern>(*searched);
    MarkStandIns(*marked);
    ASSERT_TRUE(marked->marked);
    EXPECT_EQ(marked->inSql.size(), 2u);
    EXPECT_EQ(marked->inTable, std::vector<size_t>{1});
    for (const std::string& value : {std::string("S-12"), std::string(), standIn + standIn, std::string("x")}) {
        SCOPED_TRACE(value);
        const auto a = InstantiatePatternText(marked, value);
        const auto b = InstantiatePatternText(searched, value);
        EXPECT_EQ(a->sql, b->sql);
        EXPECT_EQ(a->table, b->table);
        EXPECT_EQ(a->withRowId, b->withRowId);
        EXPECT_EQ(a->ReselectSql(), b->ReselectSql());
        EXPECT_EQ(a->sql, CString("SELECT a FROM T WHERE b='" + value + "' OR c='" + value + "'"));
    }
}

// An open's instance leaves the text that reads one row again until it is
// asked for, then makes it as the full instance does, the value put in where
// the text holds the stand-in (here in a join's condition).
TEST(SqlTextPatterns, AnOpensInstanceMakesItsReselectTextWhenAsked)
{
    auto pattern = std::make_shared<CSelectTextPattern>();
    auto text = std::make_shared<CPreparedSelectText>();
    pattern->standIn = PatternStandIn(false);
    const std::string standIn = pattern->standIn;
    text->sql = CString("SELECT a FROM T JOIN U ON U.k=" + standIn);
    text->tokens = TokenizeSql(text->sql.Str());
    text->singleTable = true;
    text->table = "T";
    text->withRowId = CString("SELECT rowid AS __zen_rowid, a FROM T JOIN U ON U.k=" + standIn);
    text->reselectSql = CString("SELECT rowid AS __zen_rowid, a FROM T JOIN U ON U.k=" + standIn + " WHERE rowid = ?1");
    pattern->text = text;
    pattern->usable = true;

    const auto forOpen = InstantiatePatternText(pattern, "42");
    EXPECT_EQ(forOpen->sql, CString("SELECT a FROM T JOIN U ON U.k=42"));
    EXPECT_TRUE(forOpen->reselectSql.IsEmpty());
    EXPECT_EQ(forOpen->ReselectSql(), CString("SELECT rowid AS __zen_rowid, a FROM T JOIN U ON U.k=42 WHERE rowid = ?1"));
    const auto full = InstantiatePattern(*pattern, "42");
    EXPECT_EQ(full->reselectSql, forOpen->ReselectSql());
    // Asked again, the same text; the pattern itself is untouched.
    EXPECT_EQ(forOpen->ReselectSql(), full->reselectSql);
    EXPECT_NE(text->reselectSql.Find(standIn.c_str()), -1);

    // A view (no identity) has no text to read a row again.
    auto view = std::make_shared<CSelectTextPattern>(*pattern);
    auto viewText = std::make_shared<CPreparedSelectText>(*text);
    viewText->singleTable = false;
    viewText->withRowId = CString();
    viewText->reselectSql = CString();
    view->text = viewText;
    EXPECT_TRUE(InstantiatePatternText(view, "42")->ReselectSql().IsEmpty());
}

TEST_P(SqlTextPatternsOnFile, PatternsAreNotKeptPastTheConnection)
{
    EXPECT_EQ(NameOf("SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=1"), "S-1");
    EXPECT_EQ(m_db.GetRecordsetTextCache().PatternCount(), 1u);
    const CString connect = m_db.GetConnect();
    m_db.Close();
    EXPECT_EQ(m_db.GetRecordsetTextCache().PatternCount(), 0u);

    // The same file again, the table made anew with the names elsewhere.
    m_db.OpenEx(connect);
    m_db.ExecuteSQL("DROP TABLE Items");
    m_db.ExecuteSQL("CREATE TABLE Items (ID COUNTER PRIMARY KEY, Weight DOUBLE, Picture LONGBINARY, "
                    "Name VARCHAR(20))");
    m_db.ExecuteSQL("INSERT INTO Items (Name) VALUES ('T-1')");
    EXPECT_EQ(NameOf("SELECT [ID], [Name], [Weight], [Picture] FROM Items WHERE [ID]=1"), "T-1");
}

TEST_P(SqlTextPatternsOnFile, RowsOfEveryKindReadAsBefore)
{
    CItemSet rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT [ID], [Name], [Weight], [Picture] FROM Items ORDER BY [ID]");
    std::vector<std::string> rows;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        std::string row = std::to_string(rs.m_ID) + "|" + rs.m_Name.Str() + "|" + std::to_string(rs.m_Weight) + "|";
        for (int i = 0; i < rs.m_Picture.GetSize(); ++i)
            row += std::to_string(rs.m_Picture[i]);
        rows.push_back(row);
    }
    // NULL reads as 0 and an empty text or array; a block is cut at 8 bytes.
    const std::vector<std::string> expected = {"1|S-1|1.500000|12", "2|S-2|0.000000|01234567",
                                               "3||3.000000|"};
    EXPECT_EQ(rows, expected);
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlTextPatternsOnFile, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
