// The facade's session: construction and destruction, opening the database
// file (path, connection, login, write check, version ladder), closing, the
// session accessors, and the table configurations.

#include "database/ZENDatabase.h"

#include "companions/ConfigFile.h"
#include "companions/EventLog.h"
#include "companions/Obvra.h"
#include "companions/PasswordHash.h"
#include "framework/Exceptions.h"
#include "framework/Translation.h"
#include "framework/UIHost.h"
#include "framework/XdgPaths.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/Recordset.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <cstdlib>
#include <string>
#include <exception>
#include <memory>
#include <new>

IMPLEMENT_DYNAMIC(CZENDatabase, CDatabase)

namespace {

constexpr const char* kModule = "database";
constexpr const char* kOpenDatabase = "CZENDatabase::OpenDatabase";

// String-table ids of the session's messages.
constexpr UINT IDS_LOGIN_FAILED = 13025;
constexpr UINT IDS_VERSION_UNKNOWN = 13032;
constexpr UINT IDS_READ_ONLY = 13034;
constexpr UINT IDS_UPGRADE_FAILED = 13035;
constexpr UINT IDS_UPGRADE_DONE = 13036;
constexpr UINT IDS_OPEN_FAILED = 13037;

// Decodes a stored credential (trailing blanks removed first) and tells
// whether it is the plain text. A stored form that does not decode yields
// an empty text, so an empty plain text only matches the real encoding of
// the empty text: a damaged row never lets an empty name or password in.
bool StoredCredentialMatches(CString stored, const CString& plain)
{
    stored.TrimRight();
    const CString decoded = Obvra_decode(stored);
    if (decoded != plain)
        return false;
    return !decoded.IsEmpty() || stored == Obvra_encode(CString());
}

// Closes the facade's connection when an exception leaves the scope in which
// it was made; a normal return leaves the connection as the code left it.
class CCloseOnEscape {
public:
    explicit CCloseOnEscape(CZENDatabase& db) : m_db(db), m_nExceptions(std::uncaught_exceptions()) {}
    ~CCloseOnEscape()
    {
        if (std::uncaught_exceptions() > m_nExceptions)
            m_db.CloseDatabase();
    }
    CCloseOnEscape(const CCloseOnEscape&) = delete;
    CCloseOnEscape& operator=(const CCloseOnEscape&) = delete;

private:
    CZENDatabase& m_db;
    int m_nExceptions;
};

} // namespace

CZENDatabase::CZENDatabase()
    : m_eUserRole(UserRoleNobody),
      m_bWasClosed(FALSE),
      m_nRegistrationFieldCount(0),
      m_bRegistrationFieldCountKnown(false)
{
    // The station's [Station] Language decides the language of the messages
    // and dialogs this facade shows.
    ApplyConfiguredLanguage();
}

CZENDatabase::~CZENDatabase()
{
    FreeTableConfigurations();
}

void CZENDatabase::FreeTableConfigurations() noexcept
{
    for (CMapStringToPtr& map : m_TableConfigurations) {
        POSITION pos = map.GetStartPosition();
        while (pos != nullptr) {
            CString name;
            void* info = nullptr;
            map.GetNextAssoc(pos, name, info);
            delete static_cast<CODBCFieldInfo*>(info);
        }
        map.RemoveAll();
    }
}

void CZENDatabase::ForgetRegistrationFieldCount()
{
    m_nRegistrationFieldCount = 0;
    m_bRegistrationFieldCountKnown = false;
}

CString CZENDatabase::GetDefaultDatabasePath()
{
    const char* programData = std::getenv("ProgramData");
    const CString base = programData != nullptr && *programData != '\0' ? CString(programData)
                                                                        : GetXdgDataHome();
    return JoinPath(JoinPath(base, "Korvane"), "ZEN.mdb");
}

