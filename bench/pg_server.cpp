// Cost of the library on a PostgreSQL server against raw libpq calls (the
// baseline) in the same run, on one server database of N samples (default
// 100,000; ZEN_BENCH_PG_SAMPLES) of which every tenth holds a full trace: the
// walk of every sample and column, lookups by UserSampleID, and the insert
// of new samples in batches (one transaction each) and in autocommit.
// Both sides read results in text form, as the library's server driver asks
// for them. Each library line carries the counter lib/raw: its time per item
// divided by the median of its baseline's repetitions run just before.
// Needs a server: pg_virtualenv -t -- build/bench/bench_pg_server
#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/CTime.h"
#include "framework/UIHost.h"
#include "framework/sql/SqlText.h"
#include "recordsets/CZENDB_SamplesRecordset.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTraceEvery = 10;
constexpr int kLookups = 1000;
constexpr int kSavesPerBatch = 100;

int g_samples = 100000;
std::string g_dbName;

// --- raw libpq ---------------------------------------------------------------

struct CResultClear {
    void operator()(PGresult* res) const noexcept { PQclear(res); }
};
using CResult = std::unique_ptr<PGresult, CResultClear>;

// A raw connection set up as the library sets up its own session: UTF-8
// texts and ISO dates.
class CRawPg {
public:
    explicit CRawPg(const std::string& dbName)
    {
        m_conn.reset(PQconnectdb(("dbname=" + dbName).c_str()));
        if (PQstatus(m_conn.get()) != CONNECTION_OK)
            throw std::runtime_error(std::string("connect: ") + PQerrorMessage(m_conn.get()));
        Exec("SET client_encoding = 'UTF8'");
        Exec("SET DateStyle = 'ISO, YMD'");
    }
    PGconn* Get() const { return m_conn.get(); }

    void Exec(const char* sql) const
    {
        const CResult res(PQexec(m_conn.get(), sql));
        Check(res.get(), sql);
    }
    // Prepares sql once under name.
    void Prepare(const char* name, const std::string& sql) const
    {
        const CResult res(PQprepare(m_conn.get(), name, sql.c_str(), 0, nullptr));
        Check(res.get(), sql.c_str());
    }
    // Runs a prepared statement with text parameters (binary where
    // formats says 1); the whole result, in text form.
    CResult Run(const char* name, int count, const char* const* values, const int* lengths = nullptr,
                const int* formats = nullptr) const
    {
        CResult res(PQexecPrepared(m_conn.get(), name, count, values, lengths, formats, 0));
        Check(res.get(), name);
        return res;
    }

private:
    void Check(const PGresult* res, const char* what) const
    {
        const ExecStatusType status = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw std::runtime_error(std::string(what) + ": " + PQerrorMessage(m_conn.get()));
    }

    std::unique_ptr<PGconn, void (*)(PGconn*)> m_conn{nullptr, PQfinish};
};

// Runs one statement on the maintenance database; the error text, empty on
// success.
std::string RunOnServer(const std::string& sql)
{
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb("dbname=postgres"), PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK)
        return PQerrorMessage(conn.get());
    const CResult res(PQexec(conn.get(), sql.c_str()));
    const ExecStatusType status = PQresultStatus(res.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? std::string() : PQerrorMessage(conn.get());
}

// Every column of Samples, in the order of the samples recordset. The
// library's schema keeps the letter case of its names, so they are quoted.
const char* const kSampleColumns =
    "SELECT \"SampleID\", \"UserSampleID\", \"WorkOrder\", \"PartNo\", \"Detail\", \"Customer\", \"Material\", "
    "\"RegistrationDate\", \"RegisteredBy\", \"DueDate\", \"MeasuredDate\", \"MeasuredBy\", \"Signed\", "
    "\"Signature\", \"CustomField1\", \"CustomField2\", \"CustomField3\", \"CustomField4\", \"CustomField5\", "
    "\"CustomField6\", \"CustomField7\", \"CustomField8\", \"CustomField9\", \"CustomField10\", "
    "\"CustomField11\", \"CustomField12\", \"CustomField13\", \"CustomField14\", \"CustomField15\", "
    "\"CustomField16\", \"CustomField17\", \"CustomField18\", \"CustomField19\", \"Trace\" FROM \"Samples\"";

