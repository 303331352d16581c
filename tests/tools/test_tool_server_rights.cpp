// The rights a station's own server role needs, as the README names them:
// a role with exactly those rights works with zendb on a database that the
// lab's owner role made, and one without CREATE on the schema reads only.
#include "ToolTestSupport.h"

#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace zentest {
namespace {

// A server role, dropped when the test ends (after the databases declared
// after it, whose grants would otherwise keep it).
class CTestRole {
public:
    explicit CTestRole(std::string name) : m_name(std::move(name))
    {
        const std::string error = RunOnPgServer("CREATE ROLE " + m_name + " LOGIN PASSWORD 'pw-station'");
        EXPECT_TRUE(error.empty()) << error;
    }
    ~CTestRole() { RunOnPgServer("DROP ROLE IF EXISTS " + m_name); }
    CTestRole(const CTestRole&) = delete;
    CTestRole& operator=(const CTestRole&) = delete;
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
};

TEST(ToolServerRights, AStationRoleWorksWithTheNamedRights_ServerOnly)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    const CTestRole role("zen_station_" + std::to_string(::getpid()));
    const CTestDatabase server(ETestEngine::PostgreSql);
    const std::string owner = server.ConnectString().Str();
    // The owner makes the schema; its first opening adds the tables the
    // library adds to a database of the current version.
    ASSERT_EQ(RunZendb({"--db", owner, "init"}).status, 0);
    ASSERT_EQ(RunZendb({"--db", owner, "info"}).status, 0);

    const std::string& name = role.Name();
    for (const std::string& sql : {
             "GRANT CONNECT ON DATABASE " + server.Name() + " TO " + name,
             "GRANT USAGE, CREATE ON SCHEMA public TO " + name,
             "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + name,
             "GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO " + name,
         }) {
        const std::string error = RunOnPgServer(sql, server.Name());
        ASSERT_TRUE(error.empty()) << sql << ": " << error;
    }

    const std::string station = owner + " user=" + name + " password=pw-station";
    const std::map<std::string, std::optional<std::string>> login = {{"ZEN_PASSWORD", "pw-boss"},
                                                                     {"ZEN_NEW_PASSWORD", "pw-boss"}};
    const std::vector<std::vector<std::string>> commands = {
        {"samples", "register", "S-1", "--count", "3"},
        {"samples", "set", "S-1", "Customer=ACME"},
        {"samples", "delete", "S-3"},
        {"users", "add", "boss", "--role", "administrator"},
        {"--user", "boss", "patterns", "add", "CHD", "--preset", "case-hardening"},
        {"--user", "boss", "fields", "show", "CustomField1"},
        {"--user", "boss", "samples", "register", "S-9", "--pattern", "CHD"},
        {"--user", "boss", "audit", "verify"},
        {"check"},
        {"info"},
    };
    for (const auto& args : commands) {
        std::vector<std::string> all = {"--db", station};
        all.insert(all.end(), args.begin(), args.end());
        const CRun run = RunZendb(all, login);
        EXPECT_EQ(run.status, 0) << args[0] << " " << args[1] << ": " << run.err;
        EXPECT_EQ((run.out + run.err).find("pw-station"), std::string::npos);
    }
    const CRun listed = RunZendb({"--db", station, "--format", "json", "--user", "boss", "samples", "list"}, login);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(nlohmann::json::parse(listed.out).size(), 3u);

    // Without CREATE on the schema the library takes the database for one it
    // may not write: reading works, changing is refused with the reason.
    ASSERT_EQ(RunOnPgServer("REVOKE CREATE ON SCHEMA public FROM " + name, server.Name()), "");
    const CRun read = RunZendb({"--db", station, "--user", "boss", "samples", "list"}, login);
    EXPECT_EQ(read.status, 0) << read.err;
    const CRun refused = RunZendb({"--db", station, "--user", "boss", "samples", "register", "S-10"}, login);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "zendb: this command changes the database, which cannot be written: The database user "
                           "may not create tables in the database's schema.\n");
}

} // namespace
} // namespace zentest
