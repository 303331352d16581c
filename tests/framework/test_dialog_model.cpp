// Tests of the dialog control model: the built-in templates against the
// string table, the behaviour of edits, combo boxes and date pickers, change
// notifications, buttons and data exchange, property sheets, and the
// terminal UI host.
#include "framework/CDialog.h"
#include "framework/DialogTemplate.h"
#include "framework/PropertySheet.h"
#include "framework/StringTable.h"
#include "framework/UIHostTerminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(DialogTemplates, HoldEveryTemplateTextInOrderWithinTheDialog)
{
    const std::vector<UINT> ids = ZenBuiltInDialogTemplateIds();
    EXPECT_EQ(ids, (std::vector<UINT>{13002, 13003, 13004, 13005, 13029, 13300}));
    for (UINT id : ids) {
        const ZenDialogTemplate* t = ZenFindDialogTemplate(id);
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(t->caption, LoadDialogCaption(id)) << id;
        // The string table's texts appear with their ids in the same order.
        size_t next = 0;
        const std::vector<ZenDialogText> texts = GetDialogTexts(id);
        for (const ZenControlTemplate& c : t->controls) {
            if (next < texts.size() && c.id == texts[next].nControlId && c.text == texts[next].pszText)
                ++next;
        }
        EXPECT_EQ(next, texts.size()) << id;
        std::set<int> seen;
        for (const ZenControlTemplate& c : t->controls) {
            if (c.id != IDC_STATIC) {
                EXPECT_TRUE(seen.insert(c.id).second) << id << " duplicate " << c.id;
            }
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.cx <= t->cx && c.y + c.cy <= t->cy) << id << " " << c.id;
        }
    }
    // Rows of the sample dialogs: pickers at positions 5 and 6, edits elsewhere.
    for (UINT id : {IDD_REGISTER_SAMPLE, IDD_SEARCH_SAMPLES}) {
        const ZenDialogTemplate* t = ZenFindDialogTemplate(id);
        for (int i = 0; i < 27; ++i) {
            ASSERT_NE(t->FindControl(13201 + i), nullptr);
            const auto kind = t->FindControl(43001 + i)->kind;
            EXPECT_EQ(kind == ZenControlKind::DateTimePicker, i == 5 || i == 6) << id << " row " << i;
        }
    }
    EXPECT_EQ(ZenFindDialogTemplate(4711), nullptr);
}

TEST(DialogControls, EditsComboBoxesAndPickersKeepTheirRules)
{
    CDialog dlg(IDD_SEARCH_SAMPLES);
    ASSERT_TRUE(dlg.Create());
    std::vector<std::pair<int, ZenWndChange>> changes;
    dlg.SetChangeObserver([&](CWnd& wnd, ZenWndChange what) { changes.emplace_back(wnd.GetDlgCtrlID(), what); });

    auto* edit = dlg.GetDlgItemAs<CEdit>(43000);
    edit->SetLimitText(4);
    EXPECT_TRUE(edit->InputText("µm-12345"));  // characters, not bytes
    EXPECT_EQ(dlg.GetDlgItemText(43000), "µm-1");
    dlg.SetDlgItemText(43000, "µm-1");          // unchanged: no report
    edit->SetWindowText("programmatic text is not cut");
    EXPECT_EQ(edit->GetWindowTextLength(), 28);

    auto* combo = dlg.GetDlgItemAs<CComboBox>(43028);
    for (const char* text : {"P: b", "M: z", "p: a", "P: b"})
        combo->AddString(text);
    EXPECT_EQ(combo->GetLBText(0), "M: z");
    EXPECT_EQ(combo->GetLBText(1), "p: a");
    EXPECT_EQ(combo->SetCurSel(2), 2);
    EXPECT_EQ(dlg.GetDlgItemText(43028), "P: b");
    combo->InsertString(0, "A");  // sorted anyway; the selection follows its item
    EXPECT_EQ(combo->GetCurSel(), 3);
    combo->InputText("P: ");      // typed text that is no item
    EXPECT_EQ(combo->GetCurSel(), CB_ERR);
    combo->InputText("p: a");
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->FindStringExact(-1, "P: A"), 2);
    EXPECT_EQ(combo->SelectString(-1, "m:"), 1);
    EXPECT_EQ(combo->SetItemData(9, 1), CB_ERR);

    auto* picker = dlg.GetDlgItemAs<CDateTimeCtrl>(43031);
    EXPECT_FALSE(picker->HasDate());            // DTS_SHOWNONE pickers start empty
    picker->SetWindowText("2014-05-09");
    EXPECT_EQ(picker->GetWindowText(), "09/05/2014");
    picker->SetWindowText("31/02/2014");        // no such day: unchanged
    EXPECT_EQ(picker->GetWindowText(), "09/05/2014");
    EXPECT_TRUE(picker->SetTime(CTime(0)));     // CTime 0 is "no date"
    CTime time(5);
    EXPECT_EQ(picker->GetTime(time), GDT_NONE);
    EXPECT_EQ(time.GetTime(), 5);
    CDateTimeCtrl plain;                        // without DTS_SHOWNONE it keeps a date
    EXPECT_FALSE(plain.SetTime(static_cast<const CTime*>(nullptr)));
    EXPECT_TRUE(plain.HasDate());

    EXPECT_EQ(changes.front(), std::make_pair(43000, ZenWndChange::Limit));
    EXPECT_EQ(std::count(changes.begin(), changes.end(), std::make_pair(43000, ZenWndChange::Text)), 2);
    EXPECT_EQ(std::count(changes.begin(), changes.end(), std::make_pair(43031, ZenWndChange::Time)), 2);
}

