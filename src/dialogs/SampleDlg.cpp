// Shared opening and field-row handling of the sample registration and search
// dialogs.
#include "dialogs/SampleDlg.h"

#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "dialogs/internal/DialogText.h"
#include "framework/DialogTemplate.h"
#include "framework/Exceptions.h"
#include "framework/UIHost.h"
#include "framework/sql/FieldInfo.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CSampleDlg, CDialog)

CSampleDlg::CSampleDlg(UINT nIDTemplate, CZENDatabase* pDatabase, CWnd* pParent) : CDialog(nIDTemplate, pParent)
{
    if (pDatabase != nullptr)
        CSampleDlg::SetDatabase(pDatabase);
}

CSampleDlg::~CSampleDlg()
{
    DeleteRegistrationFields();
}

void CSampleDlg::SetDatabase(CZENDatabase* pDatabase)
{
    m_pDatabase = pDatabase;
    m_pSamplesConfiguration = nullptr;
    if (m_pDatabase == nullptr)
        return;
    m_pDatabase->ScanTableConfigurations();
    m_pSamplesConfiguration = m_pDatabase->GetTableConfiguration(ZENRS_Samples);
}

BOOL CSampleDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!PrepareOpening())
        return TRUE;
    BuildControls();
    return TRUE;
}

bool CSampleDlg::PrepareOpening()
{
    if (m_pDatabase == nullptr) {
        EndDialog(IDCANCEL);
        AfxMessageBox(13006);
        return false;
    }
    LoadRegistrationFields();
    if (m_RegistrationFields.IsEmpty()) {
        EndDialog(IDCANCEL);
        AfxMessageBox(13007);
        return false;
    }
    return true;
}

void CSampleDlg::LoadRegistrationFields()
{
    DeleteRegistrationFields();
    try {
        m_pDatabase->GetAllRegistrationFields(m_RegistrationFields);
    } catch (const CDBException& error) {
        AfxMessageBox(error.GetMessageText());
        DeleteRegistrationFields();
    }
    for (POSITION pos = m_RegistrationFields.GetHeadPosition(); pos != nullptr;)
        static_cast<CZENDB_RegistrationField*>(m_RegistrationFields.GetNext(pos))->Control.TrimRight();
}

void CSampleDlg::DeleteRegistrationFields()
{
    while (!m_RegistrationFields.IsEmpty())
        delete m_RegistrationFields.RemoveHead();
}

int CSampleDlg::GetNofRegistrationFields() const
{
    return m_RegistrationFields.GetCount();
}

CZENDB_RegistrationField* CSampleDlg::GetRegistrationField(int index) const
{
    const POSITION pos = m_RegistrationFields.FindIndex(index);
    return pos != nullptr ? static_cast<CZENDB_RegistrationField*>(m_RegistrationFields.GetAt(pos)) : nullptr;
}

int CSampleDlg::GetColumnSize(const CString& columnName) const
{
    void* value = nullptr;
    if (m_pSamplesConfiguration == nullptr || !m_pSamplesConfiguration->Lookup(columnName, value) || value == nullptr)
        return 0;
    return static_cast<int>(static_cast<const CODBCFieldInfo*>(value)->m_nPrecision);
}

short CSampleDlg::GetColumnSQLType(const CString& columnName) const
{
    void* value = nullptr;
    if (m_pSamplesConfiguration == nullptr || !m_pSamplesConfiguration->Lookup(columnName, value) || value == nullptr)
        return SQL_UNKNOWN_TYPE;
    return static_cast<const CODBCFieldInfo*>(value)->m_nSQLType;
}

bool CSampleDlg::ShowsField(int index) const
{
    const CZENDB_RegistrationField* field = GetRegistrationField(index);
    if (field == nullptr || !field->Visible || index >= ZEN_FIELD_ROWS)
        return false;
    const auto* input = dynamic_cast<const CControlWnd*>(GetFieldInput(index));
    if (input == nullptr)
        return false;
    const bool wantsPicker = zendlg::IsDateFieldName(field->Control);
    const bool isPicker = input->GetKind() == ZenControlKind::DateTimePicker;
    return wantsPicker == isPicker;
}

void CSampleDlg::LayoutFieldRow(int index, int row)
{
    const ZenDialogTemplate* dialogTemplate = ZenFindDialogTemplate(GetTemplateId());
    if (dialogTemplate == nullptr)
        return;
    const ZenControlTemplate* from = dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST + index);
    const ZenControlTemplate* to = dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST + row);
    if (from == nullptr || to == nullptr)
        return;
    const int dx = to->x - from->x;
    const int dy = to->y - from->y;
    for (int id : {IDC_FIELD_LABEL_FIRST + index, IDC_FIELD_INPUT_FIRST + index}) {
        const ZenControlTemplate* place = dialogTemplate->FindControl(id);
        if (CWnd* wnd = GetDlgItem(id); wnd != nullptr && place != nullptr)
            wnd->MoveWindow(place->x + dx, place->y + dy, place->cx, place->cy);
    }
}

void CSampleDlg::BuildControls()
{
    LayOutRows();
}

void CSampleDlg::LayOutRows()
{
    int row = 0;
    for (int i = 0; i < ZEN_FIELD_ROWS; ++i) {
        const bool shown = ShowsField(i);
        for (CWnd* wnd : {GetFieldLabel(i), GetFieldInput(i)}) {
            if (wnd != nullptr)
                wnd->ShowWindow(shown ? SW_SHOW : SW_HIDE);
        }
        if (shown)
            LayoutFieldRow(i, row++);
    }
    CloseUpBelowRows(row);
}

void CSampleDlg::CloseUpBelowRows(int shownRows)
{
    const ZenDialogTemplate* dialogTemplate = ZenFindDialogTemplate(GetTemplateId());
    const ZenControlTemplate* first = dialogTemplate != nullptr ? dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST) : nullptr;
    if (first == nullptr)
        return;
    // Rows of one column: those that stand where the first row stands.
    int rowsPerColumn = 0;
    while (rowsPerColumn < ZEN_FIELD_ROWS) {
        const ZenControlTemplate* input = dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST + rowsPerColumn);
        if (input == nullptr || input->x != first->x)
            break;
        ++rowsPerColumn;
    }
    if (rowsPerColumn == 0)
        return;
    const int usedRows = std::clamp(shownRows, 1, rowsPerColumn);
    const ZenControlTemplate* lastRow = dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST + rowsPerColumn - 1);
    const ZenControlTemplate* lastUsed = dialogTemplate->FindControl(IDC_FIELD_INPUT_FIRST + usedRows - 1);
    const int rowsBottom = lastRow->y + lastRow->cy;
    const int unused = lastRow->y - lastUsed->y;
    // Everything below the rows moves up by the rows left empty, frames
    // around the rows shrink, and so does the dialog.
    for (const ZenControlTemplate& place : dialogTemplate->controls) {
        CWnd* wnd = place.id != IDC_STATIC ? GetDlgItem(place.id) : nullptr;
        if (wnd == nullptr)
            continue;
        if (place.y >= rowsBottom)
            wnd->MoveWindow(place.x, place.y - unused, place.cx, place.cy);
        else if (place.kind == ZenControlKind::GroupBox && place.y + place.cy >= rowsBottom)
            wnd->MoveWindow(place.x, place.y, place.cx, place.cy - unused);
    }
    MoveWindow(0, 0, dialogTemplate->cx, dialogTemplate->cy - unused);
}
