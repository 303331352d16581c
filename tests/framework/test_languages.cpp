// The string table, the dialog templates and the terminal host in the
// operator's language: shipped texts under the C locale, the catalogues'
// texts in English and Spanish, fallback for a missing entry, and both
// shipped catalogues complete.
#include "LanguageScope.h"
#include "TestSupport.h"

#include "framework/CDialog.h"
#include "framework/DialogTemplate.h"
#include "framework/StringTable.h"
#include "framework/Translation.h"
#include "framework/UIHostTerminal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Every text of a built-in template the catalogues must hold, with its
// catalogue context: captions, the fixed texts of the table and the labels
// the templates hold beyond it.
std::vector<std::pair<std::string, std::string>> TemplateTexts()
{
    std::vector<std::pair<std::string, std::string>> texts;
    for (UINT id : ZenBuiltInDialogTemplateIds()) {
        const std::string context = ZenDialogTextContext(id).Str();
        const ZenDialogTemplate* t = ZenFindDialogTemplate(id);
        if (!t->caption.IsEmpty())
            texts.emplace_back(context, t->caption.Str());
        for (const ZenControlTemplate& c : t->controls) {
            if (!c.text.IsEmpty())
                texts.emplace_back(context, c.text.Str());
        }
    }
    return texts;
}

TEST(Languages, BothShippedCataloguesHoldEveryTextOfTheTableAndTheTemplates)
{
    CLanguageScope c("C.UTF-8");  // the shipped texts are the keys
    int checked = 0;
    for (const char* language : {"en", "es"}) {
        for (UINT id : ZenGetStringTableIds()) {
            const std::string context = std::to_string(id);
            EXPECT_TRUE(ZenCatalogueHasEntry(kZenTextDomain, language, context.c_str(), LoadResString(id)))
                << language << " lacks string " << id;
            ++checked;
        }
        for (const auto& [context, text] : TemplateTexts()) {
            EXPECT_TRUE(ZenCatalogueHasEntry(kZenTextDomain, language, context.c_str(), text.c_str()))
                << language << " lacks " << context << ": " << text;
            ++checked;
        }
        for (const char* word : {"yes", "no", "ok", "cancel", "retry", "abort", "ignore"}) {
            EXPECT_TRUE(ZenCatalogueHasEntry(kZenTextDomain, language, "terminal answer", word)) << language << word;
        }
        EXPECT_TRUE(ZenCatalogueHasEntry(kZenTextDomain, language, "custom field", "Campo personalizado %d"));
    }
    EXPECT_GT(checked, 150);  // the lists are not empty
    EXPECT_FALSE(ZenCatalogueHasEntry(kZenTextDomain, "es", "13010", "Sample ID"));  // the key is the shipped text
    EXPECT_FALSE(ZenCatalogueHasEntry(kZenTextDomain, "fr", "13010", "Identificador de la muestra"));
}

struct LookupCase {
    const char* locale;
    UINT id;
    const char* expected;
};

TEST(Languages, TableLookupsAnswerInTheChosenLanguage)
{
    const LookupCase cases[] = {
        {"C.UTF-8", 13010, "Identificador de la muestra"},
        {"C.UTF-8", 13035, "Failed to upgrade database!"},
        {"POSIX", 13012, "Orden de trabajo"},
        {"en_US.UTF-8", 13010, "Sample ID"},
        {"en_GB.UTF-8", 13012, "Work order"},
        {"en_US.UTF-8", 13036, "Successfully upgraded the database to version %d.%d."},
        {"es_ES.UTF-8", 13012, "Orden de trabajo"},
        {"es_MX.UTF-8", 13035, "¡No se pudo actualizar la base de datos!"},
        {"es_ES.UTF-8", 13037, "No se pudo abrir la base de datos '%s'."},
        {"de_DE.UTF-8", 13035, "Failed to upgrade database!"},  // no catalogue: shipped
    };
    for (const LookupCase& c : cases) {
        CLanguageScope scope(c.locale);
        EXPECT_EQ(LoadResString(c.id), c.expected) << c.locale << " " << c.id;
        CString loaded;
        EXPECT_TRUE(loaded.LoadString(c.id));
        EXPECT_EQ(loaded, c.expected) << c.locale << " " << c.id;
        CString looked;
        EXPECT_TRUE(ZenLookupString(c.id, looked));
        EXPECT_EQ(looked, c.expected);
        EXPECT_FALSE(ZenLookupString(13017, looked)) << c.locale;
        EXPECT_TRUE(looked.IsEmpty());
    }
}

