// The facade's answer to "may this session do that?": the least role of each
// action, the names of the roles in the operator's language, and the check of
// the logged-in user's role, which the dialogs and the tool ask before acting.

#include "database/ZENDatabase.h"

#include "framework/Exceptions.h"
#include "framework/Translation.h"
#include "framework/sql/Recordset.h"

namespace {

constexpr UserRoleType kRoleNeeded[ZENACT_Count] = {
    UserRoleOperator,      // ZENACT_RegisterSample
    UserRoleOperator,      // ZENACT_ImportRuns
    UserRoleOperator,      // ZENACT_Evaluate
    UserRoleOperator,      // ZENACT_PrintReport
    UserRoleSupervisor,    // ZENACT_SignSample
    UserRoleSupervisor,    // ZENACT_ChangeSignedSample
    UserRoleSupervisor,    // ZENACT_DeleteSample
    UserRoleAdministrator, // ZENACT_ManageUsers
    UserRoleAdministrator, // ZENACT_ManageFields
    UserRoleAdministrator, // ZENACT_ManagePatterns
    UserRoleAdministrator, // ZENACT_ManageRoutines
    UserRoleAdministrator, // ZENACT_UpgradeDatabase
    UserRoleAdministrator, // ZENACT_CopyDatabase
};

} // namespace

UserRoleType ZenRoleNeeded(ZENAction action)
{
    const int index = static_cast<int>(action);
    return index >= 0 && index < ZENACT_Count ? kRoleNeeded[index] : UserRoleAdministrator;
}

CString ZenRoleName(UserRoleType role)
{
    switch (role) {
    case UserRoleNobody:
        return ZenTranslate(kZenTextDomain, "role", "nobody");
    case UserRoleOperator:
        return ZenTranslate(kZenTextDomain, "role", "operator");
    case UserRoleSupervisor:
        return ZenTranslate(kZenTextDomain, "role", "supervisor");
    case UserRoleAdministrator:
        return ZenTranslate(kZenTextDomain, "role", "administrator");
    }
    CString number;
    number.Format("%d", static_cast<int>(role));
    return number;
}

UserRoleType ZenEffectiveRole(UserRoleType role)
{
    return role >= UserRoleNobody && role <= UserRoleAdministrator ? role : UserRoleOperator;
}

bool CZENDatabase::HasUsers()
{
    CRecordset probe(this);
    probe.Open(CRecordset::forwardOnly, "SELECT TOP 1 [Field2] FROM Table1", CRecordset::readOnly);
    const bool any = !probe.IsEOF();
    probe.Close();
    return any;
}

BOOL CZENDatabase::IsActionAllowed(ZENAction action, CString* refusal)
{
    const UserRoleType needed = ZenRoleNeeded(action);
    const UserRoleType role = ZenEffectiveRole(m_eUserRole);
    if (role != UserRoleNobody && role >= needed)
        return TRUE;
    if (role == UserRoleNobody && IsOpen()) {
        bool anyUser = true;
        try {
            anyUser = HasUsers();
        } catch (const CException&) {
            // An unreadable user table grants nothing.
        }
        if (!anyUser)
            return TRUE;
    }
    if (refusal != nullptr) {
        if (role == UserRoleNobody)
            refusal->Format(ZenTranslate(kZenTextDomain, "message",
                                         "This needs the role %s; nobody is logged in."),
                            ZenRoleName(needed).GetString());
        else
            refusal->Format(ZenTranslate(kZenTextDomain, "message",
                                         "This needs the role %s; user '%s' is %s."),
                            ZenRoleName(needed).GetString(), m_strUserName.GetString(),
                            ZenRoleName(m_eUserRole).GetString());
    }
    return FALSE;
}
