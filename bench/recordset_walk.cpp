// Cost of reading the Samples table through CZENDB_SamplesRecordset against
// the raw SQLite C API reading the same columns (the baseline), on 100,000
// rows of which every tenth holds a full trace: a walk over every row, and
// lookups of single samples by UserSampleID (an indexed column) in tables of
// 10,000, 100,000 and 1,000,000 such rows. The raw side opens its connection
// as the library does and prepares its statement once; ..._RawPerQuery keeps
// the weaker baseline of a statement prepared for each lookup. The databases
// are cached in the build folder (or in ZEN_BENCH_DATA).
#include "database/Schema.h"
#include "framework/CTime.h"
#include "framework/sql/Database.h"
#include "framework/sql/SqlText.h"
#include "recordsets/CZENDB_SamplesRecordset.h"

#include "framework/CArchive.h"
#include "framework/CMemFile.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using zenbench::Check;
using zenbench::UserSampleID;

constexpr int kRows = 100000; // rows of the walk
constexpr int kTraceEvery = 10;
constexpr int kLookups = 1000;

std::string DataDir()
{
    return zenbench::DataDir(ZEN_BENCH_DATA_DIR);
}

std::string DatabasePath(int rows = kRows)
{
    return DataDir() + "/recordset_walk_" + (rows % 1000000 == 0 ? std::to_string(rows / 1000000) + "m"
                                                                  : std::to_string(rows / 1000) + "k") +
           ".db";
}



// A full trace (623 points, the most the block holds) serialised into its block.
std::vector<BYTE> FullTraceBlock()
{
    CCoordinateArray trace;
    for (int i = 0; i < 623; ++i)
        trace.AddPoint({i * 0.5, 100.0 - i * 0.25});
    std::vector<BYTE> block(CZENDB_SamplesRecordset::TraceBlockSize, 0);
    CMemFile file(block.data(), static_cast<UINT>(block.size()), 0);
    CArchive archive(&file, CArchive::store);
    trace.Serialize(archive, CZENDB_SamplesRecordset::TraceBlockSize);
    archive.Close();
    return block;
}

bool CachedDatabaseIsComplete(const std::string& path, int rows)
{
    if (!std::filesystem::exists(path))
        return false;
    sqlite3* db = nullptr;
    bool complete = false;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT COUNT(*), COUNT(Trace) FROM Samples", -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            complete = sqlite3_column_int(stmt, 0) == rows &&
                       sqlite3_column_int(stmt, 1) == rows / kTraceEvery;
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return complete;
}

// Creates the database once (schema through the library, rows through the C
// API in one transaction) under a temporary name, then moves it into place.
void EnsureDatabase(int rows)
{
    const std::string path = DatabasePath(rows);
    if (CachedDatabaseIsComplete(path, rows))
        return;
    zenbench::BuildDatabase(path, [rows](sqlite3* db) {
        std::string sql = "INSERT INTO Samples (UserSampleID, WorkOrder, PartNo, Detail, Customer, "
                          "Material, RegistrationDate, RegisteredBy, DueDate, MeasuredDate, MeasuredBy, "
                          "Signed, Signature";
        for (int i = 1; i <= 19; ++i)
            sql += ", CustomField" + std::to_string(i);
        sql += ", Trace) VALUES (?";
        for (int i = 1; i < 33; ++i)
            sql += ", ?";
        sql += ")";
        sqlite3_stmt* insert = nullptr;
        Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr), db, "prepare");
        const std::vector<BYTE> trace = FullTraceBlock();
        const CTime base(2014, 1, 1, 8, 0, 0);
        for (int row = 0; row < rows; ++row) {
            const CTime registered = base + CTimeSpan(row * 600LL);
            const CString texts[] = {
                UserSampleID(row), "WO-" + UserSampleID(row / 7), "PN-4711", "Flange, left side",
                "Cliente industrial", "16MnCr5", SqlDateTimeText(registered), "operator",
                SqlDateTimeText(registered + CTimeSpan(7, 0, 0, 0)),
                SqlDateTimeText(registered + CTimeSpan(0, 3, 0, 0)), "lab"};
            int column = 1;
            for (const CString& text : texts)
                sqlite3_bind_text(insert, column++, text.GetString(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, column++, row % 2);
            sqlite3_bind_text(insert, column++, row % 2 ? "signed by lab" : "", -1, SQLITE_STATIC);
            for (int i = 1; i <= 19; ++i) {
                const std::string custom = i <= 5 ? "Custom value " + std::to_string(row % 100) : "";
                sqlite3_bind_text(insert, column++, custom.c_str(), -1, SQLITE_TRANSIENT);
            }
            if (row % kTraceEvery == 0)
                sqlite3_bind_blob(insert, column++, trace.data(), static_cast<int>(trace.size()),
                                  SQLITE_STATIC);
            else
                sqlite3_bind_null(insert, column++);
            Check(sqlite3_step(insert), db, "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
    });
}

// What the raw walk keeps of a row: every column copied out of the engine.
struct RawSample {
    int32_t id = 0;
    std::string texts[31];
    int32_t signedFlag = 0;
    std::vector<unsigned char> trace;
};

const char* const kRawColumns = zenbench::kSampleColumns;

void ReadRawRow(sqlite3_stmt* stmt, RawSample& sample)
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

// The raw connection, opened as the library opens its own.
class CRawDatabase : public zenbench::CRawConnection {
public:
    explicit CRawDatabase(int rows = kRows) : CRawConnection(DatabasePath(rows)) {}
};

CString ConnectString(int rows = kRows)
{
    CString connect;
    connect.Format("DBQ=%s;", DatabasePath(rows).c_str());
    return connect;
}

std::vector<CString> LookupIDs(int rows)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> row(0, rows - 1);
    std::vector<CString> ids;
    for (int i = 0; i < kLookups; ++i)
        ids.push_back(UserSampleID(row(random)));
    return ids;
}

