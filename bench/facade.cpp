// Cost of the facade's queries and of the sample's save and load against the
// same work done with raw SQLite C-API calls (the baseline) in the same run,
// on a database of 100,000 samples, each with one profile run of five made
// indents. The database is built once and cached in the build folder (or in
// ZEN_BENCH_DATA). The baselines are what a careful program writes: a
// connection opened as the library opens its own, statements prepared once
// and reset, the same sample objects filled. Lines named ..._RawPerQuery keep
// the weaker baseline of a statement prepared for each query.
#include "database/Schema.h"
#include "companions/AuditSeal.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "framework/CTime.h"
#include "framework/UIHost.h"
#include "framework/sql/SqlText.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <unistd.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using zenbench::Check;
using zenbench::UserSampleID;

constexpr int kSamples = 100000;
constexpr int kIndentsPerRun = 5;
constexpr int kLookups = 1000;
// Measured dates are spread back from the build time, one sample every ten
// minutes, so that the week and month views select about 1000 and 4500.
constexpr long long kMeasuredSpacing = 600;

std::string DataDir()
{
    return zenbench::DataDir(ZEN_BENCH_DATA_DIR);
}

std::string DatabasePath()
{
    return DataDir() + "/facade_100k.db";
}

std::string ConfigPath()
{
    return DataDir() + "/facade_bench.ini";
}



// The week and month views count from the start of a day back from now, so
// a cached database is rebuilt once its newest measurement is a day old.
bool CachedDatabaseIsCurrent(const std::string& path)
{
    if (!std::filesystem::exists(path))
        return false;
    sqlite3* db = nullptr;
    bool current = false;
    const std::string newest = SqlDateTimeText(CTime::GetCurrentTime() - CTimeSpan(1, 0, 0, 0)).Str();
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT (SELECT COUNT(*) FROM Samples), (SELECT COUNT(*) FROM IndentsRun), "
                               "(SELECT MAX(MeasuredDate) FROM Samples)",
                               -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* latest = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
            current = sqlite3_column_int(stmt, 0) == kSamples &&
                      sqlite3_column_int(stmt, 1) == kSamples * kIndentsPerRun && latest != nullptr &&
                      newest < latest;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return current;
}

// Schema through the library, rows through the C API in one transaction,
// under a temporary name moved into place when complete.
void EnsureDatabase()
{
    const std::string path = DatabasePath();
    if (CachedDatabaseIsCurrent(path))
        return;
    zenbench::BuildDatabase(path, [](sqlite3* db) {
        sqlite3_stmt* sample = nullptr;
        Check(sqlite3_prepare_v2(db,
                                 "INSERT INTO Samples (UserSampleID, WorkOrder, PartNo, Detail, Customer, Material, "
                                 "RegistrationDate, RegisteredBy, DueDate, MeasuredDate, MeasuredBy, Signed, "
                                 "Signature, CustomField1) VALUES (?, ?, 'PN-4711', 'Flange', ?, '16MnCr5', ?, "
                                 "'operator', ?, ?, 'lab', ?, ?, ?)",
                                 -1, &sample, nullptr),
              db, "prepare samples");
        sqlite3_stmt* run = nullptr;
        Check(sqlite3_prepare_v2(db,
                                 "INSERT INTO SampleProfilesRun (SampleID, ProfileNr, Position, ProfileName, "
                                 "Standard, CurveType) VALUES (?, 1, 'center', 'Profile 1', 1, 0)",
                                 -1, &run, nullptr),
              db, "prepare runs");
        sqlite3_stmt* indent = nullptr;
        Check(sqlite3_prepare_v2(db,
                                 "INSERT INTO IndentsRun (ProfileID, [Actual distance from edge], "
                                 "[Actual distance from axis], D1, D2, [Actual type of indentor], "
                                 "[Actual testload], Objective, [Calibration data]) VALUES (?, ?, 0, ?, ?, 1, "
                                 "500, '50x', 1)",
                                 -1, &indent, nullptr),
              db, "prepare indents");

        const CTime now = CTime::GetCurrentTime();
        for (int row = 0; row < kSamples; ++row) {
            const CTime measured = now - CTimeSpan(static_cast<long long>(kSamples - row) * kMeasuredSpacing);
            const CTime registered = measured - CTimeSpan(0, 2, 0, 0);
            const CString texts[] = {UserSampleID(row),
                                     "WO-" + UserSampleID(row / 7),
                                     CString("Customer ") + std::to_string(row % 100).c_str(),
                                     SqlDateTimeText(registered),
                                     SqlDateTimeText(registered + CTimeSpan(7, 0, 0, 0)),
                                     SqlDateTimeText(measured)};
            int column = 1;
            for (const CString& text : texts)
                sqlite3_bind_text(sample, column++, text.GetString(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(sample, column++, row % 2);
            sqlite3_bind_text(sample, column++, row % 2 ? "signed by lab" : "", -1, SQLITE_STATIC);
            sqlite3_bind_text(sample, column++, "Batch 17", -1, SQLITE_STATIC);
            Check(sqlite3_step(sample), db, "insert sample");
            sqlite3_reset(sample);

            sqlite3_bind_int64(run, 1, sqlite3_last_insert_rowid(db));
            Check(sqlite3_step(run), db, "insert run");
            sqlite3_reset(run);
            const sqlite3_int64 profileID = sqlite3_last_insert_rowid(db);
            for (int i = 0; i < kIndentsPerRun; ++i) {
                sqlite3_bind_int64(indent, 1, profileID);
                sqlite3_bind_double(indent, 2, 0.05 + 0.1 * (kIndentsPerRun - i));
                sqlite3_bind_double(indent, 3, 30.0 + i);
                sqlite3_bind_double(indent, 4, 30.5 + i);
                Check(sqlite3_step(indent), db, "insert indent");
                sqlite3_reset(indent);
            }
        }
        sqlite3_finalize(sample);
        sqlite3_finalize(run);
        sqlite3_finalize(indent);
    });
}

// What the per-query baselines keep of a sample row: every column copied out.
struct RawSample {
    int32_t id = 0;
    std::string texts[31];
    int32_t signedFlag = 0;
    std::vector<unsigned char> trace;
};

const std::string kRawSampleColumns = std::string(zenbench::kSampleColumns) + " ";

void ReadRawSample(sqlite3_stmt* stmt, RawSample& sample)
{
    sample.id = sqlite3_column_int(stmt, 0);
    int text = 0;
    for (int column = 1; column < 33; ++column) {
        if (column == 12) {
            sample.signedFlag = sqlite3_column_int(stmt, column);
            continue;
        }
        const unsigned char* value = sqlite3_column_text(stmt, column);
        sample.texts[text++].assign(value ? reinterpret_cast<const char*>(value) : "",
                                    static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    }
    const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, 33));
    sample.trace.assign(blob, blob + sqlite3_column_bytes(stmt, 33));
}

struct RawIndent {
    int32_t id = 0;
    int32_t profile = 0;
    double values[6] = {};
    int type = 0;
    std::string unit;
    std::string objective;
};

// The raw connection on the benchmark database.
class CRawDatabase : public zenbench::CRawConnection {
public:
    CRawDatabase() : CRawConnection(DatabasePath()) {}

    // Rows of a statement prepared for this query alone, read into new
    // samples; the number of rows.
    size_t ReadSamples(const std::string& sql, std::vector<RawSample>& samples) const
    {
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(Get(), sql.c_str(), -1, &stmt, nullptr), Get(), "prepare");
        size_t rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            samples.emplace_back();
            ReadRawSample(stmt, samples.back());
            ++rows;
        }
        sqlite3_finalize(stmt);
        return rows;
    }
};

