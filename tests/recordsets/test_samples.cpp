// The Samples recordsets: list-view and search clauses (exact texts, and what
// they select in a real database of each engine), the trace block written by
// SetSample and read by GetSample (round trip, NULL, damaged and oversized
// traces, log entries), the short listing and the latest registration.

#include "RecordsetTestSupport.h"

#include "companions/EventLog.h"
#include "framework/Exceptions.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>
#include <optional>

namespace {

// Criteria map that owns its records.
class CCriteria {
public:
    ~CCriteria()
    {
        for (SampleSearchCriterion* c : m_owned)
            delete c;
    }
    CCriteria& Text(const char* key, const char* text)
    {
        auto* c = new SampleSearchCriterion;
        m_owned.push_back(c);
        c->Text = text;
        c->IsText = true;
        m_map.SetAt(key, c);
        return *this;
    }
    CCriteria& Dates(const char* key, CTime from, CTime to)
    {
        auto* c = new SampleSearchCriterion;
        m_owned.push_back(c);
        c->From = from;
        c->To = to;
        c->IsText = false;
        m_map.SetAt(key, c);
        return *this;
    }
    CMapStringToPtr* Map() { return &m_map; }

private:
    CMapStringToPtr m_map;
    std::vector<SampleSearchCriterion*> m_owned;
};

CTime Day(int year, int month, int day)
{
    return CTime(year, month, day, 0, 0, 0);
}

TEST(SampleWhereClause, ViewsWithoutCriteria)
{
    CZENDB_SamplesRecordset rs;
    CCriteria criteria;
    criteria.Text("WorkOrder", "A12");
    EXPECT_EQ(rs.GetWhereSQL(SampleViewAll, nullptr), "");
    EXPECT_EQ(rs.GetWhereSQL(SampleViewUnsigned, nullptr), "WHERE [Signed] = FALSE");
    EXPECT_EQ(rs.GetWhereSQL(SampleViewUnsigned, criteria.Map()), "WHERE [Signed] = FALSE");
    EXPECT_EQ(rs.GetWhereSQL(SampleViewSigned, criteria.Map()), "WHERE [Signed] = TRUE");
    EXPECT_EQ(rs.GetWhereSQL(static_cast<SampleViewTypeType>(6), criteria.Map()), "");
    EXPECT_EQ(rs.GetWhereSQL(static_cast<SampleViewTypeType>(-1), criteria.Map()), "");
    EXPECT_EQ(rs.GetWhereSQL(SampleViewSearch, nullptr), "");

    // Recent views: after the start of the day 7 (31) days before today.
    for (const auto& [view, days] : {std::pair{SampleViewLastWeek, 7}, {SampleViewLastMonth, 31}}) {
        const CTime now = CTime::GetCurrentTime();
        const CTime since(now.GetYear(), now.GetMonth(), now.GetDay() - days, 12, 0, 0);
        CString expected;
        expected.Format("WHERE [MeasuredDate] > # %d / %d / %d #", since.GetMonth(),
                        since.GetDay(), since.GetYear());
        EXPECT_EQ(rs.GetWhereSQL(view, nullptr), expected);
    }
}

TEST(SampleWhereClause, SearchCriteria)
{
    struct Case {
        const char* name;
        std::function<void(CCriteria&)> fill;
        const char* expected;
    };
    const Case cases[] = {
        {"empty map", [](CCriteria&) {}, ""},
        {"only empty values",
         [](CCriteria& c) {
             c.Text("WorkOrder", "").Dates("MeasuredDate", CTime(0), CTime(0)).Text("", "x");
         },
         ""},
        {"text", [](CCriteria& c) { c.Text("WorkOrder", "A12"); }, "WHERE [WorkOrder] LIKE '%A12%'"},
        {"range",
         [](CCriteria& c) { c.Dates("MeasuredDate", Day(2014, 3, 5), Day(2014, 3, 7)); },
         "WHERE [MeasuredDate] >= # 3 / 5 / 2014 # AND [MeasuredDate] < # 3 / 8 /2014 #"},
        {"from only",
         [](CCriteria& c) { c.Dates("MeasuredDate", CTime(2014, 3, 5, 17, 30, 0), CTime(0)); },
         "WHERE [MeasuredDate] >= # 3 / 5 / 2014 #"},
        {"to only: up to and including that day",
         [](CCriteria& c) { c.Dates("MeasuredDate", CTime(0), CTime(2014, 3, 7, 9, 0, 0)); },
         "WHERE [MeasuredDate] < # 3 / 8 /2014 #"},
        {"to only at a year end", [](CCriteria& c) { c.Dates("DueDate", CTime(0), Day(2014, 12, 31)); },
         "WHERE [DueDate] < # 1 / 1 /2015 #"},
        {"year end",
         [](CCriteria& c) { c.Dates("DueDate", Day(2014, 12, 1), CTime(2014, 12, 31, 23, 0, 0)); },
         "WHERE [DueDate] >= # 12 / 1 / 2014 # AND [DueDate] < # 1 / 1 /2015 #"},
        {"month end", [](CCriteria& c) { c.Dates("DueDate", Day(2016, 2, 1), Day(2016, 2, 29)); },
         "WHERE [DueDate] >= # 2 / 1 / 2016 # AND [DueDate] < # 3 / 1 /2016 #"},
        {"two criteria in map order",
         [](CCriteria& c) {
             c.Text("CustomField7", "x").Text("Signature", "").Dates("RegistrationDate",
                                                                      Day(2020, 1, 2), CTime(0));
         },
         "WHERE [CustomField7] LIKE '%x%' AND [RegistrationDate] >= # 1 / 2 / 2020 #"},
        {"apostrophes are doubled",
         [](CCriteria& c) { c.Text("WorkOrder", "A12").Text("Customer", "O'Neil''s"); },
         "WHERE [WorkOrder] LIKE '%A12%' AND [Customer] LIKE '%O''Neil''''s%'"},
        {"pattern characters are escaped", [](CCriteria& c) { c.Text("Detail", "50%_[x]\\y'"); },
         "WHERE [Detail] LIKE '%50\\%\\_\\[x]\\\\y''%' ESCAPE '\\'"},
        {"a backslash alone needs no escape", [](CCriteria& c) { c.Text("Detail", "C:\\x"); },
         "WHERE [Detail] LIKE '%C:\\x%'"},
        {"bracket in key selects nothing",
         [](CCriteria& c) { c.Text("WorkOrder", "A12").Text("Detail] = 'x' OR [Detail", "y"); },
         "WHERE 1 = 0"},
        {"quote in a date key selects nothing",
         [](CCriteria& c) { c.Dates("Due'Date", Day(2014, 1, 1), CTime(0)); }, "WHERE 1 = 0"},
    };
    CZENDB_SamplesRecordset rs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCriteria criteria;
        c.fill(criteria);
        EXPECT_EQ(rs.GetWhereSQL(SampleViewSearch, criteria.Map()), c.expected);
    }
}

