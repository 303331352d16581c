// Tests of zendb's credentials as a station sees them: the station key that
// init makes and names in its configuration, passwords stored as hashes,
// old-encoding passwords renewed at login, failed logins counted in the
// database across processes, and the modes of the files zendb creates.
#include "ToolTestSupport.h"

#include "companions/Obvra.h"
#include "database/Schema.h"
#include "database/StationCopy.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"

#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace zentest;
namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return static_cast<mode_t>(-1);
    return info.st_mode & 07777;
}

// The values of the column V of a query on a database (file or server).
std::vector<std::string> Column(const std::string& path, const std::string& sql)
{
    CDatabase db;
    db.OpenEx(ZenConnectStringForLocation(path.c_str()), CDatabase::noOdbcDialog);
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.c_str(), CRecordset::readOnly);
    std::vector<std::string> values;
    while (!rs.IsEOF()) {
        CString value;
        rs.GetFieldValue("V", value);
        values.push_back(value.Str());
        rs.MoveNext();
    }
    return values;
}

std::string IniValue(const std::string& ini, const std::string& key)
{
    const std::string text = ReadFileText(ini);
    const size_t at = text.find(key + "=");
    if (at == std::string::npos)
        return std::string();
    const size_t begin = at + key.size() + 1;
    return text.substr(begin, text.find('\n', begin) - begin);
}

TEST(ToolCredentials, InitMakesAPrivateStationKeyNamedInItsConfiguration)
{
    CTempDir dir;
    const std::string db = dir.File("lab.db");
    const CRun init = RunZendb({"init", db, "--admin", "boss"}, {{"ZEN_PASSWORD", "Kx9-secret"}});
    ASSERT_EQ(init.status, 0) << init.err;
    const std::string key = db + ".key";
    const std::string ini = db + ".ini";
    EXPECT_NE(init.out.find(key), std::string::npos) << init.out;
    EXPECT_EQ(ModeOf(key), 0600u);
    EXPECT_EQ(fs::file_size(key), 32u);
    EXPECT_EQ(ModeOf(ini), 0600u);
    EXPECT_EQ(ModeOf(db), 0600u);
    EXPECT_EQ(IniValue(ini, "KeyFile"), key);
    EXPECT_EQ(IniValue(ini, "DatabaseFile"), db);

    // The stored name does not decode with the built-in key (this process
    // has no key configured); the password is a hash and appears nowhere.
    const auto names = Column(db, "SELECT Field0 AS V FROM Table1");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(Obvra_decode(names[0].c_str()).IsEmpty());
    EXPECT_EQ(Column(db, "SELECT Field1 AS V FROM Table1")[0].rfind("$argon2id$", 0), 0u);
    EXPECT_EQ(ReadFileText(db).find("Kx9-secret"), std::string::npos);

    // The station's own configuration logs in without --db.
    const CRun station = RunZendb({"--user", "boss", "info"}, {{"ZEN_CONFIG", ini}, {"ZEN_PASSWORD", "Kx9-secret"}});
    EXPECT_EQ(station.status, 0) << station.err;

    // A second station: the file copied elsewhere, its configuration naming
    // the same key file, logs in; the copy alone does not give the name away.
    CTempDir other;
    const std::string copy = other.File("copy.db");
    fs::copy_file(db, copy);
    const std::string otherIni = other.File("station2.ini");
    WriteFileText(otherIni, "[Database]\nDatabaseFile=" + copy + "\n[Security]\nKeyFile=" + key + "\n");
    const CRun second = RunZendb({"--user", "boss", "info"}, {{"ZEN_CONFIG", otherIni}, {"ZEN_PASSWORD", "Kx9-secret"}});
    EXPECT_EQ(second.status, 0) << second.err;
    const CRun keyless = RunZendb({"--db", copy, "--user", "boss", "info"}, {{"ZEN_PASSWORD", "Kx9-secret"}});
    EXPECT_EQ(keyless.status, 1);
    EXPECT_NE(keyless.err.find("login failed for user 'boss'"), std::string::npos) << keyless.err;
}

