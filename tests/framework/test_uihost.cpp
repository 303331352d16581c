// Tests of the user interface hosts: answers of the non-interactive host,
// queues and records of the scripted host, and how modal dialogs are driven
// through it (initialisation, scripts, refused OK, nesting).
#include "framework/CDialog.h"
#include "framework/StringTable.h"
#include "framework/UIHost.h"

#include <gtest/gtest.h>

namespace {

TEST(UIHost, DefaultHostAnswersWithoutBlocking)
{
    struct Case {
        UINT style;
        int answer;
    };
    const Case cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_ICONERROR, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_YESNO | MB_ICONWARNING, IDNO},
        {MB_YESNOCANCEL, IDCANCEL},
        {MB_RETRYCANCEL, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDABORT},
    };
    SetUIHost(nullptr);
    for (const Case& c : cases) {
        EXPECT_EQ(CDefaultUIHost::DefaultAnswer(c.style), c.answer) << c.style;
        EXPECT_EQ(AfxMessageBox("text", c.style), c.answer) << c.style;
    }
    CDialog dlg(IDD_LOGIN);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_FALSE(dlg.IsRunning());
}

TEST(UIHost, ScopeInstallsAndRestoresTheHost)
{
    CUIHost* before = GetUIHost();
    CScriptedUIHost scripted;
    {
        CUIHostScope scope(&scripted);
        EXPECT_EQ(GetUIHost(), &scripted);
    }
    EXPECT_EQ(GetUIHost(), before);
    SetUIHost(&scripted);
    SetUIHost(nullptr);
    EXPECT_NE(dynamic_cast<CDefaultUIHost*>(GetUIHost()), nullptr);
}

TEST(UIHost, ScriptedMessagesTakeQueuedAnswersThenDefaults)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    host.QueueMessageAnswer(IDYES);
    EXPECT_EQ(AfxMessageBox(13025, MB_YESNO), IDYES);
    EXPECT_EQ(AfxMessageBox("Failed to upgrade database!", MB_YESNO), IDNO);  // queue empty
    EXPECT_EQ(AfxMessageBox(99999u), IDOK);

    const auto& messages = host.GetMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, "Inicio de sesión incorrecto. Inténtelo de nuevo o elija cancelar.");
    EXPECT_EQ(messages[0].style, MB_YESNO);
    EXPECT_TRUE(messages[0].scripted);
    EXPECT_FALSE(messages[1].scripted);
    EXPECT_EQ(messages[1].answer, IDNO);
    EXPECT_EQ(messages[2].text, "Missing text 99999");
    host.Reset();
    EXPECT_TRUE(host.GetMessages().empty());
}

// A dialog with one member that OK accepts only when it is not negative,
// showing a message otherwise (as the batch dialog does).
class CCountDlg : public CDialog {
public:
    explicit CCountDlg(bool closeAtInit = false) : CDialog(IDD_BATCH_CREATE), m_bCloseAtInit(closeAtInit) {}
    BOOL OnInitDialog() override
    {
        ++m_nInits;
        if (m_bCloseAtInit)
            EndDialog(IDCANCEL);
        return TRUE;
    }
    void OnOK() override
    {
        if (m_nCount < 0) {
            AfxMessageBox("negative", MB_OK | MB_ICONERROR);
            return;
        }
        CDialog::OnOK();
    }
    int m_nCount = 0;
    int m_nInits = 0;
    bool m_bCloseAtInit;
};

TEST(UIHost, ScriptedDialogsAreDrivenByQueuedScripts)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);

    // A script that fills the member and presses OK itself.
    host.QueueDialogScript([](CDialog& d) {
        static_cast<CCountDlg&>(d).m_nCount = 5;
        d.OnOK();
        return INT_PTR(IDOK);
    });
    CCountDlg first;
    EXPECT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(first.m_nCount, 5);
    EXPECT_EQ(first.m_nInits, 1);

    // Refused input keeps the dialog open for the next script; returning the
    // button lets the host press it.
    host.QueueDialogScript([](CDialog& d) {
        static_cast<CCountDlg&>(d).m_nCount = -1;
        return INT_PTR(IDOK);
    });
    host.QueueDialogScript([](CDialog& d) {
        static_cast<CCountDlg&>(d).m_nCount = 3;
        return INT_PTR(IDOK);
    });
    CCountDlg second;
    EXPECT_EQ(second.DoModal(), IDOK);
    EXPECT_EQ(second.m_nCount, 3);
    ASSERT_EQ(host.GetMessages().size(), 1u);
    EXPECT_EQ(host.GetMessages()[0].text, "negative");

    // A dialog that ends while initialising consumes no script.
    host.QueueDialogAnswer(IDOK);
    CCountDlg closing(true);
    EXPECT_EQ(closing.DoModal(), IDCANCEL);
    EXPECT_EQ(host.GetPendingDialogScripts(), 1u);

    // The pending IDOK is used by the next dialog; after it the queue is
    // empty and the default rule cancels.
    CCountDlg third;
    EXPECT_EQ(third.DoModal(), IDOK);
    CCountDlg fourth;
    EXPECT_EQ(fourth.DoModal(), IDCANCEL);

    const auto& runs = host.GetDialogs();
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].templateId, IDD_BATCH_CREATE);
    EXPECT_EQ(runs[0].caption, "Batch create");
    EXPECT_EQ(runs[1].scriptsUsed, 2);
    EXPECT_TRUE(runs[1].scripted);
    EXPECT_TRUE(runs[2].endedAtInit);
    EXPECT_EQ(runs[2].scriptsUsed, 0);
    EXPECT_EQ(runs[4].result, IDCANCEL);
    EXPECT_FALSE(runs[4].scripted);
}

TEST(UIHost, NestedDialogsTakeScriptsInOpeningOrder)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    int innerResult = 0;
    host.QueueDialogScript([&innerResult](CDialog& outer) {
        CDialog inner(IDD_LOGIN, &outer);
        innerResult = static_cast<int>(inner.DoModal());
        outer.SetWindowText("changed");
        return INT_PTR(IDCANCEL);
    });
    host.QueueDialogScript([](CDialog& inner) {
        EXPECT_EQ(inner.GetCaption(), "Iniciar sesión");
        EXPECT_NE(inner.GetParent(), nullptr);
        return INT_PTR(IDOK);
    });
    CDialog outer(IDD_SEARCH_SAMPLES);
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(innerResult, IDOK);
    ASSERT_EQ(host.GetDialogs().size(), 2u);
    EXPECT_EQ(host.GetDialogs()[0].templateId, IDD_SEARCH_SAMPLES);
    EXPECT_EQ(host.GetDialogs()[1].templateId, IDD_LOGIN);
    EXPECT_EQ(host.GetDialogs()[0].caption, "Buscar muestras");  // as after opening
}

TEST(UIHost, ScriptReturningAnotherValueEndsWithIt)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    host.QueueDialogAnswer(IDYES);
    CDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDYES);
    EXPECT_EQ(dlg.GetModalResult(), IDYES);
}

} // namespace
