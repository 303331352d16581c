// Tests of the facade's session: the login rules against a real user table
// (on both engines); the database path and its log lines, refusals of files
// that cannot be used (missing, not a database, read-only), and closing (on a
// file only).

#include "FacadeTestSupport.h"

#include "companions/EventLog.h"
#include "companions/Obvra.h"
#include "dialogs/LoginDlg.h"
#include "framework/Exceptions.h"

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using factest::CFacadeTest;
// What only a database file has: its path in the log, its permissions, files
// that are not station databases, its write lock.
using Session_FileOnly = factest::CFacadeFileTest;

// A dialog script that types a name and a password and presses OK; it checks
// what the dialog showed when it opened.
CScriptedUIHost::DialogScript TypeLogin(std::string name, std::string password,
                                        std::optional<std::string> expectPrefilled = std::nullopt)
{
    return [=](CDialog& dialog) -> INT_PTR {
        auto& login = static_cast<CLoginDlg&>(dialog);
        EXPECT_EQ(dialog.GetTemplateId(), IDD_LOGIN);
        EXPECT_TRUE(login.IsCentered());
        EXPECT_NE(login.GetFocusCtrl(), nullptr);
        if (login.GetFocusCtrl() != nullptr) {
            EXPECT_EQ(login.GetFocusCtrl()->GetDlgCtrlID(), IDC_LOGIN_PASSWORD);
        }
        EXPECT_TRUE(login.GetDlgItemText(IDC_LOGIN_PASSWORD).IsEmpty());
        if (expectPrefilled) {
            EXPECT_EQ(login.GetDlgItemText(IDC_LOGIN_USERNAME).Str(), *expectPrefilled);
        }
        login.SetDlgItemText(IDC_LOGIN_USERNAME, name.c_str());
        login.SetDlgItemText(IDC_LOGIN_PASSWORD, password.c_str());
        return IDOK;
    };
}

class SessionLogin : public CFacadeTest {
protected:
    void SetUp() override
    {
        CFacadeTest::SetUp();
        if (!Ready())
            return;
        CreateDatabase();
        CZENDatabase admin;
        ASSERT_EQ(OpenPlainOn(admin), 1);
        admin.AddUser("admin", "secret", static_cast<UserRoleType>(7));
        admin.AddUser("operator", "", static_cast<UserRoleType>(2));
    }

    static int OpenPlainOn(CZENDatabase& facade)
    {
        CString error;
        return facade.OpenDatabase(0, "", "", error);
    }

    int Login(const char* name, const char* password)
    {
        CString error;
        return m_facade.OpenDatabase(1, name, password, error);
    }

    size_t QuestionsAsked() const
    {
        size_t count = 0;
        for (const auto& message : m_host.GetMessages())
            if (message.text.Str() == factest::Text(13025) && message.style == MB_YESNO)
                ++count;
        return count;
    }
};

TEST_P(SessionLogin, GivenCredentialsLogInWithoutDialog)
{
    EXPECT_EQ(Login("admin", "secret"), 1);
    EXPECT_EQ(m_facade.GetUserType(), 7);
    EXPECT_EQ(m_facade.GetUserNameA(), "admin");
    EXPECT_EQ(m_facade.GetUserPassword(), "secret");
    EXPECT_TRUE(m_host.GetDialogs().empty());
    EXPECT_TRUE(m_host.GetMessages().empty());
}

TEST_P(SessionLogin, EmptyCredentialsOnFreshFacadeRetryQuietlyOnce)
{
    m_host.QueueDialogScript(TypeLogin("admin", "wrong", ""));
    m_host.QueueDialogScript(TypeLogin("admin", "wrong too", ""));
    m_host.QueueMessageAnswer(IDNO);
    EXPECT_EQ(Login("", ""), 0);
    EXPECT_EQ(m_host.GetDialogs().size(), 2u);
    EXPECT_EQ(QuestionsAsked(), 1u);
    EXPECT_FALSE(m_facade.IsOpen());
    EXPECT_EQ(m_facade.GetUserType(), UserRoleNobody);
}

