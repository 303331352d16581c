// Message catalogues: the choice of language from the environment and from a
// fixed setting, and lookups in catalogues compiled by msgfmt, with fallback
// to the caller's text.
#include "framework/Translation.h"

#include "TestSupport.h"
#include "companions/EnvSetting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const std::vector<CString>& languages)
{
    std::vector<std::string> out;
    for (const CString& l : languages)
        out.emplace_back(l.GetString());
    return out;
}

// Compiles a catalogue with the real msgfmt into dir/<language>/LC_MESSAGES.
void CompileCatalogue(const zentest::CTempDir& dir, const std::string& language,
                      const std::string& domain, const std::string& entries)
{
    const std::string folder = dir.File(language + "/LC_MESSAGES");
    std::filesystem::create_directories(folder);
    const std::string po = dir.File(language + "-" + domain + ".po");
    zentest::WriteFileText(po, "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" +
                                   entries);
    const char* msgfmt = std::getenv("ZEN_TEST_MSGFMT");
    ASSERT_NE(msgfmt, nullptr);
    const std::string command =
        std::string(msgfmt) + " -o '" + folder + "/" + domain + ".mo' '" + po + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct LanguageCase {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    std::vector<std::string> expected;
};

TEST(Translation, LanguagesFollowTheEnvironmentAsGettextDoes)
{
    const LanguageCase cases[] = {
        {nullptr, nullptr, nullptr, nullptr, {}},
        {nullptr, nullptr, nullptr, "C.UTF-8", {}},
        {"es", nullptr, nullptr, "C.UTF-8", {}},  // LANGUAGE is ignored under C
        {"es", nullptr, nullptr, "POSIX", {}},
        {nullptr, nullptr, nullptr, "es_ES.UTF-8", {"es_ES", "es"}},
        {nullptr, nullptr, nullptr, "de_AT.UTF-8@euro", {"de_AT@euro", "de_AT", "de@euro", "de"}},
        {nullptr, "en_GB.UTF-8", "es_ES.UTF-8", "de_DE.UTF-8", {"en_GB", "en"}},
        {nullptr, nullptr, "es_MX.UTF-8", "de_DE.UTF-8", {"es_MX", "es"}},
        {"es:en", nullptr, nullptr, "de_DE.UTF-8", {"es", "en"}},
        {"fr_CA:es", "en_US.UTF-8", nullptr, nullptr, {"fr_CA", "fr", "es"}},
        {"", nullptr, nullptr, "es_ES.UTF-8", {"es_ES", "es"}},
        {"../../etc:es", nullptr, nullptr, "es_ES.UTF-8", {"es"}},
        {nullptr, "C", nullptr, "es_ES.UTF-8", {}},
    };
    for (const LanguageCase& c : cases) {
        CEnvSetting language("LANGUAGE", c.language);
        CEnvSetting lcAll("LC_ALL", c.lcAll);
        CEnvSetting lcMessages("LC_MESSAGES", c.lcMessages);
        CEnvSetting lang("LANG", c.lang);
        EXPECT_EQ(Names(ZenGetLanguages()), c.expected)
            << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
            << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
    }
}

TEST(Translation, AFixedLanguageOverridesTheEnvironmentUntilCleared)
{
    CEnvSetting lang("LANG", "es_ES.UTF-8");
    ZenSetLanguage("en");
    EXPECT_EQ(Names(ZenGetLanguages()), std::vector<std::string>{"en"});
    ZenSetLanguage("C");
    EXPECT_TRUE(ZenGetLanguages().empty());
    ZenSetLanguage("");
    EXPECT_EQ(Names(ZenGetLanguages()), (std::vector<std::string>{"es_ES", "es"}));
}

TEST(Translation, LooksUpCataloguesInOrderAndFallsBackToTheCallersText)
{
    zentest::CTempDir dir;
    CompileCatalogue(dir, "es", "zentest",
                     "msgid \"Cancel\"\nmsgstr \"Cancelar\"\n\n"
                     "msgctxt \"13010\"\nmsgid \"Sample ID\"\nmsgstr \"Identificador\"\n\n"
                     "msgid \"Untranslated\"\nmsgstr \"\"\n\n"
                     "msgid \"%d file\"\nmsgid_plural \"%d files\"\nmsgstr[0] \"%d fichero\"\n"
                     "msgstr[1] \"%d ficheros\"\n");
    CompileCatalogue(dir, "en", "zentest", "msgid \"Only in English\"\nmsgstr \"Only in English!\"\n");
    CEnvSetting localeDir("ZEN_LOCALEDIR", dir.Path().string());
    CEnvSetting lang("LANG", "es_ES.UTF-8");
    CEnvSetting language("LANGUAGE", "es:en");

    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Cancel"), "Cancelar");
    EXPECT_STREQ(ZenTranslate("zentest", "13010", "Sample ID"), "Identificador");
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Sample ID"), "Sample ID");  // context differs
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Untranslated"), "Untranslated");
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "%d file"), "%d fichero");
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Only in English"), "Only in English!");
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Nowhere"), "Nowhere");
    EXPECT_STREQ(ZenTranslate("otherdomain", nullptr, "Cancel"), "Cancel");

    CEnvSetting c("LANG", "C.UTF-8");
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Cancel"), "Cancel");
}

TEST(Translation, ADamagedCatalogueCountsAsMissing)
{
    zentest::CTempDir dir;
    std::filesystem::create_directories(dir.File("es/LC_MESSAGES"));
    zentest::WriteFileText(dir.File("es/LC_MESSAGES/zentest.mo"), std::string("\xde\x12\x04\x95", 4) +
                                                                     std::string(16, '\xff'));
    std::filesystem::create_directories(dir.File("fr/LC_MESSAGES"));
    zentest::WriteFileText(dir.File("fr/LC_MESSAGES/zentest.mo"), "not a catalogue");
    CEnvSetting localeDir("ZEN_LOCALEDIR", dir.Path().string());
    CEnvSetting lang("LANG", "es_ES.UTF-8");
    CEnvSetting language("LANGUAGE", "fr:es");
    EXPECT_STREQ(ZenTranslate("zentest", nullptr, "Cancel"), "Cancel");
}

TEST(Translation, TheBuildTreesCataloguesAreFoundWithoutSettings)
{
    CEnvSetting localeDir("ZEN_LOCALEDIR", nullptr);
    const std::filesystem::path dir = ZenGetLocaleDir().GetString();
    EXPECT_TRUE(std::filesystem::exists(dir / "es" / "LC_MESSAGES" / "zendatabase.mo")) << dir;
    EXPECT_TRUE(std::filesystem::exists(dir / "en" / "LC_MESSAGES" / "zendb.mo")) << dir;
}

} // namespace
