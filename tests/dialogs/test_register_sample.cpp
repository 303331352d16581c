// Tests of the sample registration dialog over a real database file, driven
// through the scripted UI host: opening without fields, the proposed
// identifier, identifiers of other samples, OK in both modes, batches and the
// labels of the field rows.
#include "dialogs/DialogTestSupport.h"

#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "dialogs/BatchCreateDlg.h"
#include "dialogs/RegisterSampleDlg.h"
#include "framework/UIHost.h"

#include <gtest/gtest.h>

namespace {

using dlgtest::Text;

class RegisterSampleDialog : public ::testing::Test {
protected:
    CZENDatabase& Db() { return m_bed.Facade(); }
    static CRegisterSampleDlg& AsRegister(CDialog& dialog) { return dynamic_cast<CRegisterSampleDlg&>(dialog); }

    // Runs the registration dialog with one script that ends by cancelling.
    bool RunRegistering(const std::function<void(CRegisterSampleDlg&)>& script)
    {
        m_host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
            script(AsRegister(d));
            return IDCANCEL;
        });
        CMapStringToOb presets;
        return Db().RegisterNewSampleByDialog(presets);
    }

    dlgtest::CDialogTestBed m_bed;
    CScriptedUIHost m_host;
    CUIHostScope m_scope{&m_host};
};

TEST_F(RegisterSampleDialog, ClosesAtOnceWithoutFacadeOrFields)
{
    CRegisterSampleDlg orphan(nullptr, -1);
    EXPECT_EQ(orphan.DoModal(), IDCANCEL);
    m_bed.Exec({"DELETE FROM Registration"});
    CMapStringToOb presets;
    EXPECT_FALSE(Db().RegisterNewSampleByDialog(presets));

    ASSERT_EQ(m_host.GetMessages().size(), 2u);
    EXPECT_EQ(m_host.GetMessages()[0].text, Text(13006));
    EXPECT_EQ(m_host.GetMessages()[1].text,
              "Las muestras no se pueden registar porque todos los campos son invisibles.\n"
              "Hacer visibles algunos campos e intentarlo de nuevo");
    for (const auto& run : m_host.GetDialogs())
        EXPECT_TRUE(run.endedAtInit);
    EXPECT_EQ(m_host.GetPendingDialogScripts(), 0u);
}

TEST_F(RegisterSampleDialog, ProposesTheNextFreeIdentifierAndRemembersIt)
{
    m_bed.AddSample("S-7");
    m_bed.AddSample("S-8");
    ASSERT_TRUE(AfxGetApp()->WriteProfileString("RegisterSampleDlg", "UserSampleID", "S-7"));
    ASSERT_EQ(AfxGetApp()->GetProfileString("RegisterSampleDlg", "UserSampleID"), "S-7");
    // The day may change while the dialog opens: the date it shows must be
    // the day before or the day after, whichever it took.
    const CString dayBefore = CTime::GetCurrentTime().Format("%Y-%m-%d");
    CString shown;
    RunRegistering([&](CRegisterSampleDlg& dlg) {
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "S-9");
        EXPECT_EQ(dlg.GetCaption(), Text(13008));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID_LABEL), "Identificador de la muestra");
        EXPECT_TRUE(dlg.GetDlgItem(IDC_REGISTER_BATCH)->IsWindowVisible());
        // The visible registration date starts as today.
        CTime date;
        ASSERT_EQ(dlg.GetDlgItemAs<CDateTimeCtrl>(43006)->GetTime(date), GDT_VALID);
        shown = date.Format("%Y-%m-%d");
    });
    const CString dayAfter = CTime::GetCurrentTime().Format("%Y-%m-%d");
    EXPECT_TRUE(shown == dayBefore || shown == dayAfter) << shown.GetString();
    EXPECT_EQ(AfxGetApp()->GetProfileString("RegisterSampleDlg", "UserSampleID"), "S-9");
}

