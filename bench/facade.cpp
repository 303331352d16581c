// Cost of the facade's queries and of the sample's save and load against the
// same work done with raw SQLite C-API calls (the baseline) in the same run,
// on a database of 100,000 samples, each with one profile run of five made
// indents. The database is built once and cached in the build folder.
#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "framework/CTime.h"
#include "framework/UIHost.h"
#include "framework/sql/SqlText.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
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
    return ZEN_BENCH_DATA_DIR;
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

// What the raw reads keep of a sample row: every column copied out.
struct RawSample {
    int32_t id = 0;
    std::string texts[31];
    int32_t signedFlag = 0;
    std::vector<unsigned char> trace;
};

const std::string kRawSampleColumns =
    "SELECT SampleID, UserSampleID, WorkOrder, PartNo, Detail, Customer, Material, "
    "RegistrationDate, RegisteredBy, DueDate, MeasuredDate, MeasuredBy, Signed, Signature, "
    "CustomField1, CustomField2, CustomField3, CustomField4, CustomField5, CustomField6, "
    "CustomField7, CustomField8, CustomField9, CustomField10, CustomField11, CustomField12, "
    "CustomField13, CustomField14, CustomField15, CustomField16, CustomField17, CustomField18, "
    "CustomField19, Trace FROM Samples ";

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

class CRawDatabase {
public:
    CRawDatabase()
    {
        Check(sqlite3_open_v2(DatabasePath().c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr), m_db, "open");
        // The same durability as the library's connection.
        Check(sqlite3_exec(m_db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr), m_db, "pragma");
    }
    ~CRawDatabase() { sqlite3_close(m_db); }
    CRawDatabase(const CRawDatabase&) = delete;
    CRawDatabase& operator=(const CRawDatabase&) = delete;
    sqlite3* Get() const { return m_db; }

    // Rows of a statement read into new samples; the number of rows.
    size_t ReadSamples(const std::string& sql, std::vector<RawSample>& samples) const
    {
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr), m_db, "prepare");
        size_t rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            samples.emplace_back();
            ReadRawSample(stmt, samples.back());
            ++rows;
        }
        sqlite3_finalize(stmt);
        return rows;
    }

    void Exec(const char* sql) const { Check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), m_db, sql); }

private:
    sqlite3* m_db = nullptr;
};

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

// --- SampleExist: a sample found by its identifier (every column read) ------

void BM_SampleExist_Raw(benchmark::State& state)
{
    CRawDatabase db;
    const std::vector<int> rows = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int row : rows) {
            // As the record's load: one statement text per lookup.
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
BENCHMARK(BM_SampleExist_Raw)->Unit(benchmark::kMillisecond);

void BM_SampleExist_Facade(benchmark::State& state)
{
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

void BM_NextUserSampleID_Raw(benchmark::State& state)
{
    CRawDatabase db;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(db.Get(),
                                 "SELECT SampleID, UserSampleID, RegistrationDate FROM Samples WHERE "
                                 "RegistrationDate = (SELECT MAX(RegistrationDate) FROM Samples)",
                                 -1, &stmt, nullptr),
              db.Get(), "prepare");
        std::string id;
        while (id.empty() && sqlite3_step(stmt) == SQLITE_ROW)
            if (const unsigned char* text = sqlite3_column_text(stmt, 1))
                id = reinterpret_cast<const char*>(text);
        sqlite3_finalize(stmt);
        const size_t digit = id.find_first_of("0123456789");
        const std::string proposal = id.substr(0, digit) + std::to_string(std::atoi(id.c_str() + digit) + 1);
        benchmark::DoNotOptimize(proposal);
    }
}
BENCHMARK(BM_NextUserSampleID_Raw)->Unit(benchmark::kMicrosecond);

void BM_NextUserSampleID_Facade(benchmark::State& state)
{
    CBenchFacade facade;
    for (auto _ : state) {
        const CString next = facade->GetNextUserSampleID();
        if (next.IsEmpty())
            state.SkipWithError("no proposal");
        benchmark::DoNotOptimize(next);
    }
}
BENCHMARK(BM_NextUserSampleID_Facade)->Unit(benchmark::kMicrosecond);

// --- Save: insert a new sample, update an existing one (one commit each) ----

constexpr const char* kRemoveInserted = "DELETE FROM Samples WHERE UserSampleID LIKE 'NEW-%'";