// Local time zone for one test, restored afterwards.
class CTimeZone {
public:
    explicit CTimeZone(const char* tz)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~CTimeZone()
    {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

TEST(SampleWhereClause, RangeEndsOnTheNextCalendarDayAcrossDaylightSaving)
{
    // 26 October 2014 had 25 hours in Central Europe: midnight plus 24 hours is
    // still the 26th, so the end must come from the calendar.
    CTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    CZENDB_SamplesRecordset rs;
    CCriteria criteria;
    criteria.Dates("MeasuredDate", Day(2014, 10, 20), Day(2014, 10, 26));
    EXPECT_EQ(rs.GetWhereSQL(SampleViewSearch, criteria.Map()),
              "WHERE [MeasuredDate] >= # 10 / 20 / 2014 # AND [MeasuredDate] < # 10 / 27 /2014 #");
}

class SamplesTable : public rstest::CEngineTest {
protected:
    // Adds a sample the way savers do (AddNew, SetSample with the key left to
    // the database, Update) and returns the key the database gave it.
    int32_t Add(const CZENDB_Sample& sample)
    {
        CZENDB_SamplesRecordset rs(&m_db->Db());
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        rs.AddNew();
        rs.SetSample(sample, true);
        EXPECT_TRUE(rs.Update());
        rs.MoveLast();
        return rs.GetSampleID();
    }

    // Loads the sample with that key; nullopt when there is none.
    std::optional<CZENDB_Sample> Load(int32_t key)
    {
        CZENDB_SamplesRecordset rs(&m_db->Db());
        CString sql;
        sql.Format("%s %s", rs.GetDefaultSQL().GetString(), rs.GetWhereSQL(key).GetString());
        rs.Open(CRecordset::dynaset, sql, CRecordset::none);
        if (rs.IsEOF())
            return std::nullopt;
        CZENDB_Sample sample;
        rs.GetSample(sample);
        return sample;
    }

    // Keys of the samples that the list view selects, newest first.
    std::vector<std::string> Select(SampleViewTypeType view, CMapStringToPtr* criteria)
    {
        CZENDB_SamplesRecordset rs(&m_db->Db());
        CString sql;
        sql.Format("SELECT [UserSampleID] FROM Samples %s ORDER BY [Samples].[SampleID] desc",
                   rs.GetWhereSQL(view, criteria).GetString());
        return rstest::FirstColumn(m_db->Db(), sql);
    }

    static CZENDB_Sample WithTrace(const char* id, int points, int traces = 1)
    {
        CZENDB_Sample sample(nullptr, id);
        for (int t = 0; t < traces; ++t) {
            sample.Trace.AddTrace();
            for (int i = 0; i < points; ++i)
                sample.Trace.AddPoint({i * 1.5 + t, -i * 0.25});
        }
        return sample;
    }
};

TEST_P(SamplesTable, EveryColumnRoundTripsThroughSetSampleAndGetSample)
{
    CZENDB_Sample sample = WithTrace("S-1", 20, 2);
    sample.SampleID = 999; // not written: the database assigns the key
    sample.WorkOrder = "WO-7";
    sample.PartNo = "PN";
    sample.Detail = "Detalle";
    sample.Customer = "Cliente";
    sample.Material = "16MnCr5";
    sample.RegistrationDate = CTime(2014, 3, 5, 8, 15, 30);
    sample.RegisteredBy = "ana";
    sample.DueDate = CTime(2014, 3, 9, 0, 0, 0);
    sample.MeasuredDate = CTime(2014, 3, 7, 16, 45, 0);
    sample.MeasuredBy = "luis";
    sample.Signed = TRUE;
    sample.Signature = "firma";
    sample.CustomField1 = "µm";
    sample.CustomField10 = "ten";
    sample.CustomField19 = CString(std::string(255, 'x')); // the longest text the column holds
    sample.PatternName = "not stored";

    const int32_t key = Add(sample);
    ASSERT_GT(key, 0);
    EXPECT_NE(key, 999);
    const std::optional<CZENDB_Sample> loaded = Load(key);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->SampleID, key);
    EXPECT_EQ(loaded->UserSampleID, "S-1");
    EXPECT_EQ(loaded->WorkOrder, "WO-7");
    EXPECT_EQ(loaded->PartNo, "PN");
    EXPECT_EQ(loaded->Detail, "Detalle");
    EXPECT_EQ(loaded->Customer, "Cliente");
    EXPECT_EQ(loaded->Material, "16MnCr5");
    EXPECT_EQ(loaded->RegistrationDate, sample.RegistrationDate);
    EXPECT_EQ(loaded->RegisteredBy, "ana");
    EXPECT_EQ(loaded->DueDate, sample.DueDate);
    EXPECT_EQ(loaded->MeasuredDate, sample.MeasuredDate);
    EXPECT_EQ(loaded->MeasuredBy, "luis");
    EXPECT_EQ(loaded->Signed, TRUE);
    EXPECT_EQ(loaded->Signature, "firma");
    EXPECT_EQ(loaded->CustomField1, "µm");
    EXPECT_EQ(loaded->CustomField10, "ten");
    EXPECT_EQ(loaded->CustomField19, CString(std::string(255, 'x')));
    EXPECT_TRUE(loaded->PatternName.IsEmpty());
    EXPECT_EQ(loaded->Trace, sample.Trace);
    EXPECT_EQ(loaded->Trace.GetTotalNumberOfPoints(), 40u);

    // The column always holds a whole 10000-byte block.
    CZENDB_SamplesRecordset rs(&m_db->Db());
    rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
    CDBVariant trace;
    rs.GetFieldValue("Trace", trace);
    ASSERT_EQ(trace.m_dwType, DBVT_BINARY);
    EXPECT_EQ(trace.m_pbinary->GetSize(), 10000);
}

TEST_P(SamplesTable, SampleWithoutTracePointsLeavesTheColumnNull)
{
    const int32_t key = Add(CZENDB_Sample(nullptr, "S-empty"));
    EXPECT_EQ(rstest::FirstColumn(m_db->Db(), "SELECT COUNT(*) FROM Samples WHERE Trace IS NULL"),
              std::vector<std::string>{"1"});
    const std::optional<CZENDB_Sample> loaded = Load(key);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Trace.GetTotalNumberOfPoints(), 0u);
}