DWORD CZENDatabase::ReadBusyTimeoutSeconds()
{
    // Whole seconds in 1..3600; anything else counts as not given, as the
    // log's rotation settings do, so a typing error cannot make a station
    // wait forever or give up at once.
    CString text = GetStringFromConfigFile("Database", "BusyTimeout", "");
    const std::string value = text.Trim().Str();
    if (value.empty() || value.size() > 4 ||
        value.find_first_not_of("0123456789") != std::string::npos)
        return DefaultQueryTimeout;
    const int seconds = std::stoi(value);
    return seconds >= 1 && seconds <= 3600 ? static_cast<DWORD>(seconds) : DefaultQueryTimeout;
}

int CZENDatabase::OpenDatabase(int bLogin, CString strUserName, CString strPassword,
                               CString& strErrorMessage)
{
    return OpenDatabaseWithOptions(0, bLogin, strUserName, strPassword, strErrorMessage);
}

int CZENDatabase::OpenDatabaseWithOptions(DWORD options, int bLogin, CString strUserName, CString strPassword,
                                          CString& strErrorMessage)
{
    const bool allowReadOnly = (options & ZENOPEN_AllowReadOnly) != 0;
    const bool keepVersion = (options & ZENOPEN_KeepVersion) != 0;
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Opening Database...");
    const char* programData = std::getenv("ProgramData");
    const CString environment = programData != nullptr ? programData : "";
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Environment ProgramData is:%s", environment.GetString());
    const CString defaultPath = GetDefaultDatabasePath();
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Complete Database Path:%s", defaultPath.GetString());
    const CString path = GetStringFromConfigFile("Database", "DatabaseFile", defaultPath);
    // Taken at once: every log entry looks the configuration up again.
    CString configError = GetConfigFileError();
    // A station that shares a server names it instead of a file: a libpq
    // connection string (postgresql://... or its keyword form).
    CString server;
    if (configError.IsEmpty()) {
        server = GetStringFromConfigFile("Database", "Server", "");
        configError = GetConfigFileError();
        server.Trim();
    }
    if (!configError.IsEmpty()) {
        // The default stands in only for a configuration that is not there;
        // one that cannot be read may name another database.
        ZEN_LOG_EVENT(kModule, kOpenDatabase, "%s", configError.GetString());
        m_strDatabaseName.Empty();
        if (IsOpen())
            CloseDatabase();
        strErrorMessage = configError;
        AfxMessageBox(strErrorMessage, MB_OK | MB_ICONERROR);
        return 0;
    }
    CString connect;
    if (server.IsEmpty()) {
        ZEN_LOG_EVENT(kModule, kOpenDatabase, "Database to open:%s", path.GetString());
        m_strDatabaseName = path;
        connect.Format("Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;",
                       FormatConnectStringValue(path).GetString());
    } else {
        // The name shown and logged never carries the password.
        m_strDatabaseName = MaskConnectPassword(server);
        ZEN_LOG_EVENT(kModule, kOpenDatabase, "Database to open:%s", m_strDatabaseName.GetString());
        connect = server;
    }
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Connection string:%s", MaskConnectPassword(connect).GetString());

    m_strUserName = strUserName;
    m_strPassword = strPassword;
    // A first try with an empty password may fail quietly once: the user then
    // simply gets the dialog. After a close every failure is asked about.
    bool quietRetry = m_strPassword.IsEmpty() && !m_bWasClosed;
    ForgetRegistrationFieldCount();

    // A facade left open (a refused old version) is opened afresh.
    if (IsOpen())
        Close();
    SetQueryTimeout(ReadBusyTimeoutSeconds());

    // Step 7: connect.
    try {
        if (!OpenEx(connect, CDatabase::noOdbcDialog)) {
            ZEN_LOG_EVENT(kModule, kOpenDatabase, "Failed to open database with connection string '%s'",
                          MaskConnectPassword(connect).GetString());
            strErrorMessage.Format(ZenTranslate(kZenTextDomain, "message",
                                                "Failed to open Access Database using connection string '%s'"),
                                   MaskConnectPassword(connect).GetString());
            AfxMessageBox(strErrorMessage, MB_OK);
            return 0;
        }
    } catch (CDBException& e) {
        ZEN_LOG_EVENT(kModule, kOpenDatabase, "Failed to open database '%s': %s", m_strDatabaseName.GetString(),
                      e.m_strError.GetString());
        CString format;
        format.LoadString(IDS_OPEN_FAILED);
        strErrorMessage.Format(format, m_strDatabaseName.GetString());
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        Close();
        return 0;
    } catch (CMemoryException& e) {
        strErrorMessage = ZenTranslate(kZenTextDomain, "message", "Memory exception opening database!");
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        Close();
        return 0;
    } catch (std::bad_alloc&) {
        strErrorMessage = ZenTranslate(kZenTextDomain, "message", "Memory exception opening database!");
        AfxMessageBox(strErrorMessage, MB_OK);
        Close();
        return 0;
    } catch (CException& e) {
        strErrorMessage = ZenTranslate(kZenTextDomain, "message", "Other exception opening database!");
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        Close();
        return 0;
    }

    m_nAuditTrailPresent = -1;
    m_pAuditSealer.reset();

    // From here on the connection is open: whatever escapes this function
    // (an error reading the user table, a UI host that throws) closes it.
    CCloseOnEscape closeOnEscape(*this);

    // A file of another program (or an empty one) has no version table: say
    // so in words of our own instead of the engine's, before the login
    // would trip over the missing user table.
    CString engineText;
    if (!HoldsVersionTable(engineText)) {
        ZEN_LOG_EVENT(kModule, kOpenDatabase, "Not a station database, reading its version gave: %s",
                      engineText.GetString());
        CloseDatabase();
        // A server database is no file: the station's words say which it is.
        strErrorMessage.Format(
            server.IsEmpty()
                ? ZenTranslate(kZenTextDomain, "message", "The file '%s' is not a ZEN station database.")
                : ZenTranslate(kZenTextDomain, "message", "The database '%s' is not a ZEN station database."),
            m_strDatabaseName.GetString());
        AfxMessageBox(strErrorMessage, MB_OK | MB_ICONERROR);
        return 0;
    }

    // Steps 8-10: login.
    if (bLogin != 0) {
        try {
            bool askFirst = strPassword.IsEmpty() && (strUserName.IsEmpty() || m_bWasClosed);
            for (;;) {
                if (askFirst) {
                    if (AskForNameAndPassword(strUserName) == 0) {
                        CloseDatabase();
                        return 0;
                    }
                } else {
                    m_strUserName = strUserName;
                    m_strPassword = strPassword;
                }
                const bool loggedIn = TryLogin();
                RecordLoginOutcome(loggedIn);
                if (loggedIn)
                    break;
                askFirst = true;
                if (quietRetry) {
                    quietRetry = false;
                    continue;
                }
                if (AfxMessageBox(IDS_LOGIN_FAILED, MB_YESNO) != IDYES) {
                    CloseDatabase();
                    return 0;
                }
                strPassword.Empty();
            }
        } catch (...) {
            // The user table could not be read: no session without a login.
            CloseDatabase();
            throw;
        }
    }

    // Step 11: a database that cannot be written is refused.
    if (!CanUpdate()) {
        if (allowReadOnly) {
            ZEN_LOG_EVENT(kModule, kOpenDatabase, "Opened read-only: %s", GetReadOnlyReason().GetString());
        } else {
            AfxMessageBox(IDS_READ_ONLY, MB_OK | MB_ICONERROR);
            CloseDatabase();
            return 0;
        }
    }

    // Step 12: version check and upgrade.
    int upgradedFromMinor = 0;
    try {
        for (;;) {
            int major = 0;
            int minor = 0;
            if (!GetVersion(major, minor)) {
                AfxMessageBox(IDS_VERSION_UNKNOWN, MB_OK | MB_ICONERROR);
                CloseDatabase();
                return 0;
            }
            if (major == 1 && minor < 6) {
                CString message;
                message.Format(ZenTranslate(kZenTextDomain, "message",
                                            "This software can only upgrade database versions newer with version 1.6 "
                                            "and higher!\nYour database version is %d.%d\nPlease use an older "
                                            "version of ZEN to upgrade to at least 1.6"),
                               major, minor);
                AfxMessageBox(message, MB_OK);
                return 0;
            }
            if (major == 1 && minor >= 6 && minor <= 8 && keepVersion) {
                ZEN_LOG_EVENT(kModule, kOpenDatabase, "Opened version %d.%d as it stands, not upgraded", major,
                              minor);
                return 1;
            }
            if (major == 1 && minor >= 6 && minor <= 8) {
                if (UpdateTablesTo(ZEN_SCHEMA_MAJOR, ZEN_SCHEMA_MINOR) != 0) {
                    upgradedFromMinor = minor;
                    int newMajor = major;
                    int newMinor = minor;
                    GetVersion(newMajor, newMinor);
                    CString format;
                    format.LoadString(IDS_UPGRADE_DONE);
                    CString message;
                    message.Format(format, newMajor, newMinor);
                    AfxMessageBox(message, MB_OK | MB_ICONINFORMATION);
                    continue;
                }
                AfxMessageBox(IDS_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
            }
            if (major == ZEN_SCHEMA_MAJOR && minor == ZEN_SCHEMA_MINOR) {
                if (CanUpdate()) {
                    AddUniqueSampleIDIndexWhenPossible();
                    AddLoginFailuresTableWhenMissing();
                    AddSignatureTablesWhenMissing();
                    AddAuditTrailWhenMissing(upgradedFromMinor);
                }
                return 1;
            }
            CloseDatabase();
            return 0;
        }
    } catch (CDBException& e) {
        // Closed before the message: a host whose message box throws must
        // not leave the connection open.
        CloseDatabase();
        strErrorMessage = e.m_strError;
        e.Delete();
        AfxMessageBox(strErrorMessage, MB_OK);
        return 0;
    } catch (CException& e) {
        CloseDatabase();
        strErrorMessage = ZenTranslate(kZenTextDomain, "message", "Exception when reading database version");
        e.Delete();
        AfxMessageBox(strErrorMessage, MB_OK);
        return 0;
    } catch (...) {
        // Any other exception (std::bad_alloc, one thrown by the UI host or
        // a hook) ends the opening the same way.
        CloseDatabase();
        strErrorMessage = ZenTranslate(kZenTextDomain, "message", "Exception when reading database version");
        AfxMessageBox(strErrorMessage, MB_OK);
        return 0;
    }
}

bool CZENDatabase::HoldsVersionTable(CString& engineText)
{
    try {
        int major = 0;
        int minor = 0;
        GetVersion(major, minor);
        return true;
    } catch (CDBException& e) {
        // SQL state class 42: the statement names a table or a column that
        // the file does not have. Other failures (a lock, a damaged file)
        // are the version check's to report.
        const bool foreign = e.m_strStateNativeOrigin.Find("State:42") == 0;
        engineText = e.m_strError;
        e.Delete();
        return !foreign;
    }
}

bool CZENDatabase::TryLogin()
{
    const CString storedName = WaitForPasswordCheck();

    CZENDB_UserTableRecordset users(this);
    if (!users.Open(CRecordset::snapshot, users.GetDefaultSQL(), CRecordset::none))
        return false;
    bool loggedIn = false;
    bool found = false;
    bool renew = false;
    CString rowName;
    CString rowPassword;
    // The first row with the name decides, whatever rows follow.
    while (!users.IsEOF()) {
        if (StoredCredentialMatches(users.m_User.Field0, m_strUserName)) {
            found = true;
            const EPasswordCheck check = CheckStoredPassword(users.m_User.Field1, m_strPassword);
            if (check != EPasswordCheck::wrong) {
                m_eUserRole = static_cast<UserRoleType>(users.m_User.Field2);
                loggedIn = true;
                renew = check == EPasswordCheck::rightRenew;
                rowName = users.m_User.Field0;
                rowPassword = users.m_User.Field1;
            }
            break;
        }
        users.MoveNext();
    }
    users.Close();
    // A name without a user costs the same time as a wrong password.
    if (!found)
        SpendPasswordCheckTime(m_strPassword);
    if (renew)
        RenewStoredPassword(rowName, rowPassword);
    RecordLoginOutcome(storedName, loggedIn);
    return loggedIn;
}

bool CZENDatabase::IsPasswordOfUser(const CString& userName, const CString& password)
{
    CZENDB_UserTableRecordset users(this);
    if (!users.Open(CRecordset::snapshot, users.GetDefaultSQL(), CRecordset::none))
        return false;
    EPasswordCheck check = EPasswordCheck::wrong;
    bool found = false;
    // The first row with the name decides, as at the login.
    for (; !users.IsEOF() && !found; users.MoveNext()) {
        if (StoredCredentialMatches(users.m_User.Field0, userName)) {
            found = true;
            check = CheckStoredPassword(users.m_User.Field1, password);
        }
    }
    users.Close();
    if (!found)
        SpendPasswordCheckTime(password);
    return check != EPasswordCheck::wrong;
}

int CZENDatabase::CloseDatabase()
{
    if (IsOpen()) {
        Close();
        m_eUserRole = UserRoleNobody;
        m_bWasClosed = TRUE;
        m_nAuditTrailPresent = -1;
        m_pAuditSealer.reset();
        ForgetRegistrationFieldCount();
    }
    return 1;
}

UserRoleType CZENDatabase::GetUserType()
{
    return m_eUserRole;
}

CString CZENDatabase::GetUserNameA()
{
    return m_strUserName;
}

CString CZENDatabase::GetUserPassword()
{
    return m_strPassword;
}

CString CZENDatabase::GetDatabaseName()
{
    return m_strDatabaseName;
}

int CZENDatabase::GetVersion(int& major, int& minor)
{
    CZENDB_SystemTableRecordset system(this);
    if (!system.Open(CRecordset::dynaset, system.GetDefaultSQL(), CRecordset::none))
        return 0;
    // A table without its version row has no version to report.
    if (system.IsEOF()) {
        system.Close();
        return 0;
    }
    major = system.m_MajorVersion;
    minor = system.m_MinorVersion;
    system.Close();
    return 1;
}

int CZENDatabase::ScanTableConfigurations()
{
    CZENDB_SamplesRecordset samples(this);
    CZENDB_PatternsRecordset patterns(this);
    CZENDB_SystemTableRecordset system(this);
    CZENDB_RegistrationRecordset registration(this);
    CZENDB_IndentTypeRecordset indentTypes(this);
    CZENDB_RoutineTypesRecordset routines(this);
    CZENDB_RegistrationDescriptionsRecordset descriptions(this);
    CZENDB_SampleProfilesRunRecordset runs(this);
    CZENDB_RoutineProfileRecordset routineProfiles(this);
    CZENDB_IndentsRunRecordset indents(this);
    CZENDB_DefaultProfileToUseRecordset defaultProfiles(this);
    CZENDB_DefaultRoutineToUseRecordset defaultRoutines(this);
    CZENDB_UserTableRecordset users(this);

    const struct {
        CZENDB_Recordset* recordset;
        ZENRecordsets table;
    } scans[] = {
        {&samples, ZENRS_Samples},
        {&patterns, ZENRS_Patterns},
        {&system, ZENRS_SystemTable},
        {&registration, ZENRS_Registration},
        {&indentTypes, ZENRS_IndentType},
        {&routines, ZENRS_RoutineTypes},
        {&descriptions, ZENRS_RegistrationDescriptions},
        {&runs, ZENRS_SampleProfilesRun},
        {&routineProfiles, ZENRS_RoutineProfile},
        {&indents, ZENRS_IndentsRun},
        {&defaultProfiles, ZENRS_DefaultProfileToUse},
        {&defaultRoutines, ZENRS_DefaultRoutineToUse},
        {&users, ZENRS_UserTable},
    };
    for (const auto& scan : scans)
        scan.recordset->ScanTableConfiguration(&m_TableConfigurations[scan.table]);
    return 1;
}

CMapStringToPtr* CZENDatabase::GetTableConfiguration(ZENRecordsets which)
{
    // The enumeration is a plain integer at the interface: callers can pass
    // any value, and an address past the array would be used as a map.
    if (which < 0 || which >= ZENRS_Count)
        return nullptr;
    return &m_TableConfigurations[which];
}