TEST_P(SessionLogin, NameWithEmptyPasswordIsTriedFirstThenDialogPrefilled)
{
    // "operator" has the empty password: no dialog at all.
    EXPECT_EQ(Login("operator", ""), 1);
    EXPECT_EQ(m_facade.GetUserType(), 2);
    EXPECT_TRUE(m_host.GetDialogs().empty());
    m_facade.CloseDatabase();

    // A fresh facade and a name whose password is not empty: the silent try
    // fails, the dialog comes pre-filled, without any question.
    CZENDatabase fresh;
    m_host.QueueDialogScript(TypeLogin("admin", "secret", "admin"));
    CString error;
    EXPECT_EQ(fresh.OpenDatabase(1, "admin", "", error), 1);
    EXPECT_EQ(m_host.GetDialogs().size(), 1u);
    EXPECT_EQ(QuestionsAsked(), 0u);
    EXPECT_EQ(fresh.GetUserType(), 7);
}

TEST_P(SessionLogin, AfterCloseTheDialogComesFirstAndFailuresAreAsked)
{
    ASSERT_EQ(Login("admin", "secret"), 1);
    EXPECT_EQ(m_facade.CloseDatabase(), 1);
    EXPECT_EQ(m_facade.GetUserType(), UserRoleNobody);
    EXPECT_EQ(m_facade.GetUserNameA(), "admin");

    m_host.QueueDialogScript(TypeLogin("operator", "bad", "operator"));
    m_host.QueueMessageAnswer(IDYES);
    m_host.QueueDialogScript(TypeLogin("operator", "", "operator"));
    EXPECT_EQ(Login("operator", ""), 1);
    EXPECT_EQ(m_host.GetDialogs().size(), 2u);
    EXPECT_EQ(QuestionsAsked(), 1u);
    EXPECT_EQ(m_facade.GetUserType(), 2);
}

TEST_P(SessionLogin, WrongPasswordAsksAtOnceAndYesShowsDialogWithEmptyPassword)
{
    m_host.QueueMessageAnswer(IDYES);
    m_host.QueueDialogAnswer(IDCANCEL);
    EXPECT_EQ(Login("admin", "wrong"), 0);
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_EQ(QuestionsAsked(), 1u);
    ASSERT_EQ(m_host.GetDialogs().size(), 1u);
    EXPECT_EQ(m_host.GetDialogs()[0].result, IDCANCEL);
    EXPECT_FALSE(m_facade.IsOpen());
    // Cancel leaves the session's credentials as they were.
    EXPECT_EQ(m_facade.GetUserNameA(), "admin");
    EXPECT_EQ(m_facade.GetUserPassword(), "wrong");
}

TEST_P(SessionLogin, FirstRowWithTheNameDecides)
{
    {
        CZENDatabase admin;
        ASSERT_EQ(OpenPlainOn(admin), 1);
        admin.AddUser("twin", "first", static_cast<UserRoleType>(1));
    }
    // AddUser refuses a second "twin"; a file written before may hold one.
    factest::Exec(m_connect, {"INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('" + Obvra_encode("twin").Str() +
                             "', '" + Obvra_encode("second").Str() + "', 2)"});
    m_host.QueueMessageAnswer(IDNO);
    EXPECT_EQ(Login("twin", "second"), 0);
    EXPECT_EQ(QuestionsAsked(), 1u);
    EXPECT_EQ(Login("twin", "first"), 1);
    EXPECT_EQ(m_facade.GetUserType(), 1);
}

TEST_P(SessionLogin, StoredFormsAreRightTrimmedButOtherwiseExact)
{
    factest::Exec(m_connect, {"DELETE FROM Table1",
                             "INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('" +
                               Obvra_encode("Ana").Str() + "   ', '" + Obvra_encode("pw").Str() + "  ', 4)"});
    EXPECT_EQ(Login("Ana", "pw"), 1);
    EXPECT_EQ(m_facade.GetUserType(), 4);

    struct {
        const char* name;
        const char* password;
    } const refused[] = {{"ana", "pw"}, {" Ana", "pw"}, {"Ana", "PW"}, {"Ana", "pw "}};
    for (const auto& attempt : refused) {
        CZENDatabase other;
        m_host.QueueMessageAnswer(IDNO);
        CString error;
        EXPECT_EQ(other.OpenDatabase(1, attempt.name, attempt.password, error), 0)
            << attempt.name << "/" << attempt.password;
    }
}

