// The facade's catalogue lists (users, patterns, routines, routine profiles,
// registration fields), user administration, the registration-field order,
// and the texts of the standard sample fields.

#include "database/ZENDatabase.h"

#include "companions/Obvra.h"
#include "companions/PasswordHash.h"
#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "databaseobjects/CZENDB_User.h"
#include "framework/Exceptions.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/Transaction.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// Opens rs with sql and appends one new TRecord per row: created on the
// facade, KeepConnection set, then assigned from the recordset's bound
// record of the row. A record is put into the list only once it is complete.
template <class TRecord>
void AppendRecords(CZENDatabase* database, CRecordset& rs, const CString& sql, const TRecord& bound,
                   CObList& list)
{
    if (!rs.Open(CRecordset::dynaset, sql, CRecordset::none))
        return;
    while (!rs.IsEOF()) {
        auto record = std::make_unique<TRecord>(database);
        record->KeepConnection = true;
        *record = bound;
        list.AddTail(record.release());
        rs.MoveNext();
    }
    rs.Close();
}

struct StandardFieldName {
    const char* name;
    UINT stringId;
};

constexpr StandardFieldName kStandardFieldNames[] = {
    {"SampleID", 13010},     {"UserSampleID", 13011},     {"WorkOrder", 13012},
    {"PartNo", 13013},       {"Detail", 13014},           {"Material", 13015},
    {"Customer", 13016},     {"DueDate", 13018},          {"RegistrationDate", 13019},
    {"RegisteredBy", 13020}, {"MeasuredBy", 13024},       {"MeasuredDate", 13026},
    {"Signature", 13027},
};

} // namespace

void CZENDatabase::GetAllUsers(CObList& list)
{
    CZENDB_UserTableRecordset users(this);
    CString sql;
    sql.Format("%s ORDER BY Field0 DESC", users.GetDefaultSQL().GetString());
    AppendRecords(this, users, sql, users.m_User, list);
}

void CZENDatabase::GetAllPatterns(CObList& list)
{
    CZENDB_PatternsRecordset patterns(this);
    AppendRecords(this, patterns, patterns.GetDefaultSQL() + " WHERE Deleted = 0", patterns.m_Pattern, list);
}

void CZENDatabase::GetAllRoutines(CObList& list)
{
    CZENDB_RoutineTypesRecordset routines(this);
    CString sql;
    sql.Format("%s WHERE Deleted = 0 ORDER BY Name", routines.GetDefaultSQL().GetString());
    AppendRecords(this, routines, sql, routines.m_Routine, list);
}

void CZENDatabase::GetAllRoutineProfiles(CObList& list)
{
    CZENDB_RoutineProfileRecordset profiles(this);
    AppendRecords(this, profiles, profiles.GetDefaultSQL(), profiles.m_RoutineProfile, list);
}

void CZENDatabase::GetAllRegistrationFields(CObList& list)
{
    CZENDB_RegistrationRecordset fields(this);
    CString sql;
    sql.Format("%s ORDER BY DisplayOrder", fields.GetDefaultSQL().GetString());
    AppendRecords(this, fields, sql, fields.m_RegistrationField, list);
}

namespace {

// Lower-case form of a code point for the scripts whose user names the
// stations have; others stay as they are.
uint32_t FoldCase(uint32_t c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    // Latin Extended-A: pairs upper/lower, even/odd in two runs, odd/even in two.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;
    if (c == 0x178)
        return 0xFF;
    if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

// The code points of a UTF-8 text; a byte that does not start a valid
// sequence stands for itself, so that such names still compare byte-exact.
std::vector<uint32_t> FoldedCodePoints(const CString& text)
{
    const std::string& bytes = text.Str();
    std::vector<uint32_t> points;
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t count = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t value = count == 1 ? lead : count == 2 ? (lead & 0x1Fu) : count == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
        bool valid = count > 0 && i + count <= bytes.size();
        for (size_t k = 1; valid && k < count; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3Fu);
        }
        if (!valid) {
            points.push_back(0x110000u + lead);   // outside Unicode: never folds onto a character
            ++i;
            continue;
        }
        points.push_back(FoldCase(value));
        i += count;
    }
    return points;
}

} // namespace

bool CZENDatabase::UserNamesMatch(const CString& a, const CString& b)
{
    return FoldedCodePoints(a) == FoldedCodePoints(b);
}

int CZENDatabase::AddUser(CString name, CString password, UserRoleType role)
{
    const CString storedName = Obvra_encode(name);
    const CString storedPassword = HashPassword(password);
    // One transaction from the look at the names to the insert: two stations
    // adding "op" and "OP" at the same time cannot both succeed.
    CTransaction transaction(*this);
    CZENDB_UserTableRecordset users(this);
    if (!users.Open(CRecordset::dynaset, users.GetDefaultSQL(), CRecordset::none)) {
        users.Close();
        return 0;
    }
    for (; !users.IsEOF(); users.MoveNext()) {
        CString stored = users.m_User.Field0;
        stored.TrimRight();
        const CString existing = Obvra_decode(stored);
        if (!existing.IsEmpty() && UserNamesMatch(existing, name)) {
            users.Close();
            return kUserNameTaken;
        }
    }
    users.AddNew();
    users.m_User.Field0 = storedName;
    users.m_User.Field1 = storedPassword;
    users.m_User.Field2 = role;
    users.Update();
    users.Close();
    CString roleText;
    roleText.Format("%d", static_cast<int>(role));
    zenaudit::Write(this, zenaudit::kInsert, "user", -1, name, "role", CString(), roleText);
    transaction.Commit();
    return 1;
}

