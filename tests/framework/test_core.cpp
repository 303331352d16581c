// Tests of the framework core: CString editing and formatting, the lists with
// POSITION iteration, the insertion-ordered maps, local-time breakdown of
// CTime across daylight-saving changes, COleDateTime, CByteArray, exceptions.
#include "framework/CByteArray.h"
#include "framework/CMapStringToPtr.h"
#include "framework/CObList.h"
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "framework/CStringList.h"
#include "framework/CTime.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(CoreString, FormatHandlesShortAndLongResults)
{
    CString s;
    s.Format("%s WHERE SampleID = %d", "SELECT", 42);
    EXPECT_EQ(s, "SELECT WHERE SampleID = 42");
    s.Format("%0.0f", 514.5);
    EXPECT_EQ(s, "514"); // banker's rounding of printf: ties go to even
    s.Format("%0.0f", 939.5);
    EXPECT_EQ(s, "940");
    const std::string big(1000, 'x');
    s.Format("[%s]", big.c_str());
    EXPECT_EQ(s.GetLength(), 1002);
    s.AppendFormat("%c", '!');
    EXPECT_EQ(s.Right(2), "]!");
}

TEST(CoreString, SubstringsClampToTheString)
{
    const CString s("Korvane");
    struct Case {
        CString got;
        const char* want;
    } cases[] = {
        {s.Left(3), "Kor"},    {s.Left(99), "Korvane"}, {s.Left(-1), ""},
        {s.Mid(3), "vane"},    {s.Mid(3, 2), "va"},     {s.Mid(10), ""},
        {s.Mid(5, 99), "ne"},  {s.Right(4), "vane"},    {s.Right(99), "Korvane"},
        {s.Right(0), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(CoreString, FindAndFindOneOf)
{
    const CString s("A-12-B-12");
    EXPECT_EQ(s.Find('-'), 1);
    EXPECT_EQ(s.Find('-', 2), 4);
    EXPECT_EQ(s.Find("12"), 2);
    EXPECT_EQ(s.Find("12", 3), 7);
    EXPECT_EQ(s.Find("12", 100), -1);
    EXPECT_EQ(s.Find("zz"), -1);
    EXPECT_EQ(s.ReverseFind('-'), 6);
    EXPECT_EQ(s.FindOneOf("0123456789"), 2);
    EXPECT_EQ(s.FindOneOf("'\""), -1);
    EXPECT_EQ(s.FindOneOf(""), -1);
}

TEST(CoreString, ReplaceIsLeftToRightAndNonOverlapping)
{
    struct Case {
        const char* text;
        const char* from;
        const char* to;
        const char* want;
        int count;
    } cases[] = {
        {"aaaa", "aa", "b", "bb", 2},
        {"aaa", "aa", "b", "ba", 1},
        {"O'Brien's", "'", "''", "O''Brien''s", 2},
        {"abc", "", "x", "abc", 0},
        {"abc", "b", "", "ac", 1},
        {"abab", "ab", "abab", "abababab", 2},
    };
    for (const auto& c : cases) {
        CString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.text;
        EXPECT_EQ(s, c.want) << c.text;
    }
}

TEST(CoreString, TrimmingWhiteSpaceAndGivenCharacters)
{
    CString s("  \t name \r\n");
    s.TrimRight();
    EXPECT_EQ(s, "  \t name");
    s.TrimLeft();
    EXPECT_EQ(s, "name");
    CString z("000120");
    z.TrimLeft('0');
    EXPECT_EQ(z, "120");
    CString all("   ");
    all.TrimRight();
    EXPECT_TRUE(all.IsEmpty());
    CString mixed("xxabcyx");
    mixed.TrimRight("xy");
    EXPECT_EQ(mixed, "xxabc");
}

TEST(CoreString, EditingCaseAndComparison)
{
    CString s("Härte");
    EXPECT_EQ(s.GetLength(), 6); // UTF-8: ä is two bytes
    s.MakeUpper();
    EXPECT_EQ(s, "H\xC3\xA4RTE"); // multi-byte characters stay as they are
    EXPECT_EQ(CString("abc").CompareNoCase("ABC"), 0);
    EXPECT_LT(CString("abc").Compare("abd"), 0);
    CString e("abcdef");
    e.Delete(1, 2);
    EXPECT_EQ(e, "adef");
    e.Insert(1, "bc");
    EXPECT_EQ(e, "abcdef");
    EXPECT_EQ(e.Remove('c'), 1);
    EXPECT_TRUE(CString("a") < CString("b"));
    EXPECT_EQ(CString("a") + "b" + CString("c") + 'd', "abcd");
}

TEST(CoreList, PositionIterationAndRemoval)
{
    CObject* items[4] = {new CObList, new CObList, new CObList, new CObList};
    CObList list(10);
    for (CObject* o : items)
        list.AddTail(o);
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetHead(), items[0]);
    EXPECT_EQ(list.GetTail(), items[3]);

    // Remove the second element while iterating, as callers do.
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        POSITION current = pos;
        CObject* o = list.GetNext(pos);
        if (o == items[1])
            list.RemoveAt(current);
    }
    std::vector<CObject*> seen;
    for (pos = list.GetTailPosition(); pos;)
        seen.push_back(list.GetPrev(pos));
    EXPECT_EQ(seen, (std::vector<CObject*>{items[3], items[2], items[0]}));

    list.AddHead(items[1]);
    EXPECT_EQ(list.GetAt(list.FindIndex(0)), items[1]);
    EXPECT_EQ(list.FindIndex(4), nullptr);
    EXPECT_EQ(list.FindIndex(-1), nullptr);
    EXPECT_NE(list.Find(items[2]), nullptr);
    list.InsertBefore(list.Find(items[2]), items[1]);
    EXPECT_EQ(list.GetAt(list.FindIndex(2)), items[1]);
    EXPECT_EQ(list.RemoveHead(), items[1]);

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    for (CObject* o : items)
        delete o; // the list does not own its elements
}

// Random insertions and removals against a model, for several block sizes:
// nodes taken from blocks and given back keep every position of the list
// valid and its order whole, also after the list was emptied and refilled.
TEST(CoreList, PositionsStayValidWhileNodesComeAndGoInBlocks)
{
    for (const int blockSize : {0, 1, 2, 10, 64}) {
        SCOPED_TRACE(blockSize);
        CStringList list(blockSize);
        std::vector<std::pair<POSITION, std::string>> model; // in list order
        std::srand(static_cast<unsigned>(blockSize) + 7u);
        for (int step = 0; step < 3000; ++step) {
            const int op = std::rand() % 10;
            const std::string value = "v" + std::to_string(step);
            const size_t at = model.empty() ? 0 : static_cast<size_t>(std::rand()) % model.size();
            if (op < 3 || model.empty()) {
                model.emplace_back(list.AddTail(value.c_str()), value);
            } else if (op < 5) {
                model.emplace(model.begin(), list.AddHead(value.c_str()), value);
            } else if (op < 6) {
                const POSITION pos = list.InsertBefore(model[at].first, value.c_str());
                model.emplace(model.begin() + static_cast<std::ptrdiff_t>(at), pos, value);
            } else if (op < 7) {
                const POSITION pos = list.InsertAfter(model[at].first, value.c_str());
                model.emplace(model.begin() + static_cast<std::ptrdiff_t>(at) + 1, pos, value);
            } else if (op < 9 || step % 500 == 0) {
                list.RemoveAt(model[at].first);
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
            } else {
                while (!model.empty()) { // emptied one by one: the blocks go
                    EXPECT_EQ(list.RemoveHead().Str(), model.front().second);
                    model.erase(model.begin());
                }
            }
            ASSERT_EQ(list.GetCount(), static_cast<int>(model.size()));
        }
        POSITION pos = list.GetHeadPosition();
        for (const auto& [expected, value] : model) {
            ASSERT_EQ(pos, expected);
            EXPECT_EQ(list.GetNext(pos).Str(), value);
        }
        EXPECT_EQ(pos, nullptr);
    }
}

TEST(CoreList, StringListCopiesAndFinds)
{
    CStringList a;
    a.AddTail("A2");
    a.AddTail("A1");
    a.AddHead("A0");
    CStringList b(a);
    b.GetHead() = "changed";
    EXPECT_EQ(a.GetHead(), "A0");
    EXPECT_NE(a.Find("A1"), nullptr);
    EXPECT_EQ(a.Find("A3"), nullptr);
    EXPECT_EQ(a.RemoveTail(), "A1");
    EXPECT_EQ(a.GetCount(), 2);
}

TEST(CoreMap, IterationFollowsFirstInsertion)
{
    CMapStringToPtr map;
    int values[4] = {0, 1, 2, 3};
    map.SetAt("WorkOrder", &values[0]);
    map.SetAt("Customer", &values[1]);
    map.SetAt("Material", &values[2]);
    map.SetAt("Customer", &values[3]); // replaces, keeps its place
    map.RemoveKey("Material");
    map.SetAt("Material", &values[2]); // re-added: goes to the end

    std::vector<std::string> keys;
    std::vector<void*> vals;
    for (POSITION pos = map.GetStartPosition(); pos;) {
        CString key;
        void* value = nullptr;
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key.Str());
        vals.push_back(value);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"WorkOrder", "Customer", "Material"}));
    EXPECT_EQ(vals[1], &values[3]);

    void* found = nullptr;
    EXPECT_TRUE(map.Lookup("Customer", found));
    EXPECT_FALSE(map.Lookup("customer", found)); // keys are case-sensitive
    EXPECT_FALSE(map.RemoveKey("Nothing"));
    EXPECT_EQ(map.GetCount(), 3);
    map.RemoveAll();
    EXPECT_EQ(map.GetStartPosition(), nullptr);

    CMapStringToOb obs;
    CObList element;
    obs.SetAt("x", &element);
    CObject* out = nullptr;
    EXPECT_TRUE(obs.Lookup("x", out));
    EXPECT_EQ(out, &element);
}

