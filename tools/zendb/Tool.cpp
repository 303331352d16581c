// Shared machinery of the zendb commands: options, message host, database
// session and helpers (see Tool.h).
#include "Tool.h"
#include "Tr.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zendb {

CGlobalOptions& Options()
{
    static CGlobalOptions options;
    return options;
}

EOutputFormat OutputFormat()
{
    const std::string& format = Options().format;
    if (format == "json")
        return EOutputFormat::Json;
    if (format == "csv")
        return EOutputFormat::Csv;
    return EOutputFormat::Table;
}

void AddGlobalOptions(CLI::App& app)
{
    CGlobalOptions& options = Options();
    app.add_option("--db", options.database,
                   Tr("Database file, or a server database's connection string (postgresql://user@host/db or "
                      "\"host=... dbname=...\"; its password is never shown). Default: what the station "
                      "configuration names, section Database, key Server, else key DatabaseFile"))
        ->type_name("DB");
    app.add_option("--user", options.user, Tr("Log in as this user"))->envname("ZEN_USER")->type_name("NAME");
    app.add_option_function<std::string>(
           "--password",
           [&options](const std::string& value) {
               options.password = value;
               WarnPasswordOnCommandLine("--password");
           },
           Tr("Password of --user. Every local user can read it (ps): prefer --password-file, $ZEN_PASSWORD "
              "or the prompt; zendb warns on stderr when it is used"))
        ->type_name("PW");
    app.add_option("--password-file", options.passwordFile,
                   Tr("Read the password of --user from the first line of FILE (a regular file or a pipe such as "
                      "<(command)). A file that every local user may read is refused, one the group may read "
                      "is warned about. Without --password-file and --password: $ZEN_PASSWORD, else a prompt "
                      "on a terminal"))
        ->type_name("FILE");
    app.add_option("--format", options.format, Tr("Output of listings: table (for people), json or csv"))
        ->check(CLI::IsMember({"table", "json", "csv"}))
        ->type_name("FORMAT");
    app.add_flag("-q,--quiet", options.quiet, Tr("No notes and no progress bar on stderr"));
    app.add_option("--reason", options.reason,
                   Tr("Reason for the changes of this command, recorded with each of them in the audit trail"))
        ->type_name("TEXT");
}

