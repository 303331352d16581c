// zendb as a process: importing profile runs from CSV (bad rows store
// nothing), evaluating them with known answers in every output format, and
// writing reports and diagrams as PDF, SVG and PNG.
#include "ToolTestSupport.h"

#include <sys/stat.h>

#include "framework/sql/Database.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace zentest {
namespace {

// Depth (mm) and HV of a profile whose 550 HV crossing lies at
// (560 - 550) / (560 - 500) * 0.2 + 0.5 = 0.53333 mm.
const std::vector<std::pair<double, double>> kProfile = {
    {0.1, 700.0}, {0.3, 650.0}, {0.5, 560.0}, {0.7, 500.0}, {0.9, 420.0}};

std::string ProfileCsv(const std::vector<std::pair<double, double>>& points, int lanes = 1, double spread = 0.0)
{
    std::string csv = "# made indents, HV1\nDepth [mm],Axis [mm],D1 [um],D2 [um],Indentor,Load [gf],Lane\n";
    for (const auto& [depth, hv] : points) {
        for (int lane = 1; lane <= lanes; ++lane) {
            const double value = lanes == 1 ? hv : hv + (lane == 1 ? spread : -spread);
            const std::string d = VickersDiagonal(value, 1000.0);
            csv += std::to_string(depth) + ",," + d + "," + d + ",Vickers,1000," + std::to_string(lane) + "\n";
        }
    }
    return csv;
}

class ToolRuns : public CEngineTool<CRunsFixture> {};
// A trigger written past the tool in the file engine's own words.
using ToolRunsFile = CRunsFixture;

TEST_P(ToolRuns, ImportAndEvaluateWithKnownAnswers)
{
    const std::string file = Csv("run.csv", ProfileCsv(kProfile));
    EXPECT_EQ(Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", file}),
              "imported 5 indents as run 1 of R-1 (pattern CHD)\n");

    const auto result = Json({"evaluate", "R-1"});
    ASSERT_EQ(result["Runs"].size(), 1u);
    const auto& run = result["Runs"][0];
    EXPECT_EQ(run["ProfileNr"], 1);
    EXPECT_EQ(run["Indents"], 5);
    EXPECT_EQ(run["Lanes"], 1);
    EXPECT_EQ(run["Indentor"], "Vickers");
    ASSERT_EQ(run["CaseDepths"].size(), 1u);
    const auto& depth = run["CaseDepths"][0];
    EXPECT_NEAR(depth["Limit"]["Value"].get<double>(), 550.0, 1e-9);
    EXPECT_EQ(depth["Limit"]["RockwellScale"], "HRC");
    EXPECT_NEAR(depth["Depth"].get<double>(), 0.5 + 0.2 / 6.0, 1e-6);
    // Core: the three deepest, (560 + 500 + 420) / 3.
    EXPECT_NEAR(run["CoreHardness"]["Value"].get<double>(), 1480.0 / 3.0, 1e-6);
    EXPECT_NEAR(run["MinHardness"]["Value"].get<double>(), 420.0, 1e-6);
    EXPECT_NEAR(run["MaxHardness"]["Value"].get<double>(), 700.0, 1e-6);
    EXPECT_NEAR(run["MeanHardness"]["Value"].get<double>(), 566.0, 1e-6);
    // Sample standard deviation: sqrt(50720 / 4).
    EXPECT_NEAR(run["StandardDeviation"]["Value"].get<double>(), std::sqrt(12680.0), 1e-6);
    EXPECT_EQ(run["WithinTolerance"], false);   // 0.533 mm against 0.6 .. 0.9 mm

    // The sample now counts as measured.
    const auto sample = Json({"samples", "show", "R-1"});
    EXPECT_FALSE(sample["MeasuredDate"].is_null());
    ASSERT_EQ(sample["Runs"].size(), 1u);
    EXPECT_EQ(sample["Runs"][0]["Indents"], 5);

    // CSV: one row per run under fixed column names.
    const std::string csv = Ok({"--format", "csv", "evaluate", "R-1"});
    EXPECT_EQ(csv.rfind("UserSampleID,SampleID,ProfileID,ProfileNr,ProfileName,Indents,Lanes,", 0), 0u) << csv;
    EXPECT_NE(csv.find("ECD1Depth"), std::string::npos);
    EXPECT_NE(csv.find(",0.5333333333,"), std::string::npos) << csv;
    // For people.
    const std::string table = Ok({"evaluate", "R-1"});
    EXPECT_NE(table.find("0.533"), std::string::npos) << table;
    EXPECT_NE(table.find("OUTSIDE the tolerance"), std::string::npos) << table;
}

TEST_P(ToolRuns, LanesAreMergedAndRunsNumbered)
{
    // Two lanes 10 HV above and below the profile: their mean is the profile.
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("one.csv", ProfileCsv(kProfile))});
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("two.csv", ProfileCsv(kProfile, 2, 10.0)),
        "--position", "root"});
    const auto result = Json({"evaluate", "R-1", "--run", "2"});
    ASSERT_EQ(result["Runs"].size(), 1u);
    const auto& run = result["Runs"][0];
    EXPECT_EQ(run["ProfileNr"], 2);
    EXPECT_EQ(run["Position"], "root");
    EXPECT_EQ(run["Indents"], 10);
    EXPECT_EQ(run["Lanes"], 2);
    EXPECT_NEAR(run["CaseDepths"][0]["Depth"].get<double>(), 0.5 + 0.2 / 6.0, 1e-6);
    EXPECT_NEAR(run["MaxHardness"]["Value"].get<double>(), 710.0, 1e-6);

    const auto runs = Json({"runs", "list", "R-1"});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1]["ProfileNr"], 2);
    EXPECT_EQ(runs[1]["Indents"], 10);
    EXPECT_EQ(Zendb({"evaluate", "R-1", "--run", "3"}).status, 1);

    // A sample with runs is deleted only with them.
    EXPECT_EQ(Zendb({"samples", "delete", "R-1"}).status, 1);
    Ok({"runs", "delete", "R-1", "1"});
    EXPECT_EQ(Json({"runs", "list", "R-1"}).size(), 1u);
    Ok({"samples", "delete", "R-1", "--with-runs"});
    EXPECT_EQ(Json({"info"})["MadeIndents"], 0);
    EXPECT_EQ(Json({"info"})["ProfileRuns"], 0);
}