TEST_P(SamplesTable, WalkGivesEachSampleOnlyItsOwnTrace)
{
    Add(WithTrace("with", 5));
    Add(CZENDB_Sample(nullptr, "without"));
    CZENDB_SamplesRecordset rs(&m_db->Db());
    CString sql;
    sql.Format("%s ORDER BY SampleID", rs.GetDefaultSQL().GetString());
    rs.Open(CRecordset::dynaset, sql, CRecordset::none);
    CZENDB_Sample first, second;
    rs.GetSample(first);
    rs.MoveNext();
    rs.GetSample(second);
    EXPECT_EQ(first.UserSampleID, "with");
    EXPECT_EQ(first.Trace.GetTotalNumberOfPoints(), 5u);
    EXPECT_EQ(second.UserSampleID, "without");
    EXPECT_EQ(second.Trace.GetTotalNumberOfPoints(), 0u);
}

TEST_P(SamplesTable, EditWithoutTracePointsEmptiesTheStoredTrace)
{
    const CZENDB_Sample original = WithTrace("S-2", 8);
    const int32_t key = Add(original);
    {
        CZENDB_SamplesRecordset rs(&m_db->Db());
        CString sql;
        sql.Format("%s %s", rs.GetDefaultSQL().GetString(), rs.GetWhereSQL(key).GetString());
        rs.Open(CRecordset::dynaset, sql, CRecordset::none);
        rs.Edit();
        CZENDB_Sample changed(nullptr, "S-2b");
        changed.SampleID = key;
        rs.SetSample(changed, false);
        rs.Update();
    }
    const std::optional<CZENDB_Sample> loaded = Load(key);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->UserSampleID, "S-2b");
    EXPECT_EQ(loaded->Trace.GetTotalNumberOfPoints(), 0u);
    EXPECT_EQ(rstest::FirstColumn(m_db->Db(), "SELECT COUNT(*) FROM Samples WHERE Trace IS NULL"),
              std::vector<std::string>{"1"});
}

