// zendb catalogue commands: test patterns (list, show, add from a preset with
// any field set by name, set, delete) and routines of several patterns
// (list, show, add, delete). Deleting marks the record deleted; it stays in
// the file for the runs that used it.
#include "PatternFields.h"
#include "Tool.h"
#include "Tr.h"

namespace zendb {

namespace {

std::string Trim(const CString& text)
{
    CString copy = text;
    copy.Trim();
    return ToStd(copy);
}

// ---------------------------------------------------------------------------
// Patterns

void RunPatternsList()
{
    CSession session(CSession::EAccess::Read);
    COwnedList<CZENDB_Pattern> patterns;
    session.Db().GetAllPatterns(patterns.List());
    auto items = patterns.Items();
    std::stable_sort(items.begin(), items.end(),
                     [](const CZENDB_Pattern* a, const CZENDB_Pattern* b) { return Trim(a->Name) < Trim(b->Name); });
    COutputTable table;
    table.AddColumn("PatternID", Tr("Key"));
    table.AddColumn("Name", Tr("Name"));
    table.AddColumn("Standard", Tr("Evaluation"));
    table.AddColumn("CurveType", Tr("Curve"));
    table.AddColumn("NrOfIndents", Tr("Indents"));
    table.AddColumn("NrOfLines", Tr("Lanes"));
    table.AddColumn("TestLoad", Tr("Load/gf"));
    table.AddColumn("Comment", Tr("Comment"));
    const bool people = OutputFormat() == EOutputFormat::Table;
    for (const CZENDB_Pattern* p : items) {
        table.AddRow({CCell(static_cast<int>(p->PatternID)), CCell(Trim(p->Name)),
                      people ? CCell(StandardName(p->Standard)) : CCell(p->Standard),
                      people ? CCell(CurveTypeName(p->CurveType)) : CCell(p->CurveType), CCell(p->NrOfIndents),
                      CCell(p->NrOfLines), CCell::Real(p->TestLoad, 0), CCell(Trim(p->Comment))});
    }
    table.Print(OutputFormat(), stdout, Tr("no patterns"));
}

void PrintPattern(const CZENDB_Pattern& pattern)
{
    if (OutputFormat() == EOutputFormat::Json) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (const CPatternField& field : PatternFields())
            object[field.name] = field.Get(pattern).Json();
        PrintJson(object);
        return;
    }
    COutputTable table;
    if (OutputFormat() == EOutputFormat::Csv) {
        for (const CPatternField& field : PatternFields())
            table.AddColumn(field.name);
        std::vector<CCell> row;
        for (const CPatternField& field : PatternFields())
            row.push_back(field.Get(pattern));
        table.AddRow(std::move(row));
        table.Print(EOutputFormat::Csv, stdout);
        return;
    }
    table.AddColumn("Field", Tr("Field"));
    table.AddColumn("Value", Tr("Value"));
    table.AddColumn("Meaning", Tr("Meaning"));
    for (const CPatternField& field : PatternFields()) {
        std::string meaning;
        const std::string name = field.name;
        if (name == "Standard")
            meaning = StandardName(pattern.Standard);
        else if (name == "CurveType")
            meaning = CurveTypeName(pattern.CurveType);
        else if (name == "ECDAtUnitConv" || name == "DIN50190Part2FixHardnessUnitConv" ||
                 name == "GaussianHardnessLimitInputUnit")
            meaning = ConversionName(pattern.*field.integer);
        else if (name == "DiagramXAxisUnit")
            meaning = pattern.DiagramXAxisUnit == 2
                          ? TrF("depths in %s, lanes not merged", DepthUnitName(pattern.DiagramXAxisUnit))
                          : TrF("depths in %s", DepthUnitName(pattern.DiagramXAxisUnit));
        table.AddRow({CCell(name), CCell(field.Get(pattern).Display()), CCell(meaning)});
    }
    table.Print(EOutputFormat::Table, stdout);
}

void CheckPattern(const CZENDB_Pattern& p)
{
    if (Trim(p.Name).empty())
        throw CUsageError(Tr("a pattern needs a name"));
    CheckPatternSettings(p);
    if (p.NrOfIndents < 1 || p.NrOfIndents > 1000)
        throw CUsageError(Tr("NrOfIndents must lie between 1 and 1000"));
    if (p.NrOfLines < 1 || p.NrOfLines > 20)
        throw CUsageError(Tr("NrOfLines must lie between 1 and 20"));
    if (p.TestLoadMethod == 1 && !(p.TestLoad > 0.0))
        throw CUsageError(Tr("TestLoad must be positive (gf)"));
    if (p.SpacingBetweenIndents < 0.0 || p.XOffset < 0.0 || p.LineSpacing < 0.0)
        throw CUsageError(Tr("spacings and offsets cannot be negative"));
    const bool needsCore = p.Standard == 3 || (p.Standard == 2 && p.DIN50190Part2ECDMethod == 2);
    if (needsCore && p.CoreHardnessNofIndents < 1)
        throw CUsageError(Tr("this evaluation needs CoreHardnessNofIndents of at least 1"));
    if (p.ECDToleranceMax < p.ECDToleranceMin)
        throw CUsageError(Tr("ECDToleranceMax lies below ECDToleranceMin"));
}

void ApplySets(CZENDB_Pattern& pattern, const std::vector<std::string>& sets, bool& traverseGiven)
{
    for (const std::string& item : sets) {
        const size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0)
            throw CUsageError(TrF("'%s' is not FIELD=VALUE", item));
        const CPatternField& field = FindPatternField(item.substr(0, eq));
        const std::string name = field.name;
        if (name == "PatternID" || name == "Deleted")
            throw CUsageError(TrF("%s cannot be set", name));
        field.Set(pattern, item.substr(eq + 1));
        traverseGiven = traverseGiven || name == "TotalTraverse";
    }
}