std::string RoleName(int role)
{
    switch (role) {
    case UserRoleOperator:
        return "operator";
    case UserRoleSupervisor:
        return "supervisor";
    case UserRoleAdministrator:
        return "administrator";
    default:
        return std::to_string(role);
    }
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int ParseRole(const std::string& text)
{
    const std::string name = Lower(text);
    if (name == "operator")
        return UserRoleOperator;
    if (name == "supervisor")
        return UserRoleSupervisor;
    if (name == "administrator" || name == "admin")
        return UserRoleAdministrator;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    // Only the three roles the stations know: any other number would store a
    // user that no login check treats as intended.
    if (!text.empty() && end != nullptr && *end == '\0' && errno == 0 && value >= UserRoleOperator &&
        value <= UserRoleAdministrator)
        return static_cast<int>(value);
    throw CUsageError(TrF("unknown role '%s' (operator, supervisor, administrator or 0, 1, 2)", text));
}

// ---------------------------------------------------------------------------
// Message host

std::string Flatten(const std::string& text)
{
    std::string line;
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

CToolUIHost& CToolUIHost::Instance()
{
    static CToolUIHost host;
    return host;
}

namespace {

// A person at the terminal answers the library's questions and fills in its
// dialogs (the login dialog after a wrong password, for one).
bool AtTerminal()
{
    return isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
}

} // namespace

int CToolUIHost::MessageBox(const CString& text, UINT style)
{
    if ((style & MB_TYPEMASK) != MB_OK && AtTerminal()) {
        CTerminalUIHost terminal;
        return terminal.MessageBox(text, style);
    }
    m_messages.push_back(Flatten(ToStd(text)));
    return CDefaultUIHost::DefaultAnswer(style);
}

INT_PTR CToolUIHost::RunModal(CDialog& dlg)
{
    ++m_dialogs;
    if (AtTerminal()) {
        CTerminalUIHost terminal;
        return terminal.RunModal(dlg);
    }
    CDefaultUIHost quiet;
    return quiet.RunModal(dlg);
}

std::vector<std::string> CToolUIHost::TakeMessages()
{
    std::vector<std::string> messages;
    messages.swap(m_messages);
    return messages;
}

void FlushNotes()
{
    for (const std::string& message : CToolUIHost::Instance().TakeMessages())
        if (!Options().quiet && !message.empty())
            std::fprintf(stderr, "zendb: %s\n", TrF("note: %s", Visible(message)).c_str());
}

namespace {

std::string JoinMessages(const std::vector<std::string>& messages)
{
    std::string text;
    for (const std::string& message : messages) {
        if (message.empty())
            continue;
        if (!text.empty())
            text += "; ";
        text += message;
    }
    return text;
}

} // namespace

// ---------------------------------------------------------------------------
// Database file and configuration

namespace {

// The private configuration file; removed at exit.
struct CConfigOverlay {
    std::string path;
    ~CConfigOverlay()
    {
        if (!path.empty())
            std::remove(path.c_str());
    }
};

CConfigOverlay& Overlay()
{
    static CConfigOverlay overlay;
    return overlay;
}

} // namespace

namespace {

// The station configuration as in force (the candidate files merged key by
// key, the first non-empty value winning), so that a private copy keeps the
// event log and the credential key where the station has them.
CIniFile MergedConfiguration()
{
    CIniFile merged;
    for (const CString& file : GetConfigFileCandidates()) {
        CIniFile ini;
        if (!ini.Load(file))
            continue;
        for (const CString& section : ini.GetSectionNames()) {
            for (const CString& key : ini.GetKeys(section)) {
                CString value;
                CString present;
                if (ini.Lookup(section, key, value) && !value.IsEmpty() &&
                    !merged.Lookup(section, key, present))
                    merged.SetString(section, key, value);
            }
        }
    }
    return merged;
}

// Writes the configuration into a new private file (the umask of zendb
// keeps it to the user) and names it in ZEN_CONFIG for the rest of the
// process; the previous private copy is removed.
void UseConfiguration(const CIniFile& merged)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zendb-config-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        throw CToolError(TrF("cannot create a temporary configuration file: %s", std::strerror(errno)));
    const std::string text = merged.ToText();
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    if (!Overlay().path.empty())
        std::remove(Overlay().path.c_str());
    Overlay().path = name.data();
    if (!written)
        throw CToolError(Tr("cannot write a temporary configuration file"));
    setenv("ZEN_CONFIG", name.data(), 1);
}

} // namespace

bool IsServerLocation(const std::string& location)
{
    return !location.empty() && !ZenLocationIsFilePath(location.c_str());
}

std::string ShownLocation(const std::string& location)
{
    // The framework's masking, as the library's own texts use it: it keeps
    // what follows the password in libpq's keyword form.
    return IsServerLocation(location) ? ToStd(MaskConnectPassword(CString(location))) : location;
}

void UseDatabaseServer(const std::string& connect)
{
    CIniFile merged = MergedConfiguration();
    if (!merged.SetString("Database", "Server", connect.c_str()))
        throw CToolError(TrF("the connection string '%s' cannot be put into a configuration",
                             ShownLocation(connect)));
    UseConfiguration(merged);
}

void UseDatabaseFile(const std::string& path)
{
    CIniFile merged = MergedConfiguration();
    if (!merged.SetString("Database", "DatabaseFile", path.c_str()))
        throw CToolError(TrF("the database file name '%s' cannot be put into a configuration", path));
    // A server the station configuration names would win over the file.
    while (merged.RemoveKey("Database", "Server")) {
    }
    // A file made by 'zendb init' has its station key beside it.
    CString configuredKey;
    std::error_code keyError;
    if ((!merged.Lookup("Security", "KeyFile", configuredKey) || configuredKey.IsEmpty()) &&
        std::filesystem::is_regular_file(KeyFileBeside(path), keyError))
        merged.SetString("Security", "KeyFile", KeyFileBeside(path).c_str());
    UseConfiguration(merged);
}

std::string KeyFileBeside(const std::string& databaseFile)
{
    return databaseFile + ".key";
}

std::optional<std::string> ConfiguredGroup()
{
    CString group = GetStringFromConfigFile("Security", "Group", "");
    group.Trim();
    if (group.IsEmpty())
        return std::nullopt;
    return ToStd(group);
}

void WritePrivateFile(const std::string& path, const std::string& text)
{
    const mode_t mode = ConfiguredGroup() ? 0640 : 0600;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        throw CToolError(TrF("cannot create '%s': %s", path, std::strerror(errno)));
    const bool written = fchmod(fd, mode) == 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int savedErrno = errno;
    close(fd);
    if (!written) {
        std::remove(path.c_str());
        throw CToolError(TrF("cannot write '%s': %s", path, std::strerror(savedErrno)));
    }
}

namespace {
mode_t g_callerUmask = 022;
} // namespace

void ApplyFileCreationMask()
{
    g_callerUmask = umask(ConfiguredGroup() ? 027 : 077);
}

mode_t CallerUmask()
{
    return g_callerUmask;
}

void ApplyConfiguredGroup(const std::string& path)
{
    const std::optional<std::string> group = ConfiguredGroup();
    if (!group)
        return;
    const struct group* entry = getgrnam(group->c_str());
    if (entry == nullptr) {
        Warn(TrF("the configured group '%s' does not exist; '%s' keeps its group", *group, path));
        return;
    }
    if (chown(path.c_str(), static_cast<uid_t>(-1), entry->gr_gid) != 0)
        Warn(TrF("'%1$s' cannot be given the group '%2$s': %3$s", path, *group, std::strerror(errno)));
}

void ShowLoginWait(const CString& userName, int failures, int seconds)
{
    std::fprintf(stderr, "%s\n",
                 Visible(TrF("zendb: %1$s failed logins of '%2$s': waiting %3$s s before this try", failures,
                             ToStd(userName), seconds))
                     .c_str());
    std::fflush(stderr);
}

std::string ResolveDatabaseLocation()
{
    namespace fs = std::filesystem;
    std::string path;
    std::string origin;
    if (IsServerLocation(Options().database))
        return Options().database;
    if (!Options().database.empty()) {
        std::error_code ec;
        path = fs::absolute(Options().database, ec).lexically_normal().string();
        if (ec)
            path = Options().database;
    } else {
        path = ToStd(GetStringFromConfigFile("Database", "DatabaseFile", CZENDatabase::GetDefaultDatabasePath()));
        CString configError = GetConfigFileError();
        CString server;
        if (configError.IsEmpty()) {
            server = GetStringFromConfigFile("Database", "Server", "");
            configError = GetConfigFileError();
            server.Trim();
        }
        if (!configError.IsEmpty())
            throw CToolError(ToStd(configError) + Tr(" Mend it, or name the database with --db FILE."));
        // A server named there wins over the file, as at the station.
        if (!server.IsEmpty())
            return ToStd(server);
        origin = "configuration";
    }
    std::error_code ec;
    if (!fs::exists(path, ec))
        throw CToolError(origin.empty()
                             ? TrF("no database file '%s'; create one with 'zendb init FILE'", path)
                             : TrF("no database file '%s' (the station configuration's database; choose another "
                                   "with --db FILE); create one with 'zendb init FILE'",
                                   path));
    if (fs::is_directory(path, ec))
        throw CToolError(TrF("'%s' is a folder, not a database file", path));
    return path;
}

// ---------------------------------------------------------------------------
// Passwords

std::optional<std::string> PromptHidden(const std::string& prompt)
{
    if (isatty(STDIN_FILENO) != 1)
        return std::nullopt;
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool restore = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (restore)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

void Warn(const std::string& text)
{
    std::fprintf(stderr, "zendb: %s\n", TrF("warning: %s", text).c_str());
}

void WarnPasswordOnCommandLine(const std::string& option)
{
    Warn(TrF("%s puts the password on the command line, where every local user can read it (ps); "
             "use --password-file FILE, $ZEN_PASSWORD or the prompt instead",
             option));
}

std::string ReadPasswordFile(const std::string& path)
{
    // Opened first and then examined through the descriptor: the checks
    // concern the file that is read, not whatever the name points to later.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw CToolError(TrF("cannot read the password file '%s': %s", path, std::strerror(errno)));
    struct CFd {
        int fd;
        ~CFd() { close(fd); }
    } owner{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0)
        throw CToolError(TrF("cannot read the password file '%s': %s", path, std::strerror(errno)));
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        throw CToolError(TrF("the password file '%s' is neither a regular file nor a pipe", path));
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IROTH) != 0)
        throw CToolError(TrF("the password file '%1$s' can be read by every local user (mode %2$s); make it "
                             "private first: chmod 600 '%1$s'",
                             path, mode));
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IRGRP) != 0)
        Warn(TrF("the password file '%s' can be read by its group (mode %s); chmod 600 it", path, mode));

    // Only the first line is read, byte by byte up to its end, so that a
    // pipe is not drained further and a file without line ends (a device)
    // cannot make this read without limit.
    constexpr size_t kMaxLine = 4096;
    std::string line;
    for (;;) {
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw CToolError(TrF("cannot read the password file '%s': %s", path, std::strerror(errno)));
        if (got == 0)
            break;
        if (c == '\n')
            break;
        if (line.size() == kMaxLine)
            throw CToolError(
                TrF("the first line of the password file '%s' is longer than %s bytes", path, kMaxLine));
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw CToolError(TrF("the password file '%s' holds no password (its first line is empty)", path));
    return line;
}

