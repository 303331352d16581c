// The sample search dialog: previous criteria shown again, inputs collected
// into text and date criteria, single quotes refused before the search runs.
#include "dialogs/SearchSampleDlg.h"

#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "dialogs/internal/DialogText.h"
#include "framework/DialogTemplate.h"
#include "framework/UIHost.h"
#include "recordsets/SampleSearch.h"

IMPLEMENT_DYNAMIC(CSearchSampleDlg, CSampleDlg)

namespace {

SampleSearchCriterion* TextCriterion(const CString& text)
{
    auto* criterion = new SampleSearchCriterion;
    criterion->IsText = true;
    criterion->Text = text;
    return criterion;
}

SampleSearchCriterion* DateCriterion(const CTime& from, const CTime& to)
{
    auto* criterion = new SampleSearchCriterion;
    criterion->IsText = false;
    criterion->From = from;
    criterion->To = to;
    return criterion;
}

// The picker's date; CTime 0 when there is no picker or it holds none.
CTime DateOf(const CDateTimeCtrl* picker)
{
    CTime date(0);
    if (picker == nullptr || picker->GetTime(date) != GDT_VALID)
        return CTime(0);
    return date;
}

} // namespace

CSearchSampleDlg::CSearchSampleDlg(CZENDatabase* pDatabase, const CMapStringToPtr* previousCriteria, CWnd* pParent)
    : CSampleDlg(IDD_SEARCH_SAMPLES, pDatabase, pParent), m_pPreviousCriteria(previousCriteria)
{
    if (pDatabase == nullptr)
        AfxMessageBox(13006);
}

CSearchSampleDlg::~CSearchSampleDlg()
{
    DeleteCriteria();
}

void CSearchSampleDlg::DeleteCriteria()
{
    for (POSITION pos = m_Criteria.GetStartPosition(); pos != nullptr;) {
        CString key;
        void* value = nullptr;
        m_Criteria.GetNextAssoc(pos, key, value);
        delete static_cast<SampleSearchCriterion*>(value);
    }
    m_Criteria.RemoveAll();
}

void CSearchSampleDlg::TakeCriteria(CMapStringToPtr& target)
{
    for (POSITION pos = m_Criteria.GetStartPosition(); pos != nullptr;) {
        CString key;
        void* value = nullptr;
        m_Criteria.GetNextAssoc(pos, key, value);
        if (value != nullptr)
            target.SetAt(key, value);
    }
    m_Criteria.RemoveAll();
}

const SampleSearchCriterion* CSearchSampleDlg::Previous(const CString& key) const
{
    void* value = nullptr;
    if (m_pPreviousCriteria == nullptr || !m_pPreviousCriteria->Lookup(key, value))
        return nullptr;
    return static_cast<const SampleSearchCriterion*>(value);
}

CString CSearchSampleDlg::GetPreviousText(const CString& key) const
{
    const SampleSearchCriterion* previous = Previous(key);
    return previous != nullptr ? previous->Text : CString();
}

CTime CSearchSampleDlg::GetPreviousFrom(const CString& key) const
{
    const SampleSearchCriterion* previous = Previous(key);
    return previous != nullptr ? previous->From : CTime(0);
}

CTime CSearchSampleDlg::GetPreviousTo(const CString& key) const
{
    const SampleSearchCriterion* previous = Previous(key);
    return previous != nullptr ? previous->To : CTime(0);
}

void CSearchSampleDlg::ShowDate(CDateTimeCtrl* picker, const CTime& date)
{
    if (picker == nullptr)
        return;
    picker->SetTime(static_cast<const CTime*>(nullptr));
    if (date.GetTime() != 0)
        picker->SetTime(date);
}

void CSearchSampleDlg::BuildControls()
{
    SetDlgItemText(IDC_SAMPLE_ID_LABEL, zendlg::FieldLabel("UserSampleID"));
    if (auto* edit = GetDlgItemAs<CEdit>(IDC_SAMPLE_ID))
        edit->SetLimitText(static_cast<UINT>(GetColumnSize("UserSampleID")));
    SetDlgItemText(IDC_SAMPLE_ID, GetPreviousText("UserSampleID"));

    SetDlgItemText(IDC_SEARCH_SIGNATURE_LABEL, zendlg::FieldLabel("Signature"));
    SetDlgItemText(IDC_SEARCH_SIGNATURE, GetPreviousText("Signature"));
    SetDlgItemText(IDC_SEARCH_MEASURED_BY_LABEL, zendlg::FieldLabel("MeasuredBy"));
    SetDlgItemText(IDC_SEARCH_MEASURED_BY, GetPreviousText("MeasuredBy"));
    SetDlgItemText(IDC_SEARCH_MEASURED_DATE_LABEL, zendlg::FieldLabel("MeasuredDate"));
    ShowDate(GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_MEASURED_FROM), GetPreviousFrom("MeasuredDate"));
    ShowDate(GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_MEASURED_TO), GetPreviousTo("MeasuredDate"));

    m_SecondPickers.clear();
    for (int i = 0; i < GetNofRegistrationFields() && i < ZEN_FIELD_ROWS; ++i) {
        if (!ShowsField(i))
            continue;
        const CZENDB_RegistrationField& field = *GetRegistrationField(i);
        if (zendlg::IsDateFieldName(field.Control)) {
            ShowDate(dynamic_cast<CDateTimeCtrl*>(GetFieldInput(i)), GetPreviousFrom(field.Control));
            const int secondId = i == 5 ? IDC_SEARCH_SECOND_PICKER_5 : (i == 6 ? IDC_SEARCH_SECOND_PICKER_6 : 0);
            if (auto* second = GetDlgItemAs<CDateTimeCtrl>(secondId)) {
                m_SecondPickers[i] = second;
                ShowDate(second, GetPreviousTo(field.Control));
            }
            continue;
        }
        CZENDB_RegistrationField definition(field);
        SetDlgItemText(IDC_FIELD_LABEL_FIRST + i, zendlg::FieldLabel(definition.GetDescription()));
        if (auto* edit = dynamic_cast<CEdit*>(GetFieldInput(i)))
            edit->SetLimitText(static_cast<UINT>(GetColumnSize(field.Control)));
        SetDlgItemText(IDC_FIELD_INPUT_FIRST + i, GetPreviousText(field.Control));
    }
    for (int id : {IDC_SEARCH_SECOND_PICKER_5, IDC_SEARCH_SECOND_PICKER_6, IDC_DEFAULT_TEST_LABEL, IDC_DEFAULT_TEST}) {
        if (CWnd* wnd = GetDlgItem(id))
            wnd->ShowWindow(SW_HIDE);
    }
    for (const auto& [position, picker] : m_SecondPickers)
        picker->ShowWindow(SW_SHOW);
    LayOutRows();
}

