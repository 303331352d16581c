// zendb report: the test report of a sample (registration data, and for each
// profile run its hardness-depth diagram and results) as PDF, SVG or PNG, or
// the diagrams alone.
#include "Fields.h"
#include "Progress.h"
#include "ReportDrawing.h"
#include "Tool.h"
#include "Tr.h"

namespace zendb {

std::string SignatureMeaningName(const CString& meaning)
{
    if (meaning == zensign::kReviewed)
        return TrC("meaning of a signature", "reviewed");
    if (meaning == zensign::kApproved)
        return TrC("meaning of a signature", "approved");
    return ToStd(meaning);
}

CReportSample ReportSampleOf(CZENDatabase& db, const CZENDB_Sample& sample)
{
    CReportSample report;
    report.id = ToStd(sample.UserSampleID);
    for (const CFieldDef& field : LoadFieldDefs(db)) {
        if (!field.visible)
            continue;
        std::string value = SampleFieldText(sample, field.control);
        if (field.isDate)
            value = FormatDate(SampleFieldDate(sample, field.control));
        report.fields.emplace_back(field.Label(), value);
    }
    report.measuredBy = SampleFieldText(sample, "MeasuredBy");
    report.measured = FormatDate(sample.MeasuredDate);
    if (sample.Signed)
        // A sample signed without a name: "signed" of the sample itself (the
        // same word counts the signed samples in 'zendb info').
        report.signature = sample.Signature.IsEmpty() ? std::string(TrC("state of one sample", "signed"))
                                                      : SampleFieldText(sample, "Signature");
    for (const CSampleSignature& s : zensign::List(db, sample.SampleID))
        if (s.WithdrawnTime.IsEmpty())
            report.signatures.push_back(TrF("%s, %s, %s UTC", s.UserName, SignatureMeaningName(s.Meaning),
                                            s.SignedTime));
    report.revision = zensign::Revision(db, sample.SampleID);
    return report;
}

std::vector<CRunEvaluation> EvaluateSampleRuns(CZENDatabase& db, const CZENDB_Sample& sample, int number)
{
    const auto runs = LoadRuns(db, sample);
    std::vector<CRunEvaluation> results;
    for (const auto& run : runs)
        if (number <= 0 || run->ProfileNr == number)
            results.push_back(EvaluateRun(db, run->ProfileID));
    if (number > 0 && results.empty())
        throw CToolError(TrF("sample '%s' has no run %s", sample.UserSampleID, number));
    return results;
}

namespace {

struct CReportArgs {
    CSampleRef sample;
    std::string out;
    int run = 0;
    bool diagramOnly = false;
};

void RunReport(const CReportArgs& args)
{
    args.sample.Validate();
    ImageFormatOf(args.out);   // a wrong extension is a usage error before any work
    CSession session(CSession::EAccess::Read);
    session.Require(ZENACT_PrintReport);
    CZENDatabase& db = session.Db();
    const auto sample = LoadSample(db, args.sample);
    const auto runs = EvaluateSampleRuns(db, *sample, args.run);
    if (args.diagramOnly) {
        if (runs.empty())
            throw CToolError(TrF("sample '%s' has no profile runs to draw", sample->UserSampleID));
        WriteDiagrams(args.out, ToStd(sample->UserSampleID), runs);
    } else {
        CProgressBar progress(Tr("drawing"), runs.size() > 3 ? runs.size() : 0);
        WriteReport(args.out, ReportSampleOf(db, *sample), runs, [&progress] { progress.Step(); });
    }
    if (OutputFormat() == EOutputFormat::Json) {
        nlohmann::ordered_json signatures = nlohmann::ordered_json::array();
        for (const CSampleSignature& s : zensign::List(db, sample->SampleID)) {
            const nlohmann::ordered_json withdrawn = s.WithdrawnTime.IsEmpty()
                                                         ? nlohmann::ordered_json(nullptr)
                                                         : nlohmann::ordered_json(ToStd(s.WithdrawnTime));
            signatures.push_back({{"UserName", ToStd(s.UserName)},
                                  {"Meaning", ToStd(s.Meaning)},
                                  {"Time", ToStd(s.SignedTime)},
                                  {"Revision", s.Revision},
                                  {"WithdrawnTime", withdrawn},
                                  {"WithdrawnReason", ToStd(s.WithdrawnReason)}});
        }
        PrintJson({{"UserSampleID", ToStd(sample->UserSampleID)},
                   {"File", args.out},
                   {"Runs", runs.size()},
                   {"Revision", zensign::Revision(db, sample->SampleID)},
                   {"Signatures", signatures}});
        return;
    }
    PrintLine(runs.size() == 1 ? TrF("wrote %s (1 run)", args.out)
                               : TrF("wrote %s (%s runs)", args.out, runs.size()));
}

} // namespace

void RegisterReportCommands(CLI::App& app)
{
    auto args = std::make_shared<CReportArgs>();
    CLI::App* report = app.add_subcommand(
        "report", Tr("Write a sample's test report (registration data, diagram and results of each run)"));
    AddSampleRef(report, args->sample, "SAMPLE");
    report->add_option("--out", args->out, Tr("Output file: .pdf (A4 pages), .svg or .png (pages one below the other)"))
        ->type_name("FILE")
        ->required();
    report->add_option("--run", args->run, Tr("Only this run number"))->type_name("N")->check(CLI::PositiveNumber);
    report->add_flag("--diagram-only", args->diagramOnly, Tr("Only the hardness-depth diagrams"));
    report->callback([args] { RunReport(*args); });
}

} // namespace zendb