TEST_F(ToolRunsFile, DeleteWithRunsIsOneStep_FileOnly)
{
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("one.csv", ProfileCsv(kProfile))});
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("two.csv", ProfileCsv(kProfile))});
    // The sample row refuses to go: its runs and indents stay with it.
    ExecuteOn(m_db, {"CREATE TRIGGER Refuse BEFORE DELETE ON Samples "
                     "BEGIN SELECT RAISE(ABORT, 'sample rows are locked'); END"});
    const CRun refused = Zendb({"samples", "delete", "R-1", "--with-runs"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot delete sample 'R-1'"), std::string::npos) << refused.err;
    EXPECT_EQ(Json({"info"})["ProfileRuns"], 2);
    EXPECT_EQ(Json({"info"})["MadeIndents"], 10);
    EXPECT_EQ(Json({"runs", "list", "R-1"}).size(), 2u);

    ExecuteOn(m_db, {"DROP TRIGGER Refuse"});
    EXPECT_EQ(Ok({"samples", "delete", "R-1", "--with-runs"}), "deleted R-1 with 2 profile run(s)\n");
    EXPECT_EQ(Zendb({"samples", "show", "R-1"}).status, 1);
    EXPECT_EQ(Json({"info"})["ProfileRuns"], 0);
    EXPECT_EQ(Json({"info"})["MadeIndents"], 0);
}

TEST_P(ToolRuns, SigningNeedsTheRunsToBeReadable)
{
    // The first user needs no login.
    ASSERT_EQ(Zendb({"users", "add", "ana", "--role", "supervisor"}, {{"ZEN_NEW_PASSWORD", "pw"}}).status, 0);
    const auto asAna = [this](std::vector<std::string> args) {
        args.insert(args.begin(), {"--user", "ana"});
        return Zendb(args, {{"ZEN_PASSWORD", "pw"}});
    };
    ASSERT_EQ(asAna({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("one.csv", ProfileCsv(kProfile))})
                  .status,
              0);
    ExecuteOn(m_db, {"ALTER TABLE IndentsRun RENAME TO IndentsRunMoved"});
    const CRun run = asAna({"samples", "sign", "R-1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("The profile runs of sample 'R-1' cannot be read."), std::string::npos) << run.err;
    ExecuteOn(m_db, {"ALTER TABLE IndentsRunMoved RENAME TO IndentsRun"});
    EXPECT_EQ(nlohmann::json::parse(asAna({"--format", "json", "samples", "show", "R-1"}).out)["Signed"], false);
    EXPECT_EQ(asAna({"samples", "sign", "R-1"}).status, 0);
    EXPECT_EQ(nlohmann::json::parse(asAna({"--format", "json", "samples", "show", "R-1"}).out)["Signed"], true);
}

TEST_P(ToolRuns, ALimitAfterAnUnusedFieldIsEvaluatedAndNamedByItsField)
{
    // 550 HV at 0.5333 mm; 450 HV between (0.7, 500) and (0.9, 420): 0.825 mm.
    Ok({"patterns", "add", "GAP", "--preset", "case-hardening", "--set", "ECD1At=550", "--set", "ECD2At=0",
        "--set", "ECD3At=450", "--set", "ECD4At=0"});
    Ok({"runs", "import", "R-1", "--pattern", "GAP", "--file", Csv("gap.csv", ProfileCsv(kProfile))});
    const auto run = Json({"evaluate", "R-1"})["Runs"][0];
    ASSERT_EQ(run["CaseDepths"].size(), 2u);
    EXPECT_EQ(run["CaseDepths"][0]["Index"], 1);
    EXPECT_NEAR(run["CaseDepths"][0]["Depth"].get<double>(), 0.5 + 0.2 / 6.0, 1e-6);
    EXPECT_EQ(run["CaseDepths"][1]["Index"], 3);
    EXPECT_NEAR(run["CaseDepths"][1]["Limit"]["Value"].get<double>(), 450.0, 1e-9);
    EXPECT_NEAR(run["CaseDepths"][1]["Depth"].get<double>(), 0.825, 1e-6);

    // CSV: the second limit sits under ECD3, ECD2 stays empty.
    const std::string csv = Ok({"--format", "csv", "evaluate", "R-1"});
    auto cells = [](const std::string& line) {
        std::vector<std::string> out(1);
        for (char c : line) {
            if (c == ',')
                out.emplace_back();
            else
                out.back() += c;
        }
        return out;
    };
    const size_t endOfHeader = csv.find('\n');
    const std::vector<std::string> header = cells(csv.substr(0, endOfHeader));
    const std::vector<std::string> row =
        cells(csv.substr(endOfHeader + 1, csv.find('\n', endOfHeader + 1) - endOfHeader - 1));
    ASSERT_EQ(header.size(), row.size()) << csv;
    auto column = [&](const std::string& name) {
        const auto at = std::find(header.begin(), header.end(), name);
        return at == header.end() ? "no column " + name : row[static_cast<size_t>(at - header.begin())];
    };
    EXPECT_EQ(column("ECD1Limit"), "550") << csv;
    EXPECT_EQ(column("ECD2Limit"), "") << csv;
    EXPECT_EQ(column("ECD2Depth"), "") << csv;
    EXPECT_EQ(column("ECD3Limit"), "450") << csv;
    EXPECT_EQ(column("ECD3Depth"), "0.825") << csv;

    const std::string table = Ok({"evaluate", "R-1"});
    EXPECT_NE(table.find("Case depth 1"), std::string::npos) << table;
    EXPECT_NE(table.find("Case depth 3"), std::string::npos) << table;
    EXPECT_EQ(table.find("Case depth 2"), std::string::npos) << table;

    // The pattern keeps its settings as given.
    const auto pattern = Json({"patterns", "show", "GAP"});
    EXPECT_EQ(pattern["ECD2At"], 0);
    EXPECT_EQ(pattern["ECD3At"], 450);
}

TEST_P(ToolRuns, NitridingDepthOnCorePlusFifty)
{
    Ok({"patterns", "add", "NHD", "--preset", "nitriding", "--set", "CurveType=0"});
    // Core: (320 + 310 + 300) / 3 = 310; limit 360 between (0.2, 400) and (0.25, 320).
    const std::vector<std::pair<double, double>> points = {{0.05, 800.0}, {0.10, 650.0}, {0.15, 500.0},
                                                           {0.20, 400.0}, {0.25, 320.0}, {0.30, 310.0},
                                                           {0.35, 300.0}};
    Ok({"runs", "import", "R-1", "--pattern", "NHD", "--file", Csv("nhd.csv", ProfileCsv(points))});
    const auto run = Json({"evaluate", "R-1"})["Runs"][0];
    EXPECT_EQ(run["StandardName"], "DIN 50190-3");
    EXPECT_NEAR(run["CaseDepths"][0]["Limit"]["Value"].get<double>(), 360.0, 1e-6);
    EXPECT_NEAR(run["CaseDepths"][0]["Depth"].get<double>(), 0.225, 1e-6);
    EXPECT_EQ(run["WithinTolerance"], false);
}

TEST_P(ToolRuns, BadRowsAreReportedByLineAndStoreNothing)
{
    const std::string good = VickersDiagonal(600.0, 1000.0);
    const std::string text = "depth,axis,d1,d2,indentor,load\n"       // line 1
                             "0.1,0," + good + "," + good + ",V,1000\n"  // line 2
                             "0.2,0,abc," + good + ",V,1000\n"           // line 3: D1
                             "# a comment\n"                             // line 4
                             "0.3,0," + good + "," + good + ",Brinell,1000\n"  // line 5: indentor
                             "0.4,0," + good + "," + good + ",V,-5\n";   // line 6: load
    const CRun run = Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("bad.csv", text)});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("3 bad rows"), std::string::npos) << run.err;
    for (const char* where : {"line 3: D1", "line 5: indentor", "line 6: load"})
        EXPECT_NE(run.err.find(where), std::string::npos) << where << " in " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(Json({"runs", "list", "R-1"}).empty());
    EXPECT_EQ(Json({"info"})["MadeIndents"], 0);

    // A header naming an unknown column, an empty file, a missing file.
    EXPECT_EQ(Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("h.csv", "depth,hardness\n")}).status, 1);
    EXPECT_EQ(Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("e.csv", "# nothing\n")}).status, 1);
    EXPECT_EQ(Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", m_dir.File("none.csv")}).status, 1);
    EXPECT_EQ(Json({"info"})["ProfileRuns"], 0);

    // Without header, separated by ';' with decimal commas, Knoop without D2.
    // (Knoop indents into a pattern meant for Vickers need --force.)
    const std::string knoop = "0,1;0;60,5;;K;500\n0,2;0;66,1;;Knoop;500\n0,3;0;70,2;;HK;500\n";
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("k.csv", knoop), "--force"});
    const auto result = Json({"evaluate", "R-1"})["Runs"][0];
    EXPECT_EQ(result["Indentor"], "Knoop");
    EXPECT_NEAR(result["MaxHardness"]["Value"].get<double>(), 14229.0 * 500.0 / (60.5 * 60.5), 1e-6);
    EXPECT_EQ(result["MaxHardness"]["Scale"], "HK");
}