// The library's identifier match: letter case ignored, so that the unique
// index of the identifiers serves the lookup.
const char* const kMatchIdentifier = " WHERE \"UserSampleID\" = $1 COLLATE zen_nocase AND \"UserSampleID\" <> ''";

CString UserSampleID(int row)
{
    CString id;
    id.Format("S-%06d", row);
    return id;
}

bool TextIsTrue(const char* value)
{
    return value[0] == 't' || value[0] == '1';
}

// A "YYYY-MM-DD HH:MM:SS" value as local time; 0 for NULL.
CTime RawDate(const PGresult* res, int row, int column)
{
    if (PQgetisnull(res, row, column) || PQgetlength(res, row, column) < 19)
        return CTime(0);
    const char* t = PQgetvalue(res, row, column);
    const auto n = [t](int at, int digits) {
        int v = 0;
        for (int i = 0; i < digits; ++i)
            v = v * 10 + (t[at + i] - '0');
        return v;
    };
    return CTime(n(0, 4), n(5, 2), n(8, 2), n(11, 2), n(14, 2), n(17, 2));
}

void RawText(const PGresult* res, int row, int column, CString& into)
{
    into.StdString().assign(PQgetvalue(res, row, column), static_cast<size_t>(PQgetlength(res, row, column)));
}

// The bytes of a byte-string column in text form ("\x..." hex).
void RawBytes(const PGresult* res, int row, int column, std::vector<unsigned char>& into)
{
    into.clear();
    if (PQgetisnull(res, row, column))
        return;
    size_t length = 0;
    unsigned char* bytes =
        PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(res, row, column)), &length);
    if (bytes == nullptr)
        throw std::runtime_error("bytea not decoded");
    into.assign(bytes, bytes + length);
    PQfreemem(bytes);
}

// What the raw walk keeps of a row: every column copied out of the result.
struct RawSample {
    int32_t id = 0;
    std::string texts[31];
    bool signedFlag = false;
    std::vector<unsigned char> trace;
};

void ReadRawRow(const PGresult* res, int row, RawSample& sample)
{
    sample.id = static_cast<int32_t>(std::strtol(PQgetvalue(res, row, 0), nullptr, 10));
    int text = 0;
    for (int column = 1; column < 33; ++column) {
        if (column == 12) {
            sample.signedFlag = TextIsTrue(PQgetvalue(res, row, column));
            continue;
        }
        sample.texts[text++].assign(PQgetvalue(res, row, column),
                                    static_cast<size_t>(PQgetlength(res, row, column)));
    }
    RawBytes(res, row, 33, sample.trace);
}