// Runs a test body with the process time zone set, restoring it afterwards.
class CoreTimeZone : public ::testing::Test {
protected:
    void SetZone(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_saved.empty())
            unsetenv("TZ");
        else
            setenv("TZ", m_saved.c_str(), 1);
        tzset();
    }
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_saved = tz ? tz : "";
    }

private:
    std::string m_saved;
};

TEST_F(CoreTimeZone, LocalBreakdownAcrossDaylightSaving)
{
    SetZone("Europe/Berlin");
    // 2024-03-31 01:30 CET is 00:30 UTC; one hour later clocks jump to 03:30 CEST.
    const CTime before(2024, 3, 31, 1, 30, 0);
    EXPECT_EQ(before.GetTime(), 1711845000);
    const CTime after = before + CTimeSpan(0, 1, 0, 0);
    EXPECT_EQ(after.GetHour(), 3);
    EXPECT_EQ(after.GetMinute(), 30);
    EXPECT_EQ(after.Format("%Y-%m-%d %H:%M:%S"), "2024-03-31 03:30:00");
    // Back in autumn: 2024-10-27 02:30 happens twice; dst flag chooses.
    const CTime summer(2024, 10, 27, 2, 30, 0, 1);
    const CTime winter(2024, 10, 27, 2, 30, 0, 0);
    EXPECT_EQ(winter.GetTime() - summer.GetTime(), 3600);
    EXPECT_EQ(CTime(2024, 12, 24, 0, 0, 0).GetDayOfWeek(), 3); // Tuesday
    EXPECT_EQ(CTime(2024, 12, 24, 0, 0, 0).FormatGmt("%H"), "23");
}