void CSearchSampleDlg::LayoutFieldRow(int index, int row)
{
    CSampleDlg::LayoutFieldRow(index, row);
    const auto it = m_SecondPickers.find(index);
    const CWnd* input = GetFieldInput(index);
    if (it == m_SecondPickers.end() || input == nullptr)
        return;
    // The upper picker keeps its distance to the lower one.
    const ZenDialogTemplate* dialogTemplate = ZenFindDialogTemplate(GetTemplateId());
    const ZenControlTemplate* inputPlace = dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST + index);
    const ZenControlTemplate* secondPlace = dialogTemplate->FindControl(it->second->GetDlgCtrlID());
    if (inputPlace == nullptr || secondPlace == nullptr)
        return;
    const CRect& now = input->GetWindowRect();
    it->second->MoveWindow(now.left + secondPlace->x - inputPlace->x, now.top + secondPlace->y - inputPlace->y,
                           secondPlace->cx, secondPlace->cy);
}

void CSearchSampleDlg::OnOK()
{
    DeleteCriteria();
    if (m_pDatabase == nullptr) {
        AfxMessageBox(13006);
        return;
    }
    const CString id = GetDlgItemText(IDC_SAMPLE_ID);
    if (!id.IsEmpty())
        m_Criteria.SetAt("UserSampleID", TextCriterion(id));
    if (GetDlgItem(IDC_SEARCH_SIGNATURE) != nullptr) {
        const CString text = GetDlgItemText(IDC_SEARCH_SIGNATURE);
        if (!text.IsEmpty())
            m_Criteria.SetAt("Signature", TextCriterion(text));
    }
    if (GetDlgItem(IDC_SEARCH_MEASURED_BY) != nullptr) {
        const CString text = GetDlgItemText(IDC_SEARCH_MEASURED_BY);
        if (!text.IsEmpty())
            m_Criteria.SetAt("MeasuredBy", TextCriterion(text));
    }
    const CTime measuredFrom = DateOf(GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_MEASURED_FROM));
    const CTime measuredTo = DateOf(GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_MEASURED_TO));
    if (measuredFrom.GetTime() != 0 || measuredTo.GetTime() != 0)
        m_Criteria.SetAt("MeasuredDate", DateCriterion(measuredFrom, measuredTo));

    for (int i = 0; i < GetNofRegistrationFields() && i < ZEN_FIELD_ROWS; ++i) {
        if (!ShowsField(i))
            continue;
        const CString& name = GetRegistrationField(i)->Control;
        if (!zendlg::IsDateFieldName(name)) {
            CString text = GetDlgItemText(IDC_FIELD_INPUT_FIRST + i);
            text.TrimRight();
            if (!text.IsEmpty())
                m_Criteria.SetAt(name, TextCriterion(text));
            continue;
        }
        const auto second = m_SecondPickers.find(i);
        const CTime from = DateOf(dynamic_cast<const CDateTimeCtrl*>(GetFieldInput(i)));
        const CTime to = DateOf(second != m_SecondPickers.end() ? second->second : nullptr);
        if (from.GetTime() != 0 || to.GetTime() != 0)
            m_Criteria.SetAt(name, DateCriterion(from, to));
    }

    for (POSITION pos = m_Criteria.GetStartPosition(); pos != nullptr;) {
        CString key;
        void* value = nullptr;
        m_Criteria.GetNextAssoc(pos, key, value);
        const auto* criterion = static_cast<const SampleSearchCriterion*>(value);
        if (criterion->IsText && criterion->Text.Find('\'') >= 0) {
            AfxMessageBox(13028, MB_ICONERROR);
            DeleteCriteria();
            return;
        }
    }
    EndDialog(IDOK);
}
