// Shared machinery of the zendb commands: global options, the two kinds of
// failure (exit 1 and exit 2), the message host that keeps the library's
// message boxes off stdout, the database session (file, login) and small
// helpers for dates, names and owned object lists.
#pragma once

#include "Output.h"

#include "ZENDatabase.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <sys/types.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zendb {

// A failed operation: exit status 1, the text on stderr as one line.
class CToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line that cannot be carried out as written: exit status 2.
class CUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options that every command understands.
struct CGlobalOptions {
    std::string database;                   // --db FILE or connection string; empty: the configured one
    std::string user;                       // --user (or ZEN_USER); empty: no login
    std::optional<std::string> password;    // --password (seen by every local user: warned about)
    std::string passwordFile;               // --password-file FILE; empty: none
    std::string format = "table";           // --format table|json|csv
    bool quiet = false;                     // --quiet: no notes, no progress
    std::string reason;                     // --reason: recorded with every change in the audit trail
};

CGlobalOptions& Options();
EOutputFormat OutputFormat();
// Registers --db, --user, --password, --password-file, --format, --quiet and --reason on the app.
void AddGlobalOptions(CLI::App& app);

// Roles of users as typed and as written for programs (never translated):
// "operator", "supervisor", "administrator" (UserRoleType), or the number as
// text. What a role may do is the library's (CZENDatabase::IsActionAllowed).
std::string RoleName(int role);
// A role from its name (any letter case) or its number 0, 1 or 2; CUsageError otherwise.
int ParseRole(const std::string& text);

// The host through which the library shows its message boxes while zendb
// runs. Messages are collected, never written to stdout: a failure reports
// them in its one error line, anything left over is written to stderr as a
// note when the command ends. Questions get the answer of the built-in
// non-interactive host (No); modal dialogs go to the terminal host when one
// is available, otherwise they are cancelled.
class CToolUIHost : public CUIHost {
public:
    int MessageBox(const CString& text, UINT style) override;
    INT_PTR RunModal(CDialog& dlg) override;

    // The messages collected since the last call, each flattened to one line.
    std::vector<std::string> TakeMessages();
    // Number of messages collected and not yet taken.
    size_t MessageCount() const { return m_messages.size(); }
    // Number of dialogs the library asked for so far.
    int DialogCount() const { return m_dialogs; }

    static CToolUIHost& Instance();

private:
    std::vector<std::string> m_messages;
    int m_dialogs = 0;
};

// Writes the collected library messages to stderr as notes (unless --quiet).
void FlushNotes();
// Text flattened to one line (line breaks become blanks, blanks collapsed).
std::string Flatten(const std::string& text);

