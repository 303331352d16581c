// zendb as a process on measurements that must make sense: implausible
// values refused by line and column, one indentor per run, lanes as stored,
// input read as a bounded stream, pattern settings within their meaning, and
// warnings when a fitted curve contradicts the measured points.
#include "ToolTestSupport.h"

#include "framework/sql/Database.h"

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace zentest {
namespace {

// Rows "depth,,D,D,Vickers,load,lane" of Vickers indents of the given HV.
std::string Rows(const std::vector<std::pair<double, double>>& points, double load = 1000.0, int lane = 1,
                 const char* indentor = "Vickers")
{
    std::string csv;
    for (const auto& [depth, hv] : points) {
        const std::string d = VickersDiagonal(hv, load);
        csv += std::to_string(depth) + ",," + d + "," + d + "," + indentor + "," + std::to_string(load) + "," +
               std::to_string(lane) + "\n";
    }
    return csv;
}

const char* const kHeader = "depth,axis,D1,D2,indentor,load,lane\n";

// 550 HV crossed at 0.5333 mm.
const std::vector<std::pair<double, double>> kProfile = {
    {0.1, 700.0}, {0.3, 650.0}, {0.5, 560.0}, {0.7, 500.0}, {0.9, 420.0}};

class CMeasurementsFixture : public CRunsFixture {
protected:
    CRun Import(const std::string& csvText, const std::vector<std::string>& extra = {},
                const std::string& pattern = "CHD") const
    {
        std::vector<std::string> args = {"runs", "import", "R-1", "--pattern", pattern, "--file",
                                         Csv("in.csv", csvText)};
        args.insert(args.end(), extra.begin(), extra.end());
        return Zendb(args);
    }
};

class ToolMeasurements : public CEngineTool<CMeasurementsFixture> {};

TEST_P(ToolMeasurements, ImplausibleValuesAreRefusedByLineAndColumn)
{
    const std::string d = VickersDiagonal(600.0, 1000.0);
    struct CCase {
        const char* what;
        std::string row;            // line 2, below "depth,axis,D1,D2,indentor,load"
        const char* message;        // empty: accepted
    };
    const CCase cases[] = {
        {"hexadecimal diagonal", "0.1,0,0x32," + d + ",V,1000", "line 2: D1 (column 3) must be a decimal number"},
        {"infinite depth", "inf,0," + d + "," + d + ",V,1000", "line 2: depth (column 1)"},
        {"undefined load", "0.1,0," + d + "," + d + ",V,nan", "line 2: load (column 6)"},
        {"load of 1e308 gf", "0.1,0," + d + "," + d + ",V,1e308", "line 2: load (column 6) must be a decimal "
                                                                   "number from 1 to 100000 gf, not '1e308'"},
        {"diagonal that overflows", "0.1,0,1e400," + d + ",V,1000", "line 2: D1 (column 3)"},
        {"depth of 1e300 mm", "1e300,0," + d + "," + d + ",V,1000", "line 2: depth (column 1)"},
        {"load below 1 gf", "0.1,0," + d + "," + d + ",V,0.5", "line 2: load (column 6)"},
        {"load above 100 kgf", "0.1,0," + d + "," + d + ",V,100001", "line 2: load (column 6)"},
        {"diagonal of 0", "0.1,0,0," + d + ",V,1000", "line 2: D1 (column 3)"},
        {"diagonal above 10 mm", "0.1,0," + d + ",10000.5,V,1000", "line 2: D2 (column 4)"},
        {"negative depth", "-0.1,0," + d + "," + d + ",V,1000", "line 2: depth (column 1)"},
        {"depth above 100 mm", "100.01,0," + d + "," + d + ",V,1000", "line 2: depth (column 1)"},
        {"negative axis", "0.1,-0.2," + d + "," + d + ",V,1000", "line 2: axis (column 2)"},
        {"hexadecimal axis", "0.1,0x1," + d + "," + d + ",V,1000", "line 2: axis (column 2)"},
        {"load of 1 gf", "0.1,0,1361.7," + d + ",V,1", ""},
        {"load of 100 kgf", "0.1,0,500,500,V,100000", ""},
        {"diagonal of 10 mm", "0.1,0,10000,10000,V,100000", ""},
        {"depth 0 and 100 mm, exponent", "1e2,0," + d + "," + d + ",V,1.0E3", ""},
    };
    int runs = 0;
    for (const CCase& c : cases) {
        const CRun run = Import("depth,axis,D1,D2,indentor,load\n" + c.row + "\n");
        if (*c.message) {
            EXPECT_EQ(run.status, 1) << c.what;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
            EXPECT_NE(run.err.find("nothing imported"), std::string::npos) << c.what << ": " << run.err;
        } else {
            EXPECT_EQ(run.status, 0) << c.what << ": " << run.err;
            ++runs;
        }
    }
    EXPECT_EQ(Json({"info"})["ProfileRuns"], runs);
}

TEST_P(ToolMeasurements, StoredValuesThatAreNotFiniteGetNoVerdict)
{
    // 0.533 mm lies within 0.5 .. 0.9 mm.
    Ok({"patterns", "set", "CHD", "ECDToleranceMin=0.5"});
    ASSERT_EQ(Import(kHeader + Rows(kProfile)).status, 0);
    EXPECT_EQ(Json({"evaluate", "R-1"})["Runs"][0]["WithinTolerance"], true);
    EXPECT_NE(Ok({"evaluate", "R-1"}).find("within the tolerance"), std::string::npos);

    // A surface indent stored by another program with a load of 1e308 gf:
    // its hardness overflows, the depth found below it does not.
    ExecuteOn(m_db, {"UPDATE IndentsRun SET [Actual testload]=1e308 WHERE [Actual distance from edge] < 0.2"});
    const auto run = Json({"evaluate", "R-1"})["Runs"][0];
    EXPECT_TRUE(run["WithinTolerance"].is_null()) << run.dump();
    ASSERT_EQ(run["Warnings"].size(), 1u) << run.dump();
    EXPECT_NE(run["Warnings"][0].get<std::string>().find("1 of 5 stored indents hold a value that is not finite"),
              std::string::npos)
        << run["Warnings"][0];
    EXPECT_TRUE(run["MaxHardness"].is_null());
    const std::string table = Ok({"evaluate", "R-1"});
    EXPECT_EQ(table.find("within"), std::string::npos) << table;
    EXPECT_EQ(table.find("inf"), std::string::npos) << table;
    EXPECT_NE(table.find("not finite"), std::string::npos) << table;
    std::string csv = Ok({"--format", "csv", "evaluate", "R-1"});
    while (!csv.empty() && (csv.back() == '\n' || csv.back() == '\r'))
        csv.pop_back();
    EXPECT_TRUE(csv.ends_with(",mm,")) << "WithinTolerance stays empty: " << csv;
    Ok({"report", "R-1", "--out", m_dir.File("r.pdf")});
}

TEST_P(ToolMeasurements, OneIndentorPerRun)
{
    // Mixed rows are refused, each differing row by its line.
    const CRun mixed = Import(kHeader + Rows({{0.1, 700.0}, {0.2, 650.0}}) +
                              Rows({{0.3, 600.0}}, 1000.0, 1, "Knoop") + Rows({{0.4, 550.0}}));
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("1 bad row"), std::string::npos) << mixed.err;
    EXPECT_NE(mixed.err.find("line 4: indentor (column 5) Knoop differs from Vickers of line 2"), std::string::npos)
        << mixed.err;

    // Knoop indents into a pattern meant for Vickers: only with --force, and
    // the evaluation then says in which scale it took the limit.
    const std::string knoop = kHeader + Rows(kProfile, 1000.0, 1, "Knoop");
    const CRun refused = Import(knoop);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("the indents are Knoop but pattern 'CHD' is meant for Vickers"), std::string::npos)
        << refused.err;
    EXPECT_EQ(Json({"info"})["ProfileRuns"], 0);
    ASSERT_EQ(Import(knoop, {"--force"}).status, 0);
    const auto forced = Json({"evaluate", "R-1"})["Runs"][0];
    EXPECT_EQ(forced["Indentor"], "Knoop");
    EXPECT_EQ(forced["CaseDepths"][0]["Limit"]["Scale"], "HK");
    ASSERT_EQ(forced["Warnings"].size(), 1u) << forced.dump();
    EXPECT_EQ(forced["Warnings"][0], "the indents are Knoop but pattern 'CHD' is meant for Vickers; its limits were "
                                     "taken in HK (limit 550 HK)");
    EXPECT_NE(Ok({"evaluate", "R-1"}).find("warning: the indents are Knoop"), std::string::npos);

    // A pattern whose name or comment names the scale.
    struct CCase {
        const char* name;
        const char* comment;
        const char* indentor;
        bool accepted;
    };
    const CCase cases[] = {
        {"NHD HK0.5", "", "Knoop", true},
        {"NHD HK0.5", "", "Vickers", false},
        {"Thin layers", "measured with Knoop", "Knoop", true},
        {"Gear 550 HV1", "", "Knoop", false},
        {"HV or HK", "", "Vickers", true},      // names both: Vickers
    };
    for (const CCase& c : cases) {
        Ok({"patterns", "add", c.name, "--preset", "case-hardening", "--comment", c.comment});
        const CRun run = Import(kHeader + Rows(kProfile, 500.0, 1, c.indentor), {}, c.name);
        EXPECT_EQ(run.status, c.accepted ? 0 : 1) << c.name << " / " << c.indentor << ": " << run.err;
        Ok({"patterns", "delete", c.name});
    }
}

