// Cost of the library on a PostgreSQL server against raw libpq calls (the
// baseline) in the same run, on one server database of N samples (default
// 100,000; ZEN_BENCH_PG_SAMPLES) of which every tenth holds a full trace: the
// walk of every sample and column, lookups by UserSampleID, and the insert
// of new samples in batches (one transaction each) and in autocommit.
// Both sides read results in text form, as the library's server driver asks
// for them. The ..._Raw lines time the baseline alone; each library line
// runs its baseline interleaved with it and carries raw_us (the baseline's
// time per item) and lib/raw (library time / baseline time).
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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// --- the work measured ------------------------------------------------------
// Each piece of work is an object set up outside the measurement whose
// Once() does one iteration and returns false when a result was wrong.

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

// The walk of every row and column through one prepared statement.
class CWalkRaw {
public:
    CWalkRaw() : m_db(g_dbName) { m_db.Prepare("walk", kSampleColumns); }
    static int Items() { return g_samples; }
    bool Once()
    {
        const CResult res = m_db.Run("walk", 0, nullptr);
        const int rows = PQntuples(res.get());
        for (int row = 0; row < rows; ++row) {
            ReadRawRow(res.get(), row, m_sample);
            benchmark::DoNotOptimize(m_sample);
        }
        return rows == g_samples;
    }

private:
    CRawPg m_db;
    RawSample m_sample;
};

// The walk through the samples recordset: every row through the field
// exchange and the sample's assignment.
class CWalkRecordset {
public:
    CWalkRecordset() { m_db.OpenEx(ConnectString(), CDatabase::noOdbcDialog); }
    static int Items() { return g_samples; }
    bool Once()
    {
        CZENDB_SamplesRecordset rs(&m_db);
        rs.Open(CRecordset::dynaset, rs.GetDefaultSQL(), CRecordset::none);
        int rows = 0;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            m_sample = rs.m_Sample;
            benchmark::DoNotOptimize(m_sample);
            ++rows;
        }
        return rows == g_samples;
    }

private:
    CDatabase m_db;
    CZENDB_Sample m_sample{&m_db};
};

// Lookups by identifier through one prepared statement, each row filled into
// a sample with its trace decoded.
class CLookupRaw {
public:
    CLookupRaw() : m_db(g_dbName) { m_db.Prepare("lookup", std::string(kSampleColumns) + kMatchIdentifier); }
    static int Items() { return kLookups; }
    bool Once()
    {
        bool ok = true;
        for (const CString& id : m_ids) {
            const char* param = id.GetString();
            const CResult res = m_db.Run("lookup", 1, &param);
            if (PQntuples(res.get()) != 1)
                ok = false;
            else
                FillSample(res.get(), 0, m_sample, m_block);
            benchmark::DoNotOptimize(m_sample.SampleID);
        }
        return ok;
    }

private:
    CRawPg m_db;
    std::vector<CString> m_ids = LookupIDs();
    CZENDB_Sample m_sample;
    std::vector<unsigned char> m_block;
};

// The same lookups through the facade's SampleExist, or (byLoad) through the
// sample's own load by identifier.
class CLookupLibrary {
public:
    explicit CLookupLibrary(bool byLoad) : m_byLoad(byLoad) { m_db.OpenEx(ConnectString(), CDatabase::noOdbcDialog); }
    static int Items() { return kLookups; }
    bool Once()
    {
        bool ok = true;
        for (const CString& id : m_ids) {
            if (m_byLoad) {
                CZENDB_Sample sample(&m_db);
                ok = sample.Load(id) && ok;
                benchmark::DoNotOptimize(sample.SampleID);
            } else {
                int32_t key = -1;
                ok = m_db.SampleExist(id, key) && ok;
                benchmark::DoNotOptimize(key);
            }
        }
        return ok;
    }

private:
    bool m_byLoad;
    CZENDatabase m_db;
    std::vector<CString> m_ids = LookupIDs();
};

// The columns that the sample's insert writes for such a sample; the new key
// comes back in the same round trip.
const char* const kRawInsert = "INSERT INTO \"Samples\" (\"UserSampleID\", \"WorkOrder\", \"RegistrationDate\", "
                               "\"DueDate\", \"Signed\") VALUES ($1, $2, $3, $4, $5) RETURNING \"SampleID\"";
const char* const kRemoveInserted = "DELETE FROM \"Samples\" WHERE \"UserSampleID\" LIKE 'NEW-%'";
// Identifiers of new samples, never repeated within a run.
int g_nextNew = 0;

// A batch of new samples through one prepared INSERT, inside one
// transaction or each in autocommit.
class CInsertRaw {
public:
    explicit CInsertRaw(bool inTransaction) : m_db(g_dbName), m_inTransaction(inTransaction)
    {
        m_db.Prepare("insert", kRawInsert);
    }
    ~CInsertRaw() { m_db.Exec(kRemoveInserted); }
    CInsertRaw(const CInsertRaw&) = delete;
    CInsertRaw& operator=(const CInsertRaw&) = delete;
    static int Items() { return kSavesPerBatch; }
    bool Once()
    {
        if (m_inTransaction)
            m_db.Exec("BEGIN");
        for (int i = 0; i < kSavesPerBatch; ++i) {
            const std::string id = "NEW-" + std::to_string(g_nextNew++);
            const std::string now = SqlDateTimeText(CTime::GetCurrentTime()).Str();
            const char* params[] = {id.c_str(), "x", now.c_str(), now.c_str(), "0"};
            const CResult res = m_db.Run("insert", 5, params);
            benchmark::DoNotOptimize(std::strtol(PQgetvalue(res.get(), 0, 0), nullptr, 10));
        }
        if (m_inTransaction)
            m_db.Exec("COMMIT");
        return true;
    }

private:
    CRawPg m_db;
    bool m_inTransaction;
};