// An open database for one command: resolves the file or server (--db or the
// station configuration) and logs in when --user is given. The file is never
// upgraded here (only 'zendb upgrade' does that) and a file that cannot be
// written is not refused by the library; what the command may do with
// either is decided by its access:
//  - Read: works on a file that cannot be written (a note on stderr says it
//    was opened read-only, with the reason) and on schema 1.6 .. 1.8 (a note
//    names the version and 'zendb upgrade'): the library reads the columns
//    of 1.9, so an older file is read through a copy taken with the online
//    backup into a private temporary folder and upgraded there; the file
//    itself is not changed, and the copy is removed with the session;
//  - Write (the default, so that a command that forgets to declare itself
//    stays on the safe side): refused with CToolError, naming the file and
//    the reason, when the file cannot be written or is older than 1.9;
//  - Upgrade: needs a file that can be written, accepts 1.6 .. 1.9.
// A server database is opened the same way, except that an older schema is
// refused also for Read: it cannot be copied into a private file to be
// upgraded there (the text points to 'zendb upgrade').
// Throws CToolError when the file cannot be opened or the login fails,
// CUsageError for a login that the command needs but was not given. Closes
// the database when destroyed.
class CSession {
public:
    enum class EAccess { Read, Write, Upgrade };
    enum class ELogin { IfUserGiven, Required };
    explicit CSession(EAccess access = EAccess::Write, ELogin login = ELogin::IfUserGiven);
    ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // The database to work on: the opened file, or for a Read session on an
    // older schema the upgraded copy of it.
    CZENDatabase& Db() { return m_copy ? *m_copy : m_db; }
    // The database that was opened: the file, or the server's connection
    // string with its password masked (for texts).
    std::string Path() const { return m_path; }
    // True when the database is a server's, not a file.
    bool IsServer() const { return m_server; }
    // The schema version the file has (1.6 .. 1.9; below 1.9 only for Read
    // and Upgrade sessions).
    int SchemaMajor() const { return m_major; }
    int SchemaMinor() const { return m_minor; }
    // True when the file is at the version this tool writes (1.9).
    bool IsCurrentSchema() const { return m_major == ZEN_SCHEMA_MAJOR && m_minor == ZEN_SCHEMA_MINOR; }
    // "1.7"
    std::string SchemaText() const;
    // True when the file can be written (false only in Read sessions).
    bool CanWrite() const { return m_canWrite; }
    // The logged-in user's name (empty without login) and role (-1 without).
    std::string UserName() const { return m_user; }
    int Role() const;
    // The name to record as the one who did something: the logged-in user,
    // else the operating-system account.
    std::string ActingUser() const;
    // Refuses (CToolError) unless the library lets this session do the
    // action (CZENDatabase::IsActionAllowed: a database without any user
    // allows everything). The text names what was refused (`what`, or the
    // action's own name when empty), the role needed and the user with the
    // user's role, or says that nobody is logged in and points to --user.
    // Call it before the command changes anything.
    void Require(ZENAction action, const std::string& what = std::string());

private:
    // Reads an older file through an upgraded copy (see EAccess::Read).
    void ReadThroughUpgradedCopy();

    // A folder removed with its contents when the session ends, also when
    // its constructor fails; declared first, so removed after the
    // connections below are closed.
    struct CRemovedFolder {
        std::string path;
        CRemovedFolder() = default;
        CRemovedFolder(const CRemovedFolder&) = delete;
        CRemovedFolder& operator=(const CRemovedFolder&) = delete;
        ~CRemovedFolder();
    };

    CRemovedFolder m_copyFolder;
    CZENDatabase m_db;
    std::unique_ptr<CZENDatabase> m_copy;
    std::string m_path;
    std::string m_user;
    int m_major = 0;
    int m_minor = 0;
    bool m_canWrite = false;
    bool m_server = false;
};

// True when a location as --db and copy take it is the connection string of
// a server database ("postgresql://...", "host=... dbname=...") rather than a
// file path (ZenLocationIsFilePath: an existing file of that name is a file).
bool IsServerLocation(const std::string& location);
// The location as texts show it: a connection string with its password
// replaced by "***"; a file path unchanged.
std::string ShownLocation(const std::string& location);

// Points the library's station configuration at the server database that
// connect names ([Database] Server= in a private copy of the configuration,
// as UseDatabaseFile does for a file). The station key stays the configured
// one ([Security] KeyFile, else none): a server has no file to keep a key
// beside. The copy (it holds the connection string, password and all) is
// private to the user and removed when the process ends.
void UseDatabaseServer(const std::string& connect);

// Points the library's station configuration at the given database file for
// the rest of the process (a private copy of the configuration with
// "Database"/"DatabaseFile" replaced; the other settings stay in force).
// The copy is removed when the process ends.
void UseDatabaseFile(const std::string& path);

// The station key beside a database file: FILE.key. UseDatabaseFile names it
// as [Security] KeyFile when the configuration names no key file and it exists.
std::string KeyFileBeside(const std::string& databaseFile);

// The group named by [Security] Group of the configuration; nullopt when none.
std::optional<std::string> ConfiguredGroup();
// Writes a new file (never replacing one) with mode 0600, or 0640 when a
// group is configured. CToolError when it cannot be created or written (a
// half-written file is removed).
void WritePrivateFile(const std::string& path, const std::string& text);

// Files and folders the tool creates are for their owner only (umask 077),
// or also readable by the group when the configuration names one ([Security]
// Group): umask 027. Called once when zendb starts.
// Reports and other files meant for people outside the station keep the
// caller's umask: CallerUmask is the one zendb was started with.
void ApplyFileCreationMask();
mode_t CallerUmask();
// Gives the file or folder the configured group ([Security] Group) when there
// is one and the user may (a member of it, or root); a warning otherwise.
void ApplyConfiguredGroup(const std::string& path);