TEST_P(SamplesTable, DamagedOrShortBlocksReadAsNoTrace)
{
    // A valid block, then the same block cut short, with a flipped byte, and garbage.
    const int32_t good = Add(WithTrace("good", 10));
    std::vector<BYTE> block;
    {
        CZENDB_SamplesRecordset rs(&m_db->Db());
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        block = rs.m_Trace.Vector();
    }
    ASSERT_EQ(block.size(), 10000u);
    std::vector<std::vector<BYTE>> damaged = {
        std::vector<BYTE>(block.begin(), block.begin() + 100),
        block,
        std::vector<BYTE>(10000, 0xA5),
        std::vector<BYTE>(2, 0),
        std::vector<BYTE>(1, 0x5A),
    };
    damaged[1][40] ^= 0x01;
    std::vector<int32_t> keys;
    for (const std::vector<BYTE>& bytes : damaged) {
        CZENDB_SamplesRecordset rs(&m_db->Db());
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        rs.AddNew();
        // Identifiers are unique in the file: "damaged-0", "damaged-1", ...
        rs.SetSample(CZENDB_Sample(nullptr, CString("damaged-") + std::to_string(keys.size()).c_str()), true);
        rs.m_Trace.Vector() = bytes;
        rs.Update();
        rs.MoveLast();
        keys.push_back(rs.GetSampleID());
    }
    for (int32_t key : keys) {
        SCOPED_TRACE(key);
        std::optional<CZENDB_Sample> loaded;
        EXPECT_NO_THROW(loaded = Load(key));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->UserSampleID.Left(8), "damaged-");
        EXPECT_EQ(loaded->Trace.GetTotalNumberOfPoints(), 0u);
    }
    EXPECT_EQ(Load(good)->Trace.GetTotalNumberOfPoints(), 10u);
}