struct CPatternArgs {
    std::string name;
    std::string preset;
    std::string comment;
    bool commentGiven = false;
    std::vector<std::string> sets;
};

void RunPatternsAdd(CPatternArgs args)
{
    args.name = CleanName(args.name, Tr("pattern name"), kCatalogueNameMaxChars);
    CSession session;
    session.Require(ZENACT_ManagePatterns);
    CZENDatabase& db = session.Db();
    if (FindPattern(db, args.name))
        throw CToolError(TrF("a pattern named '%s' exists already", args.name));
    // The default plan of the library in mm (eleven indents under 1 kgf).
    CZENDB_Pattern pattern(&db, 1);
    if (!args.preset.empty())
        ApplyPatternPreset(pattern, args.preset);
    pattern.Name = CString(args.name);
    pattern.Comment = CString(args.comment);
    bool traverseGiven = false;
    ApplySets(pattern, args.sets, traverseGiven);
    if (!traverseGiven)
        pattern.TotalTraverse = pattern.XOffset + (pattern.NrOfIndents - 1) * pattern.SpacingBetweenIndents;
    CheckPattern(pattern);
    if (!pattern.Save() || pattern.PatternID < 1)
        throw CToolError(TrF("cannot store pattern '%s'", args.name));
    PrintLine(TrF("added pattern '%s' (key %s)", args.name, pattern.PatternID));
}

void RunPatternsSet(const CPatternArgs& args)
{
    if (args.sets.empty() && !args.commentGiven)
        throw CUsageError(Tr("give at least one FIELD=VALUE"));
    CSession session;
    session.Require(ZENACT_ManagePatterns);
    auto pattern = RequirePattern(session.Db(), args.name);
    bool traverseGiven = false;
    ApplySets(*pattern, args.sets, traverseGiven);
    if (args.commentGiven)
        pattern->Comment = CString(args.comment);
    CheckPattern(*pattern);
    if (Trim(pattern->Name) != args.name) {
        auto other = FindPattern(session.Db(), Trim(pattern->Name));
        if (other && other->PatternID != pattern->PatternID)
            throw CToolError(TrF("a pattern named '%s' exists already", Trim(pattern->Name)));
    }
    if (!pattern->Save())
        throw CToolError(TrF("cannot store pattern '%s'", args.name));
    PrintLine(TrF("changed pattern '%s'", Trim(pattern->Name)));
}

// ---------------------------------------------------------------------------
// Routines

// The pattern's name; for a pattern that is gone "#key (deleted)", in the
// operator's language for people (translated) and as written for programs.
std::string PatternNameOf(CZENDatabase& db, int32_t key, bool translated)
{
    CZENDB_Pattern pattern(&db);
    if (!pattern.Load(key))
        return FillFields(translated ? Tr("#%s (deleted)") : "#%s (deleted)", {std::to_string(key)});
    return Trim(pattern.Name);
}

