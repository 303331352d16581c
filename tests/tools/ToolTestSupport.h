// Helpers of the zendb tests: running the built zendb as a process with
// captured stdout, stderr and exit status, in a temporary folder with a
// database file, and small CSV and date helpers.
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
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

// A temporary folder with a new database file (schema 1.9, no users) and a
// runner that passes --db for it.
class CToolFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // zendb --db <file> args...
    CRun Zendb(const std::vector<std::string>& args,
               const std::map<std::string, std::optional<std::string>>& env = {}) const;
    // The same, expecting exit status 0 (the failure shows stderr).
    std::string Ok(const std::vector<std::string>& args) const;
    // zendb --db <file> --format json args..., parsed.
    nlohmann::json Json(const std::vector<std::string>& args) const;

    CTempDir m_dir;
    std::string m_db;
};

// A database with the case-hardening pattern "CHD" and the sample "R-1", for
// importing runs; Csv writes a file of indents into the test's folder.
class CRunsFixture : public CToolFixture {
protected:
    void SetUp() override;
    // The path of the file `name` in the test's folder, holding text.
    std::string Csv(const std::string& name, const std::string& text) const;
};

// Runs statements on the database file outside zendb (to store values zendb
// would refuse, make it refuse a step or lose a table). Errors pass.
void ExecuteOn(const std::string& path, const std::vector<std::string>& statements);

// "YYYY-MM-DD" of the local day `days` days from today (negative: before).
std::string LocalDate(int days);
// The diagonal (µm) of a Vickers indent of hardness hv at load gf, with
// enough digits that the hardness computed back is exact to 1e-9.
std::string VickersDiagonal(double hv, double load);

} // namespace zentest