TEST_P(SamplesTable, TraceLargerThanTheBlockRaisesTheFileException)
{
    // 623 points fill the block; 624 do not fit.
    CZENDB_SamplesRecordset rs(&m_db->Db());
    rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
    rs.AddNew();
    EXPECT_NO_THROW(rs.SetSample(WithTrace("full", 623), true));
    try {
        rs.SetSample(WithTrace("too long", 624), true);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
    }
}

TEST_P(SamplesTable, TraceStepsAreLogged)
{
    const int32_t key = Add(WithTrace("logged", 3));
    Load(key);
    const std::string log = zentest::ReadFileText(GetEventLogPath().Str());
    for (const char* entry : {
             "recordsets:",
             "CZENDB_SamplesRecordset::SetSample: Copy CZENDB_Sample to local member...",
             "CZENDB_SamplesRecordset::SetSample: Checking if to copy trace data with 3 points...",
             "CZENDB_SamplesRecordset::SetSample: Copying trace data...",
             "CZENDB_SamplesRecordset::GetSample: Deserialize trace data...",
         })
        EXPECT_NE(log.find(entry), std::string::npos) << entry;
}

TEST_P(SamplesTable, ViewAndSearchClausesSelectTheRightRows)
{
    struct Row {
        const char* id;
        const char* workOrder;
        CTime measured;
        BOOL signedFlag;
    };
    const CTime today = CTime::GetCurrentTime();
    const Row rows[] = {
        {"a", "A12-x", Day(2014, 3, 4), TRUE},
        {"b", "zA12", CTime(2014, 3, 5, 0, 0, 0), FALSE},
        {"c", "B7", CTime(2014, 3, 7, 23, 59, 59), TRUE},
        {"d", "A1", Day(2014, 3, 8), FALSE},
        {"e", "A12", CTime(today.GetYear(), today.GetMonth(), today.GetDay(), 0, 0, 1), FALSE},
    };
    for (const Row& row : rows) {
        CZENDB_Sample sample(nullptr, row.id);
        sample.WorkOrder = row.workOrder;
        sample.MeasuredDate = row.measured;
        sample.Signed = row.signedFlag;
        Add(sample);
    }
    using V = std::vector<std::string>;
    EXPECT_EQ(Select(SampleViewAll, nullptr), (V{"e", "d", "c", "b", "a"}));
    EXPECT_EQ(Select(SampleViewSigned, nullptr), (V{"c", "a"}));
    EXPECT_EQ(Select(SampleViewUnsigned, nullptr), (V{"e", "d", "b"}));
    EXPECT_EQ(Select(SampleViewLastWeek, nullptr), (V{"e"}));

    CCriteria range;
    range.Dates("MeasuredDate", Day(2014, 3, 5), Day(2014, 3, 7));
    EXPECT_EQ(Select(SampleViewSearch, range.Map()), (V{"c", "b"}));
    CCriteria text;
    text.Text("WorkOrder", "A12");
    EXPECT_EQ(Select(SampleViewSearch, text.Map()), (V{"e", "b", "a"}));
    CCriteria both;
    both.Text("WorkOrder", "A12").Dates("MeasuredDate", Day(2014, 3, 1), Day(2014, 3, 4));
    EXPECT_EQ(Select(SampleViewSearch, both.Map()), (V{"a"}));

    // One end of the range only: up to and including the day, or from it on.
    CCriteria upTo;
    upTo.Dates("MeasuredDate", CTime(0), CTime(2014, 3, 7, 8, 0, 0));
    EXPECT_EQ(Select(SampleViewSearch, upTo.Map()), (V{"c", "b", "a"}));
    CCriteria from;
    from.Dates("MeasuredDate", Day(2014, 3, 7), CTime(0));
    EXPECT_EQ(Select(SampleViewSearch, from.Map()), (V{"e", "d", "c"}));
    CCriteria upToFirst;
    upToFirst.Dates("MeasuredDate", CTime(0), Day(2014, 3, 4));
    EXPECT_EQ(Select(SampleViewSearch, upToFirst.Map()), (V{"a"}));
}

