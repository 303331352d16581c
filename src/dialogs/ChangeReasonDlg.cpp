// The reason dialog for changes of signed samples.

#include "dialogs/ChangeReasonDlg.h"

#include "framework/StringTable.h"
#include "framework/Translation.h"
#include "framework/UIHost.h"

IMPLEMENT_DYNAMIC(CChangeReasonDlg, CDialog)

CChangeReasonDlg::CChangeReasonDlg(const CString& userSampleID, CWnd* pParent)
    : CDialog(IDD_CHANGE_REASON, pParent), m_strUserSampleID(userSampleID)
{
}

void CChangeReasonDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_CHANGE_REASON, m_strReason);
}

BOOL CChangeReasonDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString note;
    note.Format(ZenTranslate(kZenTextDomain, "message",
                             "Sample '%s' is signed. The change is recorded with this reason, and the sample "
                             "must be signed again unless only fields that do not affect results change."),
                m_strUserSampleID.GetString());
    SetDlgItemText(IDC_CHANGE_REASON_NOTE, note);
    CenterWindow();
    GotoDlgCtrl(GetDlgItem(IDC_CHANGE_REASON));
    return FALSE;
}

void CChangeReasonDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    m_strReason.Trim();
    if (m_strReason.IsEmpty()) {
        AfxMessageBox(ZenTranslate(kZenTextDomain, "message", "A signed sample is changed only with a reason."),
                      MB_ICONWARNING);
        return;
    }
    EndDialog(IDOK);
}