TEST_P(SessionLogin, DamagedRowNeverLetsEmptyCredentialsIn)
{
    factest::Exec(m_connect, {"DELETE FROM Table1",
                             "INSERT INTO Table1 (Field0, Field1, Field2) VALUES ('garbage', 'garbage', 9)"});
    m_host.QueueDialogScript(TypeLogin("", ""));
    m_host.QueueDialogScript(TypeLogin("", ""));
    m_host.QueueMessageAnswer(IDNO);
    EXPECT_EQ(Login("", ""), 0);
    EXPECT_EQ(m_facade.GetUserType(), UserRoleNobody);
}

TEST_P(SessionLogin, WithoutLoginTheRoleStaysUnset)
{
    CString error;
    EXPECT_EQ(m_facade.OpenDatabase(0, "admin", "", error), 1);
    EXPECT_EQ(m_facade.GetUserType(), UserRoleNobody);
    EXPECT_EQ(m_facade.GetUserNameA(), "admin");
    EXPECT_TRUE(error.IsEmpty());
}

TEST_P(SessionLogin, CloseOnUnopenedFacadeKeepsTheFreshRules)
{
    EXPECT_EQ(m_facade.CloseDatabase(), 1);
    // Still fresh: the name is tried silently with the empty password.
    EXPECT_EQ(Login("operator", ""), 1);
    EXPECT_TRUE(m_host.GetDialogs().empty());
}

TEST_P(SessionLogin, ApostrophesInNamesAreOrdinaryText)
{
    {
        CZENDatabase admin;
        ASSERT_EQ(OpenPlainOn(admin), 1);
        admin.AddUser("O'Brien", "it's", static_cast<UserRoleType>(3));
    }
    EXPECT_EQ(Login("O'Brien", "it's"), 1);
    EXPECT_EQ(m_facade.DeleteUser("O'Brien"), 1);
    EXPECT_THROW(m_facade.DeleteUser("O'Brien"), CDBException);
}

// --- Path, connection string and log ------------------------------------

class SessionPath_FileOnly : public factest::CFacadeFileTest {};

// The wait for another connection's lock comes from "Database"/"BusyTimeout"
// in whole seconds 1..3600; anything else is the default of 5 s.
TEST_F(SessionPath_FileOnly, BusyTimeoutIsReadFromTheConfigurationWithinItsRange)
{
    const std::string config = (m_dir.Path() / "busy.ini").string();
    factest::CEnvGuard env("ZEN_CONFIG", config.c_str());
    const struct {
        const char* value;
        DWORD seconds;
    } cases[] = {{"1", 1},     {" 30 ", 30},  {"3600", 3600}, {"0", 5},    {"3601", 5}, {"-1", 5},
                 {"1.5", 5},   {"10s", 5},    {"0x10", 5},    {"", 5},     {"99999999999999999999", 5}};
    for (const auto& c : cases) {
        zentest::WriteFileText(config, std::string("[Database]\nBusyTimeout=") + c.value + "\n");
        EXPECT_EQ(CZENDatabase::ReadBusyTimeoutSeconds(), c.seconds) << "'" << c.value << "'";
    }
    std::filesystem::remove(config);
    EXPECT_EQ(CZENDatabase::ReadBusyTimeoutSeconds(), 5u);
}

TEST_F(SessionPath_FileOnly, DefaultPathFollowsProgramDataOrDataHome)
{
    // No configuration file: the default path decides.
    factest::CEnvGuard noConfig("ZEN_CONFIG", (m_dir.Path() / "none.ini").c_str());
    const std::string programData = (m_dir.Path() / "pd").string();
    const std::string dataHome = (m_dir.Path() / "xdg").string();
    factest::CEnvGuard xdg("XDG_DATA_HOME", dataHome.c_str());
    struct {
        const char* programData;
        std::string expected;
    } const cases[] = {
        {programData.c_str(), programData + "/Korvane/ZEN.mdb"},
        {nullptr, dataHome + "/Korvane/ZEN.mdb"},
    };
    for (const auto& c : cases) {
        factest::CEnvGuard env("ProgramData", c.programData);
        EXPECT_EQ(CZENDatabase::GetDefaultDatabasePath().Str(), c.expected);
        CZENDatabase facade;
        CString error;
        m_host.Reset();
        EXPECT_EQ(facade.OpenDatabase(0, "", "", error), 0);
        EXPECT_EQ(facade.GetDatabaseName().Str(), c.expected);
        CString expectedMessage;
        expectedMessage.Format(factest::Text(13037).c_str(), c.expected.c_str());
        EXPECT_EQ(error, expectedMessage);
        ASSERT_EQ(m_host.GetMessages().size(), 1u);
        EXPECT_EQ(m_host.GetMessages()[0].text, expectedMessage);
        EXPECT_EQ(m_host.GetMessages()[0].style, MB_OK);
        // A missing file is never created.
        EXPECT_FALSE(std::filesystem::exists(c.expected));
        EXPECT_FALSE(facade.IsOpen());
    }
}

