// Shared pieces of the benchmarks that compare the library with raw SQLite
// C-API calls: error checks of the raw calls, the raw connection opened as the
// library opens its own, statements prepared once, the sample identifiers the
// benchmark databases use, and the build of a cached benchmark database.
#pragma once

#include "database/Schema.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/CString.h"
#include "framework/CTime.h"

#include "Paired.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace zenbench {

// Folder of the cached benchmark databases: ZEN_BENCH_DATA when set (so that
// two builds measure the very same files), else the build folder.
inline std::string DataDir(const char* buildFolder)
{
    const char* dir = std::getenv("ZEN_BENCH_DATA");
    const std::string path = dir && *dir ? dir : buildFolder;
    std::filesystem::create_directories(path);
    return path;
}

// Throws with the engine's message when a raw call did not succeed.
inline void Check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// A raw connection opened the way the library opens its own: read-write,
// extended result codes, no per-connection mutex (one thread per
// connection), double-quoted strings off, a 5-second busy wait, every commit
// synced (synchronous FULL) and the write-ahead log.
class CRawConnection {
public:
    explicit CRawConnection(const std::string& path)
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX, nullptr);
        m_db.reset(raw);
        Check(rc, raw, "open");
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
        sqlite3_busy_timeout(raw, 5000);
        Exec("PRAGMA synchronous = FULL");
        Exec("PRAGMA journal_mode = WAL");
    }
    sqlite3* Get() const { return m_db.get(); }
    void Exec(const char* sql) const
    {
        Check(sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr), m_db.get(), sql);
    }

private:
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> m_db{nullptr, sqlite3_close};
};

// A statement prepared once and reset after each use.
class CRawStatement {
public:
    CRawStatement(sqlite3* db, const std::string& sql) : m_db(db)
    {
        sqlite3_stmt* raw = nullptr;
        Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr), db, sql.c_str());
        m_stmt.reset(raw);
    }
    sqlite3_stmt* Get() const { return m_stmt.get(); }
    // Steps once; true on a row.
    bool Step() const
    {
        const int rc = sqlite3_step(m_stmt.get());
        Check(rc, m_db, "step");
        return rc == SQLITE_ROW;
    }
    void Reset() const { sqlite3_reset(m_stmt.get()); }

private:
    sqlite3* m_db;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> m_stmt{nullptr, sqlite3_finalize};
};

// Every column of Samples, in the order of the samples recordset.
inline const char* const kSampleColumns =
    "SELECT SampleID, UserSampleID, WorkOrder, PartNo, Detail, Customer, Material, "
    "RegistrationDate, RegisteredBy, DueDate, MeasuredDate, MeasuredBy, Signed, Signature, "
    "CustomField1, CustomField2, CustomField3, CustomField4, CustomField5, CustomField6, "
    "CustomField7, CustomField8, CustomField9, CustomField10, CustomField11, CustomField12, "
    "CustomField13, CustomField14, CustomField15, CustomField16, CustomField17, CustomField18, "
    "CustomField19, Trace FROM Samples";

// A stored "YYYY-MM-DD HH:MM:SS" as local time; 0 for NULL.
inline CTime RawDate(sqlite3_stmt* stmt, int column)
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (t == nullptr || sqlite3_column_bytes(stmt, column) < 19)
        return CTime(0);
    const auto n = [t](int at, int digits) {
        int v = 0;
        for (int i = 0; i < digits; ++i)
            v = v * 10 + (t[at + i] - '0');
        return v;
    };
    return CTime(n(0, 4), n(5, 2), n(8, 2), n(11, 2), n(14, 2), n(17, 2));
}

inline void RawText(sqlite3_stmt* stmt, int column, CString& into)
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    into.StdString().assign(t ? t : "", t ? static_cast<size_t>(sqlite3_column_bytes(stmt, column)) : 0);
}

// A row of kSampleColumns into a sample, as a program that uses the
// library's sample objects but reads the engine itself would fill it: texts,
// dates as local time, the trace decoded from its block.
inline void FillSampleFields(sqlite3_stmt* stmt, CZENDB_Sample& sample);
inline void FillSample(sqlite3_stmt* stmt, CZENDB_Sample& sample)
{
    FillSampleFields(stmt, sample);
    sample.Trace.RemoveAll();
    const int bytes = sqlite3_column_bytes(stmt, 33);
    if (bytes > 1) {
        auto* block = static_cast<BYTE*>(const_cast<void*>(sqlite3_column_blob(stmt, 33)));
        CMemFile file(block, static_cast<UINT>(bytes), 0);
        CArchive archive(&file, CArchive::load, 4096);
        sample.Trace.Serialize(archive, -1);
    }
}