// A dialog with data exchange and a handler of its own button.
class CExchangeDlg : public CDialog {
public:
    CExchangeDlg() : CDialog(IDD_LOGIN) {}
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, 13049, m_name);
        if (pDX->m_bSaveAndValidate && m_name == "bad")
            pDX->Fail();
    }
    BOOL OnCommand(UINT nID) override
    {
        if (nID == 13049)
            ++m_clicks;
        return CDialog::OnCommand(nID);
    }
    CString m_name = "start";
    int m_clicks = 0;
};

TEST(DialogControls, ButtonsAndDataExchange)
{
    CExchangeDlg dlg;
    EXPECT_EQ(dlg.GetDlgItem(13049), nullptr);  // no controls before the window exists
    dlg.Create();
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.GetDlgItemText(13049), "start");
    dlg.SetDlgItemText(13049, "bad");
    EXPECT_TRUE(dlg.ClickDlgButton(IDOK));
    EXPECT_FALSE(dlg.HasEnded());               // the exchange failed
    EXPECT_FALSE(dlg.ClickDlgButton(13049));    // an edit is no button
    dlg.GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
    EXPECT_FALSE(dlg.ClickDlgButton(IDCANCEL));
    dlg.GetDlgItem(IDOK)->ShowWindow(SW_HIDE);
    EXPECT_FALSE(dlg.ClickDlgButton(IDOK));
    dlg.GetDlgItem(IDOK)->ShowWindow(SW_SHOW);
    dlg.SetDlgItemText(13049, "good");
    EXPECT_TRUE(dlg.ClickDlgButton(IDOK));
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_EQ(dlg.m_name, "good");
    BOOL ok = TRUE;
    dlg.SetDlgItemText(13049, " -12 ");
    EXPECT_EQ(dlg.GetDlgItemInt(13049, &ok), -12);
    EXPECT_TRUE(ok);
    dlg.SetDlgItemText(13049, "12a");
    EXPECT_EQ(dlg.GetDlgItemInt(13049, &ok), 0);
    EXPECT_FALSE(ok);
}

class CPage : public CPropertyPage {
public:
    explicit CPage(std::vector<std::string>& log, const char* name) : CPropertyPage(IDD_SAMPLE_SETTINGS_PAGE), m_log(log), m_name(name) {}
    BOOL OnSetActive() override { m_log.push_back(m_name + " set"); return CPropertyPage::OnSetActive(); }
    BOOL OnKillActive() override { m_log.push_back(m_name + " kill"); return m_refuse ? FALSE : CPropertyPage::OnKillActive(); }
    void OnOK() override { m_log.push_back(m_name + " ok"); }
    std::vector<std::string>& m_log;
    std::string m_name;
    bool m_refuse = false;
};

