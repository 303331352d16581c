// Tests of the batch count dialog (explanation, count kept in the profile,
// negative counts refused) and of the sample settings page (fields in the
// slots of their kind and number, storing through the facade).
#include "dialogs/DialogTestSupport.h"

#include "databaseobjects/CZENDB_RegistrationField.h"
#include "dialogs/BatchCreateDlg.h"
#include "dialogs/SampleAdminPage.h"
#include "framework/PropertySheet.h"
#include "framework/UIHost.h"

#include <gtest/gtest.h>

namespace {

TEST(BatchCreateDialog, ShowsTheFirstTwoIdentifiersAndKeepsTheCountInTheProfile)
{
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    AfxGetApp()->WriteProfileString("BatchCreateDlg", nullptr, nullptr);

    CBatchCreateDlg first(nullptr, "S-7");
    EXPECT_EQ(first.m_strNumberOfSamples, "1");
    host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        EXPECT_EQ(d.GetCaption(), "Batch create");
        EXPECT_EQ(d.GetDlgItemText(IDC_BATCH_EXPLANATION),
                  "Esta función crea un lote de muestras con los siguientes nombres: \" S-7, S-8 ...\".");
        EXPECT_EQ(d.GetDlgItemText(IDC_BATCH_COUNT), "0");
        EXPECT_EQ(d.GetDlgItemText(IDC_BATCH_FIRST_ID), "S-7");
        EXPECT_FALSE(d.GetDlgItem(IDC_BATCH_FIRST_ID)->IsWindowVisible());
        auto* count = d.GetDlgItemAs<CEdit>(IDC_BATCH_COUNT);
        EXPECT_FALSE(count->InputText("-1"));  // digits only
        EXPECT_TRUE(count->InputText("5"));
        return IDOK;
    });
    EXPECT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(first.GetNumberOfSamples(), 5);
    EXPECT_EQ(AfxGetApp()->GetProfileInt("BatchCreateDlg", "NumberOfSamples", -9), 5);

    CBatchCreateDlg second(nullptr, "A009");
    host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        EXPECT_EQ(d.GetDlgItemText(IDC_BATCH_COUNT), "5");
        EXPECT_NE(d.GetDlgItemText(IDC_BATCH_EXPLANATION).Find("A009, A010"), -1);
        d.SetDlgItemText(IDC_BATCH_COUNT, "-1");
        return IDOK;  // refused without a message
    });
    host.QueueDialogAnswer(IDCANCEL);
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(host.GetDialogs().back().scriptsUsed, 2);
    EXPECT_TRUE(host.GetMessages().empty());
    EXPECT_EQ(AfxGetApp()->GetProfileInt("BatchCreateDlg", "NumberOfSamples", -9), 5);
}

class SampleSettingsPage : public ::testing::Test {
protected:
    // Visible flag and description of a stored field.
    std::pair<bool, std::string> Field(const char* control)
    {
        CZENDB_RegistrationField field(&m_bed.Facade());
        EXPECT_TRUE(field.Load(control)) << control;
        return {field.Visible != FALSE, field.GetDescription().Str()};
    }

    dlgtest::CDialogTestBed m_bed;
    CScriptedUIHost m_host;
    CUIHostScope m_scope{&m_host};
};

TEST_F(SampleSettingsPage, ShowsEachFieldInItsSlotAndStoresIt)
{
    // Custom fields in reverse display order, a ninth standard field first.
    m_bed.Exec({"UPDATE Registration SET DisplayOrder = 34 - DisplayOrder WHERE Control LIKE 'CustomField%'",
                "UPDATE RegistrationDescriptions SET Description='Dureza' WHERE Control='CustomField3'",
                "UPDATE Registration SET Visible=1 WHERE Control='CustomField3'",
                "INSERT INTO Registration (Control, Visible, DisplayOrder) VALUES ('Signature', 0, -1)"});
    CPropertySheet sheet("Ajustes");
    EXPECT_EQ(m_bed.Facade().AddSampleSettingsPage(&sheet), 0);
    ASSERT_EQ(sheet.GetPageCount(), 1);

    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        CPropertyPage& page = *dynamic_cast<CPropertySheet&>(d).GetPage(0);
        EXPECT_EQ(page.GetCaption(), "Ajustes de la base de datos");
        struct Slot {
            int check;
            const char* caption;
            UINT checked;
        };
        const Slot standard[] = {{13003, "Firmado por", 0},          {13030, "Orden de trabajo", 1},
                                 {13037, "Fecha de registro", 1},    {13048, "Fecha de vencimiento", 1}};
        for (const Slot& slot : standard) {
            EXPECT_EQ(page.GetDlgItemText(slot.check), slot.caption) << slot.check;
            EXPECT_EQ(page.IsDlgButtonChecked(slot.check), slot.checked) << slot.check;
        }
        EXPECT_EQ(page.GetDlgItemText(13007), "Campo personalizado 1");
        EXPECT_EQ(page.GetDlgItemText(13011), "Dureza");
        EXPECT_EQ(page.IsDlgButtonChecked(13010), 1u);
        EXPECT_EQ(page.GetDlgItemText(13044), "Campo personalizado 19");
        EXPECT_TRUE(page.ClickDlgButton(13030));  // work order hidden
        page.SetDlgItemText(13011, "");           // custom 3 loses its name
        EXPECT_TRUE(page.ClickDlgButton(13047));  // custom 19 shown
        page.SetDlgItemText(13044, "Último");
        return IDOK;
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);

    EXPECT_FALSE(m_bed.Facade().StoreSampleSettingsPage(&sheet, 1));
    EXPECT_FALSE(m_bed.Facade().StoreSampleSettingsPage(&sheet, -1));
    EXPECT_FALSE(m_bed.Facade().StoreSampleSettingsPage(nullptr, 0));
    EXPECT_EQ(Field("WorkOrder"), std::make_pair(true, std::string("WorkOrder")));

    EXPECT_TRUE(m_bed.Facade().StoreSampleSettingsPage(&sheet, 0));
    EXPECT_EQ(sheet.GetPageCount(), 0);
    EXPECT_FALSE(Field("WorkOrder").first);
    EXPECT_EQ(Field("CustomField3"), std::make_pair(true, std::string()));
    EXPECT_EQ(Field("CustomField19"), std::make_pair(true, std::string("Último")));
    EXPECT_EQ(Field("CustomField1"), std::make_pair(false, std::string("Campo personalizado 1")));
    // The ninth standard field was not on the page and keeps its settings.
    EXPECT_TRUE(Field("RegisteredBy").first);
    EXPECT_FALSE(Field("Signature").first);
}

} // namespace