TEST_P(ToolMeasurements, LanesFollowTheStoredLaneNumbers)
{
    // Two lanes whose depths differ by 0.002 mm are two lanes.
    std::vector<std::pair<double, double>> offset;
    for (const auto& [depth, hv] : kProfile)
        offset.emplace_back(depth + 0.002, hv);
    ASSERT_EQ(Import(kHeader + Rows(kProfile, 1000.0, 1) + Rows(offset, 1000.0, 2)).status, 0);
    // Sixteen indents at one depth in lane 1 are one lane.
    std::vector<std::pair<double, double>> one(16, {0.3, 600.0});
    ASSERT_EQ(Import(kHeader + Rows(one, 1000.0, 1)).status, 0);
    const auto runs = Json({"evaluate", "R-1"})["Runs"];
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0]["Indents"], 10);
    EXPECT_EQ(runs[0]["Lanes"], 2);
    EXPECT_EQ(runs[1]["Indents"], 16);
    EXPECT_EQ(runs[1]["Lanes"], 1);
    const std::string table = Ok({"evaluate", "R-1"});
    EXPECT_NE(table.find("Run 1 CHD: 10 indents in 2 lanes"), std::string::npos) << table;
    EXPECT_NE(table.find("Run 2 CHD: 16 indents, HV1"), std::string::npos) << table;
    Ok({"report", "R-1", "--out", m_dir.File("lanes.svg")});

    // The lane is what is stored: an axis beside it must agree with the
    // lane's position (lane 2 at the pattern's 0.25 mm).
    const std::string d = VickersDiagonal(600.0, 1000.0);
    const CRun contradicting = Import(std::string(kHeader) + "0.1,0.25," + d + "," + d + ",V,1000,2\n" + "0.2,0.3," +
                                      d + "," + d + ",V,1000,2\n");
    EXPECT_EQ(contradicting.status, 1);
    EXPECT_NE(contradicting.err.find("line 3: axis (column 2) 0.300 mm contradicts lane 2 (column 7), which lies at "
                                     "0.250 mm"),
              std::string::npos)
        << contradicting.err;
    EXPECT_EQ(Json({"info"})["ProfileRuns"], 2);
}

