// The facade's session: construction and destruction, opening the database
// file (path, connection, login, write check, version ladder), closing, the
// session accessors, and the table configurations.

#include "database/ZENDatabase.h"

#include "companions/ConfigFile.h"
#include "companions/EventLog.h"
#include "companions/Obvra.h"
#include "framework/Exceptions.h"
#include "framework/UIHost.h"
#include "framework/XdgPaths.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/Recordset.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <cstdlib>
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

} // namespace

CZENDatabase::CZENDatabase()
    : m_eUserRole(UserRoleNobody),
      m_bWasClosed(FALSE),
      m_nRegistrationFieldCount(0),
      m_bRegistrationFieldCountKnown(false)
{
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

int CZENDatabase::OpenDatabase(int bLogin, CString strUserName, CString strPassword,
                               CString& strErrorMessage)
{
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Opening Database...");
    const char* programData = std::getenv("ProgramData");
    const CString environment = programData != nullptr ? programData : "";
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Environment ProgramData is:%s", environment.GetString());
    const CString defaultPath = GetDefaultDatabasePath();
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Complete Database Path:%s", defaultPath.GetString());
    const CString path = GetStringFromConfigFile("Database", "DatabaseFile", defaultPath);
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Database to open:%s", path.GetString());
    m_strDatabaseName = path;
    CString connect;
    connect.Format("Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;", path.GetString());
    ZEN_LOG_EVENT(kModule, kOpenDatabase, "Connection string:%s", connect.GetString());

    m_strUserName = strUserName;
    m_strPassword = strPassword;
    // A first try with an empty password may fail quietly once: the user then
    // simply gets the dialog. After a close every failure is asked about.
    bool quietRetry = m_strPassword.IsEmpty() && !m_bWasClosed;
    ForgetRegistrationFieldCount();

    // A facade left open (a refused old version) is opened afresh.
    if (IsOpen())
        Close();

    // Step 7: connect.
    try {
        if (!OpenEx(connect, CDatabase::noOdbcDialog)) {
            ZEN_LOG_EVENT(kModule, kOpenDatabase, "Failed to open database with connection string '%s'",
                          connect.GetString());
            strErrorMessage.Format("Failed to open Access Database using connection string '%s'",
                                   connect.GetString());
            AfxMessageBox(strErrorMessage, MB_OK);
            return 0;
        }
    } catch (CDBException& e) {
        ZEN_LOG_EVENT(kModule, kOpenDatabase, "Failed to open database '%s': %s", path.GetString(),
                      e.m_strError.GetString());
        CString format;
        format.LoadString(IDS_OPEN_FAILED);
        strErrorMessage.Format(format, path.GetString());
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        Close();
        return 0;
    } catch (CMemoryException& e) {
        strErrorMessage = "Memory exception opening database!";
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        Close();
        return 0;
    } catch (std::bad_alloc&) {
        strErrorMessage = "Memory exception opening database!";
        AfxMessageBox(strErrorMessage, MB_OK);
        Close();
        return 0;
    } catch (CException& e) {
        strErrorMessage = "Other exception opening database!";
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        Close();
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
                if (TryLogin())
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
        AfxMessageBox(IDS_READ_ONLY, MB_OK | MB_ICONERROR);
        CloseDatabase();
        return 0;
    }

    // Step 12: version check and upgrade.
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
                message.Format("This software can only upgrade database versions newer with version 1.6 "
                               "and higher!\nYour database version is %d.%d\nPlease use an older "
                               "version of ZEN to upgrade to at least 1.6",
                               major, minor);
                AfxMessageBox(message, MB_OK);
                return 0;
            }
            if (major == 1 && minor >= 6 && minor <= 8) {
                if (UpdateTablesTo(ZEN_SCHEMA_MAJOR, ZEN_SCHEMA_MINOR) != 0) {
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
            if (major == ZEN_SCHEMA_MAJOR && minor == ZEN_SCHEMA_MINOR)
                return 1;
            CloseDatabase();
            return 0;
        }
    } catch (CDBException& e) {
        strErrorMessage = e.m_strError;
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        CloseDatabase();
        return 0;
    } catch (CException& e) {
        strErrorMessage = "Exception when reading database version";
        AfxMessageBox(strErrorMessage, MB_OK);
        e.Delete();
        CloseDatabase();
        return 0;
    }
}

bool CZENDatabase::TryLogin()
{
    CZENDB_UserTableRecordset users(this);
    if (!users.Open(CRecordset::snapshot, users.GetDefaultSQL(), CRecordset::none))
        return false;
    bool loggedIn = false;
    // The first row with the name decides, whatever rows follow.
    while (!users.IsEOF()) {
        if (StoredCredentialMatches(users.m_User.Field0, m_strUserName)) {
            if (StoredCredentialMatches(users.m_User.Field1, m_strPassword)) {
                m_eUserRole = static_cast<UserRoleType>(users.m_User.Field2);
                loggedIn = true;
            }
            break;
        }
        users.MoveNext();
    }
    users.Close();
    return loggedIn;
}

int CZENDatabase::CloseDatabase()
{
    if (IsOpen()) {
        Close();
        m_eUserRole = UserRoleNobody;
        m_bWasClosed = TRUE;
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