TEST_F(RegisterSampleDialog, IdentifierOfAnotherSampleAsksToLoadIt)
{
    const int32_t key = m_bed.AddSample("S-1", "WO-1");
    for (const int answer : {IDYES, IDNO}) {
        m_host.Reset();
        m_host.QueueMessageAnswer(answer);
        RunRegistering([&](CRegisterSampleDlg& dlg) {
            dlg.SetDlgItemText(IDC_SAMPLE_ID, "S-1");
            dlg.SetDlgItemText(43001, "typed");
            EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
            if (answer == IDYES) {
                EXPECT_TRUE(dlg.IsEditing());
                EXPECT_EQ(dlg.GetSampleKey(), key);
                EXPECT_EQ(dlg.GetCaption(), Text(13009));
                EXPECT_EQ(dlg.GetDlgItemText(43001), "WO-1");
                // Registering the edited sample saves it and goes back to
                // registering with the next free identifier.
                dlg.SetDlgItemText(43002, "P-1");
                EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
                EXPECT_FALSE(dlg.IsEditing());
                EXPECT_EQ(dlg.GetCaption(), Text(13008));
                EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "S-2");
                EXPECT_EQ(dlg.GetSample().SampleID, -1);
            } else {
                EXPECT_FALSE(dlg.IsEditing());
                EXPECT_EQ(dlg.GetCaption(), Text(13008));
                EXPECT_EQ(dlg.GetDlgItemText(43001), "typed");
                EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "S-1");
            }
        });
        ASSERT_EQ(m_host.GetMessages().size(), 1u) << answer;
        EXPECT_EQ(m_host.GetMessages()[0].text, Text(13021));
        EXPECT_EQ(m_host.GetMessages()[0].style, MB_YESNO | MB_ICONWARNING);
        EXPECT_EQ(m_bed.SampleCount(), 1);
        EXPECT_EQ(m_bed.FindSample("S-1")->WorkOrder, "WO-1");
        EXPECT_EQ(m_bed.FindSample("S-1")->PartNo, "P-1");  // saved in the Yes run, kept by the No run
    }
}

TEST_F(RegisterSampleDialog, EmptyOrQuotedIdentifiersAreRefused)
{
    for (const char* id : {"", "O'1"}) {
        m_host.Reset();
        RunRegistering([&](CRegisterSampleDlg& dlg) {
            dlg.SetDlgItemText(IDC_SAMPLE_ID, id);
            dlg.SetDlgItemText(43001, "kept");
            EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
            EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), id);
            EXPECT_EQ(dlg.GetDlgItemText(43001), "kept");
        });
        ASSERT_EQ(m_host.GetMessages().size(), 1u) << id;
        EXPECT_EQ(m_host.GetMessages()[0].text, "Identificador de la muestra de usuario no válido");
    }
    EXPECT_EQ(m_bed.SampleCount(), 0);
}

TEST_F(RegisterSampleDialog, RegisterButtonSavesAndStaysOpenWithTheNextIdentifier)
{
    CZENDB_Pattern pattern(&Db());
    pattern.Name = "Vickers HV1";
    ASSERT_TRUE(pattern.Save());
    CZENDB_Routine routine(&Db());
    routine.Name = "Rutina A";
    ASSERT_TRUE(routine.Save());

    RunRegistering([&](CRegisterSampleDlg& dlg) {
        auto* combo = dlg.GetDlgItemAs<CComboBox>(IDC_DEFAULT_TEST);
        ASSERT_EQ(combo->GetCount(), 2);
        EXPECT_EQ(combo->GetLBText(0), "M: Rutina A");
        EXPECT_EQ(combo->GetLBText(1), "P: Vickers HV1");
        combo->SetCurSel(combo->FindStringExact(-1, "P: Vickers HV1"));
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "S-1");
        dlg.SetDlgItemText(43001, "WO  ");
        dlg.SetDlgItemText(43002, "P-9");
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "S-2");
        EXPECT_EQ(dlg.GetDlgItemText(43001), "WO");
        EXPECT_EQ(dlg.GetDlgItemText(43002), "P-9");
        // Clear all fields empties the texts and forgets them.
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_CLEAR_FIELDS));
        EXPECT_EQ(dlg.GetDlgItemText(43001), "");
    });
    const auto saved = m_bed.FindSample("S-1");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->WorkOrder, "WO");
    EXPECT_EQ(saved->PartNo, "P-9");
    bool isRoutine = true;
    int32_t test = -1;
    CZENDB_Sample copy(*saved);
    ASSERT_TRUE(copy.GetDefaultProfileOrRoutine(isRoutine, test));
    EXPECT_FALSE(isRoutine);
    EXPECT_EQ(test, pattern.PatternID);
}

