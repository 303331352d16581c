// zendb as a process in the operator's language: the same commands under the
// C locale (the texts as written in the code), English and Spanish chosen by
// the environment or by the station configuration; machine-readable output
// that does not change with the language; fields of translated formats; and
// every text marked in the sources present in the catalogues.
#include "ToolTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace zentest {
namespace {

using Env = std::map<std::string, std::optional<std::string>>;

class ToolLanguages : public CToolFixture {
protected:
    void SetUp() override
    {
        CToolFixture::SetUp();
        ASSERT_EQ(Zendb({"samples", "register", "S-1", "WorkOrder=WO-7", "Customer=Acme"}).status, 0);
    }

    // A station configuration holding only [Station] Language=language.
    std::string StationConfig(const std::string& language) const
    {
        const std::string path = m_dir.File("station-" + language + ".ini");
        WriteFileText(path, "[Station]\nLanguage=" + language + "\n");
        return path;
    }
};

struct CLanguageCase {
    const char* name;
    Env env;
    bool spanish;
};

// The ways a language is chosen; the configuration's choice is added by the
// tests that need the fixture's folder.
const std::vector<CLanguageCase>& EnvironmentCases()
{
    static const std::vector<CLanguageCase> cases = {
        {"C locale", {{"LANG", "C.UTF-8"}}, false},
        {"LANG unset", {{"LANG", std::nullopt}}, false},
        {"English", {{"LANG", "en_US.UTF-8"}}, false},
        {"Spanish", {{"LANG", "es_ES.UTF-8"}}, true},
        {"Spanish by LANGUAGE over a German LANG", {{"LANGUAGE", "es"}, {"LANG", "de_DE.UTF-8"}}, true},
        {"LC_ALL wins over LANG", {{"LC_ALL", "es_MX.UTF-8"}, {"LANG", "en_US.UTF-8"}}, true},
        {"LANGUAGE is ignored in the C locale", {{"LANGUAGE", "es"}, {"LANG", "C"}}, false},
        {"a language without a catalogue", {{"LANG", "de_DE.UTF-8"}}, false},
    };
    return cases;
}

TEST_F(ToolLanguages, MessagesHeadingsAndHelpFollowTheEnvironment)
{
    for (const CLanguageCase& c : EnvironmentCases()) {
        SCOPED_TRACE(c.name);
        // A failed operation: exit 1, one line on stderr.
        const CRun missing = Zendb({"samples", "show", "NOPE"}, c.env);
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err, c.spanish ? "zendb: no existe la muestra «NOPE»\n" : "zendb: no sample 'NOPE'\n");
        EXPECT_EQ(missing.out, "");

        // A usage error keeps exit status 2.
        const CRun usage = Zendb({"samples", "register", "S-9", "--count", "0"}, c.env);
        EXPECT_EQ(usage.status, 2);
        EXPECT_EQ(usage.err, c.spanish ? "zendb: --count debe estar entre 1 y 10000\n"
                                       : "zendb: --count must lie between 1 and 10000\n");

        // Table headings for people.
        const CRun list = Zendb({"samples", "list"}, c.env);
        ASSERT_EQ(list.status, 0) << list.err;
        const std::string heading = list.out.substr(0, list.out.find('\n'));
        EXPECT_EQ(heading, c.spanish ? "Identificador de la muestra  Orden de trabajo  Número de pieza  Detalle  Cliente  "
                                       "Material  Fecha de registro  Fecha de medida  Firmado por"
                                     : "Sample ID  Work order  Part no.  Detail  Customer  Material  Registered  "
                                       "Measured  Signed by");

        // A message of success with a field.
        const CRun next = Zendb({"samples", "register", "Customer=Acme"}, c.env);
        ASSERT_EQ(next.status, 0) << next.err;
        EXPECT_EQ(next.out, c.spanish ? "registrada S-2\n" : "registered S-2\n");
        ASSERT_EQ(Zendb({"samples", "delete", "S-2"}).status, 0);

        // --help of a command: its description and options; CLI11's own
        // words stay as they are.
        const CRun help = Zendb({"samples", "list", "--help"}, c.env);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.substr(0, help.out.find('\n')),
                  c.spanish ? "Listar muestras, las más recientes primero" : "List samples, newest first");
        EXPECT_NE(help.out.find("Usage: zendb samples list [OPTIONS]"), std::string::npos);
        EXPECT_NE(help.out.find(c.spanish ? "Solo las muestras medidas en DATE o después"
                                          : "Only samples measured on or after DATE"),
                  std::string::npos)
            << help.out;
    }
}

