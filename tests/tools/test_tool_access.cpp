// zendb as a process on files it may only read: write-protected files and
// folders (run as an unprivileged user), files of schema 1.6 .. 1.8 (read as
// they are, changed only by 'zendb upgrade' after a backup copy), logins
// without a password, and passwords from a file instead of the command line.
#include "ToolTestSupport.h"

#include "database/Schema.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zentest {
namespace {

namespace fs = std::filesystem;

std::string ConnectTo(const std::string& path)
{
    return "Dbq=" + FormatConnectStringValue(path.c_str()).Str() + ";";
}

// A file of schema 1.<minor> made with the library's schema function, with
// one sample, one pattern and one routine written straight into its tables
// (no facade: it would upgrade the file).
std::string MakeOldFile(const CTempDir& dir, int minor)
{
    const std::string path = dir.File("v1." + std::to_string(minor) + ".db");
    CString error;
    EXPECT_TRUE(ZenCreateDatabaseFile(path.c_str(), 1, minor, &error)) << error.GetString();
    CDatabase db;
    db.OpenEx(ConnectTo(path).c_str(), CDatabase::noOdbcDialog);
    db.ExecuteSQL("INSERT INTO Samples (UserSampleID, Customer) VALUES ('OLD-1', 'ACME')");
    db.ExecuteSQL("INSERT INTO Patterns (Name) VALUES ('P-old')");
    db.ExecuteSQL("INSERT INTO RoutineTypes (Name) VALUES ('R-old')");
    db.Close();
    return path;
}

// The number in the first column of a "SELECT COUNT(*) AS N ..." or the
// version text "major.minor" of a file, read without the facade.
int64_t Count(const std::string& path, const char* sql)
{
    CDatabase db;
    db.OpenEx(ConnectTo(path).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    CRecordset set(&db);
    set.Open(CRecordset::snapshot, sql, CRecordset::readOnly);
    CString text;
    set.GetFieldValue("N", text);
    return std::strtoll(text.GetString(), nullptr, 10);
}

std::string StoredVersion(const std::string& path)
{
    CDatabase db;
    db.OpenEx(ConnectTo(path).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    CRecordset set(&db);
    set.Open(CRecordset::snapshot, "SELECT MajorVersion, MinorVersion FROM SystemTable", CRecordset::readOnly);
    CString major;
    CString minor;
    set.GetFieldValue("MajorVersion", major);
    set.GetFieldValue("MinorVersion", minor);
    return major.Str() + "." + minor.Str();
}

std::string Joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& arg : args)
        text += " " + arg;
    return text;
}

// --- Files of an older schema ---------------------------------------------

TEST(ToolOldSchema, ReadingCommandsWorkAndNameTheVersionAndTheUpgrade)
{
    CTempDir dir;
    CTempDir tmp;   // the tool's temporary folder: must be empty afterwards
    for (int minor : {6, 7, 8}) {
        const std::string version = "1." + std::to_string(minor);
        SCOPED_TRACE(version);
        const std::string db = MakeOldFile(dir, minor);
        const std::string note =
            "zendb: note: '" + db + "' has schema version " + version + "; 'zendb upgrade' would bring it to 1.9";
        const struct {
            std::vector<std::string> args;
            std::string expected;   // in stdout
        } cases[] = {
            {{"--format", "json", "info"}, "\"SchemaVersion\": \"" + version + "\""},
            {{"--format", "json", "samples", "list"}, "\"OLD-1\""},
            {{"samples", "show", "OLD-1"}, "ACME"},
            {{"samples", "next-id"}, "OLD-2"},
            {{"--format", "json", "patterns", "list"}, "\"P-old\""},
            {{"patterns", "show", "P-old"}, "P-old"},
            {{"--format", "json", "routines", "list"}, "\"R-old\""},
            {{"runs", "list", "OLD-1"}, "no profile runs"},
            {{"users", "list"}, "no users"},
        };
        for (const auto& c : cases) {
            std::vector<std::string> args = {"--db", db};
            args.insert(args.end(), c.args.begin(), c.args.end());
            const CRun run = RunZendb(args, {{"TMPDIR", tmp.Path().string()}});
            EXPECT_EQ(run.status, 0) << Joined(c.args) << "\n" << run.err;
            EXPECT_NE(run.out.find(c.expected), std::string::npos) << Joined(c.args) << "\n" << run.out;
            EXPECT_NE(run.err.find(note), std::string::npos) << Joined(c.args) << "\n" << run.err;
        }
        // Counts of the whole file: before 1.9 nothing could be marked deleted.
        const CRun info = RunZendb({"--db", db, "--format", "json", "info"});
        ASSERT_EQ(info.status, 0) << info.err;
        const auto json = nlohmann::json::parse(info.out);
        EXPECT_EQ(json["Samples"], 1);
        EXPECT_EQ(json["Patterns"], 1);
        EXPECT_EQ(json["Routines"], 1);

        // The same through the station configuration instead of --db.
        const std::string config = dir.File("ZEN-" + version + ".ini");
        WriteFileText(config, "[Database]\nDatabaseFile=" + db + "\n");
        const CRun configured = RunZendb({"--format", "json", "info"}, {{"ZEN_CONFIG", config}});
        ASSERT_EQ(configured.status, 0) << configured.err;
        EXPECT_EQ(nlohmann::json::parse(configured.out)["Path"], db);
        EXPECT_EQ(nlohmann::json::parse(configured.out)["SchemaVersion"], version);

        EXPECT_EQ(StoredVersion(db), version);
        EXPECT_TRUE(fs::is_empty(tmp.Path()));
    }
}

TEST(ToolOldSchema, WritingCommandsAreRefusedNamingTheVersionAndTheUpgrade)
{
    CTempDir dir;
    for (int minor : {6, 7, 8}) {
        const std::string version = "1." + std::to_string(minor);
        SCOPED_TRACE(version);
        const std::string db = MakeOldFile(dir, minor);
        const std::vector<std::vector<std::string>> cases = {
            {"samples", "register", "NEW-1"},
            {"samples", "set", "OLD-1", "Customer=Other"},
            {"patterns", "add", "P-new"},
            {"routines", "add", "R-new", "--pattern", "P-old"},
            {"users", "add", "ana", "--new-password", "pw"},
            {"fields", "hide", "Detail"},
        };
        for (const auto& args : cases) {
            std::vector<std::string> all = {"--db", db};
            all.insert(all.end(), args.begin(), args.end());
            const CRun run = RunZendb(all);
            EXPECT_EQ(run.status, 1) << Joined(args) << "\n" << run.err;
            EXPECT_NE(run.err.find("'" + db + "' has schema version " + version + "; this command needs 1.9: "
                                   "'zendb upgrade' would bring it to 1.9"),
                      std::string::npos)
                << Joined(args) << "\n" << run.err;
        }
        EXPECT_EQ(StoredVersion(db), version);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) AS N FROM Samples"), 1);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) AS N FROM Patterns"), 1);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) AS N FROM Table1"), 0);
    }
}

