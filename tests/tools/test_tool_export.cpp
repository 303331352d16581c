// The AQDEF export: the writer's formatting byte by byte, and `zendb export
// aqdef` as a process, its file read back by a small reader of its own and
// compared with `zendb evaluate --format json` value by value.
#include "ToolTestSupport.h"

#include "zendb/Aqdef.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>

#include <unistd.h>

namespace zentest {
namespace {

using zendb::CAqdefCharacteristic;
using zendb::CAqdefLoss;
using zendb::CAqdefPart;
using zendb::CAqdefRecord;
using zendb::CAqdefTime;

// ---------------------------------------------------------------- writer

TEST(AqdefWriter, FormatsNumbersWithAPointAndFixedPlaces)
{
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {0.53333, 3, "0.533"}, {550.0, 1, "550.0"},  {-1.25, 3, "-1.250"}, {-0.0004, 3, "0.000"},
        {1234.56, 0, "1235"},  {493.3333, 1, "493.3"}, {0.0, 0, "0"},      {12.5, 9, "12.500000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zendb::FormatAqdefNumber(c.value, c.decimals), c.text) << c.value << " " << c.decimals;
    for (const double bad : {NAN, INFINITY, -INFINITY})
        EXPECT_THROW(zendb::FormatAqdefNumber(bad, 3), std::invalid_argument);
    EXPECT_THROW(zendb::FormatAqdefNumber(1.0, 10), std::invalid_argument);
    EXPECT_THROW(zendb::FormatAqdefNumber(1.0, -1), std::invalid_argument);
}

TEST(AqdefWriter, EncodesWindows1252AndMarksWhatItChanged)
{
    const struct {
        std::string utf8;
        std::string encoded;
        bool changed;
    } cases[] = {
        {"S-0107 #5 %", "S-0107 #5 %", false},
        {"M\xC3\xBCller", "M\xFCller", false},                 // ü: Latin-1
        {"\xC3\xA9t\xC3\xA9 \xC2\xA0x", "\xE9t\xE9 \xA0x", false},
        {"\xE2\x82\xAC 5 \xE2\x80\x93 \xC5\x93", "\x80 5 \x96 \x9C", false},   // € – œ: the 0x80 row
        {"\xC5\x81ukasz", "?ukasz", true},                     // Ł
        {"\xE6\x97\xA5\xE6\x9C\xAC", "??", true},              // two CJK letters
        {"\xF0\x9F\x98\x80!", "?!", true},                     // an emoji
        {"a\tb\r\nc", "a b  c", true},                         // control characters
        {"\xC2\x85", " ", true},                               // C1 control
        {"\xFF\xC3", "??", true},                              // not UTF-8
        {"\xC0\xAF", "??", true},                              // overlong
        {"\xED\xA0\x80", "???", true},                         // surrogate
        {"", "", false},
    };
    for (const auto& c : cases) {
        bool changed = !c.changed;
        EXPECT_EQ(zendb::ToWindows1252(c.utf8, &changed), c.encoded) << c.utf8;
        EXPECT_EQ(changed, c.changed) << c.utf8;
    }
}

TEST(AqdefWriter, WritesPartCharacteristicsAndValueLines)
{
    EXPECT_EQ(zendb::FormatAqdefTime({2026, 3, 5, 7, 8, 9}), "05.03.2026/07:08:09");

    CAqdefPart part;
    part.partNumber = "G-100";
    part.partDescription = "Gear \xC5\x81";     // Ł
    part.station = "hall 2";
    part.operation = "CHD 550";
    part.sampleId = "S-1";
    part.characteristics = {{"CHD 550 HV1", "mm", 3, std::nullopt, 0.6, 0.9},
                            {"Core hardness HV1", "HV", 1, 400.0, std::nullopt, std::nullopt}};
    part.records = {{{0.53333, 493.3333}, CAqdefTime{2026, 3, 5, 14, 5, 0}, "WO-1", "jon", "T1", "S-1"},
                    {{std::nullopt, 350.04}, std::nullopt, "", "", "T1", "S-2"}};
    std::vector<CAqdefLoss> losses;
    EXPECT_EQ(zendb::WriteAqdef({part}, &losses),
              "K0100 2\r\n"
              "K1001/1 G-100\r\n"
              "K1002/1 Gear ?\r\n"
              "K1082/1 hall 2\r\n"
              "K1086/1 CHD 550\r\n"
              "K2001/1 1\r\nK2002/1 CHD 550 HV1\r\nK2004/1 0\r\nK2022/1 3\r\n"
              "K2110/1 0.600\r\nK2111/1 0.900\r\nK2142/1 mm\r\n"
              "K2001/2 2\r\nK2002/2 Core hardness HV1\r\nK2004/2 0\r\nK2022/2 1\r\n"
              "K2101/2 400.0\r\nK2142/2 HV\r\n"
              "K0001/1 0.533\r\nK0002/1 0\r\nK0004/1 05.03.2026/14:05:00\r\nK0006/1 WO-1\r\n"
              "K0008/1 jon\r\nK0012/1 T1\r\nK0014/1 S-1\r\n"
              "K0001/2 493.3\r\nK0002/2 0\r\nK0004/2 05.03.2026/14:05:00\r\nK0006/2 WO-1\r\n"
              "K0008/2 jon\r\nK0012/2 T1\r\nK0014/2 S-1\r\n"
              "K0001/1 0\r\nK0002/1 255\r\nK0012/1 T1\r\nK0014/1 S-2\r\n"
              "K0001/2 350.0\r\nK0002/2 0\r\nK0012/2 T1\r\nK0014/2 S-2\r\n");
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].sampleId, "S-1");
    EXPECT_EQ(losses[0].key, "K1002");
    EXPECT_EQ(losses[0].text, "Gear \xC5\x81");

