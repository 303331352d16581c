// Tests of the rights the dialogs ask for, over a real database file with
// users and the scripted UI host: registration, editing and batches need the
// right to register samples, the settings page the right to manage fields,
// the user administration control the right to manage users. A refusal is a
// message box naming the role needed, and nothing is stored.
#include "dialogs/DialogTestSupport.h"

#include "databaseobjects/CZENDB_RegistrationField.h"
#include "dialogs/AdminUserCtl.h"
#include "dialogs/BatchCreateDlg.h"
#include "dialogs/ChangeReasonDlg.h"
#include "dialogs/RegisterSampleDlg.h"
#include "dialogs/SampleAdminPage.h"
#include "framework/PropertySheet.h"
#include "framework/UIHost.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

namespace {

const char* const kNobody = "This needs the role operator; nobody is logged in.";

class DialogRoles : public ::testing::Test {
protected:
    CZENDatabase& Db() { return m_bed.Facade(); }

    // Adds the operator "jon" and the administrator "boss" (password "pw")
    // and opens the facade again, logged in as user (nobody when empty).
    void ReopenAs(const char* user)
    {
        if (!m_usersAdded) {
            ASSERT_EQ(Db().AddUser("jon", "pw", UserRoleOperator), 1);
            ASSERT_EQ(Db().AddUser("boss", "pw", UserRoleAdministrator), 1);
            m_usersAdded = true;
        }
        Db().CloseDatabase();
        CString error;
        ASSERT_EQ(Db().OpenDatabase(*user != '\0' ? 1 : 0, user, "pw", error), 1) << error.GetString();
        m_host.Reset();
    }

    // Visible flag of a stored registration field.
    bool Visible(const char* control)
    {
        CZENDB_RegistrationField field(&Db());
        EXPECT_TRUE(field.Load(control)) << control;
        return field.Visible != FALSE;
    }

    void ExpectOneRefusal(const char* text)
    {
        ASSERT_EQ(m_host.GetMessages().size(), 1u);
        EXPECT_EQ(m_host.GetMessages()[0].text, text);
        EXPECT_EQ(m_host.GetMessages()[0].style, static_cast<UINT>(MB_ICONERROR));
    }

    dlgtest::CDialogTestBed m_bed;
    CScriptedUIHost m_host;
    CUIHostScope m_scope{&m_host};
    bool m_usersAdded = false;
};

TEST_F(DialogRoles, RegistrationAndEditingCloseWithTheRefusalWhenNobodyIsLoggedIn)
{
    const int32_t key = m_bed.AddSample("S-1", "WO-1");
    ReopenAs("");
    CMapStringToOb presets;
    EXPECT_FALSE(Db().RegisterNewSampleByDialog(presets));
    ExpectOneRefusal(kNobody);
    m_host.Reset();
    EXPECT_FALSE(Db().EditSampleByDialog(key));
    ExpectOneRefusal(kNobody);
    for (const auto& run : m_host.GetDialogs())
        EXPECT_TRUE(run.endedAtInit);
    EXPECT_EQ(m_bed.SampleCount(), 1);
}

TEST_F(DialogRoles, AnOperatorRegistersAndABatchOpensForHim)
{
    ReopenAs("jon");
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        auto& dlg = dynamic_cast<CRegisterSampleDlg&>(d);
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "S-5");
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
        return IDCANCEL;
    });
    CMapStringToOb presets;
    Db().RegisterNewSampleByDialog(presets);
    EXPECT_TRUE(m_host.GetMessages().empty());
    EXPECT_TRUE(m_bed.FindSample("S-5").has_value());

    CBatchCreateDlg batch(&Db(), "B-1");
    m_host.QueueDialogAnswer(IDCANCEL);
    EXPECT_EQ(batch.DoModal(), IDCANCEL);
    EXPECT_FALSE(m_host.GetDialogs().back().endedAtInit);
    EXPECT_TRUE(m_host.GetMessages().empty());
}

TEST_F(DialogRoles, ABatchIsRefusedBeforeItAsksForACount)
{
    ReopenAs("");
    AfxGetApp()->WriteProfileInt(ZEN_PROFILE_BATCH_SECTION, ZEN_PROFILE_BATCH_COUNT, 4);
    CBatchCreateDlg batch(&Db(), "B-1");
    EXPECT_EQ(batch.DoModal(), IDCANCEL);
    ExpectOneRefusal(kNobody);
    EXPECT_TRUE(m_host.GetDialogs().back().endedAtInit);
    EXPECT_EQ(AfxGetApp()->GetProfileInt(ZEN_PROFILE_BATCH_SECTION, ZEN_PROFILE_BATCH_COUNT, -9), 4);
    EXPECT_EQ(m_bed.SampleCount(), 0);
}