TEST_F(CoreTimeZone, OleDateTimeStatusAndConversion)
{
    SetZone("Europe/Berlin");
    COleDateTime d(2024, 2, 29, 13, 5, 9);
    EXPECT_EQ(d.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(d.Format("%Y-%m-%d 00:00:00"), "2024-02-29 00:00:00");
    const CTime t = d.GetAsCTime();
    EXPECT_EQ(t.Format("%d.%m.%Y %H:%M:%S"), "29.02.2024 13:05:09");
    EXPECT_TRUE(COleDateTime(t) == d);

    struct Bad {
        int y, m, day, h, mi, s;
    } bad[] = {{2023, 2, 29, 0, 0, 0}, {2024, 13, 1, 0, 0, 0}, {2024, 4, 31, 0, 0, 0}, {2024, 1, 1, 24, 0, 0}};
    for (const auto& b : bad) {
        COleDateTime x(b.y, b.m, b.day, b.h, b.mi, b.s);
        EXPECT_EQ(x.GetStatus(), COleDateTime::invalid);
        EXPECT_EQ(x.GetAsCTime().GetTime(), 0);
        EXPECT_TRUE(x.Format("%Y").IsEmpty());
    }
    EXPECT_EQ(COleDateTime(CTime(0)).GetStatus(), COleDateTime::null);
    EXPECT_TRUE(COleDateTime(2024, 1, 1, 0, 0, 0) < COleDateTime(2024, 1, 1, 0, 0, 1));
}

TEST(CoreByteArray, SizingKeepsAndZeroFills)
{
    CByteArray a;
    a.Add(7);
    a.SetSize(10000);
    EXPECT_EQ(a.GetSize(), 10000);
    EXPECT_EQ(a[0], 7);
    EXPECT_EQ(a[9999], 0);
    a.SetSize(1);
    CByteArray b(a);
    EXPECT_TRUE(a == b);
    EXPECT_THROW(a.GetAt(1), std::out_of_range);
}


// An array sized up from empty answers as a block of zeros before and after
// its bytes are made, by every reader and every change.
TEST(CoreByteArray, ZerosNotYetMadeReadAsZeros)
{
    auto sized = [](int n) {
        CByteArray a;
        a.SetSize(n);
        return a;
    };
    const CByteArray block = sized(10000);
    EXPECT_EQ(block.GetSize(), 10000);
    EXPECT_FALSE(block.IsEmpty());
    EXPECT_EQ(block.GetAt(9999), 0);
    EXPECT_EQ(block[0], 0);
    EXPECT_THROW(block.GetAt(10000), std::out_of_range);
    EXPECT_THROW(block.GetAt(-1), std::out_of_range);
    const BYTE* lent = block.GetData();
    ASSERT_NE(lent, nullptr);
    EXPECT_TRUE(std::all_of(lent, lent + 10000, [](BYTE b) { return b == 0; }));
    EXPECT_EQ(block.Bytes(), std::vector<BYTE>(10000, 0));
    EXPECT_TRUE(block.Equals(std::vector<BYTE>(10000, 0)));
    EXPECT_FALSE(block.Equals(std::vector<BYTE>(9999, 0)));

    // Equal to a made block of zeros, either way round; not to other bytes.
    CByteArray made;
    made.Vector().assign(10000, 0);
    EXPECT_TRUE(block == made);
    EXPECT_TRUE(made == block);
    made[5] = 1;
    EXPECT_FALSE(block == made);
    EXPECT_FALSE(made == block);
    EXPECT_TRUE(block == sized(10000));
    EXPECT_FALSE(block == sized(10));

    // Changes make the bytes first; copies, resizes and appends keep the zeros.
    CByteArray a = block;
    a.SetAt(3, 9);
    EXPECT_EQ(a.GetAt(3), 9);
    EXPECT_EQ(a.GetAt(4), 0);
    EXPECT_EQ(block.GetAt(3), 0);
    CByteArray b = sized(2);
    b.SetSize(5);
    EXPECT_EQ(b.Add(4), 5);
    EXPECT_EQ(b.Vector(), (std::vector<BYTE>{0, 0, 0, 0, 0, 4}));
    CByteArray c;
    c.Add(1);
    EXPECT_EQ(c.Append(sized(3)), 1);
    EXPECT_EQ(c.Append(c), 4);
    EXPECT_EQ(c.Vector(), (std::vector<BYTE>{1, 0, 0, 0, 1, 0, 0, 0}));
    CByteArray d = sized(4);
    d.Refill().assign({5, 6});
    EXPECT_EQ(d.GetSize(), 2);
    EXPECT_EQ(d.GetAt(1), 6);
    CByteArray e = sized(4);
    e.RemoveAll();
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_EQ(e.GetSize(), 0);
    // Moved: the zeros go along, the source is left empty.
    CByteArray source = sized(300);
    CByteArray taken(std::move(source));
    EXPECT_EQ(taken.GetSize(), 300);
    EXPECT_TRUE(source.IsEmpty()); // NOLINT(bugprone-use-after-move): moved-from state is specified
    source.Add(5);
    taken = std::move(source);
    EXPECT_EQ(taken.Bytes(), std::vector<BYTE>{5});
    EXPECT_TRUE(source.IsEmpty()); // NOLINT(bugprone-use-after-move)
    // Larger than the shared block: made on the first look at the bytes.
    const CByteArray large = sized(100000);
    EXPECT_EQ(large.GetData()[99999], 0);
    EXPECT_EQ(large.GetSize(), 100000);
}
TEST(CoreExceptions, MessagesAndKinds)
{
    try {
        AfxThrowDBException("no such table: Sample", 1, "SELECT * FROM Sample");
    } catch (const CException& e) {
        char buffer[8];
        EXPECT_TRUE(e.GetErrorMessage(buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "no such"); // cut to the buffer, terminated
        EXPECT_TRUE(e.IsKindOf(RUNTIME_CLASS(CDBException)));
        const auto& db = dynamic_cast<const CDBException&>(e);
        EXPECT_EQ(db.m_strError, "no such table: Sample");
        EXPECT_EQ(db.m_strSQL, "SELECT * FROM Sample");
    }
    CFileException full(CFileException::diskFull);
    EXPECT_EQ(full.m_cause, CFileException::diskFull);
    EXPECT_FALSE(full.GetMessageText().IsEmpty());
    EXPECT_FALSE(full.IsKindOf(RUNTIME_CLASS(CArchiveException)));
    EXPECT_TRUE(full.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_THROW(AfxThrowArchiveException(CArchiveException::endOfFile), CArchiveException);
    EXPECT_THROW(AfxThrowMemoryException(), std::exception);
}

} // namespace
