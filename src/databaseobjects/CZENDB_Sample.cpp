// The sample record: construction, assignment, save/load/delete with the
// event-log trail of the save, the default pattern or routine, and the
// operations on the sample's profile runs and registration data.

#include "databaseobjects/CZENDB_Sample.h"

#include "companions/EventLog.h"
#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "databaseobjects/SampleSignatures.h"
#include "databaseobjects/internal/RecordOps.h"
#include "databaseobjects/internal/SampleIdentifier.h"
#include "framework/Translation.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/Transaction.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

using zendb_ops::DeleteEveryRow;
using zendb_ops::OpenDynaset;
using zendb_ops::ShowDatabaseError;

namespace {

constexpr const char* kModule = "databaseobjects";
constexpr const char* kSave = "CZENDB_Sample::Save";

// Deletes the first row of a default-test table that belongs to the sample.
template <class TSet>
void DeleteDefaultRow(TSet& rs, int32_t sampleID)
{
    if (OpenDynaset(rs, zendb_ops::KeySql(rs, sampleID)) && !rs.IsEOF())
        rs.Delete();
    rs.Close();
}

// The whole stored row of a sample, as the audit trail compares it.
CString SampleRowSql(int32_t sampleID)
{
    CString sql;
    sql.Format("SELECT * FROM Samples WHERE [SampleID] = %d", sampleID);
    return sql;
}

// The profile runs of a sample.
CString RunsOfSampleSql(int32_t sampleID)
{
    CString sql;
    sql.Format("%s WHERE SampleID=%d",
               CZENDB_SampleProfilesRunRecordset().GetDefaultSQL().GetString(), sampleID);
    return sql;
}

// Writes id into the sample's row of a default-test table (added when the
// sample has none). false when the open was refused.
template <class TSet>
bool WriteDefaultRow(CDatabase* database, int32_t sampleID, int32_t id, int32_t TSet::*idColumn)
{
    TSet rs(database);
    if (!OpenDynaset(rs, zendb_ops::KeySql(rs, sampleID)))
        return false;
    if (rs.IsEOF()) {
        rs.AddNew();
        rs.m_SampleID = sampleID;
    } else {
        rs.Edit();
    }
    rs.*idColumn = id;
    rs.Update();
    rs.Close();
    return true;
}

// The 27 registration fields by control name, in index order: the date fields
// RegistrationDate (5) and DueDate (7), texts everywhere else.
struct RegistrationTarget {
    const char* control;
    CString CZENDB_Sample::*text;
    CTime CZENDB_Sample::*date;
};

const RegistrationTarget kRegistrationTargets[] = {
    {"WorkOrder", &CZENDB_Sample::WorkOrder, nullptr},
    {"PartNo", &CZENDB_Sample::PartNo, nullptr},
    {"Detail", &CZENDB_Sample::Detail, nullptr},
    {"Customer", &CZENDB_Sample::Customer, nullptr},
    {"Material", &CZENDB_Sample::Material, nullptr},
    {"RegistrationDate", nullptr, &CZENDB_Sample::RegistrationDate},
    {"RegisteredBy", &CZENDB_Sample::RegisteredBy, nullptr},
    {"DueDate", nullptr, &CZENDB_Sample::DueDate},
    {"CustomField1", &CZENDB_Sample::CustomField1, nullptr},
    {"CustomField2", &CZENDB_Sample::CustomField2, nullptr},
    {"CustomField3", &CZENDB_Sample::CustomField3, nullptr},
    {"CustomField4", &CZENDB_Sample::CustomField4, nullptr},
    {"CustomField5", &CZENDB_Sample::CustomField5, nullptr},
    {"CustomField6", &CZENDB_Sample::CustomField6, nullptr},
    {"CustomField7", &CZENDB_Sample::CustomField7, nullptr},
    {"CustomField8", &CZENDB_Sample::CustomField8, nullptr},
    {"CustomField9", &CZENDB_Sample::CustomField9, nullptr},
    {"CustomField10", &CZENDB_Sample::CustomField10, nullptr},
    {"CustomField11", &CZENDB_Sample::CustomField11, nullptr},
    {"CustomField12", &CZENDB_Sample::CustomField12, nullptr},
    {"CustomField13", &CZENDB_Sample::CustomField13, nullptr},
    {"CustomField14", &CZENDB_Sample::CustomField14, nullptr},
    {"CustomField15", &CZENDB_Sample::CustomField15, nullptr},
    {"CustomField16", &CZENDB_Sample::CustomField16, nullptr},
    {"CustomField17", &CZENDB_Sample::CustomField17, nullptr},
    {"CustomField18", &CZENDB_Sample::CustomField18, nullptr},
    {"CustomField19", &CZENDB_Sample::CustomField19, nullptr},
};

// A registration value read from the Samples row as a list element: dates
// become local CTime values, texts stay texts; anything else (NULL among
// others) is an empty value of the field's kind.
std::unique_ptr<CSampleRegistrationField> MakeRegistrationElement(int32_t sampleID,
                                                                  const CZENDB_RegistrationField& field,
                                                                  const CDBVariant& value)
{
    switch (value.m_dwType) {
    case DBVT_DATE: {
        const TIMESTAMP_STRUCT& d = *value.m_pdate;
        const CTime date(d.year, d.month, d.day, d.hour, d.minute, d.second);
        return std::make_unique<CSampleRegistrationField>(sampleID, field, date);
    }
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING:
        return std::make_unique<CSampleRegistrationField>(sampleID, field, *value.m_pstring);
    default:
        if (field.Control == "RegistrationDate" || field.Control == "DueDate")
            return std::make_unique<CSampleRegistrationField>(sampleID, field, CTime(0));
        return std::make_unique<CSampleRegistrationField>(sampleID, field, CString());
    }
}

// Opens the samples of `database` on the first row whose UserSampleID
// equals `wanted` as Load compares it, and hands the recordset to read.
// false when there is none, or after a database error (shown).
template <class Read>
bool ReadByIdentifier(CDatabase* database, const CString& wanted, Read read)
{
    bool found = false;
    try {
        CZENDB_SamplesRecordset rs(database);
        CString sql = rs.GetDefaultSQL();
        sql.StdString() += " WHERE ";
        zendb_ident::AppendMatchCondition(sql.StdString(), wanted);
        if (OpenDynaset(rs, sql) && !rs.IsEOF()) {
            read(rs);
            found = true;
        }
        rs.Close();
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
    }
    return found;
}

} // namespace