void BM_WalkRawBaseline(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kRawColumns);
    RawSample sample;
    for (auto _ : state) {
        int rows = 0;
        while (stmt.Step()) {
            ReadRawRow(stmt.Get(), sample);
            benchmark::DoNotOptimize(sample);
            ++rows;
        }
        stmt.Reset();
        if (rows != kRows)
            state.SkipWithError("wrong row count");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WalkRawBaseline)->Unit(benchmark::kMillisecond);

// The raw walk filling what the recordset walk fills: the fields of a sample
// (dates as local time) and the stored trace block as bytes, not decoded.
// BM_WalkRawBaseline above keeps the dates as texts: less work than the
// recordset does, a stricter line.
// Every row of stmt into sample's fields and its trace block into trace
// (not decoded); the number of rows.
int WalkRawIntoSample(const zenbench::CRawStatement& stmt, CZENDB_Sample& sample, CByteArray& trace)
{
    int rows = 0;
    while (stmt.Step()) {
        zenbench::FillSampleFields(stmt.Get(), sample);
        const auto* blob = static_cast<const BYTE*>(sqlite3_column_blob(stmt.Get(), 33));
        trace.Vector().assign(blob, blob + sqlite3_column_bytes(stmt.Get(), 33));
        benchmark::DoNotOptimize(sample);
        benchmark::DoNotOptimize(trace);
        ++rows;
    }
    stmt.Reset();
    return rows;
}

void BM_WalkRawSampleObjects(benchmark::State& state)
{
    CRawDatabase db;
    const zenbench::CRawStatement stmt(db.Get(), kRawColumns);
    CZENDB_Sample sample(nullptr);
    CByteArray trace;
    for (auto _ : state)
        if (WalkRawIntoSample(stmt, sample, trace) != kRows)
            state.SkipWithError("wrong row count");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WalkRawSampleObjects)->Unit(benchmark::kMillisecond);

// Every row of the samples recordset into sample (the stored trace block is
// read but not decoded); the number of rows.
int WalkRecordsetIntoSample(CDatabase& db, CZENDB_Sample& sample)
{
    CZENDB_SamplesRecordset rs(&db);
    rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
    int rows = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        sample = rs.m_Sample;
        benchmark::DoNotOptimize(sample);
        ++rows;
    }
    return rows;
}

// Every row through the field exchange and the sample's assignment (the
// stored trace block is read but not decoded).
void BM_WalkRecordset(benchmark::State& state)
{
    CDatabase db;
    db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    CZENDB_Sample sample(&db);
    sample.KeepConnection = true;
    for (auto _ : state)
        if (WalkRecordsetIntoSample(db, sample) != kRows)
            state.SkipWithError("wrong row count");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WalkRecordset)->Unit(benchmark::kMillisecond);

// BM_WalkRecordset against BM_WalkRawSampleObjects, side by side
// (zenbench::RunPaired): one walk of every row each slice.
void BM_Paired_Walk(benchmark::State& state)
{
    CRawDatabase raw;
    const zenbench::CRawStatement stmt(raw.Get(), kRawColumns);
    CDatabase db;
    db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    CZENDB_Sample sample(&db);
    sample.KeepConnection = true;
    CZENDB_Sample rawSample(nullptr);
    CByteArray trace;
    zenbench::RunPaired(
        state, kRows,
        [&] {
            int rows = 0;
            const double us = zenbench::TimedUs([&] { rows = WalkRecordsetIntoSample(db, sample); });
            if (rows != kRows)
                state.SkipWithError("wrong row count");
            return us;
        },
        [&] {
            int rows = 0;
            const double us = zenbench::TimedUs([&] { rows = WalkRawIntoSample(stmt, rawSample, trace); });
            if (rows != kRows)
                state.SkipWithError("wrong row count");
            return us;
        });
}
BENCHMARK(BM_Paired_Walk)->Iterations(8)->Unit(benchmark::kMillisecond);

