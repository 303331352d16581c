// zendb demo: the main job of the README. Creates a database in a folder,
// fills it with a lab's worth of realistic data (users, patterns for case
// hardening, surface hardening and nitriding, a routine, a few hundred
// samples with measured profile runs of one to three lanes), evaluates every
// run, prints a summary, writes a PDF report and SVG diagrams, and ends with
// the commands to look further.
#include "DemoData.h"
#include "Fields.h"
#include "PatternFields.h"
#include "Progress.h"
#include "ReportDrawing.h"
#include "Tool.h"
#include "Tr.h"

#include <filesystem>
#include <map>

namespace zendb {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kSeed = 20240517;
constexpr int kSampleCount = 300;

struct CDemoPattern {
    const char* name;
    const char* preset;
    EDemoProcess process;
    int lanes;
    int indents;
    double spacing;
    double offset;
    double load;              // gf
    IndentorType indentor;
    double toleranceMin;      // mm
    double toleranceMax;
    const char* comment;
    int32_t key = -1;
};

struct CDemoMaterial {
    const char* material;
    const char* part;
};

constexpr CDemoMaterial kCaseParts[] = {{"16MnCr5", "Gear wheel z=41"},     {"20MnCr5", "Pinion shaft"},
                                        {"18CrNiMo7-6", "Ring gear z=67"}, {"16MnCr5", "Bevel gear"},
                                        {"20MoCr4", "Camshaft lobe"}};
constexpr CDemoMaterial kInductionParts[] = {{"C45", "Drive shaft"}, {"42CrMo4", "Axle journal"},
                                             {"Cf53", "Guide rail"}};
constexpr CDemoMaterial kNitrideParts[] = {{"31CrMoV9", "Crankshaft"}, {"42CrMo4", "Extruder screw"},
                                           {"34CrAlNi7-10", "Valve stem"}, {"X38CrMoV5-1", "Die insert"}};
const char* const kCustomers[] = {"Ardenne Gearworks", "Bergmann Antriebe", "Calder Motion", "Dunmore Hydraulics",
                                  "Eskola Machinery",  "Fabbri Trasmissioni", "Gorrion Industrial"};

std::string Slug(const std::string& name)
{
    std::string slug;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return slug;
}

std::string Number(int value, int width)
{
    std::string text = std::to_string(value);
    while (static_cast<int>(text.size()) < width)
        text = "0" + text;
    return text;
}

// A path as people would type it here: relative when it lies below the
// current folder.
std::string Short(const fs::path& path)
{
    std::error_code ec;
    const fs::path relative = fs::relative(path, fs::current_path(ec), ec);
    if (ec || relative.empty() || *relative.begin() == "..")
        return path.string();
    return relative.string();
}

// This program's path when the search path does not lead to it (the
// commands printed at the end then start with an alias); empty otherwise.
std::string ProgramPathIfNotFound()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::string();
    if (const char* path = std::getenv("PATH"); path != nullptr) {
        std::string folders = path;
        size_t start = 0;
        while (start <= folders.size()) {
            const size_t end = std::min(folders.find(':', start), folders.size());
            const fs::path candidate = fs::path(folders.substr(start, end - start)) / "zendb";
            if (fs::equivalent(candidate, self, ec))
                return std::string();
            start = end + 1;
        }
    }
    return self.string();
}

fs::path ChooseFolder(const std::string& given)
{
    if (!given.empty())
        return fs::absolute(given).lexically_normal();
    fs::path base = fs::current_path() / "zen-demo";
    fs::path folder = base;
    for (int n = 2; fs::exists(folder); ++n)
        folder = base.string() + "-" + std::to_string(n);
    return folder;
}

struct CPatternStats {
    int runs = 0;
    int found = 0;
    int within = 0;
    int withTolerance = 0;
    double sum = 0.0;
    double minimum = 1e9;
    double maximum = -1e9;
};

struct CDemoRunRef {
    std::string sample;
    int32_t profileID;
    size_t pattern;
};

