// Cost of registering a new sample: the sample's save, which checks the
// identifier and inserts inside one write transaction, against the baseline
// of the same registration done the old way in the same run (the existence
// check outside, then a plain insert through the samples recordset).
#include "companions/EventLog.h"
#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/UIHost.h"
#include "recordsets/CZENDB_SamplesRecordset.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr int kExistingSamples = 2000;

// A new database file with kExistingSamples samples, removed afterwards.
class CBenchDatabase {
public:
    CBenchDatabase()
    {
        m_dir = std::filesystem::temp_directory_path() / ("zen-bench-save-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        m_path = (m_dir / "save.db").string();
        CString error;
        if (!ZenCreateDatabaseFile(m_path.c_str(), 1, 9, &error))
            throw std::runtime_error(error.Str());
        m_db.OpenEx(CString("DBQ=") + m_path.c_str() + ";", CDatabase::noOdbcDialog);
        m_db.BeginTrans();
        for (int i = 0; i < kExistingSamples; ++i) {
            CZENDB_Sample sample(&m_db, Next());
            if (!sample.Save())
                throw std::runtime_error("sample not saved");
        }
        m_db.CommitTrans();
    }
    ~CBenchDatabase()
    {
        m_db.Close();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    CBenchDatabase(const CBenchDatabase&) = delete;
    CBenchDatabase& operator=(const CBenchDatabase&) = delete;

    CZENDatabase& Db() { return m_db; }
    // A new identifier, never used before in this file.
    CString Next()
    {
        CString id;
        id.Format("S-%07d", ++m_number);
        return id;
    }

private:
    std::filesystem::path m_dir;
    std::string m_path;
    CZENDatabase m_db;
    int m_number = 0;
};

CZENDB_Sample NewSample(CBenchDatabase& bench)
{
    CZENDB_Sample sample(&bench.Db(), bench.Next());
    sample.WorkOrder = "WO-1";
    sample.Customer = "Talleres Ruiz";
    sample.RegistrationDate = CTime::GetCurrentTime();
    return sample;
}

constexpr const char* kModule = "databaseobjects";
constexpr const char* kSave = "CZENDB_Sample::Save";

// Baseline: SampleExist outside any transaction, then the insert the save
// made before, with its event-log trail: the recordset by key, AddNew, the
// sample copied in, Update, the new key read back (committed on its own).
void BM_RegisterOldWay_CheckOutsidePlainInsert(benchmark::State& state)
{
    CDefaultUIHost quiet;
    CUIHostScope scope(&quiet);
    CBenchDatabase bench;
    for (auto _ : state) {
        CZENDB_Sample sample = NewSample(bench);
        int32_t key = -1;
        if (bench.Db().SampleExist(sample.UserSampleID, key))
            state.SkipWithError("identifier taken");
        ZEN_LOG_EVENT(kModule, kSave, "Creating CZENDB_SamplesRecordset...");
        CZENDB_SamplesRecordset rs(&bench.Db());
        ZEN_LOG_EVENT(kModule, kSave, "Formating the SQL string to be used...");
        CString sql;
        sql.Format("%s %s", rs.GetDefaultSQL().GetString(), rs.GetWhereSQL(sample.SampleID).GetString());
        ZEN_LOG_EVENT(kModule, kSave, "SQL string is equal to '%s'. Opening recordset...", sql.GetString());
        rs.Open(CRecordset::dynaset, sql.GetString(), CRecordset::none);
        ZEN_LOG_EVENT(kModule, kSave, "Successfully opened recordset!");
        ZEN_LOG_EVENT(kModule, kSave, "Sample did not exist, creating a new record...");
        rs.AddNew();
        rs.SetSample(sample, true);
        rs.Update();
        rs.MoveLast();
        benchmark::DoNotOptimize(rs.GetSampleID());
        ZEN_LOG_EVENT(kModule, kSave, "Added new recordset successfully!");
        rs.Close();
    }
}
BENCHMARK(BM_RegisterOldWay_CheckOutsidePlainInsert)->Unit(benchmark::kMicrosecond);

// The registration as the library does it now: SampleExist (as the dialog
// still asks first), then Save with its check and insert in one write
// transaction.
void BM_RegisterSave_CheckInsideTransaction(benchmark::State& state)
{
    CDefaultUIHost quiet;
    CUIHostScope scope(&quiet);
    CBenchDatabase bench;
    for (auto _ : state) {
        CZENDB_Sample sample = NewSample(bench);
        int32_t key = -1;
        if (bench.Db().SampleExist(sample.UserSampleID, key))
            state.SkipWithError("identifier taken");
        ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
        if (!sample.Save(outcome))
            state.SkipWithError("sample not saved");
    }
}
BENCHMARK(BM_RegisterSave_CheckInsideTransaction)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