TEST_P(ToolRuns, CsvLayoutsAndTheirRefusals)
{
    const std::string d = VickersDiagonal(600.0, 1000.0);
    struct CCase {
        const char* what;
        std::string text;
        int indents;            // stored indents; -1: refused
        const char* message;    // part of the error when refused
    };
    const CCase cases[] = {
        {"columns in another order, units after '_'",
         "load_gf,indentor,d2_um,d1_um,depth_mm\n1000,V," + d + "," + d + ",0.1\n1000,V," + d + "," + d + ",0.2\n",
         2, ""},
        {"long column names", "ActualDistanceFromEdge,ActualDistanceFromAxis,D1,D2,ActualTypeOfIndentor,"
                              "ActualTestload\n0.1,0," + d + "," + d + ",1,1000\n", 1, ""},
        {"tabs, CR LF and a byte-order mark",
         "\xEF\xBB\xBF" "depth\taxis\tD1\tD2\tindentor\tload\r\n0.1\t0\t" + d + "\t" + d + "\tV\t1000\r\n", 1, ""},
        {"quoted fields", "\"depth\",\"axis\",\"D1\",\"D2\",\"indentor\",\"load\"\n\"0.1\",\"\",\"" + d +
                              "\",\"" + d + "\",\"Vickers\",\"1000\"\n", 1, ""},
        {"no header, lane given", "0.1,0," + d + "," + d + ",V,1000,1\n0.1,0.25," + d + "," + d + ",V,1000,2\n", 2, ""},
        {"too many fields", "0.1,0," + d + "," + d + ",V,1000,1,9\n", -1, "line 1: expected 6 or 7 fields"},
        {"negative depth", "depth,D1,D2,indentor,load\n-0.1," + d + "," + d + ",V,1000\n", -1, "line 2: depth"},
        {"Vickers without D2", "depth,D1,D2,indentor,load\n0.1," + d + ",,V,1000\n", -1, "line 2: D2"},
        {"lane not a whole number", "0.1,0," + d + "," + d + ",V,1000,1.5\n", -1, "line 1: lane"},
        {"column named twice", "depth,depth,D1,D2,indentor,load\n", -1, "named twice"},
        {"header without load", "depth,D1,D2,indentor\n0.1," + d + "," + d + ",V\n", -1, "no column load"},
    };
    int stored = 0;
    for (const CCase& c : cases) {
        const CRun run = Zendb({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("case.csv", c.text)});
        if (c.indents < 0) {
            EXPECT_EQ(run.status, 1) << c.what;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        } else {
            EXPECT_EQ(run.status, 0) << c.what << ": " << run.err;
            stored += c.indents;
        }
    }
    EXPECT_EQ(Json({"info"})["MadeIndents"], stored);
}

