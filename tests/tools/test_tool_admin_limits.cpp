// zendb as a process at the edges an administrator meets: a command group
// without its subcommand is a usage error, the help states the limits, and
// roles and passwords outside what a login can use are refused.
#include "ToolTestSupport.h"

namespace zentest {
namespace {

std::string Joined(const std::vector<std::string>& args)
{
    std::string text = "zendb";
    for (const std::string& arg : args)
        text += " " + arg;
    return text;
}

TEST(ToolGroups, WithoutSubcommandPrintTheUsageOnStderrAndExitTwo)
{
    // Each case: the arguments and the usage line they must print.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "Usage: zendb [OPTIONS]"},
        {{"users"}, "Usage: zendb users [OPTIONS]"},
        {{"fields"}, "Usage: zendb fields [OPTIONS]"},
        {{"samples"}, "Usage: zendb samples [OPTIONS]"},
        {{"patterns"}, "Usage: zendb patterns [OPTIONS]"},
        {{"routines"}, "Usage: zendb routines [OPTIONS]"},
        {{"runs"}, "Usage: zendb runs [OPTIONS]"},
        {{"gui"}, "Usage: zendb gui [OPTIONS]"},
        {{"--format", "json", "users"}, "Usage: zendb users [OPTIONS]"},
    };
    for (const auto& [args, usage] : cases) {
        const CRun run = RunZendb(args);
        EXPECT_EQ(run.status, 2) << Joined(args) << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << Joined(args) << ": " << run.out;
        EXPECT_NE(run.err.find(usage), std::string::npos) << Joined(args) << ": " << run.err;
        EXPECT_NE(run.err.find("Subcommands:"), std::string::npos) << Joined(args) << ": " << run.err;
    }
}

TEST(ToolGroups, AskedForHelpTheyExitZeroWithTheFullName)
{
    for (const std::string group : {"users", "samples", "gui"}) {
        const CRun run = RunZendb({group, "--help"});
        EXPECT_EQ(run.status, 0) << group << ": " << run.err;
        EXPECT_NE(run.out.find("Usage: zendb " + group + " [OPTIONS]"), std::string::npos) << run.out;
    }
}

TEST(ToolGroups, HelpStatesTheLimits)
{
    // Each case: the help asked for and a text it must hold.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"samples", "list", "--help"}, "(0, the default: all)"},
        {{"samples", "register", "--help"}, "(N from 1 to 10000)"},
        {{"patterns", "add", "--help"}, "NrOfIndents 1 to 1000, NrOfLines 1 to 20"},
        {{"patterns", "set", "--help"}, "NrOfIndents 1 to 1000, NrOfLines 1 to 20"},
        {{"users", "add", "--help"}, "at most 165 bytes"},
        {{"users", "add", "--help"}, "0, 1, 2"},
        {{"users", "passwd", "--help"}, "not empty, at most 165 bytes"},
        {{"users", "role", "--help"}, "0, 1, 2"},
        {{"init", "--help"}, "not empty"},
    };
    for (const auto& [args, text] : cases) {
        const CRun run = RunZendb(args);
        EXPECT_EQ(run.status, 0) << Joined(args) << ": " << run.err;
        EXPECT_NE(run.out.find(text), std::string::npos) << Joined(args) << ": " << run.out;
    }
}

class ToolUserLimits : public CEngineTool<CToolFixture> {
protected:
    void SetUp() override
    {
        CToolFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The first user of a database without users is added without login.
        ASSERT_EQ(Zendb({"users", "add", "boss", "--role", "administrator"}, {{"ZEN_NEW_PASSWORD", "s3cret"}}).status,
                  0);
    }
    CRun Admin(std::vector<std::string> args,
               const std::map<std::string, std::optional<std::string>>& env = {}) const
    {
        args.insert(args.begin(), {"--user", "boss", "--password", "s3cret"});
        return Zendb(args, env);
    }
    nlohmann::json Users() const
    {
        return Json({"--user", "boss", "--password", "s3cret", "users", "list"});
    }
};

TEST_P(ToolUserLimits, OnlyTheThreeRolesAreTaken)
{
    // Each case: the role as given and the role stored (-1: refused).
    const std::vector<std::pair<std::string, int>> cases = {
        {"0", 0}, {"1", 1}, {"2", 2}, {"3", -1}, {"-1", -1}, {"7", -1}, {"1000", -1}, {"1x", -1}, {"", -1},
    };
    int added = 0;
    for (const auto& [role, stored] : cases) {
        const std::string name = "u" + std::to_string(added++);
        const CRun add = Admin({"users", "add", name, "--new-password", "pw", "--role", role});
        if (stored < 0) {
            EXPECT_EQ(add.status, 2) << "role '" << role << "': " << add.err;
            EXPECT_NE(add.err.find("unknown role '" + role + "' (operator, supervisor, administrator or 0, 1, 2)"),
                      std::string::npos)
                << add.err;
            continue;
        }
        ASSERT_EQ(add.status, 0) << "role '" << role << "': " << add.err;
        bool found = false;
        for (const auto& user : Users()) {
            if (user["Name"] == name) {
                EXPECT_EQ(user["Role"], stored) << name;
                found = true;
            }
        }
        EXPECT_TRUE(found) << name;
    }
    const CRun change = Admin({"users", "role", "u0", "5"});
    EXPECT_EQ(change.status, 2) << change.err;
    // Refused adds stored nothing: boss and the three accepted users.
    EXPECT_EQ(Users().size(), 4u);
    for (const auto& user : Users()) {
        if (user["Name"] == "u0") {
            EXPECT_EQ(user["Role"], 0);
        }
    }
}

TEST_P(ToolUserLimits, EmptyPasswordsAreRefused)
{
    const CRun add = Admin({"users", "add", "ana", "--new-password", ""});
    EXPECT_EQ(add.status, 2) << add.err;
    EXPECT_NE(add.err.find("a password cannot be empty"), std::string::npos) << add.err;

    const CRun addFromEnv = Admin({"users", "add", "ana"}, {{"ZEN_NEW_PASSWORD", ""}});
    EXPECT_EQ(addFromEnv.status, 2) << addFromEnv.err;
    EXPECT_EQ(Users().size(), 1u);

    ASSERT_EQ(Admin({"users", "add", "ana", "--new-password", "pw"}).status, 0);
    const CRun passwd = Admin({"users", "passwd", "ana", "--new-password", ""});
    EXPECT_EQ(passwd.status, 2) << passwd.err;
    EXPECT_NE(passwd.err.find("a password cannot be empty"), std::string::npos) << passwd.err;
    // The old password still logs in; an empty one does not.
    EXPECT_EQ(Zendb({"--user", "ana", "--password", "pw", "info"}).status, 0);
    EXPECT_EQ(Zendb({"--user", "ana", "--password", "", "info"}).status, 1);

    // init --admin: no file is left behind.
    for (const auto& env : std::vector<std::map<std::string, std::optional<std::string>>>{
             {}, {{"ZEN_PASSWORD", ""}}}) {
        const std::string file = m_dir.File("empty-admin.db");
        std::vector<std::string> args = {"init", file, "--admin", "root"};
        if (env.empty())
            args.insert(args.end(), {"--password", ""});
        const CRun init = RunZendb(args, env);
        EXPECT_EQ(init.status, 2) << init.err;
        EXPECT_NE(init.err.find("a password cannot be empty"), std::string::npos) << init.err;
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

ZEN_TOOL_ENGINES(ToolUserLimits);

} // namespace
} // namespace zentest
