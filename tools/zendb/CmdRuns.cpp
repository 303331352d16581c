// zendb commands on profile runs: import a run from a CSV of made indents
// (with the pattern's evaluation settings copied into it), list and delete a
// sample's runs, and evaluate them.
#include "CsvImport.h"
#include "Evaluation.h"
#include "PatternFields.h"
#include "Progress.h"
#include "Tool.h"
#include "Tr.h"

#include <algorithm>
#include <cmath>

namespace zendb {

namespace {

std::string Trim(const CString& text)
{
    CString copy = text;
    copy.Trim();
    return ToStd(copy);
}

struct CImportArgs {
    CSampleRef sample;
    std::string pattern;
    std::string file;
    std::string position;
    std::string measuredDate;
    bool force = false;
};

// The one error line for refused rows: how many, and the first ten with
// their line numbers.
[[noreturn]] void ThrowProblems(const std::string& file, const std::vector<CCsvProblem>& problems)
{
    std::string text;
    const size_t shown = std::min<size_t>(problems.size(), 10);
    for (size_t i = 0; i < shown; ++i) {
        const CCsvProblem& problem = problems[i];
        text += (i ? "; " : "") + (problem.line > 0 ? TrF("line %s: %s", problem.line, problem.text) : problem.text);
    }
    if (problems.size() > shown)
        text += "; " + TrF("and %s more", problems.size() - shown);
    const size_t bad = problems.size();
    if (problems.front().line <= 0)
        throw CToolError(TrF("%s: nothing imported: %s", file, text));
    throw CToolError(bad == 1 ? TrF("%s: 1 bad row, nothing imported: %s", file, text)
                              : TrF("%s: %s bad rows, nothing imported: %s", file, bad, text));
}

const char* IndentorName(IndentorType indentor)
{
    return indentor == Knoop ? "Knoop" : "Vickers";
}

void RunImport(const CImportArgs& args)
{
    args.sample.Validate();
    const std::string file = args.file == "-" ? std::string(Tr("standard input")) : args.file;
    // The file is checked completely before the database is touched.
    const CCsvResult csv = ReadIndentCsv(args.file);
    if (!csv.problems.empty())
        ThrowProblems(file, csv.problems);
    const CTime measured = args.measuredDate.empty() ? CTime::GetCurrentTime() : ParseDate(args.measuredDate);

    CSession session;
    session.Require(ZENACT_ImportRuns);
    CZENDatabase& db = session.Db();
    auto sample = LoadSample(db, args.sample);
    RequireLeaveForSignedSample(db, *sample, false);
    const bool wasSigned = sample->Signed != FALSE;
    auto pattern = RequirePattern(db, args.pattern);
    const IndentorType indentor = csv.indents.front().indentor;
    const IndentorType planned = PatternIndentor(*pattern);
    if (indentor != planned && !args.force)
        throw CToolError(TrF("%s: the indents are %s but pattern '%s' is meant for %s; nothing imported (--force "
                             "imports them, and the evaluation then takes the pattern's limits in %s)",
                             file, IndentorName(indentor), Trim(pattern->Name), IndentorName(planned),
                             indentor == Knoop ? "HK" : "HV"));

    // A lane number is stored as the sideways position the pattern plans for
    // that lane; an axis given beside it must agree with it.
    const double pitch = std::isfinite(pattern->LineSpacing) && pattern->LineSpacing > 0.0 ? pattern->LineSpacing
                                                                                           : kDefaultLaneSpacing;
    std::vector<double> axes;
    std::vector<CCsvProblem> laneProblems;
    for (const CCsvIndent& row : csv.indents) {
        if (row.lane == 0) {
            axes.push_back(row.axis ? *row.axis : 0.0);
            continue;
        }
        const double axis = (row.lane - 1) * pitch;
        if (row.axis && std::fabs(*row.axis - axis) > 0.0005)
            laneProblems.push_back(
                {row.line, TrF("axis (column %s) %s mm contradicts lane %s (column %s), which lies at %s mm with "
                               "the lane spacing %s mm",
                               csv.axisColumn, FormatFixed(*row.axis, 3), row.lane, csv.laneColumn,
                               FormatFixed(axis, 3), FormatFixed(pitch, 3))});
        axes.push_back(axis);
    }
    if (!laneProblems.empty())
        ThrowProblems(file, laneProblems);
    const auto runs = LoadRuns(db, *sample);
    int32_t number = 1;
    for (const auto& run : runs)
        number = std::max(number, run->ProfileNr + 1);

    CTransaction transaction(db);
    CZENDB_SampleProfileRun run(&db);
    run.SampleID = sample->SampleID;
    run.ProfileNr = number;
    run.ProfileName = pattern->Name;
    run.ProfileName.Trim();
    run.Position = CString(args.position);
    run.SetCalculationSettings(pattern->GetCalculationSettings());
    run.SetDiagramSettings(pattern->GetDiagramSettings());
    if (!run.Save() || run.ProfileID < 1)
        throw CToolError(Tr("cannot store the profile run"));

    CProgressBar progress(Tr("importing"), csv.indents.size() > 200 ? csv.indents.size() : 0);
    std::vector<CZENDB_MadeIndent> indents;
    indents.reserve(csv.indents.size());
    for (size_t i = 0; i < csv.indents.size(); ++i) {
        const CCsvIndent& row = csv.indents[i];
        CZENDB_MadeIndent indent(&db);
        indent.ProfileID = run.ProfileID;
        indent.ActualDistanceFromEdge = row.depth;
        indent.ActualDistanceFromAxis = axes[i];
        indent.D1 = row.d1;
        indent.D2 = row.d2;
        indent.ActualTypeOfIndentor = row.indentor;
        indent.ActualTestload = row.load;
        indents.push_back(indent);
    }
    // All indents with one audit entry for the run.
    if (!run.SaveMadeIndents(indents, [&progress](size_t done) { progress.Update(done); }))
        throw CToolError(Tr("cannot store the indents of the profile run"));
    sample->MeasuredDate = measured;
    sample->MeasuredBy = CString(session.ActingUser());
    if (!sample->Save())
        throw CToolError(TrF("cannot store the measuring date of '%s'", sample->UserSampleID));
    transaction.Commit();

    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"UserSampleID", ToStd(sample->UserSampleID)},
                   {"ProfileID", run.ProfileID},
                   {"ProfileNr", run.ProfileNr},
                   {"Indents", csv.indents.size()}});
        return;
    }
    PrintLine(TrF("imported %s indents as run %s of %s (pattern %s)", csv.indents.size(), run.ProfileNr,
                  sample->UserSampleID, Trim(pattern->Name)));
    if (wasSigned && !sample->Signed)
        PrintLine(TrF("the signature of %s is withdrawn: the sample must be signed again", sample->UserSampleID));
}