TEST(ToolOldSchema, UpgradeKeepsACopyNamedByTheVersionFirst)
{
    CTempDir dir;
    for (int minor : {6, 7, 8}) {
        const std::string version = "1." + std::to_string(minor);
        SCOPED_TRACE(version);
        const std::string db = MakeOldFile(dir, minor);
        const CRun upgrade = RunZendb({"--db", db, "--format", "json", "upgrade"});
        ASSERT_EQ(upgrade.status, 0) << upgrade.err;
        const auto json = nlohmann::json::parse(upgrade.out);
        const std::string backup = db + ".v" + version + ".bak";
        EXPECT_EQ(json["PreviousSchemaVersion"], version);
        EXPECT_EQ(json["SchemaVersion"], "1.9");
        EXPECT_EQ(json["Backup"], backup);
        EXPECT_EQ(StoredVersion(db), "1.9");
        // The copy is the file as it was.
        EXPECT_EQ(StoredVersion(backup), version);
        EXPECT_EQ(Count(backup, "SELECT COUNT(*) AS N FROM Samples WHERE UserSampleID = 'OLD-1'"), 1);

        // From now on writing works, and nothing more is upgraded or copied.
        EXPECT_EQ(RunZendb({"--db", db, "samples", "register", "NEW-1"}).status, 0);
        const CRun again = RunZendb({"--db", db, "--format", "json", "upgrade"});
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(nlohmann::json::parse(again.out)["Backup"].is_null());
    }
    EXPECT_FALSE(fs::exists(dir.File("v1.6.db.v1.9.bak")));
}

