// Registration and editing of samples: filling the inputs from the sample or
// from the next free identifier, checking the identifier, saving through the
// sample record, and registering numbered batches.
#include "dialogs/RegisterSampleDlg.h"

#include "companions/StringUtilities.h"
#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "dialogs/BatchCreateDlg.h"
#include "dialogs/ChangeReasonDlg.h"
#include "dialogs/internal/DialogText.h"
#include "framework/AppProfile.h"
#include "framework/CStringList.h"
#include "framework/Exceptions.h"
#include "framework/UIHost.h"

#include <cstdlib>

IMPLEMENT_DYNAMIC(CRegisterSampleDlg, CSampleDlg)

namespace {

constexpr const char* kPatternPrefix = "P: ";
constexpr const char* kRoutinePrefix = "M: ";
constexpr int kWrapWidth = 80;

// A new value element for a field definition, with the value of another.
CSampleRegistrationField* CopyValue(int32_t sampleID, const CZENDB_RegistrationField& field,
                                    const CSampleRegistrationField& value)
{
    if (value.IsText)
        return new CSampleRegistrationField(sampleID, field, value.Text);
    return new CSampleRegistrationField(sampleID, field, value.Date);
}

CString JoinList(const CStringList& list)
{
    CString joined;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        if (!joined.IsEmpty())
            joined += ", ";
        joined += list.GetNext(pos);
    }
    return joined;
}

} // namespace

CRegisterSampleDlg::CRegisterSampleDlg(CZENDatabase* pDatabase, int32_t sampleKey, CWnd* pParent)
    : CSampleDlg(IDD_REGISTER_SAMPLE, pDatabase, pParent), m_Sample(pDatabase), m_nSampleKey(sampleKey),
      m_bEditing(sampleKey != -1)
{
    m_Sample.SampleID = sampleKey;
    m_strNextUserSampleID =
        AfxGetApp()->GetProfileString(ZEN_PROFILE_REGISTER_SECTION, ZEN_PROFILE_REGISTER_NEXT_ID, "");
    if (m_pDatabase != nullptr) {
        int32_t key = -1;
        while (m_pDatabase->SampleExist(m_strNextUserSampleID, key))
            m_strNextUserSampleID = IncLastNumberInString(m_strNextUserSampleID);
    }
}

CRegisterSampleDlg::~CRegisterSampleDlg()
{
    DeleteSampleFields();
    DeleteRememberedValues();
    AfxGetApp()->WriteProfileString(ZEN_PROFILE_REGISTER_SECTION, ZEN_PROFILE_REGISTER_NEXT_ID, m_strNextUserSampleID);
}

void CRegisterSampleDlg::SetDatabase(CZENDatabase* pDatabase)
{
    CSampleDlg::SetDatabase(pDatabase);
    m_Sample.Database = pDatabase;
}

void CRegisterSampleDlg::AddPreset(const CString& fieldName, CObject* value)
{
    m_Presets.SetAt(fieldName, value);
}

BOOL CRegisterSampleDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!PrepareOpening())
        return TRUE;
    // Registering and editing are one right; a session without it sees
    // the refusal instead of a form it could not store.
    if (!zendlg::ActionAllowedOrShown(m_pDatabase, ZENACT_RegisterSample)) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    if (m_bEditing) {
        for (int id : {IDC_REGISTER_SAMPLE, IDC_REGISTER_BATCH, IDC_CLEAR_FIELDS}) {
            if (CWnd* button = GetDlgItem(id)) {
                button->EnableWindow(FALSE);
                button->ShowWindow(SW_HIDE);
            }
        }
    }
    SetWindowText(LoadResString(m_bEditing ? 13009 : 13008));
    BuildControls();
    FillControls(FALSE);
    return TRUE;
}

