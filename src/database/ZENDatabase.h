// CZENDatabase: the one object through which the station's application reaches
// its database. It is the connection (every recordset and record takes it as
// its CDatabase), opens and upgrades the file, logs the user in, and answers
// the queries and administrative writes that concern the database as a whole.
#pragma once

#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/ProfileSettings.h"
#include "databaseobjects/SampleSignatures.h"
#include "framework/CMapStringToPtr.h"
#include "framework/CObList.h"
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "framework/CStringList.h"
#include "framework/Types.h"
#include "framework/sql/Database.h"
#include "recordsets/SampleSearch.h"

#include <cstdint>
#include <memory>
#include <vector>

class CPropertySheet;

// Role of the logged-in user: the integer that the user table holds for the
// user, stored and handed back unchanged. -1 means nobody is logged in. The
// three named roles grow by inclusion: a supervisor may do what an operator
// may, an administrator what a supervisor may. A stored value outside 0 .. 2
// (written by some other program) has the rights of an operator.
enum UserRoleType : int32_t {
    UserRoleNobody = -1,       // nobody is logged in
    UserRoleOperator = 0,      // registers, imports runs, evaluates, prints
    UserRoleSupervisor = 1,    // also signs, changes signed samples, deletes samples
    UserRoleAdministrator = 2, // also users, fields, patterns, routines, upgrades, copies
};

// What a session may be asked to do, each with the least role it needs
// (ZenRoleNeeded).
enum ZENAction : int32_t {
    ZENACT_RegisterSample = 0,  // register a sample, edit an unsigned one (operator)
    ZENACT_ImportRuns,          // store or import profile runs (operator)
    ZENACT_Evaluate,            // evaluate profiles (operator)
    ZENACT_PrintReport,         // print or write reports (operator)
    ZENACT_SignSample,          // sign a sample (supervisor)
    ZENACT_ChangeSignedSample,  // change a signed sample or its runs (supervisor)
    ZENACT_DeleteSample,        // delete a sample with its runs (supervisor)
    ZENACT_ManageUsers,         // add, change, remove users (administrator)
    ZENACT_ManageFields,        // registration fields (administrator)
    ZENACT_ManagePatterns,      // test patterns (administrator)
    ZENACT_ManageRoutines,      // routines (administrator)
    ZENACT_UpgradeDatabase,     // upgrade the schema (administrator)
    ZENACT_CopyDatabase,        // copy a station database (administrator)
};
constexpr int ZENACT_Count = 13;

// The least role an action needs; UserRoleAdministrator for a value outside
// the enumeration.
UserRoleType ZenRoleNeeded(ZENAction action);
// The role's name in the operator's language ("operator", "supervisor",
// "administrator"); the number as text for any other value, "nobody" for -1.
CString ZenRoleName(UserRoleType role);
// The role a stored value gives rights of: itself for -1 .. 2, operator for
// any other value.
UserRoleType ZenEffectiveRole(UserRoleType role);

// The thirteen tables, indexing the facade's table configurations.
enum ZENRecordsets : int32_t {
    ZENRS_DefaultProfileToUse = 0,
    ZENRS_DefaultRoutineToUse = 1,
    ZENRS_IndentsRun = 2,
    ZENRS_IndentType = 3,
    ZENRS_Patterns = 4,
    ZENRS_RegistrationDescriptions = 5,
    ZENRS_Registration = 6,
    ZENRS_RoutineProfile = 7,
    ZENRS_RoutineTypes = 8,
    ZENRS_SampleProfilesRun = 9,
    ZENRS_Samples = 10,
    ZENRS_SystemTable = 11,
    ZENRS_UserTable = 12,
};
constexpr int ZENRS_Count = 13;

// The schema version that this library works with (1.9).
constexpr int ZEN_SCHEMA_MAJOR = 1;
constexpr int ZEN_SCHEMA_MINOR = 9;