TEST(ToolCredentials, InitUsesTheKeyTheConfigurationNames)
{
    CTempDir dir;
    const std::string key = dir.File("lab.key");
    ASSERT_TRUE(Obvra_CreateKeyFile(key.c_str()));
    const std::string ini = dir.File("zen.ini");
    WriteFileText(ini, "[Security]\nKeyFile=" + key + "\n");
    const std::string db = dir.File("b.db");
    const CRun init = RunZendb({"init", db, "--admin", "boss"}, {{"ZEN_CONFIG", ini}, {"ZEN_PASSWORD", "pw-b"}});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_FALSE(fs::exists(db + ".key"));
    EXPECT_FALSE(fs::exists(db + ".ini"));
    const CRun login = RunZendb({"--db", db, "--user", "boss", "info"}, {{"ZEN_CONFIG", ini}, {"ZEN_PASSWORD", "pw-b"}});
    EXPECT_EQ(login.status, 0) << login.err;
}

TEST(ToolCredentials, OldEncodingLogsInAndIsStoredAsHashAfterwards)
{
    CTempDir dir;
    const std::string db = dir.File("old.db");
    CString error;
    ASSERT_TRUE(ZenCreateDatabaseFile(db.c_str(), 1, 9, &error)) << error.GetString();
    const std::string old = Obvra_encode("old-pw").Str();
    ExecuteOn(db, {"INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('" + Obvra_encode("olga").Str() + "', '" +
                       old + "', 1)"});
    const CRun wrong = RunZendb({"--db", db, "--user", "olga", "info"}, {{"ZEN_PASSWORD", "Old-pw"}});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(Column(db, "SELECT Field1 AS V FROM Table1"), std::vector<std::string>{old});
    const CRun right = RunZendb({"--db", db, "--user", "olga", "info"}, {{"ZEN_PASSWORD", "old-pw"}});
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_EQ(Column(db, "SELECT Field1 AS V FROM Table1")[0].rfind("$argon2id$", 0), 0u);
    const CRun again = RunZendb({"--db", db, "--user", "olga", "info"}, {{"ZEN_PASSWORD", "old-pw"}});
    EXPECT_EQ(again.status, 0) << again.err;
}

class CThrottleFixture : public CToolFixture {
protected:
    void SetUp() override
    {
        CToolFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        const CRun add = Zendb({"users", "add", "pat", "--role", "administrator"}, {{"ZEN_NEW_PASSWORD", "right-pw"}});
        ASSERT_EQ(add.status, 0) << add.err;
    }
    CRun Login(const std::string& user, const std::string& password)
    {
        return Zendb({"--user", user, "info"}, {{"ZEN_PASSWORD", password}});
    }
    std::vector<std::string> Counts() { return Column(m_db, "SELECT Failures AS V FROM LoginFailures"); }
};

class ToolThrottle : public CEngineTool<CThrottleFixture> {};
// The cases that read the database file's bytes.
using ToolThrottleFile = CThrottleFixture;

TEST_P(ToolThrottle, FailuresCountAcrossProcessesAndTheSixthTryWaits)
{
    for (int n = 1; n <= 5; ++n) {
        const CRun run = Login("pat", "bad");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.find("waiting"), std::string::npos) << run.err;
        EXPECT_EQ(Counts(), std::vector<std::string>{std::to_string(n)});
    }
    const CRun sixth = Login("pat", "bad");
    EXPECT_EQ(sixth.status, 1);
    EXPECT_NE(sixth.err.find("zendb: 5 failed logins of 'pat': waiting 1 s before this try"), std::string::npos)
        << sixth.err;
    EXPECT_EQ(Counts(), std::vector<std::string>{"6"});
    EXPECT_EQ(Column(m_db, "SELECT COUNT(*) AS V FROM LoginFailures WHERE LastFailure > 0"),
              std::vector<std::string>{"1"});

    const CRun right = Login("pat", "right-pw");
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_NE(right.err.find("6 failed logins of 'pat': waiting 2 s"), std::string::npos) << right.err;
    EXPECT_TRUE(Counts().empty());
    EXPECT_EQ(Login("pat", "right-pw").err.find("waiting"), std::string::npos);
}