std::optional<std::string> ObtainPasswordWithoutPrompt()
{
    // Read once: a pipe gives its line only once, and init asks twice.
    static std::optional<std::string> fromFile;
    if (!Options().passwordFile.empty()) {
        if (Options().password)
            throw CUsageError(Tr("give the password either with --password or with --password-file, not both"));
        if (!fromFile)
            fromFile = ReadPasswordFile(Options().passwordFile);
        return fromFile;
    }
    if (Options().password)
        return Options().password;
    if (const char* env = std::getenv("ZEN_PASSWORD"); env != nullptr)
        return std::string(env);
    return std::nullopt;
}


// ---------------------------------------------------------------------------
// Session

CSession::CSession(EAccess access, ELogin login)
{
    const std::string location = ResolveDatabaseLocation();
    m_server = IsServerLocation(location);
    // Texts name a server by its connection string without the password.
    const std::string path = ShownLocation(location);
    if (!Options().database.empty()) {
        if (m_server)
            UseDatabaseServer(location);
        else
            UseDatabaseFile(location);
    }
    m_path = path;

    const std::string user = Options().user;
    if (login == ELogin::Required && user.empty())
        throw CUsageError(Tr("this command needs a login: give --user NAME"));
    // Without a given password the library tries the name with an empty one
    // and then shows its login dialog: on a terminal the terminal host asks
    // for the password there, elsewhere the dialog is cancelled.
    std::string password;
    bool passwordGiven = false;
    if (!user.empty()) {
        const std::optional<std::string> given = ObtainPasswordWithoutPrompt();
        passwordGiven = given.has_value();
        password = given.value_or(std::string());
    }

    CToolUIHost& host = CToolUIHost::Instance();
    host.TakeMessages();
    const int dialogsBefore = host.DialogCount();
    CString error;
    int opened = 0;
    try {
        // Neither upgraded nor refused for being read-only by the library:
        // the access of the command decides below, with messages of ours.
        opened = m_db.OpenDatabaseWithOptions(ZENOPEN_AllowReadOnly | ZENOPEN_KeepVersion, user.empty() ? 0 : 1,
                                              CString(user), CString(password), error);
    } catch (const CException& e) {
        if (m_db.IsOpen())
            m_db.CloseDatabase();
        throw CToolError(TrF("cannot open database '%s': %s", path, Flatten(ToStd(e.GetMessageText()))));
    }
    std::vector<std::string> messages = host.TakeMessages();
    if (!opened) {
        if (m_db.IsOpen())
            m_db.CloseDatabase();
        const CString loginFailed = LoadResString(13025);
        const bool loginFailure =
            !user.empty() &&
            (host.DialogCount() != dialogsBefore ||
             std::find(messages.begin(), messages.end(), Flatten(ToStd(loginFailed))) != messages.end());
        // Without a password and without a terminal to ask on, the library's
        // try with the empty password failed and its dialog was cancelled:
        // nobody typed anything wrong.
        if (loginFailure && !passwordGiven && !AtTerminal())
            throw CToolError(TrF("no password was given for user '%s': give --password-file FILE or set "
                                 "ZEN_PASSWORD (on a terminal zendb asks)",
                                 user));
        if (loginFailure)
            throw CToolError(TrF("login failed for user '%s' (wrong name or password)", user));
        std::string reason = JoinMessages(messages);
        if (reason.empty())
            reason = Flatten(ToStd(error));
        if (reason.empty() && !user.empty())
            throw CToolError(TrF("login as '%s' failed or was cancelled", user));
        if (reason.empty())
            reason = Tr("not a station database of a version this tool can open");
        throw CToolError(TrF("cannot open database '%s': %s", path, reason));
    }
    // Notes of the library are shown when the command ends.
    for (const std::string& message : messages)
        host.MessageBox(CString(message), MB_OK);
    const std::string resolved = ToStd(m_db.GetDatabaseName());
    if (!resolved.empty())
        m_path = resolved;
    m_user = user.empty() ? std::string() : ToStd(m_db.GetUserNameA());
    m_db.SetAuditReason(CString(Options().reason));
    m_canWrite = m_db.CanUpdate() != FALSE;
    if (!m_db.GetVersion(m_major, m_minor))
        throw CToolError(TrF("cannot read the schema version of '%s'", m_path));

    if (!m_canWrite) {
        const std::string reason = Flatten(ToStd(m_db.GetReadOnlyReason()));
        if (access != EAccess::Read)
            throw CToolError(TrF("this command changes the database, which cannot be written: %s", reason));
        host.MessageBox(CString(TrF("opened '%s' read-only: %s", m_path, reason)), MB_OK);
    }
    if (!IsCurrentSchema()) {
        const std::string current = std::to_string(ZEN_SCHEMA_MAJOR) + "." + std::to_string(ZEN_SCHEMA_MINOR);
        if (access == EAccess::Write)
            throw CToolError(TrF("'%1$s' has schema version %2$s; this command needs %3$s: 'zendb upgrade' would "
                                 "bring it to %3$s (stations of an older version cannot open it after that)",
                                 m_path, SchemaText(), current));
        // A server database has no private copy to be upgraded in: the
        // columns of the current version are not there to be read.
        if (access == EAccess::Read && m_server)
            throw CToolError(TrF("the server database '%1$s' has schema version %2$s; zendb reads a server "
                                 "database only at %3$s: 'zendb upgrade' would bring it to %3$s (stations of an "
                                 "older version cannot open it after that)",
                                 m_path, SchemaText(), current));
        if (access == EAccess::Read) {
            ReadThroughUpgradedCopy();
            host.MessageBox(CString(TrF("'%1$s' has schema version %2$s; 'zendb upgrade' would bring it to %3$s",
                                        m_path, SchemaText(), current)),
                            MB_OK);
        }
    }
}