// A temporary folder for the event log of this run, removed at the end.
class CLogFolder {
public:
    CLogFolder()
        : m_root(std::filesystem::temp_directory_path() / ("zen-bench-facade-log-" + std::to_string(getpid())))
    {
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
    }
    ~CLogFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    CLogFolder(const CLogFolder&) = delete;
    CLogFolder& operator=(const CLogFolder&) = delete;
    std::string File() const { return (m_root / "ZEN.log").string(); }
    std::string RawFile() const { return (m_root / "raw.log").string(); }

private:
    std::filesystem::path m_root;
};

// Label of the facade's lines: its entries go to a real file ("; " for
// joining another label).
// Said in the labels of the facade's lines: where its event log goes.
std::string g_logLabel = "; event log in a file";
// Where the raw lines that write the same entries put them: beside the
// facade's log (the same disk), or where ZEN_BENCH_LOG says.
std::string g_rawLogPath;

// The facade opened on the benchmark database (no login, no upgrade needed).
class CBenchFacade {
public:
    CBenchFacade()
    {
        CString error;
        if (m_facade.OpenDatabase(0, "", "", error) != 1)
            throw std::runtime_error("facade not opened: " + error.Str());
    }
    CZENDatabase* operator->() { return &m_facade; }
    CZENDatabase& Get() { return m_facade; }

private:
    CZENDatabase m_facade;
};

void DeleteAll(CObList& list)
{
    while (!list.IsEmpty())
        delete list.RemoveHead();
}

std::vector<int> RandomRows(int count, int limit)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> row(0, limit - 1);
    std::vector<int> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(row(random));
    return rows;
}

// Every row of a prepared statement as new samples appended to list (the
// caller owns them, as with the facade's queries); the number of rows.
int ReadSampleObjects(const zenbench::CRawStatement& stmt, CDatabase* db, CObList& list)
{
    int rows = 0;
    while (stmt.Step()) {
        auto* sample = new CZENDB_Sample(db);
        sample->KeepConnection = true;
        zenbench::FillSample(stmt.Get(), *sample);
        list.AddTail(sample);
        ++rows;
    }
    stmt.Reset();
    return rows;
}

// --- SampleExist: a sample found by its identifier (every column read) ------

// The raw lookups of kLookups random rows: bind(row) binds the row's key to
// stmt, a step, the sample filled from the row; with log, also the event-log
// entry the station writes for every sample it reads (the trace's decoding),
// as a careful program that must write it would. freshSample: a sample made
// for each lookup (as a load makes one), else one reused.
// One raw lookup of RawLookups: false when the row is not found.
template <class Bind>
bool RawLookup(const zenbench::CRawStatement& stmt, Bind& bind, zenbench::CRawEventLog* log, CZENDB_Sample& sample,
               int row)
{
    bind(row);
    if (!stmt.Step())
        return false;
    if (log)
        log->Entry("recordsets", 216, "CZENDB_SamplesRecordset::GetSample", "Deserialize trace data...");
    zenbench::FillSample(stmt.Get(), sample);
    stmt.Reset();
    benchmark::DoNotOptimize(sample.SampleID);
    return true;
}