// A row into a sample, as a program that uses the library's sample objects
// but reads the server itself would fill it: texts, dates as local time, the
// trace decoded from its block.
void FillSample(const PGresult* res, int row, CZENDB_Sample& sample, std::vector<unsigned char>& block)
{
    sample.SampleID = static_cast<int32_t>(std::strtol(PQgetvalue(res, row, 0), nullptr, 10));
    CString* const texts[] = {&sample.UserSampleID, &sample.WorkOrder, &sample.PartNo,
                              &sample.Detail,       &sample.Customer,  &sample.Material};
    for (int i = 0; i < 6; ++i)
        RawText(res, row, i + 1, *texts[i]);
    sample.RegistrationDate = RawDate(res, row, 7);
    RawText(res, row, 8, sample.RegisteredBy);
    sample.DueDate = RawDate(res, row, 9);
    sample.MeasuredDate = RawDate(res, row, 10);
    RawText(res, row, 11, sample.MeasuredBy);
    sample.Signed = TextIsTrue(PQgetvalue(res, row, 12)) ? TRUE : FALSE;
    RawText(res, row, 13, sample.Signature);
    CString* const custom[] = {&sample.CustomField1,  &sample.CustomField2,  &sample.CustomField3,
                               &sample.CustomField4,  &sample.CustomField5,  &sample.CustomField6,
                               &sample.CustomField7,  &sample.CustomField8,  &sample.CustomField9,
                               &sample.CustomField10, &sample.CustomField11, &sample.CustomField12,
                               &sample.CustomField13, &sample.CustomField14, &sample.CustomField15,
                               &sample.CustomField16, &sample.CustomField17, &sample.CustomField18,
                               &sample.CustomField19};
    for (int i = 0; i < 19; ++i)
        RawText(res, row, 14 + i, *custom[i]);
    sample.Trace.RemoveAll();
    RawBytes(res, row, 33, block);
    if (block.size() > 1) {
        CMemFile file(block.data(), static_cast<UINT>(block.size()), 0);
        CArchive archive(&file, CArchive::load, 4096);
        sample.Trace.Serialize(archive, -1);
    }
}

// --- the benchmark database ------------------------------------------------

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

// A new server database: the schema through the library, then the rows
// through libpq in one transaction, with the values of the SQLite walk's file.
void BuildDatabase()
{
    const std::string error = RunOnServer("CREATE DATABASE " + g_dbName);
    if (!error.empty())
        throw std::runtime_error("CREATE DATABASE " + g_dbName + ": " + error);
    CString schemaError;
    if (!ZenCreateDatabaseSchema(("dbname=" + g_dbName).c_str(), 1, 9, &schemaError))
        throw std::runtime_error("schema: " + schemaError.Str());

    const CRawPg db(g_dbName);
    std::string sql = "INSERT INTO \"Samples\" (\"UserSampleID\", \"WorkOrder\", \"PartNo\", \"Detail\", "
                      "\"Customer\", \"Material\", \"RegistrationDate\", \"RegisteredBy\", \"DueDate\", "
                      "\"MeasuredDate\", \"MeasuredBy\", \"Signed\", \"Signature\"";
    for (int i = 1; i <= 19; ++i)
        sql += ", \"CustomField" + std::to_string(i) + "\"";
    sql += ", \"Trace\") VALUES ($1";
    for (int i = 2; i <= 33; ++i)
        sql += ", $" + std::to_string(i);
    sql += ")";
    db.Prepare("fill", sql);
    const std::vector<BYTE> trace = FullTraceBlock();
    const CTime base(2014, 1, 1, 8, 0, 0);
    db.Exec("BEGIN");
    for (int row = 0; row < g_samples; ++row) {
        const CTime registered = base + CTimeSpan(row * 600LL);
        std::vector<std::string> values = {UserSampleID(row).Str(),
                                           ("WO-" + UserSampleID(row / 7)).Str(),
                                           "PN-4711",
                                           "Flange, left side",
                                           "Cliente industrial",
                                           "16MnCr5",
                                           SqlDateTimeText(registered).Str(),
                                           "operator",
                                           SqlDateTimeText(registered + CTimeSpan(7, 0, 0, 0)).Str(),
                                           SqlDateTimeText(registered + CTimeSpan(0, 3, 0, 0)).Str(),
                                           "lab",
                                           row % 2 ? "1" : "0",
                                           row % 2 ? "signed by lab" : ""};
        for (int i = 1; i <= 19; ++i)
            values.push_back(i <= 5 ? "Custom value " + std::to_string(row % 100) : "");
        const char* params[33];
        int lengths[33] = {};
        int formats[33] = {};
        for (size_t i = 0; i < values.size(); ++i)
            params[i] = values[i].c_str();
        const bool withTrace = row % kTraceEvery == 0;
        params[32] = withTrace ? reinterpret_cast<const char*>(trace.data()) : nullptr;
        lengths[32] = static_cast<int>(trace.size());
        formats[32] = 1;
        db.Run("fill", 33, params, lengths, formats);
    }
    db.Exec("COMMIT");
    db.Exec("ANALYZE \"Samples\"");
}

