// Fresh test databases per engine: SQLite files in temporary folders, and
// server databases with unique names made and dropped over libpq.
#include "EngineTestSupport.h"

#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <libpq-fe.h>
#include <unistd.h>

namespace zentest {

const char* EngineName(ETestEngine engine)
{
    return engine == ETestEngine::Sqlite ? "SQLite" : "PostgreSQL";
}

bool EngineAvailable(ETestEngine engine)
{
    if (engine == ETestEngine::Sqlite)
        return true;
    const char* given = std::getenv("ZEN_TEST_PG");
    return given && *given && std::string(given) != "0";
}

std::vector<ETestEngine> AvailableEngines()
{
    std::vector<ETestEngine> engines;
    for (ETestEngine e : AllEngines())
        if (EngineAvailable(e))
            engines.push_back(e);
    return engines;
}

CEngineQuirks EngineQuirks(ETestEngine engine)
{
    if (engine == ETestEngine::Sqlite)
        return {true, true, false, "COUNT(*)", true, true};
    return {false, false, true, "count", false, false};
}

std::string RunOnPgServer(const std::string& sql)
{
    PGconn* conn = PQconnectdb("dbname=postgres");
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = PQerrorMessage(conn);
    } else {
        PGresult* res = PQexec(conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(res);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(res);
        PQclear(res);
    }
    PQfinish(conn);
    return error;
}

CTestDatabase::CTestDatabase(ETestEngine engine) : m_engine(engine)
{
    if (!EngineAvailable(engine)) {
        ADD_FAILURE() << EngineName(engine) << " is not available";
        return;
    }
    if (engine == ETestEngine::Sqlite) {
        m_dir = std::make_unique<CTempDir>();
        m_name = m_dir->File("test.db");
        const CString connect = CString("DBQ=") + FormatConnectStringValue(m_name.c_str()) + ";";
        CDatabase::CreateDatabase(connect);
        m_connect = connect;
        return;
    }
    // Unique among the test processes running side by side (ctest -j).
    static std::atomic<int> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    m_name = "zen_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_" +
             std::to_string(now % 1000000007);
    const std::string error = RunOnPgServer("CREATE DATABASE " + m_name);
    if (!error.empty()) {
        ADD_FAILURE() << "CREATE DATABASE " << m_name << ": " << error;
        m_name.clear();
        return;
    }
    m_connect = CString(("dbname=" + m_name).c_str());
}

CTestDatabase::~CTestDatabase()
{
    if (m_engine == ETestEngine::PostgreSql && !m_name.empty())
        RunOnPgServer("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
}

} // namespace zentest