TEST_F(SessionPath_FileOnly, ConfigurationOverridesDefaultAndEveryStepIsLogged)
{
    CreateDatabase();
    factest::CEnvGuard env("ProgramData", "/nowhere");
    EXPECT_EQ(OpenPlain(), 1);
    EXPECT_EQ(m_facade.GetDatabaseName().Str(), m_path);
    const std::string log = zentest::ReadFileText(m_logPath);
    const std::string expected[] = {
        "database:",
        "CZENDatabase::OpenDatabase: Opening Database...",
        "CZENDatabase::OpenDatabase: Environment ProgramData is:/nowhere",
        "CZENDatabase::OpenDatabase: Complete Database Path:/nowhere/Korvane/ZEN.mdb",
        "CZENDatabase::OpenDatabase: Database to open:" + m_path,
        "CZENDatabase::OpenDatabase: Connection string:Driver={Microsoft Access Driver (*.mdb)};Dbq=" + m_path +
            ";",
    };
    size_t from = 0;
    for (const std::string& line : expected) {
        const size_t at = log.find(line, from);
        EXPECT_NE(at, std::string::npos) << line;
        if (at != std::string::npos)
            from = at;
    }
}

TEST_F(SessionPath_FileOnly, UnsetProgramDataIsLoggedEmpty)
{
    CreateDatabase();
    factest::CEnvGuard env("ProgramData", nullptr);
    EXPECT_EQ(OpenPlain(), 1);
    EXPECT_NE(zentest::ReadFileText(m_logPath).find("Environment ProgramData is:\n"), std::string::npos);
}

// --- Files that cannot be used ---------------------------------------------

TEST_F(Session_FileOnly, FilesThatAreNotDatabasesAreRefusedWithTheirPath)
{
    struct {
        const char* name;
        std::string content;
    } const files[] = {
        {"random bytes", std::string("\x13\x99\xfe\x00\x42 random bytes that are no database", 40)},
        {"desktop database", std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20) + std::string(4000, '\0')},
        {"empty text", "hello\n"},
    };
    for (const auto& file : files) {
        zentest::WriteFileText(m_path, file.content);
        m_host.Reset();
        CString error;
        CZENDatabase facade;
        EXPECT_EQ(facade.OpenDatabase(1, "admin", "secret", error), 0) << file.name;
        CString expected;
        expected.Format(factest::Text(13037).c_str(), m_path.c_str());
        EXPECT_EQ(error, expected) << file.name;
        ASSERT_EQ(m_host.GetMessages().size(), 1u) << file.name;
        EXPECT_EQ(m_host.GetMessages()[0].text, expected);
        EXPECT_FALSE(facade.IsOpen());
        EXPECT_EQ(zentest::ReadFileText(m_path), file.content) << "the file is left as it was";
    }
}

