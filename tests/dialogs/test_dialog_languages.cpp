// The sample dialogs in the operator's language, driven through the scripted
// UI host over a real database file: the same registration and login runs
// under the C locale (shipped texts), English and Spanish, and the language
// a station's configuration file fixes when the facade is created.
#include "dialogs/DialogTestSupport.h"

#include "LanguageScope.h"

#include "dialogs/LoginDlg.h"
#include "dialogs/RegisterSampleDlg.h"
#include "framework/UIHost.h"
#include "framework/sql/Recordset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the operator reads in one registration run and one login run.
struct Seen {
    std::string caption;
    std::string sampleIdLabel;
    std::string workOrderLabel;
    std::string custom1Label;
    std::string custom2Label;
    std::string registerButton;
    std::string okButton;
    std::string message;
    std::string loginCaption;
    std::string loginUserLabel;
    std::string loginCancel;
};

Seen RunDialogs(dlgtest::CDialogTestBed& bed)
{
    Seen seen;
    CScriptedUIHost host;
    CUIHostScope scope(&host);
    host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        seen.caption = d.GetCaption().Str();
        seen.sampleIdLabel = d.GetDlgItemText(IDC_SAMPLE_ID_LABEL).Str();
        seen.workOrderLabel = d.GetDlgItemText(13201).Str();
        seen.custom1Label = d.GetDlgItemText(13209).Str();
        seen.custom2Label = d.GetDlgItemText(13210).Str();
        seen.registerButton = d.GetDlgItemText(IDC_REGISTER_SAMPLE).Str();
        seen.okButton = d.GetDlgItemText(IDOK).Str();
        d.SetDlgItemText(IDC_SAMPLE_ID, "");
        d.ClickDlgButton(IDC_REGISTER_SAMPLE);  // refused: an empty identifier
        return IDCANCEL;
    });
    CMapStringToOb presets;
    bed.Facade().RegisterNewSampleByDialog(presets);
    if (!host.GetMessages().empty())
        seen.message = host.GetMessages()[0].text.Str();

    host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
        seen.loginCaption = d.GetCaption().Str();
        seen.loginUserLabel = d.GetControlAt(0)->GetWindowText().Str();
        seen.loginCancel = d.GetDlgItemText(IDCANCEL).Str();
        return IDCANCEL;
    });
    bed.Facade().AskForNameAndPassword("boss");
    return seen;
}

TEST(DialogLanguages, RegistrationAndLoginSpeakTheChosenLanguage)
{
    dlgtest::CDialogTestBed bed;
    // Custom field 1 keeps its stored default name, custom field 2 has one
    // of the station's own.
    bed.Exec({"UPDATE Registration SET Visible=1 WHERE Control IN ('CustomField1', 'CustomField2')",
              "UPDATE RegistrationDescriptions SET Description='Dureza' WHERE Control='CustomField2'"});
    Seen shipped;
    {
        CLanguageScope c("C.UTF-8");
        shipped = RunDialogs(bed);
    }
    EXPECT_EQ(shipped.caption, "Registrar muestra");
    EXPECT_EQ(shipped.sampleIdLabel, "Identificador de la muestra");
    EXPECT_EQ(shipped.workOrderLabel, "Orden de trabajo (50)");
    ASSERT_EQ(shipped.custom1Label.rfind("Campo personalizado 1 (", 0), 0u) << shipped.custom1Label;
    const std::string customSize = shipped.custom1Label.substr(std::string("Campo personalizado 1").size());
    EXPECT_EQ(shipped.custom2Label, "Dureza" + customSize);
    EXPECT_EQ(shipped.registerButton, "Muestra de registro");
    EXPECT_EQ(shipped.okButton, "Aceptar");
    EXPECT_EQ(shipped.message, "Identificador de la muestra de usuario no válido");
    EXPECT_EQ(shipped.loginCaption, "Iniciar sesión");
    EXPECT_EQ(shipped.loginUserLabel, "&Usuario:");
    EXPECT_EQ(shipped.loginCancel, "Cancelar");

    Seen english;
    {
        CLanguageScope en("en_US.UTF-8");
        english = RunDialogs(bed);
    }
    EXPECT_EQ(english.caption, "Register sample");
    EXPECT_EQ(english.sampleIdLabel, "Sample ID");
    EXPECT_EQ(english.workOrderLabel, "Work order (50)");
    EXPECT_EQ(english.custom1Label, "Custom field 1" + customSize);
    EXPECT_EQ(english.custom2Label, "Dureza" + customSize);  // the station's own name as stored
    EXPECT_EQ(english.registerButton, "Register sample");
    EXPECT_EQ(english.okButton, "OK");
    EXPECT_EQ(english.message, "Invalid user sample ID");
    EXPECT_EQ(english.loginCaption, "Log in");
    EXPECT_EQ(english.loginUserLabel, "&User name:");
    EXPECT_EQ(english.loginCancel, "Cancel");

    Seen spanish;
    {
        CLanguageScope es("es_ES.UTF-8");
        spanish = RunDialogs(bed);
    }
    EXPECT_EQ(spanish.caption, shipped.caption);
    EXPECT_EQ(spanish.sampleIdLabel, shipped.sampleIdLabel);
    EXPECT_EQ(spanish.workOrderLabel, shipped.workOrderLabel);
    EXPECT_EQ(spanish.custom1Label, shipped.custom1Label);
    EXPECT_EQ(spanish.custom2Label, shipped.custom2Label);
    EXPECT_EQ(spanish.registerButton, shipped.registerButton);
    EXPECT_EQ(spanish.message, shipped.message);
    EXPECT_EQ(spanish.loginCaption, shipped.loginCaption);
    EXPECT_EQ(spanish.loginCancel, shipped.loginCancel);

    // The stored name never changes with the language.
    CDatabase& db = bed.Facade();
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, "SELECT Description FROM RegistrationDescriptions WHERE Control='CustomField1'");
    ASSERT_FALSE(rs.IsEOF());
    CString stored;
    rs.GetFieldValue("Description", stored);
    EXPECT_EQ(stored, "Campo personalizado 1");
}

TEST(DialogLanguages, TheStationsLanguageSettingAppliesWhenTheFacadeIsCreated)
{
    struct Case {
        const char* setting;  // nullptr: no Language key
        const char* caption;
        const char* idText;
    };
    const Case cases[] = {
        {"en", "Log in", "Sample ID"},
        {"es", "Iniciar sesión", "Identificador de la muestra"},
        {"C", "Iniciar sesión", "Identificador de la muestra"},
        {nullptr, "Log in", "Sample ID"},  // the environment's English again
    };
    zentest::CTempDir dir;
    CLanguageScope environment("en_GB.UTF-8");
    for (const Case& c : cases) {
        const std::string config = dir.File("zen.ini");
        zentest::WriteFileText(config, std::string("[Log]\nFile=") + dir.File("zen.log") + "\n" +
                                           (c.setting ? std::string("[Station]\nLanguage=") + c.setting + "\n" : ""));
        CEnvSetting zenConfig("ZEN_CONFIG", config);
        CZENDatabase facade;
        EXPECT_EQ(LoadResString(13010), c.idText) << (c.setting ? c.setting : "-");
        CScriptedUIHost host;
        CUIHostScope scope(&host);
        host.QueueDialogAnswer(IDCANCEL);
        EXPECT_EQ(facade.AskForNameAndPassword("boss"), 0);
        ASSERT_EQ(host.GetDialogs().size(), 1u);
        EXPECT_EQ(host.GetDialogs()[0].caption, c.caption) << (c.setting ? c.setting : "-");
    }
}

} // namespace
