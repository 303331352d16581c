// Local date-time conversion of CTime (the cached local midnights) against
// the C runtime's mktime, minute by minute around changes of UTC offset in
// several zones, a change of TZ without tzset, and the stored date texts of
// the recordsets read back in a zone with daylight saving, on each engine.
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "framework/CTime.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/SqlDates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

// The process time zone as it was when made, set again when destroyed, so
// that a test may change TZ.
class CKeptTimeZone {
public:
    CKeptTimeZone()
    {
        const char* tz = std::getenv("TZ");
        m_had = tz != nullptr;
        m_saved = tz ? tz : "";
    }
    ~CKeptTimeZone()
    {
        if (m_had)
            setenv("TZ", m_saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    CKeptTimeZone(const CKeptTimeZone&) = delete;
    CKeptTimeZone& operator=(const CKeptTimeZone&) = delete;

private:
    bool m_had = false;
    std::string m_saved;
};

// Runs a test with the process time zone set, restoring it afterwards.
class SqlDates : public ::testing::Test {
protected:

public:
    // What the C runtime gives for the local fields (the measure).
    static time_t Reference(int y, int m, int d, int hh, int mm, int ss)
    {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = m - 1;
        tm.tm_mday = d;
        tm.tm_hour = hh;
        tm.tm_min = mm;
        tm.tm_sec = ss;
        tm.tm_isdst = -1;
        return std::mktime(&tm);
    }

private:
    CKeptTimeZone m_zone;
};

// Days with a change of offset, the days around them and ordinary days.
struct ZoneDay {
    const char* zone;
    int year, month, day;
};

const ZoneDay kDays[] = {
    {"Europe/Berlin", 2024, 3, 31},   // 02:00 -> 03:00
    {"Europe/Berlin", 2024, 10, 27},  // 03:00 -> 02:00
    {"Europe/Berlin", 2014, 7, 15},   // summer, no change
    {"America/New_York", 2024, 3, 10},
    {"America/New_York", 2024, 11, 3},
    {"America/Santiago", 2024, 4, 7},  // 00:00 -> 23:00 of the day before
    {"America/Santiago", 2024, 9, 8},  // 00:00 -> 01:00: the day starts at 01:00
    {"Asia/Beirut", 2023, 10, 29},     // 00:00 -> 23:00 of the day before
    {"America/Havana", 2024, 3, 10},
    {"Australia/Lord_Howe", 2024, 4, 7}, // half an hour back
    {"Pacific/Apia", 2011, 12, 30},      // a day that never happened
    {"UTC", 2024, 3, 31},
};

TEST_F(SqlDates, LocalFieldsGiveWhatMktimeGives)
{
    for (const ZoneDay& z : kDays) {
        setenv("TZ", z.zone, 1); // no tzset: the conversion must notice by itself
        for (int offset = -2; offset <= 2; ++offset) {
            for (int minute = 0; minute < 24 * 60; minute += 5) {
                const int h = minute / 60;
                const int mi = minute % 60;
                // the day's number through mktime's own normalisation of day + offset
                std::tm day{};
                day.tm_year = z.year - 1900;
                day.tm_mon = z.month - 1;
                day.tm_mday = z.day + offset;
                day.tm_hour = 12;
                day.tm_isdst = -1;
                std::mktime(&day);
                const int y = day.tm_year + 1900;
                const int m = day.tm_mon + 1;
                const int d = day.tm_mday;
                for (int s : {0, 59}) {
                    // mktime starts its search from the offset of its previous
                    // call, which decides between the two readings of a
                    // repeated hour: lead it in from either side.
                    Reference(y, m, d + (s == 0 ? 3 : -3), 12, 0, 0);
                    const time_t expected = Reference(y, m, d, h, mi, s);
                    const CTime t(y, m, d, h, mi, s);
                    ASSERT_EQ(t.GetTime(), static_cast<ZTIME>(expected))
                        << z.zone << " " << y << "-" << m << "-" << d << " " << h << ":" << mi << ":" << s;
                }
            }
        }
    }
}

TEST_F(SqlDates, FieldsOutOfRangeAreNormalisedAsBefore)
{
    setenv("TZ", "Europe/Berlin", 1);
    const struct {
        int y, m, d, hh, mm, ss;
    } cases[] = {{2024, 13, 1, 0, 0, 0}, {2024, 3, 32, 0, 0, 0}, {2024, 2, 30, 12, 0, 0}, {2024, 3, 31, 24, 0, 0},
                 {2024, 3, 31, 1, 60, 0}, {2024, 3, 31, 2, 30, 60}, {2024, 1, 0, 0, 0, 0}, {1969, 12, 31, 23, 59, 59},
                 {999, 1, 1, 0, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CTime(c.y, c.m, c.d, c.hh, c.mm, c.ss).GetTime(), Reference(c.y, c.m, c.d, c.hh, c.mm, c.ss))
            << c.y << "-" << c.m << "-" << c.d << " " << c.hh << ":" << c.mm << ":" << c.ss;
}

TEST_F(SqlDates, AChangeOfZoneIsSeenAtTheNextConversion)
{
    setenv("TZ", "Europe/Berlin", 1);
    const ZTIME berlin = CTime(2024, 7, 1, 12, 0, 0).GetTime();
    setenv("TZ", "America/New_York", 1);
    const ZTIME newYork = CTime(2024, 7, 1, 12, 0, 0).GetTime();
    EXPECT_EQ(newYork - berlin, 6 * 3600);
    setenv("TZ", "Europe/Berlin", 1);
    EXPECT_EQ(CTime(2024, 7, 1, 12, 0, 0).GetTime(), berlin);
    unsetenv("TZ");
    EXPECT_EQ(CTime(2024, 7, 1, 12, 0, 0).GetTime(), Reference(2024, 7, 1, 12, 0, 0));
}

// Dates of decades read in random order (as lookups by identifier read a large
// table): every day is converted as mktime converts it, on the first reading
// and on the readings after it, in a zone with daylight saving and in UTC,
// and again after the zone changed in between.
TEST_F(SqlDates, DaysOfDecadesInRandomOrderGiveWhatMktimeGives)
{
    const time_t first = 946684800; // 2000-01-01 00:00 UTC
    const int days = 45 * 366;
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    for (const char* zone : {"Europe/Berlin", "UTC", "America/New_York", "Europe/Berlin"}) {
        setenv("TZ", zone, 1);
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < 6000; ++i) {
                const time_t at = first + static_cast<time_t>(next() % days) * 86400 + (next() % 86400);
                std::tm utc{};
                gmtime_r(&at, &utc);
                const int y = utc.tm_year + 1900, m = utc.tm_mon + 1, d = utc.tm_mday;
                const int hh = utc.tm_hour, mm = utc.tm_min, ss = utc.tm_sec;
                // Both readings of a repeated hour are right; lead mktime in
                // from the same side for both (as in the test above).
                Reference(y, m, d, 12, 0, 0);
                const time_t expected = Reference(y, m, d, hh, mm, ss);
                ASSERT_EQ(CTime(y, m, d, hh, mm, ss).GetTime(), static_cast<ZTIME>(expected))
                    << zone << " pass " << pass << " " << y << "-" << m << "-" << d << " " << hh << ":" << mm << ":"
                    << ss;
            }
        }
    }
}

// Stored date texts: the usual form and the others the engine may hold.
TEST(SqlStoredDateTexts, ReadAsTheirPartsOrRefused)
{
    const struct {
        const char* text;
        const char* parts; // "y m d h mi s", or nullptr: not a date
    } cases[] = {
        {"2014-03-05 08:09:10", "2014 3 5 8 9 10"},
        {"2014-03-05T23:59:59", "2014 3 5 23 59 59"},
        {"2024-02-29 00:00:00", "2024 2 29 0 0 0"},
        {"2014-03-05", "2014 3 5 0 0 0"},
        {"2014-03-05 08:09", "2014 3 5 8 9 0"},
        {"2014-03-05 08:09:10.250", "2014 3 5 8 9 10"},
        {"2023-02-29 00:00:00", nullptr},
        {"2014-13-05 08:09:10", nullptr},
        {"2014-03-05 24:00:00", nullptr},
        {"2014-03-05 08:60:00", nullptr},
        {"2014-03-05 08:09:60", nullptr},
        {"2014-03-05x08:09:10", nullptr},
        {"2014-03-05 08:09:1a", nullptr},
        {"2014/03/05 08:09:10", nullptr},
        {"20140-3-05 08:09:10", nullptr},
        {" 2014-03-05 08:09:1", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        CDateParts parts;
        const bool read = ParseStoredDateTime(c.text, parts);
        ASSERT_EQ(read, c.parts != nullptr) << c.text;
        if (!read)
            continue;
        const std::string got = std::to_string(parts.year) + " " + std::to_string(parts.month) + " " +
                                std::to_string(parts.day) + " " + std::to_string(parts.hour) + " " +
                                std::to_string(parts.minute) + " " + std::to_string(parts.second);
        EXPECT_EQ(got, c.parts) << c.text;
    }
}

class CStampSet : public CRecordset {
public:
    explicit CStampSet(CDatabase* db) : CRecordset(db) { m_nFields = 2; }
    int32_t m_ID = 0;
    CTime m_When;
    CString GetDefaultSQL() override { return "SELECT [ID], [When] FROM Stamps ORDER BY ID"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "[ID]", m_ID);
        RFX_Date(pFX, "[When]", m_When);
    }
};

// The same, with a fresh database of each engine.
class SqlStoredDates : public ::testing::TestWithParam<zentest::ETestEngine> {
protected:
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        ASSERT_FALSE(m_database->ConnectString().IsEmpty());
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;

private:
    CKeptTimeZone m_zone;
};

TEST_P(SqlStoredDates, StoredTextsReadBackAcrossADaylightSavingChange)
{
    setenv("TZ", "Europe/Berlin", 1);
    CDatabase db;
    db.OpenEx(m_database->ConnectString());
    db.ExecuteSQL("CREATE TABLE Stamps (ID COUNTER PRIMARY KEY, [When] DATETIME)");
    // Every 20 minutes over the autumn night, written as text and read back.
    const char* const texts[] = {"2024-10-26 23:40:00", "2024-10-27 00:00:00", "2024-10-27 01:40:00",
                                 "2024-10-27 02:00:00", "2024-10-27 02:20:00", "2024-10-27 02:40:00",
                                 "2024-10-27 03:00:00", "2024-03-31 01:40:00", "2024-03-31 02:20:00",
                                 "2024-03-31 03:00:00", "2024-12-31 23:59:59"};
    for (const char* text : texts)
        db.ExecuteSQL(CString("INSERT INTO Stamps ([When]) VALUES ('") + text + "')");
    CStampSet rs(&db);
    rs.Open();
    for (const char* text : texts) {
        ASSERT_FALSE(rs.IsEOF());
        CTime expected;
        ASSERT_TRUE(ParseSqlDateTimeText(text, expected));
        EXPECT_EQ(rs.m_When.GetTime(), expected.GetTime()) << text;
        int y, m, d, hh, mm, ss;
        ASSERT_EQ(std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &m, &d, &hh, &mm, &ss), 6);
        EXPECT_EQ(rs.m_When.GetTime(), SqlDates::Reference(y, m, d, hh, mm, ss)) << text;
        rs.MoveNext();
    }
    EXPECT_TRUE(rs.IsEOF());
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlStoredDates, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<zentest::ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