void RunDemo(const std::string& given)
{
    const auto started = std::chrono::steady_clock::now();
    const fs::path folder = ChooseFolder(given);
    const fs::path database = folder / "zen.db";
    // --db naming a server puts the demonstration into that (empty) server
    // database; the files still go into the folder.
    const std::string server = IsServerLocation(Options().database) ? Options().database : std::string();
    const std::string databaseText = server.empty() ? Short(database) : ShownLocation(server);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw CToolError(TrF("cannot create the folder '%s': %s", folder.string(), ec.message()));
    CString error;
    if (!server.empty()) {
        if (!ZenCreateDatabaseSchema(server.c_str(), 1, 9, &error))
            throw CToolError(TrF("cannot create the schema in '%s': %s", databaseText, Flatten(ToStd(error))));
    } else {
        if (fs::exists(database))
            throw CToolError(TrF("'%s' exists already; give another folder", database.string()));
        if (!ZenCreateDatabaseFile(database.string().c_str(), 1, 9, &error))
            throw CToolError(TrF("cannot create '%s': %s", database.string(), error));
    }

    // The demo opens its own database, without a login (it adds the users).
    Options().database = server.empty() ? database.string() : server;
    Options().user.clear();
    Options().password.reset();
    CSession session;
    CZENDatabase& db = session.Db();
    CDemoRandom random(kSeed);

    // Users (the password of each is its name) and two custom fields.
    db.AddUser("admin", "admin", UserRoleAdministrator);
    db.AddUser("maria", "maria", UserRoleSupervisor);
    db.AddUser("jon", "jon", UserRoleOperator);
    for (const auto& [control, description] : {std::pair<const char*, const char*>{"CustomField1", "Heat lot"},
                                               std::pair<const char*, const char*>{"CustomField2", "Heat treatment"}}) {
        CZENDB_RegistrationField field(&db);
        if (field.Load(control)) {
            field.Visible = TRUE;
            field.Save();
            field.SetDescription(description);
        }
    }

    std::vector<CDemoPattern> patterns = {
        {"Gear CHD 550 HV1", "case-hardening", EDemoProcess::CaseHardening, 3, 18, 0.1, 0.05, 1000.0, Vickers, 0.8,
         1.2, "Gears: case-hardening depth at 550 HV1, three lanes"},
        {"Shaft CHD 550 HV1", "case-hardening", EDemoProcess::CaseHardening, 1, 14, 0.1, 0.05, 1000.0, Vickers, 0.5,
         0.8, "Shafts: case-hardening depth at 550 HV1"},
        {"Induction SHD 80%", "surface-hardening", EDemoProcess::SurfaceHardening, 1, 20, 0.2, 0.1, 1000.0, Vickers,
         2.0, 3.0, "Induction hardened: DIN 50190-2, 80 % of 600 HV"},
        {"Nitriding NHD HV0.5", "nitriding", EDemoProcess::Nitriding, 2, 14, 0.05, 0.03, 500.0, Vickers, 0.3, 0.5,
         "Gas nitrided: DIN 50190-3, core + 50 HV, Gaussian fit"},
        {"Nitriding NHD HK0.5", "nitriding", EDemoProcess::Nitriding, 1, 14, 0.05, 0.03, 500.0, Knoop, 0.3, 0.5,
         "Thin layers with Knoop: DIN 50190-3, core + 50, Gaussian fit"},
    };
    for (CDemoPattern& p : patterns) {
        CZENDB_Pattern pattern(&db, 1);
        ApplyPatternPreset(pattern, p.preset);
        pattern.Name = p.name;
        pattern.Comment = p.comment;
        pattern.NrOfLines = p.lanes;
        pattern.NrOfIndents = p.indents;
        pattern.SpacingBetweenIndents = p.spacing;
        pattern.XOffset = p.offset;
        pattern.TotalTraverse = p.offset + (p.indents - 1) * p.spacing;
        pattern.TestLoad = p.load;
        pattern.ECDToleranceMin = p.toleranceMin;
        pattern.ECDToleranceMax = p.toleranceMax;
        if (p.process == EDemoProcess::SurfaceHardening)
            pattern.DiagramShowIndentHardness = TRUE;
        if (!pattern.Save())
            throw CToolError(TrF("cannot store pattern %s", p.name));
        p.key = pattern.PatternID;
    }
    // A routine: flank and root of a gear tooth, both by the gear pattern.
    CZENDB_Routine routine(&db);
    routine.Name = "Gear tooth flank and root";
    routine.Comment = "Two profiles per gear: tooth flank at mid height, tooth root";
    routine.Save();
    for (const char* position : {"flank", "root"}) {
        CZENDB_RoutineProfile profile(&db);
        profile.RoutineTypeID = routine.RoutineTypeID;
        profile.PatternID = patterns[0].key;
        profile.Position = position;
        profile.Save();
    }

    // Samples, oldest first, over the last 150 days.
    const CTime now = CTime::GetCurrentTime();
    const CTime today(now.GetYear(), now.GetMonth(), now.GetDay(), 8, 0, 0);
    std::vector<CDemoRunRef> runRefs;
    int measuredCount = 0;
    int signedCount = 0;
    std::vector<int32_t> toSign;
    int indentCount = 0;
    {
        CTransaction transaction(db);
        CProgressBar progress(Tr("creating demo data"), kSampleCount);
        for (int n = 1; n <= kSampleCount; ++n) {
            const int daysAgo = (kSampleCount - n) * 150 / kSampleCount;
            const CTime registered = today - CTimeSpan(daysAgo, 0, 0, 0) + CTimeSpan(0, random.Integer(0, 8), random.Integer(0, 59), 0);
            // Pattern mix: mostly case hardening.
            const double pick = random.Uniform();
            const size_t patternIndex = pick < 0.30 ? 0 : pick < 0.55 ? 1 : pick < 0.72 ? 2 : pick < 0.90 ? 3 : 4;
            const CDemoPattern& pattern = patterns[patternIndex];
            const bool useRoutine = patternIndex == 0 && random.Chance(0.4);

            CZENDB_Sample sample(&db, CString("ZD-" + Number(n, 4)));
            const CDemoMaterial& part =
                pattern.process == EDemoProcess::CaseHardening
                    ? kCaseParts[random.Integer(0, static_cast<int>(std::size(kCaseParts)) - 1)]
                    : pattern.process == EDemoProcess::SurfaceHardening
                          ? kInductionParts[random.Integer(0, static_cast<int>(std::size(kInductionParts)) - 1)]
                          : kNitrideParts[random.Integer(0, static_cast<int>(std::size(kNitrideParts)) - 1)];
            sample.WorkOrder = CString("WO-" + Number(24000 + n / 3, 5));
            sample.PartNo = CString(std::string(pattern.process == EDemoProcess::Nitriding ? "N-" : "G-") +
                                    Number(1000 + random.Integer(0, 80) * 7, 4) + "-" +
                                    std::string(1, static_cast<char>('A' + random.Integer(0, 3))));
            sample.Detail = part.part;
            sample.Material = part.material;
            sample.Customer = kCustomers[random.Integer(0, static_cast<int>(std::size(kCustomers)) - 1)];
            sample.RegistrationDate = registered;
            sample.DueDate = registered + CTimeSpan(random.Integer(5, 14), 0, 0, 0);
            sample.RegisteredBy = random.Chance(0.5) ? "maria" : "jon";
            sample.CustomField1 = CString("L" + Number(4100 + n / 4, 5));
            sample.CustomField2 = pattern.process == EDemoProcess::CaseHardening      ? "carburized, 930 \xC2\xB0" "C"
                                  : pattern.process == EDemoProcess::SurfaceHardening ? "induction, scan"
                                                                                      : "gas nitrided, 520 \xC2\xB0" "C";
            const bool measured = daysAgo >= 3 && random.Chance(0.88);
            bool signing = false;
            if (measured) {
                sample.MeasuredDate = registered + CTimeSpan(random.Integer(1, 3), random.Integer(0, 6), 0, 0);
                sample.MeasuredBy = random.Chance(0.6) ? "jon" : "maria";
                signing = daysAgo >= 10 && random.Chance(0.9);
                ++measuredCount;
            }
            if (!sample.Save())
                throw CToolError(TrF("cannot store demo sample %s", sample.UserSampleID));
            if (useRoutine)
                sample.SetDefaultProfileOrRoutine(true, routine.RoutineTypeID);
            else
                sample.SetDefaultProfileOrRoutine(false, pattern.key);

            if (measured) {
                const int runCount = useRoutine ? 2 : (random.Chance(0.8) ? 1 : 2);
                // One heat treatment per sample: the runs share the depth
                // target and differ a little by position.
                const double target = random.Normal(0.5 * (pattern.toleranceMin + pattern.toleranceMax),
                                                    (pattern.toleranceMax - pattern.toleranceMin) / 4.2);
                for (int r = 1; r <= runCount; ++r) {
                    const double depth = std::max(0.1, target * random.Uniform(0.95, 1.05));
                    const CDemoCurve curve(pattern.process, depth, random);
                    CZENDB_Pattern stored(&db);
                    stored.Load(pattern.key);
                    CZENDB_SampleProfileRun run(&db);
                    run.SampleID = sample.SampleID;
                    run.ProfileNr = r;
                    run.ProfileName = pattern.name;
                    run.Position = useRoutine ? CString(r == 1 ? "flank" : "root") : CString("P" + std::to_string(r));
                    run.SetCalculationSettings(stored.GetCalculationSettings());
                    run.SetDiagramSettings(stored.GetDiagramSettings());
                    if (!run.Save())
                        throw CToolError(Tr("cannot store a demo profile run"));
                    runRefs.push_back({ToStd(sample.UserSampleID), run.ProfileID, patternIndex});
                    std::vector<double> laneShift(static_cast<size_t>(pattern.lanes));
                    for (double& shift : laneShift)
                        shift = random.Normal(0.0, 0.015 * depth);
                    std::vector<CZENDB_MadeIndent> indents;
                    for (int i = 0; i < pattern.indents; ++i) {
                        const double x = pattern.offset + i * pattern.spacing;
                        for (int lane = 0; lane < pattern.lanes; ++lane) {
                            double hardness = curve.Hardness(std::max(0.0, x - laneShift[static_cast<size_t>(lane)]));
                            const double sigma = pattern.process == EDemoProcess::Nitriding ? 0.015 * hardness + 3.0
                                                                                            : 0.010 * hardness + 2.0;
                            hardness = random.Normal(hardness, sigma);
                            if (random.Chance(0.015))
                                hardness *= random.Chance(0.5) ? 0.92 : 1.08;
                            const CDemoDiagonals diagonals =
                                DiagonalsFor(std::max(hardness, 50.0), pattern.indentor, pattern.load, random);
                            CZENDB_MadeIndent indent(&db);
                            indent.ProfileID = run.ProfileID;
                            indent.ActualDistanceFromEdge = std::round(x * 10000.0) / 10000.0;
                            indent.ActualDistanceFromAxis = lane * 0.25;
                            indent.D1 = diagonals.d1;
                            indent.D2 = diagonals.d2;
                            indent.ActualTypeOfIndentor = pattern.indentor;
                            indent.ActualTestload = pattern.load;
                            indent.Objective = pattern.load < 1000.0 ? "50x" : "20x";
                            indents.push_back(indent);
                            ++indentCount;
                        }
                    }
                    // The run's indents together, with one audit entry.
                    if (!run.SaveMadeIndents(indents))
                        throw CToolError(Tr("cannot store a demo indent"));
                }
            }
            if (signing)
                toSign.push_back(sample.SampleID);
            progress.Update(static_cast<size_t>(n));
        }
        transaction.Commit();
    }

    // The supervisor signs the older measured samples, logged in as herself:
    // each signature checks her password again, as every signature does.
    {
        CZENDatabase signer;
        CString openError;
        if (!signer.OpenDatabase(1, "maria", "maria", openError))
            throw CToolError(TrF("cannot log in as the demo's supervisor: %s", openError));
        CProgressBar signing(Tr("signing"), toSign.size());
        for (const int32_t key : toSign) {
            CString refusal;
            if (!signer.SignSample(key, "maria", ESignatureMeaning::Approved, refusal))
                throw CToolError(TrF("cannot sign a demo sample: %s", refusal));
            signing.Update(static_cast<size_t>(++signedCount));
        }
        signer.CloseDatabase();
    }

    // Evaluate every run.
    std::vector<CPatternStats> stats(patterns.size());
    std::map<size_t, CDemoRunRef> showcase;   // pattern -> a run to draw
    std::map<std::string, int> runsPerSample;
    size_t evaluated = 0;
    {
        CProgressBar evaluating(Tr("evaluating"), runRefs.size());
        for (const CDemoRunRef& ref : runRefs) {
            const CRunEvaluation result = EvaluateRun(db, ref.profileID);
            CPatternStats& s = stats[ref.pattern];
            ++s.runs;
            if (!result.caseDepths.empty() && result.caseDepths.front().depth >= 0.0) {
                const double depth = result.caseDepths.front().depth;
                ++s.found;
                s.sum += depth;
                s.minimum = std::min(s.minimum, depth);
                s.maximum = std::max(s.maximum, depth);
            }
            if (const auto within = result.WithinTolerance()) {
                ++s.withTolerance;
                s.within += *within ? 1 : 0;
            }
            if (!showcase.count(ref.pattern) && result.lanes >= 1)
                showcase[ref.pattern] = ref;
            ++runsPerSample[ref.sample];
            evaluating.Update(++evaluated);
        }
    }

    // The report: the latest signed sample tested by the routine (two runs).
    std::string reportSample;
    for (auto it = runRefs.rbegin(); it != runRefs.rend(); ++it) {
        if (it->pattern != 0 || runsPerSample[it->sample] < 2)
            continue;
        CZENDB_Sample sample(&db);
        if (sample.Load(CString(it->sample)) && sample.Signed) {
            reportSample = it->sample;
            break;
        }
    }
    if (reportSample.empty() && !runRefs.empty())
        reportSample = runRefs.back().sample;
    std::vector<std::string> written;
    if (!reportSample.empty()) {
        const auto sample = LoadSample(db, reportSample);
        const fs::path file = folder / ("report-" + reportSample + ".pdf");
        WriteReport(file.string(), ReportSampleOf(db, *sample), EvaluateSampleRuns(db, *sample));
        written.push_back(file.string());
    }
    for (const auto& [patternIndex, ref] : showcase) {
        const fs::path file = folder / ("diagram-" + Slug(patterns[patternIndex].name) + ".svg");
        WriteDiagrams(file.string(), ref.sample, {EvaluateRun(db, ref.profileID)});
        written.push_back(file.string());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // Summary.
    COutputTable table;
    table.AddColumn("Pattern", Tr("Pattern"));
    table.AddColumn("Evaluation", Tr("Evaluation"));
    table.AddColumn("Runs", Tr("Runs"));
    table.AddColumn("DepthMean", Tr("Depth mean/mm"));
    table.AddColumn("DepthMin", Tr("min"));
    table.AddColumn("DepthMax", Tr("max"));
    table.AddColumn("Tolerance", Tr("Required/mm"));
    table.AddColumn("WithinTolerance", Tr("Within"));
    for (size_t i = 0; i < patterns.size(); ++i) {
        const CPatternStats& s = stats[i];
        const std::string tolerance =
            FormatFixed(patterns[i].toleranceMin, 2) + "-" + FormatFixed(patterns[i].toleranceMax, 2);
        // JSON and CSV keep the evaluation's name as written, whatever the language.
        const bool people = OutputFormat() == EOutputFormat::Table;
        table.AddRow({CCell(patterns[i].name), CCell(StandardName(i < 2 ? 0 : i == 2 ? 2 : 3, people)), CCell(s.runs),
                      s.found ? CCell::Real(s.sum / s.found, 3) : CCell(), s.found ? CCell::Real(s.minimum, 3) : CCell(),
                      s.found ? CCell::Real(s.maximum, 3) : CCell(), CCell(tolerance),
                      s.withTolerance ? CCell(std::to_string(s.within * 100 / s.withTolerance) + " %") : CCell()});
    }
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"Folder", folder.string()},
                   {"Database", server.empty() ? database.string() : databaseText},
                   {"Samples", kSampleCount},
                   {"MeasuredSamples", measuredCount},
                   {"SignedSamples", signedCount},
                   {"ProfileRuns", runRefs.size()},
                   {"MadeIndents", indentCount},
                   {"Patterns", table.ToJson()},
                   {"Report", written.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(written.front())},
                   {"Files", written},
                   {"Seconds", seconds}});
        return;
    }
    if (OutputFormat() == EOutputFormat::Csv) {
        table.Print(EOutputFormat::Csv, stdout);
        return;
    }
    const std::string zendb = "zendb --db " + (server.empty() ? databaseText : "'" + databaseText + "'");
    PrintLine(TrF("Demo database %s (schema 1.9), made in %s s", databaseText, FormatFixed(seconds, 1)));
    PrintLine("  " + TrF("%s samples registered, %s measured (%s profile runs, %s indents), %s signed",
                         kSampleCount, measuredCount, runRefs.size(), indentCount, signedCount));
    PrintLine("  " + std::string(Tr("users: admin (administrator), maria (supervisor), jon (operator); each "
                                    "password is the name")));
    PrintLine("");
    table.Print(EOutputFormat::Table, stdout);
    PrintLine("");
    if (!written.empty()) {
        // TRANSLATORS: "Report:" and "Diagrams:" begin lines of file names
        // aligned under each other: give both labels one width.
        const std::string reportLabel = Tr("Report:   ");
        const std::string diagramsLabel = Tr("Diagrams: ");
        PrintLine(reportLabel + Short(written.front()));
        for (size_t i = 1; i < written.size(); ++i)
            PrintLine((i == 1 ? diagramsLabel : std::string(DisplayWidth(diagramsLabel), ' ')) + Short(written[i]));
        PrintLine("");
    }
    PrintLine(Tr("Look further:"));
    if (const std::string self = ProgramPathIfNotFound(); !self.empty())
        PrintLine("  alias zendb=" + self);
    PrintLine("  " + zendb + " info");
    PrintLine("  " + zendb + " samples list --view unsigned");
    PrintLine("  " + zendb + " samples list --where Customer=Calder --measured-from " +
              FormatDate(today - CTimeSpan(30, 0, 0, 0)));
    if (!reportSample.empty()) {
        PrintLine("  " + zendb + " samples show " + reportSample);
        // Evaluating and reporting need a login in a database with users.
        PrintLine("  " + zendb + " --user jon evaluate " + reportSample);
        PrintLine("  " + zendb + " --user jon report " + reportSample + " --out " + reportSample + ".png");
    }
    PrintLine("  " + zendb + " patterns show \"Gear CHD 550 HV1\"");
    PrintLine("  " + zendb + " --user admin users list");
}

} // namespace

void RegisterDemoCommand(CLI::App& app)
{
    auto folder = std::make_shared<std::string>();
    CLI::App* demo = app.add_subcommand(
        "demo",
        Tr("Create a demonstration database with realistic data, evaluate it and write a report and diagrams"));
    demo->add_option("DIR", *folder,
                     Tr("Folder for the database and the files (default: a new folder zen-demo here)"));
    demo->callback([folder] { RunDemo(*folder); });
}

} // namespace zendb
