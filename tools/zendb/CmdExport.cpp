// zendb export aqdef: the evaluated results of samples as an AQDEF file
// (.dfq) for statistics tools: one part block per pattern and part, one
// characteristic per case-depth limit, surface and core hardness, one value
// line set per profile run. The numbers are those of `zendb evaluate`.
#include "Aqdef.h"
#include "Evaluation.h"
#include "PatternFields.h"
#include "Progress.h"
#include "ReplacingFile.h"
#include "ReportDrawing.h"
#include "Tool.h"
#include "Tr.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace zendb {

namespace {

struct CExportArgs {
    std::vector<std::string> ids;
    std::string from;
    std::string to;
    std::string pattern;
    std::string out;
};

// Places after the point: depths to the micrometre, hardness to a tenth.
constexpr int kDepthDecimals = 3;
constexpr int kHardnessDecimals = 1;

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

// [Station] Name (K1082) and [Station] Tester (K0012); the host name when
// the configuration leaves them empty.
std::string StationSetting(const char* key)
{
    CString value = GetStringFromConfigFile("Station", key, "");
    value.Trim();
    return value.IsEmpty() ? HostName() : ToStd(value);
}

// The usual abbreviation of the depth a standard finds: case hardening
// depth for fixed limits, surface hardening depth for DIN 50190-2,
// nitriding hardness depth for DIN 50190-3.
const char* DepthAbbreviation(int standard)
{
    switch (standard) {
    case 2:
        return "SHD";
    case 3:
        return "NHD";
    default:
        return "CHD";
    }
}

// One result of a run as a characteristic: key identifies the
// characteristic within its part block (the description without the test
// load, so that runs of one pattern made at another load, or without
// indents, still meet theirs).
struct CRunResult {
    int group = 0;              // 0 case depths, 1 surface hardness, 2 core hardness: the order in the block
    std::string key;
    std::string description;    // key with the load, e.g. "CHD 550 HV1"
    std::string unit;
    int decimals = 0;
    bool toleranced = false;    // the depth the pattern's tolerance is for
    std::optional<double> value;
};

struct CExportRun {
    const CZENDB_Sample* sample = nullptr;
    const CRunEvaluation* run = nullptr;
    std::vector<CRunResult> results;
};

// The runs of one pattern and part.
struct CBlock {
    std::string pattern;
    const CZENDB_Sample* first = nullptr;
    std::pair<double, double> tolerance;   // the pattern's ECDToleranceMin, ECDToleranceMax (max 0: none)
    std::vector<CExportRun> runs;
};

std::vector<CRunResult> ResultsOf(const CRunEvaluation& run, IndentorType patternIndentor)
{
    const IndentorType indentor = run.hasIndentor ? run.indentor : patternIndentor;
    const std::string scale = indentor == Knoop ? "HK" : "HV";
    const std::string load = ScaleWithLoad(run).substr(2);
    auto valid = [&run](double value) {
        return run.finite && std::isfinite(value) && value >= 0.0 ? std::optional<double>(value) : std::nullopt;
    };
    const bool fixed = run.calc.Standard == 0 || run.calc.Standard == 1 || run.calc.Standard == 4;
    std::vector<CRunResult> results;
    for (const CCaseDepth& depth : run.caseDepths) {
        CRunResult result;
        result.key = DepthAbbreviation(run.calc.Standard);
        if (fixed && depth.limit.Valid())
            result.key += " " + FormatFixed(depth.limit.hvhk, 0);
        result.key += " " + scale;
        result.description = result.key + load;
        result.unit = "mm";
        result.decimals = kDepthDecimals;
        result.toleranced = &depth == &run.caseDepths.front();
        result.value = depth.limit.Valid() ? valid(depth.depth) : std::nullopt;
        results.push_back(result);
    }
    CRunResult surface;
    surface.group = 1;
    surface.key = "Surface hardness " + scale;
    surface.description = surface.key + load;
    surface.unit = scale;
    surface.decimals = kHardnessDecimals;
    surface.value = run.surface ? valid(run.surface->hvhk) : std::nullopt;
    results.push_back(surface);
    if (run.calc.CalcCoreHardness && run.calc.CoreHardnessNofIndents >= 1) {
        CRunResult core = surface;
        core.group = 2;
        core.key = "Core hardness " + scale;
        core.description = core.key + load;
        core.value = run.core ? valid(run.core->hvhk) : std::nullopt;
        results.push_back(core);
    }
    return results;
}

// The samples measured from `from` up to `to` (a date without a time takes
// its whole day), oldest first.
std::vector<std::unique_ptr<CZENDB_Sample>> SamplesMeasuredIn(CZENDatabase& db, const std::string& fromText,
                                                              const std::string& toText)
{
    std::optional<CTime> from;
    std::optional<CTime> before;   // exclusive
    std::optional<CTime> until;    // inclusive
    if (!fromText.empty())
        from = ParseDate(fromText);
    if (!toText.empty()) {
        const CTime to = ParseDate(toText);
        if (toText.find(':') == std::string::npos && Lower(toText) != "now") {
            // The next day's midnight, found from noon so that a change to or
            // from summer time on the way cannot shift the day.
            const CTime next = CTime(to.GetYear(), to.GetMonth(), to.GetDay(), 12, 0, 0) + CTimeSpan(1, 0, 0, 0);
            before = CTime(next.GetYear(), next.GetMonth(), next.GetDay(), 0, 0, 0);
        } else
            until = to;
        if (from && ((before && *before <= *from) || (until && *until < *from)))
            throw CUsageError(Tr("--to lies before --from"));
    }
    COwnedList<CZENDB_Sample> all;
    const size_t messages = CToolUIHost::Instance().MessageCount();
    db.GetSamples(SampleViewAll, nullptr, all.List());
    if (CToolUIHost::Instance().MessageCount() != messages)
        throw CToolError(Tr("cannot list the samples"));
    std::vector<std::unique_ptr<CZENDB_Sample>> chosen;
    while (!all.List().IsEmpty()) {
        std::unique_ptr<CZENDB_Sample> sample(static_cast<CZENDB_Sample*>(all.List().RemoveHead()));
        const CTime& measured = sample->MeasuredDate;
        if (measured.GetTime() == 0 || (from && measured < *from) || (before && !(measured < *before)) ||
            (until && *until < measured))
            continue;
        chosen.push_back(std::move(sample));
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const auto& a, const auto& b) {
        if (a->MeasuredDate != b->MeasuredDate)
            return a->MeasuredDate < b->MeasuredDate;
        return ToStd(a->UserSampleID) < ToStd(b->UserSampleID);
    });
    return chosen;
}