void CSession::ReadThroughUpgradedCopy()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zendb-read-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr)
        throw CToolError(TrF("cannot create a temporary folder to read '%s' (schema %s) through an upgraded "
                             "copy: %s",
                             m_path, SchemaText(), std::strerror(errno)));
    m_copyFolder.path = name.data();
    const std::string copy = m_copyFolder.path + "/copy.db";
    try {
        m_db.Backup(copy.c_str());
    } catch (const CDBException& e) {
        throw CToolError(TrF("cannot copy '%s' (schema %s) to read it as 1.9: %s", m_path, SchemaText(),
                             Flatten(ToStd(e.m_strError))));
    }
    // The copy is opened as the station opens a file, so it is upgraded;
    // the same login gives the same role. Messages of this opening (the
    // upgrade's own) are not the user's concern and are dropped.
    CToolUIHost& host = CToolUIHost::Instance();
    const std::vector<std::string> pending = host.TakeMessages();
    // The configuration names the copy only for its opening: afterwards the
    // process's database is the file again (a later look-up, such as a
    // second session, must not find the copy).
    const char* configBefore = std::getenv("ZEN_CONFIG");
    const std::optional<std::string> savedConfig =
        configBefore != nullptr ? std::optional<std::string>(configBefore) : std::nullopt;
    UseDatabaseFile(copy);
    auto reader = std::make_unique<CZENDatabase>();
    CString error;
    int opened = 0;
    try {
        opened = reader->OpenDatabase(m_user.empty() ? 0 : 1, m_db.GetUserNameA(), m_db.GetUserPassword(), error);
    } catch (const CException& e) {
        error = e.GetMessageText();
    }
    if (!Options().database.empty())
        UseDatabaseFile(m_path);
    else if (savedConfig)
        setenv("ZEN_CONFIG", savedConfig->c_str(), 1);
    else
        unsetenv("ZEN_CONFIG");
    const std::string reason = JoinMessages(host.TakeMessages());
    for (const std::string& message : pending)
        host.MessageBox(CString(message), MB_OK);
    if (!opened)
        throw CToolError(TrF("cannot read '%s' (schema %s) through an upgraded copy: %s", m_path, SchemaText(),
                             reason.empty() ? Flatten(ToStd(error)) : reason));
    m_copy = std::move(reader);
    // The file itself is not needed any more; its connection would only
    // hold a reader's place beside the stations.
    m_db.CloseDatabase();
}