void CRegisterSampleDlg::BuildControls()
{
    SetDlgItemText(IDC_SAMPLE_ID_LABEL, LoadResString(13011));
    for (int i = 0; i < GetNofRegistrationFields() && i < ZEN_FIELD_ROWS; ++i) {
        const CZENDB_RegistrationField& field = *GetRegistrationField(i);
        if (!ShowsField(i) || zendlg::IsDateFieldName(field.Control))
            continue;
        CZENDB_RegistrationField definition(field);
        const int size = GetColumnSize(field.Control);
        CString label;
        label.Format("%s (%d)", zendlg::FieldLabel(definition.GetDescription()).GetString(), size);
        SetDlgItemText(IDC_FIELD_LABEL_FIRST + i, label);
        if (auto* edit = dynamic_cast<CEdit*>(GetFieldInput(i)))
            edit->SetLimitText(static_cast<UINT>(size));
    }
    LayOutRows();

    auto* combo = GetDlgItemAs<CComboBox>(IDC_DEFAULT_TEST);
    if (combo == nullptr)
        return;
    combo->ResetContent();
    CObList patterns;
    CObList routines;
    try {
        m_pDatabase->GetAllPatterns(patterns);
        m_pDatabase->GetAllRoutines(routines);
    } catch (const CDBException& error) {
        AfxMessageBox(error.GetMessageText());
    }
    while (!patterns.IsEmpty()) {
        auto* pattern = static_cast<CZENDB_Pattern*>(patterns.RemoveHead());
        const int index = combo->AddString(CString(kPatternPrefix) + pattern->Name);
        combo->SetItemData(index, static_cast<UINT_PTR>(static_cast<uint32_t>(pattern->PatternID)));
        delete pattern;
    }
    while (!routines.IsEmpty()) {
        auto* routine = static_cast<CZENDB_Routine*>(routines.RemoveHead());
        const int index = combo->AddString(CString(kRoutinePrefix) + routine->Name);
        combo->SetItemData(index, static_cast<UINT_PTR>(static_cast<uint32_t>(routine->RoutineTypeID)));
        delete routine;
    }
}

void CRegisterSampleDlg::SetSampleKey(int32_t key)
{
    m_nSampleKey = key;
    m_Sample.SampleID = key;
}

int32_t CRegisterSampleDlg::KeyOf(const CString& userSampleID)
{
    int32_t key = -1;
    if (m_pDatabase == nullptr || !m_pDatabase->SampleExist(userSampleID, key))
        return -1;
    return key;
}

CSampleRegistrationField* CRegisterSampleDlg::FindSampleField(const CString& name) const
{
    for (POSITION pos = m_SampleFields.GetHeadPosition(); pos != nullptr;) {
        auto* value = static_cast<CSampleRegistrationField*>(m_SampleFields.GetNext(pos));
        if (value->Field.Control == name)
            return value;
    }
    return nullptr;
}

void CRegisterSampleDlg::DeleteSampleFields()
{
    while (!m_SampleFields.IsEmpty())
        delete m_SampleFields.RemoveHead();
}

void CRegisterSampleDlg::DeleteRememberedValues()
{
    for (POSITION pos = m_RememberedValues.GetStartPosition(); pos != nullptr;) {
        CString name;
        CObject* value = nullptr;
        m_RememberedValues.GetNextAssoc(pos, name, value);
        delete value;
    }
    m_RememberedValues.RemoveAll();
}

void CRegisterSampleDlg::MakeFreshFieldValues(CObList& values)
{
    for (POSITION pos = m_RegistrationFields.GetHeadPosition(); pos != nullptr;) {
        const auto& field = *static_cast<CZENDB_RegistrationField*>(m_RegistrationFields.GetNext(pos));
        CSampleRegistrationField* value = nullptr;
        if (field.Control == "RegistrationDate" || field.Control == "DueDate")
            value = new CSampleRegistrationField(-1, field, field.Visible ? CTime::GetCurrentTime() : CTime(0));
        else
            value = new CSampleRegistrationField(-1, field, CString());
        CObject* given = nullptr;
        if (m_Presets.Lookup(field.Control, given) && given != nullptr) {
            CSampleRegistrationField* replaced = CopyValue(-1, field, *static_cast<CSampleRegistrationField*>(given));
            delete value;
            value = replaced;
        } else if (m_RememberedValues.Lookup(field.Control, given) && given != nullptr) {
            CSampleRegistrationField* replaced = CopyValue(-1, field, *static_cast<CSampleRegistrationField*>(given));
            delete value;
            value = replaced;
        }
        values.AddTail(value);
    }
}

void CRegisterSampleDlg::ReadInputs(CObList& values)
{
    for (int i = 0; i < GetNofRegistrationFields() && i < ZEN_FIELD_ROWS; ++i) {
        if (!ShowsField(i))
            continue;
        const CString& name = GetRegistrationField(i)->Control;
        CSampleRegistrationField* value = nullptr;
        for (POSITION pos = values.GetHeadPosition(); pos != nullptr && value == nullptr;) {
            auto* candidate = static_cast<CSampleRegistrationField*>(values.GetNext(pos));
            if (candidate->Field.Control == name)
                value = candidate;
        }
        if (value == nullptr)
            continue;
        if (auto* picker = dynamic_cast<CDateTimeCtrl*>(GetFieldInput(i))) {
            // A picker cleared by the user means "no date" (CTime 0).
            CTime date;
            value->Date = picker->GetTime(date) == GDT_VALID ? date : CTime(0);
        } else {
            value->Text = GetDlgItemText(IDC_FIELD_INPUT_FIRST + i);
            value->Text.TrimRight();
        }
    }
}