// A part block of the file: the part fields from its first sample, the
// characteristics every result any of its runs has (case depths first, then
// surface and core hardness), and a record per run.
CAqdefPart PartOf(const CBlock& block, const std::string& station, const std::string& tester)
{
    CAqdefPart part;
    part.partNumber = ToStd(block.first->PartNo);
    part.partDescription = ToStd(block.first->Detail);
    part.station = station;
    part.operation = block.pattern;
    part.sampleId = ToStd(block.first->UserSampleID);
    std::vector<std::string> keys;
    for (int group = 0; group <= 2; ++group)
        for (const CExportRun& run : block.runs)
            for (const CRunResult& result : run.results) {
                if (result.group != group)
                    continue;
                const auto known = std::find(keys.begin(), keys.end(), result.key);
                if (known != keys.end()) {
                    // A run without indents knows no load: the description
                    // comes from one that does.
                    std::string& description = part.characteristics[known - keys.begin()].description;
                    if (description == result.key)
                        description = result.description;
                    continue;
                }
                keys.push_back(result.key);
                CAqdefCharacteristic c;
                c.description = result.description;
                c.unit = result.unit;
                c.decimals = result.decimals;
                const auto [low, high] = block.tolerance;
                if (result.toleranced && std::isfinite(low) && std::isfinite(high) && high > 0.0) {
                    c.lower = low;
                    c.upper = high;
                }
                part.characteristics.push_back(c);
            }
    for (const CExportRun& run : block.runs) {
        CAqdefRecord record;
        for (const std::string& key : keys) {
            const auto found = std::find_if(run.results.begin(), run.results.end(),
                                            [&key](const CRunResult& r) { return r.key == key; });
            record.values.push_back(found != run.results.end() ? found->value : std::nullopt);
        }
        const CTime& measured = run.sample->MeasuredDate;
        if (measured.GetTime() != 0)
            record.measured = CAqdefTime{measured.GetYear(), measured.GetMonth(),  measured.GetDay(),
                                         measured.GetHour(), measured.GetMinute(), measured.GetSecond()};
        record.workOrder = ToStd(run.sample->WorkOrder);
        record.operatorName = ToStd(run.sample->MeasuredBy);
        record.tester = tester;
        record.sampleId = ToStd(run.sample->UserSampleID);
        part.records.push_back(std::move(record));
    }
    return part;
}

