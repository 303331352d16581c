// zendb as a process against the roles of its users: which role each changing
// command needs, the exact refusal (role needed, user and the user's role, or
// nobody logged in), that a refused command changes nothing, that reading
// commands stay open without login, and that a database without users works
// without login until its first user is added.
#include "ToolTestSupport.h"

#include <filesystem>

namespace zentest {
namespace {

namespace fs = std::filesystem;

// Every user of the fixture has this password; it comes through the
// environment so that no warning about the command line joins stderr.
const std::map<std::string, std::optional<std::string>> kLogin = {{"ZEN_PASSWORD", "pw-roles"},
                                                                 {"ZEN_NEW_PASSWORD", "pw-roles"}};

// A station with the administrator "boss", the supervisor "olga" and the
// operator "jon", the pattern "CHD" and the sample "S-1".
class ToolRoles : public CEngineTool<CToolFixture> {
protected:
    void SetUp() override
    {
        CToolFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The first user of a database without users is added without login.
        ASSERT_EQ(As("", {"users", "add", "boss", "--role", "administrator"}).status, 0);
        for (const auto& [name, role] : {std::pair{"olga", "supervisor"}, std::pair{"jon", "operator"}})
            ASSERT_EQ(As("boss", {"users", "add", name, "--role", role}).status, 0) << name;
        ASSERT_EQ(As("boss", {"patterns", "add", "CHD", "--preset", "case-hardening"}).status, 0);
        ASSERT_EQ(As("boss", {"samples", "register", "S-1"}).status, 0);
    }

    // zendb --db <file> [--user NAME] args...; an empty name runs without login.
    CRun As(const std::string& user, std::vector<std::string> args) const
    {
        if (!user.empty())
            args.insert(args.begin(), {"--user", user});
        return Zendb(args, kLogin);
    }

    bool SampleExists(const std::string& id) const { return Zendb({"samples", "show", id}).status == 0; }
    size_t UserCount() const { return Json({"users", "list"}).size(); }
};

struct CRefusal {
    std::vector<std::string> args;
    std::string err;   // the whole of stderr
};

TEST_P(ToolRoles, AnOperatorMayNotDeleteManageUpgradeOrCopy)
{
    const std::string copy = m_dir.File("copy.db");
    const std::string tail = "; user 'jon' is operator\n";
    const std::vector<CRefusal> cases = {
        {{"samples", "delete", "S-1"}, "zendb: deleting samples or runs needs the role supervisor" + tail},
        {{"runs", "delete", "S-1", "1"}, "zendb: deleting samples or runs needs the role supervisor" + tail},
        {{"patterns", "add", "P-2"}, "zendb: changing patterns needs the role administrator" + tail},
        {{"patterns", "set", "CHD", "--comment", "x"}, "zendb: changing patterns needs the role administrator" + tail},
        {{"patterns", "delete", "CHD"}, "zendb: changing patterns needs the role administrator" + tail},
        {{"routines", "add", "R-1", "--pattern", "CHD"},
         "zendb: changing routines needs the role administrator" + tail},
        {{"fields", "hide", "WorkOrder"}, "zendb: changing registration fields needs the role administrator" + tail},
        {{"fields", "describe", "CustomField1", "Hardness"},
         "zendb: changing registration fields needs the role administrator" + tail},
        {{"users", "add", "eve"}, "zendb: adding users needs the role administrator" + tail},
        {{"users", "delete", "olga"}, "zendb: deleting users needs the role administrator" + tail},
        {{"users", "role", "jon", "administrator"}, "zendb: changing users needs the role administrator" + tail},
        {{"upgrade"}, "zendb: upgrading the database needs the role administrator" + tail},
    };
    for (const CRefusal& refusal : cases) {
        const CRun run = As("jon", refusal.args);
        EXPECT_EQ(run.status, 1) << refusal.args[0] << " " << refusal.args[1];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, refusal.err);
    }
    // copy names its source itself; the source's users decide.
    const CRun copied = RunZendb({"--user", "jon", "copy", m_db, copy}, kLogin);
    EXPECT_EQ(copied.status, 1);
    EXPECT_EQ(copied.err, "zendb: copying the database needs the role administrator" + tail);
    EXPECT_FALSE(fs::exists(copy));