TEST_F(ToolLanguages, StationConfigurationOverridesTheEnvironment)
{
    struct CCase {
        const char* language;     // [Station] Language
        const char* lang;         // LANG of the environment
        bool spanish;
    };
    const CCase cases[] = {
        {"es", "en_US.UTF-8", true},
        {"es", "C.UTF-8", true},
        {"es_ES", "de_DE.UTF-8", true},
        {"C", "es_ES.UTF-8", false},
        {"en", "es_ES.UTF-8", false},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " over LANG=" + c.lang);
        const Env env = {{"ZEN_CONFIG", StationConfig(c.language)}, {"LANG", c.lang}, {"LANGUAGE", "es:en"}};
        const CRun missing = Zendb({"samples", "show", "NOPE"}, env);
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err, c.spanish ? "zendb: no existe la muestra «NOPE»\n" : "zendb: no sample 'NOPE'\n");
        // The whole tool's help is made after the configuration is read.
        const CRun help = RunZendb({"--help"}, env);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(c.spanish ? "zendb: herramienta de base de datos" : "zendb - database, evaluation",
                                 0),
                  0u)
            << help.out;
    }
}

TEST_F(ToolLanguages, MachineReadableOutputIsTheSameInEveryLanguage)
{
    ASSERT_EQ(Zendb({"patterns", "add", "CHD", "--preset", "case-hardening"}).status, 0);
    ASSERT_EQ(Zendb({"routines", "add", "GEAR", "--pattern", "CHD", "--pattern", "CHD"}).status, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"--format", "json", "samples", "list"},
        {"--format", "csv", "samples", "list"},
        {"--format", "json", "samples", "show", "S-1"},
        {"--format", "csv", "samples", "show", "S-1"},
        {"--format", "json", "patterns", "list"},
        {"--format", "csv", "patterns", "show", "CHD"},
        {"--format", "csv", "fields", "list"},
        {"--format", "json", "routines", "show", "GEAR"},
        {"--format", "csv", "users", "list"},
        {"--format", "json", "info"},
    };
    const std::string config = StationConfig("es");
    for (const auto& command : commands) {
        SCOPED_TRACE(command[1] + " " + command[2]);
        const CRun c = Zendb(command, {{"LANG", "C.UTF-8"}});
        ASSERT_EQ(c.status, 0) << c.err;
        EXPECT_FALSE(c.out.empty());
        for (const Env& env : {Env{{"LANG", "en_US.UTF-8"}}, Env{{"LANG", "es_ES.UTF-8"}},
                               Env{{"LANGUAGE", "es"}, {"LANG", "de_DE.UTF-8"}}, Env{{"ZEN_CONFIG", config}}}) {
            const CRun other = Zendb(command, env);
            EXPECT_EQ(other.status, 0) << other.err;
            EXPECT_EQ(other.out, c.out);
        }
    }
    // The keys are the stable field names, also in Spanish.
    const CRun csv = Zendb({"--format", "csv", "samples", "list"}, {{"LANG", "es_ES.UTF-8"}});
    EXPECT_EQ(csv.out.rfind("SampleID,UserSampleID,WorkOrder,", 0), 0u) << csv.out;
}

TEST_F(ToolLanguages, FieldLabelsAreAcceptedInEnglishAndInTheOperatorsLanguage)
{
    const Env spanish = {{"LANG", "es_ES.UTF-8"}};
    for (const char* name : {"Work order", "orden de trabajo", "WorkOrder"}) {
        SCOPED_TRACE(name);
        const CRun set = Zendb({"samples", "set", "S-1", std::string(name) + "=WO-8"}, spanish);
        EXPECT_EQ(set.status, 0) << set.err;
        EXPECT_EQ(set.out, "modificada S-1\n");
    }
    const CRun unknown = Zendb({"samples", "set", "S-1", "Nope=1"}, spanish);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.rfind("zendb: campo de registro desconocido «Nope» (campos visibles: ", 0), 0u)
        << unknown.err;
}

using ToolLanguagesRuns = CRunsFixture;