TEST_P(ToolMeasurements, InputIsABoundedStream)
{
    const std::string good = Csv("good.csv", kHeader + Rows(kProfile));
    const std::string fifo = m_dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sparse = m_dir.File("sparse.csv");
    std::filesystem::resize_file(Csv("sparse.csv", ""), (64u << 20) + 1u);
    // Standard input of 64 MiB and a bit, in short comment lines.
    const std::string big = m_dir.File("big.csv");
    {
        std::ofstream out(big, std::ios::binary);
        const std::string line = "#" + std::string(1022, 'x') + "\n";
        for (int i = 0; i < 64 * 1024 + 1; ++i)
            out << line;
    }
    struct CCase {
        const char* what;
        std::string file;
        std::string input;      // standard input
        const char* message;    // empty: imported
    };
    const CCase cases[] = {
        {"a device without end", "/dev/zero", "/dev/null", "'/dev/zero' is not a regular file"},
        {"a named pipe", fifo, "/dev/null", "is not a regular file"},
        {"a folder", m_dir.Path().string(), "/dev/null", "is not a regular file"},
        {"a file above 64 MiB", sparse, "/dev/null", "is larger than 64 MiB"},
        {"standard input without line breaks", "-", "/dev/zero", "line 1 is longer than 4096 bytes"},
        {"standard input above 64 MiB", "-", big, "standard input: nothing imported: the input is larger than 64 MiB"},
        {"standard input", "-", good, ""},
        {"a regular file", good, "/dev/null", ""},
    };
    int runs = 0;
    for (const CCase& c : cases) {
        const CRun run =
            RunZendb({"--db", m_db, "runs", "import", "R-1", "--pattern", "CHD", "--file", c.file}, {}, c.input);
        if (*c.message) {
            EXPECT_EQ(run.status, 1) << c.what;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        } else {
            EXPECT_EQ(run.status, 0) << c.what << ": " << run.err;
            ++runs;
        }
    }
    EXPECT_EQ(Json({"info"})["ProfileRuns"], runs);
    EXPECT_EQ(Json({"info"})["MadeIndents"], 5 * runs);
    const std::string help = Ok({"runs", "import", "--help"});
    EXPECT_NE(help.find("64 MiB"), std::string::npos) << help;
    EXPECT_NE(help.find("'-' reads standard input"), std::string::npos) << help;
}