// How OpenDatabaseWithOptions treats the file; flags, combined with |. 0
// opens as the station's OpenDatabase does.
enum ZENOpenOptions : DWORD {
    // A file that cannot be written (write-protected file or folder, a
    // read-only file system, an input/output error in the write test) is
    // opened for reading instead of being refused: CanUpdate is then FALSE
    // and GetReadOnlyReason names the file and the reason.
    ZENOPEN_AllowReadOnly = 0x0001,
    // A file of version 1.6 .. 1.8 is opened as it stands, not upgraded:
    // GetVersion tells which version it has, and UpgradeToCurrentVersion
    // upgrades it when the caller decides to.
    ZENOPEN_KeepVersion = 0x0002,
};

// One identifier that several samples share (compared without regard to ASCII
// letter case), as found in files from before the unique index.
struct CDuplicateSampleID {
    CString UserSampleID;           // spelled as the sample with the smallest key has it
    std::vector<int32_t> SampleIDs; // the keys of all samples that share it, ascending
};

class CZENDatabase : public CDatabase, public CAuditSession, public CSignatureSession {
    DECLARE_DYNAMIC(CZENDatabase)
public:
    // Not connected, nobody logged in, empty names, empty table configurations.
    CZENDatabase();
    // Frees the column records of the table configurations; the base closes a
    // connection that is still open.
    ~CZENDatabase() override;

    // --- Sample queries -------------------------------------------------
    // True when a sample has the identifier; sampleID then receives its key,
    // otherwise it is left unchanged. A database error is shown and gives false.
    virtual bool SampleExist(const CString& userSampleID, int32_t& sampleID);
    // The identifier that follows the most recently registered one (its first
    // number increased, every occurrence of it replaced: "B7-7" -> "B8-8", a
    // text without a number gets "1" appended); empty when no sample has an
    // identifier or the query failed (its error shown).
    virtual CString GetNextUserSampleID();

    // --- Catalogue lists: each appends new records (created on this facade,
    // KeepConnection set) to the caller's list, which owns them. Database
    // errors pass to the caller as CDBException; records appended before it
    // stay in the list.
    // Users, in descending order of the stored (encoded) name.
    virtual void GetAllUsers(CObList& list);
    // Patterns not marked deleted, in the table's order.
    virtual void GetAllPatterns(CObList& list);
    // Routines not marked deleted, by name.
    virtual void GetAllRoutines(CObList& list);
    // Every routine profile, in the table's order.
    virtual void GetAllRoutineProfiles(CObList& list);
    // Every registration field, in display order.
    virtual void GetAllRegistrationFields(CObList& list);

    // --- Sample lists: new CZENDB_Sample records appended (caller owns them).
    // The 5000 samples with the smallest keys, in key order. Errors pass.
    virtual void GetFirst5000Samples(CObList& list);
    // Samples measured before the start of date's day (none without a measured
    // date). An invalid or null date gives a database error, which passes.
    virtual void GetSamplesBefore(CObList& list, COleDateTime date);
    // The samples of a list view, newest first (criteria read only for
    // SampleViewSearch; may be null otherwise). Returns the number appended;
    // 0 after an error, which is reported in a message box (samples appended
    // before it stay in the list).
    virtual int GetSamples(SampleViewTypeType view, CMapStringToPtr* criteria, CObList& list);
    // Samples not signed, in key order; only key, identifier, the three dates
    // and the names of the default pattern and routine are filled. Errors pass.
    virtual void GetUnsignedSamples(CObList& list);

    // --- User administration ---------------------------------------------
    // AddUser's result when a stored user's name equals the new one apart
    // from letter case.
    static constexpr int kUserNameTaken = -1;
    // Inserts a user (name stored encoded, password as a salted Argon2id hash,
    // see HashPassword: deliberately slow). 1 when inserted, 0
    // when the table could not be opened, kUserNameTaken (nothing inserted)
    // when a stored name matches by UserNamesMatch; stored names that this
    // station's key cannot decode are not compared. The look and the insert
    // are one transaction. Database and credential errors pass to the caller.
    virtual int AddUser(CString name, CString password, UserRoleType role);
    // Whether two user names are the same name for AddUser: equal after
    // folding letter case (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
    // A login still needs the name as stored.
    static bool UserNamesMatch(const CString& a, const CString& b);
    // Deletes the first user stored under the name. 1 when deleted, 0 when the
    // table could not be opened; a name that is not stored raises CDBException.
    virtual int DeleteUser(CString name);