TEST(PropertySheets, ActivatePagesAndAcceptOnlyWhenTheActivePageAgrees)
{
    std::vector<std::string> log;
    CPropertySheet sheet("Sheet");
    CPage first(log, "a");
    sheet.AddPage(&first);
    sheet.AddPage(std::make_unique<CPage>(log, "b"));
    sheet.AddPage(&first);  // already in: refused
    ASSERT_EQ(sheet.GetPageCount(), 2);
    sheet.OnInitDialog();
    EXPECT_TRUE(first.IsCreated());
    first.m_refuse = true;
    EXPECT_FALSE(sheet.SetActivePage(1));
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    sheet.OnOK();
    EXPECT_FALSE(sheet.HasEnded());
    EXPECT_EQ(log, (std::vector<std::string>{"a set", "a kill", "a kill"}));
    first.m_refuse = false;
    log.clear();
    sheet.OnOK();
    EXPECT_TRUE(sheet.HasEnded());
    EXPECT_EQ(log, (std::vector<std::string>{"a kill", "a ok", "b ok"}));

    EXPECT_TRUE(sheet.IsPageOwned(1));
    sheet.RemovePage(1);  // deletes the owned page
    {
        CPage temporary(log, "t");
        sheet.AddPage(&temporary);
        EXPECT_EQ(sheet.GetPageCount(), 2);
    }  // a deleted page leaves its sheet
    EXPECT_EQ(sheet.GetPageCount(), 1);
}

// A terminal host reading from a file that stands for the keyboard.
struct Terminal {
    explicit Terminal(const char* typed) : in(std::tmpfile()), out(std::tmpfile())
    {
        std::fputs(typed, in);
        std::rewind(in);
    }
    ~Terminal()
    {
        std::fclose(in);
        std::fclose(out);
    }
    std::string Shown() const
    {
        std::rewind(out);
        std::string text;
        for (int ch = std::fgetc(out); ch != EOF; ch = std::fgetc(out))
            text += static_cast<char>(ch);
        return text;
    }
    FILE* in;
    FILE* out;
};

TEST(TerminalUIHost, AsksForAnswersAndWalksTheDialogFields)
{
    {
        Terminal t("maybe\ns\n\n");
        CTerminalUIHost host(t.in, t.out, true);
        EXPECT_EQ(host.MessageBox("¿Seguro?", MB_YESNO | MB_ICONWARNING), IDYES);
        EXPECT_EQ(host.MessageBox("Listo", MB_OK), IDOK);                    // prints only
        EXPECT_EQ(host.MessageBox("Otra vez", MB_RETRYCANCEL), IDCANCEL);    // empty line, then end of input
        const std::string shown = t.Shown();
        EXPECT_NE(shown.find("ZEN Warning: ¿Seguro?\n[y/n] [y/n] "), std::string::npos) << shown;
        EXPECT_NE(shown.find("ZEN Message: Listo\n"), std::string::npos);
    }
    {
        Terminal t("y\n");
        CTerminalUIHost quiet(t.in, t.out, false);
        EXPECT_EQ(quiet.MessageBox("q", MB_YESNO), IDNO);  // off a terminal nothing is read
        CDialog dlg(IDD_LOGIN);
        CUIHostScope scope(&quiet);
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
    {
        Terminal t("bob\nsecret\n\n");
        CTerminalUIHost host(t.in, t.out, true);
        CUIHostScope scope(&host);
        CDialog dlg(IDD_LOGIN);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.GetDlgItemText(13049), "bob");
        EXPECT_EQ(dlg.GetDlgItemText(13050), "secret");
        EXPECT_NE(t.Shown().find("Usuario []: Contraseña: Aceptar? [Y/n] "), std::string::npos) << t.Shown();
    }
    {
        // An application's own template: an edit and three buttons.
        ZenDialogTemplate own;
        own.id = 4711;
        own.caption = "Propio";
        own.cx = 100;
        own.cy = 50;
        own.controls = {{ZenControlKind::Static, IDC_STATIC, "&Nombre:", 2, 2, 30, 8},
                        {ZenControlKind::Edit, 100, "", 34, 2, 60, 12},
                        {ZenControlKind::PushButton, IDOK, "Aceptar", 2, 30, 30, 14, BS_DEFPUSHBUTTON},
                        {ZenControlKind::PushButton, IDCANCEL, "Cancelar", 34, 30, 30, 14},
                        {ZenControlKind::PushButton, 900, "Más", 66, 30, 30, 14}};
        ZenRegisterDialogTemplate(own);
        Terminal t("x\n3\n\n\n");  // type, press "Más" (stays open), keep, press the default
        CTerminalUIHost host(t.in, t.out, true);
        CUIHostScope scope(&host);
        CDialog dlg(4711);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.GetCaption(), "Propio");
        EXPECT_EQ(dlg.GetDlgItemText(100), "x");
        EXPECT_NE(t.Shown().find("Nombre [x]: "), std::string::npos) << t.Shown();
    }
}

} // namespace
