// The sample record: one specimen registered for testing, with its registration
// data (standard and nineteen free fields), its measuring and sign-off state and
// its stored trace. Fields carry the names of the Samples table's columns. The
// sample loads, saves and deletes itself, keeps its default test (a pattern or
// a routine) and reaches its profile runs and its registration data.
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "framework/CObList.h"
#include "framework/CString.h"
#include "framework/CTime.h"
#include "geometry/CCoordinateArray.h"

#include <cstdint>

// What became of a sample's save.
enum class ESampleSaveOutcome : int32_t {
    Saved = 0,           // the row was inserted or updated
    IdentifierTaken = 1, // another sample has the identifier: nothing was written
    Failed = 2,          // no connection, the table refused, or a database error
    Refused = 3,         // a signed sample changed without leave or reason: nothing was written
};

class CZENDB_Sample : public CZENDB_Object {
public:
    // Every field at its initial value: key -1, empty texts, dates 0 (the epoch),
    // not signed, no trace.
    explicit CZENDB_Sample(CDatabase* database = nullptr);
    // The same, with the operator's sample identifier set.
    CZENDB_Sample(CDatabase* database, const CString& userSampleID);
    CZENDB_Sample(const CZENDB_Sample& other) = default;
    ~CZENDB_Sample() override = default;

    // Every operation below returns false at once, touching nothing, when the
    // sample has no connection. Unless stated otherwise a database error
    // (CDBException) is shown with its error text in a message box and the
    // operation returns false.

    // Inserts the sample as a new row when SampleID is not positive or its row
    // is gone (SampleID then holds the key the database assigned), otherwise
    // updates its row; the trace goes into the 10000-byte Trace block. Writes
    // each step to the event log. The check that no other sample has the
    // identifier (compared without regard to ASCII letter case; an empty
    // identifier is never taken) and the write run in one write transaction
    // (a savepoint inside the caller's), so two connections can never both
    // store one identifier. An update checks only when it changes the
    // identifier, so rows that share one from older days stay editable.
    // false, nothing written: a taken identifier (a message box names it),
    // a database error (its text shown; also the lock not obtained within the
    // busy timeout). A trace too long for the block raises CFileException,
    // which passes to the caller (nothing is written).
    bool Save() override;
    // The same, telling the caller what became of the save; a taken
    // identifier is not shown (the caller reacts), database errors are.
    // On a connection with a signature session (the facade), an update keeps
    // Signed and Signature as stored (SignSample signs); an update of a
    // signed sample needs the session's leave and a reason (else Refused,
    // the refusal shown in a message box and kept for GetRefusal, nothing
    // written) and withdraws its signatures unless only fields not affecting
    // results changed (see zensign::OnSampleChange; Signed and Signature of
    // the object then follow the stored row).
    bool Save(ESampleSaveOutcome& outcome);
    // The text of the last refusal of Save, Delete, DeleteWithRuns or
    // DeleteAllSampleProfilesRun (a signed sample); empty before any.
    CString GetRefusal() const { return m_strRefusal; }
    // The text shown when the identifier is taken, naming it.
    static CString IdentifierTakenMessage(const CString& userSampleID);

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, key unless KeepKey, then every other
    // field including the trace and the two listing-only names.
    virtual CZENDB_Sample& operator=(const CZENDB_Sample& other);