    // Nothing changed.
    EXPECT_TRUE(SampleExists("S-1"));
    EXPECT_EQ(UserCount(), 3u);
    const nlohmann::json pattern = Json({"patterns", "list"});
    ASSERT_EQ(pattern.size(), 1u);
    EXPECT_EQ(Json({"routines", "list"}).size(), 0u);

    // What an operator does.
    EXPECT_EQ(As("jon", {"samples", "register", "S-2"}).status, 0);
    EXPECT_EQ(As("jon", {"samples", "set", "S-2", "Customer=ACME"}).status, 0);
}

TEST_P(ToolRoles, ASupervisorDeletesSamplesButDoesNotManage)
{
    const std::string tail = "; user 'olga' is supervisor\n";
    const std::vector<CRefusal> cases = {
        {{"users", "add", "eve"}, "zendb: adding users needs the role administrator" + tail},
        {{"users", "passwd", "jon"}, "zendb: changing users needs the role administrator" + tail},
        {{"patterns", "set", "CHD", "--comment", "x"}, "zendb: changing patterns needs the role administrator" + tail},
        {{"fields", "show", "CustomField1"}, "zendb: changing registration fields needs the role administrator" + tail},
        {{"upgrade"}, "zendb: upgrading the database needs the role administrator" + tail},
    };
    for (const CRefusal& refusal : cases) {
        const CRun run = As("olga", refusal.args);
        EXPECT_EQ(run.status, 1) << refusal.args[0] << " " << refusal.args[1];
        EXPECT_EQ(run.err, refusal.err);
    }
    EXPECT_EQ(UserCount(), 3u);

    const CRun deleted = As("olga", {"samples", "delete", "S-1"});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(deleted.out, "deleted S-1\n");
    EXPECT_FALSE(SampleExists("S-1"));
}

TEST_P(ToolRoles, AnAdministratorDoesEverything)
{
    const std::string copy = m_dir.File("copy.db");
    const std::vector<std::vector<std::string>> cases = {
        {"users", "add", "eve"},
        {"users", "role", "eve", "supervisor"},
        {"users", "delete", "eve"},
        {"patterns", "add", "P-2"},
        {"patterns", "set", "P-2", "--comment", "x"},
        {"routines", "add", "R-1", "--pattern", "CHD"},
        {"routines", "delete", "R-1"},
        {"patterns", "delete", "P-2"},
        {"fields", "hide", "WorkOrder"},
        {"samples", "register", "S-2"},
        {"samples", "delete", "S-2"},
        {"upgrade"},
    };
    for (const auto& args : cases) {
        const CRun run = As("boss", args);
        EXPECT_EQ(run.status, 0) << args[0] << " " << args[1] << "\n" << run.err;
    }
    const CRun copied = RunZendb({"--user", "boss", "copy", m_db, copy}, kLogin);
    EXPECT_EQ(copied.status, 0) << copied.err;
    EXPECT_TRUE(fs::exists(copy));
}

TEST_P(ToolRoles, WithoutLoginChangesAreRefusedAndReadingStaysOpen)
{
    const std::string tail = "; nobody is logged in: give --user NAME\n";
    const std::vector<CRefusal> cases = {
        {{"samples", "register", "S-2"}, "zendb: registering or changing samples needs the role operator" + tail},
        {{"samples", "set", "S-1", "Customer=ACME"},
         "zendb: registering or changing samples needs the role operator" + tail},
        {{"evaluate", "S-1"}, "zendb: evaluating profiles needs the role operator" + tail},
        {{"report", "S-1", "--out", m_dir.File("r.pdf")}, "zendb: printing reports needs the role operator" + tail},
        {{"samples", "delete", "S-1"}, "zendb: deleting samples or runs needs the role supervisor" + tail},
        {{"users", "add", "eve"}, "zendb: adding users needs the role administrator" + tail},
        {{"fields", "hide", "WorkOrder"}, "zendb: changing registration fields needs the role administrator" + tail},
        {{"upgrade"}, "zendb: upgrading the database needs the role administrator" + tail},
    };
    for (const CRefusal& refusal : cases) {
        const CRun run = As("", refusal.args);
        EXPECT_EQ(run.status, 1) << refusal.args[0] << " " << refusal.args[1];
        EXPECT_EQ(run.err, refusal.err);
    }
    const std::string copy = m_dir.File("copy.db");
    const CRun copied = RunZendb({"copy", m_db, copy});
    EXPECT_EQ(copied.status, 1);
    EXPECT_EQ(copied.err, "zendb: copying the database needs the role administrator" + tail);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(SampleExists("S-1"));
    EXPECT_FALSE(fs::exists(m_dir.File("r.pdf")));

    const std::vector<std::vector<std::string>> reading = {
        {"info"},           {"check"},          {"samples", "list"}, {"samples", "show", "S-1"},
        {"users", "list"},  {"fields", "list"}, {"patterns", "list"}, {"patterns", "show", "CHD"},
        {"routines", "list"}, {"runs", "list", "S-1"}, {"audit"},   {"audit", "verify"},
        {"samples", "next-id"},
    };
    for (const auto& args : reading) {
        const CRun run = Zendb(args);
        EXPECT_EQ(run.status, 0) << args[0] << "\n" << run.err;
    }
}

TEST_P(ToolRoles, RunsAreImportedByAnOperatorAndDeletedByASupervisor)
{
    const std::string csv = m_dir.File("indents.csv");
    std::string text = "Depth [mm],Axis [mm],D1 [um],D2 [um],Indentor,Load [gf],Lane\n";
    for (const char* depth : {"0.1", "0.3", "0.5"})
        text += std::string(depth) + ",," + VickersDiagonal(600.0, 1000.0) + "," + VickersDiagonal(600.0, 1000.0) +
                ",Vickers,1000,1\n";
    WriteFileText(csv, text);
    const std::vector<std::string> import = {"runs", "import", "S-1", "--pattern", "CHD", "--file", csv};
    const CRun refused = As("", import);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "zendb: importing runs needs the role operator; nobody is logged in: give --user NAME\n");
    EXPECT_EQ(Json({"runs", "list", "S-1"}).size(), 0u);