CZENDB_Sample::CZENDB_Sample(CDatabase* database)
    : CZENDB_Object(database), SampleID(-1), RegistrationDate(0), DueDate(0), MeasuredDate(0),
      Signed(FALSE)
{
}

CZENDB_Sample::CZENDB_Sample(CDatabase* database, const CString& userSampleID)
    : CZENDB_Sample(database)
{
    UserSampleID = userSampleID;
}

CZENDB_Sample& CZENDB_Sample::operator=(const CZENDB_Sample& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        SampleID = other.SampleID;
    UserSampleID = other.UserSampleID;
    WorkOrder = other.WorkOrder;
    PartNo = other.PartNo;
    Detail = other.Detail;
    Material = other.Material;
    RegistrationDate = other.RegistrationDate;
    DueDate = other.DueDate;
    RegisteredBy = other.RegisteredBy;
    MeasuredBy = other.MeasuredBy;
    Customer = other.Customer;
    MeasuredDate = other.MeasuredDate;
    Signed = other.Signed;
    Signature = other.Signature;
    PatternName = other.PatternName;
    RoutineName = other.RoutineName;
    CustomField1 = other.CustomField1;
    CustomField2 = other.CustomField2;
    CustomField3 = other.CustomField3;
    CustomField4 = other.CustomField4;
    CustomField5 = other.CustomField5;
    CustomField6 = other.CustomField6;
    CustomField7 = other.CustomField7;
    CustomField8 = other.CustomField8;
    CustomField9 = other.CustomField9;
    CustomField10 = other.CustomField10;
    CustomField11 = other.CustomField11;
    CustomField12 = other.CustomField12;
    CustomField13 = other.CustomField13;
    CustomField14 = other.CustomField14;
    CustomField15 = other.CustomField15;
    CustomField16 = other.CustomField16;
    CustomField17 = other.CustomField17;
    CustomField18 = other.CustomField18;
    CustomField19 = other.CustomField19;
    Trace = other.Trace;
    return *this;
}

bool CZENDB_Sample::Save()
{
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
    if (Save(outcome))
        return true;
    if (outcome == ESampleSaveOutcome::IdentifierTaken)
        AfxMessageBox(IdentifierTakenMessage(UserSampleID));
    return false;
}