    // --- Registration fields ----------------------------------------------
    // The number of registration fields, counted once per opened database and
    // then kept until the database is closed or opened again. 0 when the
    // table could not be read.
    virtual short GetNofRegistrationFields();
    // Appends the field names (trailing blanks removed) in display order;
    // false after a database error (names read so far stay appended).
    virtual bool GetRegistrationFieldNames(CStringList& names);
    // Moves a field to a display position (clamped to 0 .. count-1) and
    // renumbers the fields in between, keeping positions 0 .. count-1 without
    // gaps. Moving a field to its own position runs no statement. False when
    // no field has that name (nothing changed) or after a database error
    // (updates already executed stay).
    virtual bool SetRegistrationFieldDisplayNumber(const CString& control, short position);

    // --- Dialog entry points (defined with the dialogs) -------------------
    // Runs the registration dialog for new samples; values (field name ->
    // CSampleRegistrationField*, not taken over) replace the fields' first
    // values. True when it was closed with OK (samples are saved by its
    // register and batch buttons, not by OK).
    virtual bool RegisterNewSampleByDialog(CMapStringToOb& values);
    // Runs the registration dialog on the stored sample with that key; true
    // when OK saved it. Both dialogs close at once, after a message box
    // with the refusal, when the session may not register samples
    // (ZENACT_RegisterSample); false then.
    virtual bool EditSampleByDialog(int32_t sampleID);
    // Runs the search dialog showing the criteria in the map. On OK the map's
    // records leave it without being deleted (the caller still owns them) and
    // the new criteria (SampleSearchCriterion*, the caller's from then on)
    // take their place; true. Cancel, or a null map: false, map unchanged.
    virtual bool GetSearchCriteriaByDialog(CMapStringToPtr* criteria);
    // Adds the sample settings page, loaded from this database and owned by
    // the sheet; returns its index (-1 for a null sheet).
    virtual int AddSampleSettingsPage(CPropertySheet* sheet);
    // Lets the settings page at pageIndex store itself and removes it from
    // the sheet (deleting it). False, nothing changed, for a null sheet, an
    // index out of 0 .. count-1, or a page that is not the settings page;
    // also false, with the refusal in a message box and the page left in the
    // sheet, when the session may not manage fields (ZENACT_ManageFields).
    virtual bool StoreSampleSettingsPage(CPropertySheet* sheet, int pageIndex);

    // --- Schema version and upgrade ----------------------------------------
    // Reads the version row of SystemTable: 1 and both numbers written, or 0
    // with nothing written when the table cannot be opened or holds no row.
    // Database errors pass to the caller.
    virtual int GetVersion(int& major, int& minor);
    // Writes the given settings into every pattern and every profile run
    // (strategy into patterns only). 1 on success; 0 unless the database is
    // at least 1.5, or after an error (rows already written stay written).
    virtual int SetVer15DefaultProperties(const ProfileCalculationSettings& calc,
                                          const ProfileStrategySettings& strategy,
                                          const ProfileDiagramSettings& diagram);
    // One step each (UpdateToVerN is the step to 1.(N-10)): runs the step
    // below first, then, when the database is exactly at 1.(N-11), upgrades
    // it (UpdateTablesTo); 0 otherwise. UpdateToVer13 .. UpdateToVer15 always
    // give 0; a database at 1.6 .. 1.8 is carried all the way to 1.9.
    virtual int UpdateToVer19();
    virtual int UpdateToVer18();
    virtual int UpdateToVer17();
    virtual int UpdateToVer16();
    virtual int UpdateToVer15();
    virtual int UpdateToVer14();
    virtual int UpdateToVer13();
    // Carries the open database from 1.6 .. 1.8 to 1.9 with the steps that
    // OpenDatabase runs, then adds the unique index of the sample identifiers
    // when no two samples share one. 1 when the database is at 1.9
    // afterwards (also when it was already); 0, without a message of its
    // own, when it cannot be written, its version cannot be read or is not
    // 1.6 .. 1.9, or a step failed (the step shows its error; statements
    // already run stay, so a copy taken before is the way back). Database
    // errors of the version read pass to the caller.
    int UpgradeToCurrentVersion();