void RunList(const CSampleRef& id)
{
    id.Validate();
    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    const auto sample = LoadSample(db, id);
    COutputTable table;
    table.AddColumn("ProfileID", Tr("Key"));
    table.AddColumn("ProfileNr", Tr("Run"));
    table.AddColumn("ProfileName", Tr("Profile"));
    table.AddColumn("Position", Tr("Position"));
    table.AddColumn("Indents", Tr("Indents"));
    table.AddColumn("Standard", Tr("Standard"));
    table.AddColumn("CurveType", Tr("CurveType"));
    for (const auto& run : LoadRuns(db, *sample)) {
        COwnedList<CZENDB_MadeIndent> indents;
        run->GetAllMadeIndents(indents.List(), 0);
        table.AddRow({CCell(static_cast<int>(run->ProfileID)), CCell(static_cast<int>(run->ProfileNr)),
                      CCell(Trim(run->ProfileName)), CCell(Trim(run->Position)), CCell(indents.Count()),
                      CCell(run->Standard), CCell(run->CurveType)});
    }
    table.Print(OutputFormat(), stdout, Tr("no profile runs"));
}

void RunDelete(CSampleRef ref, std::optional<std::string> runText)
{
    // With --key the run number lands where the identifier would stand.
    if (ref.key && ref.id && !runText) {
        runText = ref.id;
        ref.id.reset();
    }
    ref.Validate();
    if (!runText)
        throw CUsageError(Tr("give the run number (see 'zendb runs list')"));
    const std::string& digits = *runText;
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        throw CUsageError(TrF("'%s' is no run number", digits));
    const int number = std::stoi(digits);
    CSession session;
    session.Require(ZENACT_DeleteSample);
    CZENDatabase& db = session.Db();
    const auto sample = LoadSample(db, ref);
    const std::string id = ToStd(sample->UserSampleID);
    RequireLeaveForSignedSample(db, *sample, false);
    for (const auto& run : LoadRuns(db, *sample)) {
        if (run->ProfileNr != number)
            continue;
        if (!run->Delete())
            throw CToolError(TrF("cannot delete the indents of run %s", number));
        PrintLine(TrF("deleted run %s of %s", number, id));
        CZENDB_Sample after(&db);
        if (sample->Signed && after.Load(sample->SampleID) && !after.Signed)
            PrintLine(TrF("the signature of %s is withdrawn: the sample must be signed again", id));
        return;
    }
    throw CToolError(TrF("sample '%s' has no run %s", id, number));
}