TEST_F(ToolThrottleFile, UnknownNamesAreThrottledTheSameWay_FileOnly)
{
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(Login("ghost", "guess").status, 1);
    const CRun sixth = Login("ghost", "guess");
    EXPECT_EQ(sixth.status, 1);
    EXPECT_NE(sixth.err.find("5 failed logins of 'ghost': waiting 1 s"), std::string::npos) << sixth.err;
    EXPECT_EQ(Counts(), std::vector<std::string>{"6"});
    // The count keeps the name in its encoded form (the audit trail names
    // the tried name, as it names every entry's user); the password is
    // nowhere.
    EXPECT_EQ(Column(m_db, "SELECT COUNT(*) AS V FROM LoginFailures WHERE UserName = 'ghost'"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(ReadFileText(m_db).find("guess"), std::string::npos);
}

TEST_F(ToolThrottleFile, PasswordIsNotInTheFileNorTheEventLog_FileOnly)
{
    const std::string log = m_dir.File("zen.log");
    const std::string ini = m_dir.File("zen.ini");
    WriteFileText(ini, "[Log]\nFile=" + log + "\n");
    const CRun run = Zendb({"--user", "pat", "info"}, {{"ZEN_PASSWORD", "right-pw"}, {"ZEN_CONFIG", ini}});
    EXPECT_EQ(run.status, 0) << run.err;
    const CRun bad = Zendb({"--user", "pat", "info"}, {{"ZEN_PASSWORD", "wrong-pw-x"}, {"ZEN_CONFIG", ini}});
    EXPECT_EQ(bad.status, 1);
    EXPECT_FALSE(ReadFileText(log).empty());
    for (const std::string& file : {log, m_db, m_db + "-wal"}) {
        EXPECT_EQ(ReadFileText(file).find("right-pw"), std::string::npos) << file;
        EXPECT_EQ(ReadFileText(file).find("wrong-pw-x"), std::string::npos) << file;
    }
}

ZEN_TOOL_ENGINES(ToolThrottle);

TEST(ToolFileModes, PrivateByDefaultAndGroupReadableWithAGroupSetting)
{
    CTempDir dir;
    const std::string db = dir.File("m.db");
    ASSERT_EQ(RunZendb({"init", db}).status, 0);
    EXPECT_EQ(ModeOf(db), 0600u);
    EXPECT_EQ(ModeOf(db + ".key"), 0600u);
    EXPECT_EQ(ModeOf(db + ".ini"), 0600u);
    // The engine's side files take the database file's mode.
    ASSERT_EQ(RunZendb({"--db", db, "fields", "describe", "CustomField1", "Lot"}).status, 0);
    for (const std::string& side : {db + "-wal", db + "-shm", db + "-journal"}) {
        if (fs::exists(side)) {
            EXPECT_EQ(ModeOf(side), 0600u) << side;
        }
    }

    const struct group* own = getgrgid(getegid());
    ASSERT_NE(own, nullptr);
    const std::string groupIni = dir.File("group.ini");
    WriteFileText(groupIni, std::string("[Security]\nGroup=") + own->gr_name + "\n");
    const std::string shared = dir.File("shared.db");
    const CRun init = RunZendb({"init", shared}, {{"ZEN_CONFIG", groupIni}});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_EQ(ModeOf(shared), 0640u);
    EXPECT_EQ(ModeOf(shared + ".key"), 0640u);
    EXPECT_EQ(ModeOf(shared + ".ini"), 0640u);
    EXPECT_EQ(IniValue(shared + ".ini", "Group"), own->gr_name);
}

} // namespace