TEST_P(ToolMeasurements, PatternSettingsStayWithinTheirMeaning)
{
    struct CCase {
        const char* set;
        const char* message;    // empty: accepted
    };
    const CCase cases[] = {
        {"Standard=9", "Standard is 9; allowed: 0, 1, 4 (fixed limits), 2 (DIN 50190-2), 3 (DIN 50190-3), 5, 6 (no "
                       "limits)"},
        {"CurveType=7", "CurveType is 7; allowed: 0 (linear interpolation), 1 (Gaussian fit)"},
        {"ECD1At=-550", "ECD1At is -550; allowed: 0 (unused) to 5000"},
        {"CoreHardnessNofIndents=1000", "CoreHardnessNofIndents is 1000; allowed: 0 to 16 (NrOfIndents"},
        {"MultilaneAverageMethod=5", "MultilaneAverageMethod is 5; allowed: 0 (mean)"},
        {"ECDAtUnitConv=3", "ECDAtUnitConv is 3; allowed: 0 (HV/HK), 1 (HRB), 2 (HRC)"},
        {"DiagramXAxisUnit=-1", "DiagramXAxisUnit is -1"},
        {"DIN50190Part2SurfacePercentage=101", "DIN50190Part2SurfacePercentage is 101; allowed: 0 to 100 %"},
        {"LineSpacing=-0.25", "LineSpacing is -0.25; allowed: 0 to 100 mm"},
        {"GaussianOutlierLimit=-1", "GaussianOutlierLimit is -1"},
        {"ECDToleranceMin=-0.1", "ECDToleranceMin is -0.1"},
        {"SpacingType=3", "SpacingType is 3; allowed: 0 (straight line), 1 (zigzag), 2 (as taught)"},
        {"Standard=6", ""},
        {"CurveType=1", ""},
        {"ECD1At=0", ""},
        {"CoreHardnessNofIndents=16", ""},
    };
    for (const CCase& c : cases) {
        const CRun run = Zendb({"patterns", "set", "CHD", c.set});
        if (*c.message) {
            EXPECT_EQ(run.status, 2) << c.set;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << c.set << ": " << run.err;
        } else {
            EXPECT_EQ(run.status, 0) << c.set << ": " << run.err;
        }
    }
    const auto pattern = Json({"patterns", "show", "CHD"});
    EXPECT_EQ(pattern["Standard"], 6);
    EXPECT_EQ(pattern["CurveType"], 1);
    EXPECT_EQ(pattern["CoreHardnessNofIndents"], 16);
    EXPECT_EQ(pattern["MultilaneAverageMethod"], 0);
    // Fewer indents than the core takes: refused as well, the same way.
    const CRun fewer = Zendb({"patterns", "set", "CHD", "NrOfIndents=10"});
    EXPECT_EQ(fewer.status, 2);
    EXPECT_NE(fewer.err.find("CoreHardnessNofIndents is 16; allowed: 0 to 10"), std::string::npos) << fewer.err;
    // New patterns are checked too.
    EXPECT_EQ(Zendb({"patterns", "add", "X", "--set", "Standard=9"}).status, 2);
}

