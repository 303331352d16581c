// Cost of the audit trail on a sample's save: the same registration and the
// same one-field change on a file with the trail (each save writes its
// entries in its own transaction) and on a file without it (as software that
// does not know the trail leaves one), measured in the same run.
#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/UIHost.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr int kExistingSamples = 1000;

// A new database file with kExistingSamples samples, with or without the
// audit trail; removed afterwards.
class CBenchDatabase {
public:
    explicit CBenchDatabase(bool withTrail)
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("zen-bench-audit-" + std::to_string(getpid()) + (withTrail ? "-with" : "-without"));
        std::filesystem::create_directories(m_dir);
        m_path = (m_dir / "audit.db").string();
        CString error;
        if (!ZenCreateDatabaseFile(m_path.c_str(), 1, 9, &error))
            throw std::runtime_error(error.Str());
        if (!withTrail) {
            CDatabase raw;
            raw.OpenEx(CString("DBQ=") + m_path.c_str() + ";", CDatabase::noOdbcDialog);
            raw.ExecuteSQL("DROP TABLE AuditTrail");
            raw.ExecuteSQL("DROP TABLE AuditTrailHead");
            raw.Close();
        }
        m_db.OpenEx(CString("DBQ=") + m_path.c_str() + ";", CDatabase::noOdbcDialog);
        m_db.BeginTrans();
        for (int i = 0; i < kExistingSamples; ++i) {
            CZENDB_Sample sample(&m_db, Next());
            if (!sample.Save())
                throw std::runtime_error("sample not saved");
        }
        m_db.CommitTrans();
        if (m_db.IsAuditTrailPresent() != withTrail)
            throw std::runtime_error("the file's audit trail is not as asked");
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

void Register(benchmark::State& state, bool withTrail)
{
    CDefaultUIHost quiet;
    CUIHostScope scope(&quiet);
    CBenchDatabase bench(withTrail);
    for (auto _ : state) {
        CZENDB_Sample sample(&bench.Db(), bench.Next());
        sample.WorkOrder = "WO-1";
        sample.Customer = "Talleres Ruiz";
        sample.RegistrationDate = CTime::GetCurrentTime();
        if (!sample.Save())
            state.SkipWithError("sample not saved");
    }
}

void Change(benchmark::State& state, bool withTrail)
{
    CDefaultUIHost quiet;
    CUIHostScope scope(&quiet);
    CBenchDatabase bench(withTrail);
    CZENDB_Sample sample(&bench.Db());
    if (!sample.Load(CString("S-0000500")))
        state.SkipWithError("sample not found");
    int n = 0;
    for (auto _ : state) {
        sample.WorkOrder.Format("WO-%d", ++n);
        if (!sample.Save())
            state.SkipWithError("sample not saved");
    }
}

// Baselines: files without the trail.
void BM_RegisterSample_WithoutTrail(benchmark::State& state) { Register(state, false); }
void BM_RegisterSample_WithTrail(benchmark::State& state) { Register(state, true); }
void BM_ChangeSample_WithoutTrail(benchmark::State& state) { Change(state, false); }
void BM_ChangeSample_WithTrail(benchmark::State& state) { Change(state, true); }

BENCHMARK(BM_RegisterSample_WithoutTrail)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegisterSample_WithTrail)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChangeSample_WithoutTrail)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChangeSample_WithTrail)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