TEST_P(ToolRuns, ReportsInEveryFormat)
{
    Ok({"samples", "set", "R-1", "Customer=Acme Gears", "WorkOrder=WO-7"});
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("a.csv", ProfileCsv(kProfile, 2, 8.0))});
    Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("b.csv", ProfileCsv(kProfile))});
    struct CCase {
        const char* file;
        std::vector<std::string> extra;
    };
    const CCase cases[] = {{"report.pdf", {}}, {"report.svg", {}}, {"report.png", {}},
                           {"diagram.svg", {"--diagram-only", "--run", "1"}},
                           {"diagram.png", {"--diagram-only", "--run", "1"}}};
    for (const CCase& c : cases) {
        std::vector<std::string> args = {"report", "R-1", "--out", m_dir.File(c.file)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        Ok(args);
        const std::string content = ReadFileText(m_dir.File(c.file));
        EXPECT_GT(content.size(), 5000u) << c.file;
        const std::string name = c.file;
        if (name.ends_with(".pdf")) {
            EXPECT_EQ(content.rfind("%PDF-", 0), 0u);
            EXPECT_NE(content.find("%%EOF"), std::string::npos);
            EXPECT_NE(content.find("/Count 2"), std::string::npos) << "one page per run";
        } else if (name.ends_with(".svg")) {
            EXPECT_EQ(content.rfind("<?xml", 0), 0u);
            EXPECT_NE(content.find("<svg"), std::string::npos);
            EXPECT_NE(content.find("</svg>"), std::string::npos);
            EXPECT_EQ(std::count(content.begin(), content.end(), '<'), std::count(content.begin(), content.end(), '>'));
        } else {
            EXPECT_EQ(content.rfind("\x89PNG\r\n\x1a\n", 0), 0u);
        }
    }
    // Kept for a look at the drawing.
    std::filesystem::create_directories(ZEN_ARTIFACT_DIR);
    std::filesystem::copy_file(m_dir.File("report.png"), std::string(ZEN_ARTIFACT_DIR) + "/zendb-report.png",
                               std::filesystem::copy_options::overwrite_existing);

    // A sample without runs still gets its page; diagrams alone need a run.
    Ok({"samples", "register", "R-2"});
    Ok({"report", "R-2", "--out", m_dir.File("empty.pdf")});
    EXPECT_EQ(Zendb({"report", "R-2", "--out", m_dir.File("d.svg"), "--diagram-only"}).status, 1);
    EXPECT_EQ(Zendb({"report", "R-1", "--out", m_dir.File("no/such/folder/r.pdf")}).status, 1);
}