std::string CSession::SchemaText() const
{
    return std::to_string(m_major) + "." + std::to_string(m_minor);
}

CSession::~CSession()
{
    if (m_copy)
        m_copy->CloseDatabase();
    m_copy.reset();
    m_db.CloseDatabase();
}

CSession::CRemovedFolder::~CRemovedFolder()
{
    if (!path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
}

int CSession::Role() const
{
    CZENDatabase& db = m_copy ? *m_copy : const_cast<CZENDatabase&>(m_db);
    return static_cast<int>(db.GetUserType());
}

std::string CSession::ActingUser() const
{
    if (!m_user.empty())
        return m_user;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    if (const char* env = std::getenv("USER"); env != nullptr)
        return env;
    return std::string();
}

namespace {

// What each action is called in a refusal, in ZENAction's order.
const char* const kActionNames[ZENACT_Count] = {
    TrMark("registering or changing samples"),
    TrMark("importing runs"),
    TrMark("evaluating profiles"),
    TrMark("printing reports"),
    TrMark("signing samples"),
    TrMark("changing signed samples"),
    TrMark("deleting samples or runs"),
    TrMark("managing users"),
    TrMark("changing registration fields"),
    TrMark("changing patterns"),
    TrMark("changing routines"),
    TrMark("upgrading the database"),
    TrMark("copying the database"),
};

} // namespace

void CSession::Require(ZENAction action, const std::string& what)
{
    CZENDatabase& db = Db();
    if (db.IsActionAllowed(action))
        return;
    const int index = static_cast<int>(action);
    const std::string doing =
        !what.empty() ? what : (index >= 0 && index < ZENACT_Count ? Tr(kActionNames[index]) : std::string());
    const std::string needed = ToStd(ZenRoleName(ZenRoleNeeded(action)));
    if (m_user.empty())
        throw CToolError(TrF("%s needs the role %s; nobody is logged in: give --user NAME", doing, needed));
    throw CToolError(
        TrF("%s needs the role %s; user '%s' is %s", doing, needed, m_user, ToStd(ZenRoleName(db.GetUserType()))));
}

// ---------------------------------------------------------------------------
// Command groups and transactions

CLI::App* AddGroup(CLI::App& app, const char* name, const char* description)
{
    CLI::App* group = app.add_subcommand(name, description);
    group->require_subcommand(0, 1);
    group->callback([group] {
        if (group->get_subcommands().empty())
            throw CMissingSubcommand(FullUsage(*group));
    });
    return group;
}

std::string FullUsage(const CLI::App& command)
{
    // CLI11 names a subcommand's usage by its own name only; the parents'
    // names go in front so that the line can be typed as it stands.
    std::string parents;
    for (const CLI::App* parent = command.get_parent(); parent != nullptr; parent = parent->get_parent())
        parents = parent->get_name() + (parents.empty() ? "" : " ") + parents;
    return command.help(parents);
}

// ---------------------------------------------------------------------------
// Dates

CTime ParseDate(const std::string& input)
{
    const std::string text = Lower(input);
    if (text == "now")
        return CTime::GetCurrentTime();
    if (text == "today") {
        const CTime now = CTime::GetCurrentTime();
        return CTime(now.GetYear(), now.GetMonth(), now.GetDay(), 0, 0, 0);
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = ' ';
    int consumed = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d:%2d", &year, &month, &day, &consumed,
                                   &separator, &hour, &minute, &second);
    bool valid = fields >= 3 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 1970 &&
                 year <= 3000;
    if (valid && fields == 3)
        valid = static_cast<size_t>(consumed) == text.size();
    else if (valid)
        valid = (separator == ' ' || separator == 't') && fields >= 6 && hour >= 0 && hour < 24 &&
                minute >= 0 && minute < 60 && second >= 0 && second < 60;
    if (!valid)
        throw CUsageError(TrF("'%s' is not a date (YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], today or now)", input));
    const CTime time(year, month, day, hour, minute, second);
    if (time.GetDay() != day)
        throw CUsageError(TrF("'%s' is not a date of the calendar", input));
    return time;
}

std::string FormatDateTime(const CTime& time)
{
    if (time.GetTime() == 0)
        return std::string();
    return ToStd(time.Format("%Y-%m-%d %H:%M:%S"));
}

std::string FormatDate(const CTime& time)
{
    if (time.GetTime() == 0)
        return std::string();
    return ToStd(time.Format("%Y-%m-%d"));
}

CCell DateCell(const CTime& time)
{
    if (time.GetTime() == 0)
        return CCell();
    return CCell(FormatDateTime(time));
}

// ---------------------------------------------------------------------------
// Lookups

void RequireLeaveForSignedSample(CZENDatabase& db, const CZENDB_Sample& sample, bool deletion)
{
    if (!sample.Signed)
        return;
    CString refusal;
    if (!db.MayChangeSignedSample(sample.UserSampleID, deletion, refusal))
        throw CToolError(Flatten(ToStd(refusal)));
}

std::unique_ptr<CZENDB_Sample> LoadSample(CZENDatabase& db, const std::string& typed)
{
    const std::string id = CleanName(typed, Tr("sample identifier"), kSampleIdMaxChars);
    auto sample = std::make_unique<CZENDB_Sample>(&db);
    if (!sample->Load(CString(id))) {
        std::string reason = JoinMessages(CToolUIHost::Instance().TakeMessages());
        throw CToolError(reason.empty() ? TrF("no sample '%s'", id) : TrF("no sample '%s': %s", id, reason));
    }
    return sample;
}

std::unique_ptr<CZENDB_Sample> LoadSample(CZENDatabase& db, const CSampleRef& ref)
{
    ref.Validate();
    if (ref.id)
        return LoadSample(db, *ref.id);
    const int32_t key = ref.KeyValue();
    auto sample = std::make_unique<CZENDB_Sample>(&db);
    if (!sample->Load(key)) {
        std::string reason = JoinMessages(CToolUIHost::Instance().TakeMessages());
        throw CToolError(reason.empty() ? TrF("no sample with key %s", key)
                                        : TrF("no sample with key %s: %s", key, reason));
    }
    return sample;
}

void CSampleRef::Validate() const
{
    if (id && key)
        throw CUsageError(Tr("give either the sample identifier or --key, not both"));
    if (!id && !key)
        throw CUsageError(Tr("give the sample identifier (or its database key with --key N)"));
    if (key)
        KeyValue();
}

int32_t CSampleRef::KeyValue() const
{
    const std::string& text = key.value_or(std::string());
    // Decimal only: "010" is ten and "0x10" no key, unlike a C conversion.
    int64_t value = 0;
    bool valid = !text.empty() && text.size() <= 10;
    for (char c : text) {
        if (c < '0' || c > '9') {
            valid = false;
            break;
        }
        value = value * 10 + (c - '0');
    }
    if (!valid || value < 1 || value > INT32_MAX)
        throw CUsageError(TrF("--key takes a database key, a whole number from 1 to 2147483647 ('%s' is none)", text));
    return static_cast<int32_t>(value);
}

std::string CSampleRef::Describe() const
{
    if (id)
        return *id;
    return TrF("key %s", key.value_or(std::string()));
}

void AddSampleRef(CLI::App* command, CSampleRef& ref, const std::string& name)
{
    command->add_option_function<std::string>(
        name, [&ref](const std::string& value) { ref.id = value; },
        Tr("Sample identifier, taken as typed (or name the sample by --key)"));
    command
        ->add_option_function<std::string>(
            "--key", [&ref](const std::string& value) { ref.key = value; },
            Tr("The sample's database key (the Key line of 'zendb samples show') instead of its identifier"))
        ->type_name("N");
}

std::string CleanName(const std::string& value, const std::string& role, size_t maxChars)
{
    const size_t first = value.find_first_not_of(' ');
    const std::string text =
        first == std::string::npos ? std::string() : value.substr(first, value.find_last_not_of(' ') - first + 1);
    if (text.empty())
        throw CUsageError(TrF("a %s cannot be empty", role));
    size_t chars = 0;
    for (size_t pos = 0; pos < text.size();) {
        uint32_t codePoint = 0;
        size_t length = 1;
        if (!DecodeUtf8(text, pos, codePoint, length))
            throw CUsageError(TrF("the %s '%s' is not valid UTF-8 (byte %s)", role, Visible(text), pos + 1));
        if (IsControl(codePoint))
            throw CUsageError(TrF("the %s '%s' holds a control character (%s); tabs, line breaks and escapes are "
                                  "refused",
                                  role, Visible(text), Visible(text.substr(pos, length))));
        pos += length;
        ++chars;
    }
    if (maxChars > 0 && chars > maxChars)
        throw CUsageError(
            TrF("a %s holds at most %s characters ('%s' has %s)", role, maxChars, text, chars));
    return text;
}

// ---------------------------------------------------------------------------
// Values as typed

namespace {

// U+E000, a private-use character: it marks an argument that CLI11 would read
// as a list. An argument that begins with the mark itself gets a second one,
// so that removing one mark always restores what was typed.
const std::string kVerbatimMark = "\xEE\x80\x80";

bool NeedsMark(const std::string& value)
{
    return value.empty() || value.front() == '[' || value.compare(0, kVerbatimMark.size(), kVerbatimMark) == 0;
}

} // namespace

std::vector<std::string> ProtectArguments(int argc, char** argv)
{
    std::vector<std::string> args;
    bool positionalOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (!positionalOnly && arg.size() > 2 && arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            if (NeedsMark(arg.substr(eq + 1)))
                arg.insert(eq + 1, kVerbatimMark);
        } else if (NeedsMark(arg)) {
            arg.insert(0, kVerbatimMark);
        }
        positionalOnly = positionalOnly || arg == "--";
        args.push_back(std::move(arg));
    }
    return args;
}