    const CRun imported = As("jon", import);
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(As("jon", {"evaluate", "S-1"}).status, 0);
    EXPECT_EQ(As("jon", {"report", "S-1", "--out", m_dir.File("r.svg")}).status, 0);
    EXPECT_EQ(As("jon", {"runs", "delete", "S-1", "1"}).err,
              "zendb: deleting samples or runs needs the role supervisor; user 'jon' is operator\n");
    EXPECT_EQ(Json({"runs", "list", "S-1"}).size(), 1u);
    const CRun deleted = As("olga", {"runs", "delete", "S-1", "1"});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(Json({"runs", "list", "S-1"}).size(), 0u);
}

// A one-person station: no user, no login, every command; the first user is
// added without login, and from then on the users decide.
class ToolWithoutUsers : public CEngineTool<CToolFixture> {};

TEST_P(ToolWithoutUsers, WorksWithoutLoginUntilItsFirstUser)
{
    const std::string copy = m_dir.File("copy.db");
    const std::vector<std::vector<std::string>> cases = {
        {"patterns", "add", "CHD", "--preset", "case-hardening"},
        {"routines", "add", "R-1", "--pattern", "CHD"},
        {"fields", "hide", "WorkOrder"},
        {"samples", "register", "S-1"},
        {"samples", "set", "S-1", "Customer=ACME"},
        {"samples", "register", "S-2"},
        {"samples", "delete", "S-2"},
        {"upgrade"},
    };
    for (const auto& args : cases) {
        const CRun run = Zendb(args);
        EXPECT_EQ(run.status, 0) << args[0] << " " << args[1] << "\n" << run.err;
    }
    const CRun copied = RunZendb({"copy", m_db, copy});
    EXPECT_EQ(copied.status, 0) << copied.err;

    const CRun first = Zendb({"users", "add", "boss", "--role", "administrator"}, kLogin);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "added user 'boss' (administrator)\n");
    const CRun second = Zendb({"users", "add", "ana"}, kLogin);
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err,
              "zendb: adding users needs the role administrator; nobody is logged in: give --user NAME\n");
    const CRun unnamed = Zendb({"samples", "register", "S-3"});
    EXPECT_EQ(unnamed.status, 1);
    EXPECT_EQ(unnamed.err,
              "zendb: registering or changing samples needs the role operator; nobody is logged in: give --user "
              "NAME\n");
    EXPECT_EQ(Zendb({"--user", "boss", "users", "add", "ana"}, kLogin).status, 0);
}

ZEN_TOOL_ENGINES(ToolRoles);
ZEN_TOOL_ENGINES(ToolWithoutUsers);

} // namespace
} // namespace zentest
