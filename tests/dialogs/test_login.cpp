// Tests of the login dialog and of the facade's AskForNameAndPassword that
// runs it through the scripted UI host.

#include "database/ZENDatabase.h"
#include "dialogs/AdminUserCtl.h"
#include "dialogs/LoginDlg.h"
#include "framework/UIHost.h"

#include <gtest/gtest.h>

namespace {

TEST(LoginDialog, OpensCentredWithTheCursorInThePasswordField)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    CLoginDlg dialog;
    EXPECT_TRUE(dialog.m_strUserName.IsEmpty());
    EXPECT_TRUE(dialog.m_strPassword.IsEmpty());
    dialog.m_strUserName = "admin";
    bool checked = false;
    host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        auto& login = static_cast<CLoginDlg&>(d);
        EXPECT_EQ(login.m_strUserName, "admin");
        EXPECT_TRUE(login.IsCentered());
        EXPECT_NE(login.GetFocusCtrl(), nullptr);
        if (login.GetFocusCtrl() != nullptr) {
            EXPECT_EQ(login.GetFocusCtrl()->GetDlgCtrlID(), IDC_LOGIN_PASSWORD);
        }
        checked = true;
        return IDCANCEL;
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(checked);
    ASSERT_EQ(host.GetDialogs().size(), 1u);
    EXPECT_EQ(host.GetDialogs()[0].templateId, IDD_LOGIN);
    EXPECT_EQ(host.GetDialogs()[0].caption, "Iniciar sesión");
}

TEST(LoginDialog, AskForNameAndPasswordTakesOverOnlyWhatOkConfirms)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    CZENDatabase facade;

    host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        auto& login = static_cast<CLoginDlg&>(d);
        EXPECT_EQ(login.GetDlgItemText(IDC_LOGIN_USERNAME), "pre");
        EXPECT_EQ(login.GetDlgItemAs<CEdit>(IDC_LOGIN_PASSWORD)->GetStyle() & ES_PASSWORD, ES_PASSWORD);
        login.SetDlgItemText(IDC_LOGIN_USERNAME, "typed");
        login.SetDlgItemText(IDC_LOGIN_PASSWORD, "secret");
        return IDOK;
    });
    EXPECT_EQ(facade.AskForNameAndPassword("pre"), 1);
    EXPECT_EQ(facade.GetUserNameA(), "typed");
    EXPECT_EQ(facade.GetUserPassword(), "secret");

    host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        auto& login = static_cast<CLoginDlg&>(d);
        login.SetDlgItemText(IDC_LOGIN_USERNAME, "other");
        login.SetDlgItemText(IDC_LOGIN_PASSWORD, "other");
        return IDCANCEL;
    });
    EXPECT_EQ(facade.AskForNameAndPassword("x"), 0);
    EXPECT_EQ(facade.GetUserNameA(), "typed");
    EXPECT_EQ(facade.GetUserPassword(), "secret");
    // The credentials are not checked here: nobody is logged in.
    EXPECT_EQ(facade.GetUserType(), UserRoleNobody);
}

TEST(AdminUserControl, CreationFailsCleanlyWithoutAnAutomationHost)
{
    CAdminUserCtl control;
    EXPECT_FALSE(control.Create("admin", 0, CRect{0, 0, 100, 50}, nullptr, 1));
    EXPECT_FALSE(control.IsCreated());
    EXPECT_FALSE(control.Invoke60030002("a", "b", 1));
    EXPECT_TRUE(control.GetProperty68030000().IsEmpty());
    control.Disable();
    EXPECT_FALSE(control.IsWindowEnabled());
}

} // namespace