void KeepValuesVerbatim(CLI::App& app)
{
    for (CLI::Option* option : app.get_options({})) {
        if (option->get_items_expected_max() == 0)
            continue;
        option->transform(
            [](std::string value) {
                if (value.compare(0, kVerbatimMark.size(), kVerbatimMark) == 0)
                    value.erase(0, kVerbatimMark.size());
                return value;
            },
            std::string(), "verbatim");
    }
    for (CLI::App* command : app.get_subcommands({}))
        KeepValuesVerbatim(*command);
}

namespace {

std::string Trimmed(const CString& text)
{
    CString copy = text;
    copy.Trim();
    return ToStd(copy);
}

} // namespace

std::unique_ptr<CZENDB_Pattern> FindPattern(CZENDatabase& db, const std::string& name)
{
    COwnedList<CZENDB_Pattern> patterns;
    db.GetAllPatterns(patterns.List());
    CZENDB_Pattern* match = nullptr;
    for (CZENDB_Pattern* pattern : patterns.Items())
        if (Trimmed(pattern->Name) == name)
            match = match ? match : pattern;
    if (match == nullptr)
        for (CZENDB_Pattern* pattern : patterns.Items())
            if (Lower(Trimmed(pattern->Name)) == Lower(name))
                match = match ? match : pattern;
    if (match == nullptr)
        return nullptr;
    auto result = std::make_unique<CZENDB_Pattern>(&db);
    result->KeepConnection = true;
    *result = *match;
    return result;
}