// --- the ratios ------------------------------------------------------------

// Seconds per item of each repetition of a baseline, by pair name.
std::map<std::string, std::vector<double>> g_baseline;

// Times the measured loop with the wall clock (the iterations are fixed, so
// each call of a benchmark function is one repetition).
class CLoopClock {
public:
    CLoopClock() : m_start(std::chrono::steady_clock::now()) {}
    double PerItem(const benchmark::State& state, int itemsPerIteration) const
    {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_start;
        return elapsed.count() / (static_cast<double>(state.iterations()) * itemsPerIteration);
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

// Also marks the baseline line itself with lib/raw 1.
void RecordBaseline(benchmark::State& state, const std::string& pair, double perItem)
{
    g_baseline[pair].push_back(perItem);
    state.counters["lib/raw"] = 1.0;
}

// lib/raw against the median of the baseline's repetitions (absent when
// the baseline did not run, e.g. filtered out).
void RecordLibrary(benchmark::State& state, const std::string& pair, double perItem)
{
    auto found = g_baseline.find(pair);
    if (found == g_baseline.end() || found->second.empty())
        return;
    std::vector<double> reps = found->second;
    std::sort(reps.begin(), reps.end());
    const size_t n = reps.size();
    const double median = n % 2 ? reps[n / 2] : (reps[n / 2 - 1] + reps[n / 2]) / 2;
    state.counters["lib/raw"] = perItem / median;
}

std::vector<CString> LookupIDs()
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> row(0, g_samples - 1);
    std::vector<CString> ids;
    for (int i = 0; i < kLookups; ++i)
        ids.push_back(UserSampleID(row(random)));
    return ids;
}

CString ConnectString()
{
    return CString(("dbname=" + g_dbName).c_str());
}

// --- walk ------------------------------------------------------------------

void BM_Walk_Raw(benchmark::State& state)
{
    const CRawPg db(g_dbName);
    db.Prepare("walk", kSampleColumns);
    RawSample sample;
    const CLoopClock clock;
    for (auto _ : state) {
        const CResult res = db.Run("walk", 0, nullptr);
        const int rows = PQntuples(res.get());
        for (int row = 0; row < rows; ++row) {
            ReadRawRow(res.get(), row, sample);
            benchmark::DoNotOptimize(sample);
        }
        if (rows != g_samples)
            state.SkipWithError("wrong row count");
    }
    RecordBaseline(state, "walk", clock.PerItem(state, g_samples));
    state.SetItemsProcessed(state.iterations() * g_samples);
}

// Every row through the field exchange and the sample's assignment.
void BM_Walk_Recordset(benchmark::State& state)
{
    CDatabase db;
    db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    CZENDB_Sample sample(&db);
    sample.KeepConnection = true;
    const CLoopClock clock;
    for (auto _ : state) {
        CZENDB_SamplesRecordset rs(&db);
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        int rows = 0;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            sample = rs.m_Sample;
            benchmark::DoNotOptimize(sample);
            ++rows;
        }
        if (rows != g_samples)
            state.SkipWithError("wrong row count");
    }
    RecordLibrary(state, "walk", clock.PerItem(state, g_samples));
    state.SetItemsProcessed(state.iterations() * g_samples);
}

// --- lookup by UserSampleID -------------------------------------------------