// The same batch through the sample's Save of a new sample: the identifier
// checked and the row inserted inside its own write transaction (joined as a
// savepoint when the batch's transaction is open).
class CInsertSave {
public:
    explicit CInsertSave(bool inTransaction) : m_inTransaction(inTransaction)
    {
        m_db.OpenEx(ConnectString(), CDatabase::noOdbcDialog);
    }
    static int Items() { return kSavesPerBatch; }
    bool Once()
    {
        if (m_inTransaction)
            m_db.BeginTrans();
        bool ok = true;
        for (int i = 0; i < kSavesPerBatch; ++i) {
            CZENDB_Sample sample(&m_db, CString("NEW-") + std::to_string(g_nextNew++).c_str());
            sample.RegistrationDate = CTime::GetCurrentTime();
            sample.DueDate = sample.RegistrationDate;
            sample.WorkOrder = "x";
            ok = sample.Save() && ok;
            benchmark::DoNotOptimize(sample.SampleID);
        }
        if (m_inTransaction)
            m_db.CommitTrans();
        return ok;
    }

private:
    bool m_inTransaction;
    CZENDatabase m_db;
};

// --- the benchmarks ----------------------------------------------------------

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The baseline alone.
template <class Raw>
void RunRaw(benchmark::State& state, Raw& raw)
{
    for (auto _ : state)
        if (!raw.Once())
            state.SkipWithError("wrong result");
    state.SetItemsProcessed(state.iterations() * Raw::Items());
}

// The library with its baseline interleaved: every iteration runs both (in
// turns first), so that both meet the same load of a shared machine. The
// time shown is the library's; raw_us is the baseline's time per item and
// lib/raw the ratio of the two sums.
template <class Raw, class Library>
void RunPaired(benchmark::State& state, Raw& raw, Library& library)
{
    double rawSeconds = 0;
    double librarySeconds = 0;
    bool rawFirst = false;
    for (auto _ : state) {
        rawFirst = !rawFirst;
        for (int turn = 0; turn < 2; ++turn) {
            const bool isRaw = (turn == 0) == rawFirst;
            const auto start = std::chrono::steady_clock::now();
            const bool ok = isRaw ? raw.Once() : library.Once();
            const double took = Seconds(std::chrono::steady_clock::now() - start);
            if (!ok)
                state.SkipWithError("wrong result");
            (isRaw ? rawSeconds : librarySeconds) += took;
            if (!isRaw)
                state.SetIterationTime(took);
        }
    }
    const double items = static_cast<double>(state.iterations()) * Library::Items();
    state.SetItemsProcessed(static_cast<int64_t>(items));
    state.counters["raw_us"] = rawSeconds / items * 1e6;
    state.counters["lib/raw"] = rawSeconds > 0 ? librarySeconds / rawSeconds : 0;
}

void BM_Walk_Raw(benchmark::State& state)
{
    CWalkRaw raw;
    RunRaw(state, raw);
}
void BM_Walk_Recordset(benchmark::State& state)
{
    CWalkRaw raw;
    CWalkRecordset library;
    RunPaired(state, raw, library);
}

void BM_Lookup_Raw(benchmark::State& state)
{
    CLookupRaw raw;
    RunRaw(state, raw);
}
void BM_Lookup_SampleExist(benchmark::State& state)
{
    CLookupRaw raw;
    CLookupLibrary library(false);
    RunPaired(state, raw, library);
}
void BM_Lookup_SampleLoad(benchmark::State& state)
{
    CLookupRaw raw;
    CLookupLibrary library(true);
    RunPaired(state, raw, library);
}

// state.range(0): 1 for one transaction per batch, 0 for autocommit.
const char* InsertLabel(const benchmark::State& state)
{
    return state.range(0) != 0 ? "one transaction per batch of 100" : "autocommit";
}
void BM_Insert_Raw(benchmark::State& state)
{
    state.SetLabel(InsertLabel(state));
    CInsertRaw raw(state.range(0) != 0);
    RunRaw(state, raw);
}
void BM_Insert_SampleSave(benchmark::State& state)
{
    state.SetLabel(InsertLabel(state));
    CInsertRaw raw(state.range(0) != 0);
    CInsertSave library(state.range(0) != 0);
    RunPaired(state, raw, library);
}

// Fixed iterations: the walks and batches are long enough to time alone, and
// repetitions (--benchmark_repetitions) give the rounds.
void Register()
{
    benchmark::RegisterBenchmark("BM_Walk_Raw", BM_Walk_Raw)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Walk_Recordset", BM_Walk_Recordset)
        ->Iterations(4)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Lookup_Raw", BM_Lookup_Raw)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Lookup_SampleExist", BM_Lookup_SampleExist)
        ->Iterations(4)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Lookup_SampleLoad", BM_Lookup_SampleLoad)
        ->Iterations(4)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    for (const int inTransaction : {1, 0}) {
        const int batches = inTransaction ? 10 : 4;
        benchmark::RegisterBenchmark("BM_Insert_Raw", BM_Insert_Raw)
            ->Arg(inTransaction)
            ->Iterations(batches)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_Insert_SampleSave", BM_Insert_SampleSave)
            ->Arg(inTransaction)
            ->Iterations(batches)
            ->UseManualTime()
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