std::unique_ptr<CZENDB_Routine> FindRoutine(CZENDatabase& db, const std::string& name)
{
    COwnedList<CZENDB_Routine> routines;
    db.GetAllRoutines(routines.List());
    CZENDB_Routine* match = nullptr;
    for (CZENDB_Routine* routine : routines.Items())
        if (Trimmed(routine->Name) == name)
            match = match ? match : routine;
    if (match == nullptr)
        for (CZENDB_Routine* routine : routines.Items())
            if (Lower(Trimmed(routine->Name)) == Lower(name))
                match = match ? match : routine;
    if (match == nullptr)
        return nullptr;
    auto result = std::make_unique<CZENDB_Routine>(&db);
    result->KeepConnection = true;
    *result = *match;
    return result;
}

std::unique_ptr<CZENDB_Pattern> RequirePattern(CZENDatabase& db, const std::string& name)
{
    auto pattern = FindPattern(db, name);
    if (!pattern)
        throw CToolError(TrF("no pattern '%s' (see 'zendb patterns list')", name));
    return pattern;
}

std::unique_ptr<CZENDB_Routine> RequireRoutine(CZENDatabase& db, const std::string& name)
{
    auto routine = FindRoutine(db, name);
    if (!routine)
        throw CToolError(TrF("no routine '%s' (see 'zendb routines list')", name));
    return routine;
}

std::vector<std::unique_ptr<CZENDB_SampleProfileRun>> LoadRuns(CZENDatabase& db, const CZENDB_Sample& sample)
{
    CZENDB_Sample query(&db);
    COwnedList<CZENDB_SampleProfileRun> runs;
    if (!query.GetProfiles(sample.SampleID, runs.List()))
        throw CToolError(TrF("cannot list the profile runs of sample '%s': %s", sample.UserSampleID,
                             JoinMessages(CToolUIHost::Instance().TakeMessages())));
    std::vector<std::unique_ptr<CZENDB_SampleProfileRun>> result;
    for (CZENDB_SampleProfileRun* run : runs.Items()) {
        auto copy = std::make_unique<CZENDB_SampleProfileRun>(&db);
        copy->KeepConnection = true;
        *copy = *run;
        result.push_back(std::move(copy));
    }
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        return a->ProfileNr != b->ProfileNr ? a->ProfileNr < b->ProfileNr : a->ProfileID < b->ProfileID;
    });
    return result;
}

} // namespace zendb