TEST_F(RegisterSampleDialog, OkClosesWithoutSavingWhenRegisteringAndSavesWhenEditing)
{
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_SAMPLE_ID, "S-5");
        return IDOK;
    });
    CMapStringToOb presets;
    EXPECT_TRUE(Db().RegisterNewSampleByDialog(presets));
    EXPECT_EQ(m_bed.SampleCount(), 0);

    const int32_t key = m_bed.AddSample("S-1", "WO-1");
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        auto& dlg = AsRegister(d);
        EXPECT_EQ(dlg.GetCaption(), Text(13009));
        EXPECT_FALSE(dlg.GetDlgItem(IDC_REGISTER_SAMPLE)->IsWindowVisible());
        EXPECT_FALSE(dlg.ClickDlgButton(IDC_REGISTER_BATCH));
        EXPECT_EQ(dlg.GetDlgItemText(43001), "WO-1");
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "");
        return IDOK;  // refused: empty identifier
    });
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_SAMPLE_ID, "S-1");
        d.SetDlgItemText(43001, "WO-2");
        return IDOK;
    });
    EXPECT_TRUE(Db().EditSampleByDialog(key));
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_EQ(m_host.GetMessages()[0].text, Text(13022));
    EXPECT_EQ(m_host.GetMessages()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(m_host.GetDialogs().back().scriptsUsed, 2);
    EXPECT_EQ(m_bed.FindSample("S-1")->WorkOrder, "WO-2");
    EXPECT_EQ(m_bed.SampleCount(), 1);
}

TEST_F(RegisterSampleDialog, BatchRegistersTheFreeIdentifiersOfTheRange)
{
    struct Case {
        const char* name;
        std::vector<const char*> existing;
        const char* count;
        int answer;
        const char* message;  // nullptr: none asked
        std::vector<const char*> created;
        bool editsFirst;
    };
    const Case cases[] = {
        {"one exists", {"A2"}, "3", IDYES,
         "Estas muestras ya existen: \nA2\n\n¿Quisiera crear el resto de las muestras?\n\nA1, A3", {"A1", "A3"}, false},
        {"all exist", {"A1", "A2"}, "2", IDYES, "Estas muestras ya existen: \nA1, A2\n ¿Le gustaría cargar la primera muestra?",
         {}, true},
        {"none exists", {}, "2", IDYES, nullptr, {"A1", "A2"}, false},
        {"count 0", {}, "0", IDYES, nullptr, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlgtest::CDialogTestBed bed;
        m_host.Reset();
        for (const char* id : c.existing)
            bed.AddSample(id, "orig");
        m_host.QueueMessageAnswer(c.answer);
        m_host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
            auto& dlg = AsRegister(d);
            dlg.SetDlgItemText(IDC_SAMPLE_ID, "A1");
            dlg.SetDlgItemText(43001, "WO-B");
            EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_BATCH));
            EXPECT_EQ(dlg.IsEditing(), c.editsFirst);
            if (c.editsFirst) {
                EXPECT_EQ(dlg.GetCaption(), Text(13009));
                EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "A1");
                EXPECT_EQ(dlg.GetDlgItemText(43001), "orig");
            }
            return IDCANCEL;
        });
        m_host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
            EXPECT_EQ(d.GetTemplateId(), IDD_BATCH_CREATE);
            d.SetDlgItemText(IDC_BATCH_COUNT, c.count);
            return IDOK;
        });
        CMapStringToOb presets;
        bed.Facade().RegisterNewSampleByDialog(presets);

        if (c.message != nullptr) {
            ASSERT_EQ(m_host.GetMessages().size(), 1u);
            EXPECT_EQ(m_host.GetMessages()[0].text, c.message);
            EXPECT_EQ(m_host.GetMessages()[0].style, MB_YESNO | MB_ICONWARNING);
        } else {
            EXPECT_TRUE(m_host.GetMessages().empty());
        }
        EXPECT_EQ(bed.SampleCount(), static_cast<int>(c.existing.size() + c.created.size()));
        for (const char* id : c.created) {
            const auto sample = bed.FindSample(id);
            ASSERT_TRUE(sample) << id;
            EXPECT_EQ(sample->WorkOrder, "WO-B") << id;
        }
        for (const char* id : c.existing)
            EXPECT_EQ(bed.FindSample(id)->WorkOrder, "orig") << id;
    }
}

