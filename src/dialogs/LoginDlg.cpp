// The login dialog, and the facade's AskForNameAndPassword that runs it (the
// facade's database layer knows no dialog, so this entry point lives here).

#include "dialogs/LoginDlg.h"

#include "database/ZENDatabase.h"
#include "framework/Types.h"

IMPLEMENT_DYNAMIC(CLoginDlg, CDialog)

CLoginDlg::CLoginDlg(CWnd* pParent) : CDialog(IDD_LOGIN, pParent), m_nReserved(-1), m_bReserved(FALSE)
{
}

void CLoginDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_LOGIN_USERNAME, m_strUserName);
    DDX_Text(pDX, IDC_LOGIN_PASSWORD, m_strPassword);
}

BOOL CLoginDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CenterWindow();
    // The name is usually known already: the cursor waits for the password.
    GotoDlgCtrl(GetDlgItem(IDC_LOGIN_PASSWORD));
    return FALSE;
}

int CZENDatabase::AskForNameAndPassword(const CString& userName)
{
    CLoginDlg dlg(nullptr);
    dlg.m_strUserName = userName;
    if (dlg.DoModal() != IDOK)
        return 0;
    m_strUserName = dlg.m_strUserName;
    m_strPassword = dlg.m_strPassword;
    return 1;
}