// HV0.5 nitriding profiles, 0.03 mm from the edge every 0.05 mm.
std::string Nitrided(const std::vector<double>& hardness)
{
    std::vector<std::pair<double, double>> points;
    for (size_t i = 0; i < hardness.size(); ++i)
        points.emplace_back(0.03 + 0.05 * static_cast<double>(i), hardness[i]);
    return kHeader + Rows(points, 500.0);
}

TEST_P(ToolMeasurements, AFitThatContradictsThePointsIsSaid)
{
    Ok({"patterns", "add", "NHD", "--preset", "nitriding"});
    Ok({"patterns", "add", "NHD10", "--preset", "nitriding", "--set", "GaussianOutlierLimit=10"});
    // Core (310 + 305 + 300) / 3 = 305, limit 355 HV: between (0.38, 370)
    // and (0.43, 345) at 0.38 + 15 / 25 * 0.05 = 0.41 mm. With outliers
    // beyond 10 HV rejected the fit finds no depth.
    const std::vector<double> steep = {900, 720, 600, 520, 470, 430, 400, 370, 345, 330, 318, 310, 305, 300};
    // A smooth bell: the fit and the points agree.
    const std::vector<double> smooth = {820, 780, 700, 620, 560, 500, 440, 370, 335, 320, 310, 305, 300, 300};
    ASSERT_EQ(Import(Nitrided(steep), {}, "NHD10").status, 0);
    ASSERT_EQ(Import(Nitrided(smooth), {}, "NHD").status, 0);
    ASSERT_EQ(Import(Nitrided(steep), {}, "NHD").status, 0);
    const auto runs = Json({"evaluate", "R-1"})["Runs"];
    ASSERT_EQ(runs.size(), 3u);

    // The library's result stays; the warning gives the interpolated depth.
    const auto& contradicted = runs[0];
    EXPECT_TRUE(contradicted["CaseDepths"][0]["Depth"].is_null()) << contradicted.dump();
    EXPECT_NEAR(contradicted["CaseDepths"][0]["DepthInterpolated"].get<double>(), 0.41, 1e-9);
    ASSERT_EQ(contradicted["Warnings"].size(), 1u) << contradicted.dump();
    EXPECT_EQ(contradicted["Warnings"][0], "the Gaussian fit gives the case depth as not reached, but the measured "
                                           "points fall to the limit 355 HV at 0.410 mm (interpolated)");
    EXPECT_TRUE(contradicted["WithinTolerance"].is_null());

    const auto& agreeing = runs[1];
    EXPECT_FALSE(agreeing["CaseDepths"][0]["Depth"].is_null());
    EXPECT_TRUE(agreeing["Warnings"].empty()) << agreeing.dump();

    // Outlier rejection drops the hard surface: a depth close to the points'
    // but a curve far from them.
    const auto& loose = runs[2];
    EXPECT_NEAR(loose["CaseDepths"][0]["Depth"].get<double>(), 0.41, 0.01);
    ASSERT_EQ(loose["Warnings"].size(), 1u) << loose.dump();
    EXPECT_EQ(loose["Warnings"][0].get<std::string>().rfind("the Gaussian fit is far from the measured points: "
                                                            "residual ",
                                                            0),
              0u)
        << loose["Warnings"][0];
    EXPECT_NE(loose["Warnings"][0].get<std::string>().find("; interpolated depth 0.410 mm"), std::string::npos);

    const std::string table = Ok({"evaluate", "R-1", "--run", "1"});
    EXPECT_NE(table.find("not reached"), std::string::npos) << table;
    EXPECT_NE(table.find("  warning: the Gaussian fit gives the case depth as not reached"), std::string::npos)
        << table;
    Ok({"report", "R-1", "--out", m_dir.File("fit.pdf")});
}

ZEN_TOOL_ENGINES(ToolMeasurements);

} // namespace
} // namespace zentest