// The evaluation for people and a refused import, in Spanish and as written.
TEST_F(ToolLanguagesRuns, EvaluationAndImportErrorsInSpanish)
{
    std::string csv = "depth,D1,D2,indentor,load\n";
    for (const auto& [depth, hv] : std::vector<std::pair<std::string, double>>{
             {"0.1", 700.0}, {"0.3", 650.0}, {"0.5", 560.0}, {"0.7", 500.0}, {"0.9", 420.0}}) {
        const std::string d = VickersDiagonal(hv, 1000.0);
        csv += depth + "," + d + "," + d + ",Vickers,1000\n";
    }
    const Env spanish = {{"LANG", "es_ES.UTF-8"}};
    const CRun imported = Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("run.csv", csv)}, spanish);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "importadas 5 huellas como ejecución 1 de R-1 (patrón CHD)\n");

    const CRun es = Zendb({"evaluate", "R-1"}, spanish);
    ASSERT_EQ(es.status, 0) << es.err;
    EXPECT_EQ(es.out.rfind("Muestra R-1: 1 ejecución de perfil\n\nEjecución 1 CHD: 5 huellas, HV1, ", 0), 0u) << es.out;
    for (const char* text : {"  Resultado ", "  Profundidad de capa  límite 550 HV", "  Dureza del núcleo ",
                             "  Mínimo ", "  Máximo ", "  Media ", "  Desviación típica ", "FUERA de la tolerancia"})
        EXPECT_NE(es.out.find(text), std::string::npos) << text << "\n" << es.out;
    const CRun c = Zendb({"evaluate", "R-1"});
    EXPECT_EQ(c.out.rfind("Sample R-1: 1 profile run\n\nRun 1 CHD: 5 indents, HV1, ", 0), 0u) << c.out;
    EXPECT_NE(c.out.find("  Case depth          limit 550 HV"), std::string::npos) << c.out;

    const std::string bad = Csv("bad.csv", "depth,D1,D2,indentor,load\nx,1,1,Vickers,0\n");
    const CRun refused = Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", bad}, spanish);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "zendb: " + bad +
                               ": 1 fila errónea, no se ha importado nada: línea 2: depth (columna 1) debe ser un "
                               "número decimal de 0 a 100 mm, no «x», load (columna 5) debe ser un número decimal "
                               "de 1 a 100000 gf, no «0»\n");
}

// A catalogue of the test's own, compiled with msgfmt, whose translations
// reorder, repeat, leave out and overshoot the fields of their formats.
TEST_F(ToolLanguages, TranslatedFormatsAreFilledByPosition)
{
    const char* msgfmt = std::getenv("ZEN_TEST_MSGFMT");
    if (msgfmt == nullptr || *msgfmt == '\0')
        GTEST_SKIP() << "msgfmt is not known to the tests";
    const std::filesystem::path folder = m_dir.Path() / "locale" / "xx" / "LC_MESSAGES";
    std::filesystem::create_directories(folder);
    const std::string po = m_dir.File("xx.po");
    WriteFileText(po,
                  "msgid \"\"\n"
                  "msgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                  "msgid \"'%s' is a folder, not a database file\"\n"
                  "msgstr \"[%1$s|%1$s]\"\n\n"
                  "msgid \"no sample '%s'\"\n"
                  "msgstr \"%s %s %5$s %d 100%% %\"\n\n"
                  "msgid \"--count must lie between 1 and 10000\"\n"
                  "msgstr \"\"\n\n"
                  "msgid \"the two passwords differ; nothing was changed\"\n"
                  "msgstr \"nada\"\n");
    // Without --check: the translations are deliberately broken.
    const std::string command = std::string(msgfmt) + " -o '" + (folder / "zendb.mo").string() + "' '" + po + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    const Env env = {{"ZEN_LOCALEDIR", (m_dir.Path() / "locale").string()}, {"LANGUAGE", "xx"},
                     {"LANG", "xx_XX.UTF-8"}};

    const std::string folderArgument = m_dir.Path().string();
    const CRun repeated = RunZendb({"--db", folderArgument, "info"}, env);
    EXPECT_EQ(repeated.status, 1);
    EXPECT_EQ(repeated.err, "zendb: [" + folderArgument + "|" + folderArgument + "]\n");

    // Fields beyond the arguments stay empty; other '%' sequences stay (the
    // error line then has its runs of blanks collapsed, as every error line).
    const CRun overshoot = Zendb({"samples", "show", "NOPE"}, env);
    EXPECT_EQ(overshoot.status, 1);
    EXPECT_EQ(overshoot.err, "zendb: NOPE %d 100% %\n");

    // An empty translation counts as none: the text as written.
    const CRun untranslated = Zendb({"samples", "register", "S-9", "--count", "0"}, env);
    EXPECT_EQ(untranslated.err, "zendb: --count must lie between 1 and 10000\n");
}

// Every text marked in zendb's sources has a translation in each catalogue
// under po/zendb (what scripts/update-po.sh --check reports).
TEST(ToolCatalogues, EveryMarkedTextIsTranslated)
{
    if (std::system("command -v xgettext >/dev/null 2>&1 && command -v msgmerge >/dev/null 2>&1 && "
                    "command -v msgattrib >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the gettext tools are not installed";
    const std::string command = std::string("bash '") + ZEN_SOURCE_DIR + "/scripts/update-po.sh' --check 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
}

} // namespace
} // namespace zentest