    // Two parts: each block counts its own characteristics.
    CAqdefPart second;
    second.characteristics = {{"SHD HV1", "mm", 3, {}, {}, {}}};
    second.records = {{{1.0}, {}, "", "", "", "S-3"}};
    const std::string both = zendb::WriteAqdef({part, second});
    EXPECT_NE(both.find("K0014/2 S-2\r\nK0100 1\r\nK2001/1 1\r\nK2002/1 SHD HV1\r\n"), std::string::npos) << both;

    CAqdefPart wrong = part;
    wrong.records[0].values.pop_back();
    EXPECT_THROW(zendb::WriteAqdef({wrong}), std::invalid_argument);
    wrong = part;
    wrong.records[0].values[0] = NAN;
    EXPECT_THROW(zendb::WriteAqdef({wrong}), std::invalid_argument);
    wrong = part;
    wrong.characteristics[0].upper = INFINITY;
    EXPECT_THROW(zendb::WriteAqdef({wrong}), std::invalid_argument);
}

// ---------------------------------------------------------------- reader

// A .dfq as the test reads it back: part blocks, each with its part fields,
// its characteristics (field -> value) and its value sets (one per run:
// characteristic number -> field -> value).
struct CDfqBlock {
    std::map<std::string, std::string> part;
    std::map<int, std::map<std::string, std::string>> characteristics;
    std::vector<std::map<int, std::map<std::string, std::string>>> records;
    int declared = -1;  // K0100
};

std::vector<CDfqBlock> ReadDfq(const std::string& text)
{
    std::vector<CDfqBlock> blocks;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            throw std::runtime_error("line without CR LF at byte " + std::to_string(start));
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
            throw std::runtime_error("bare line break in: " + line);
        const size_t blank = line.find(' ');
        if (blank == std::string::npos || line.size() < 5 || line[0] != 'K')
            throw std::runtime_error("not a K field: " + line);
        const std::string field = line.substr(0, blank);
        const std::string value = line.substr(blank + 1);
        const std::string key = field.substr(0, 5);
        const int n = field.size() > 6 && field[5] == '/' ? std::stoi(field.substr(6)) : 0;
        if (key == "K0100") {
            blocks.emplace_back();
            blocks.back().declared = std::stoi(value);
            continue;
        }
        if (blocks.empty())
            throw std::runtime_error("field before K0100: " + line);
        CDfqBlock& block = blocks.back();
        if (key[1] == '1')
            block.part[key] = value;
        else if (key[1] == '2')
            block.characteristics[n][key] = value;
        else {
            if (key == "K0001" && n == 1)
                block.records.emplace_back();
            if (block.records.empty())
                throw std::runtime_error("value before K0001/1: " + line);
            block.records.back()[n][key] = value;
        }
    }
    return blocks;
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// "2026-03-05 14:05:00" -> "05.03.2026/14:05:00"
std::string DfqTime(const std::string& text)
{
    return text.substr(8, 2) + "." + text.substr(5, 2) + "." + text.substr(0, 4) + "/" + text.substr(11, 8);
}

// ---------------------------------------------------------------- demo

TEST(ToolExportAqdef, DemoSamplesMatchTheEvaluation)
{
    CTempDir dir;
    const CRun demo = RunZendb({"--format", "json", "demo", dir.File("demo")});
    ASSERT_EQ(demo.status, 0) << demo.err;
    const std::string db = nlohmann::json::parse(demo.out)["Database"].get<std::string>();
    const std::map<std::string, std::optional<std::string>> jon = {{"ZEN_PASSWORD", "jon"}};
    const std::string out = dir.File("demo.dfq");

    // The demo has users: exporting needs a login (an operator may).
    const CRun refused = RunZendb({"--db", db, "export", "aqdef", "--from", "2000-01-01", "--out", out});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "zendb: exporting results needs the role operator; nobody is logged in: give --user NAME\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    const std::string station = dir.File("station.ini");
    WriteFileText(station, "[Station]\nName=Hall 2 \xE2\x80\x93 HT-04\nTester=MHT-7\n");
    std::map<std::string, std::optional<std::string>> env = jon;
    env["ZEN_CONFIG"] = station;
    const CRun run = RunZendb(
        {"--db", db, "--user", "jon", "--format", "json", "export", "aqdef", "--from", "2000-01-01", "--out", out},
        env);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto summary = nlohmann::json::parse(run.out);
    const std::vector<CDfqBlock> blocks = ReadDfq(ReadFileText(out));
    ASSERT_EQ(blocks.size(), summary["Parts"].get<size_t>());

    // Registration data of every sample, for the part and value fields.
    const CRun listed = RunZendb({"--db", db, "--user", "jon", "--format", "json", "samples", "list"}, jon);
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::map<std::string, nlohmann::json> registered;
    for (const auto& sample : nlohmann::json::parse(listed.out))
        registered[sample["UserSampleID"].get<std::string>()] = sample;

    std::map<std::string, nlohmann::json> evaluations;
    std::map<std::pair<std::string, std::string>, size_t> nextRun;  // sample, pattern -> runs seen
    size_t records = 0;
    size_t missingValues = 0;
    size_t characteristics = 0;
    for (const CDfqBlock& block : blocks) {
        ASSERT_EQ(block.declared, static_cast<int>(block.characteristics.size()));
        characteristics += block.characteristics.size();
        EXPECT_EQ(block.part.at("K1082"), "Hall 2 \x96 HT-04");
        const std::string pattern = block.part.at("K1086");
        for (const auto& [n, c] : block.characteristics) {
            EXPECT_EQ(c.at("K2001"), std::to_string(n));
            EXPECT_EQ(c.at("K2004"), "0");
        }
        for (const auto& record : block.records) {
            ++records;
            ASSERT_EQ(record.size(), block.characteristics.size());
            const std::string id = record.at(1).at("K0014");
            const nlohmann::json& sample = registered.at(id);
            EXPECT_EQ(block.part.at("K1001"), sample["PartNo"].get<std::string>()) << id;
            EXPECT_EQ(block.part.at("K1002"), sample["Detail"].get<std::string>()) << id;
            if (!evaluations.count(id)) {
                const CRun evaluated =
                    RunZendb({"--db", db, "--user", "jon", "--format", "json", "evaluate", id}, jon);
                ASSERT_EQ(evaluated.status, 0) << evaluated.err;
                evaluations[id] = nlohmann::json::parse(evaluated.out);
            }
            // The record is the next run of this pattern in the sample.
            size_t& seen = nextRun[{id, pattern}];
            const nlohmann::json* runJson = nullptr;
            size_t index = 0;
            for (const auto& candidate : evaluations[id]["Runs"])
                if (candidate["ProfileName"] == pattern && index++ == seen)
                    runJson = &candidate;
            ASSERT_NE(runJson, nullptr) << id << " " << pattern;
            ++seen;
            const std::string scale = (*runJson)["Indentor"] == "Knoop" ? "HK" : "HV";
            for (const auto& [n, fields] : record) {
                const auto& c = block.characteristics.at(n);
                const std::string description = c.at("K2002");
                const int decimals = std::stoi(c.at("K2022"));
                nlohmann::json expected;
                if (description.rfind("Surface hardness " + scale, 0) == 0) {
                    EXPECT_EQ(c.at("K2142"), scale);
                    expected = (*runJson)["SurfaceHardness"].is_null() ? nlohmann::json()
                                                                       : (*runJson)["SurfaceHardness"]["Value"];
                } else if (description.rfind("Core hardness " + scale, 0) == 0) {
                    EXPECT_EQ(c.at("K2142"), scale);
                    expected = (*runJson)["CoreHardness"].is_null() ? nlohmann::json()
                                                                    : (*runJson)["CoreHardness"]["Value"];
                } else {
                    EXPECT_EQ(c.at("K2142"), "mm");
                    ASSERT_TRUE(description.rfind("CHD ", 0) == 0 || description.rfind("SHD " + scale, 0) == 0 ||
                                description.rfind("NHD " + scale, 0) == 0)
                        << description;
                    // "CHD 550 HV1": the depth of the limit 550; SHD and NHD have one limit.
                    const nlohmann::json* depth = nullptr;
                    for (const auto& d : (*runJson)["CaseDepths"]) {
                        const bool fixed = description.rfind("CHD ", 0) == 0;
                        const std::string limit = description.substr(4, description.find(' ', 4) - 4);
                        if (depth == nullptr &&
                            (!fixed || (!d["Limit"].is_null() && Fixed(d["Limit"]["Value"].get<double>(), 0) == limit)))
                            depth = &d;
                    }
                    ASSERT_NE(depth, nullptr) << id << " " << description;
                    expected = (*depth)["Depth"];
                    // The pattern's tolerance is the first depth's limits.
                    if (n == 1 && !(*runJson)["Tolerance"].is_null()) {
                        EXPECT_EQ(c.at("K2110"), Fixed((*runJson)["Tolerance"]["Min"].get<double>(), decimals));
                        EXPECT_EQ(c.at("K2111"), Fixed((*runJson)["Tolerance"]["Max"].get<double>(), decimals));
                    }
                }
                if (expected.is_null()) {
                    ++missingValues;
                    EXPECT_EQ(fields.at("K0001"), "0") << id << " " << description;
                    EXPECT_EQ(fields.at("K0002"), "255") << id << " " << description;
                } else {
                    EXPECT_EQ(fields.at("K0001"), Fixed(expected.get<double>(), decimals)) << id << " " << description;
                    EXPECT_EQ(fields.at("K0002"), "0") << id << " " << description;
                }
                EXPECT_EQ(fields.at("K0004"), DfqTime(sample["MeasuredDate"].get<std::string>())) << id;
                EXPECT_EQ(fields.at("K0006"), sample["WorkOrder"].get<std::string>()) << id;
                EXPECT_EQ(fields.at("K0008"), sample["MeasuredBy"].get<std::string>()) << id;
                EXPECT_EQ(fields.at("K0012"), "MHT-7");
                EXPECT_EQ(fields.at("K0014"), id);
            }
        }
    }
    // Every run of every exported sample is in the file, once.
    size_t runs = 0;
    for (const auto& [id, evaluation] : evaluations)
        runs += evaluation["Runs"].size();
    EXPECT_EQ(records, runs);
    EXPECT_EQ(records, summary["Runs"].get<size_t>());
    EXPECT_EQ(evaluations.size(), summary["Samples"].get<size_t>());
    EXPECT_EQ(characteristics, summary["Characteristics"].get<size_t>());
    EXPECT_GT(records, 100u);
    EXPECT_LT(missingValues, records);
}

// ---------------------------------------------------------------- cases

// Depth (mm) and HV: the 550 HV crossing at 0.5 + 0.2 / 6 mm.
const std::vector<std::pair<double, double>> kProfile = {
    {0.1, 700.0}, {0.3, 650.0}, {0.5, 560.0}, {0.7, 500.0}, {0.9, 420.0}};
// Never falls to 550 HV: no case depth.
const std::vector<std::pair<double, double>> kHardThrough = {{0.1, 720.0}, {0.3, 700.0}, {0.5, 690.0}, {0.7, 680.0}};

std::string ProfileCsv(const std::vector<std::pair<double, double>>& points)
{
    std::string csv = "depth,axis,D1,D2,indentor,load\n";
    for (const auto& [depth, hv] : points) {
        const std::string d = VickersDiagonal(hv, 1000.0);
        csv += std::to_string(depth) + ",0," + d + "," + d + ",Vickers,1000\n";
    }
    return csv;
}

class CExportFixture : public CRunsFixture {
protected:
    void SetUp() override
    {
        CRunsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Ok({"samples", "register", "R-2"});
        Ok({"samples", "register", "R-3"});
        Ok({"samples", "set", "R-1", "PartNo=G-1", "Detail=Gear", "WorkOrder=WO-7"});
        Ok({"samples", "set", "R-2", "PartNo=G-1", "Detail=Gear", "WorkOrder=WO-8"});
        Ok({"runs", "import", "R-1", "--pattern", "CHD", "--file", Csv("a.csv", ProfileCsv(kProfile)),
            "--measured-date", "2025-03-05 10:00"});
        Ok({"runs", "import", "R-2", "--pattern", "CHD", "--file", Csv("b.csv", ProfileCsv(kHardThrough)),
            "--measured-date", "2025-03-07 23:59:30"});
        Ok({"samples", "set", "R-1", "MeasuredBy=jon"});
        Ok({"samples", "set", "R-2", "MeasuredBy=maria"});
    }
    // The export's file read back, with the samples (K0014) of each record.
    std::vector<std::string> ExportedSamples(const std::string& path) const
    {
        std::vector<std::string> ids;
        for (const CDfqBlock& block : ReadDfq(ReadFileText(path)))
            for (const auto& record : block.records)
                ids.push_back(record.at(1).at("K0014"));
        return ids;
    }
};

class ToolExport : public CEngineTool<CExportFixture> {};

TEST_P(ToolExport, KnownValuesAndARunWithoutResults)
{
    const std::string out = m_dir.File("r.dfq");
    EXPECT_EQ(Ok({"export", "aqdef", "R-1", "R-2", "R-1", "--out", out}),
              "wrote " + out + " (runs: 2, samples: 2, part blocks: 1)\n");
    const std::vector<CDfqBlock> blocks = ReadDfq(ReadFileText(out));
    ASSERT_EQ(blocks.size(), 1u);
    const CDfqBlock& block = blocks[0];
    EXPECT_EQ(block.declared, 3);
    // Without a configured station name the host name stands for it.
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(block.part, (std::map<std::string, std::string>{
                              {"K1001", "G-1"}, {"K1002", "Gear"}, {"K1082", host}, {"K1086", "CHD"}}));
    const std::map<int, std::map<std::string, std::string>> characteristics = {
        {1, {{"K2001", "1"}, {"K2002", "CHD 550 HV1"}, {"K2004", "0"}, {"K2022", "3"}, {"K2110", "0.600"},
             {"K2111", "0.900"}, {"K2142", "mm"}}},
        {2, {{"K2001", "2"}, {"K2002", "Surface hardness HV1"}, {"K2004", "0"}, {"K2022", "1"}, {"K2142", "HV"}}},
        {3, {{"K2001", "3"}, {"K2002", "Core hardness HV1"}, {"K2004", "0"}, {"K2022", "1"}, {"K2142", "HV"}}}};
    EXPECT_EQ(block.characteristics, characteristics);
    ASSERT_EQ(block.records.size(), 2u);
    const struct {
        size_t record;
        int n;
        const char* value;
        const char* attribute;
    } values[] = {
        {0, 1, "0.533", "0"}, {0, 2, "700.0", "0"}, {0, 3, "493.3", "0"},   // (560 + 500 + 420) / 3
        {1, 1, "0", "255"},   {1, 2, "720.0", "0"}, {1, 3, "690.0", "0"},   // (700 + 690 + 680) / 3
    };
    for (const auto& v : values) {
        const auto& fields = block.records[v.record].at(v.n);
        EXPECT_EQ(fields.at("K0001"), v.value) << v.record << "/" << v.n;
        EXPECT_EQ(fields.at("K0002"), v.attribute) << v.record << "/" << v.n;
    }
    const auto& first = block.records[0].at(3);
    EXPECT_EQ(first.at("K0004"), "05.03.2025/10:00:00");
    EXPECT_EQ(first.at("K0006"), "WO-7");
    EXPECT_EQ(first.at("K0008"), "jon");
    EXPECT_EQ(first.at("K0014"), "R-1");
    EXPECT_EQ(block.records[1].at(1).at("K0004"), "07.03.2025/23:59:30");
    EXPECT_EQ(block.records[1].at(1).at("K0008"), "maria");
    EXPECT_EQ(first.at("K0012"), host);

    // --pattern: the runs of another pattern are left out; none left is a failure.
    Ok({"patterns", "add", "NIT", "--preset", "nitriding"});
    const CRun none = Zendb({"export", "aqdef", "R-1", "--pattern", "NIT", "--out", m_dir.File("n.dfq")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "zendb: the samples have no profile runs of pattern 'NIT'; nothing written\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("n.dfq")));
    Ok({"export", "aqdef", "R-1", "R-2", "--pattern", "chd", "--out", m_dir.File("p.dfq")});
    EXPECT_EQ(ExportedSamples(m_dir.File("p.dfq")), (std::vector<std::string>{"R-1", "R-2"}));
}

TEST_P(ToolExport, ARunWithoutIndentsHasNoResultsAndKeepsTheCharacteristics)
{
    Ok({"samples", "set", "R-3", "PartNo=G-1", "Detail=Gear"});
    Ok({"runs", "import", "R-3", "--pattern", "CHD", "--file", Csv("c.csv", ProfileCsv(kProfile))});
    const int32_t profile = Json({"evaluate", "R-3"})["Runs"][0]["ProfileID"].get<int32_t>();
    ExecuteOn(m_db, {"DELETE FROM IndentsRun WHERE ProfileID=" + std::to_string(profile)});

    // R-3 first: its run knows no load, the characteristics still name it.
    const std::string out = m_dir.File("e.dfq");
    Ok({"export", "aqdef", "R-3", "R-1", "--out", out});
    const std::vector<CDfqBlock> blocks = ReadDfq(ReadFileText(out));
    ASSERT_EQ(blocks.size(), 1u);
    ASSERT_EQ(blocks[0].characteristics.size(), 3u);
    EXPECT_EQ(blocks[0].characteristics.at(1).at("K2002"), "CHD 550 HV1");
    EXPECT_EQ(blocks[0].characteristics.at(2).at("K2002"), "Surface hardness HV1");
    EXPECT_EQ(blocks[0].characteristics.at(3).at("K2002"), "Core hardness HV1");
    ASSERT_EQ(blocks[0].records.size(), 2u);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(blocks[0].records[0].at(n).at("K0014"), "R-3");
        EXPECT_EQ(blocks[0].records[0].at(n).at("K0001"), "0") << n;
        EXPECT_EQ(blocks[0].records[0].at(n).at("K0002"), "255") << n;
        EXPECT_EQ(blocks[0].records[1].at(n).at("K0002"), "0") << n;
    }
}

TEST_P(ToolExport, ChoosesSamplesByMeasuringDate)
{
    const struct {
        std::vector<std::string> range;
        std::vector<std::string> samples;   // empty: nothing measured then
    } cases[] = {
        {{"--from", "2025-03-05", "--to", "2025-03-07"}, {"R-1", "R-2"}},
        {{"--from", "2025-03-06"}, {"R-2"}},
        {{"--to", "2025-03-05"}, {"R-1"}},                          // a date alone: its whole day
        {{"--from", "2025-03-05 10:00:01"}, {"R-2"}},
        {{"--from", "2025-03-07", "--to", "2025-03-07 23:59"}, {}}, // R-2 was measured at 23:59:30
        {{"--from", "2025-03-08"}, {}},
    };
    for (const auto& c : cases) {
        const std::string out = m_dir.File("range.dfq");
        std::filesystem::remove(out);
        std::vector<std::string> args = {"export", "aqdef", "--out", out};
        args.insert(args.end(), c.range.begin(), c.range.end());
        const CRun run = Zendb(args);
        if (c.samples.empty()) {
            EXPECT_EQ(run.status, 1) << c.range[1];
            EXPECT_EQ(run.err, "zendb: no sample was measured in that time; nothing written\n");
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ExportedSamples(out), c.samples) << c.range[1];
    }
    // R-3 was never measured: named, it is there with no runs; alone, nothing to write.
    EXPECT_EQ(Zendb({"export", "aqdef", "R-3", "--out", m_dir.File("x.dfq")}).err,
              "zendb: the samples have no profile runs to export; nothing written\n");
}

TEST_P(ToolExport, TextsOutsideTheEncodingAreReplacedAndNamed)
{
    Ok({"samples", "set", "R-1", "MeasuredBy=\xC5\x81ukasz", "WorkOrder=WO \xE2\x82\xAC" "5"});
    const std::string out = m_dir.File("t.dfq");
    const CRun run = Zendb({"export", "aqdef", "R-1", "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "zendb: warning: K0008 (MeasuredBy) '\xC5\x81ukasz' of sample 'R-1' holds characters "
                       "Windows-1252 cannot carry (written as '?') or control characters (written as blanks)\n");
    const auto blocks = ReadDfq(ReadFileText(out));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].records[0].at(1).at("K0008"), "?ukasz");
    EXPECT_EQ(blocks[0].records[0].at(2).at("K0006"), "WO \x80" "5");
}

TEST_P(ToolExport, FailuresWriteNothingAndKeepTheEarlierFile)
{
    const std::string out = m_dir.File("keep.dfq");
    WriteFileText(out, "earlier");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"R-1", "NOPE", "R-2", "GONE"}, 1, "zendb: no sample 'NOPE'; no sample 'GONE'; nothing written\n"},
        {{}, 2, "zendb: give the sample identifiers, or --from/--to for the samples measured in that time\n"},
        {{"R-1", "--from", "2025-01-01"}, 2, "zendb: give sample identifiers or --from/--to, not both\n"},
        {{"--from", "2025-03-07", "--to", "2025-03-06"}, 2, "zendb: --to lies before --from\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"export", "aqdef", "--out", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CRun run = Zendb(args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(ReadFileText(out), "earlier");
    }
    const std::string missing = m_dir.File("no/such/folder/r.dfq");
    const CRun run = Zendb({"export", "aqdef", "R-1", "--out", missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zendb: cannot write '" + missing + "': folder does not exist\n");
}

ZEN_TOOL_ENGINES(ToolExport);

} // namespace
} // namespace zentest