    // Replaces the content with the first row whose UserSampleID equals the
    // text (any characters, quotes included), compared as Save compares
    // identifiers: without regard to ASCII letter case. The stored spelling is
    // kept ("s-1" loads the row of "S-1" and reads "S-1"); KeepConnection is
    // set. false, with the sample unchanged, when none exists.
    virtual bool Load(const CString& userSampleID);
    // The key of the row that Load(userSampleID) would load, found by the same
    // statement with the same log entries, without a sample object filled;
    // sampleID is set only when true. false when none exists, or after a
    // database error (shown as Load shows it) or without a database.
    static bool FindKey(CDatabase* database, const CString& userSampleID, int32_t& sampleID);
    // The same for the row with the given key.
    virtual bool Load(int32_t sampleID);
    // Deletes the sample's row and its default-test rows in one transaction on
    // the connection; true when the sample's row was deleted, and the object
    // then reads as a new sample on the same connection. Profile runs and made
    // indents stay (DeleteWithRuns takes them along). On any failure the
    // transaction is rolled back (database errors are shown) and the result
    // is false. Inside a transaction the caller began, the delete joins it (a
    // savepoint): a failure undoes only the delete's own work and the
    // caller's transaction stays open. A signed sample on a connection with
    // a signature session needs its leave and a reason (else false, the
    // refusal shown and kept for GetRefusal); its signature rows go with it.
    virtual bool Delete();
    // Deletes every profile run row of this sample (their made indents stay).
    virtual bool DeleteAllSampleProfilesRun();
    // Appends a new run (owned by the caller, KeepConnection set) for every
    // profile run of the sample with key sampleID (not necessarily this one).
    virtual bool GetProfiles(int32_t sampleID, CObList& runs);
    // true when the sample has a default test: isRoutine tells whether id is a
    // routine key or a pattern key; a default pattern wins over a default
    // routine. Outputs untouched when false. Database errors pass to the caller.
    virtual bool GetDefaultProfileOrRoutine(bool& isRoutine, int32_t& id);
    // Records id as the sample's default routine (isRoutine) or pattern, in
    // the sample's one row of that table; the other table is not touched.
    // false for a sample not stored yet (SampleID < 1): nothing is written.
    // Database errors pass to the caller.
    virtual bool SetDefaultProfileOrRoutine(bool isRoutine, int32_t id);
    // Appends a CSampleRegistrationField (owned by the caller) for every
    // registration field definition, in display order, with the stored value
    // of this sample's row (the stored row, not the fields in memory). false
    // when the row does not exist (list unchanged) or on a database error,
    // which is not shown; elements appended before it stay in the list.
    virtual bool GetSampleRegistrationData(CObList& fields);
    // Copies the values of a list of CSampleRegistrationField into the fields
    // named by their control names (exact, case-sensitive; dates for
    // RegistrationDate and DueDate, texts otherwise; unknown names skipped, a
    // later element wins). Memory only; returns true.
    virtual bool SetSampleRegistrationData(CObList& fields);
    // hasData = 1 when any profile run of this sample has a made indent, else
    // 0. false, with hasData 0, when the runs or a run's indents cannot be
    // read (a database error, shown once); the runs listed are freed on every
    // path.
    virtual bool GetHasIndentData(int& hasData);
    // Deletes the sample's row with its profile runs, their made indents and
    // its default-test rows, all in one transaction (joined through a
    // savepoint when the caller has one open): either everything goes or
    // nothing does. true when the sample's row was deleted; the object then
    // reads as a new sample on the same connection. The sample's runs and
    // defaults go also when its row is already gone (the result is then
    // false). On any failure everything is rolled back, database errors are
    // shown, and the result is false.
    virtual bool DeleteWithRuns();

    int32_t SampleID;           // key assigned by the database; -1: not stored yet
    CString UserSampleID;       // the identifier that operators see and type
    CString WorkOrder;
    CString PartNo;
    CString Detail;
    CString Material;
    CTime RegistrationDate;
    CTime DueDate;
    CString RegisteredBy;
    CString MeasuredBy;
    CString Customer;
    CTime MeasuredDate;
    BOOL Signed;
    CString Signature;
    // Not columns of Samples: filled only by the short sample listing with the
    // names of the sample's default pattern and routine.
    CString PatternName;
    CString RoutineName;
    CString CustomField1;
    CString CustomField2;
    CString CustomField3;
    CString CustomField4;
    CString CustomField5;
    CString CustomField6;
    CString CustomField7;
    CString CustomField8;
    CString CustomField9;
    CString CustomField10;
    CString CustomField11;
    CString CustomField12;
    CString CustomField13;
    CString CustomField14;
    CString CustomField15;
    CString CustomField16;
    CString CustomField17;
    CString CustomField18;
    CString CustomField19;
    // Stored as a serialised block in the Samples table's Trace column.
    CCoordinateArray Trace;

private:
    CString m_strRefusal;
    // Delete and DeleteWithRuns: one transaction (a savepoint inside the
    // caller's), database errors shown, the object reset after a delete.
    bool DeleteInTransaction(bool withRuns);
    // Deletes the made indents and profile runs of the sample, on the
    // caller's transaction; false when an open was refused. Throws
    // CDBException.
    bool DeleteRunsAndIndents();
    // Deletes the default-test rows and the sample's row, on the caller's
    // transaction; true when the sample's row was there. Throws CDBException.
    bool DeleteOwnRows();
    // True when a row other than the one with key ownKey has this sample's
    // identifier (the comparison of the unique index). Database errors pass.
    bool IdentifierTakenByOther(int32_t ownKey);
};