TEST_F(RegisterSampleDialog, LabelsCarryTheColumnSizeAndHiddenFieldsHideTheirRows)
{
    // A visible field whose column the Samples table does not have.
    m_bed.Exec({"UPDATE Registration SET Control='Remarks', Visible=1 WHERE Control='CustomField1'"});
    RunRegistering([](CRegisterSampleDlg& dlg) {
        struct Row {
            int label;
            const char* text;
            bool visible;
        };
        const Row rows[] = {
            {13201, "Orden de trabajo (50)", true},
            {13203, "Detalle (100)", true},
            {13206, "Fecha de registro", true},
            {13208, "Registrado por (50)", true},
            {13209, "Remarks (0)", true},
            {13210, "", false},
        };
        for (const Row& row : rows) {
            EXPECT_EQ(dlg.GetDlgItemText(row.label), row.text) << row.label;
            EXPECT_EQ(dlg.GetDlgItem(row.label)->IsWindowVisible() != FALSE, row.visible) << row.label;
            EXPECT_EQ(dlg.GetDlgItem(row.label + 29800)->IsWindowVisible() != FALSE, row.visible) << row.label;
        }
        EXPECT_EQ(dlg.GetDlgItemAs<CEdit>(43001)->GetLimitText(), 50u);
        EXPECT_EQ(dlg.GetDlgItemAs<CEdit>(43003)->GetLimitText(), 100u);
    });
}

} // namespace

namespace {

// Another station registering on the same file while a message box of this
// one is open: a scripted host that, when a message with the given text
// appears, stores samples through a connection of its own first.
class CRacingHost : public CScriptedUIHost {
public:
    CRacingHost(std::string path, std::string whenText, std::vector<std::string> ids)
        : m_path(std::move(path)), m_whenText(std::move(whenText)), m_ids(std::move(ids))
    {
    }
    int MessageBox(const CString& text, UINT style) override
    {
        if (text.Str().rfind(m_whenText, 0) == 0 && !m_done) {
            m_done = true;
            CDatabase other;
            other.OpenEx(CString("DBQ=") + m_path.c_str() + ";", CDatabase::noOdbcDialog);
            for (const std::string& id : m_ids) {
                CZENDB_Sample sample(&other, id.c_str());
                sample.WorkOrder = "other station";
                sample.Save();
            }
        }
        return CScriptedUIHost::MessageBox(text, style);
    }

private:
    std::string m_path;
    std::string m_whenText;
    std::vector<std::string> m_ids;
    bool m_done = false;
};

// The identifier is taken between the dialog's check and the save (here a
// trigger of the dialog's own connection plays the other station): the
// dialog says so, proposes the next free identifier and keeps the typing.
TEST_F(RegisterSampleDialog, IdentifierTakenMeanwhileProposesTheNextFreeOneAndKeepsTheTyping)
{
    m_bed.AddSample("R-6");
    m_bed.Exec({"CREATE TEMP TRIGGER OtherStation BEFORE INSERT ON Samples WHEN NEW.UserSampleID = 'R-5' "
                "BEGIN INSERT INTO Samples (UserSampleID) VALUES ('R-5'); END"});
    RunRegistering([&](CRegisterSampleDlg& dlg) {
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "R-5");
        dlg.SetDlgItemText(43001, "WO-typed");
        dlg.SetDlgItemText(43002, "P-typed");
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
        EXPECT_FALSE(dlg.IsEditing());
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "R-7") << "R-5 taken, R-6 registered";
        EXPECT_EQ(dlg.GetDlgItemText(43001), "WO-typed");
        EXPECT_EQ(dlg.GetDlgItemText(43002), "P-typed");
        // Registering again stores the proposal with what was typed.
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "R-8");
    });
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_EQ(m_host.GetMessages()[0].text,
              "¡Aviso!\nLa muestra R-5 se acaba de registrar en otro puesto.\n"
              "Se propone el siguiente identificador libre: R-7");
    EXPECT_EQ(m_host.GetMessages()[0].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(m_bed.SampleCount(), 2);
    const auto stored = m_bed.FindSample("R-7");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->WorkOrder, "WO-typed");
    EXPECT_EQ(stored->PartNo, "P-typed");
}

