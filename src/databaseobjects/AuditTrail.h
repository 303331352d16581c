// The audit trail: one row per insert, change, deletion, signature, login
// and upgrade, written in the transaction of the change itself and chained by
// keyed hashes, so that an entry altered, inserted or removed afterwards is
// found by ZenAuditVerify.
#pragma once

#include "companions/AuditSeal.h"
#include "framework/CString.h"

#include <cstdint>
#include <utility>
#include <vector>

class CDatabase;
class CTransaction;

// What the connection's owner tells the trail about the session. The facade
// (CZENDatabase) implements it; a connection without it writes no entries.
class CAuditSession {
public:
    virtual ~CAuditSession() = default;
    // The logged-in user's name; empty when nobody is logged in.
    virtual CString GetAuditUserName() = 0;
    // The reason recorded with every entry until it is changed; may be empty.
    virtual CString GetAuditReason() = 0;
    // Whether the open file has the trail's tables (a file made by software
    // that does not know them has not, and its changes are not recorded).
    // Database errors pass to the caller.
    virtual bool IsAuditTrailPresent() = 0;
    // The sealer of the station's audit key, kept for the session (the key
    // file is read once). Throws CCredentialException as CAuditSealer does.
    virtual const CAuditSealer& GetAuditSealer() = 0;
};

// One stored entry. Time is UTC "YYYY-MM-DD HH:MM:SS"; ObjectKey -1 when the
// object has no numeric key (users, registration fields, logins).
struct CAuditEntry {
    int32_t EntryID = -1;
    CString Time;
    CString Station;
    CString UserName;
    CString Action;
    CString ObjectKind;
    int32_t ObjectKey = -1;
    CString ObjectIdentifier;
    CString FieldName;
    CString OldValue;
    CString NewValue;
    CString Reason;
    CString PreviousHash;
    CString Hash;
};

// A row read as display texts, column by column in the statement's order.
// Binary columns give "<n> bytes"; BinaryContent keeps their bytes for the
// comparison only (never written).
struct CAuditRow {
    std::vector<std::pair<CString, CString>> Columns;
    std::vector<std::pair<CString, CString>> BinaryContent;
    bool Found = false;
};

struct CAuditVerifyResult {
    bool Intact = true;
    int32_t Entries = 0;
    // The first entry that does not hold; -1 when the problem is the chain
    // head (entries missing after the last one, or the head altered).
    int32_t BrokenEntryID = -1;
    CString Problem; // one English sentence; empty when intact
};

struct CAuditFilter {
    CString ObjectIdentifier; // entries of samples and runs with this identifier
    CString UserName;         // entries made by this user (or naming this user)
    CString From;             // "YYYY-MM-DD" or a full time text, inclusive; UTC
    CString To;               // inclusive; a bare date covers the whole day
};

namespace zenaudit {

// Actions and object kinds as stored.
inline constexpr const char* kInsert = "insert";
inline constexpr const char* kChange = "change";
inline constexpr const char* kDelete = "delete";
inline constexpr const char* kSign = "sign";
inline constexpr const char* kLogin = "login";
inline constexpr const char* kLoginFailed = "login failed";
inline constexpr const char* kUpgrade = "upgrade";

// The value written instead of any password, old or new.
inline constexpr const char* kPasswordChanged = "password changed";

// True when the file holds the trail's tables. Database errors pass.
bool HasTables(CDatabase& db);
// Creates the trail's tables with the sealed empty chain head, in the
// caller's transaction. Database and key errors pass.
void CreateTables(CDatabase& db);

// True when entries are written on this connection (its owner implements
// CAuditSession and the file has the tables). Database errors pass.
bool IsActive(CDatabase* db);

// Writes the entries (only Action, ObjectKind, ObjectKey, ObjectIdentifier,
// FieldName, OldValue and NewValue are taken from them, and UserName when
// not empty - a failed login names the user tried; the rest is filled in) at the end of the chain, in the caller's transaction or in one of
// their own. Nothing happens when IsActive is false. Throws CDBException
// when a write fails and CCredentialException when the key cannot be read;
// the caller's change must then be rolled back (CTransaction does).
// enclosing: the caller's open transaction scope, which rolls back this
// write with the caller's change on any exception; the entries are then
// written in it without a scope of their own (a savepoint fewer).
void Write(CDatabase* db, const std::vector<CAuditEntry>& entries, const CTransaction* enclosing = nullptr);
void Write(CDatabase* db, const char* action, const char* kind, int32_t key, const CString& identifier,
           const CString& field = CString(), const CString& oldValue = CString(),
           const CString& newValue = CString());
// One entry without field or values, written in the caller's scope (see
// enclosing above).
void Write(CDatabase* db, const CTransaction& enclosing, const char* action, const char* kind, int32_t key,
           const CString& identifier);

// The row of sql (first row) as display texts. Found false when there is none.
CAuditRow ReadRow(CDatabase& db, const CString& sql);

// One change entry per column that differs between before and after, in
// column order. Columns in `skip` are left out; columns in `secret` give
// kPasswordChanged as the new value and an empty old value. `signColumn`,
// when it goes from false to true, gives a kSign entry instead of a change.
std::vector<CAuditEntry> Changes(const char* kind, int32_t key, const CString& identifier,
                                 const CAuditRow& before, const CAuditRow& after,
                                 const std::vector<CString>& skip = {},
                                 const std::vector<CString>& secret = {},
                                 const CString& signColumn = CString());

// Checks the whole chain: every entry's hash over its content and the hash
// of the entry before it, then the sealed head (number of entries and the
// last hash). Database and key errors pass. A file without the tables is
// intact with 0 entries.
CAuditVerifyResult Verify(CDatabase& db);

// The entries that pass the filter, oldest first. Database errors pass.
std::vector<CAuditEntry> List(CDatabase& db, const CAuditFilter& filter);

} // namespace zenaudit
