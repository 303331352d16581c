// Tests of the facade's sample queries over a real Samples table: the list
// views and the search, the first 5000, the samples measured before a date,
// the unsigned samples, identifier lookup and the next identifier proposal.

#include "FacadeTestSupport.h"

#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CTime.h"
#include "framework/Exceptions.h"
#include "framework/sql/SqlText.h"

#include <memory>

namespace {

using factest::CFacadeTest;

// Owns the samples a query appended.
struct CSampleList {
    CObList list;
    ~CSampleList() { Clear(); }
    void Clear()
    {
        while (!list.IsEmpty())
            delete list.RemoveHead();
    }
    std::vector<const CZENDB_Sample*> Samples() const
    {
        std::vector<const CZENDB_Sample*> samples;
        for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
            samples.push_back(static_cast<const CZENDB_Sample*>(list.GetNext(pos)));
        return samples;
    }
    std::vector<std::string> Ids() const
    {
        std::vector<std::string> ids;
        for (const CZENDB_Sample* sample : Samples())
            ids.push_back(sample->UserSampleID.Str());
        return ids;
    }
};

struct SampleRow {
    std::string id;
    CTime registered;
    CTime measured; // 0: not measured
    bool isSigned = false;
    std::string customer;
};

std::string Quoted(const std::string& text)
{
    return "'" + SqlQuote(text.c_str()).Str() + "'";
}

std::string DateValue(const CTime& t)
{
    return t.GetTime() == 0 ? "NULL" : Quoted(SqlDateTimeText(t).Str());
}

std::string InsertSql(const SampleRow& row)
{
    return "INSERT INTO Samples (UserSampleID, RegistrationDate, MeasuredDate, Signed, Customer) VALUES (" +
           Quoted(row.id) + ", " + DateValue(row.registered) + ", " + DateValue(row.measured) + ", " +
           (row.isSigned ? "1" : "0") + ", " + Quoted(row.customer) + ")";
}

class SampleQueries : public CFacadeTest {
protected:
    void SetUp() override
    {
        CFacadeTest::SetUp();
        if (!Ready())
            return;
        CreateDatabase();
    }

    void Insert(const std::vector<SampleRow>& rows)
    {
        std::vector<std::string> statements;
        for (const SampleRow& row : rows)
            statements.push_back(InsertSql(row));
        factest::Exec(m_connect, statements);
    }

    void Open() { ASSERT_EQ(OpenPlain(), 1); }