    // --- Unique sample identifiers -----------------------------------------
    // True when the file carries the unique index of the sample identifiers
    // (new files do; opening adds it to older files that hold no duplicate).
    // Database errors pass to the caller.
    bool HasUniqueSampleIDIndex();
    // Appends every group of samples that share an identifier (empty
    // identifiers are not counted), ordered by identifier; these keep the
    // unique index out of the file until they are renamed. True when the
    // groups were read. Database errors pass to the caller.
    bool FindDuplicateSampleIDs(std::vector<CDuplicateSampleID>& groups);

    // --- Check --------------------------------------------------------------
    // Checks the open database: the engine's integrity check, then the sample
    // identifiers that several samples share (one finding per group, naming
    // its keys). Appends one line per finding; true when there is none.
    // Reads only, so it works on a read-only connection. Database errors
    // (a file too damaged to be read at all) pass to the caller.
    bool CheckDatabase(CStringList& findings);

    // --- Table configurations ----------------------------------------------
    // Refills the thirteen column maps from the tables' statements (a column
    // already known gets a fresh record). Always 1; a table that cannot be
    // read shows its error and keeps what its map held.
    virtual int ScanTableConfigurations();
    // The column map of one table (column name -> CODBCFieldInfo*), owned by
    // the facade; empty until ScanTableConfigurations ran. nullptr for a
    // value outside 0 .. 12.
    virtual CMapStringToPtr* GetTableConfiguration(ZENRecordsets which);

    // --- Session -------------------------------------------------------------
    // Shows the login dialog pre-filled with userName; on OK takes the typed
    // name and password over as the session's (not checked here) and
    // returns 1; on Cancel returns 0 and changes nothing.
    virtual int AskForNameAndPassword(const CString& userName);
    // The logged-in user's role; UserRoleNobody when nobody is logged in.
    virtual UserRoleType GetUserType();
    // Whether this session may do the action: the logged-in user's role (see
    // ZenEffectiveRole) is at least ZenRoleNeeded(action), or the open
    // database has no user at all (a one-person station that works without
    // login may do everything). On FALSE, refusal (when given) receives a
    // text for the person naming the role needed and the session's user and
    // role. Asks the user table when nobody is logged in; a database that is
    // not open, or whose user table cannot be read, refuses.
    virtual BOOL IsActionAllowed(ZENAction action, CString* refusal = nullptr);
    // Whether the open database holds at least one user. Database errors
    // pass to the caller.
    bool HasUsers();
    // The session's user name and password in plain text, as passed or typed.
    virtual CString GetUserNameA();
    virtual CString GetUserPassword();
    // Opens the database file named by the station configuration (section
    // "Database", key "DatabaseFile"; default <ProgramData>/Korvane/ZEN.mdb,
    // or <XDG data home>/Korvane/ZEN.mdb without ProgramData) - or, when the
    // key "Server" of that section is not empty, the server database it names
    // (a PostgreSQL connection string; GetDatabaseName then gives it with the
    // password masked) - logs the user
    // in when bLogin is non-zero (the given credentials first, then the login
    // dialog), refuses a database that cannot be written, and upgrades 1.6 ..
    // 1.8 to 1.9. A 1.9 file without the unique index of the sample
    // identifiers gets it when no two samples share one; otherwise (or when
    // another writer keeps the file locked) it opens without it, silently. Returns 1 when open, logged in and at 1.9; 0 otherwise,
    // with the connection closed - except for a database older than 1.6,
    // which is refused with the connection left open. Every refusal is shown
    // in a message box; strErrorMessage receives the text when the file could
    // not be opened or the version could not be read, and is untouched
    // otherwise. Errors while reading the user table close the connection
    // and pass to the caller.
    virtual int OpenDatabase(int bLogin, CString strUserName, CString strPassword,
                             CString& strErrorMessage);
    // OpenDatabase for other callers than the station (tools): the same
    // steps, changed by options (ZENOpenOptions). With ZENOPEN_AllowReadOnly
    // a file that cannot be written opens without the refusal message and
    // returns 1 (see CanUpdate, GetReadOnlyReason); with ZENOPEN_KeepVersion
    // a 1.6 .. 1.8 file is neither upgraded nor changed otherwise and
    // returns 1, without a message. The unique index of the sample
    // identifiers is added only to a 1.9 file that can be written.
    int OpenDatabaseWithOptions(DWORD options, int bLogin, CString strUserName, CString strPassword,
                                CString& strErrorMessage);
    // Closes an open connection and forgets the logged-in role; from then on
    // an empty password always brings up the login dialog first. Does
    // nothing when not open. Always 1.
    virtual int CloseDatabase();
    // The database file path resolved by the last OpenDatabase (a server's
    // connection string with its password masked); empty before.
    virtual CString GetDatabaseName();

