// CLoginDlg: the modal dialog (template 13004, "Iniciar sesión") in which the
// operator types a user name and a password when the facade logs in. It only
// collects the two texts; the facade decides what is done with them.
#pragma once

#include "framework/CDialog.h"
#include "framework/CString.h"
#include "framework/StringTable.h"

// Edits of template 13004.
constexpr int IDC_LOGIN_USERNAME = 13049;
constexpr int IDC_LOGIN_PASSWORD = 13050; // shown masked

class CLoginDlg : public CDialog {
    DECLARE_DYNAMIC(CLoginDlg)
public:
    // Both texts empty. pParent may be nullptr (centred on the screen).
    explicit CLoginDlg(CWnd* pParent = nullptr);

    // Shows the two members in their edits, centres the dialog and puts the
    // input focus into the password edit. Returns FALSE: the focus is placed
    // here. OK (the edits into the members) and Cancel are the base's.
    BOOL OnInitDialog() override;
    // User name <-> edit 13049, password <-> edit 13050.
    void DoDataExchange(CDataExchange* pDX) override;

    // The dialog's data, exchanged with the edits.
    CString m_strPassword;
    CString m_strUserName;

private:
    // Kept with the dialog's data, never read.
    int m_nReserved;
    BOOL m_bReserved;
};