ZEN_TOOL_ENGINES(ToolRuns);

TEST(ToolDemo, CompletesAndWritesItsReport)
{
    CTempDir dir;
    const std::string folder = dir.File("demo");
    const CRun run = RunZendb({"--format", "json", "demo", folder});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto summary = nlohmann::json::parse(run.out);
    EXPECT_GE(summary["Samples"].get<int>(), 200);
    EXPECT_GT(summary["ProfileRuns"].get<int>(), 100);
    EXPECT_EQ(summary["Patterns"].size(), 5u);
    const std::string report = summary["Report"].get<std::string>();
    EXPECT_EQ(ReadFileText(report).rfind("%PDF-", 0), 0u) << report;
    for (const auto& file : summary["Files"])
        EXPECT_TRUE(std::filesystem::exists(file.get<std::string>())) << file;

    // The demo's database answers the commands it suggests.
    const std::string db = summary["Database"].get<std::string>();
    // The folder and the files zendb made are its user's alone.
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ASSERT_EQ(stat(db.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    const CRun login = RunZendb({"--db", db, "--user", "admin", "--password", "admin", "--format", "json", "info"});
    ASSERT_EQ(login.status, 0) << login.err;
    EXPECT_EQ(nlohmann::json::parse(login.out)["Role"], "administrator");
    // Its signed samples were signed through the library by the supervisor.
    const CRun signedSamples = RunZendb({"--db", db, "--user", "maria", "--format", "json", "samples", "list", "--view",
                                         "signed"},
                                        {{"ZEN_PASSWORD", "maria"}});
    ASSERT_EQ(signedSamples.status, 0) << signedSamples.err;
    const auto signedList = nlohmann::json::parse(signedSamples.out);
    EXPECT_GT(signedList.size(), 0u);
    EXPECT_EQ(signedList.size(), summary["SignedSamples"].get<size_t>());
    const CRun audit = RunZendb({"--db", db, "--user", "admin", "--format", "json", "audit", "--user", "maria"},
                                {{"ZEN_PASSWORD", "admin"}});
    ASSERT_EQ(audit.status, 0) << audit.err;
    size_t signatures = 0;
    for (const auto& entry : nlohmann::json::parse(audit.out))
        signatures += entry["Action"] == "sign" ? 1 : 0;
    EXPECT_EQ(signatures, signedList.size());
    // A second demo into the same folder is refused.
    EXPECT_EQ(RunZendb({"demo", folder}).status, 1);
}

// --db naming an empty server database puts the demonstration there; its
// files still go into the folder. A second demo into the same database is
// refused, as it holds a station database then.
TEST(ToolDemo, IntoAServerDatabase_ServerOnly)
{
    ZEN_REQUIRE_ENGINE(ETestEngine::PostgreSql);
    const CTestDatabase server(ETestEngine::PostgreSql);
    const std::string db = server.ConnectString().Str();
    CTempDir dir;
    const CRun run = RunZendb({"--db", db, "--format", "json", "demo", dir.File("demo")});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto summary = nlohmann::json::parse(run.out);
    EXPECT_EQ(summary["Database"], db);
    EXPECT_FALSE(std::filesystem::exists(dir.File("demo/zen.db")));
    const CRun info = RunZendb({"--db", db, "--user", "admin", "--password", "admin", "--format", "json", "info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(nlohmann::json::parse(info.out)["Samples"], summary["Samples"]);
    EXPECT_EQ(RunZendb({"--db", db, "demo", dir.File("again")}).status, 1);
}

TEST(ToolGui, WithoutDisplayFailsClearly)
{
    CTempDir dir;
    const std::string db = dir.File("gui.db");
    ASSERT_EQ(RunZendb({"init", db}).status, 0);
    const CRun run = RunZendb({"--db", db, "gui", "register"},
                              {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt},
                               {"QT_QPA_PLATFORM", std::nullopt}});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("display"), std::string::npos) << run.err;
}

} // namespace
} // namespace zentest