TEST_F(Session_FileOnly, DatabasesOfOtherProgramsAreNotStationDatabases)
{
    const struct {
        const char* name;
        std::vector<std::string> statements;  // run on a new SQLite file; none: an empty file
        const char* engineSays;
    } files[] = {
        {"empty file", {}, "no such table: SystemTable"},
        {"another program's database", {"CREATE TABLE Invoices (Number INTEGER, Customer TEXT)"},
         "no such table: SystemTable"},
        {"a version table of other columns", {"CREATE TABLE SystemTable (Version TEXT)"},
         "no such column: MajorVersion"},
    };
    for (const int login : {0, 1}) {
        for (const auto& file : files) {
            SCOPED_TRACE(std::string(file.name) + (login ? ", with login" : ""));
            std::filesystem::remove(m_path);
            std::filesystem::remove(m_logPath);
            CloseEventLog();  // the next entry starts the file afresh
            if (file.statements.empty())
                zentest::WriteFileText(m_path, "");
            else {
                CDatabase::CreateDatabase((CString("DBQ=") + m_path.c_str() + ";").GetString());
                factest::Exec(m_connect, file.statements);
            }
            m_host.Reset();
            CZENDatabase facade;
            CString error;
            EXPECT_EQ(facade.OpenDatabase(login, "admin", "secret", error), 0);
            const std::string expected = "The file '" + m_path + "' is not a ZEN station database.";
            EXPECT_EQ(error.Str(), expected);
            ASSERT_EQ(m_host.GetMessages().size(), 1u);
            EXPECT_EQ(m_host.GetMessages()[0].text.Str(), expected);
            EXPECT_EQ(m_host.GetMessages()[0].style, MB_OK | MB_ICONERROR);
            EXPECT_FALSE(facade.IsOpen());
            // The engine's own words go to the log.
            const std::string log = zentest::ReadFileText(m_logPath);
            EXPECT_NE(log.find("Not a station database, reading its version gave: " + std::string(file.engineSays)),
                      std::string::npos)
                << log;
        }
    }
}

// On either engine a database without the station's version table (empty,
// another program's, or a version table of other columns) is refused in the
// station's words, naming the file or the server database; the engine's own
// words go to the log.
using SessionOpen = CFacadeTest;

TEST_P(SessionOpen, ADatabaseWithoutTheStationTablesIsRefusedNamingIt)
{
    const struct {
        const char* name;
        std::vector<std::string> statements;
        const char* logged; // a name the engine's words give
    } databases[] = {
        {"empty database", {}, "SystemTable"},
        {"another program's database", {"CREATE TABLE Invoices (Number INTEGER, Customer VARCHAR(50))"},
         "SystemTable"},
        {"a version table of other columns", {"CREATE TABLE SystemTable (Version VARCHAR(10))"}, "MajorVersion"},
    };
    for (const int login : {0, 1}) {
        for (const auto& database : databases) {
            SCOPED_TRACE(std::string(database.name) + (login ? ", with login" : ""));
            EmptyDatabase();
            if (!database.statements.empty())
                factest::Exec(m_connect, database.statements);
            std::filesystem::remove(m_logPath);
            CloseEventLog(); // the next entry starts the file afresh
            m_host.Reset();
            CZENDatabase facade;
            CString error;
            EXPECT_EQ(facade.OpenDatabase(login, "admin", "secret", error), 0);
            const std::string expected = m_quirks.databaseIsFile
                                             ? "The file '" + m_path + "' is not a ZEN station database."
                                             : "The database '" + m_connect + "' is not a ZEN station database.";
            EXPECT_EQ(error.Str(), expected);
            ASSERT_EQ(m_host.GetMessages().size(), 1u);
            EXPECT_EQ(m_host.GetMessages()[0].text.Str(), expected);
            EXPECT_EQ(m_host.GetMessages()[0].style, MB_OK | MB_ICONERROR);
            EXPECT_FALSE(facade.IsOpen());
            const std::string log = zentest::ReadFileText(m_logPath);
            const size_t at = log.find("Not a station database, reading its version gave: ");
            ASSERT_NE(at, std::string::npos) << log;
            EXPECT_NE(log.find(database.logged, at), std::string::npos) << log;
        }
    }
}