void RunRoutinesList()
{
    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    COwnedList<CZENDB_Routine> routines;
    db.GetAllRoutines(routines.List());
    COutputTable table;
    table.AddColumn("RoutineTypeID", Tr("Key"));
    table.AddColumn("Name", Tr("Name"));
    table.AddColumn("Profiles", Tr("Profiles"));
    table.AddColumn("Comment", Tr("Comment"));
    for (CZENDB_Routine* routine : routines.Items()) {
        COwnedList<CZENDB_RoutineProfile> profiles;
        routine->GetAllRoutineProfiles(profiles.List());
        table.AddRow({CCell(static_cast<int>(routine->RoutineTypeID)), CCell(Trim(routine->Name)),
                      CCell(profiles.Count()), CCell(Trim(routine->Comment))});
    }
    table.Print(OutputFormat(), stdout, Tr("no routines"));
}

void RunRoutinesShow(const std::string& name)
{
    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    auto routine = RequireRoutine(db, name);
    COwnedList<CZENDB_RoutineProfile> profiles;
    routine->GetAllRoutineProfiles(profiles.List());
    COutputTable table;
    table.AddColumn("RoutineProfileTypeID", Tr("Key"));
    table.AddColumn("Position", Tr("Position"));
    table.AddColumn("Pattern", Tr("Pattern"));
    table.AddColumn("PatternID", Tr("PatternID"));
    table.AddColumn("UsePrestoredCoordinates", Tr("Stored position"));
    table.AddColumn("XPos", Tr("XPos"));
    table.AddColumn("YPos", Tr("YPos"));
    table.AddColumn("Direction", Tr("Direction"));
    for (CZENDB_RoutineProfile* p : profiles.Items())
        table.AddRow({CCell(static_cast<int>(p->RoutineProfileTypeID)), CCell(Trim(p->Position)),
                      CCell(PatternNameOf(db, p->PatternID, OutputFormat() == EOutputFormat::Table)),
                      CCell(static_cast<int>(p->PatternID)),
                      CCell::Flag(p->UsePrestoredCoordinates != 0), CCell::Real(p->XPos, 3), CCell::Real(p->YPos, 3),
                      CCell::Real(p->Direction, 1)});
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"RoutineTypeID", routine->RoutineTypeID},
                   {"Name", Trim(routine->Name)},
                   {"Comment", Trim(routine->Comment)},
                   {"Profiles", table.ToJson()}});
        return;
    }
    if (OutputFormat() == EOutputFormat::Table) {
        PrintLine(routine->Comment.IsEmpty()
                      ? TrF("routine %s (key %s)", Trim(routine->Name), routine->RoutineTypeID)
                      : TrF("routine %s (key %s): %s", Trim(routine->Name), routine->RoutineTypeID,
                            Trim(routine->Comment)));
        PrintLine("");
    }
    table.Print(OutputFormat(), stdout, Tr("no profiles"));
}

struct CRoutineArgs {
    std::string name;
    std::vector<std::string> patterns;
    std::string comment;
};

void RunRoutinesAdd(CRoutineArgs args)
{
    args.name = CleanName(args.name, Tr("routine name"), kCatalogueNameMaxChars);
    CSession session;
    session.Require(ZENACT_ManageRoutines);
    CZENDatabase& db = session.Db();
    if (FindRoutine(db, args.name))
        throw CToolError(TrF("a routine named '%s' exists already", args.name));
    std::vector<std::unique_ptr<CZENDB_Pattern>> patterns;
    for (const std::string& name : args.patterns)
        patterns.push_back(RequirePattern(db, name));

    CTransaction transaction(db);
    CZENDB_Routine routine(&db);
    routine.Name = CString(args.name);
    routine.Comment = CString(args.comment);
    if (!routine.Save() || routine.RoutineTypeID < 1)
        throw CToolError(TrF("cannot store routine '%s'", args.name));
    int position = 1;
    for (const auto& pattern : patterns) {
        // The profile's own Save lets the database give it its key.
        CZENDB_RoutineProfile profile(&db);
        profile.RoutineTypeID = routine.RoutineTypeID;
        profile.PatternID = pattern->PatternID;
        profile.Position = CString(std::to_string(position++));
        if (!profile.Save())
            throw CToolError(TrF("cannot store the profiles of routine '%s'", args.name));
    }
    transaction.Commit();
    PrintLine(TrF("added routine '%s' with %s profile(s)", args.name, patterns.size()));
}

} // namespace