void BM_Lookup_Raw(benchmark::State& state)
{
    const CRawPg db(g_dbName);
    db.Prepare("lookup", std::string(kSampleColumns) + kMatchIdentifier);
    const std::vector<CString> ids = LookupIDs();
    CZENDB_Sample sample;
    std::vector<unsigned char> block;
    const CLoopClock clock;
    for (auto _ : state) {
        for (const CString& id : ids) {
            const char* param = id.GetString();
            const CResult res = db.Run("lookup", 1, &param);
            if (PQntuples(res.get()) != 1)
                state.SkipWithError("not found");
            else
                FillSample(res.get(), 0, sample, block);
            benchmark::DoNotOptimize(sample.SampleID);
        }
    }
    RecordBaseline(state, "lookup", clock.PerItem(state, kLookups));
    state.SetItemsProcessed(state.iterations() * kLookups);
}

void BM_Lookup_SampleExist(benchmark::State& state)
{
    CZENDatabase db;
    db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    const std::vector<CString> ids = LookupIDs();
    const CLoopClock clock;
    for (auto _ : state) {
        for (const CString& id : ids) {
            int32_t key = -1;
            if (!db.SampleExist(id, key))
                state.SkipWithError("not found");
            benchmark::DoNotOptimize(key);
        }
    }
    RecordLibrary(state, "lookup", clock.PerItem(state, kLookups));
    state.SetItemsProcessed(state.iterations() * kLookups);
}

void BM_Lookup_SampleLoad(benchmark::State& state)
{
    CZENDatabase db;
    db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    const std::vector<CString> ids = LookupIDs();
    const CLoopClock clock;
    for (auto _ : state) {
        for (const CString& id : ids) {
            CZENDB_Sample sample(&db);
            if (!sample.Load(id))
                state.SkipWithError("not found");
            benchmark::DoNotOptimize(sample.SampleID);
        }
    }
    RecordLibrary(state, "lookup", clock.PerItem(state, kLookups));
    state.SetItemsProcessed(state.iterations() * kLookups);
}

// --- insert ------------------------------------------------------------------

// The columns that the sample's insert writes for such a sample; the new key
// comes back in the same round trip.
const char* const kRawInsert = "INSERT INTO \"Samples\" (\"UserSampleID\", \"WorkOrder\", \"RegistrationDate\", "
                               "\"DueDate\", \"Signed\") VALUES ($1, $2, $3, $4, $5) RETURNING \"SampleID\"";
const char* const kRemoveInserted = "DELETE FROM \"Samples\" WHERE \"UserSampleID\" LIKE 'NEW-%'";
// Identifiers of new samples, never repeated within a run.
int g_nextNew = 0;

void BM_Insert_Raw(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    state.SetLabel(inTransaction ? "one transaction per batch of 100" : "autocommit");
    const CRawPg db(g_dbName);
    db.Prepare("insert", kRawInsert);
    const CLoopClock clock;
    for (auto _ : state) {
        if (inTransaction)
            db.Exec("BEGIN");
        for (int i = 0; i < kSavesPerBatch; ++i) {
            const std::string id = "NEW-" + std::to_string(g_nextNew++);
            const std::string now = SqlDateTimeText(CTime::GetCurrentTime()).Str();
            const char* params[] = {id.c_str(), "x", now.c_str(), now.c_str(), "0"};
            const CResult res = db.Run("insert", 5, params);
            benchmark::DoNotOptimize(std::strtol(PQgetvalue(res.get(), 0, 0), nullptr, 10));
        }
        if (inTransaction)
            db.Exec("COMMIT");
    }
    RecordBaseline(state, inTransaction ? "insert-tx" : "insert-auto", clock.PerItem(state, kSavesPerBatch));
    state.SetItemsProcessed(state.iterations() * kSavesPerBatch);
    db.Exec(kRemoveInserted);
}

