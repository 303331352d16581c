// Helpers of the zendb tests: running the built zendb as a process with
// captured stdout, stderr and exit status, in a temporary folder with a
// database (a file, or a fresh server database for the suites run on both
// engines), and small CSV and date helpers.
#pragma once

#include "EngineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zentest {

struct CRun {
    int status = -1;        // exit status; 128 + signal when killed
    std::string out;
    std::string err;
};

// Runs zendb with the arguments. env: variables to set (a value of nullopt
// removes the variable); stdin reads the file `input` (by default empty, not
// a terminal).
CRun RunZendb(const std::vector<std::string>& args,
              const std::map<std::string, std::optional<std::string>>& env = {},
              const std::string& input = "/dev/null");

// Exit status of RunZendbAsNobody when the child could not become the
// unprivileged user (or could not start zendb as it).
constexpr int kCannotRunAsNobody = 126;
// RunZendb as the unprivileged user and group 65534 (the caller must be
// root): for files that root could write whatever their permissions say.
// Every folder on the way to zendb and to the files it is given must be
// open to that user.
CRun RunZendbAsNobody(const std::vector<std::string>& args,
                      const std::map<std::string, std::optional<std::string>>& env = {});
// RunZendb with every file zendb writes limited to `bytes`: a write past the
// limit fails (EFBIG) the way a write to a full disk does. Status
// kCannotRunAsNobody when the limit could not be set.
CRun RunZendbWithFileSizeLimit(const std::vector<std::string>& args, uint64_t bytes,
                               const std::map<std::string, std::optional<std::string>>& env = {});

// A temporary folder with a new database (schema 1.9, no users, made by
// 'zendb init') and a runner that passes --db for it. The database is a file
// in the folder, or on the engine PostgreSQL (CEngineTool) a fresh server
// database, dropped after the test; a server not available here skips the
// test. A fixture deriving from this one returns from its SetUp when this
// one skipped or failed (IsSkipped() || HasFatalFailure()).
class CToolFixture : public ::testing::Test {
protected:
    void SetUp() override;
    // The engine of the test's database: SQLite unless CEngineTool says otherwise.
    virtual ETestEngine Engine() const { return ETestEngine::Sqlite; }
    CEngineQuirks Quirks() const { return EngineQuirks(Engine()); }

    // zendb --db <file> args...
    CRun Zendb(const std::vector<std::string>& args,
               const std::map<std::string, std::optional<std::string>>& env = {}) const;
    // The same, expecting exit status 0 (the failure shows stderr).
    std::string Ok(const std::vector<std::string>& args) const;
    // zendb --db <file> --format json args..., parsed.
    nlohmann::json Json(const std::vector<std::string>& args) const;

    CTempDir m_dir;
    // The file path, or the server database's connection string.
    std::string m_db;
    std::unique_ptr<CTestDatabase> m_server;
};

// The fixture Base (CToolFixture or one derived from it) on the engine its
// parameter names: declare the cases with TEST_P and the suite with
// ZEN_TOOL_ENGINES(Suite), which names each case by its engine
// (".../SQLite", ".../PostgreSQL").
template <class Base>
class CEngineTool : public Base, public ::testing::WithParamInterface<ETestEngine> {
protected:
    ETestEngine Engine() const override { return this->GetParam(); }
};

inline std::string EngineTestName(const ::testing::TestParamInfo<ETestEngine>& info)
{
    return EngineName(info.param);
}

// A database with the case-hardening pattern "CHD" and the sample "R-1", for
// importing runs; Csv writes a file of indents into the test's folder.
class CRunsFixture : public CToolFixture {
protected:
    void SetUp() override;
    // The path of the file `name` in the test's folder, holding text.
    std::string Csv(const std::string& name, const std::string& text) const;
};

// Runs statements on the database (a file path or a server's connection
// string) outside zendb, to store values zendb would refuse, make it refuse
// a step or lose a table. Errors pass.
void ExecuteOn(const std::string& path, const std::vector<std::string>& statements);

// "YYYY-MM-DD" of the local day `days` days from today (negative: before).
std::string LocalDate(int days);
// The diagonal (µm) of a Vickers indent of hardness hv at load gf, with
// enough digits that the hardness computed back is exact to 1e-9.
std::string VickersDiagonal(double hv, double load);

} // namespace zentest

#define ZEN_TOOL_ENGINES(suite)                                                                                        \
    INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::ValuesIn(::zentest::AllEngines()), ::zentest::EngineTestName)