    const CTime m_now = CTime::GetCurrentTime();
    const CTimeSpan m_day{1, 0, 0, 0};
};

TEST_P(SampleQueries, EmptyTableAnswersNothing)
{
    Open();
    CSampleList list;
    for (int view = SampleViewAll; view <= SampleViewSigned; ++view)
        EXPECT_EQ(m_facade.GetSamples(static_cast<SampleViewTypeType>(view), nullptr, list.list), 0);
    m_facade.GetFirst5000Samples(list.list);
    m_facade.GetUnsignedSamples(list.list);
    m_facade.GetSamplesBefore(list.list, COleDateTime(2030, 1, 1, 0, 0, 0));
    EXPECT_TRUE(list.list.IsEmpty());
    EXPECT_EQ(m_facade.GetNextUserSampleID(), "");
    int32_t key = 42;
    EXPECT_FALSE(m_facade.SampleExist("S-1", key));
    EXPECT_EQ(key, 42);
    EXPECT_TRUE(m_host.GetMessages().empty());
}

TEST_P(SampleQueries, ViewsSelectTheirSamplesNewestFirst)
{
    const CTime old = m_now - CTimeSpan(100, 0, 0, 0);
    Insert({
        {"old-signed", old, old, true, "ACME"},
        {"old-open", old, old, false, "Other"},
        {"month", m_now, m_now - CTimeSpan(20, 0, 0, 0), false, "ACME Steel"},
        {"week", m_now, m_now - CTimeSpan(2, 0, 0, 0), true, "Other"},
        {"unmeasured", m_now, CTime(), false, "acme"},
    });
    Open();
    struct {
        SampleViewTypeType view;
        std::vector<std::string> ids;
    } const cases[] = {
        {SampleViewAll, {"unmeasured", "week", "month", "old-open", "old-signed"}},
        {SampleViewLastWeek, {"week"}},
        {SampleViewLastMonth, {"week", "month"}},
        {SampleViewUnsigned, {"unmeasured", "month", "old-open"}},
        {SampleViewSigned, {"week", "old-signed"}},
    };
    for (const auto& c : cases) {
        CSampleList list;
        EXPECT_EQ(m_facade.GetSamples(c.view, nullptr, list.list), static_cast<int>(c.ids.size())) << c.view;
        EXPECT_EQ(list.Ids(), c.ids) << c.view;
        for (const CZENDB_Sample* sample : list.Samples()) {
            EXPECT_EQ(sample->Database, &m_facade);
            EXPECT_TRUE(sample->KeepConnection);
            EXPECT_GT(sample->SampleID, 0);
        }
    }

    // Search: a text criterion on a column; a map without criteria lists all.
    SampleSearchCriterion customer;
    customer.Text = "ACME";
    CMapStringToPtr criteria;
    criteria.SetAt("Customer", &customer);
    CSampleList found;
    m_facade.GetSamples(SampleViewSearch, &criteria, found.list);
    EXPECT_EQ(found.Ids(), (std::vector<std::string>{"unmeasured", "month", "old-signed"}));
    CMapStringToPtr none;
    CSampleList all;
    EXPECT_EQ(m_facade.GetSamples(SampleViewSearch, &none, all.list), 5);
    EXPECT_EQ(all.Ids().front(), "unmeasured");

    // Lists are appended to.
    EXPECT_EQ(m_facade.GetSamples(SampleViewSearch, &none, all.list), 5);
    EXPECT_EQ(all.list.GetCount(), 10);
}

TEST_P(SampleQueries, QueryErrorsAreReportedByGetSamplesAndPassElsewhere)
{
    Open();
    factest::Exec(m_connect, {"DROP TABLE DefaultRoutineToUse", "ALTER TABLE Samples RENAME COLUMN Customer TO Client"});
    CSampleList list;
    EXPECT_EQ(m_facade.GetSamples(SampleViewAll, nullptr, list.list), 0);
    EXPECT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_THROW(m_facade.GetFirst5000Samples(list.list), CDBException);
    EXPECT_THROW(m_facade.GetUnsignedSamples(list.list), CDBException);
    EXPECT_TRUE(list.list.IsEmpty());
}

TEST_P(SampleQueries, FirstFiveThousandAreTheSmallestKeysInOrder)
{
    std::vector<SampleRow> rows;
    for (int i = 0; i < 6000; ++i)
        rows.push_back({"S-" + std::to_string(i), m_now, CTime(), false, ""});
    Insert(rows);
    Open();
    CSampleList list;
    m_facade.GetFirst5000Samples(list.list);
    const auto samples = list.Samples();
    ASSERT_EQ(samples.size(), 5000u);
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i]->SampleID, static_cast<int32_t>(i + 1));
    EXPECT_EQ(samples.back()->UserSampleID, "S-4999");
}

TEST_P(SampleQueries, SamplesBeforeADayLeaveOutUnmeasuredOnes)
{
    Insert({
        {"april", m_now, CTime(2014, 4, 30, 23, 59, 59), false, ""},
        {"may-first", m_now, CTime(2014, 5, 1, 0, 0, 0), false, ""},
        {"march", m_now, CTime(2014, 3, 2, 8, 0, 0), false, ""},
        {"unmeasured", m_now, CTime(), false, ""},
    });
    Open();
    CSampleList list;
    // The time of day of the argument does not count: its day starts the limit.
    m_facade.GetSamplesBefore(list.list, COleDateTime(2014, 5, 1, 15, 30, 0));
    auto ids = list.Ids();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"april", "march"}));

    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    EXPECT_THROW(m_facade.GetSamplesBefore(list.list, invalid), CDBException);
}

