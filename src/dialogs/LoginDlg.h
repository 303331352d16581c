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
    explicit CLoginDlg(CDialog* pParent = nullptr);

    // Centres the dialog and puts the input focus into the password edit.
    // Returns FALSE: the focus is placed here. OK and Cancel are the base's;
    // the two members are the dialog's data.
    BOOL OnInitDialog() override;

    // The control that has the input focus (0 before the dialog opened).
    int GetFocusControl() const { return m_nFocusControl; }

    CString m_strPassword;      // exchanged with edit 13050
    CString m_strUserName;      // exchanged with edit 13049

private:
    // Kept with the dialog's data, never read.
    int m_nReserved;
    BOOL m_bReserved;
    int m_nFocusControl;
};