TEST(Languages, DialogsShowTheirTemplateTextsInTheChosenLanguage)
{
    struct Case {
        const char* locale;
        const char* loginCaption;
        const char* userLabel;
        const char* okButton;
        const char* batchCaption;
        const char* batchCancel;
    };
    const Case cases[] = {
        {"C.UTF-8", "Iniciar sesión", "&Usuario:", "Aceptar", "Batch create", "Cancel"},
        {"en_US.UTF-8", "Log in", "&User name:", "OK", "Batch create", "Cancel"},
        {"es_ES.UTF-8", "Iniciar sesión", "&Usuario:", "Aceptar", "Crear lote", "Cancelar"},
    };
    for (const Case& c : cases) {
        CLanguageScope scope(c.locale);
        EXPECT_EQ(LoadDialogCaption(IDD_LOGIN), c.loginCaption) << c.locale;
        EXPECT_STREQ(GetDialogTexts(IDD_LOGIN).at(0).pszText, c.userLabel) << c.locale;
        EXPECT_EQ(LoadDialogCaption(IDD_BATCH_CREATE), c.batchCaption) << c.locale;

        CDialog login(IDD_LOGIN);
        ASSERT_TRUE(login.Create());
        EXPECT_EQ(login.GetCaption(), c.loginCaption) << c.locale;
        EXPECT_EQ(login.GetControlAt(0)->GetWindowText(), c.userLabel) << c.locale;
        EXPECT_EQ(login.GetDlgItemText(IDOK), c.okButton) << c.locale;
        CDialog batch(IDD_BATCH_CREATE);
        ASSERT_TRUE(batch.Create());
        EXPECT_EQ(batch.GetCaption(), c.batchCaption) << c.locale;
        EXPECT_EQ(batch.GetDlgItemText(IDCANCEL), c.batchCancel) << c.locale;
    }
    // Labels the templates hold beyond the table's list, and the initial
    // text of an input, which is data and never translated.
    CLanguageScope en("en_US.UTF-8");
    CDialog search(IDD_SEARCH_SAMPLES);
    ASSERT_TRUE(search.Create());
    EXPECT_EQ(search.GetDlgItemText(13228), "Profile or routine:");
    EXPECT_EQ(search.GetDlgItemText(13201 + 5), "Registration date");
    ZenDialogTemplate own;
    own.id = 4712;
    own.cx = 100;
    own.cy = 40;
    own.controls = {{ZenControlKind::Static, IDC_STATIC, "Aceptar", 2, 2, 30, 8},
                    {ZenControlKind::Edit, 100, "Aceptar", 34, 2, 60, 12}};
    ZenRegisterDialogTemplate(own);
    CDialog ownDialog(4712);
    ASSERT_TRUE(ownDialog.Create());
    EXPECT_EQ(ownDialog.GetControlAt(0)->GetWindowText(), "Aceptar");  // no entry under its context
    EXPECT_EQ(ownDialog.GetDlgItemText(100), "Aceptar");
}