bool CRegisterSampleDlg::GetChosenTest(bool& isRoutine, int32_t& testKey)
{
    const auto* combo = GetDlgItemAs<CComboBox>(IDC_DEFAULT_TEST);
    if (combo == nullptr || combo->GetCurSel() == CB_ERR)
        return false;
    isRoutine = combo->GetLBText(combo->GetCurSel()).Left(3) == kRoutinePrefix;
    testKey = static_cast<int32_t>(static_cast<uint32_t>(combo->GetItemData(combo->GetCurSel())));
    return true;
}

CString CRegisterSampleDlg::NextFreeUserSampleID(CString id)
{
    int32_t found = -1;
    while (m_pDatabase->SampleExist(id, found))
        id = IncLastNumberInString(id);
    return id;
}

void CRegisterSampleDlg::FillControls(BOOL bClear)
{
    if (m_pDatabase == nullptr) {
        AfxMessageBox(13006);
        return;
    }
    DeleteSampleFields();
    auto* combo = GetDlgItemAs<CComboBox>(IDC_DEFAULT_TEST);

    if (!m_bEditing) {
        m_strNextUserSampleID = NextFreeUserSampleID(m_strNextUserSampleID);
        // A new sample starts empty: nothing of a sample edited before (its
        // measurement, signature or trace) may pass into it.
        const CZENDB_Sample fresh(m_pDatabase);
        m_Sample = fresh;
        m_Sample.UserSampleID = m_strNextUserSampleID;
        SetSampleKey(-1);
        MakeFreshFieldValues(m_SampleFields);
    } else {
        m_Sample.Load(m_nSampleKey);
        m_Sample.GetSampleRegistrationData(m_SampleFields);
        for (POSITION pos = m_SampleFields.GetHeadPosition(); pos != nullptr;) {
            auto* value = static_cast<CSampleRegistrationField*>(m_SampleFields.GetNext(pos));
            value->Field.Control.TrimRight();
            value->Text.TrimRight();
        }
        bool isRoutine = false;
        int32_t testKey = -1;
        CString entry;
        try {
            if (m_Sample.GetDefaultProfileOrRoutine(isRoutine, testKey)) {
                if (isRoutine) {
                    CZENDB_Routine routine(m_pDatabase);
                    if (routine.Load(testKey))
                        entry = CString(kRoutinePrefix) + routine.Name;
                } else {
                    CZENDB_Pattern pattern(m_pDatabase);
                    if (pattern.Load(testKey))
                        entry = CString(kPatternPrefix) + pattern.Name;
                }
            }
        } catch (const CDBException& error) {
            AfxMessageBox(error.GetMessageText());
        }
        if (combo != nullptr)
            combo->SetCurSel(entry.IsEmpty() ? -1 : combo->FindStringExact(-1, entry));
    }

    for (int i = 0; i < GetNofRegistrationFields() && i < ZEN_FIELD_ROWS; ++i) {
        if (!ShowsField(i))
            continue;
        const CSampleRegistrationField* value = FindSampleField(GetRegistrationField(i)->Control);
        if (value == nullptr)
            continue;
        if (auto* picker = dynamic_cast<CDateTimeCtrl*>(GetFieldInput(i)))
            picker->SetTime(value->Date);
        else
            SetDlgItemText(IDC_FIELD_INPUT_FIRST + i, bClear ? CString() : value->Text);
    }
    SetDlgItemText(IDC_SAMPLE_ID, m_Sample.UserSampleID);
}

bool CRegisterSampleDlg::CheckUserSampleID(int32_t& otherKey)
{
    const CString& id = m_Sample.UserSampleID;
    // A single quote cannot be looked up (it would break the statement), so
    // such an identifier is as invalid as an empty one.
    if (id.IsEmpty() || id.Find('\'') >= 0) {
        otherKey = -1;
        return false;
    }
    int32_t found = -1;
    if (m_pDatabase->SampleExist(id, found) && found != m_nSampleKey) {
        otherKey = found;
        return false;
    }
    return true;
}

void CRegisterSampleDlg::StartEditing(int32_t key)
{
    SetSampleKey(key);
    m_bEditing = true;
    SetWindowText(LoadResString(13009));
    FillControls(FALSE);
}

