// The database engines the tests run on, and a fresh, empty database of each
// for one test: a SQLite file in a temporary folder, or a database of its own
// on the PostgreSQL server that scripts/run-tests.sh starts (pg_virtualenv).
// The differences between the engines that tests must know stand here.
#pragma once

#include "TestSupport.h"

#include "framework/CString.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace zentest {

enum class ETestEngine { Sqlite, PostgreSql };

// "SQLite" / "PostgreSQL", for test names and messages.
const char* EngineName(ETestEngine engine);
// Prints the engine's name where GoogleTest shows a parameter (the test
// lists that CTest reads included).
void PrintTo(ETestEngine engine, std::ostream* os);

// SQLite always; PostgreSQL when the environment names a server
// (ZEN_TEST_PG=1, with libpq's PGHOST, PGPORT, PGUSER, PGPASSWORD).
bool EngineAvailable(ETestEngine engine);
// The engines available here, SQLite first.
std::vector<ETestEngine> AvailableEngines();
// Every engine, for parameterised suites (those not available skip).
inline std::vector<ETestEngine> AllEngines() { return {ETestEngine::Sqlite, ETestEngine::PostgreSql}; }

// What a test may expect differently of an engine.
struct CEngineQuirks {
    // CDatabase::Backup writes a file (the server refuses: pg_dump's work).
    bool backupToFile;
    // The database is a file whose permissions, removal or damage a test can
    // bring about.
    bool databaseIsFile;
    // LIKE and the case-blind identifier ignore the case of letters beyond
    // ASCII as well (SQLite: ASCII letters only).
    bool caseBlindBeyondAscii;
    // Name of the result column of an unnamed COUNT(*).
    const char* countColumnName;
    // A statement after which every write of a password hash (a text that
    // begins "$argon2id$") into Table1.Field1 fails: a write the library must
    // survive.
    const char* refusePasswordHashesSql;
    // ORDER BY ... COLLATE NOCASE puts a letter beyond ASCII beside its base
    // letter (Ä with A), as the server's case-blind collation does; SQLite
    // puts it after every ASCII letter (by code point).
    bool linguisticOrder;
    // A rollback undoes a move of an auto-number's counter (the server's
    // sequences are never rolled back).
    bool autoNumberMoveRolledBack;
    // CRecordset::GetAddedKey tells an auto-number key without a read (the
    // server names the added row by its hidden row identity instead).
    bool addedKeyTold;
};
CEngineQuirks EngineQuirks(ETestEngine engine);

// A fresh, empty database of engine, dropped (its file removed, or the
// server database dropped with every connection to it) on destruction.
// The constructor fails the test (ADD_FAILURE) and leaves ConnectString
// empty when the engine is not available or the database cannot be made.
class CTestDatabase {
public:
    explicit CTestDatabase(ETestEngine engine);
    ~CTestDatabase();
    CTestDatabase(const CTestDatabase&) = delete;
    CTestDatabase& operator=(const CTestDatabase&) = delete;

    ETestEngine Engine() const { return m_engine; }
    // What CDatabase::OpenEx takes: "DBQ=<file>;" or "dbname=<name>".
    const CString& ConnectString() const { return m_connect; }
    // The file path (SQLite) or the database name (PostgreSQL).
    const std::string& Name() const { return m_name; }

private:
    ETestEngine m_engine;
    std::unique_ptr<CTempDir> m_dir;
    std::string m_name;
    CString m_connect;
};

// Runs one statement on the server's maintenance database "postgres", or
// on the database named (outside the library, for set-up a test cannot do
// through it: roles, grants); the error text, empty on success.
std::string RunOnPgServer(const std::string& sql, const std::string& database = "postgres");

// The test server's cluster as Debian's pg_ctlcluster names it ("15 regress",
// from the server's cluster_name "15/regress"); empty when the server is not
// such a cluster or pg_ctlcluster is missing (a restart cannot be asked for).
std::string PgClusterForRestart();
// Restarts the test server (pg_ctlcluster stop, then start: every session
// ends, then the server accepts connections again). The error text, empty on
// success. Only tests that run alone may call it (their name holds
// "RunsAlone": CTest runs them while no other test runs).
std::string RestartPgServer();

} // namespace zentest

// Skips the test, saying why, when engine is not available here.
#define ZEN_REQUIRE_ENGINE(engine)                                                                                     \
    do {                                                                                                               \
        if (!zentest::EngineAvailable(engine))                                                                         \
            GTEST_SKIP() << zentest::EngineName(engine)                                                                \
                         << " is not available: no server given (run scripts/run-tests.sh, which starts one, "         \
                            "or set ZEN_TEST_PG=1 with PGHOST, PGPORT, PGUSER and PGPASSWORD)";                        \
    } while (0)