// Compiles a catalogue of the library's domain into dir/<language>/LC_MESSAGES.
void CompileCatalogue(const zentest::CTempDir& dir, const std::string& language, const std::string& entries)
{
    const std::string folder = dir.File(language + "/LC_MESSAGES");
    std::filesystem::create_directories(folder);
    const std::string po = dir.File(language + ".po");
    zentest::WriteFileText(po, "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" + entries);
    const char* msgfmt = std::getenv("ZEN_TEST_MSGFMT");
    ASSERT_NE(msgfmt, nullptr);
    const std::string command = std::string(msgfmt) + " --check -o '" + folder + "/zendatabase.mo' '" + po + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(Languages, ACatalogueWithoutAnEntryFallsBackToTheShippedText)
{
    zentest::CTempDir dir;
    CompileCatalogue(dir, "pt",
                     "msgctxt \"13010\"\nmsgid \"Identificador de la muestra\"\nmsgstr \"Identificador da amostra\"\n\n"
                     "msgctxt \"dialog 13004\"\nmsgid \"Iniciar sesión\"\nmsgstr \"Iniciar sessão\"\n\n"
                     "msgctxt \"13012\"\nmsgid \"Orden de trabajo\"\nmsgstr \"\"\n\n"
                     "msgctxt \"13014\"\nmsgid \"Otro texto\"\nmsgstr \"Outro\"\n");
    CEnvSetting localeDir("ZEN_LOCALEDIR", dir.Path().string());
    CLanguageScope pt("pt_BR.UTF-8");
    EXPECT_EQ(LoadResString(13010), "Identificador da amostra");
    EXPECT_EQ(LoadResString(13011), "Identificador de la muestra");  // same text, other id: no entry
    EXPECT_EQ(LoadResString(13012), "Orden de trabajo");             // empty translation
    EXPECT_EQ(LoadResString(13014), "Detalle");                       // entry for another text
    EXPECT_EQ(LoadDialogCaption(IDD_LOGIN), "Iniciar sessão");
    EXPECT_EQ(LoadDialogCaption(IDD_SEARCH_SAMPLES), "Buscar muestras");
    CDialog login(IDD_LOGIN);
    ASSERT_TRUE(login.Create());
    EXPECT_EQ(login.GetDlgItemText(IDOK), "Aceptar");
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
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
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

TEST(Languages, TheTerminalHostAsksInTheChosenLanguage)
{
    struct Case {
        const char* locale;
        const char* loginShown;
    };
    const Case cases[] = {
        {"C.UTF-8", "== Iniciar sesión ==\nUsuario []: Contraseña: Aceptar? [Y/n] "},
        {"en_US.UTF-8", "== Log in ==\nUser name []: Password: Accept? [Y/n] "},
        {"es_ES.UTF-8", "== Iniciar sesión ==\nUsuario []: Contraseña: ¿Aceptar? [S/n] "},
    };
    for (const Case& c : cases) {
        CLanguageScope scope(c.locale);
        Terminal t("boss\nsecret\n\n");
        CTerminalUIHost host(t.in, t.out, true);
        CUIHostScope hostScope(&host);
        CDialog dlg(IDD_LOGIN);
        EXPECT_EQ(dlg.DoModal(), IDOK) << c.locale;
        EXPECT_EQ(t.Shown(), c.loginShown) << c.locale;
        EXPECT_EQ(dlg.GetDlgItemText(13049), "boss");
    }
}

TEST(Languages, TheTerminalHostTakesTheLanguagesLettersAndTheShippedOnes)
{
    struct Case {
        const char* locale;
        UINT style;
        const char* typed;
        const char* prompt;
        int answer;
    };
    const Case cases[] = {
        {"C.UTF-8", MB_YESNO, "s\n", "[y/n] ", IDYES},
        {"C.UTF-8", MB_YESNO, "y\n", "[y/n] ", IDYES},
        {"C.UTF-8", MB_OKCANCEL, "o\n", "[o/c] ", IDOK},
        {"C.UTF-8", MB_ABORTRETRYIGNORE, "i\n", "[a/r/i] ", IDIGNORE},
        {"en_US.UTF-8", MB_YESNO, "y\n", "[y/n] ", IDYES},
        {"en_US.UTF-8", MB_YESNO, "yes\n", "[y/n] ", IDYES},
        {"en_US.UTF-8", MB_YESNO, "sí\n", "[y/n] ", IDYES},
        {"en_US.UTF-8", MB_YESNOCANCEL, "c\n", "[y/n/c] ", IDCANCEL},
        {"es_ES.UTF-8", MB_YESNO, "s\n", "[s/n] ", IDYES},
        {"es_ES.UTF-8", MB_YESNO, "Sí\n", "[s/n] ", IDYES},
        {"es_ES.UTF-8", MB_YESNO, "y\n", "[s/n] ", IDYES},
        {"es_ES.UTF-8", MB_YESNO, "n\n", "[s/n] ", IDNO},
        {"es_ES.UTF-8", MB_YESNOCANCEL, "c\n", "[s/n/c] ", IDCANCEL},
        {"es_ES.UTF-8", MB_OKCANCEL, "a\n", "[a/c] ", IDOK},
        {"es_ES.UTF-8", MB_OKCANCEL, "o\n", "[a/c] ", IDOK},
        {"es_ES.UTF-8", MB_OKCANCEL, "cancelar\n", "[a/c] ", IDCANCEL},
        {"es_ES.UTF-8", MB_RETRYCANCEL, "r\n", "[r/c] ", IDRETRY},
        {"es_ES.UTF-8", MB_ABORTRETRYIGNORE, "o\n", "[a/r/o] ", IDIGNORE},
        {"es_ES.UTF-8", MB_ABORTRETRYIGNORE, "i\n", "[a/r/o] ", IDIGNORE},
        {"es_ES.UTF-8", MB_ABORTRETRYIGNORE, "x\na\n", "[a/r/o] [a/r/o] ", IDABORT},
    };
    for (const Case& c : cases) {
        CLanguageScope scope(c.locale);
        Terminal t(c.typed);
        CTerminalUIHost host(t.in, t.out, true);
        EXPECT_EQ(host.MessageBox("?", c.style | MB_ICONQUESTION), c.answer) << c.locale << " " << c.typed;
        const std::string shown = t.Shown();
        EXPECT_EQ(shown.substr(shown.find('\n') + 1), c.prompt) << c.locale << " " << c.typed;
    }
    CLanguageScope es("es_ES.UTF-8");
    Terminal t("");
    CTerminalUIHost host(t.in, t.out, true);
    host.MessageBox("Listo", MB_OK | MB_ICONWARNING);
    EXPECT_EQ(t.Shown(), "ZEN Aviso: Listo\n");
}

} // namespace