TEST_P(SampleQueries, UnsignedSamplesCarryTheirDefaultTestNames)
{
    Insert({{"A", m_now, CTime(), false, "x"}, {"B", m_now, CTime(), true, "y"}, {"C", m_now, CTime(), false, "z"}});
    factest::Exec(m_connect, {"INSERT INTO Patterns (Name, Deleted) VALUES ('Pattern one', 0)",
                             "INSERT INTO DefaultProfileToUse (SampleID, UseProfileTypeID) VALUES (3, 1)"});
    Open();
    CSampleList list;
    m_facade.GetUnsignedSamples(list.list);
    const auto samples = list.Samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0]->UserSampleID, "A");
    EXPECT_EQ(samples[1]->UserSampleID, "C");
    EXPECT_EQ(samples[1]->PatternName, "Pattern one");
    // Only the listed columns come from the row.
    EXPECT_EQ(samples[0]->Customer, "");
    EXPECT_TRUE(samples[0]->KeepConnection);
}

// Identifiers compare as the unique index compares them: ASCII letters
// without regard to case (on the server every letter), every other character
// exactly.
TEST_P(SampleQueries, SampleExistFindsIdentifiersWithoutRegardToAsciiLetterCase)
{
    Insert({{"S-1", m_now, CTime(), false, ""}, {"O'Brien 7", m_now, CTime(), false, ""},
            {"\xC3\x84-3", m_now, CTime(), false, ""}});
    Open();
    struct {
        const char* id;
        bool exists;
        int32_t key;
    } const cases[] = {
        {"S-1", true, 1},          {"s-1", true, 1},         {"O'Brien 7", true, 2}, {"o'bRIEN 7", true, 2},
        {"\xC3\x84-3", true, 3}, {"\xC3\xA4-3", m_quirks.caseBlindBeyondAscii, m_quirks.caseBlindBeyondAscii ? 3 : -5},
        {"S-1 ", false, -5},     {"' OR '1'='1", false, -5}, {"", false, -5},
    };
    for (const auto& c : cases) {
        int32_t key = -5;
        EXPECT_EQ(m_facade.SampleExist(c.id, key), c.exists) << c.id;
        EXPECT_EQ(key, c.key) << c.id;
    }
    EXPECT_TRUE(m_host.GetMessages().empty());
}

TEST_P(SampleQueries, NextIdentifierFollowsTheLatestRegistration)
{
    Open();
    struct {
        const char* latest;
        const char* proposal;
    } const cases[] = {
        {"A007", "A008"},   {"B7-7", "B8-8"},
        {"AB12X3", "AB13X3"},  {"2019-05", "2020-05"}, {"ABC", "ABC1"}, {"X0", "X01"},
        {"N-2147483647", "N-2147483648"}, {"Q99999999999999999999", "Q100000000000000000000"},
        // A carry that lengthens the number takes the place of a leading
        // zero: the padded width stays; without padding the number grows.
        {"S-0009", "S-0010"}, {"S-0099", "S-0100"}, {"A009", "A010"},   {"W-09", "W-10"},
        {"S-9", "S-10"},      {"S-0999", "S-1000"}, {"S-9999", "S-10000"}, {"0099", "0100"},
        {"B09-09", "B10-10"}, {"B9-9", "B10-10"},   {"K-019", "K-020"},    {"K-0199", "K-0200"},
    };
    CTime registered = m_now - CTimeSpan(1000, 0, 0, 0);
    for (const auto& c : cases) {
        registered = registered + m_day;
        factest::Exec(m_connect, {InsertSql({c.latest, registered, CTime(), false, ""})});
        EXPECT_EQ(m_facade.GetNextUserSampleID().Str(), c.proposal) << c.latest;
    }

    // The latest registration without identifier: another one of the same
    // date stands in; alone it leaves nothing to propose.
    registered = registered + m_day;
    factest::Exec(m_connect, {InsertSql({"T-5", registered, CTime(), false, ""}),
                             InsertSql({"", registered, CTime(), false, ""})});
    EXPECT_EQ(m_facade.GetNextUserSampleID(), "T-6");
    registered = registered + m_day;
    factest::Exec(m_connect, {InsertSql({"", registered, CTime(), false, ""})});
    EXPECT_EQ(m_facade.GetNextUserSampleID(), "");
    EXPECT_TRUE(m_host.GetMessages().empty());
}

ZEN_FACADE_ENGINES(SampleQueries);

} // namespace