template <class Bind>
void RawLookups(benchmark::State& state, const zenbench::CRawStatement& stmt, Bind bind,
                zenbench::CRawEventLog* log, bool freshSample)
{
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    CZENDB_Sample reused;
    for (auto _ : state) {
        for (int row : rows) {
            std::optional<CZENDB_Sample> fresh;
            if (!RawLookup(stmt, bind, log, freshSample ? fresh.emplace() : reused, row))
                state.SkipWithError("not found");
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}

// The label of a raw line that writes the station's log entries too
// (what: "log entry" or "log entries").
std::string RawLogLabel(const char* what = "log entry")
{
    return what + g_logLabel.substr(std::string("; event log").size());
}

// The identifier lookup of the station, by a careful program (log: its
// event-log entry written too).
void SampleExistRaw(benchmark::State& state, bool caseBlind, bool log)
{
    CRawDatabase db;
    std::optional<zenbench::CRawEventLog> raw;
    if (log)
        raw.emplace(g_rawLogPath);
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + (caseBlind ? "WHERE UserSampleID = ? COLLATE "
                                                                                  "NOCASE AND UserSampleID <> ''"
                                                                                : "WHERE UserSampleID = ?"));
    CString id;
    RawLookups(
        state, stmt,
        [&](int row) {
            id = UserSampleID(row);
            sqlite3_bind_text(stmt.Get(), 1, id.GetString(), id.GetLength(), SQLITE_STATIC);
        },
        raw ? &*raw : nullptr, false);
}

// The identifier is found as the station finds it: letter case ignored, by
// the unique index on the identifier (whose WHERE term the statement states,
// or the engine does not use that index). state.range(0): 1 so; 0 the weaker
// line that compares the letter case too and uses the plain index.
void BM_SampleExist_Raw(benchmark::State& state)
{
    const bool caseBlind = state.range(0) != 0;
    state.SetLabel(caseBlind ? "letter case ignored" : "letter case compared (weaker)");
    SampleExistRaw(state, caseBlind, false);
}
BENCHMARK(BM_SampleExist_Raw)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The whole work of the station's lookup by a careful program: the case-blind
// lookup of BM_SampleExist_Raw/1 and the event-log entry of the read.
void BM_SampleExist_RawSameWork(benchmark::State& state)
{
    state.SetLabel("letter case ignored; " + RawLogLabel());
    SampleExistRaw(state, true, true);
}
BENCHMARK(BM_SampleExist_RawSameWork)->Unit(benchmark::kMillisecond);

void BM_SampleExist_RawPerQuery(benchmark::State& state)
{
    CRawDatabase db;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int row : rows) {
            char* sql = sqlite3_mprintf("%s WHERE UserSampleID = '%q'", kRawSampleColumns.c_str(),
                                        UserSampleID(row).GetString());
            std::vector<RawSample> found;
            db.ReadSamples(sql, found);
            sqlite3_free(sql);
            if (found.size() != 1)
                state.SkipWithError("not found");
            benchmark::DoNotOptimize(found);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_SampleExist_RawPerQuery)->Unit(benchmark::kMillisecond);

void BM_SampleExist_Facade(benchmark::State& state)
{
    state.SetLabel(g_logLabel.substr(2));
    CBenchFacade facade;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int row : rows) {
            int32_t key = -1;
            if (!facade->SampleExist(UserSampleID(row), key))
                state.SkipWithError("not found");
            benchmark::DoNotOptimize(key);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_SampleExist_Facade)->Unit(benchmark::kMillisecond);

// --- GetNextUserSampleID: the latest registration and its successor ---------

const char* const kLatestRegistration = "SELECT SampleID, UserSampleID, RegistrationDate FROM Samples WHERE "
                                        "RegistrationDate = (SELECT MAX(RegistrationDate) FROM Samples)";

std::string ProposeAfter(const std::string& id)
{
    const size_t digit = id.find_first_of("0123456789");
    return id.substr(0, digit) + std::to_string(std::atoi(id.c_str() + digit) + 1);
}

// The raw proposal: the first identifier of the latest registration
// (kLatestRegistration, prepared once), increased.
std::string RawNextIdentifier(const zenbench::CRawStatement& stmt)
{
    std::string id;
    while (id.empty() && stmt.Step())
        if (const unsigned char* text = sqlite3_column_text(stmt.Get(), 1))
            id = reinterpret_cast<const char*>(text);
    stmt.Reset();
    return ProposeAfter(id);
}

void BM_NextUserSampleID_Raw(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kLatestRegistration);
    for (auto _ : state) {
        const std::string proposal = RawNextIdentifier(stmt);
        benchmark::DoNotOptimize(proposal);
    }
}
BENCHMARK(BM_NextUserSampleID_Raw)->Unit(benchmark::kMicrosecond);

void BM_NextUserSampleID_RawPerQuery(benchmark::State& state)
{
    CRawDatabase db;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(db.Get(), kLatestRegistration, -1, &stmt, nullptr), db.Get(), "prepare");
        std::string id;
        while (id.empty() && sqlite3_step(stmt) == SQLITE_ROW)
            if (const unsigned char* text = sqlite3_column_text(stmt, 1))
                id = reinterpret_cast<const char*>(text);
        sqlite3_finalize(stmt);
        const std::string proposal = ProposeAfter(id);
        benchmark::DoNotOptimize(proposal);
    }
}
BENCHMARK(BM_NextUserSampleID_RawPerQuery)->Unit(benchmark::kMicrosecond);

void BM_NextUserSampleID_Facade(benchmark::State& state)
{
    state.SetLabel(g_logLabel.substr(2));
    CBenchFacade facade;
    for (auto _ : state) {
        const CString next = facade->GetNextUserSampleID();
        if (next.IsEmpty())
            state.SkipWithError("no proposal");
        benchmark::DoNotOptimize(next);
    }
}
BENCHMARK(BM_NextUserSampleID_Facade)->Unit(benchmark::kMicrosecond);

// --- Save: insert a new sample (autocommit: one synced commit each; or all
// inside one transaction, committed after the measured loop) -----------------

constexpr const char* kRemoveInserted = "DELETE FROM Samples WHERE UserSampleID LIKE 'NEW-%'";
// The columns that the sample's insert writes for such a sample.
constexpr const char* kRawInsert = "INSERT INTO Samples (UserSampleID, WorkOrder, RegistrationDate, DueDate, Signed) "
                                   "VALUES (?, ?, ?, ?, 0)";
constexpr int kSavesAutocommit = 200;
constexpr int kSavesInTransaction = 2000;

int64_t RawInsert(const CRawDatabase& db, sqlite3_stmt* stmt, int n)
{
    const std::string id = "NEW-" + std::to_string(n);
    const std::string now = SqlDateTimeText(CTime::GetCurrentTime()).Str();
    sqlite3_bind_text(stmt, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, "x", -1, SQLITE_STATIC);
    sqlite3_bind_text(stmt, 3, now.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 4, now.c_str(), -1, SQLITE_TRANSIENT);
    Check(sqlite3_step(stmt), db.Get(), "insert");
    sqlite3_reset(stmt);
    return sqlite3_last_insert_rowid(db.Get());
}