bool CRegisterSampleDlg::SaveSample()
{
    if (m_pDatabase == nullptr) {
        AfxMessageBox(13006);
        return false;
    }
    if (!zendlg::ActionAllowedOrShown(m_pDatabase, ZENACT_RegisterSample))
        return false;
    m_Sample.UserSampleID = GetDlgItemText(IDC_SAMPLE_ID);
    int32_t otherKey = -1;
    if (!CheckUserSampleID(otherKey)) {
        if (otherKey == -1) {
            AfxMessageBox(13022, MB_ICONERROR);
        } else if (AfxMessageBox(13021, MB_YESNO | MB_ICONWARNING) == IDYES) {
            StartEditing(otherKey);
        }
        return false;
    }

    ReadInputs(m_SampleFields);
    bool isRoutine = false;
    int32_t testKey = -1;
    const bool hasTest = GetChosenTest(isRoutine, testKey);

    // A signed sample changes only by a supervisor, with a reason that goes
    // into the audit trail with the change; the session's own reason is
    // given back afterwards.
    const bool signedSample = m_Sample.SampleID > 0 && m_Sample.Signed;
    CString reason;
    if (signedSample) {
        if (!zendlg::ActionAllowedOrShown(m_pDatabase, ZENACT_ChangeSignedSample))
            return false;
        CChangeReasonDlg reasonDlg(m_Sample.UserSampleID, this);
        if (reasonDlg.DoModal() != IDOK)
            return false;
        reason = reasonDlg.m_strReason;
    }
    struct CReasonScope {
        CZENDatabase& db;
        CString previous;
        bool active;
        CReasonScope(CZENDatabase& database, const CString& reasonText, bool use)
            : db(database), previous(database.GetAuditReason()), active(use)
        {
            if (active)
                db.SetAuditReason(reasonText);
        }
        ~CReasonScope()
        {
            if (active)
                db.SetAuditReason(previous);
        }
    } reasonScope(*m_pDatabase, reason, signedSample);

    m_Sample.SetSampleRegistrationData(m_SampleFields);
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
    if (!m_Sample.Save(outcome)) {
        // Another station registered the identifier since the check: the
        // operator gets the next free one and keeps everything else typed.
        if (outcome == ESampleSaveOutcome::IdentifierTaken) {
            const CString taken = m_Sample.UserSampleID;
            m_strNextUserSampleID = NextFreeUserSampleID(IncLastNumberInString(taken));
            m_Sample.UserSampleID = m_strNextUserSampleID;
            SetDlgItemText(IDC_SAMPLE_ID, m_strNextUserSampleID);
            AfxMessageBox(zendlg::FormatText(13062, {taken.GetString(), m_strNextUserSampleID.GetString()}),
                          MB_ICONWARNING);
        }
        // Any other failure was shown by the sample; it must not count as
        // registered.
        return false;
    }
    if (hasTest) {
        try {
            m_Sample.SetDefaultProfileOrRoutine(isRoutine, testKey);
        } catch (const CDBException& error) {
            AfxMessageBox(error.GetMessageText());
        }
    }
    return true;
}

void CRegisterSampleDlg::RememberValues(BOOL bRemember)
{
    DeleteRememberedValues();
    if (bRemember) {
        for (int i = 0; i < GetNofRegistrationFields() && i < ZEN_FIELD_ROWS; ++i) {
            if (!ShowsField(i))
                continue;
            const CZENDB_RegistrationField& field = *GetRegistrationField(i);
            if (const CSampleRegistrationField* value = FindSampleField(field.Control))
                m_RememberedValues.SetAt(field.Control, CopyValue(-1, field, *value));
        }
    }
    m_strNextUserSampleID = GetDlgItemText(IDC_SAMPLE_ID);
    m_strNextUserSampleID.TrimRight();
}

void CRegisterSampleDlg::ContinueRegistering()
{
    if (m_bEditing) {
        m_bEditing = false;
        SetWindowText(LoadResString(13008));
    }
    RememberValues(TRUE);
    FillControls(FALSE);
}

BOOL CRegisterSampleDlg::OnCommand(UINT nID)
{
    switch (nID) {
    case IDC_REGISTER_SAMPLE:
        OnRegisterSample();
        return TRUE;
    case IDC_REGISTER_BATCH:
        OnRegisterBatch();
        return TRUE;
    case IDC_CLEAR_FIELDS:
        OnClearFields();
        return TRUE;
    default:
        return CSampleDlg::OnCommand(nID);
    }
}

void CRegisterSampleDlg::OnOK()
{
    if (!m_bEditing) {
        EndDialog(IDOK);
        return;
    }
    if (SaveSample())
        EndDialog(IDOK);
}