void RunEvaluate(const CSampleRef& ref, int number)
{
    ref.Validate();
    CSession session(CSession::EAccess::Read);
    session.Require(ZENACT_Evaluate);
    CZENDatabase& db = session.Db();
    const auto sample = LoadSample(db, ref);
    const std::string id = ToStd(sample->UserSampleID);
    const auto runs = LoadRuns(db, *sample);
    std::vector<CRunEvaluation> results;
    CProgressBar progress(Tr("evaluating"), runs.size() > 5 ? runs.size() : 0);
    for (const auto& run : runs) {
        if (number > 0 && run->ProfileNr != number)
            continue;
        results.push_back(EvaluateRun(db, run->ProfileID));
        progress.Step();
    }
    if (number > 0 && results.empty())
        throw CToolError(TrF("sample '%s' has no run %s", id, number));
    PrintEvaluations(*sample, results, OutputFormat());
}

} // namespace

void RegisterRunCommands(CLI::App& app)
{
    CLI::App* runs = AddGroup(app, "runs", Tr("Profile runs of a sample: import from CSV, list, delete"));

    auto import = std::make_shared<CImportArgs>();
    CLI::App* importCmd = runs->add_subcommand(
        "import", Tr("Import a profile run from a CSV of made indents (every row is checked first; "
                     "a bad row stores nothing)"));
    AddSampleRef(importCmd, import->sample, "SAMPLE");
    importCmd->add_option("--pattern", import->pattern, Tr("Pattern whose evaluation settings the run takes"))
        ->type_name("NAME")
        ->required();
    importCmd->add_option("--file", import->file,
                          Tr("CSV with the columns depth (mm, 0 to 100), axis (mm, 0 to 100), D1, D2 (µm, above 0, "
                             "at most 10000), indentor (Vickers/Knoop, one for all rows), load (gf, 1 to 100000) and "
                             "optionally lane (1 to 100, stored as the lane's position at the pattern's "
                             "LineSpacing); a header line may name them in any order; numbers in decimal; '-' reads "
                             "standard input; a regular file of at most 64 MiB with lines of at most 4096 bytes"))
        ->type_name("FILE.csv")
        ->required();
    importCmd->add_option("--position", import->position, Tr("Position text of the run on the sample"));
    importCmd->add_option("--measured-date", import->measuredDate, Tr("When it was measured (default: now)"))
        ->type_name("DATE");
    importCmd->add_flag("--force", import->force,
                        Tr("Import indents of another indentor than the pattern's (the "
                           "pattern's indentor is the scale its name or comment names, HV/Vickers or HK/Knoop; "
                           "Vickers when it names none)"));
    importCmd->callback([import] { RunImport(*import); });

    auto listId = std::make_shared<CSampleRef>();
    CLI::App* listCmd = runs->add_subcommand("list", Tr("List the profile runs of a sample"));
    AddSampleRef(listCmd, *listId, "SAMPLE");
    listCmd->callback([listId] { RunList(*listId); });

    auto deleteId = std::make_shared<CSampleRef>();
    auto deleteNr = std::make_shared<std::optional<std::string>>();
    CLI::App* deleteCmd = runs->add_subcommand("delete", Tr("Delete one profile run and its made indents"));
    AddSampleRef(deleteCmd, *deleteId, "SAMPLE");
    deleteCmd->add_option_function<std::string>(
        "RUN", [deleteNr](const std::string& value) { *deleteNr = value; }, Tr("Run number (see 'runs list')"));
    deleteCmd->callback([deleteId, deleteNr] { RunDelete(*deleteId, *deleteNr); });

    auto evalId = std::make_shared<CSampleRef>();
    auto evalNr = std::make_shared<int>(0);
    CLI::App* evaluate = app.add_subcommand(
        "evaluate",
        Tr("Evaluate a sample's profile runs by their settings: case depths, core hardness, statistics"));
    AddSampleRef(evaluate, *evalId, "SAMPLE");
    evaluate->add_option("--run", *evalNr, Tr("Only this run number"))->type_name("N")->check(CLI::PositiveNumber);
    evaluate->callback([evalId, evalNr] { RunEvaluate(*evalId, *evalNr); });
}

} // namespace zendb