// The sample's Save of a new sample: the identifier checked and the row
// inserted inside its own write transaction (joined as a savepoint when the
// batch's transaction is open).
void BM_Insert_SampleSave(benchmark::State& state)
{
    const bool inTransaction = state.range(0) != 0;
    state.SetLabel(inTransaction ? "one transaction per batch of 100" : "autocommit");
    {
        CZENDatabase db;
        db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
        const CLoopClock clock;
        for (auto _ : state) {
            if (inTransaction)
                db.BeginTrans();
            for (int i = 0; i < kSavesPerBatch; ++i) {
                CZENDB_Sample sample(&db, CString("NEW-") + std::to_string(g_nextNew++).c_str());
                sample.RegistrationDate = CTime::GetCurrentTime();
                sample.DueDate = sample.RegistrationDate;
                sample.WorkOrder = "x";
                if (!sample.Save())
                    state.SkipWithError("not saved");
                benchmark::DoNotOptimize(sample.SampleID);
            }
            if (inTransaction)
                db.CommitTrans();
        }
        RecordLibrary(state, inTransaction ? "insert-tx" : "insert-auto", clock.PerItem(state, kSavesPerBatch));
        state.SetItemsProcessed(state.iterations() * kSavesPerBatch);
    }
    CRawPg(g_dbName).Exec(kRemoveInserted);
}

// Baseline first, then the library, each with fixed iterations so that one
// call of a function is one repetition.
void Register()
{
    const int walks = 3;
    benchmark::RegisterBenchmark("BM_Walk_Raw", BM_Walk_Raw)->Iterations(walks)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Walk_Recordset", BM_Walk_Recordset)
        ->Iterations(walks)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Lookup_Raw", BM_Lookup_Raw)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Lookup_SampleExist", BM_Lookup_SampleExist)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Lookup_SampleLoad", BM_Lookup_SampleLoad)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    for (const int inTransaction : {1, 0}) {
        const int batches = inTransaction ? 20 : 5;
        benchmark::RegisterBenchmark("BM_Insert_Raw", BM_Insert_Raw)
            ->Arg(inTransaction)
            ->Iterations(batches)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_Insert_SampleSave", BM_Insert_SampleSave)
            ->Arg(inTransaction)
            ->Iterations(batches)
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* host = std::getenv("PGHOST");
    if (host == nullptr || *host == '\0') {
        std::fprintf(stderr, "bench_pg_server: no PostgreSQL server given (PGHOST is not set). Run it under "
                             "pg_virtualenv -t -- %s, or set PGHOST, PGPORT, PGUSER and PGPASSWORD.\n",
                     argv[0]);
        return 2;
    }
    const std::string reachable = RunOnServer("SELECT 1");
    if (!reachable.empty()) {
        std::fprintf(stderr, "bench_pg_server: the PostgreSQL server cannot be reached: %s", reachable.c_str());
        return 2;
    }
    if (const char* samples = std::getenv("ZEN_BENCH_PG_SAMPLES"); samples && *samples) {
        g_samples = std::atoi(samples);
        if (g_samples < kTraceEvery) {
            std::fprintf(stderr, "bench_pg_server: ZEN_BENCH_PG_SAMPLES must be %d or more\n", kTraceEvery);
            return 2;
        }
    }

    // The entries that loads and saves write to the event log go to
    // /dev/null, so that their cost is measured without filling a disk. A
    // station's configuration is old: dated back, it is parsed once and kept.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zen-bench-pg-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path config = dir / "bench.ini";
    std::ofstream(config) << "[Log]\nFile=/dev/null\n";
    std::filesystem::last_write_time(config, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10));
    setenv("ZEN_CONFIG", config.c_str(), 1);
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);

    g_dbName = "zen_bench_" + std::to_string(getpid());
    int rc = 0;
    try {
        CDefaultUIHost quiet;
        CUIHostScope scope(&quiet);
        std::fprintf(stderr, "bench_pg_server: building %d samples in database %s...\n", g_samples, g_dbName.c_str());
        BuildDatabase();
        Register();
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv))
            rc = 1;
        else
            benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_pg_server: %s\n", e.what());
        rc = 1;
    }
    RunOnServer("DROP DATABASE IF EXISTS " + g_dbName + " WITH (FORCE)");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}