TEST_P(SamplesTable, SearchTextsFindWhatWasTyped)
{
    const char* const details[] = {"O'Brien", "OBrien", "50%", "500", "A_1", "AB1",
                                   "[x]",     "x",      "a\\b", "ab",  "it''s"};
    for (const char* detail : details) {
        CZENDB_Sample sample(nullptr, detail);
        sample.Detail = detail;
        Add(sample);
    }
    using V = std::vector<std::string>;
    const struct {
        const char* text;
        V found;  // newest first
    } cases[] = {
        {"O'Brien", {"O'Brien"}},
        {"'", {"it''s", "O'Brien"}},
        {"''", {"it''s"}},
        {"50%", {"50%"}},
        {"%", {"50%"}},
        {"A_1", {"A_1"}},
        {"_", {"A_1"}},
        {"[x]", {"[x]"}},
        {"[", {"[x]"}},
        {"a\\b", {"a\\b"}},
        {"\\", {"a\\b"}},
        {"%_[\\", {}},
        {"brien", {"OBrien", "O'Brien"}},  // letter case aside, as before
    };
    for (const auto& c : cases) {
        CCriteria criteria;
        criteria.Text("Detail", c.text);
        EXPECT_EQ(Select(SampleViewSearch, criteria.Map()), c.found) << c.text;
    }
    // A search that cannot be put into SQL lists nothing, never everything.
    CCriteria unusable;
    unusable.Text("Detail", "x").Text("Detail]", "x");
    EXPECT_EQ(Select(SampleViewSearch, unusable.Map()), V{});
}

TEST_P(SamplesTable, ShortListingCarriesDefaultPatternAndRoutineNames)
{
    const int32_t withPattern = Add(CZENDB_Sample(nullptr, "P"));
    const int32_t withRoutine = Add(CZENDB_Sample(nullptr, "R"));
    Add(CZENDB_Sample(nullptr, "none"));
    m_db->Db().ExecuteSQL("INSERT INTO Patterns ([Name], [Deleted]) VALUES ('Nitrided', 0)");
    m_db->Db().ExecuteSQL("INSERT INTO RoutineTypes ([Name], [Deleted]) VALUES ('Gear', 0)");
    CString sql;
    sql.Format("INSERT INTO DefaultProfileToUse VALUES (%d, 1)", withPattern);
    m_db->Db().ExecuteSQL(sql);
    sql.Format("INSERT INTO DefaultRoutineToUse VALUES (%d, 1)", withRoutine);
    m_db->Db().ExecuteSQL(sql);

    CZENDB_ShortSampleRecordset rs(&m_db->Db());
    sql.Format("%s WHERE [Signed] = FALSE ORDER BY [Samples].[SampleID]",
               rs.GetDefaultSQL().GetString());
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, sql, CRecordset::none));
    std::vector<std::string> seen;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        CZENDB_Sample copy;
        copy = rs.m_Sample;
        seen.push_back((copy.UserSampleID + "/" + copy.PatternName + "/" + copy.RoutineName).Str());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"P/Nitrided/", "R//Gear", "none//"}));
}

TEST_P(SamplesTable, RegisteredBySelectListFindsTheLatestRegistration)
{
    for (const auto& [id, day] : {std::pair{"S-7", 3}, {"S-9", 9}, {"S-8", 5}}) {
        CZENDB_Sample sample(nullptr, id);
        sample.RegistrationDate = Day(2020, 1, day);
        Add(sample);
    }
    CZENDB_SampleRegisteredByRecordset rs(&m_db->Db());
    CString sql;
    sql.Format("SELECT TOP 1 %s ORDER BY [RegistrationDate] DESC", rs.GetDefaultSQL().GetString());
    ASSERT_TRUE(rs.Open(CRecordset::dynaset, sql, CRecordset::none));
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.m_Sample.UserSampleID, "S-9");
    EXPECT_EQ(rs.m_Sample.RegistrationDate, Day(2020, 1, 9));
    EXPECT_GT(rs.m_Sample.SampleID, 0);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
}

INSTANTIATE_TEST_SUITE_P(Engines, SamplesTable, ::testing::ValuesIn(zentest::AllEngines()),
                         rstest::EngineParamName);

} // namespace