// state.range(0): 1 inside one transaction, 0 autocommit.
void BM_SaveInsert_Raw(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    state.SetLabel(inTransaction ? "in transaction; insert only (weaker)" : "autocommit; insert only (weaker)");
    CRawDatabase db;
    const zenbench::CRawStatement insert(db.Get(), kRawInsert);
    if (inTransaction)
        db.Exec("BEGIN IMMEDIATE");
    int n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(RawInsert(db, insert.Get(), n++));
    if (inTransaction)
        db.Exec("COMMIT");
    db.Exec(kRemoveInserted);
}
BENCHMARK(BM_SaveInsert_Raw)->Arg(1)->Iterations(kSavesInTransaction)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveInsert_Raw)->Arg(0)->Iterations(kSavesAutocommit)->Unit(benchmark::kMicrosecond);

void BM_SaveInsert_RawPerQuery(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    state.SetLabel(inTransaction ? "in transaction" : "autocommit");
    CRawDatabase db;
    if (inTransaction)
        db.Exec("BEGIN IMMEDIATE");
    int n = 0;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(db.Get(), kRawInsert, -1, &stmt, nullptr), db.Get(), "prepare");
        benchmark::DoNotOptimize(RawInsert(db, stmt, n++));
        sqlite3_finalize(stmt);
    }
    if (inTransaction)
        db.Exec("COMMIT");
    db.Exec(kRemoveInserted);
}
BENCHMARK(BM_SaveInsert_RawPerQuery)->Arg(1)->Iterations(kSavesInTransaction)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveInsert_RawPerQuery)->Arg(0)->Iterations(kSavesAutocommit)->Unit(benchmark::kMicrosecond);

// The whole of what the sample's save does for a new sample, written by a
// careful program with statements prepared once: a savepoint (the save stays
// one unit inside the caller's transaction), the identifier check, the
// insert, and the audit trail's entry chained to the head (head and last
// entry read, the entry sealed and inserted, the head written and sealed).
// BM_SaveInsert_Raw above is the weaker line: the insert alone.
class CRawSaveWithTrail {
public:
    // log: where the save's steps are written as the station writes them
    // (nullptr: not written, the weaker line).
    CRawSaveWithTrail(const CRawDatabase& db, zenbench::CRawEventLog* log)
        : m_db(db),
          m_log(log),
          m_savepoint(db.Get(), "SAVEPOINT raw_save"),
          m_release(db.Get(), "RELEASE SAVEPOINT raw_save"),
          m_check(db.Get(), "SELECT SampleID FROM Samples WHERE UserSampleID = ?1 COLLATE NOCASE AND "
                            "UserSampleID <> ('') AND SampleID <> -1"),
          m_insert(db.Get(), kRawInsert),
          m_head(db.Get(), "SELECT Entries, LastEntryID, LastHash, Seal FROM AuditTrailHead"),
          m_maxEntry(db.Get(), "SELECT MAX(EntryID) FROM AuditTrail"),
          m_entry(db.Get(), "INSERT INTO AuditTrail (EntryID, EntryTime, Station, UserName, Action, ObjectKind, "
                            "ObjectKey, ObjectIdentifier, FieldName, OldValue, NewValue, Reason, PreviousHash, Hash) "
                            "VALUES (?1, ?2, ?3, '', 'insert', 'sample', ?4, ?5, '', '', '', '', ?6, ?7)"),
          m_writeHead(db.Get(), "UPDATE AuditTrailHead SET Entries = ?1, LastEntryID = ?2, LastHash = ?3, Seal = ?4")
    {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        m_station = host;
    }