TEST(ToolOldSchema, UpgradeNeverReplacesAnEarlierCopy)
{
    CTempDir dir;
    const std::string db = MakeOldFile(dir, 7);
    WriteFileText(db + ".v1.7.bak", "an earlier copy");
    const CRun upgrade = RunZendb({"--db", db, "upgrade"});
    ASSERT_EQ(upgrade.status, 0) << upgrade.err;
    EXPECT_NE(upgrade.out.find("kept a copy of schema 1.7 in " + db + ".v1.7-2.bak"), std::string::npos)
        << upgrade.out;
    EXPECT_NE(upgrade.out.find("upgraded schema 1.7 -> 1.9"), std::string::npos) << upgrade.out;
    EXPECT_EQ(ReadFileText(db + ".v1.7.bak"), "an earlier copy");
    EXPECT_EQ(StoredVersion(db + ".v1.7-2.bak"), "1.7");
}

// --- Files that cannot be written -------------------------------------------

// A folder in /tmp that the unprivileged user may enter, with a database
// file, made and removed by root.
class ToolReadOnly : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folderTemplate[] = "/tmp/zendb-readonly-XXXXXX";
        ASSERT_NE(mkdtemp(folderTemplate), nullptr);
        m_folder = folderTemplate;
        m_db = (m_folder / "station.db").string();
        m_home = (m_folder / "home").string();
        ASSERT_EQ(RunZendb({"init", m_db}).status, 0);
        ASSERT_EQ(RunZendb({"--db", m_db, "samples", "register", "S-1"}).status, 0);
        ASSERT_EQ(RunZendb({"--db", m_db, "patterns", "add", "P-1"}).status, 0);
        fs::create_directories(m_home);
        ASSERT_EQ(chown(m_home.c_str(), 65534, 65534), 0);
    }
    void TearDown() override
    {
        chmod(m_folder.c_str(), 0700);
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    // zendb --db <file> args as a user for whom the file cannot be written.
    CRun Zendb(const std::vector<std::string>& args) const
    {
        std::vector<std::string> all = {"--db", m_db};
        all.insert(all.end(), args.begin(), args.end());
        const std::map<std::string, std::optional<std::string>> env = {
            {"HOME", m_home},           {"XDG_STATE_HOME", std::nullopt}, {"XDG_DATA_HOME", std::nullopt},
            {"XDG_CONFIG_HOME", std::nullopt}, {"TMPDIR", std::nullopt},      {"ZEN_CONFIG", std::nullopt}};
        return geteuid() == 0 ? RunZendbAsNobody(all, env) : RunZendb(all, env);
    }

    fs::path m_folder;
    std::string m_db;
    std::string m_home;
};