void BM_SaveInsert_Raw(benchmark::State& state)
{
    CRawDatabase db;
    // The columns that the record's insert writes for such a sample.
    const char* const sql = "INSERT INTO Samples (UserSampleID, WorkOrder, RegistrationDate, DueDate, Signed) "
                            "VALUES (?, ?, ?, ?, 0)";
    int n = 0;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(db.Get(), sql, -1, &stmt, nullptr), db.Get(), "prepare");
        const std::string id = "NEW-" + std::to_string(n++);
        const std::string now = SqlDateTimeText(CTime::GetCurrentTime()).Str();
        sqlite3_bind_text(stmt, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, "x", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, now.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 4, now.c_str(), -1, SQLITE_TRANSIENT);
        Check(sqlite3_step(stmt), db.Get(), "insert");
        const sqlite3_int64 key = sqlite3_last_insert_rowid(db.Get());
        benchmark::DoNotOptimize(key);
        sqlite3_finalize(stmt);
    }
    db.Exec(kRemoveInserted);
}
BENCHMARK(BM_SaveInsert_Raw)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SaveInsert_Facade(benchmark::State& state)
{
    CRawDatabase cleanup;
    int n = 0;
    {
        CBenchFacade facade;
        for (auto _ : state) {
            CZENDB_Sample sample(&facade.Get(), CString("NEW-") + std::to_string(n++).c_str());
            sample.RegistrationDate = CTime::GetCurrentTime();
            sample.DueDate = sample.RegistrationDate;
            sample.WorkOrder = "x";
            if (!sample.Save())
                state.SkipWithError("not saved");
            benchmark::DoNotOptimize(sample.SampleID);
        }
    }
    cleanup.Exec(kRemoveInserted);
}
BENCHMARK(BM_SaveInsert_Facade)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SaveUpdate_Raw(benchmark::State& state)
{
    CRawDatabase db;
    int n = 0;
    for (auto _ : state) {
        // Read the row, then write it back changed, as an update by key does.
        std::vector<RawSample> row;
        db.ReadSamples(kRawSampleColumns + "WHERE SampleID = 500", row);
        sqlite3_stmt* stmt = nullptr;
        Check(sqlite3_prepare_v2(db.Get(), "UPDATE Samples SET WorkOrder = ? WHERE SampleID = 500", -1, &stmt,
                                 nullptr),
              db.Get(), "prepare");
        const std::string workOrder = "WO-" + std::to_string(n++);
        sqlite3_bind_text(stmt, 1, workOrder.c_str(), -1, SQLITE_TRANSIENT);
        Check(sqlite3_step(stmt), db.Get(), "update");
        sqlite3_finalize(stmt);
    }
}
BENCHMARK(BM_SaveUpdate_Raw)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SaveUpdate_Facade(benchmark::State& state)
{
    CBenchFacade facade;
    CZENDB_Sample sample(&facade.Get());
    if (!sample.Load(static_cast<int32_t>(500)))
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

void BM_LoadByKey_Raw(benchmark::State& state)
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
BENCHMARK(BM_LoadByKey_Raw)->Unit(benchmark::kMillisecond);

void BM_LoadByKey_Facade(benchmark::State& state)
{
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

void BM_GetSamples_Raw(benchmark::State& state)
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
BENCHMARK(BM_GetSamples_Raw)->DenseRange(SampleViewAll, SampleViewSigned)->Unit(benchmark::kMillisecond);

void BM_GetSamples_Facade(benchmark::State& state)
{
    const auto view = static_cast<SampleViewTypeType>(state.range(0));
    state.SetLabel(ViewName(view));
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
    for (auto _ : state) {
        std::vector<RawSample> samples;
        if (db.ReadSamples(kRawSampleColumns + "ORDER BY SampleID LIMIT 5000", samples) != 5000)
            state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(samples);
    }
}
BENCHMARK(BM_First5000_Raw)->Unit(benchmark::kMillisecond);

void BM_First5000_Facade(benchmark::State& state)
{
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
    const std::vector<int> runs = RandomRows(kLookups, kSamples);
    for (auto _ : state) {
        for (int run : runs) {
            const std::string sql = "SELECT IndentID, ProfileID, [Actual distance from edge], "
                                    "[Actual distance from axis], D1, D2, [Actual type of indentor], "
                                    "[Actual testload], Hardness, [Hardness unit], Objective, "
                                    "[Calibration data] FROM IndentsRun WHERE ProfileID = " +
                                    std::to_string(run + 1) + " ORDER BY [Actual distance from edge], IndentID";
            sqlite3_stmt* stmt = nullptr;
            Check(sqlite3_prepare_v2(db.Get(), sql.c_str(), -1, &stmt, nullptr), db.Get(), "prepare");
            std::vector<RawIndent> indents;
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                RawIndent& indent = indents.emplace_back();
                indent.id = sqlite3_column_int(stmt, 0);
                indent.profile = sqlite3_column_int(stmt, 1);
                for (int i = 0; i < 6; ++i)
                    indent.values[i] = sqlite3_column_double(stmt, i < 4 ? i + 2 : i + 3);
                indent.type = sqlite3_column_int(stmt, 6);
                if (const unsigned char* text = sqlite3_column_text(stmt, 9))
                    indent.unit = reinterpret_cast<const char*>(text);
                if (const unsigned char* text = sqlite3_column_text(stmt, 10))
                    indent.objective = reinterpret_cast<const char*>(text);
            }
            sqlite3_finalize(stmt);
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

} // namespace

int main(int argc, char** argv)
{
    // The facade finds its database through the configuration; the entries
    // that opening and listing write to the event log go to /dev/null, so
    // that their cost is measured without filling a disk.
    std::filesystem::create_directories(DataDir());
    std::ofstream(ConfigPath()) << "[Database]\nDatabaseFile=" << DatabasePath() << "\n[Log]\nFile=/dev/null\n";
    setenv("ZEN_CONFIG", ConfigPath().c_str(), 1);
    EnsureDatabase();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