// The same with GetSample, as the sample lists do: the trace is decoded and
// every row writes its log entry.
void BM_WalkRecordsetGetSample(benchmark::State& state)
{
    CDatabase db;
    db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    CZENDB_Sample sample(&db);
    sample.KeepConnection = true;
    for (auto _ : state) {
        CZENDB_SamplesRecordset rs(&db);
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        uint64_t points = 0;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            rs.GetSample(sample);
            points += sample.Trace.GetTotalNumberOfPoints();
        }
        if (points != static_cast<uint64_t>(kRows / kTraceEvery) * 623)
            state.SkipWithError("wrong point count");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WalkRecordsetGetSample)->Unit(benchmark::kMillisecond);

// Lookups with the statement prepared once and the identifier bound
// (state.range(0): rows in the table).
void BM_LookupRawPreparedBaseline(benchmark::State& state)
{
    const int tableRows = static_cast<int>(state.range(0));
    CRawDatabase db(tableRows);
    const std::vector<CString> ids = LookupIDs(tableRows);
    const zenbench::CRawStatement stmt(db.Get(), std::string(kRawColumns) + " WHERE UserSampleID = ?");
    RawSample sample;
    for (auto _ : state) {
        for (const CString& id : ids) {
            sqlite3_bind_text(stmt.Get(), 1, id.GetString(), id.GetLength(), SQLITE_STATIC);
            if (!stmt.Step())
                state.SkipWithError("not found");
            ReadRawRow(stmt.Get(), sample);
            benchmark::DoNotOptimize(sample);
            stmt.Reset();
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}

// Lookups the way an ad-hoc caller of the C API writes them: one statement
// text per lookup, prepared and finalised each time.
void BM_LookupRawPerQuery(benchmark::State& state)
{
    const int tableRows = static_cast<int>(state.range(0));
    CRawDatabase db(tableRows);
    const std::vector<CString> ids = LookupIDs(tableRows);
    RawSample sample;
    for (auto _ : state) {
        for (const CString& id : ids) {
            char* sql = sqlite3_mprintf("%s WHERE UserSampleID = '%q'", kRawColumns, id.GetString());
            sqlite3_stmt* stmt = nullptr;
            Check(sqlite3_prepare_v2(db.Get(), sql, -1, &stmt, nullptr), db.Get(), "prepare");
            sqlite3_free(sql);
            if (sqlite3_step(stmt) != SQLITE_ROW)
                state.SkipWithError("not found");
            ReadRawRow(stmt, sample);
            benchmark::DoNotOptimize(sample);
            sqlite3_finalize(stmt);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}

// Lookups as the sample's load by identifier does them: a recordset per
// lookup, opened with the default statement and the identifier's filter.
void BM_LookupRecordset(benchmark::State& state)
{
    const int tableRows = static_cast<int>(state.range(0));
    CDatabase db;
    db.OpenEx(ConnectString(tableRows), CDatabase::noOdbcDialog);
    const std::vector<CString> ids = LookupIDs(tableRows);
    CZENDB_Sample sample(&db);
    sample.KeepConnection = true;
    for (auto _ : state) {
        for (const CString& id : ids) {
            CZENDB_SamplesRecordset rs(&db);
            CString sql;
            sql.Format("%s WHERE UserSampleID = '%s'", rs.GetDefaultSQL().GetString(),
                       SqlQuote(id).GetString());
            rs.Open(CRecordset::dynaset, sql, CRecordset::none);
            if (rs.IsEOF())
                state.SkipWithError("not found");
            sample = rs.m_Sample;
            benchmark::DoNotOptimize(sample);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}

// Lookups through the sample's load by identifier, which also decodes the
// trace and writes its log entry.
void BM_LookupSampleLoad(benchmark::State& state)
{
    const int tableRows = static_cast<int>(state.range(0));
    CDatabase db;
    db.OpenEx(ConnectString(tableRows), CDatabase::noOdbcDialog);
    const std::vector<CString> ids = LookupIDs(tableRows);
    for (auto _ : state) {
        for (const CString& id : ids) {
            CZENDB_Sample sample(&db);
            if (!sample.Load(id))
                state.SkipWithError("not found");
            benchmark::DoNotOptimize(sample.SampleID);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}

constexpr int kTableSizes[] = {10000, 100000, 1000000};

// Baseline and library side by side for each table size.
void RegisterLookups()
{
    for (const int rows : kTableSizes) {
        benchmark::RegisterBenchmark("BM_LookupRawPreparedBaseline", BM_LookupRawPreparedBaseline)
            ->Arg(rows)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_LookupRawPerQuery", BM_LookupRawPerQuery)
            ->Arg(rows)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_LookupRecordset", BM_LookupRecordset)->Arg(rows)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_LookupSampleLoad", BM_LookupSampleLoad)
            ->Arg(rows)
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // GetSample logs every row: keep those entries out of the user's own log.
    const std::string state = DataDir() + "/recordset_walk_state";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setenv("ZEN_CONFIG", (DataDir() + "/recordset_walk_no_config.ini").c_str(), 1);
    for (const int rows : kTableSizes)
        EnsureDatabase(rows);
    RegisterLookups();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(state);
    return 0;
}