    // The string-table text of a standard Samples field ("WorkOrder" ->
    // "Orden de trabajo"); false and text unchanged for any other name (the
    // comparison is exact and case-sensitive).
    static bool GetLocalizedStandardFieldName(const CString& fieldName, CString& text);

    // The file that OpenDatabase opens when the configuration names none.
    static CString GetDefaultDatabasePath();
    // How long (seconds) a statement waits for another connection's write
    // lock before it fails as busy: "Database"/"BusyTimeout" of the station
    // configuration, a whole number from 1 to 3600; otherwise the default
    // of 5 seconds. Read by every open.
    static DWORD ReadBusyTimeoutSeconds();

    // --- Audit trail ----------------------------------------------------------
    // The reason recorded with every audit entry this session writes from now
    // on (empty: none), until it is set again. Kept across CloseDatabase.
    void SetAuditReason(const CString& reason) { m_strAuditReason = reason; }
    CString GetAuditReason() override { return m_strAuditReason; }
    // The logged-in user's name; empty while nobody is logged in.
    CString GetAuditUserName() override;
    // Whether the open file has the audit trail's tables; asked of the file
    // once per opening. Database errors pass to the caller.
    bool IsAuditTrailPresent() override;
    // Made at the first entry after each opening, so a changed key file is
    // taken at the next opening.
    const CAuditSealer& GetAuditSealer() override;

    // --- Signatures ------------------------------------------------------------
    // Signs the sample with key sampleID as the logged-in user, with the
    // meaning given. The password is checked again against the user table
    // now (also when logged in): a wrong one refuses, counts as a failed
    // login of the user's name (the wait of LoginWaitSeconds applies to the
    // next try) and is an audit entry. Refused as well, with nothing stored:
    // nobody logged in (a database without users cannot sign), a role below
    // ZenRoleNeeded(ZENACT_SignSample), no such sample, a sample without a
    // measured profile, the user's own measurement when [Signatures]
    // ForbidSigningOwnMeasurement is set (names compared as
    // UserNamesMatch does), and a second standing signature of the user with
    // the same meaning. On success the signature is stored with the UTC time
    // and the sample's revision, the sample's row reads Signed TRUE and
    // Signature = the user's name, with an audit entry, in one transaction;
    // true. On false, refusal receives a text for the person. Database
    // errors pass to the caller (nothing stored).
    bool SignSample(int32_t sampleID, const CString& password, ESignatureMeaning meaning, CString& refusal);
    // CSignatureSession: a signed sample changes with ZENACT_ChangeSignedSample
    // and is deleted with ZENACT_DeleteSample, each with a non-empty
    // GetAuditReason (blanks alone are none).
    bool MayChangeSignedSample(const CString& userSampleID, bool deletion, CString& refusal) override;