void CRegisterSampleDlg::OnRegisterSample()
{
    if (m_pDatabase == nullptr) {
        AfxMessageBox(13006);
        return;
    }
    // Editing or not, what the operator typed stays on screen when the save
    // failed.
    if (!SaveSample())
        return;
    ContinueRegistering();
}

void CRegisterSampleDlg::OnClearFields()
{
    if (m_pDatabase == nullptr) {
        AfxMessageBox(13006);
        return;
    }
    RememberValues(FALSE);
    FillControls(TRUE);
}

void CRegisterSampleDlg::OnRegisterBatch()
{
    if (m_pDatabase == nullptr) {
        AfxMessageBox(13006);
        return;
    }
    if (!zendlg::ActionAllowedOrShown(m_pDatabase, ZENACT_RegisterSample))
        return;
    m_strNextUserSampleID = GetDlgItemText(IDC_SAMPLE_ID);
    m_strNextUserSampleID.TrimRight();
    CBatchCreateDlg batch(m_pDatabase, m_strNextUserSampleID, this);
    if (batch.DoModal() != IDOK)
        return;
    const int count = batch.GetNumberOfSamples();
    const CString first = batch.m_strFirstUserSampleID;

    CStringList existing;
    CStringList fresh;
    CString name = first;
    for (int i = 0; i < count; ++i) {
        int32_t key = -1;
        if (m_pDatabase->SampleExist(name, key))
            existing.AddTail(name);
        else
            fresh.AddTail(name);
        name = IncLastNumberInString(name);
    }

    if (existing.IsEmpty()) {
        if (SaveBatch(fresh))
            ContinueRegistering();
        return;
    }

    const CString existingText = WordWrapAtLength(JoinList(existing), kWrapWidth);
    const CString freshText = WordWrapAtLength(JoinList(fresh), kWrapWidth);
    if (fresh.IsEmpty()) {
        if (AfxMessageBox(zendlg::FormatText(13031, {existingText.GetString()}), MB_YESNO | MB_ICONWARNING) != IDYES)
            return;
        const int32_t key = KeyOf(existing.GetHead());
        if (key > -1)
            StartEditing(key);
        else
            AfxMessageBox(13022, MB_ICONERROR);
        return;
    }

    if (AfxMessageBox(zendlg::FormatText(13030, {existingText.GetString(), freshText.GetString()}),
                      MB_YESNO | MB_ICONWARNING) == IDYES) {
        if (SaveBatch(fresh))
            ContinueRegistering();
        return;
    }
    const int32_t key = KeyOf(existing.GetHead());
    if (key <= -1) {
        AfxMessageBox(13022, MB_ICONERROR);
        return;
    }
    if (AfxMessageBox(13021, MB_YESNO | MB_ICONWARNING) == IDYES)
        StartEditing(key);
}

bool CRegisterSampleDlg::SaveBatchSample(const CString& id, bool& taken)
{
    taken = false;
    // Every sample of a batch starts from a new record: a batch started while
    // a registered sample is shown must not copy its signature, measurement
    // or trace into the new samples.
    CZENDB_Sample sample(m_pDatabase, id);
    CObList values;
    struct CValuesOwner {
        CObList& list;
        ~CValuesOwner()
        {
            while (!list.IsEmpty())
                delete list.RemoveHead();
        }
    } owner{values};
    MakeFreshFieldValues(values);
    ReadInputs(values);
    sample.SetSampleRegistrationData(values);
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
    if (!sample.Save(outcome)) {
        taken = outcome == ESampleSaveOutcome::IdentifierTaken;
        return false;
    }
    bool isRoutine = false;
    int32_t testKey = -1;
    if (GetChosenTest(isRoutine, testKey)) {
        try {
            sample.SetDefaultProfileOrRoutine(isRoutine, testKey);
        } catch (const CDBException& error) {
            AfxMessageBox(error.GetMessageText());
        }
    }
    return true;
}

bool CRegisterSampleDlg::SaveBatch(const CStringList& names)
{
    // What the operator typed is what every sample of the batch gets; it is
    // also what is remembered for the next registration.
    ReadInputs(m_SampleFields);
    bool saved = false;
    CStringList passedOver;
    for (POSITION pos = names.GetHeadPosition(); pos != nullptr;) {
        const CString id = names.GetNext(pos);
        SetDlgItemText(IDC_SAMPLE_ID, id);
        bool taken = false;
        if (SaveBatchSample(id, taken))
            saved = true;
        else if (taken)
            passedOver.AddTail(id);
    }
    if (!passedOver.IsEmpty())
        AfxMessageBox(zendlg::FormatText(13063, {WordWrapAtLength(JoinList(passedOver), kWrapWidth).GetString()}),
                      MB_ICONWARNING);
    return saved;
}