// A database that cannot be reached (a file in a missing folder, a server
// that is not there) is refused naming it; a password of the configured
// connection string shows nowhere, neither in the messages nor in the log.
TEST_P(SessionOpen, ADatabaseThatCannotBeReachedIsRefusedWithoutItsPassword)
{
    const std::string missing = m_dir.File("no-such-folder/ZEN.mdb");
    const std::string location = m_quirks.databaseIsFile
                                     ? "DatabaseFile=" + missing
                                     : "Server=host=" + m_dir.File("no-such-folder") + " dbname=zen password=SeCrEt";
    const std::string shown = m_quirks.databaseIsFile
                                  ? missing
                                  : "host=" + m_dir.File("no-such-folder") + " dbname=zen password=***";
    zentest::WriteFileText(m_configPath, "[Database]\n" + location + "\n[Log]\nFile=" + m_logPath + "\n");
    CString error;
    EXPECT_EQ(m_facade.OpenDatabase(1, "admin", "secret", error), 0);
    EXPECT_FALSE(m_facade.IsOpen());
    CString expected;
    expected.Format(factest::Text(13037).c_str(), shown.c_str());
    EXPECT_EQ(error, expected);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{expected.Str()});
    EXPECT_EQ(m_facade.GetDatabaseName().Str(), shown);
    const std::string log = zentest::ReadFileText(m_logPath);
    EXPECT_NE(log.find("Database to open:" + shown), std::string::npos) << log;
    EXPECT_EQ(log.find("SeCrEt"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

// A host whose first message box fails with an exception that is not the
// framework's, as a window system that went away would; later boxes are
// recorded as usual.
class CThrowingUIHost : public CScriptedUIHost {
public:
    int MessageBox(const CString& text, UINT style) override
    {
        if (!m_bThrown) {
            m_bThrown = true;
            m_strThrownAt = text;
            throw std::runtime_error("the screen went away");
        }
        return CScriptedUIHost::MessageBox(text, style);
    }
    bool m_bThrown = false;
    CString m_strThrownAt;
};

// True when another connection can write the version row and read the
// tables an upgrade changes within a second: nothing is left holding the
// file's write lock or a server's table locks.
bool NothingIsLeftLocked(const std::string& connect)
{
    CDatabase other;
    other.OpenEx(connect.c_str(), CDatabase::noOdbcDialog);
    other.SetQueryTimeout(1);
    try {
        other.BeginTrans();
        other.ExecuteSQL("UPDATE SystemTable SET MajorVersion = MajorVersion");
        for (const char* table : {"Samples", "Patterns", "RoutineTypes"}) {
            CRecordset rs(&other);
            rs.Open(CRecordset::forwardOnly, (std::string("SELECT COUNT(*) FROM ") + table).c_str(),
                    CRecordset::readOnly);
        }
        other.Rollback();
        return true;
    } catch (CDBException& e) {
        e.Delete();
        return false;
    }
}

TEST_P(SessionOpen, ExceptionsOfAnyKindDuringTheVersionCheckCloseTheConnection)
{
    // A 1.6 file is upgraded and the success is shown: that message box
    // throws. A 1.6 file whose Samples already has the trace column fails in
    // the upgrade hook, whose message box throws.
    const struct {
        const char* name;
        std::vector<std::string> prepare;
        std::string thrownAt;
    } cases[] = {
        {"after the upgrade", {}, "Sucessfully upgraded database to version 1.9."},
        {"inside an upgrade hook", {"ALTER TABLE Samples ADD Trace BLOB"}, "Trace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewDatabase();
        CreateDatabase(6);
        if (!c.prepare.empty())
            factest::Exec(m_connect, c.prepare);
        CThrowingUIHost host;
        CUIHostScope scope(&host);
        CZENDatabase facade;
        CString error;
        int result = -1;
        EXPECT_NO_THROW(result = facade.OpenDatabase(0, "", "", error));
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(host.m_bThrown);
        EXPECT_NE(host.m_strThrownAt.Find(c.thrownAt.c_str()), -1) << host.m_strThrownAt.GetString();
        EXPECT_FALSE(facade.IsOpen());
        EXPECT_EQ(error, "Exception when reading database version");
        ASSERT_EQ(host.GetMessages().size(), 1u);
        EXPECT_EQ(host.GetMessages()[0].text, "Exception when reading database version");
        EXPECT_TRUE(NothingIsLeftLocked(m_connect));
    }
}

TEST_P(SessionOpen, ExceptionFromTheHostDuringTheLoginClosesTheConnection)
{
    CreateDatabase(9);
    // The login's question is the first message box; it throws, and the
    // exception reaches the caller with the connection closed.
    CThrowingUIHost host;
    CUIHostScope scope(&host);
    CString error;
    EXPECT_THROW(m_facade.OpenDatabase(1, "nobody", "wrong", error), std::runtime_error);
    EXPECT_EQ(host.m_strThrownAt.Str(), factest::Text(13025));
    EXPECT_FALSE(m_facade.IsOpen());
    EXPECT_TRUE(NothingIsLeftLocked(m_connect));

    // The check sees a writer that is still at work.
    CDatabase writer;
    writer.OpenEx(m_connect.c_str(), CDatabase::noOdbcDialog);
    writer.BeginTrans();
    writer.ExecuteSQL("UPDATE SystemTable SET MinorVersion = MinorVersion");
    EXPECT_FALSE(NothingIsLeftLocked(m_connect));
    writer.Rollback();
}

// --- A configuration that exists but cannot be read ------------------------

// Opens with the configuration as it is and tells how it went: 0 refused with
// the expected text naming the file, other values name what went wrong.
int OpenWithUnreadableConfiguration(const std::string& config, const std::string& reason)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    CZENDatabase facade;
    CString error;
    if (facade.OpenDatabase(0, "", "", error) != 0)
        return 10;
    if (facade.IsOpen())
        return 11;
    const std::string expected = "The station configuration file '" + config + "' cannot be read: " + reason + ".";
    if (error.Str() != expected)
        return 12;
    if (host.GetMessages().size() != 1 || host.GetMessages()[0].text.Str() != expected)
        return 13;
    if (host.GetMessages()[0].style != (MB_OK | MB_ICONERROR))
        return 14;
    if (!facade.GetDatabaseName().IsEmpty())
        return 15;
    return 0;
}

class UnreadableConfiguration_FileOnly : public factest::CFacadeFileTest {
protected:
    void SetUp() override
    {
        CFacadeFileTest::SetUp();
        // The default database exists and would open: it must not be used.
        m_programData.emplace("ProgramData", (m_dir.Path() / "pd").c_str());
        std::filesystem::create_directories(m_dir.Path() / "pd/Korvane");
        CString error;
        ASSERT_TRUE(ZenCreateDatabaseFile((m_dir.Path() / "pd/Korvane/ZEN.mdb").c_str(), 1, 9, &error));
    }
    std::optional<factest::CEnvGuard> m_programData;
};

TEST_F(UnreadableConfiguration_FileOnly, FolderOrTextThatIsNotUtf8IsRefusedNamingTheFile)
{
    CreateDatabase();
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"folder", "it is a folder, not a file"},
        {"not UTF-8", "it is not UTF-8 text (line 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(m_configPath);
        if (std::string(c.name) == "folder")
            std::filesystem::create_directories(m_configPath);
        else
            zentest::WriteFileText(m_configPath, "[Database]\nDatabaseFile=" + m_path + "\xff\n");
        EXPECT_EQ(OpenWithUnreadableConfiguration(m_configPath, c.reason), 0);
    }
    // Readable again: the configured database opens.
    std::filesystem::remove_all(m_configPath);
    WriteConfig(m_path);
    EXPECT_EQ(OpenPlain(), 1);
    EXPECT_EQ(m_facade.GetDatabaseName().Str(), m_path);
}

TEST_F(UnreadableConfiguration_FileOnly, FileWithoutReadPermissionIsRefusedNamingTheFile)
{
    CreateDatabase();
    ASSERT_EQ(chmod(m_configPath.c_str(), 0000), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(OpenWithUnreadableConfiguration(m_configPath, "Permission denied"), 0);
        return;
    }
    // Root reads whatever the permissions say: an unprivileged child tries,
    // in a folder that it may enter.
    chmod(m_dir.Path().c_str(), 0755);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const gid_t nogroup = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(65534) != 0)
            _exit(20);
        if (access(m_configPath.c_str(), R_OK) == 0)
            _exit(21);
        _exit(OpenWithUnreadableConfiguration(m_configPath, "Permission denied"));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Opens the database as the process's current user and tells how it went:
// 0 refused with 13034 and closed, other values name what went wrong.
int OpenReadOnlyAndReport()
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    CZENDatabase facade;
    CString error;
    const int result = facade.OpenDatabase(0, "", "", error);
    if (result != 0)
        return 10;
    if (facade.IsOpen())
        return 11;
    if (host.GetMessages().size() != 1)
        return 12;
    if (host.GetMessages()[0].text.Str() != factest::Text(13034))
        return 13;
    if (host.GetMessages()[0].style != (MB_OK | MB_ICONERROR))
        return 14;
    return 0;
}