TEST_F(DialogRoles, TheSettingsPageStoresOnlyForAnAdministrator)
{
    for (const char* user : {"", "jon", "boss"}) {
        SCOPED_TRACE(user);
        ReopenAs(user);
        CPropertySheet sheet("Ajustes");
        const int index = Db().AddSampleSettingsPage(&sheet);
        ASSERT_EQ(index, 0);
        auto* page = dynamic_cast<CSampleAdminPage*>(sheet.GetPage(index));
        ASSERT_NE(page, nullptr);
        // The first standard field, visible until an administrator hides it.
        const CString field = page->m_strStandardNames[0];
        ASSERT_FALSE(field.IsEmpty());
        ASSERT_TRUE(Visible(field.GetString()));
        page->m_bStandardVisible[0] = FALSE;
        const bool administrator = std::string(user) == "boss";
        EXPECT_EQ(Db().StoreSampleSettingsPage(&sheet, index), administrator);
        EXPECT_EQ(Visible(field.GetString()), !administrator);
        if (administrator) {
            EXPECT_TRUE(m_host.GetMessages().empty());
            EXPECT_EQ(sheet.GetPageCount(), 0);
        } else {
            ExpectOneRefusal(*user == '\0' ? "This needs the role administrator; nobody is logged in."
                                           : "This needs the role administrator; user 'jon' is operator.");
            EXPECT_EQ(sheet.GetPageCount(), 1);
            // The page stores nothing by itself either.
            m_host.Reset();
            page->Store(&Db());
            EXPECT_TRUE(Visible(field.GetString()));
            EXPECT_EQ(m_host.GetMessages().size(), 1u);
        }
    }
}

TEST_F(DialogRoles, TheUserAdministrationRefusesAnOperator)
{
    const struct {
        const char* user;
        const char* refusal;   // nullptr: no message
    } cases[] = {
        {"", "This needs the role administrator; nobody is logged in."},
        {"jon", "This needs the role administrator; user 'jon' is operator."},
        {"boss", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        ReopenAs(c.user);
        CAdminUserCtl control;
        control.SetDatabase(&Db());
        EXPECT_FALSE(control.Create("users", 0, CRect(), nullptr, 1));
        EXPECT_FALSE(control.IsCreated());
        if (c.refusal != nullptr)
            ExpectOneRefusal(c.refusal);
        else
            EXPECT_TRUE(m_host.GetMessages().empty());
    }
}

// A station without users: every dialog works without login, no refusal.
TEST_F(DialogRoles, WithoutUsersNothingIsRefused)
{
    CBatchCreateDlg batch(&Db(), "B-1");
    m_host.QueueDialogAnswer(IDCANCEL);
    EXPECT_EQ(batch.DoModal(), IDCANCEL);
    CAdminUserCtl control;
    control.SetDatabase(&Db());
    control.Create("users", 0, CRect(), nullptr, 1);
    CPropertySheet sheet("Ajustes");
    const int index = Db().AddSampleSettingsPage(&sheet);
    EXPECT_TRUE(Db().StoreSampleSettingsPage(&sheet, index));
    EXPECT_TRUE(m_host.GetMessages().empty());
}

// A signed sample changes in the dialog only for a supervisor (here the
// administrator) who gives a reason; the change withdraws the signature and
// carries the reason into the audit trail.
TEST_F(DialogRoles, ASignedSampleChangesOnlyForASupervisorWithAReason)
{
    const int32_t key = m_bed.AddSample("S-1", "WO-1");
    m_bed.Exec({"UPDATE Samples SET Signed = TRUE, Signature = 'boss' WHERE SampleID = " + std::to_string(key)});
    const auto changeWorkOrder = [](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(43001, "WO-2");
        return IDOK;
    };

    ReopenAs("jon");
    m_host.QueueDialogScript(changeWorkOrder);
    m_host.QueueDialogAnswer(IDCANCEL);
    EXPECT_FALSE(Db().EditSampleByDialog(key));
    ExpectOneRefusal("This needs the role supervisor; user 'jon' is operator.");
    EXPECT_EQ(m_bed.FindSample("S-1")->WorkOrder, "WO-1");

    ReopenAs("boss");
    m_host.QueueDialogScript(changeWorkOrder);
    m_host.QueueDialogAnswer(IDCANCEL); // the reason is not given: nothing stored
    m_host.QueueDialogScript([](CDialog&) -> INT_PTR { return IDOK; });
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_CHANGE_REASON, "   ");
        return IDOK; // blanks are no reason: the dialog stays
    });
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        EXPECT_EQ(d.GetTemplateId(), IDD_CHANGE_REASON);
        EXPECT_NE(d.GetDlgItemText(IDC_CHANGE_REASON_NOTE).Find("'S-1' is signed"), -1);
        d.SetDlgItemText(IDC_CHANGE_REASON, " typo in the work order ");
        return IDOK;
    });
    EXPECT_TRUE(Db().EditSampleByDialog(key));
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_EQ(m_host.GetMessages()[0].text, "A signed sample is changed only with a reason.");
    const std::optional<CZENDB_Sample> sample = m_bed.FindSample("S-1");
    EXPECT_EQ(sample->WorkOrder, "WO-2");
    EXPECT_FALSE(sample->Signed);
    EXPECT_TRUE(Db().GetAuditReason().IsEmpty());
    CRecordset trail(&Db());
    trail.Open(CRecordset::forwardOnly,
               "SELECT [Reason] FROM AuditTrail WHERE [FieldName] = 'WorkOrder' AND [NewValue] = 'WO-2'",
               CRecordset::readOnly);
    ASSERT_FALSE(trail.IsEOF());
    CString reason;
    trail.GetFieldValue("Reason", reason);
    EXPECT_EQ(reason, "typo in the work order");
}

} // namespace
