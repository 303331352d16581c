// Local-time conversion of CTime through the thread-safe C runtime calls, with
// a per-thread cache of local midnights so that building a CTime from local
// fields costs no tzset (glibc's mktime runs one per call, and with TZ unset
// that is a stat of /etc/localtime every time).
#include "framework/CTime.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>
#include <sys/stat.h>

namespace {

std::tm Local(ZTIME t)
{
    std::tm out{};
    const time_t tt = static_cast<time_t>(t);
    localtime_r(&tt, &out);
    return out;
}

CString FormatTm(const std::tm& tm, const char* format)
{
    if (format == nullptr || *format == '\0')
        return CString();
    // strftime gives 0 both for "too small" and for an empty result; grow a few
    // times, then give up with an empty text.
    for (size_t size = 128; size <= 65536; size *= 4) {
        std::string buffer(size, '\0');
        const size_t n = std::strftime(buffer.data(), buffer.size(), format, &tm);
        if (n > 0) {
            buffer.resize(n);
            return CString(std::move(buffer));
        }
    }
    return CString();
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar:
// era = floor(y'/400) with the year starting in March (y' = y - [m <= 2]),
// doe = 365*yoe + yoe/4 - yoe/100 + doy, days = 146097*era + doe - 719468.
int64_t DaysFromCivil(int y, int m, int d)
{
    const int64_t yy = static_cast<int64_t>(y) - (m <= 2 ? 1 : 0);
    const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    const int64_t yoe = yy - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Local midnights of calendar days, for the zone in effect. A day is cached
// only when the UTC offset is the same from 26 hours before its midnight to
// 26 hours after its end (sampled every hour, and checked against the local
// fields at both ends): then every time of the day exists exactly once, and
// mktime's answer is midnight + seconds of the day. Days near a change of
// offset (gaps, repeated hours, also those that spill into a neighbouring day
// at a change at midnight) are left to mktime itself. (Consecutive changes of
// offset are days apart in the zone data; the hourly samples only guard
// against a zone that one day changes twice between two samples of a fill.)
//
// The zone is re-read as mktime re-reads it: when the TZ variable changes,
// and, with TZ unset, when /etc/localtime is replaced (its identity is
// checked at most once a second). The C runtime's zone names and offset are
// compared as well, so that a tzset made elsewhere for another zone (TZ
// changed and changed back) brings the runtime back in step, as mktime's own
// tzset would. One cache per thread: no locking.
class CLocalMidnights {
public:
    // Local midnight of y-m-d (days: its day number) in seconds since 1970;
    // false when the day must be left to mktime.
    bool Find(int64_t days, int y, int m, int d, ZTIME& midnight)
    {
        Refresh();
        if (m_entries.empty())
            m_entries.assign(kEntries, Entry());
        Entry& e = m_entries[static_cast<size_t>(days) % kEntries];
        if (e.day != days) {
            // A day is worked out from the zone that mktime would use now.
            tzset();
            if (!(CurrentRuntimeZone() == m_runtime)) {
                Forget();
                m_runtime = CurrentRuntimeZone();
            }
            e = Fill(days, y, m, d);
        }
        if (e.offset == kNotUniform)
            return false;
        midnight = static_cast<ZTIME>(days) * 86400 - e.offset;
        return true;
    }

private:
    // A day's number and its UTC offset in seconds (local midnight = day *
    // 86400 - offset), or kNotUniform for a day left to mktime. Eight bytes,
    // so that enough days for the dates of decades of samples stay cached:
    // a table read in random order (lookups by identifier) then fills each
    // day once instead of once per lookup, as it did when the days of a
    // large table outnumbered the entries.
    static constexpr int32_t kNotUniform = INT32_MIN;
    static constexpr int32_t kNoDay = INT32_MIN;
    struct Entry {
        int32_t day = kNoDay;
        int32_t offset = kNotUniform;
    };
    // 16384 days (about 44 years); allocated on a thread's first conversion.
    static constexpr size_t kEntries = 16384;

    void Forget()
    {
        if (!m_entries.empty())
            std::fill(m_entries.begin(), m_entries.end(), Entry());
    }

    // The identity of the system zone file, as the C runtime compares it.
    struct FileId {
        dev_t dev = 0;
        ino_t ino = 0;
        time_t mtime = 0;
        off_t size = 0;
        bool exists = false;
        bool operator==(const FileId&) const = default;
    };

    // Hours sampled on each side of the day (a change at up to a day's
    // distance can repeat times of this day).
    static constexpr int kMarginHours = 26;

    static FileId SystemZoneFile()
    {
        FileId id;
        struct stat st {};
        if (::stat("/etc/localtime", &st) == 0) {
            id.dev = st.st_dev;
            id.ino = st.st_ino;
            id.mtime = st.st_mtime;
            id.size = st.st_size;
            id.exists = true;
        }
        return id;
    }

    // What the C runtime's last tzset left behind.
    struct RuntimeZone {
        const char* standardName = nullptr;
        const char* daylightName = nullptr;
        long offset = 0;
        int hasDaylight = 0;
        bool operator==(const RuntimeZone&) const = default;
    };

    static RuntimeZone CurrentRuntimeZone() { return {tzname[0], tzname[1], timezone, daylight}; }

    void Refresh()
    {
        const char* tz = std::getenv("TZ");
        const bool sameZone = m_started && (tz ? m_hasTz && m_tz == tz : !m_hasTz) &&
                              CurrentRuntimeZone() == m_runtime;
        if (sameZone && tz)
            return;
        FileId file;
        if (!tz) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
            if (sameZone && now.tv_sec == m_checkedSecond)
                return;
            m_checkedSecond = now.tv_sec;
            file = SystemZoneFile();
            if (sameZone && file == m_file)
                return;
        }
        tzset();
        Forget();
        m_started = true;
        m_hasTz = tz != nullptr;
        m_tz = tz ? tz : "";
        m_file = file;
        m_runtime = CurrentRuntimeZone();
    }

    static bool LocalAt(ZTIME t, std::tm& out)
    {
        const time_t tt = static_cast<time_t>(t);
        return localtime_r(&tt, &out) != nullptr;
    }

    static bool Is(const std::tm& tm, int y, int m, int d, int hh, int mm, int ss)
    {
        return tm.tm_year == y - 1900 && tm.tm_mon == m - 1 && tm.tm_mday == d && tm.tm_hour == hh &&
               tm.tm_min == mm && tm.tm_sec == ss;
    }

    static Entry Fill(int64_t days, int y, int m, int d)
    {
        Entry e;
        e.day = static_cast<int32_t>(days);
        const ZTIME utcMidnight = days * 86400;
        std::tm tm{};
        if (!LocalAt(utcMidnight, tm))
            return e;
        long offset = tm.tm_gmtoff;
        // The offset at UTC midnight is a guess; a second try takes the one
        // found at the local midnight it pointed to.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const ZTIME midnight = utcMidnight - offset;
            if (!LocalAt(midnight, tm))
                return e;
            if (tm.tm_gmtoff != offset) {
                offset = tm.tm_gmtoff;
                continue;
            }
            if (!Is(tm, y, m, d, 0, 0, 0))
                return e;
            const ZTIME last = midnight + 86399;
            if (!LocalAt(last, tm) || tm.tm_gmtoff != offset || !Is(tm, y, m, d, 23, 59, 59))
                return e;
            for (int h = -kMarginHours; h <= 24 + kMarginHours; ++h) {
                if (!LocalAt(midnight + h * 3600LL, tm) || tm.tm_gmtoff != offset)
                    return e;
            }
            e.offset = static_cast<int32_t>(offset);
            return e;
        }
        return e;
    }

    std::vector<Entry> m_entries;
    bool m_started = false;
    bool m_hasTz = false;
    std::string m_tz;
    FileId m_file;
    RuntimeZone m_runtime;
    time_t m_checkedSecond = 0;
};

thread_local CLocalMidnights t_midnights;

// mktime's result for local fields in their usual ranges (dst left to the
// zone); false when the fields need mktime's normalisation or the day is
// near a change of offset.
bool LocalFieldsToTime(int year, int month, int day, int hour, int minute, int second, ZTIME& out)
{
    if (year < 1000 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    ZTIME midnight = 0;
    if (!t_midnights.Find(DaysFromCivil(year, month, day), year, month, day, midnight))
        return false;
    out = midnight + hour * 3600LL + minute * 60LL + second;
    return true;
}

} // namespace

CTimeSpan::CTimeSpan(long long days, int hours, int minutes, int seconds)
    : m_span(days * 86400 + hours * 3600LL + minutes * 60LL + seconds)
{
}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst)
{
    if (dst < 0 && LocalFieldsToTime(year, month, day, hour, minute, second, m_time))
        return;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = dst < 0 ? -1 : (dst > 0 ? 1 : 0);
    m_time = static_cast<ZTIME>(std::mktime(&tm));
}

CTime CTime::GetCurrentTime()
{
    return CTime(static_cast<ZTIME>(std::time(nullptr)));
}

int CTime::GetYear() const { return Local(m_time).tm_year + 1900; }
int CTime::GetMonth() const { return Local(m_time).tm_mon + 1; }
int CTime::GetDay() const { return Local(m_time).tm_mday; }
int CTime::GetHour() const { return Local(m_time).tm_hour; }
int CTime::GetMinute() const { return Local(m_time).tm_min; }
int CTime::GetSecond() const { return Local(m_time).tm_sec; }
int CTime::GetDayOfWeek() const { return Local(m_time).tm_wday + 1; }

CString CTime::Format(const char* format) const
{
    return FormatTm(Local(m_time), format);
}

CString CTime::FormatGmt(const char* format) const
{
    std::tm out{};
    const time_t tt = static_cast<time_t>(m_time);
    gmtime_r(&tt, &out);
    return FormatTm(out, format);
}