// Result of RunWithoutWriteAccess when this user writes write-protected
// files anyway, so the case cannot be made.
constexpr int kWritesAnyway = 99;

// Runs check as a user who cannot write the database file that the station
// configuration names, and returns its result (0: as expected). Not root:
// this process, on the fixture's own file (createOwn makes it and returns its
// path) made write-protected. Root writes whatever the permissions say: an
// unprivileged child, on a write-protected file in a folder it can read but
// not write. Values from 90 up name a failure of the set-up.
int RunWithoutWriteAccess(const std::function<std::string()>& createOwn, int (*check)(const std::string& database))
{
    if (geteuid() != 0) {
        const std::string path = createOwn();
        if (chmod(path.c_str(), 0444) != 0)
            return 90;
        if (access(path.c_str(), W_OK) == 0)
            return kWritesAnyway;
        return check(path);
    }
    char folderTemplate[] = "/tmp/zen-readonly-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr)
        return 91;
    const std::filesystem::path folder(folderTemplate);
    const std::string database = (folder / "ZEN.mdb").string();
    const std::string config = (folder / "zen.ini").string();
    CString error;
    if (!ZenCreateDatabaseFile(database.c_str(), 1, 9, &error)) {
        std::filesystem::remove_all(folder);
        return 92;
    }
    zentest::WriteFileText(config, "[Database]\nDatabaseFile=" + database + "\n");
    chmod(database.c_str(), 0444);
    chmod(config.c_str(), 0444);
    chmod(folder.c_str(), 0755);

    const pid_t child = fork();
    if (child == 0) {
        setenv("ZEN_CONFIG", config.c_str(), 1);
        const gid_t nogroup = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(65534) != 0)
            _exit(20);
        if (access(database.c_str(), W_OK) == 0)
            _exit(21);
        _exit(check(database));
    }
    int status = 0;
    const bool waited = child > 0 && waitpid(child, &status, 0) == child;
    std::filesystem::remove_all(folder);
    if (!waited)
        return 93;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 94;
}