// Prints the wait of a throttled login on stderr (registered when zendb starts).
void ShowLoginWait(const CString& userName, int failures, int seconds);
// The database of the command: what --db names (a file path, made absolute,
// or a server's connection string as given), else the configured server
// ([Database] Server) or file ([Database] DatabaseFile). CToolError when a
// file does not exist or is a folder, or the configuration cannot be read.
std::string ResolveDatabaseLocation();

// The password given without a prompt: --password-file (see
// ReadPasswordFile), else --password, else $ZEN_PASSWORD; nullopt when none
// is given. CUsageError when
// both --password and --password-file are given; CToolError when the file
// cannot be used.
std::optional<std::string> ObtainPasswordWithoutPrompt();
// The password in the first line of a file (its line end, "\n" or "\r\n",
// removed; what follows the first line is ignored). The file may be a
// regular file or a pipe ("--password-file <(command)", "/dev/stdin").
// CToolError when it cannot be read, is not a regular file or pipe, holds no
// password (empty first line), has a first line longer than 4096 bytes, or
// is a regular file that every local user may read (mode o+r): such a
// password is no secret. A file that the group may read gets a warning on
// stderr.
std::string ReadPasswordFile(const std::string& path);
// Writes "zendb: warning: <text>" to stderr (warnings are not notes:
// --quiet does not silence them).
void Warn(const std::string& text);
// The warning that a password option of the command line (option names it)
// is visible to every local user; written when the option is parsed.
void WarnPasswordOnCommandLine(const std::string& option);
// Prompts on the terminal without echo; nullopt when stdin is no terminal.
std::optional<std::string> PromptHidden(const std::string& prompt);

// Dates on the command line: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (or with
// 'T'), "today", "now"; local time. CUsageError otherwise.
CTime ParseDate(const std::string& text);
// "YYYY-MM-DD HH:MM:SS" in local time; empty for the "no date" value 0.
std::string FormatDateTime(const CTime& time);
// "YYYY-MM-DD"; empty for 0.
std::string FormatDate(const CTime& time);
// A cell holding the date text, or Null for 0.
CCell DateCell(const CTime& time);

inline std::string ToStd(const CString& text) { return text.Str(); }
std::string Lower(std::string text);

// Owner of the objects a library query appends to a CObList: deletes them
// (as T) when it goes out of scope.
template <class T>
class COwnedList {
public:
    COwnedList() = default;
    ~COwnedList() { Clear(); }
    COwnedList(const COwnedList&) = delete;
    COwnedList& operator=(const COwnedList&) = delete;

    CObList& List() { return m_list; }
    std::vector<T*> Items() const
    {
        std::vector<T*> items;
        for (POSITION pos = m_list.GetHeadPosition(); pos != nullptr;)
            items.push_back(static_cast<T*>(m_list.GetNext(pos)));
        return items;
    }
    int Count() const { return m_list.GetCount(); }
    void Clear()
    {
        while (!m_list.IsEmpty())
            delete static_cast<T*>(m_list.RemoveHead());
    }

private:
    CObList m_list;
};

// Values as typed. CLI11 reads an argument written in brackets ("[a,b]") as a
// list of values and an empty one as no value; zendb hands every value to its
// commands unchanged. ProtectArguments returns argv[1..] with such arguments
// (whole, or after "--name=") marked; KeepValuesVerbatim, called once the
// options of every command are declared, makes each option that takes values
// remove the mark again before any check or conversion sees the value.
std::vector<std::string> ProtectArguments(int argc, char** argv);
void KeepValuesVerbatim(CLI::App& app);

// Longest sample identifier, in characters: the column is VARCHAR(50).
constexpr size_t kSampleIdMaxChars = 50;
// Longest name of a person in a sample (RegisteredBy, MeasuredBy, Signature).
constexpr size_t kPersonNameMaxChars = 50;
// Longest pattern or routine name, in characters (VARCHAR(100)).
constexpr size_t kCatalogueNameMaxChars = 100;