    int64_t Save(int n)
    {
        const std::string id = "NEW-" + std::to_string(n);
        m_savepoint.Step();
        m_savepoint.Reset();
        // The steps grouped as the library writes them: together up to its
        // first write.
        Hold();
        Step(230, "Creating CZENDB_SamplesRecordset...");
        Step(232, "Formating the SQL string to be used...");
        if (m_log)
            m_log->Entry("databaseobjects", 234, kSave, "SQL string is equal to '%s'. Opening recordset...",
                         kKeySql);
        Step(238, "Successfully opened recordset!");
        sqlite3_bind_text(m_check.Get(), 1, id.c_str(), -1, SQLITE_TRANSIENT);
        if (m_check.Step())
            throw std::runtime_error("identifier taken");
        m_check.Reset();
        Step(298, "Sample did not exist, creating a new record...");
        if (m_log) {
            m_log->Entry("recordsets", 239, "CZENDB_SamplesRecordset::SetSample", "Copy CZENDB_Sample to local member...");
            m_log->Entry("recordsets", 242, "CZENDB_SamplesRecordset::SetSample",
                         "Checking if to copy trace data with %d points...", 0);
        }
        Flush();
        const int64_t key = RawInsert(m_db, m_insert.Get(), n);

        if (!m_head.Step())
            throw std::runtime_error("no trail head");
        const int entries = sqlite3_column_int(m_head.Get(), 0);
        const int lastEntryID = sqlite3_column_int(m_head.Get(), 1);
        const CString previous(reinterpret_cast<const char*>(sqlite3_column_text(m_head.Get(), 2)));
        m_head.Reset();
        m_maxEntry.Step();
        const int entryID = std::max(sqlite3_column_int(m_maxEntry.Get(), 0), lastEntryID) + 1;
        m_maxEntry.Reset();

        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char time[32];
        std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", &utc);
        const CString number = std::to_string(entryID).c_str();
        const CString hash = m_sealer.Seal({number, time, m_station, "", "insert", "sample",
                                            std::to_string(key).c_str(), id.c_str(), "", "", "", "", previous});
        sqlite3_bind_int(m_entry.Get(), 1, entryID);
        sqlite3_bind_text(m_entry.Get(), 2, time, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(m_entry.Get(), 3, m_station.GetString(), -1, SQLITE_STATIC);
        sqlite3_bind_int64(m_entry.Get(), 4, key);
        sqlite3_bind_text(m_entry.Get(), 5, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(m_entry.Get(), 6, previous.GetString(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(m_entry.Get(), 7, hash.GetString(), -1, SQLITE_TRANSIENT);
        m_entry.Step();
        m_entry.Reset();

        const CString seal = m_sealer.Seal({"AuditTrailHead", std::to_string(entries + 1).c_str(), number, hash});
        sqlite3_bind_int(m_writeHead.Get(), 1, entries + 1);
        sqlite3_bind_int(m_writeHead.Get(), 2, entryID);
        sqlite3_bind_text(m_writeHead.Get(), 3, hash.GetString(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(m_writeHead.Get(), 4, seal.GetString(), -1, SQLITE_TRANSIENT);
        m_writeHead.Step();
        m_writeHead.Reset();
        m_release.Step();
        m_release.Reset();
        Step(314, "Added new recordset successfully!");
        return key;
    }

private:
    static constexpr const char* kSave = "CZENDB_Sample::Save";
    // The statement the station's save opens its recordset with, for a new
    // sample, as its log entry shows it.
    static constexpr const char* kKeySql =
        "SELECT [Samples].[SampleID],[UserSampleID],[WorkOrder],[PartNo],[Detail],[Customer],[Material],"
        "[RegistrationDate],[RegisteredBy],[DueDate],[MeasuredDate],[MeasuredBy],[Signed],[Signature],"
        "[CustomField1],[CustomField2],[CustomField3],[CustomField4],[CustomField5],[CustomField6],[CustomField7],"
        "[CustomField8],[CustomField9],[CustomField10],[CustomField11],[CustomField12],[CustomField13],"
        "[CustomField14],[CustomField15],[CustomField16],[CustomField17],[CustomField18],[CustomField19],[Trace] "
        "FROM Samples   WHERE [Samples].[SampleID]=-1";

    void Step(int line, const char* text)
    {
        if (m_log)
            m_log->Entry("databaseobjects", line, kSave, "%s", text);
    }
    void Hold()
    {
        if (m_log)
            m_log->Hold();
    }
    void Flush()
    {
        if (m_log)
            m_log->Flush();
    }

    const CRawDatabase& m_db;
    zenbench::CRawEventLog* m_log;
    zenbench::CRawStatement m_savepoint, m_release, m_check, m_insert, m_head, m_maxEntry, m_entry, m_writeHead;
    CAuditSealer m_sealer;
    CString m_station;
};

// state.range(1): 1 the save's steps written to an event log as the
// station writes them; 0 not (weaker).
void BM_SaveInsert_RawSameWork(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    const bool logged = state.range(1) != 0;
    state.SetLabel(std::string(inTransaction ? "in transaction" : "autocommit") + "; check + insert + trail" +
                   (logged ? " + " + RawLogLabel("log entries")
                           : " (no log entries, weaker)"));
    CRawDatabase db;
    {
        std::unique_ptr<zenbench::CRawEventLog> log =
            logged ? std::make_unique<zenbench::CRawEventLog>(g_rawLogPath) : nullptr;
        CRawSaveWithTrail save(db, log.get());
        if (inTransaction)
            db.Exec("BEGIN IMMEDIATE");
        int n = 0;
        for (auto _ : state)
            benchmark::DoNotOptimize(save.Save(n++));
        if (inTransaction)
            db.Exec("COMMIT");
    }
    db.Exec(kRemoveInserted);
}
BENCHMARK(BM_SaveInsert_RawSameWork)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Iterations(kSavesInTransaction)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveInsert_RawSameWork)
    ->Args({0, 1})
    ->Args({0, 0})
    ->Iterations(kSavesAutocommit)
    ->Unit(benchmark::kMicrosecond);

// A new sample saved through the library, as the raw lines insert it.
void SaveNewSample(benchmark::State& state, CBenchFacade& facade, const CString& id)
{
    CZENDB_Sample sample(&facade.Get(), id);
    sample.RegistrationDate = CTime::GetCurrentTime();
    sample.DueDate = sample.RegistrationDate;
    sample.WorkOrder = "x";
    if (!sample.Save())
        state.SkipWithError("not saved");
    benchmark::DoNotOptimize(sample.SampleID);
}

void BM_SaveInsert_Facade(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    state.SetLabel(std::string(inTransaction ? "in transaction" : "autocommit") + g_logLabel);
    int n = 0;
    {
        CBenchFacade facade;
        if (inTransaction)
            facade->BeginTrans();
        for (auto _ : state)
            SaveNewSample(state, facade, CString("NEW-") + std::to_string(n++).c_str());
        if (inTransaction)
            facade->CommitTrans();
    }
    CRawDatabase().Exec(kRemoveInserted);
}
BENCHMARK(BM_SaveInsert_Facade)->Arg(1)->Iterations(kSavesInTransaction)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveInsert_Facade)->Arg(0)->Iterations(kSavesAutocommit)->Unit(benchmark::kMicrosecond);

// --- Save: update an existing sample (one commit each) ------------------------
// Sample 501 is not signed (every other benchmark sample is): a signed
// sample is not changed without a reason.

void BM_SaveUpdate_Raw(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement read(db.Get(), kRawSampleColumns + "WHERE SampleID = 501");
    const zenbench::CRawStatement update(db.Get(), "UPDATE Samples SET WorkOrder = ? WHERE SampleID = 501");
    CZENDB_Sample sample;
    int n = 0;
    for (auto _ : state) {
        // Read the row, then write it back changed, as an update by key does.
        if (!read.Step())
            state.SkipWithError("not found");
        zenbench::FillSample(read.Get(), sample);
        read.Reset();
        const std::string workOrder = "WO-" + std::to_string(n++);
        sqlite3_bind_text(update.Get(), 1, workOrder.c_str(), -1, SQLITE_TRANSIENT);
        update.Step();
        update.Reset();
    }
}
BENCHMARK(BM_SaveUpdate_Raw)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SaveUpdate_Facade(benchmark::State& state)
{
    state.SetLabel(g_logLabel.substr(2));
    CBenchFacade facade;
    CZENDB_Sample sample(&facade.Get());
    if (!sample.Load(static_cast<int32_t>(501)))
        state.SkipWithError("not loaded");
    int n = 0;
    for (auto _ : state) {
        sample.WorkOrder = CString("WO-") + std::to_string(n++).c_str();
        if (!sample.Save())
            state.SkipWithError("not saved");
    }
}
BENCHMARK(BM_SaveUpdate_Facade)->Unit(benchmark::kMillisecond)->Iterations(200);

// --- Load by key ------------------------------------------------------------

// The load by key by a careful program (log: its event-log entry written too).
void LoadByKeyRaw(benchmark::State& state, bool log)
{
    CRawDatabase db;
    std::optional<zenbench::CRawEventLog> raw;
    if (log)
        raw.emplace(g_rawLogPath);
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + "WHERE SampleID = ?");
    RawLookups(
        state, stmt, [&](int row) { sqlite3_bind_int(stmt.Get(), 1, row + 1); }, raw ? &*raw : nullptr, true);
}

void BM_LoadByKey_Raw(benchmark::State& state)
{
    LoadByKeyRaw(state, false);
}
BENCHMARK(BM_LoadByKey_Raw)->Unit(benchmark::kMillisecond);

// BM_LoadByKey_Raw with the event-log entry of the read.
void BM_LoadByKey_RawSameWork(benchmark::State& state)
{
    state.SetLabel(RawLogLabel());
    LoadByKeyRaw(state, true);
}
BENCHMARK(BM_LoadByKey_RawSameWork)->Unit(benchmark::kMillisecond);

void BM_LoadByKey_RawPerQuery(benchmark::State& state)
{
    CRawDatabase db;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int row : rows) {
            std::vector<RawSample> found;
            db.ReadSamples(kRawSampleColumns + "WHERE SampleID = " + std::to_string(row + 1), found);
            if (found.size() != 1)
                state.SkipWithError("not found");
            benchmark::DoNotOptimize(found);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_LoadByKey_RawPerQuery)->Unit(benchmark::kMillisecond);

void BM_LoadByKey_Facade(benchmark::State& state)
{
    state.SetLabel(g_logLabel.substr(2));
    CBenchFacade facade;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int row : rows) {
            CZENDB_Sample sample(&facade.Get());
            if (!sample.Load(static_cast<int32_t>(row + 1)))
                state.SkipWithError("not loaded");
            benchmark::DoNotOptimize(sample.SampleID);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_LoadByKey_Facade)->Unit(benchmark::kMillisecond);

// --- GetSamples, one run per view ----------------------------------------------

std::string RawViewClause(SampleViewTypeType view)
{
    const auto dayStart = [](int daysBack) {
        const CTime now = CTime::GetCurrentTime();
        return SqlDateTimeText(CTime(now.GetYear(), now.GetMonth(), now.GetDay() - daysBack, 0, 0, 0)).Str();
    };
    switch (view) {
    case SampleViewLastWeek: return "WHERE MeasuredDate > '" + dayStart(7) + "' ";
    case SampleViewLastMonth: return "WHERE MeasuredDate > '" + dayStart(31) + "' ";
    case SampleViewUnsigned: return "WHERE Signed = 0 ";
    case SampleViewSigned: return "WHERE Signed = 1 ";
    case SampleViewSearch: return "WHERE Customer LIKE '%Customer 42%' ";
    default: return "";
    }
}

const char* ViewName(int view)
{
    static const char* const names[] = {"All", "LastWeek", "LastMonth", "Unsigned", "Search", "Signed"};
    return names[view];
}

// The same sample objects as the facade's list, from a statement prepared once.
void BM_GetSamples_Raw(benchmark::State& state)
{
    const auto view = static_cast<SampleViewTypeType>(state.range(0));
    state.SetLabel(ViewName(view));
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + RawViewClause(view) + "ORDER BY SampleID DESC");
    int rows = 0;
    for (auto _ : state) {
        CObList list;
        rows = ReadSampleObjects(stmt, nullptr, list);
        DeleteAll(list);
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_GetSamples_Raw)->DenseRange(SampleViewAll, SampleViewSigned)->Unit(benchmark::kMillisecond);

// Plain rows (strings and bytes, no sample objects), prepared per query.
void BM_GetSamples_RawPerQueryPlainRows(benchmark::State& state)
{
    const auto view = static_cast<SampleViewTypeType>(state.range(0));
    state.SetLabel(ViewName(view));
    CRawDatabase db;
    const std::string sql = kRawSampleColumns + RawViewClause(view) + "ORDER BY SampleID DESC";
    size_t rows = 0;
    for (auto _ : state) {
        std::vector<RawSample> samples;
        rows = db.ReadSamples(sql, samples);
        benchmark::DoNotOptimize(samples);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_GetSamples_RawPerQueryPlainRows)
    ->DenseRange(SampleViewAll, SampleViewSigned)
    ->Unit(benchmark::kMillisecond);

void BM_GetSamples_Facade(benchmark::State& state)
{
    const auto view = static_cast<SampleViewTypeType>(state.range(0));
    state.SetLabel(std::string(ViewName(view)) + g_logLabel);
    CBenchFacade facade;
    SampleSearchCriterion customer;
    customer.Text = "Customer 42";
    CMapStringToPtr criteria;
    criteria.SetAt("Customer", &customer);
    int rows = 0;
    for (auto _ : state) {
        CObList list;
        rows = facade->GetSamples(view, &criteria, list);
        DeleteAll(list);
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_GetSamples_Facade)->DenseRange(SampleViewAll, SampleViewSigned)->Unit(benchmark::kMillisecond);

// --- GetFirst5000Samples ---------------------------------------------------------

void BM_First5000_Raw(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + "ORDER BY SampleID LIMIT 5000");
    for (auto _ : state) {
        CObList list;
        if (ReadSampleObjects(stmt, nullptr, list) != 5000)
            state.SkipWithError("wrong count");
        DeleteAll(list);
    }
}
BENCHMARK(BM_First5000_Raw)->Unit(benchmark::kMillisecond);

void BM_First5000_Facade(benchmark::State& state)
{
    state.SetLabel(g_logLabel.substr(2));
    CBenchFacade facade;
    for (auto _ : state) {
        CObList list;
        facade->GetFirst5000Samples(list);
        if (list.GetCount() != 5000)
            state.SkipWithError("wrong count");
        DeleteAll(list);
    }
}
BENCHMARK(BM_First5000_Facade)->Unit(benchmark::kMillisecond);

// --- GetAllMadeIndents of one run (by distance from the edge) ---------------------

void BM_MadeIndents_Raw(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(),
                                       "SELECT IndentID, ProfileID, [Actual distance from edge], "
                                       "[Actual distance from axis], D1, D2, [Actual type of indentor], "
                                       "[Actual testload], Hardness, [Hardness unit], Objective, "
                                       "[Calibration data] FROM IndentsRun WHERE ProfileID = ? "
                                       "ORDER BY [Actual distance from edge], IndentID");
    const std::vector<int> runs = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int run : runs) {
            sqlite3_bind_int(stmt.Get(), 1, run + 1);
            std::vector<RawIndent> indents;
            while (stmt.Step()) {
                sqlite3_stmt* s = stmt.Get();
                RawIndent& indent = indents.emplace_back();
                indent.id = sqlite3_column_int(s, 0);
                indent.profile = sqlite3_column_int(s, 1);
                for (int i = 0; i < 6; ++i)
                    indent.values[i] = sqlite3_column_double(s, i < 4 ? i + 2 : i + 3);
                indent.type = sqlite3_column_int(s, 6);
                if (const unsigned char* text = sqlite3_column_text(s, 9))
                    indent.unit = reinterpret_cast<const char*>(text);
                if (const unsigned char* text = sqlite3_column_text(s, 10))
                    indent.objective = reinterpret_cast<const char*>(text);
            }
            stmt.Reset();
            if (indents.size() != kIndentsPerRun)
                state.SkipWithError("wrong count");
            benchmark::DoNotOptimize(indents);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_MadeIndents_Raw)->Unit(benchmark::kMillisecond);

void BM_MadeIndents_Facade(benchmark::State& state)
{
    state.SetLabel(g_logLabel.substr(2));
    CBenchFacade facade;
    const std::vector<int> runs = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int run : runs) {
            CZENDB_SampleProfileRun profile(&facade.Get());
            profile.ProfileID = run + 1;
            CObList indents;
            profile.GetAllMadeIndents(indents, 1);
            if (indents.GetCount() != kIndentsPerRun)
                state.SkipWithError("wrong count");
            DeleteAll(indents);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_MadeIndents_Facade)->Unit(benchmark::kMillisecond);

// --- The library and its raw line side by side (zenbench::RunPaired) ---------

// The raw lines' event log when logged, else none.
std::unique_ptr<zenbench::CRawEventLog> RawLogIf(bool logged)
{
    return logged ? std::make_unique<zenbench::CRawEventLog>(g_rawLogPath) : nullptr;
}

// GetSamples (all samples) against the raw program that builds the same
// sample objects (BM_GetSamples_Raw/0).
void BM_Paired_GetSamples(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + RawViewClause(SampleViewAll) +
                                                     "ORDER BY SampleID DESC");
    CBenchFacade facade;
    SampleSearchCriterion customer; // as BM_GetSamples_Facade gives it (not used by this view)
    customer.Text = "Customer 42";
    CMapStringToPtr criteria;
    criteria.SetAt("Customer", &customer);
    int libRows = 0;
    int rawRows = 0;
    zenbench::RunPaired(
        state, 1,
        [&] {
            CObList list;
            const double us = zenbench::TimedUs([&] { libRows = facade->GetSamples(SampleViewAll, &criteria, list); });
            DeleteAll(list);
            return us;
        },
        [&] {
            CObList list;
            const double us = zenbench::TimedUs([&] { rawRows = ReadSampleObjects(stmt, nullptr, list); });
            DeleteAll(list);
            return us;
        });
    if (libRows != rawRows || rawRows != kSamples)
        state.SkipWithError("row counts differ");
}
BENCHMARK(BM_Paired_GetSamples)->Iterations(6)->Unit(benchmark::kMillisecond);

// SampleExist against the raw identifier lookup; state.range(0): 1 the raw
// line writes the read's log entry too (the same work), 0 not.
void BM_Paired_SampleExist(benchmark::State& state)
{
    const bool logged = state.range(0) != 0;
    state.SetLabel(logged ? "raw with the log entry" : "raw without the log entry");
    CRawDatabase db;
    const std::unique_ptr<zenbench::CRawEventLog> log = RawLogIf(logged);
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + "WHERE UserSampleID = ? COLLATE NOCASE AND "
                                                                     "UserSampleID <> ''");
    CString id;
    auto bind = [&](int row) {
        id = UserSampleID(row);
        sqlite3_bind_text(stmt.Get(), 1, id.GetString(), id.GetLength(), SQLITE_STATIC);
    };
    CBenchFacade facade;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    CZENDB_Sample sample;
    zenbench::RunPaired(
        state, kLookups,
        [&] {
            return zenbench::TimedUs([&] {
                for (int row : rows) {
                    int32_t key = -1;
                    if (!facade->SampleExist(UserSampleID(row), key))
                        state.SkipWithError("not found");
                    benchmark::DoNotOptimize(key);
                }
            });
        },
        [&] {
            return zenbench::TimedUs([&] {
                for (int row : rows)
                    if (!RawLookup(stmt, bind, log ? &*log : nullptr, sample, row))
                        state.SkipWithError("not found");
            });
        });
}
BENCHMARK(BM_Paired_SampleExist)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// GetNextUserSampleID against the raw query of the latest registration
// (BM_NextUserSampleID_Raw), in slices of kNextIdentifierCalls calls.
void BM_Paired_NextUserSampleID(benchmark::State& state)
{
    constexpr int kNextIdentifierCalls = 200;
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kLatestRegistration);
    CBenchFacade facade;
    bool proposed = true;
    zenbench::RunPaired(
        state, kNextIdentifierCalls,
        [&] {
            return zenbench::TimedUs([&] {
                for (int i = 0; i < kNextIdentifierCalls; ++i) {
                    const CString next = facade->GetNextUserSampleID();
                    proposed = proposed && !next.IsEmpty();
                    benchmark::DoNotOptimize(next);
                }
            });
        },
        [&] {
            return zenbench::TimedUs([&] {
                for (int i = 0; i < kNextIdentifierCalls; ++i) {
                    const std::string proposal = RawNextIdentifier(stmt);
                    benchmark::DoNotOptimize(proposal);
                }
            });
        });
    if (!proposed)
        state.SkipWithError("no proposal");
}
BENCHMARK(BM_Paired_NextUserSampleID)->Unit(benchmark::kMillisecond);