TEST_F(Session_FileOnly, ReadOnlyFileIsRefused)
{
    const int result = RunWithoutWriteAccess([this] { CreateDatabase(); return m_path; },
                                             [](const std::string&) { return OpenReadOnlyAndReport(); });
    if (result == kWritesAnyway)
        GTEST_SKIP() << "the file stays writable for this user";
    EXPECT_EQ(result, 0);
}

// Opens the database with ZENOPEN_AllowReadOnly as the process's current
// user, expecting a file it cannot write: 0 when it opened for reading
// without a message and said why; other values name what went wrong.
int OpenAllowingReadOnlyAndReport(const std::string& database)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    CZENDatabase facade;
    CString error;
    if (facade.OpenDatabaseWithOptions(ZENOPEN_AllowReadOnly, 0, "", "", error) != 1)
        return 10;
    if (!host.GetMessages().empty())
        return 11;
    if (facade.CanUpdate())
        return 12;
    if (facade.GetReadOnlyReason().Find(database.c_str()) < 0)
        return 13;
    int major = 0;
    int minor = 0;
    if (facade.GetVersion(major, minor) != 1 || major != 1 || minor != 9)
        return 14;
    // Nothing that writes: the unique index is not tried, the upgrade refuses.
    if (facade.UpgradeToCurrentVersion() != 0)
        return 15;
    facade.CloseDatabase();
    return 0;
}

TEST_F(Session_FileOnly, ReadOnlyFileOpensForReadingWhenAllowed)
{
    const int result = RunWithoutWriteAccess([this] { CreateDatabase(); return m_path; },
                                             OpenAllowingReadOnlyAndReport);
    if (result == kWritesAnyway)
        GTEST_SKIP() << "the file stays writable for this user";
    EXPECT_EQ(result, 0);
}

ZEN_FACADE_ENGINES(SessionLogin);
ZEN_FACADE_ENGINES(SessionOpen);

} // namespace