int CZENDatabase::DeleteUser(CString name)
{
    const CString storedName = Obvra_encode(name);
    // The deletion and its audit entry: one transaction.
    CTransaction transaction(*this);
    CZENDB_UserTableRecordset users(this);
    CString sql;
    sql.Format("%s %s", users.GetDefaultSQL().GetString(), users.GetWhereSQL(storedName).GetString());
    if (!users.Open(CRecordset::dynaset, sql, CRecordset::none))
        return 0;
    // Only the first row with the name goes; without one, Delete raises the
    // database error that tells the caller so.
    users.Delete();
    users.Close();
    zenaudit::Write(this, zenaudit::kDelete, "user", -1, name);
    transaction.Commit();
    return 1;
}

short CZENDatabase::GetNofRegistrationFields()
{
    if (m_bRegistrationFieldCountKnown)
        return m_nRegistrationFieldCount;
    try {
        CRecordset fields(this);
        short count = 0;
        if (fields.Open(CRecordset::dynaset, "SELECT Control FROM Registration", CRecordset::none)) {
            // The record count covers the rows the cursor has passed.
            if (!fields.IsEOF()) {
                fields.MoveFirst();
                while (!fields.IsEOF())
                    fields.MoveNext();
            }
            count = static_cast<short>(fields.GetRecordCount());
            fields.Close();
        }
        m_nRegistrationFieldCount = count;
        m_bRegistrationFieldCountKnown = true;
        return count;
    } catch (CException& e) {
        // Not kept: the next call tries again.
        e.Delete();
        return m_nRegistrationFieldCount;
    }
}

bool CZENDatabase::GetRegistrationFieldNames(CStringList& names)
{
    try {
        CZENDB_RegistrationRecordset fields(this);
        CString sql;
        sql.Format("%s ORDER BY DisplayOrder", fields.GetDefaultSQL().GetString());
        if (fields.Open(CRecordset::dynaset, sql, CRecordset::none)) {
            while (!fields.IsEOF()) {
                CString control = fields.m_RegistrationField.Control;
                control.TrimRight();
                names.AddTail(control);
                fields.MoveNext();
            }
            fields.Close();
        }
        return true;
    } catch (CException& e) {
        e.Delete();
        return false;
    }
}

bool CZENDatabase::SetRegistrationFieldDisplayNumber(const CString& control, short position)
{
    const short maxPos = static_cast<short>(GetNofRegistrationFields() - 1);
    short target = position;
    if (target < 0)
        target = 0;
    if (target > maxPos)
        target = maxPos;

    // The renumbering runs in one transaction (a savepoint inside the
    // caller's), so that a failure half-way cannot leave two fields at one
    // position; the guard ends it on every path, also for exceptions that
    // are not the framework's.
    try {
        short current = 0;
        bool found = false;
        {
            CZENDB_RegistrationRecordset fields(this);
            CString sql;
            sql.Format("%s %s", fields.GetDefaultSQL().GetString(), fields.GetWhereSQL(control).GetString());
            if (fields.Open(CRecordset::dynaset, sql, CRecordset::none)) {
                if (!fields.IsEOF()) {
                    current = static_cast<short>(fields.m_RegistrationField.DisplayOrder);
                    found = true;
                }
                fields.Close();
            }
        }
        // Renumbering around a field that does not exist would leave two
        // fields at one position.
        if (!found)
            return false;
        if (current == target)
            return true;

        CTransaction transaction(*this);
        CString sql;
        // Each statement moves only the row that still holds p, beginning next
        // to the field's old position.
        if (current > target) {
            for (int p = current - 1; p >= target; --p) {
                sql.Format("UPDATE Registration SET DisplayOrder=%d WHERE DisplayOrder=%d", p + 1, p);
                ExecuteSQL(sql);
            }
        } else {
            for (int p = current + 1; p <= target; ++p) {
                sql.Format("UPDATE Registration SET DisplayOrder=%d WHERE DisplayOrder=%d", p - 1, p);
                ExecuteSQL(sql);
            }
        }
        sql.Format("UPDATE Registration SET DisplayOrder=%d WHERE Control='%s'", static_cast<int>(target),
                   SqlQuote(control).GetString());
        ExecuteSQL(sql);
        CString oldOrder;
        oldOrder.Format("%d", static_cast<int>(current));
        CString newOrder;
        newOrder.Format("%d", static_cast<int>(target));
        zenaudit::Write(this, zenaudit::kChange, "field", -1, control, "DisplayOrder", oldOrder, newOrder);
        transaction.Commit();
        return true;
    } catch (CException& e) {
        e.Delete();
        return false;
    }
}

bool CZENDatabase::GetLocalizedStandardFieldName(const CString& fieldName, CString& text)
{
    for (const StandardFieldName& field : kStandardFieldNames) {
        if (fieldName == field.name) {
            text.LoadString(field.stringId);
            text.TrimRight();
            return true;
        }
    }
    return false;
}