// A sample's load by key against the raw load (state.range(0) as above).
void BM_Paired_LoadByKey(benchmark::State& state)
{
    const bool logged = state.range(0) != 0;
    state.SetLabel(logged ? "raw with the log entry" : "raw without the log entry");
    CRawDatabase db;
    const std::unique_ptr<zenbench::CRawEventLog> log = RawLogIf(logged);
    const zenbench::CRawStatement stmt(db.Get(), kRawSampleColumns + "WHERE SampleID = ?");
    auto bind = [&](int row) { sqlite3_bind_int(stmt.Get(), 1, row + 1); };
    CBenchFacade facade;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    zenbench::RunPaired(
        state, kLookups,
        [&] {
            return zenbench::TimedUs([&] {
                for (int row : rows) {
                    CZENDB_Sample sample(&facade.Get());
                    if (!sample.Load(static_cast<int32_t>(row + 1)))
                        state.SkipWithError("not loaded");
                    benchmark::DoNotOptimize(sample.SampleID);
                }
            });
        },
        [&] {
            return zenbench::TimedUs([&] {
                for (int row : rows) {
                    CZENDB_Sample sample;
                    if (!RawLookup(stmt, bind, log ? &*log : nullptr, sample, row))
                        state.SkipWithError("not found");
                }
            });
        });
}
BENCHMARK(BM_Paired_LoadByKey)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The save of a new sample against the raw program doing the same work
// (CRawSaveWithTrail), in slices of saves each in a transaction of its own
// committed outside the timing (state.range(0) 1), or each save committing
// on its own, synced, timed on the wall clock (0). state.range(1): 1 the
// raw program writes the save's log entries too, 0 not.
void BM_Paired_SaveInsert(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    const bool logged = state.range(1) != 0;
    const int slice = inTransaction ? 100 : 20;
    state.SetLabel(std::string(inTransaction ? "in transaction; " : "autocommit; ") +
                   (logged ? "raw with the log entries" : "raw without the log entries"));
    {
        CRawDatabase db;
        std::optional<zenbench::CRawEventLog> log;
        if (logged)
            log.emplace(g_rawLogPath);
        CRawSaveWithTrail raw(db, log ? &*log : nullptr);
        CBenchFacade facade;
        int libN = 0;
        int rawN = 0;
        zenbench::RunPaired(
            state, slice,
            [&] {
                if (inTransaction)
                    facade->BeginTrans();
                const double us = zenbench::TimedUs([&] {
                    for (int i = 0; i < slice; ++i)
                        SaveNewSample(state, facade, CString("NEW-L") + std::to_string(libN++).c_str());
                });
                if (inTransaction)
                    facade->CommitTrans();
                return us;
            },
            [&] {
                if (inTransaction)
                    db.Exec("BEGIN IMMEDIATE");
                const double us = zenbench::TimedUs([&] {
                    for (int i = 0; i < slice; ++i)
                        benchmark::DoNotOptimize(raw.Save(rawN++));
                });
                if (inTransaction)
                    db.Exec("COMMIT");
                return us;
            });
    }
    CRawDatabase().Exec(kRemoveInserted);
}
BENCHMARK(BM_Paired_SaveInsert)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The facade finds its database through the configuration. Opening,
    // listing and saving write to a real event log in a temporary folder, as
    // at a station (default rotation: at most 4 files of 4 MiB), so that the
    // facade's lines include what its entries cost on a disk. ZEN_BENCH_LOG
    // names another log file (/dev/null: the entries' cost without a disk).
    std::filesystem::create_directories(DataDir());
    const CLogFolder logFolder;
    const char* named = std::getenv("ZEN_BENCH_LOG");
    const std::string log = named && *named ? std::string(named) : logFolder.File();
    if (named && *named)
        g_logLabel = "; event log in " + log;
    g_rawLogPath = !named || !*named                  ? logFolder.RawFile()
                   : std::string(named) == "/dev/null" ? std::string(named)
                                                      : std::string(named) + "-raw";
    std::ofstream(ConfigPath()) << "[Database]\nDatabaseFile=" << DatabasePath() << "\n[Log]\nFile=" << log
                                << "\n";
    // A station's configuration is old: dated back, it is parsed once and
    // then kept (a file changed moments ago is read again at every entry).
    std::filesystem::last_write_time(ConfigPath(),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10));
    setenv("ZEN_CONFIG", ConfigPath().c_str(), 1);
    EnsureDatabase();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