CString CZENDB_Sample::IdentifierTakenMessage(const CString& userSampleID)
{
    CString text;
    text.Format(ZenTranslate(kZenTextDomain, "message",
                             "The sample identifier '%s' is taken by another sample; the sample was not saved."),
                userSampleID.GetString());
    return text;
}

bool CZENDB_Sample::Save(ESampleSaveOutcome& outcome)
{
    outcome = ESampleSaveOutcome::Failed;
    if (Database == nullptr)
        return false;
    try {
        // The check and the write form one transaction: between them no other
        // connection can store the identifier. Declared before the recordset,
        // so the recordset is closed before a rollback.
        CTransaction transaction(*Database);
        // The steps up to the first write are written together, before that
        // write runs (as a list keeps its rows' entries across its reads): a
        // save that hangs or dies in a write still has every step before it
        // in the log.
        std::optional<CEventLogBatch> steps(std::in_place);
        ZEN_LOG_EVENT(kModule, kSave, "Creating CZENDB_SamplesRecordset...");
        CZENDB_SamplesRecordset rs(Database);
        ZEN_LOG_EVENT(kModule, kSave, "Formating the SQL string to be used...");
        const CString sql = zendb_ops::KeySql(rs, SampleID);
        ZEN_LOG_EVENT(kModule, kSave, "SQL string is equal to '%s'. Opening recordset...",
                      sql.GetString());
        if (!OpenDynaset(rs, sql))
            return false;
        ZEN_LOG_EVENT(kModule, kSave, "Successfully opened recordset!");
        const bool update = SampleID > 0 && !rs.IsEOF();
        // Rows that share an identifier from before the unique index stay
        // editable: an update is checked only when it renames the sample.
        const bool check = !UserSampleID.IsEmpty() &&
                           (!update || rs.m_Sample.UserSampleID != UserSampleID);
        if (check && IdentifierTakenByOther(update ? SampleID : -1)) {
            outcome = ESampleSaveOutcome::IdentifierTaken;
            return false;
        }
        if (update) {
            ZEN_LOG_EVENT(kModule, kSave,
                          "Sample already existed in DB, trying to update existing record...");
            const bool audited = zenaudit::IsActive(Database);
            const bool locked = dynamic_cast<CSignatureSession*>(Database) != nullptr;
            const bool compare = audited || locked;
            const CAuditRow before = compare ? zenaudit::ReadRow(*Database, SampleRowSql(SampleID)) : CAuditRow();
            const BOOL storedSigned = rs.m_Sample.Signed;
            const CString storedSignature = rs.m_Sample.Signature;
            rs.Edit();
            rs.SetSample(*this, false);
            // Under a session a signature is given by SignSample and taken
            // back by a change only: an object loaded before either happened
            // must not write its stale sign-off state back.
            if (locked) {
                rs.m_Sample.Signed = storedSigned;
                rs.m_Sample.Signature = storedSignature;
            }
            steps.reset();
            rs.Update();
            rs.Close();
            if (compare) {
                std::vector<CAuditEntry> changes =
                    zenaudit::Changes("sample", SampleID, UserSampleID, before,
                                      zenaudit::ReadRow(*Database, SampleRowSql(SampleID)), {"SampleID"}, {}, "Signed");
                if (locked) {
                    std::vector<CString> columns;
                    for (const CAuditEntry& change : changes)
                        columns.push_back(change.FieldName);
                    bool withdrawn = false;
                    if (!zensign::OnSampleChange(Database, SampleID, columns, false, m_strRefusal, &withdrawn)) {
                        outcome = ESampleSaveOutcome::Refused;
                        ZEN_LOG_EVENT(kModule, kSave, "Refused: %s", m_strRefusal.GetString());
                        AfxMessageBox(m_strRefusal);
                        return false;
                    }
                    Signed = withdrawn ? FALSE : storedSigned;
                    Signature = withdrawn ? CString() : storedSignature;
                    if (withdrawn)
                        changes = zenaudit::Changes("sample", SampleID, UserSampleID, before,
                                                    zenaudit::ReadRow(*Database, SampleRowSql(SampleID)), {"SampleID"},
                                                    {}, "Signed");
                }
                if (audited)
                    zenaudit::Write(Database, changes, &transaction);
            }
            ZEN_LOG_EVENT(kModule, kSave, "Updated recordset successfully!");
            transaction.Commit();
            outcome = ESampleSaveOutcome::Saved;
            return true;
        } else {
            ZEN_LOG_EVENT(kModule, kSave, "Sample did not exist, creating a new record...");
            rs.AddNew();
            rs.SetSample(*this, true);
            steps.reset();
            rs.Update();
            int32_t newKey = -1;
            if (!rs.GetAddedKey("SampleID", newKey)) {
                // Rows added through the recordset come after the statement's rows.
                rs.MoveLast();
                if (rs.IsEOF())
                    return false;
                newKey = rs.GetSampleID();
            }
            rs.Close();
            zenaudit::Write(Database, transaction, zenaudit::kInsert, "sample", newKey, UserSampleID);
            transaction.Commit();
            SampleID = newKey;
            ZEN_LOG_EVENT(kModule, kSave, "Added new recordset successfully!");
            outcome = ESampleSaveOutcome::Saved;
            return true;
        }
    } catch (CDBException& e) {
        // The unique index refused the row: another connection stored the
        // identifier in a way the check could not see (a program that writes
        // without this check). Nothing was written.
        if (zendb_ident::IsConstraintViolation(e)) {
            e.Delete();
            outcome = ESampleSaveOutcome::IdentifierTaken;
            return false;
        }
        ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_Sample::IdentifierTakenByOther(int32_t ownKey)
{
    // The match of zendb_ident::AppendMatchCondition for an identifier that
    // is not empty, with the identifier and the key as values: one prepared
    // statement serves every save.
    std::vector<CDBVariant> values(2);
    values[0].SetString(CString(UserSampleID.GetString())); // up to a NUL, as the condition takes it
    values[1].SetLong(ownKey);
    std::vector<CString> row;
    return Database->QueryFirstRow("SELECT [SampleID] FROM Samples WHERE [UserSampleID] = ? COLLATE NOCASE AND "
                                   "[UserSampleID] <> ('') AND [SampleID] <> ?",
                                   values, row) != FALSE;
}

bool CZENDB_Sample::Load(const CString& userSampleID)
{
    if (Database == nullptr)
        return false;
    // A copy: the argument may be this sample's own UserSampleID, which the
    // row overwrites.
    const CString wanted = userSampleID;
    return ReadByIdentifier(Database, wanted, [this](CZENDB_SamplesRecordset& rs) {
        KeepConnection = true;
        rs.GetSample(*this);
    });
}

bool CZENDB_Sample::FindKey(CDatabase* database, const CString& userSampleID, int32_t& sampleID)
{
    if (database == nullptr)
        return false;
    return ReadByIdentifier(database, userSampleID,
                            [&sampleID](CZENDB_SamplesRecordset& rs) { sampleID = rs.ReadSample().SampleID; });
}

bool CZENDB_Sample::Load(int32_t sampleID)
{
    if (Database == nullptr)
        return false;
    bool loaded = false;
    try {
        CZENDB_SamplesRecordset rs(Database);
        if (OpenDynaset(rs, zendb_ops::KeySql(rs, sampleID)) && !rs.IsEOF()) {
            KeepConnection = true;
            rs.GetSample(*this);
            SampleID = sampleID;
            loaded = true;
        }
        rs.Close();
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
    }
    return loaded;
}

bool CZENDB_Sample::DeleteOwnRows()
{
    CZENDB_SamplesRecordset samples(Database);
    CZENDB_DefaultProfileToUseRecordset defaultPatterns(Database);
    CZENDB_DefaultRoutineToUseRecordset defaultRoutines(Database);
    DeleteDefaultRow(defaultPatterns, SampleID);
    DeleteDefaultRow(defaultRoutines, SampleID);
    bool deleted = false;
    if (OpenDynaset(samples, zendb_ops::KeySql(samples, SampleID)) && !samples.IsEOF()) {
        samples.Delete();
        deleted = true;
    }
    samples.Close();
    return deleted;
}

bool CZENDB_Sample::Delete()
{
    return DeleteInTransaction(false);
}

bool CZENDB_Sample::DeleteWithRuns()
{
    return DeleteInTransaction(true);
}

bool CZENDB_Sample::DeleteInTransaction(bool withRuns)
{
    if (Database == nullptr)
        return false;
    bool deleted = false;
    try {
        // Joins a transaction the caller began (a savepoint), so a caller can
        // delete the sample together with other rows atomically.
        CTransaction transaction(*Database);
        if (!zensign::OnSampleChange(Database, SampleID, {}, true, m_strRefusal)) {
            ZEN_LOG_EVENT(kModule, "CZENDB_Sample::Delete", "Refused: %s", m_strRefusal.GetString());
            AfxMessageBox(m_strRefusal);
            return false;
        }
        if (withRuns && !DeleteRunsAndIndents())
            return false;
        deleted = DeleteOwnRows();
        if (deleted) {
            zensign::ForgetSample(*Database, SampleID);
            zenaudit::Write(Database, zenaudit::kDelete, "sample", SampleID, UserSampleID);
        }
        transaction.Commit();
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
        return false;
    } catch (CException& e) {
        e.Delete();
        return false;
    }
    if (deleted)
        *this = CZENDB_Sample(Database);
    return deleted;
}

bool CZENDB_Sample::DeleteRunsAndIndents()
{
    // The keys first, so that no recordset stays open while rows of its own
    // table go.
    std::vector<int32_t> runKeys;
    std::vector<int32_t> runNumbers;
    {
        CZENDB_SampleProfilesRunRecordset runs(Database);
        if (!OpenDynaset(runs, RunsOfSampleSql(SampleID)))
            return false;
        for (; !runs.IsEOF(); runs.MoveNext()) {
            runKeys.push_back(runs.m_ProfileRun.ProfileID);
            runNumbers.push_back(runs.m_ProfileRun.ProfileNr);
        }
        runs.Close();
    }
    if (zenaudit::IsActive(Database)) {
        std::vector<CAuditEntry> entries;
        for (size_t i = 0; i < runKeys.size(); ++i)
            entries.push_back(
                CZENDB_SampleProfileRun::DeletionEntry(*Database, runKeys[i], runNumbers[i], UserSampleID));
        zenaudit::Write(Database, entries);
    }
    for (const int32_t profileID : runKeys) {
        CZENDB_IndentsRunRecordset indents(Database);
        CString sql;
        sql.Format("%s WHERE ProfileID=%d", indents.GetDefaultSQL().GetString(), profileID);
        if (!DeleteEveryRow(indents, sql))
            return false;
    }
    CZENDB_SampleProfilesRunRecordset runs(Database);
    return DeleteEveryRow(runs, RunsOfSampleSql(SampleID));
}

bool CZENDB_Sample::DeleteAllSampleProfilesRun()
{
    if (Database == nullptr)
        return false;
    const bool locked = dynamic_cast<CSignatureSession*>(Database) != nullptr;
    if (!zenaudit::IsActive(Database) && !locked)
        return zendb_ops::DeleteAllRows<CZENDB_SampleProfilesRunRecordset>(Database, RunsOfSampleSql(SampleID));
    try {
        CTransaction transaction(*Database);
        std::vector<CAuditEntry> entries;
        {
            CZENDB_SampleProfilesRunRecordset runs(Database);
            if (!OpenDynaset(runs, RunsOfSampleSql(SampleID)))
                return false;
            for (; !runs.IsEOF(); runs.MoveNext())
                entries.push_back(CZENDB_SampleProfileRun::DeletionEntry(*Database, runs.m_ProfileRun.ProfileID,
                                                                         runs.m_ProfileRun.ProfileNr, UserSampleID));
            runs.Close();
        }
        if (!entries.empty() && !zensign::OnSampleChange(Database, SampleID, {CString("runs")}, false, m_strRefusal)) {
            AfxMessageBox(m_strRefusal);
            return false;
        }
        if (!zendb_ops::DeleteAllRows<CZENDB_SampleProfilesRunRecordset>(Database, RunsOfSampleSql(SampleID)))
            return false;
        zenaudit::Write(Database, entries);
        transaction.Commit();
        return true;
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_Sample::GetProfiles(int32_t sampleID, CObList& runs)
{
    return zendb_ops::ListRows(Database, RunsOfSampleSql(sampleID),
                               &CZENDB_SampleProfilesRunRecordset::m_ProfileRun, runs, true);
}

bool CZENDB_Sample::GetDefaultProfileOrRoutine(bool& isRoutine, int32_t& id)
{
    if (Database == nullptr)
        return false;
    bool found = false;
    {
        CZENDB_DefaultProfileToUseRecordset rs(Database);
        if (OpenDynaset(rs, zendb_ops::KeySql(rs, SampleID))) {
            if (!rs.IsEOF()) {
                id = rs.m_UseProfileTypeID;
                isRoutine = false;
                found = true;
            }
            rs.Close();
        }
    }
    if (!found) {
        CZENDB_DefaultRoutineToUseRecordset rs(Database);
        if (OpenDynaset(rs, zendb_ops::KeySql(rs, SampleID))) {
            if (!rs.IsEOF()) {
                id = rs.m_UseRoutineTypeID;
                isRoutine = true;
                found = true;
            }
            rs.Close();
        }
    }
    return found;
}

bool CZENDB_Sample::SetDefaultProfileOrRoutine(bool isRoutine, int32_t id)
{
    // A sample not stored yet has no key to file the default under: a row
    // under -1 would become the default of every other unsaved sample.
    if (Database == nullptr || SampleID < 1)
        return false;
    if (isRoutine)
        return WriteDefaultRow(Database, SampleID, id,
                               &CZENDB_DefaultRoutineToUseRecordset::m_UseRoutineTypeID);
    return WriteDefaultRow(Database, SampleID, id,
                           &CZENDB_DefaultProfileToUseRecordset::m_UseProfileTypeID);
}

bool CZENDB_Sample::GetSampleRegistrationData(CObList& fields)
{
    if (Database == nullptr)
        return false;
    try {
        CZENDB_SamplesRecordset samples(Database);
        CZENDB_RegistrationRecordset definitions(Database);
        if (!OpenDynaset(samples, zendb_ops::KeySql(samples, SampleID)) || samples.IsEOF())
            return false;
        CString sql;
        sql.Format("%s ORDER BY DisplayOrder", definitions.GetDefaultSQL().GetString());
        if (!OpenDynaset(definitions, sql))
            return false;
        while (!definitions.IsEOF()) {
            CZENDB_RegistrationField field = definitions.m_RegistrationField;
            field.Control.TrimRight();
            CDBVariant value;
            samples.GetFieldValue(field.Control.GetString(), value);
            std::unique_ptr<CSampleRegistrationField> element =
                MakeRegistrationElement(SampleID, field, value);
            element->Field.Database = Database;
            fields.AddTail(element.release());
            definitions.MoveNext();
        }
        definitions.Close();
        samples.Close();
        return true;
    } catch (CDBException& e) {
        e.Delete();
        return false;
    }
}

bool CZENDB_Sample::SetSampleRegistrationData(CObList& fields)
{
    POSITION pos = fields.GetHeadPosition();
    while (pos != nullptr) {
        const auto* element = dynamic_cast<const CSampleRegistrationField*>(fields.GetNext(pos));
        if (element == nullptr)
            continue;
        for (const RegistrationTarget& target : kRegistrationTargets) {
            if (element->Field.Control != target.control)
                continue;
            if (target.date != nullptr)
                this->*target.date = element->Date;
            else
                this->*target.text = element->Text;
            break;
        }
    }
    return true;
}

bool CZENDB_Sample::GetHasIndentData(int& hasData)
{
    if (Database == nullptr)
        return false;
    hasData = 0;
    CObList runs(10);
    // The runs belong to this operation whatever happens below.
    struct CRunsOwner {
        CObList& list;
        ~CRunsOwner()
        {
            POSITION pos = list.GetHeadPosition();
            while (pos != nullptr)
                delete list.GetNext(pos);
            list.RemoveAll();
        }
    } owner{runs};
    // A failed read must not pass for "no data": callers decide on it (a
    // sample without data may be signed only when forced), so it is false.
    if (!GetProfiles(SampleID, runs))
        return false;
    POSITION pos = runs.GetHeadPosition();
    while (pos != nullptr) {
        auto* run = dynamic_cast<CZENDB_SampleProfileRun*>(runs.GetNext(pos));
        if (run == nullptr)
            continue;
        int hasIndents = 0;
        if (!run->GetHasMadeIndents(hasIndents)) {
            // Stop at the first failure: the error has been shown once.
            hasData = 0;
            return false;
        }
        if (hasIndents != 0)
            hasData = 1;
    }
    return true;
}