    // --- Failed logins -------------------------------------------------------
    // After kLoginFailuresBeforeWait failed logins of one name (counted in the
    // database, across processes and stations), each further try of that
    // name waits before its password is checked: 1 s, doubling with each
    // further failure, at most kLoginWaitMaxSeconds. A successful login
    // resets the count. Names that have no user count the same way.
    static constexpr int kLoginFailuresBeforeWait = 5;
    static constexpr int kLoginWaitMaxSeconds = 30;
    // The wait (seconds) before a try of a name with that many failures.
    static int LoginWaitSeconds(int failures);
    // Told (on the login's thread, before the wait) that a try of userName
    // waits `seconds` after `failures` failed logins; lets a host show the
    // wait. nullptr (the default) shows nothing. Process-wide.
    using LoginWaitNotifier = void (*)(const CString& userName, int failures, int seconds);
    static void SetLoginWaitNotifier(LoginWaitNotifier notifier);
    // The counted failed logins of a name (0 when none are counted or the
    // count cannot be read, e.g. in a file without the count's table).
    int GetLoginFailureCount(const CString& userName);

protected:
    // Carries every table from the database's current version 1.6 .. 1.8 to
    // 1.9, table by table with the system table last. 0 at once unless
    // major is 1 and minor lies in 6 .. 9, or when the current version cannot
    // be read or its major is not 1; otherwise 1 when every step succeeded,
    // 0 after the first failed one (statements already run stay).
    virtual int UpdateTablesTo(int major, int minor);

private:
    // False when the open file has no version table (or not its columns),
    // i.e. is not a station database; engineText then holds the engine's
    // error. True otherwise, also when reading the version failed for
    // another reason (left to the version check).
    bool HoldsVersionTable(CString& engineText);
    // Checks m_strUserName / m_strPassword against the user table; on
    // success stores the user's role. A throttled name waits first (see
    // LoginWaitSeconds); a password in the old encoding or with outdated
    // limits is replaced by a new hash. Errors reading the user table pass
    // to the caller.
    bool TryLogin();
    // Failed-login bookkeeping; never fail the login (errors are logged).
    // storedName is the name's stored (encoded) form.
    int ReadLoginFailures(const CString& storedName) noexcept;
    void WaitWhileLoginThrottled(const CString& storedName) noexcept;
    // The session user's stored name (empty for a name too long to encode,
    // which belongs to no user and is not counted), after the wait its
    // failed tries call for: a throttled try is slow whether the password is
    // right or not.
    CString WaitForPasswordCheck();
    // countEmpty: a failed try with the empty password counts too (the
    // session's own empty first try does not).
    void RecordLoginOutcome(const CString& storedName, bool succeeded, bool countEmpty = false) noexcept;
    // Replaces the verified stored password of the user row (stored name and
    // old stored password as read) by a new hash, in a transaction of its own.
    void RenewStoredPassword(const CString& storedName, const CString& oldStoredPassword) noexcept;
    // Adds the failed-login table to a file that lacks it; never fails the
    // caller (a read-only file or another writer's lock leave it missing).
    void AddLoginFailuresTableWhenMissing() noexcept;
    // The same for the tables of signatures and revisions.
    void AddSignatureTablesWhenMissing() noexcept;
    // Whether password is the stored password of the user userName (the
    // first row with the name, as at the login). A name without a user costs
    // the time of a check. Errors reading the user table pass to the caller.
    bool IsPasswordOfUser(const CString& userName, const CString& password);
    // The rule of the one-step upgrades: UpdateTablesTo(1, sourceMinor + 1)
    // when the database is exactly at 1.sourceMinor, else 0.
    int UpgradeFrom(int sourceMinor);
    // Adds the unique index of the sample identifiers when it is missing and
    // no two samples share an identifier. Never fails the caller: any error
    // leaves the file as it was (the next opening tries again).
    void AddUniqueSampleIDIndexWhenPossible() noexcept;
    // Adds the audit trail's tables to a file that lacks them (made by
    // software that did not know them) and records that, with the schema
    // upgrade from upgradedFromMinor when it is not 0. Never fails the
    // caller: the file then opens without a trail (the next opening tries
    // again).
    void AddAuditTrailWhenMissing(int upgradedFromMinor) noexcept;
    // Records a login try of m_strUserName in the audit trail. Never fails
    // the login: a file that cannot take the entry (read-only, no trail)
    // simply gets none.
    void RecordLoginOutcome(bool succeeded) noexcept;
    void FreeTableConfigurations() noexcept;
    void ForgetRegistrationFieldCount();

    CMapStringToPtr m_TableConfigurations[ZENRS_Count];
    CString m_strPassword;
    CString m_strDatabaseName;
    CString m_strUserName;
    UserRoleType m_eUserRole;
    BOOL m_bWasClosed;
    // The registration-field count of the open database, once known.
    short m_nRegistrationFieldCount;
    bool m_bRegistrationFieldCountKnown;
    CString m_strAuditReason;
    // -1 not yet asked since the opening, 0 no trail, 1 trail present.
    int m_nAuditTrailPresent = -1;
    std::unique_ptr<CAuditSealer> m_pAuditSealer;
};
