// A user record: construction, assignment and save.

#include "databaseobjects/CZENDB_User.h"

#include "companions/Obvra.h"
#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/internal/RecordOps.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

namespace {

// The audit entries of a user's save: an insert, or one entry per changed
// column. The password appears only as the words "password changed", never
// in any form of its own; the name as plain text.
std::vector<CAuditEntry> UserEntries(const CZENDB_User& user, bool update, const CZENDB_User& stored)
{
    CString storedName = user.Field0;
    storedName.TrimRight();
    const CString name = Obvra_decode(storedName);
    CString role;
    role.Format("%d", user.Field2);
    std::vector<CAuditEntry> entries;
    auto add = [&](const char* action, const char* field, const CString& oldValue, const CString& newValue) {
        CAuditEntry e;
        e.Action = action;
        e.ObjectKind = "user";
        e.ObjectIdentifier = name;
        e.FieldName = field;
        e.OldValue = oldValue;
        e.NewValue = newValue;
        entries.push_back(e);
    };
    if (!update) {
        add(zenaudit::kInsert, "role", CString(), role);
        return entries;
    }
    CString oldPassword = stored.Field1;
    oldPassword.TrimRight();
    CString newPassword = user.Field1;
    newPassword.TrimRight();
    if (oldPassword != newPassword)
        add(zenaudit::kChange, "password", CString(), zenaudit::kPasswordChanged);
    if (stored.Field2 != user.Field2) {
        CString oldRole;
        oldRole.Format("%d", stored.Field2);
        add(zenaudit::kChange, "role", oldRole, role);
    }
    return entries;
}

} // namespace

CZENDB_User::CZENDB_User(CDatabase* database) : CZENDB_Object(database), Field2(-1)
{
}

CZENDB_User& CZENDB_User::operator=(const CZENDB_User& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    Field0 = other.Field0;
    Field1 = other.Field1;
    Field2 = other.Field2;
    return *this;
}

bool CZENDB_User::Save()
{
    if (Database == nullptr)
        return false;
    try {
        const bool audited = zenaudit::IsActive(Database);
        // Before the recordset, so that the recordset is closed before a rollback.
        std::optional<CTransaction> transaction;
        if (audited)
            transaction.emplace(*Database);
        CZENDB_UserTableRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, Field0)))
            return false;
        const bool update = !Field0.IsEmpty() && !rs.IsEOF();
        const std::vector<CAuditEntry> entries =
            audited ? UserEntries(*this, update, rs.m_User) : std::vector<CAuditEntry>();
        if (update)
            rs.Edit();
        else
            rs.AddNew();
        rs.m_User = *this;
        rs.Update();
        rs.Close();
        zenaudit::Write(Database, entries);
        if (transaction)
            transaction->Commit();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}