void RegisterCatalogueCommands(CLI::App& app)
{
    CLI::App* patterns = AddGroup(app, "patterns", Tr("Test patterns: indent layout, load and evaluation settings"));
    patterns->add_subcommand("list", Tr("List the patterns"))->callback(RunPatternsList);

    auto showName = std::make_shared<std::string>();
    CLI::App* show = patterns->add_subcommand("show", Tr("Show every field of a pattern"));
    show->add_option("NAME", *showName, Tr("Pattern name"))->required();
    show->callback([showName] {
        CSession session(CSession::EAccess::Read);
        PrintPattern(*RequirePattern(session.Db(), *showName));
    });

    auto add = std::make_shared<CPatternArgs>();
    CLI::App* addCmd = patterns->add_subcommand(
        "add", Tr("Add a pattern, from a preset and/or with fields set by name (see 'patterns show')"));
    addCmd->add_option("NAME", add->name, Tr("Pattern name"))->required();
    addCmd->add_option("--preset", add->preset, Tr("Start from case-hardening, surface-hardening or nitriding"))
        ->check(CLI::IsMember(PatternPresetNames()));
    addCmd->add_option("--comment", add->comment, Tr("Comment"));
    addCmd
        ->add_option("--set", add->sets,
                     Tr("Set a field, e.g. --set ECD1At=513 --set NrOfLines=2 (repeatable; NrOfIndents 1 to 1000, "
                        "NrOfLines 1 to 20)"))
        ->type_name("FIELD=VALUE");
    addCmd->callback([add] { RunPatternsAdd(*add); });

    auto set = std::make_shared<CPatternArgs>();
    CLI::App* setCmd =
        patterns->add_subcommand("set", Tr("Change fields of a pattern (new runs copy the new settings)"));
    setCmd->add_option("NAME", set->name, Tr("Pattern name"))->required();
    setCmd->add_option("FIELD=VALUE", set->sets,
                       Tr("Fields to set, e.g. ECDToleranceMax=1.0 (NrOfIndents 1 to 1000, NrOfLines 1 to 20)"));
    setCmd->add_option_function<std::string>(
        "--comment",
        [set](const std::string& v) {
            set->comment = v;
            set->commentGiven = true;
        },
        Tr("New comment"));
    setCmd->callback([set] { RunPatternsSet(*set); });

    auto deleteName = std::make_shared<std::string>();
    CLI::App* deleteCmd = patterns->add_subcommand("delete", Tr("Delete a pattern (it is kept, marked deleted)"));
    deleteCmd->add_option("NAME", *deleteName, Tr("Pattern name"))->required();
    deleteCmd->callback([deleteName] {
        CSession session;
        session.Require(ZENACT_ManagePatterns);
        auto pattern = RequirePattern(session.Db(), *deleteName);
        if (!pattern->Delete())
            throw CToolError(TrF("cannot delete pattern '%s'", *deleteName));
        PrintLine(TrF("deleted pattern '%s'", *deleteName));
    });

    CLI::App* routines = AddGroup(app, "routines", Tr("Routines: several patterns applied to one sample"));
    routines->add_subcommand("list", Tr("List the routines"))->callback(RunRoutinesList);
    auto routineName = std::make_shared<std::string>();
    CLI::App* routineShow = routines->add_subcommand("show", Tr("Show the profiles of a routine"));
    routineShow->add_option("NAME", *routineName, Tr("Routine name"))->required();
    routineShow->callback([routineName] { RunRoutinesShow(*routineName); });

    auto routineAdd = std::make_shared<CRoutineArgs>();
    CLI::App* routineAddCmd = routines->add_subcommand("add", Tr("Add a routine of one profile per --pattern"));
    routineAddCmd->add_option("NAME", routineAdd->name, Tr("Routine name"))->required();
    routineAddCmd->add_option("--pattern", routineAdd->patterns, Tr("Pattern of the next profile (repeatable)"))
        ->type_name("NAME")
        ->required();
    routineAddCmd->add_option("--comment", routineAdd->comment, Tr("Comment"));
    routineAddCmd->callback([routineAdd] { RunRoutinesAdd(*routineAdd); });

    auto routineDelete = std::make_shared<std::string>();
    CLI::App* routineDeleteCmd =
        routines->add_subcommand("delete", Tr("Delete a routine (it is kept, marked deleted)"));
    routineDeleteCmd->add_option("NAME", *routineDelete, Tr("Routine name"))->required();
    routineDeleteCmd->callback([routineDelete] {
        CSession session;
        session.Require(ZENACT_ManageRoutines);
        auto routine = RequireRoutine(session.Db(), *routineDelete);
        if (!routine->Delete())
            throw CToolError(TrF("cannot delete routine '%s'", *routineDelete));
        PrintLine(TrF("deleted routine '%s'", *routineDelete));
    });
}

} // namespace zendb