TEST_F(ToolReadOnly, ReadingWorksWithANoteAndWritingIsRefusedNamingFileAndReason)
{
    const struct {
        const char* name;
        mode_t file;
        mode_t folder;
        const char* reason;   // in the note and in the refusal
    } layouts[] = {
        {"write-protected file", 0444, 0777, "write-protected"},
        {"write-protected folder", 0666, 0555, "write-protected"},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        ASSERT_EQ(chmod(m_db.c_str(), layout.file), 0);
        ASSERT_EQ(chmod(m_folder.c_str(), layout.folder), 0);
        if (geteuid() != 0 && access(m_db.c_str(), W_OK) == 0 && layout.file == 0444)
            GTEST_SKIP() << "the file stays writable for this user";

        const std::vector<std::vector<std::string>> reading = {
            {"--format", "json", "info"}, {"samples", "list"}, {"samples", "show", "S-1"}, {"patterns", "list"},
        };
        for (const auto& args : reading) {
            const CRun run = Zendb(args);
            if (run.status == kCannotRunAsNobody)
                GTEST_SKIP() << "cannot run as an unprivileged user here: " << run.err;
            EXPECT_EQ(run.status, 0) << Joined(args) << "\n" << run.err;
            EXPECT_NE(run.err.find("zendb: note: opened '" + m_db + "' read-only: "), std::string::npos)
                << Joined(args) << "\n" << run.err;
            EXPECT_NE(run.err.find(layout.reason), std::string::npos) << Joined(args) << "\n" << run.err;
            EXPECT_EQ(run.err.find("Not possible to login"), std::string::npos) << run.err;
        }
        EXPECT_NE(Zendb({"samples", "list"}).out.find("S-1"), std::string::npos);

        const std::vector<std::vector<std::string>> writing = {
            {"samples", "register", "S-2"}, {"samples", "delete", "S-1"}, {"patterns", "add", "P-2"},
            {"fields", "hide", "Detail"},   {"upgrade"},
        };
        for (const auto& args : writing) {
            const CRun run = Zendb(args);
            EXPECT_EQ(run.status, 1) << Joined(args) << "\n" << run.err;
            EXPECT_EQ(run.err.rfind("zendb: this command changes the database, which cannot be written: ", 0), 0u)
                << Joined(args) << "\n" << run.err;
            EXPECT_NE(run.err.find("'" + m_db + "'"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(layout.reason), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        chmod(m_folder.c_str(), 0755);
        chmod(m_db.c_str(), 0644);
        EXPECT_EQ(Count(m_db, "SELECT COUNT(*) AS N FROM Samples"), 1);
        EXPECT_EQ(Count(m_db, "SELECT COUNT(*) AS N FROM Patterns"), 1);
    }
}

// --- A disk without room -----------------------------------------------------

using ToolFullDisk = CToolFixture;

// A file size limit below what a write needs stands for a full disk (the
// database's shared-memory file needs 32 KiB, so the limit stays above it).
// Reading commands work; a write fails naming the file and the lack of room,
// not damage, and stores nothing.
TEST_F(ToolFullDisk, DiskWithoutRoomLetsReadingWorkAndWritesFailNamingTheFile)
{
    constexpr uint64_t kLimit = 48 * 1024;
    Ok({"samples", "register", "A-0001", "--count", "20"});
    const std::map<std::string, std::optional<std::string>> env = {{"XDG_STATE_HOME", m_dir.File("state")}};

    const CRun list = RunZendbWithFileSizeLimit({"--db", m_db, "samples", "list", "--limit", "0"}, kLimit, env);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("A-0020"), std::string::npos) << list.out;

    const CRun batch =
        RunZendbWithFileSizeLimit({"--db", m_db, "samples", "register", "B-0001", "--count", "300"}, kLimit, env);
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(batch.out, "");
    EXPECT_NE(batch.err.find("There is no room left for the database file '" + m_db + "': file too large"),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(batch.err.find("damaged"), std::string::npos) << batch.err;

    const nlohmann::json rows = Json({"samples", "list", "--limit", "0"});
    EXPECT_EQ(rows.size(), 20u) << "nothing of the refused batch is stored";
    EXPECT_EQ(Zendb({"check"}).status, 0);
}

// --- Logins and passwords -----------------------------------------------------

class ToolLogin : public CToolFixture {
protected:
    void SetUp() override
    {
        m_db = m_dir.File("login.db");
        ASSERT_EQ(RunZendb({"init", m_db, "--admin", "boss"}, {{"ZEN_PASSWORD", "s3cret"}}).status, 0);
    }
    // A password file with the given content and mode.
    std::string PasswordFile(const std::string& name, const std::string& text, mode_t mode) const
    {
        const std::string path = m_dir.File(name);
        WriteFileText(path, text);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
};

TEST_F(ToolLogin, WithoutAnyPasswordTheToolSaysNoneWasGiven)
{
    const CRun run = Zendb({"--user", "boss", "info"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no password was given for user 'boss'"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("wrong name or password"), std::string::npos) << run.err;
    // A wrong password is still called one.
    const CRun wrong = Zendb({"--user", "boss", "info"}, {{"ZEN_PASSWORD", "nope"}});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("login failed for user 'boss' (wrong name or password)"), std::string::npos)
        << wrong.err;
}

TEST_F(ToolLogin, InitIntoAMissingFolderSaysSoBeforeAskingForAPassword)
{
    const std::string missing = m_dir.File("no-such-folder");
    const std::string file = missing + "/new.db";
    // Without any password source the password question would come first.
    const CRun run = RunZendb({"init", file, "--admin", "boss"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "zendb: cannot create '" + file + "': the folder '" + missing + "' does not exist\n");
    const CRun existing = RunZendb({"init", m_db, "--admin", "boss"});
    EXPECT_EQ(existing.status, 1) << existing.err;
    EXPECT_NE(existing.err.find("exists already"), std::string::npos) << existing.err;
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(ToolLogin, PasswordFileGivesTheFirstLine)
{
    const struct {
        const char* name;
        std::string text;
        mode_t mode;
        int status;
        std::string err;   // in stderr; empty: stderr empty
    } cases[] = {
        {"plain", "s3cret\n", 0600, 0, ""},
        {"without line end", "s3cret", 0400, 0, ""},
        {"CR LF", "s3cret\r\nsecond line\n", 0600, 0, ""},
        {"blanks are part of it", " s3cret\n", 0600, 1, "wrong name or password"},
        {"group may read", "s3cret\n", 0640, 0, "zendb: warning: the password file '"},
        {"everybody may read", "s3cret\n", 0644, 1, "can be read by every local user (mode 0644)"},
        {"empty", "", 0600, 1, "holds no password"},
        {"empty first line", "\ns3cret\n", 0600, 1, "holds no password"},
        {"first line too long", std::string(5000, 'x'), 0600, 1, "longer than 4096 bytes"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = PasswordFile("pw" + std::to_string(++n), c.text, c.mode);
        const CRun run = Zendb({"--user", "boss", "--password-file", file, "--format", "json", "info"});
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        }
        if (run.status == 0) {
            EXPECT_EQ(nlohmann::json::parse(run.out)["User"], "boss");
        }
    }
    const CRun missing = Zendb({"--user", "boss", "--password-file", m_dir.File("none"), "info"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read the password file '" + m_dir.File("none") + "'"), std::string::npos)
        << missing.err;
    const CRun device = Zendb({"--user", "boss", "--password-file", "/dev/null", "info"});
    EXPECT_EQ(device.status, 1);
    EXPECT_NE(device.err.find("neither a regular file nor a pipe"), std::string::npos) << device.err;
    const CRun both = Zendb({"--user", "boss", "--password", "s3cret", "--password-file",
                             PasswordFile("pw-both", "s3cret\n", 0600), "info"});
    EXPECT_EQ(both.status, 2) << both.err;
}

TEST_F(ToolLogin, PasswordFileMayBeAPipe)
{
    const std::string fifo = m_dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The writer blocks in open until zendb opens the pipe for reading.
    std::thread writer([&fifo] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        if (fd >= 0) {
            const std::string text = "s3cret\n";
            (void)!write(fd, text.data(), text.size());
            close(fd);
        }
    });
    const CRun run = Zendb({"--user", "boss", "--password-file", fifo, "--format", "json", "info"});
    writer.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

TEST_F(ToolLogin, PasswordOnTheCommandLineWorksWithAWarning)
{
    const std::string warning = "zendb: warning: --password puts the password on the command line, where every "
                                "local user can read it (ps); use --password-file FILE, $ZEN_PASSWORD or the "
                                "prompt instead\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--user", "boss", "--password", "s3cret", "info"},
          std::vector<std::string>{"-q", "--user", "boss", "--password", "s3cret", "info"}}) {
        const CRun run = Zendb(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, warning);
    }
    const CRun init = RunZendb({"init", m_dir.File("other.db"), "--admin", "root", "--password", "pw"});
    EXPECT_EQ(init.status, 0) << init.err;
    EXPECT_EQ(init.err, warning);
    // From the environment: no warning.
    const CRun env = Zendb({"--user", "boss", "info"}, {{"ZEN_PASSWORD", "s3cret"}});
    EXPECT_EQ(env.status, 0) << env.err;
    EXPECT_EQ(env.err, "");

    // A new user's password on the command line: the same warning, with the
    // alternatives that command has.
    const CRun add = Zendb({"--user", "boss", "users", "add", "ana", "--new-password", "pw2"},
                           {{"ZEN_PASSWORD", "s3cret"}});
    EXPECT_EQ(add.status, 0) << add.err;
    EXPECT_EQ(add.err, "zendb: warning: --new-password puts the password on the command line, where every local "
                       "user can read it (ps); use $ZEN_NEW_PASSWORD or the prompt instead\n");
    const CRun passwd = Zendb({"--user", "boss", "users", "passwd", "ana"},
                              {{"ZEN_PASSWORD", "s3cret"}, {"ZEN_NEW_PASSWORD", "pw3"}});
    EXPECT_EQ(passwd.status, 0) << passwd.err;
    EXPECT_EQ(passwd.err, "");

    const CRun help = RunZendb({"--help"});
    EXPECT_NE(help.out.find("--password-file"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Every local user can read it"), std::string::npos) << help.out;
}

} // namespace
} // namespace zentest