// Identifiers of a batch taken by another station while the operator reads
// the question are passed over, named, and never stored twice.
TEST_F(RegisterSampleDialog, BatchPassesOverIdentifiersTakenMeanwhileAndNamesThem)
{
    dlgtest::CDialogTestBed bed;
    bed.AddSample("A2", "orig");
    CRacingHost host(bed.Path(), "Estas muestras ya existen", {"A3", "a5"});
    CUIHostScope scope(&host);
    host.QueueMessageAnswer(IDYES);
    host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        auto& dlg = AsRegister(d);
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "A1");
        dlg.SetDlgItemText(43001, "WO-B");
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_BATCH));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_SAMPLE_ID), "A6");
        return IDCANCEL;
    });
    host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_BATCH_COUNT, "5");
        return IDOK;
    });
    CMapStringToOb presets;
    bed.Facade().RegisterNewSampleByDialog(presets);

    ASSERT_EQ(host.GetMessages().size(), 2u);
    EXPECT_EQ(host.GetMessages()[1].text,
              "Estos identificadores se acaban de registrar en otro puesto y se han omitido: \nA3, A5");
    EXPECT_EQ(bed.SampleCount(), 5);
    for (const char* id : {"A1", "A4"})
        EXPECT_EQ(bed.FindSample(id)->WorkOrder, "WO-B") << id;
    for (const char* id : {"A3", "a5"})
        EXPECT_EQ(bed.FindSample(id)->WorkOrder, "other station") << id;
    EXPECT_EQ(bed.FindSample("A5")->UserSampleID, "a5");
}

// A batch started while a registered sample is being edited creates new
// samples from nothing but the registration data on screen: no signature,
// measurement, trace or hidden field of the edited sample.
TEST_F(RegisterSampleDialog, BatchFromEditingModeStartsEverySampleFromAFreshRecord)
{
    CZENDB_Sample signedSample(&Db(), "S-1");
    signedSample.WorkOrder = "WO-1";
    signedSample.Signed = TRUE;
    signedSample.Signature = "LR";
    signedSample.MeasuredBy = "luis";
    signedSample.MeasuredDate = CTime(2014, 3, 6, 8, 0, 5);
    signedSample.CustomField5 = "hidden value";
    signedSample.Trace.AddPoint({1.0, 2.0});
    ASSERT_TRUE(signedSample.Save());

    m_host.QueueMessageAnswer(IDYES);  // 13021: load the registered sample
    m_host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        auto& dlg = AsRegister(d);
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "S-1");
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_SAMPLE));
        EXPECT_TRUE(dlg.IsEditing());
        dlg.SetDlgItemText(IDC_SAMPLE_ID, "B-1");
        dlg.SetDlgItemText(43002, "P-batch");
        EXPECT_TRUE(dlg.ClickDlgButton(IDC_REGISTER_BATCH));
        EXPECT_FALSE(dlg.IsEditing());
        return IDCANCEL;
    });
    m_host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_BATCH_COUNT, "2");
        return IDOK;
    });
    CMapStringToOb presets;
    Db().RegisterNewSampleByDialog(presets);

    EXPECT_EQ(m_bed.SampleCount(), 3);
    for (const char* id : {"B-1", "B-2"}) {
        SCOPED_TRACE(id);
        const auto sample = m_bed.FindSample(id);
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->WorkOrder, "WO-1") << "shown on screen, so typed for the batch";
        EXPECT_EQ(sample->PartNo, "P-batch");
        EXPECT_FALSE(sample->Signed);
        EXPECT_EQ(sample->Signature, "");
        EXPECT_EQ(sample->MeasuredBy, "");
        EXPECT_EQ(sample->MeasuredDate.GetTime(), 0);
        EXPECT_EQ(sample->CustomField5, "");
        EXPECT_EQ(sample->Trace.GetTotalNumberOfPoints(), 0u);
    }
    const auto edited = m_bed.FindSample("S-1");
    ASSERT_TRUE(edited);
    EXPECT_TRUE(edited->Signed);
    EXPECT_EQ(edited->Signature, "LR");
    EXPECT_EQ(edited->PartNo, "");
}

} // namespace