// What each K field holds, for the warnings about texts that were changed.
std::string FieldOf(const std::string& key)
{
    static const std::map<std::string, std::string> names = {
        {"K1001", "PartNo"},          {"K1002", "Detail"},          {"K1082", "[Station] Name"},
        {"K1086", "ProfileName"},     {"K0006", "WorkOrder"},
        {"K0008", "MeasuredBy"},      {"K0012", "[Station] Tester"}, {"K0014", "UserSampleID"}};
    const auto found = names.find(key);
    return found == names.end() ? key : key + " (" + found->second + ")";
}

void RunExportAqdef(const CExportArgs& args)
{
    const bool byDate = !args.from.empty() || !args.to.empty();
    if (byDate && !args.ids.empty())
        throw CUsageError(Tr("give sample identifiers or --from/--to, not both"));
    if (!byDate && args.ids.empty())
        throw CUsageError(Tr("give the sample identifiers, or --from/--to for the samples measured in that time"));

    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    session.Require(ZENACT_PrintReport, Tr("exporting results"));

    std::vector<std::unique_ptr<CZENDB_Sample>> samples;
    if (byDate) {
        samples = SamplesMeasuredIn(db, args.from, args.to);
        if (samples.empty())
            throw CToolError(Tr("no sample was measured in that time; nothing written"));
    } else {
        // Every identifier is looked up before anything is written, and all
        // the missing ones are named at once.
        std::vector<std::string> missing;
        std::set<int32_t> seen;
        for (const std::string& id : args.ids) {
            try {
                auto sample = LoadSample(db, id);
                if (seen.insert(sample->SampleID).second)
                    samples.push_back(std::move(sample));
            } catch (const CToolError& e) {
                missing.push_back(e.what());
            }
        }
        if (!missing.empty()) {
            std::string text;
            for (const std::string& line : missing)
                text += (text.empty() ? "" : "; ") + line;
            throw CToolError(TrF("%s; nothing written", text));
        }
    }

    // Evaluate every run: the same evaluation as `zendb evaluate`.
    const std::string wanted = Lower(args.pattern);
    std::vector<std::vector<CRunEvaluation>> evaluations;
    evaluations.reserve(samples.size());
    CProgressBar progress(Tr("evaluating"), samples.size() > 5 ? samples.size() : 0);
    for (const auto& sample : samples) {
        std::vector<CRunEvaluation> runs = EvaluateSampleRuns(db, *sample);
        if (!wanted.empty())
            std::erase_if(runs, [&wanted](const CRunEvaluation& run) { return Lower(run.profileName) != wanted; });
        evaluations.push_back(std::move(runs));
        progress.Step();
    }

    // Part blocks: one per pattern, part number and part description, in
    // the order they first appear.
    std::vector<CBlock> blocks;
    std::map<std::tuple<std::string, std::string, std::string>, size_t> blockIndex;
    std::map<std::string, IndentorType> indentors;
    std::map<std::string, std::pair<double, double>> tolerances;   // pattern -> min, max (max 0: none)
    size_t runCount = 0;
    std::set<int32_t> samplesWithRuns;
    for (size_t s = 0; s < samples.size(); ++s) {
        const CZENDB_Sample& sample = *samples[s];
        for (const CRunEvaluation& run : evaluations[s]) {
            if (!indentors.count(run.profileName)) {
                const auto pattern = run.profileName.empty() ? nullptr : FindPattern(db, run.profileName);
                indentors[run.profileName] = pattern ? PatternIndentor(*pattern) : Vickers;
                // The pattern's tolerance; for a pattern that is gone, the one
                // its run was made with.
                tolerances[run.profileName] =
                    pattern ? std::make_pair(pattern->ECDToleranceMin, pattern->ECDToleranceMax)
                            : std::make_pair(run.diagram.ECDToleranceMin, run.diagram.ECDToleranceMax);
            }
            const auto key = std::make_tuple(run.profileName, ToStd(sample.PartNo), ToStd(sample.Detail));
            auto [at, added] = blockIndex.emplace(key, blocks.size());
            if (added)
                blocks.push_back({run.profileName, &sample, tolerances[run.profileName], {}});
            blocks[at->second].runs.push_back({&sample, &run, ResultsOf(run, indentors[run.profileName])});
            ++runCount;
            samplesWithRuns.insert(sample.SampleID);
        }
    }
    if (blocks.empty())
        throw CToolError(args.pattern.empty()
                             ? std::string(Tr("the samples have no profile runs to export; nothing written"))
                             : TrF("the samples have no profile runs of pattern '%s'; nothing written",
                                   args.pattern));

    const std::string station = StationSetting("Name");
    const std::string tester = StationSetting("Tester");
    std::vector<CAqdefPart> parts;
    size_t characteristicCount = 0;
    for (const CBlock& block : blocks) {
        CAqdefPart part = PartOf(block, station, tester);
        characteristicCount += part.characteristics.size();
        parts.push_back(std::move(part));
    }

    std::vector<CAqdefLoss> losses;
    const std::string text = WriteAqdef(parts, &losses);
    CReplacingFile file(args.out);
    file.Write(text.data(), text.size());
    file.Commit();

    // A text is named once, however many value lines repeat it.
    std::set<std::tuple<std::string, std::string, std::string>> told;
    std::vector<std::string> warnings;
    for (const CAqdefLoss& loss : losses) {
        if (!told.insert({loss.sampleId, loss.key, loss.text}).second)
            continue;
        warnings.push_back(
            loss.sampleId.empty()
                ? TrF("%s '%s' of the station configuration holds characters Windows-1252 cannot carry (written as "
                      "'?') or control characters (written as blanks)",
                      FieldOf(loss.key), loss.text)
                : TrF("%s '%s' of sample '%s' holds characters Windows-1252 cannot carry (written as '?') or control "
                      "characters (written as blanks)",
                      FieldOf(loss.key), loss.text, loss.sampleId));
    }
    for (const std::string& warning : warnings)
        Warn(warning);
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"File", args.out},
                   {"Parts", parts.size()},
                   {"Characteristics", characteristicCount},
                   {"Samples", samplesWithRuns.size()},
                   {"Runs", runCount},
                   {"Warnings", warnings}});
        return;
    }
    PrintLine(TrF("wrote %s (runs: %s, samples: %s, part blocks: %s)", args.out, runCount, samplesWithRuns.size(),
                  parts.size()));
}

} // namespace

void RegisterExportCommands(CLI::App& app)
{
    CLI::App* group = AddGroup(app, "export", Tr("Write results for other programs"));
    auto args = std::make_shared<CExportArgs>();
    CLI::App* aqdef = group->add_subcommand(
        "aqdef", Tr("Write the evaluated results of samples as an AQDEF file (.dfq) for statistics tools: one part "
                    "block per pattern and part, one characteristic per case depth limit, surface and core "
                    "hardness, one value per run"));
    aqdef->add_option("ID", args->ids, Tr("Sample identifiers"));
    aqdef->add_option("--from", args->from, Tr("The samples measured on or after DATE (instead of identifiers)"))
        ->type_name("DATE");
    aqdef->add_option("--to", args->to, Tr("The samples measured on or before DATE (a date alone: the whole day)"))
        ->type_name("DATE");
    aqdef->add_option("--pattern", args->pattern, Tr("Only the runs of this pattern"))->type_name("NAME");
    aqdef->add_option("--out", args->out, Tr("The file to write (replaced whole, or left as it was on failure)"))
        ->type_name("FILE.dfq")
        ->required();
    aqdef->callback([args] { RunExportAqdef(*args); });
}

} // namespace zendb
