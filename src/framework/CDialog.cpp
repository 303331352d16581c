// Modal run, controls and data exchange of CDialog; the interaction itself
// belongs to the installed user interface host.
#include "framework/CDialog.h"

#include "framework/DialogTemplate.h"
#include "framework/StringTable.h"
#include "framework/UIHost.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CDialog, CWnd)

void CDataExchange::Fail()
{
    throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    CWnd* wnd = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (wnd == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        wnd->GetWindowText(value);
    else
        wnd->SetWindowText(value);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    auto* button = pDX->m_pDlgWnd->GetDlgItemAs<CButton>(nIDC);
    if (button == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = button->GetCheck();
    else
        button->SetCheck(value);
}

void DDX_DateTimeCtrl(CDataExchange* pDX, int nIDC, COleDateTime& value)
{
    auto* picker = pDX->m_pDlgWnd->GetDlgItemAs<CDateTimeCtrl>(nIDC);
    if (picker == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        picker->GetTime(value);
    else
        picker->SetTime(value);
}

namespace {

std::unique_ptr<CControlWnd> MakeControl(ZenControlKind kind)
{
    switch (kind) {
    case ZenControlKind::Static:
    case ZenControlKind::GroupBox:
        return std::make_unique<CStatic>(kind);
    case ZenControlKind::Edit:
        return std::make_unique<CEdit>();
    case ZenControlKind::PushButton:
    case ZenControlKind::CheckBox:
        return std::make_unique<CButton>(kind);
    case ZenControlKind::ComboBox:
        return std::make_unique<CComboBox>();
    case ZenControlKind::DateTimePicker:
        return std::make_unique<CDateTimeCtrl>();
    }
    return std::make_unique<CStatic>();
}

} // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) : m_nIDTemplate(nIDTemplate)
{
    m_pParentWnd = pParent;
    m_pOwnerDialog = this;
    const ZenDialogTemplate* dialogTemplate = ZenFindDialogTemplate(nIDTemplate);
    m_strText = dialogTemplate != nullptr ? ZenTranslateDialogText(nIDTemplate, dialogTemplate->caption)
                                          : LoadDialogCaption(nIDTemplate);
}

CDialog::~CDialog()
{
    m_observer = nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (m_bRunning)
        return -1;
    // Reset on every exit, also when a handler or a script throws.
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(m_bRunning);

    m_bEnded = false;
    m_nModalResult = -1;
    Create();
    const INT_PTR result = GetUIHost()->RunModal(*this);
    return m_bEnded ? m_nModalResult : result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    if (nIDTemplate != 0)
        m_nIDTemplate = nIDTemplate;
    if (pParentWnd != nullptr)
        m_pParentWnd = pParentWnd;
    DestroyWindow();
    m_bCreated = true;
    const ZenDialogTemplate* dialogTemplate = ZenFindDialogTemplate(m_nIDTemplate);
    if (dialogTemplate == nullptr)
        return FALSE;
    m_rect = CRect{0, 0, dialogTemplate->cx, dialogTemplate->cy};
    for (const ZenControlTemplate& item : dialogTemplate->controls) {
        std::unique_ptr<CControlWnd> control = MakeControl(item.kind);
        control->m_nID = item.id;
        control->m_dwStyle = item.style;
        // Labels, group boxes and buttons show the operator's language; the
        // initial text of an edit, list or picker is data and stays as given.
        const bool label = item.kind == ZenControlKind::Static || item.kind == ZenControlKind::GroupBox ||
                           item.kind == ZenControlKind::PushButton || item.kind == ZenControlKind::CheckBox;
        control->m_strText = label ? ZenTranslateDialogText(m_nIDTemplate, item.text) : item.text;
        control->m_bVisible = item.visible;
        control->m_rect = CRect{item.x, item.y, item.x + item.cx, item.y + item.cy};
        control->m_pParentWnd = this;
        control->m_pOwnerDialog = this;
        // Pickers that can hold no date start without one, the others with
        // the current date (or the template's text).
        if (auto* picker = dynamic_cast<CDateTimeCtrl*>(control.get()); picker != nullptr) {
            if ((item.style & DTS_SHOWNONE) != 0)
                picker->SetTime(static_cast<const CTime*>(nullptr));
            if (!item.text.IsEmpty())
                picker->SetWindowText(item.text);
        }
        m_controls.push_back(std::move(control));
    }
    return TRUE;
}

void CDialog::DestroyWindow()
{
    m_controls.clear();
    m_pFocus = nullptr;
    m_bCreated = false;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(UINT nID)
{
    if (nID == static_cast<UINT>(IDOK)) {
        OnOK();
        return TRUE;
    }
    if (nID == static_cast<UINT>(IDCANCEL)) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEnded = true;
}

BOOL CDialog::ClickDlgButton(int nID)
{
    auto* button = GetDlgItemAs<CButton>(nID);
    if (button == nullptr || !button->IsWindowVisible() || !button->IsWindowEnabled())
        return FALSE;
    if (button->IsCheckBox())
        button->SetCheck(button->GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    OnCommand(static_cast<UINT>(nID));
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/)
{
}

CWnd* CDialog::GetDlgItem(int nID) const
{
    if (nID == IDC_STATIC)
        return nullptr;
    for (const auto& control : m_controls) {
        if (control->GetDlgCtrlID() == nID)
            return control.get();
    }
    return nullptr;
}

CControlWnd* CDialog::GetControlAt(int index) const
{
    if (index < 0 || index >= GetControlCount())
        return nullptr;
    return m_controls[static_cast<size_t>(index)].get();
}

CControlWnd* CDialog::AddControl(std::unique_ptr<CControlWnd> control, int nID, const CRect& rect, DWORD style)
{
    if (!control || (nID != IDC_STATIC && GetDlgItem(nID) != nullptr))
        return nullptr;
    control->m_nID = nID;
    control->m_dwStyle = style;
    control->m_rect = rect;
    control->m_pParentWnd = this;
    control->m_pOwnerDialog = this;
    m_controls.push_back(std::move(control));
    return m_controls.back().get();
}

void CDialog::SetDlgItemText(int nID, const char* text)
{
    if (CWnd* wnd = GetDlgItem(nID))
        wnd->SetWindowText(text);
}

int CDialog::GetDlgItemText(int nID, CString& text) const
{
    text.Empty();
    if (const CWnd* wnd = GetDlgItem(nID))
        wnd->GetWindowText(text);
    return text.GetLength();
}

CString CDialog::GetDlgItemText(int nID) const
{
    CString text;
    GetDlgItemText(nID, text);
    return text;
}

int CDialog::GetDlgItemInt(int nID, BOOL* pTrans, BOOL bSigned) const
{
    CString text = GetDlgItemText(nID);
    text.Trim();
    const char* begin = text.GetString();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    const bool ok = !text.IsEmpty() && end != begin && *end == '\0' && errno == 0 &&
                    value >= (bSigned ? INT_MIN : 0) && value <= (bSigned ? INT_MAX : static_cast<long long>(UINT_MAX));
    if (pTrans != nullptr)
        *pTrans = ok ? TRUE : FALSE;
    return ok ? static_cast<int>(value) : 0;
}

void CDialog::SetDlgItemInt(int nID, int value, BOOL bSigned)
{
    CString text;
    if (bSigned)
        text.Format("%d", value);
    else
        text.Format("%u", static_cast<unsigned>(value));
    SetDlgItemText(nID, text);
}

void CDialog::CheckDlgButton(int nID, UINT nCheck)
{
    if (auto* button = GetDlgItemAs<CButton>(nID))
        button->SetCheck(static_cast<int>(nCheck));
}

UINT CDialog::IsDlgButtonChecked(int nID) const
{
    const auto* button = GetDlgItemAs<CButton>(nID);
    return button != nullptr ? static_cast<UINT>(button->GetCheck()) : 0u;
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl)
{
    m_pFocus = pWndCtrl;
    if (pWndCtrl != nullptr)
        ReportChange(*pWndCtrl, ZenWndChange::Focus);
}

void CDialog::ReportChange(CWnd& wnd, ZenWndChange what)
{
    if (m_observer)
        m_observer(wnd, what);
}
