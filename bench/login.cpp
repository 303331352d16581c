// Cost of a login and of adding a user, whose password hash is deliberately
// slow (Argon2id, 64 MiB), against the baseline of the same open without a
// login in the same run. No goal: the lines make the hash's cost visible.
#include "database/Schema.h"
#include "database/ZENDatabase.h"
#include "framework/UIHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

// A fresh database file with one user, named to the facade by a
// configuration of its own; removed at the end.
class CLoginBed {
public:
    CLoginBed()
    {
        const char* tmp = std::getenv("TMPDIR");
        m_folder = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                   ("zen-bench-login-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_folder);
        m_db = (m_folder / "login.db").string();
        const std::string ini = (m_folder / "zen.ini").string();
        std::ofstream(ini) << "[Database]\nDatabaseFile=" << m_db << "\n[Log]\nFile=" << (m_folder / "zen.log").string()
                           << "\n";
        setenv("ZEN_CONFIG", ini.c_str(), 1);
        CString error;
        if (!ZenCreateDatabaseFile(m_db.c_str(), 1, 9, &error))
            throw std::runtime_error(error.Str());
        CZENDatabase db;
        if (db.OpenDatabase(0, "", "", error) != 1 || db.AddUser("bench", "bench-pw", static_cast<UserRoleType>(2)) != 1)
            throw std::runtime_error("the benchmark user could not be added");
    }
    ~CLoginBed()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
    CLoginBed(const CLoginBed&) = delete;
    CLoginBed& operator=(const CLoginBed&) = delete;

private:
    std::filesystem::path m_folder;
    std::string m_db;
};

void BM_OpenWithoutLogin_Baseline(benchmark::State& state)
{
    CLoginBed bed;
    for (auto _ : state) {
        CZENDatabase db;
        CString error;
        if (db.OpenDatabase(0, "", "", error) != 1)
            state.SkipWithError("open failed");
        db.CloseDatabase();
    }
}
BENCHMARK(BM_OpenWithoutLogin_Baseline)->Unit(benchmark::kMillisecond);

void BM_OpenWithLogin(benchmark::State& state)
{
    CLoginBed bed;
    for (auto _ : state) {
        CZENDatabase db;
        CString error;
        if (db.OpenDatabase(1, "bench", "bench-pw", error) != 1)
            state.SkipWithError("login failed");
        db.CloseDatabase();
    }
}
BENCHMARK(BM_OpenWithLogin)->Unit(benchmark::kMillisecond);

void BM_AddUserThenLogin(benchmark::State& state)
{
    CLoginBed bed;
    int n = 0;
    for (auto _ : state) {
        CZENDatabase db;
        CString error;
        if (db.OpenDatabase(0, "", "", error) != 1)
            state.SkipWithError("open failed");
        const CString name = CString("user") + std::to_string(++n).c_str();
        db.AddUser(name, "pw", static_cast<UserRoleType>(0));
        db.CloseDatabase();
        CZENDatabase login;
        if (login.OpenDatabase(1, name, "pw", error) != 1)
            state.SkipWithError("login failed");
        login.CloseDatabase();
    }
}
BENCHMARK(BM_AddUserThenLogin)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