// Every column of the row but the trace into the sample's fields.
inline void FillSampleFields(sqlite3_stmt* stmt, CZENDB_Sample& sample)
{
    sample.SampleID = sqlite3_column_int(stmt, 0);
    CString* const texts[] = {&sample.UserSampleID, &sample.WorkOrder, &sample.PartNo, &sample.Detail,
                              &sample.Customer, &sample.Material};
    for (int i = 0; i < 6; ++i)
        RawText(stmt, i + 1, *texts[i]);
    sample.RegistrationDate = RawDate(stmt, 7);
    RawText(stmt, 8, sample.RegisteredBy);
    sample.DueDate = RawDate(stmt, 9);
    sample.MeasuredDate = RawDate(stmt, 10);
    RawText(stmt, 11, sample.MeasuredBy);
    sample.Signed = sqlite3_column_int(stmt, 12) != 0 ? TRUE : FALSE;
    RawText(stmt, 13, sample.Signature);
    CString* const custom[] = {&sample.CustomField1,  &sample.CustomField2,  &sample.CustomField3,
                               &sample.CustomField4,  &sample.CustomField5,  &sample.CustomField6,
                               &sample.CustomField7,  &sample.CustomField8,  &sample.CustomField9,
                               &sample.CustomField10, &sample.CustomField11, &sample.CustomField12,
                               &sample.CustomField13, &sample.CustomField14, &sample.CustomField15,
                               &sample.CustomField16, &sample.CustomField17, &sample.CustomField18,
                               &sample.CustomField19};
    for (int i = 0; i < 19; ++i)
        RawText(stmt, 14 + i, *custom[i]);
}

// The event log of a program that writes its own, as carefully as the
// station must: each entry formatted as the library's lines are (local time
// to the millisecond, level, module and line, function, message) and
// appended with one write to a file held open, so that it is in the file
// when the call returns. The time's text is made once a second. Between Hold
// and Flush the entries are kept and written with one write (as the library
// writes a save's steps between two statements). Throws when the file cannot
// be opened or written.
class CRawEventLog {
public:
    explicit CRawEventLog(const std::string& path)
        : m_fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666))
    {
        if (m_fd < 0)
            throw std::runtime_error("raw event log not opened: " + path);
    }
    ~CRawEventLog()
    {
        if (!m_held.empty())
            (void)::write(m_fd, m_held.data(), m_held.size());
        ::close(m_fd);
    }
    void Hold() { m_holding = true; }
    void Flush()
    {
        m_holding = false;
        WriteAll(m_held.data(), m_held.size());
        m_held.clear();
    }
    CRawEventLog(const CRawEventLog&) = delete;
    CRawEventLog& operator=(const CRawEventLog&) = delete;

    __attribute__((format(printf, 5, 6))) void Entry(const char* module, int line, const char* function,
                                                     const char* format, ...)
    {
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec != m_second) {
            std::tm local {};
            localtime_r(&now.tv_sec, &local);
            std::strftime(m_stamp, sizeof m_stamp, "%Y-%m-%d %H:%M:%S", &local);
            m_second = now.tv_sec;
        }
        int length = std::snprintf(m_line, sizeof m_line, "%s.%03d [4 debug] %s:%d %s: ", m_stamp,
                                   static_cast<int>(now.tv_nsec / 1000000), module, line, function);
        va_list args;
        va_start(args, format);
        length += std::vsnprintf(m_line + length, sizeof m_line - static_cast<size_t>(length) - 1, format, args);
        va_end(args);
        length = std::min(length, static_cast<int>(sizeof m_line) - 2);
        m_line[length++] = '\n';
        if (m_holding)
            m_held.append(m_line, static_cast<size_t>(length));
        else
            WriteAll(m_line, static_cast<size_t>(length));
    }

private:
    void WriteAll(const char* data, size_t size)
    {
        if (size > 0 && ::write(m_fd, data, size) != static_cast<ssize_t>(size))
            throw std::runtime_error("raw event log not written");
    }

    bool m_holding = false;
    std::string m_held;
    int m_fd;
    std::time_t m_second = -1;
    char m_stamp[32] = {};
    char m_line[2048] = {};
};

// The user sample identifier of benchmark row number row ("S-000042").
inline CString UserSampleID(int row)
{
    CString id;
    id.Format("S-%06d", row);
    return id;
}

// Builds the database at path anew: the schema through the library, then
// fill(db) adds the rows through the C API in one transaction; the file is
// built under a temporary name and moved into place only when complete, so
// an interrupted build is never mistaken for a cached database.
template <class Fill>
void BuildDatabase(const std::string& path, Fill&& fill)
{
    std::filesystem::remove(path);
    const std::string building = path + ".building";
    std::filesystem::remove(building);
    CString error;
    if (!ZenCreateDatabaseFile(building.c_str(), 1, 9, &error))
        throw std::runtime_error(error.Str());

    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open(building.c_str(), &raw);
        const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
        Check(rc, db.get(), "open");
        Check(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), db.get(), "begin");
        fill(db.get());
        Check(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), db.get(), "commit");
    }
    // Closed first: the last connection folds the write-ahead log into the
    // file and removes it, so the renamed file is the whole database.
    std::filesystem::rename(building, path);
}

} // namespace zenbench
