// Fresh test databases per engine: SQLite files in temporary folders, and
// server databases with unique names made and dropped over libpq.
#include "EngineTestSupport.h"

#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zentest {

const char* EngineName(ETestEngine engine)
{
    return engine == ETestEngine::Sqlite ? "SQLite" : "PostgreSQL";
}

void PrintTo(ETestEngine engine, std::ostream* os)
{
    *os << EngineName(engine);
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
        return {true, true, false, "COUNT(*)",
                "CREATE TRIGGER KeepPasswords BEFORE UPDATE ON Table1 WHEN NEW.Field1 LIKE '$argon2id$%' "
                "BEGIN SELECT RAISE(ABORT, 'kept'); END",
                false, true, true};
    return {false, false, true, "count",
            "ALTER TABLE Table1 ADD CONSTRAINT KeepPasswords CHECK (Field1 NOT LIKE '$argon2id$%')", true, false,
            false};
}

std::string RunOnPgServer(const std::string& sql, const std::string& database)
{
    // The name as a quoted conninfo value: any character may stand in it.
    std::string quoted = "dbname='";
    for (const char c : database) {
        if (c == '\\' || c == '\'')
            quoted += '\\';
        quoted += c;
    }
    quoted += "'";
    PGconn* conn = PQconnectdb(quoted.c_str());
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

std::string PgClusterForRestart()
{
    std::string cluster;
    PGconn* conn = PQconnectdb("dbname=postgres");
    if (PQstatus(conn) == CONNECTION_OK) {
        PGresult* res = PQexec(conn, "SELECT current_setting('cluster_name')");
        if (PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) == 1)
            cluster = PQgetvalue(res, 0, 0);
        PQclear(res);
    }
    PQfinish(conn);
    const size_t slash = cluster.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == cluster.size() ||
        std::system("command -v pg_ctlcluster >/dev/null 2>&1") != 0)
        return std::string();
    return cluster.substr(0, slash) + " " + cluster.substr(slash + 1);
}

namespace {

// Runs pg_ctlcluster version name action; the error text, empty on success.
// A child of our own rather than system(): the names reach pg_ctlcluster as
// they are, never through a shell.
std::string RunPgCtlCluster(const std::string& version, const std::string& name, const char* action)
{
    const pid_t child = ::fork();
    if (child < 0)
        return std::string("fork: ") + std::strerror(errno);
    if (child == 0) {
        ::execlp("pg_ctlcluster", "pg_ctlcluster", version.c_str(), name.c_str(), action,
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = -1;
    if (::waitpid(child, &status, 0) != child)
        return std::string("waitpid: ") + std::strerror(errno);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "pg_ctlcluster " + version + " " + name + " " + action + " failed (status " + std::to_string(status) +
               ")";
    return std::string();
}

} // namespace

std::string RestartPgServer()
{
    const std::string cluster = PgClusterForRestart();
    if (cluster.empty())
        return "the test server is not a cluster pg_ctlcluster can restart";
    const std::string version = cluster.substr(0, cluster.find(' '));
    const std::string name = cluster.substr(cluster.find(' ') + 1);
    // Stop, then start, rather than "restart": restart asks whether the
    // cluster runs through the cluster's external pid file, which clusters
    // of the same name started side by side (pg_virtualenv runs of other
    // builds) share and overwrite; stop and start look at the data folder.
    std::string error = RunPgCtlCluster(version, name, "stop");
    if (error.empty())
        error = RunPgCtlCluster(version, name, "start");
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
