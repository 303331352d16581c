// Registration field definitions and per-sample registration values:
// construction, assignment and the definitions' database operations.

#include "databaseobjects/CZENDB_RegistrationField.h"

#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/internal/RecordOps.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

CZENDB_RegistrationField::CZENDB_RegistrationField() : CZENDB_RegistrationField(nullptr)
{
}

CZENDB_RegistrationField::CZENDB_RegistrationField(CDatabase* database)
    : CZENDB_Object(database), Visible(FALSE), DisplayOrder(-1)
{
}

CZENDB_RegistrationField& CZENDB_RegistrationField::operator=(const CZENDB_RegistrationField& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    Control = other.Control;
    Visible = other.Visible;
    DisplayOrder = other.DisplayOrder;
    return *this;
}

bool CZENDB_RegistrationField::Save()
{
    if (Database == nullptr)
        return false;
    try {
        // Before the recordset, so that the recordset is closed before a rollback.
        CTransaction transaction(*Database);
        CZENDB_RegistrationRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, Control)))
            return false;
        bool saved = false;
        if (!Control.IsEmpty() && !rs.IsEOF()) {
            const BOOL before = rs.m_RegistrationField.Visible;
            rs.Edit();
            rs.m_RegistrationField.Visible = Visible;
            rs.Update();
            saved = true;
            if ((before != FALSE) != (Visible != FALSE))
                zenaudit::Write(Database, zenaudit::kChange, "field", -1, Control, "Visible",
                                before != FALSE ? "1" : "0", Visible != FALSE ? "1" : "0");
        }
        rs.Close();
        transaction.Commit();
        return saved;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_RegistrationField::Load(const CString& control)
{
    if (Database == nullptr)
        return false;
    // A copy: the argument may be this field's own Control, which the row
    // overwrites.
    const CString wanted = control;
    bool loaded = false;
    try {
        CZENDB_RegistrationRecordset rs(Database);
        if (zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, wanted)) && !rs.IsEOF()) {
            KeepConnection = true;
            *this = rs.m_RegistrationField;
            Control = wanted;
            loaded = true;
        }
        rs.Close();
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
    }
    return loaded;
}

CString CZENDB_RegistrationField::GetDescription()
{
    if (Database == nullptr)
        return CString();
    CString description = Control;
    try {
        CZENDB_RegistrationDescriptionsRecordset rs(Database);
        if (zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, Control)) && !rs.IsEOF())
            description = rs.m_Description;
        rs.Close();
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return CString();
    }
    description.TrimRight();
    return description;
}

bool CZENDB_RegistrationField::SetDescription(const CString& description)
{
    if (Database == nullptr)
        return false;
    try {
        // Before the recordset, so that the recordset is closed before a rollback.
        CTransaction transaction(*Database);
        CZENDB_RegistrationDescriptionsRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, Control)))
            return false;
        bool saved = false;
        if (!Control.IsEmpty() && !rs.IsEOF()) {
            CString before = rs.m_Description;
            before.TrimRight();
            rs.Edit();
            rs.m_Description = description;
            rs.Update();
            saved = true;
            if (before != description)
                zenaudit::Write(Database, zenaudit::kChange, "field", -1, Control, "Description", before,
                                description);
        }
        rs.Close();
        transaction.Commit();
        return saved;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

CSampleRegistrationField::CSampleRegistrationField(int32_t sampleID,
                                                   const CZENDB_RegistrationField& field,
                                                   const CString& text)
    : SampleID(sampleID), Text(text), Date(0), Date2(0), IsText(TRUE)
{
    Field = field;
}

CSampleRegistrationField::CSampleRegistrationField(int32_t sampleID,
                                                   const CZENDB_RegistrationField& field,
                                                   const CTime& date)
    : SampleID(sampleID), Date(date), Date2(0), IsText(FALSE)
{
    Field = field;
}

CSampleRegistrationField::CSampleRegistrationField(int32_t sampleID,
                                                   const CZENDB_RegistrationField& field,
                                                   const CTime& from, const CTime& to)
    : SampleID(sampleID), Date(from), Date2(to), IsText(FALSE)
{
    Field = field;
}