// A name or identifier a person typed, ready to store or to look up: blanks
// (spaces) at both ends removed. CUsageError naming the role ("sample
// identifier", "user name", ...) when it is then empty, holds a control
// character (tab, line break, escape, any C0, DEL or C1) or bytes that are not
// UTF-8, or has more than maxChars characters (0: no limit).
std::string CleanName(const std::string& value, const std::string& role, size_t maxChars = 0);

// How a command names its sample: by the identifier people see (a positional
// argument, always an identifier, whatever characters it holds) or by the
// database key (--key N). Exactly one of the two.
struct CSampleRef {
    std::optional<std::string> id;
    std::optional<std::string> key;     // as typed; read by KeyValue()
    // CUsageError unless exactly one of id and key is given.
    void Validate() const;
    // The key: decimal digits, 1 .. 2147483647; CUsageError otherwise.
    int32_t KeyValue() const;
    // The identifier, or "key N" for messages.
    std::string Describe() const;
};
// Declares the positional identifier (name, e.g. "ID" or "SAMPLE") and --key
// on a command; ref must outlive the parse.
void AddSampleRef(CLI::App* command, CSampleRef& ref, const std::string& name = "ID");

// The sample with the operator's identifier (compared as stored, after the
// blanks at its ends are removed); CToolError when there is none, CUsageError
// for an identifier that CleanName refuses.
std::unique_ptr<CZENDB_Sample> LoadSample(CZENDatabase& db, const std::string& id);
// The sample named by identifier or key (see CSampleRef).
std::unique_ptr<CZENDB_Sample> LoadSample(CZENDatabase& db, const CSampleRef& ref);
// Refuses (CToolError with the library's text) a change (deletion false) or
// deletion of a signed sample that the session may not make: it needs the
// role and --reason. Does nothing for an unsigned sample.
void RequireLeaveForSignedSample(CZENDatabase& db, const CZENDB_Sample& sample, bool deletion);
// Patterns and routines by name (exact, then ignoring letter case), among
// those not deleted; nullptr when none has the name.
std::unique_ptr<CZENDB_Pattern> FindPattern(CZENDatabase& db, const std::string& name);
std::unique_ptr<CZENDB_Routine> FindRoutine(CZENDatabase& db, const std::string& name);
// The same, but CToolError when there is none.
std::unique_ptr<CZENDB_Pattern> RequirePattern(CZENDatabase& db, const std::string& name);
std::unique_ptr<CZENDB_Routine> RequireRoutine(CZENDatabase& db, const std::string& name);

// The profile runs of a sample, ordered by profile number.
std::vector<std::unique_ptr<CZENDB_SampleProfileRun>> LoadRuns(CZENDatabase& db,
                                                               const CZENDB_Sample& sample);

// A group of subcommands ("zendb samples ..."). Without a subcommand it is a
// usage error: its usage goes to stderr and zendb exits with status 2.
CLI::App* AddGroup(CLI::App& app, const char* name, const char* description);

// The usage of a command with its whole name ("zendb users ..."), for stderr.
std::string FullUsage(const CLI::App& command);

// Thrown when a command is called without the subcommand it needs; main
// prints the usage it carries and exits with status 2.
class CMissingSubcommand : public std::runtime_error {
public:
    explicit CMissingSubcommand(const std::string& usage)
        : std::runtime_error(usage)
    {
    }
};


// The per-command setup: every command registers its subcommands on the
// main app through one of these.
void RegisterDatabaseCommands(CLI::App& app);
void RegisterAdminCommands(CLI::App& app);
void RegisterSampleCommands(CLI::App& app);
void RegisterCatalogueCommands(CLI::App& app);
void RegisterRunCommands(CLI::App& app);
void RegisterReportCommands(CLI::App& app);
void RegisterAuditCommands(CLI::App& app);
void RegisterDemoCommand(CLI::App& app);
void RegisterGuiCommand(CLI::App& app);
void RegisterCopyCommand(CLI::App& app);
void RegisterLabelCommand(CLI::App& app);
void RegisterExportCommands(CLI::App& app);
void RegisterAccessCommands(CLI::App& app);

} // namespace zendb
