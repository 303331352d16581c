// zendb sample commands: list (views and search criteria), register (one
// sample or a numbered batch), show, set, sign, delete and next-id.
#include "Fields.h"
#include "Progress.h"
#include "SamplesImport.h"
#include "Tool.h"
#include "Tr.h"

#include <algorithm>
#include <map>
#include <unistd.h>

namespace zendb {

namespace {

// "FIELD=VALUE" split at the first '='.
std::pair<std::string, std::string> SplitAssignment(const std::string& text)
{
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw CUsageError(TrF("'%s' is not FIELD=VALUE", text));
    return {text.substr(0, eq), text.substr(eq + 1)};
}

// ---------------------------------------------------------------------------
// list

struct CListArgs {
    std::string view = "all";
    std::vector<std::string> where;
    std::string measuredFrom;
    std::string measuredTo;
    int limit = 0;
};

SampleViewTypeType ParseView(const std::string& view)
{
    if (view == "last-week")
        return SampleViewLastWeek;
    if (view == "last-month")
        return SampleViewLastMonth;
    if (view == "unsigned")
        return SampleViewUnsigned;
    if (view == "signed")
        return SampleViewSigned;
    return SampleViewAll;
}

// Whether a sample belongs to a view (used when search criteria narrow a
// view: the library's search covers the criteria alone). The recent views
// take samples measured after the start of the day 7 or 31 days ago.
bool InView(const CZENDB_Sample& sample, SampleViewTypeType view)
{
    switch (view) {
    case SampleViewUnsigned:
        return sample.Signed == FALSE;
    case SampleViewSigned:
        return sample.Signed != FALSE;
    case SampleViewLastWeek:
    case SampleViewLastMonth: {
        const CTime back = CTime::GetCurrentTime() - CTimeSpan(view == SampleViewLastWeek ? 7 : 31, 0, 0, 0);
        const CTime start(back.GetYear(), back.GetMonth(), back.GetDay(), 0, 0, 0);
        return sample.MeasuredDate.GetTime() != 0 && sample.MeasuredDate > start;
    }
    default:
        return true;
    }
}

// Columns that a search may name besides the registration fields.
const char* const kExtraSearchColumns[] = {"UserSampleID", "MeasuredBy", "Signature"};

void RunList(const CListArgs& args)
{
    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    const auto fields = LoadFieldDefs(db);

    std::vector<std::unique_ptr<SampleSearchCriterion>> owned;
    CMapStringToPtr criteria;
    auto addCriterion = [&](const std::string& column, std::unique_ptr<SampleSearchCriterion> criterion) {
        void* present = nullptr;
        if (criteria.Lookup(column.c_str(), present))
            throw CUsageError(TrF("give each field only once in a search ('%s')", column));
        criteria.SetAt(column.c_str(), criterion.get());
        owned.push_back(std::move(criterion));
    };
    for (const std::string& item : args.where) {
        auto [name, text] = SplitAssignment(item);
        std::string column;
        for (const char* extra : kExtraSearchColumns)
            if (Lower(name) == Lower(extra))
                column = extra;
        if (column.empty()) {
            const CFieldDef& field = ResolveField(fields, name);
            if (field.isDate)
                throw CUsageError(TrF("search %s by date is not offered; search text fields", field.control));
            column = field.control;
        }
        if (text.empty())
            throw CUsageError(TrF("empty search text for %s", column));
        auto criterion = std::make_unique<SampleSearchCriterion>();
        criterion->Text = CString(text);
        criterion->IsText = true;
        addCriterion(column, std::move(criterion));
    }
    if (!args.measuredFrom.empty() || !args.measuredTo.empty()) {
        auto criterion = std::make_unique<SampleSearchCriterion>();
        criterion->IsText = false;
        if (!args.measuredFrom.empty())
            criterion->From = ParseDate(args.measuredFrom);
        if (!args.measuredTo.empty())
            criterion->To = ParseDate(args.measuredTo);
        if (!args.measuredFrom.empty() && !args.measuredTo.empty() && criterion->To < criterion->From)
            throw CUsageError(Tr("--measured-to lies before --measured-from"));
        addCriterion("MeasuredDate", std::move(criterion));
    }

    const SampleViewTypeType view = ParseView(args.view);
    COwnedList<CZENDB_Sample> samples;
    const bool search = !owned.empty();
    // The query reports its own errors in a message box and then lists
    // nothing; that must not read as an empty result.
    const size_t before = CToolUIHost::Instance().MessageCount();
    db.GetSamples(search ? SampleViewSearch : view, search ? &criteria : nullptr, samples.List());
    if (CToolUIHost::Instance().MessageCount() != before)
        throw CToolError(Tr("cannot list the samples"));
    std::vector<CZENDB_Sample*> shown;
    for (CZENDB_Sample* sample : samples.Items())
        if (!search || InView(*sample, view))
            shown.push_back(sample);
    if (args.limit > 0 && shown.size() > static_cast<size_t>(args.limit))
        shown.resize(static_cast<size_t>(args.limit));

    COutputTable table;
    if (OutputFormat() != EOutputFormat::Table) {
        for (const std::string& name : SampleColumnNames())
            table.AddColumn(name);
        for (CZENDB_Sample* sample : shown)
            table.AddRow(SampleCells(*sample));
        table.Print(OutputFormat(), stdout);
        return;
    }
    // For people: the identifier, the visible text fields in display order,
    // the dates and the signature.
    table.AddColumn("UserSampleID", Tr("Sample ID"));
    std::vector<std::string> textFields;
    for (const CFieldDef& field : fields)
        if (field.visible && !field.isDate && field.control != "RegisteredBy") {
            textFields.push_back(field.control);
            table.AddColumn(field.control, field.Label());
        }
    table.AddColumn("RegistrationDate", Tr("Registered"));
    table.AddColumn("MeasuredDate", Tr("Measured"));
    table.AddColumn("Signature", Tr("Signed by"));
    for (CZENDB_Sample* sample : shown) {
        std::vector<CCell> row{CCell(SampleFieldText(*sample, "UserSampleID"))};
        for (const std::string& control : textFields)
            row.emplace_back(SampleFieldText(*sample, control));
        row.emplace_back(FormatDate(sample->RegistrationDate));
        row.emplace_back(FormatDate(sample->MeasuredDate));
        std::string signature;
        if (sample->Signed)
            signature = sample->Signature.IsEmpty() ? std::string(Tr("yes")) : SampleFieldText(*sample, "Signature");
        row.emplace_back(signature);
        table.AddRow(std::move(row));
    }
    table.Print(EOutputFormat::Table, stdout, Tr("no samples"));
    if (!Options().quiet && isatty(STDOUT_FILENO) == 1) {
        const std::string count = shown.size() == 1 ? std::string(Tr("1 sample")) : TrF("%s samples", shown.size());
        std::fprintf(stderr, "%s\n", count.c_str());
    }
}

// ---------------------------------------------------------------------------
// register

struct CRegisterArgs {
    std::vector<std::string> items;    // [ID] FIELD=VALUE ...
    std::string pattern;
    std::string routine;
    int count = 1;
    bool skipExisting = false;
};

bool Exists(CZENDatabase& db, const std::string& id, int32_t* key = nullptr)
{
    int32_t found = -1;
    const bool exists = db.SampleExist(CString(id), found);
    if (key != nullptr)
        *key = exists ? found : -1;
    return exists;
}

// The identifier the registration dialog would propose: the one after the
// latest registration, moved on past every identifier already taken.
std::string ProposeNextId(CZENDatabase& db)
{
    std::string id = ToStd(db.GetNextUserSampleID());
    if (id.empty())
        return id;
    for (int guard = 0; guard < 100000 && Exists(db, id); ++guard)
        id = ToStd(IncLastNumberInString(CString(id)));
    return id;
}

// Puts FIELD=VALUE assignments into the values (registration fields) and
// returns the rest (UserSampleID, MeasuredBy, MeasuredDate) by column.
std::map<std::string, std::string> ApplyAssignments(const std::vector<std::pair<std::string, std::string>>& items,
                                                    const std::vector<CFieldDef>& fields,
                                                    CRegistrationValues& values)
{
    std::map<std::string, std::string> others;
    std::vector<std::string> seen;
    for (const auto& [name, value] : items) {
        std::string column;
        for (const char* extra : {"UserSampleID", "MeasuredBy", "MeasuredDate"})
            if (Lower(name) == Lower(extra))
                column = extra;
        const CFieldDef* field = column.empty() ? &ResolveField(fields, name) : nullptr;
        const std::string key = field ? field->control : column;
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            throw CUsageError(TrF("field %s is given twice", key));
        seen.push_back(key);
        if (field == nullptr) {
            others[column] = value;
            continue;
        }
        if (field->isDate)
            values.SetDate(field->control, value.empty() ? CTime() : ParseDate(value));
        else
            values.SetText(field->control, value);
    }
    return others;
}

void RunRegister(const CRegisterArgs& args)
{
    if (!args.pattern.empty() && !args.routine.empty())
        throw CUsageError(Tr("give either --pattern or --routine, not both"));
    if (args.count < 1 || args.count > 10000)
        throw CUsageError(Tr("--count must lie between 1 and 10000"));
    std::string id;
    bool idGiven = false;
    std::vector<std::pair<std::string, std::string>> assignments;
    for (const std::string& item : args.items) {
        if (item.find('=') == std::string::npos) {
            if (idGiven)
                throw CUsageError(TrF("more than one sample identifier given ('%s', '%s')", id, item));
            id = CleanName(item, Tr("sample identifier"), kSampleIdMaxChars);
            idGiven = true;
        } else {
            assignments.push_back(SplitAssignment(item));
        }
    }

    CSession session;
    session.Require(ZENACT_RegisterSample);
    CZENDatabase& db = session.Db();
    const auto fields = LoadFieldDefs(db);
    CRegistrationValues values(db);
    const auto others = ApplyAssignments(assignments, fields, values);
    if (!others.empty())
        throw CUsageError(TrF("%s cannot be set at registration", others.begin()->first));
    bool dateGiven = false;
    bool byGiven = false;
    for (const auto& [name, value] : assignments) {
        dateGiven = dateGiven || Lower(name) == "registrationdate";
        byGiven = byGiven || Lower(name) == "registeredby";
    }
    if (!dateGiven)
        values.SetDate("RegistrationDate", CTime::GetCurrentTime());
    if (!byGiven)
        values.SetText("RegisteredBy", session.ActingUser());

    std::unique_ptr<CZENDB_Pattern> pattern;
    std::unique_ptr<CZENDB_Routine> routine;
    if (!args.pattern.empty())
        pattern = RequirePattern(db, args.pattern);
    if (!args.routine.empty())
        routine = RequireRoutine(db, args.routine);

    // The proposal, the checks and the inserts are one write transaction:
    // while it runs no other process can register, so two processes never
    // receive one identifier, and a batch is stored whole or not at all
    // (with --skip-existing: all its free identifiers). A writer that holds
    // the file longer than the busy timeout makes this fail with the
    // engine's busy message, nothing stored.
    std::vector<std::string> ids;
    std::vector<std::string> existing;
    nlohmann::ordered_json registered = nlohmann::ordered_json::array();
    {
        CTransaction transaction(db);
        if (id.empty()) {
            id = ProposeNextId(db);
            if (id.empty())
                throw CUsageError(
                    Tr("no sample is registered yet, so no identifier can be proposed: give one (e.g. S-0001)"));
        }
        // The batch is numbered like the registration dialog's batch.
        std::vector<std::string> names;
        std::string name = id;
        for (int i = 0; i < args.count; ++i) {
            // Numbering can lengthen an identifier past its column.
            if (DisplayWidth(name) > kSampleIdMaxChars)
                throw CUsageError(TrF("the batch reaches the identifier '%s', longer than %s characters; nothing "
                                      "registered",
                                      name, kSampleIdMaxChars));
            if (Exists(db, name))
                existing.push_back(name);
            else
                names.push_back(name);
            name = ToStd(IncLastNumberInString(CString(name)));
        }
        auto refuseExisting = [&] {
            std::string list;
            for (size_t i = 0; i < existing.size() && i < 10; ++i)
                list += (i ? ", " : "") + existing[i];
            if (existing.size() > 10)
                list += ", ...";
            return CToolError(args.count > 1 ? TrF("already registered: %s (nothing registered; --skip-existing "
                                                   "registers the others)",
                                                   list)
                                             : TrF("already registered: %s", list));
        };
        if (!existing.empty() && !args.skipExisting)
            throw refuseExisting();

        CProgressBar progress(Tr("registering"), names.size() > 20 ? names.size() : 0);
        size_t done = 0;
        for (const std::string& sampleId : names) {
            CZENDB_Sample sample(&db, CString(sampleId));
            values.ApplyTo(sample);
            ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
            if (!sample.Save(outcome)) {
                // Taken under a spelling the list above did not name.
                if (outcome != ESampleSaveOutcome::IdentifierTaken)
                    throw CToolError(TrF("cannot register sample '%s'", sampleId));
                existing.push_back(sampleId);
                if (!args.skipExisting)
                    throw refuseExisting();
                continue;
            }
            if (pattern && !sample.SetDefaultProfileOrRoutine(false, pattern->PatternID))
                throw CToolError(TrF("cannot record the default pattern of '%s'", sampleId));
            if (routine && !sample.SetDefaultProfileOrRoutine(true, routine->RoutineTypeID))
                throw CToolError(TrF("cannot record the default routine of '%s'", sampleId));
            ids.push_back(sampleId);
            registered.push_back({{"UserSampleID", sampleId}, {"SampleID", sample.SampleID}});
            if (names.size() > 20)
                progress.Update(++done);
        }
        transaction.Commit();
    }

    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson(registered);
        return;
    }
    if (OutputFormat() == EOutputFormat::Csv) {
        COutputTable table;
        table.AddColumn("UserSampleID");
        table.AddColumn("SampleID");
        for (const auto& entry : registered)
            table.AddRow({CCell(entry["UserSampleID"].get<std::string>()), CCell(entry["SampleID"].get<int>())});
        table.Print(EOutputFormat::Csv, stdout);
        return;
    }
    if (ids.size() == 1)
        PrintLine(TrF("registered %s", ids.front()));
    else if (!ids.empty())
        PrintLine(TrF("registered %s samples, %s .. %s", ids.size(), ids.front(), ids.back()));
    if (!existing.empty())
        PrintLine(TrF("skipped %s already registered", existing.size()));
}

// ---------------------------------------------------------------------------
// show

struct CRunSummary {
    int32_t profileID;
    int32_t profileNr;
    std::string name;
    int indents;
};

std::vector<CRunSummary> SummarizeRuns(CZENDatabase& db, const CZENDB_Sample& sample)
{
    std::vector<CRunSummary> result;
    for (const auto& run : LoadRuns(db, sample)) {
        COwnedList<CZENDB_MadeIndent> indents;
        run->GetAllMadeIndents(indents.List(), 0);
        CString name = run->ProfileName;
        name.TrimRight();
        result.push_back({run->ProfileID, run->ProfileNr, ToStd(name), indents.Count()});
    }
    return result;
}

void RunShow(const CSampleRef& id, bool all)
{
    id.Validate();
    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    const auto sample = LoadSample(db, id);
    const auto fields = LoadFieldDefs(db);

    std::string defaultName;
    std::string defaultKind;
    bool isRoutine = false;
    int32_t defaultKey = -1;
    if (sample->GetDefaultProfileOrRoutine(isRoutine, defaultKey)) {
        if (isRoutine) {
            CZENDB_Routine routine(&db);
            defaultKind = "routine";
            defaultName = routine.Load(defaultKey) ? ToStd(routine.Name) : "#" + std::to_string(defaultKey);
        } else {
            CZENDB_Pattern pattern(&db);
            defaultKind = "pattern";
            defaultName = pattern.Load(defaultKey) ? ToStd(pattern.Name) : "#" + std::to_string(defaultKey);
        }
    }
    const auto runs = SummarizeRuns(db, *sample);

    if (OutputFormat() != EOutputFormat::Table) {
        nlohmann::ordered_json object = SampleJson(*sample);
        object["DefaultPattern"] = defaultKind == "pattern" ? nlohmann::ordered_json(defaultName) : nlohmann::ordered_json(nullptr);
        object["DefaultRoutine"] = defaultKind == "routine" ? nlohmann::ordered_json(defaultName) : nlohmann::ordered_json(nullptr);
        if (OutputFormat() == EOutputFormat::Csv) {
            COutputTable table;
            for (auto it = object.begin(); it != object.end(); ++it)
                table.AddColumn(it.key());
            std::vector<CCell> row;
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (it->is_string())
                    row.emplace_back(it->get<std::string>());
                else if (it->is_boolean())
                    row.push_back(CCell::Flag(it->get<bool>()));
                else if (it->is_number_integer())
                    row.emplace_back(it->get<int64_t>());
                else
                    row.emplace_back();
            }
            table.AddRow(std::move(row));
            table.Print(EOutputFormat::Csv, stdout);
            return;
        }
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const CRunSummary& run : runs)
            list.push_back({{"ProfileID", run.profileID},
                            {"ProfileNr", run.profileNr},
                            {"ProfileName", run.name},
                            {"Indents", run.indents}});
        object["Runs"] = list;
        PrintJson(object);
        return;
    }

    COutputTable table;
    table.AddColumn("Field", Tr("Field"));
    table.AddColumn("Value", Tr("Value"));
    table.AddRow({CCell(Tr("Sample ID")), CCell(ToStd(sample->UserSampleID))});
    for (const CFieldDef& field : fields)
        if (field.visible || all)
            table.AddRow({CCell(field.visible ? field.Label() : TrF("%s (hidden)", field.Label())),
                          CCell(SampleFieldText(*sample, field.control))});
    table.AddRow({CCell(Tr("Measured by")), CCell(SampleFieldText(*sample, "MeasuredBy"))});
    table.AddRow({CCell(Tr("Measured")), CCell(FormatDateTime(sample->MeasuredDate))});
    table.AddRow({CCell(Tr("Signed by")),
                  CCell(sample->Signed ? SampleFieldText(*sample, "Signature") : std::string(Tr("(not signed)")))});
    if (defaultKind == "pattern")
        table.AddRow({CCell(Tr("Default pattern")), CCell(defaultName)});
    else if (defaultKind == "routine")
        table.AddRow({CCell(Tr("Default routine")), CCell(defaultName)});
    table.AddRow({CCell(Tr("Key")), CCell(static_cast<int>(sample->SampleID))});
    table.Print(EOutputFormat::Table, stdout);
    PrintLine("");
    COutputTable runTable;
    runTable.AddColumn("ProfileNr", Tr("Run"));
    runTable.AddColumn("ProfileName", Tr("Profile"));
    runTable.AddColumn("Indents", Tr("Indents"));
    for (const CRunSummary& run : runs)
        runTable.AddRow({CCell(static_cast<int>(run.profileNr)), CCell(run.name), CCell(run.indents)});
    runTable.Print(EOutputFormat::Table, stdout, Tr("no profile runs"));
}

// ---------------------------------------------------------------------------
// set, sign, delete

void RunSet(CSampleRef ref, std::vector<std::string> items)
{
    // With --key the first FIELD=VALUE lands where the identifier would stand.
    if (ref.key && ref.id) {
        if (ref.id->find('=') == std::string::npos)
            throw CUsageError(Tr("give either the sample identifier or --key, not both"));
        items.insert(items.begin(), *ref.id);
        ref.id.reset();
    }
    ref.Validate();
    if (items.empty())
        throw CUsageError(Tr("give at least one FIELD=VALUE"));
    std::vector<std::pair<std::string, std::string>> assignments;
    for (const std::string& item : items)
        assignments.push_back(SplitAssignment(item));
    CSession session;
    session.Require(ZENACT_RegisterSample);
    CZENDatabase& db = session.Db();
    auto sample = LoadSample(db, ref);
    const std::string id = ToStd(sample->UserSampleID);
    const bool wasSigned = sample->Signed != FALSE;
    RequireLeaveForSignedSample(db, *sample, false);
    const auto fields = LoadFieldDefs(db);
    CRegistrationValues values(db);
    const auto others = ApplyAssignments(assignments, fields, values);
    values.ApplyTo(*sample);
    for (const auto& [column, value] : others) {
        if (column == "UserSampleID") {
            const std::string newId = CleanName(value, Tr("sample identifier"), kSampleIdMaxChars);
            int32_t key = -1;
            if (Exists(db, newId, &key) && key != sample->SampleID)
                throw CToolError(TrF("sample identifier '%s' is taken", newId));
            sample->UserSampleID = CString(newId);
        } else if (column == "MeasuredBy") {
            sample->MeasuredBy = CString(value);
        } else if (column == "MeasuredDate") {
            sample->MeasuredDate = value.empty() ? CTime() : ParseDate(value);
        }
    }
    if (!sample->Save())
        throw CToolError(TrF("cannot store sample '%s'", id));
    PrintLine(TrF("changed %s", sample->UserSampleID));
    if (wasSigned && !sample->Signed)
        PrintLine(TrF("the signature of %s is withdrawn: the sample must be signed again", sample->UserSampleID));
}

void RunSign(const CSampleRef& ref, const std::string& meaningText)
{
    ref.Validate();
    ESignatureMeaning meaning = ESignatureMeaning::Approved;
    if (!meaningText.empty() && !zensign::ParseMeaning(CString(meaningText), meaning))
        throw CUsageError(TrF("'%s' is no meaning of a signature (reviewed or approved)", meaningText));
    CSession session;
    CZENDatabase& db = session.Db();
    auto sample = LoadSample(db, ref);
    const std::string id = ToStd(sample->UserSampleID);
    // The password is asked for again: a signature is given by whoever knows
    // it now, not by whoever started the session. From the same source as
    // the login's it is the same text, and the library checks it again.
    std::optional<std::string> password;
    if (!session.UserName().empty()) {
        password = ObtainPasswordWithoutPrompt();
        if (!password)
            password = PromptHidden(TrF("Password of %s to sign %s: ", session.UserName(), id));
        if (!password)
            throw CToolError(Tr("a signature needs the password again: give --password-file FILE or set "
                                "ZEN_PASSWORD (on a terminal zendb asks)"));
    }
    CString refusal;
    if (!db.SignSample(sample->SampleID, CString(password.value_or(std::string())), meaning, refusal))
        throw CToolError(Flatten(ToStd(refusal)));
    PrintLine(TrF("signed %s by %s (%s)", id, session.UserName(), zensign::MeaningText(meaning)));
}

void RunDelete(const CSampleRef& ref, bool withRuns)
{
    ref.Validate();
    CSession session;
    session.Require(ZENACT_DeleteSample);
    CZENDatabase& db = session.Db();
    auto sample = LoadSample(db, ref);
    const std::string id = ToStd(sample->UserSampleID);
    RequireLeaveForSignedSample(db, *sample, true);
    // One write transaction from the look at the runs to the delete: no other
    // station can add a run in between, and an interrupted delete leaves the
    // sample, its runs and their indents all or none.
    CTransaction transaction(db);
    const auto runs = LoadRuns(db, *sample);
    if (!runs.empty() && !withRuns)
        throw CToolError(
            TrF("sample '%s' has %s profile run(s); --with-runs deletes them with it", id, runs.size()));
    if (!(withRuns ? sample->DeleteWithRuns() : sample->Delete()))
        throw CToolError(TrF("cannot delete sample '%s'", id));
    transaction.Commit();
    PrintLine(runs.empty() ? TrF("deleted %s", id) : TrF("deleted %s with %s profile run(s)", id, runs.size()));
}

void RunNextId()
{
    CSession session(CSession::EAccess::Read);
    const std::string id = ProposeNextId(session.Db());
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"UserSampleID", id.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(id)}});
        return;
    }
    if (id.empty())
        throw CToolError(Tr("no sample is registered yet, so no identifier can be proposed"));
    PrintLine(id);
}

} // namespace

void RegisterSampleCommands(CLI::App& app)
{
    CLI::App* samples = AddGroup(app, "samples", Tr("Register, find, show, change, sign and delete samples"));

    auto list = std::make_shared<CListArgs>();
    CLI::App* listCmd = samples->add_subcommand("list", Tr("List samples, newest first"));
    listCmd
        ->add_option("--view", list->view,
                     Tr("Which samples: all, last-week, last-month (measured since), unsigned, signed"))
        ->check(CLI::IsMember({"all", "last-week", "last-month", "unsigned", "signed"}));
    listCmd->add_option("--where", list->where, Tr("Only samples whose FIELD contains TEXT (repeatable)"))
        ->type_name("FIELD=TEXT");
    listCmd->add_option("--measured-from", list->measuredFrom, Tr("Only samples measured on or after DATE"))
        ->type_name("DATE");
    listCmd->add_option("--measured-to", list->measuredTo, Tr("Only samples measured on or before DATE (whole day)"))
        ->type_name("DATE");
    listCmd->add_option("--limit", list->limit, Tr("Show at most N samples (0, the default: all)"))
        ->type_name("N")
        ->check(CLI::NonNegativeNumber);
    listCmd->callback([list] { RunList(*list); });

    auto reg = std::make_shared<CRegisterArgs>();
    CLI::App* regCmd = samples->add_subcommand(
        "register", Tr("Register a sample (or a numbered batch); without ID the next free identifier is used"));
    regCmd
        ->add_option("ID_AND_FIELDS", reg->items,
                     Tr("[ID] [FIELD=VALUE ...], e.g. S-0100 WorkOrder=A-12 Customer=Acme"))
        ->type_name("[ID] FIELD=VALUE");
    regCmd->add_option("--pattern", reg->pattern, Tr("Default test pattern of the sample"))->type_name("NAME");
    regCmd->add_option("--routine", reg->routine, Tr("Default routine of the sample"))->type_name("NAME");
    regCmd->add_option("--count", reg->count, Tr("Register a batch of N samples numbered from ID (N from 1 to 10000)"))
        ->type_name("N");
    regCmd->add_flag("--skip-existing", reg->skipExisting, Tr("In a batch, pass over identifiers already registered"));
    regCmd->callback([reg] { RunRegister(*reg); });

    RegisterSampleImportCommand(samples);

    auto showId = std::make_shared<CSampleRef>();
    auto showAll = std::make_shared<bool>(false);
    CLI::App* showCmd = samples->add_subcommand("show", Tr("Show a sample's registration data and profile runs"));
    AddSampleRef(showCmd, *showId);
    showCmd->add_flag("--all", *showAll, Tr("Show hidden registration fields too"));
    showCmd->callback([showId, showAll] { RunShow(*showId, *showAll); });

    auto setId = std::make_shared<CSampleRef>();
    auto setItems = std::make_shared<std::vector<std::string>>();
    CLI::App* setCmd = samples->add_subcommand(
        "set", Tr("Change registration data (also UserSampleID, MeasuredBy, MeasuredDate)"));
    AddSampleRef(setCmd, *setId);
    setCmd->add_option("FIELD=VALUE", *setItems, Tr("New values; an empty VALUE clears the field"));
    setCmd->callback([setId, setItems] { RunSet(*setId, *setItems); });

    auto signId = std::make_shared<CSampleRef>();
    auto signMeaning = std::make_shared<std::string>(zensign::kApproved);
    CLI::App* signCmd = samples->add_subcommand(
        "sign", Tr("Sign a measured sample as the logged-in user (the password is asked for again)"));
    AddSampleRef(signCmd, *signId);
    signCmd->add_option("--meaning", *signMeaning, Tr("What the signature declares: reviewed or approved (default)"))
        ->type_name("MEANING")
        ->check(CLI::IsMember(std::vector<std::string>{zensign::kReviewed, zensign::kApproved}));
    signCmd->callback([signId, signMeaning] { RunSign(*signId, *signMeaning); });

    auto deleteId = std::make_shared<CSampleRef>();
    auto deleteRuns = std::make_shared<bool>(false);
    CLI::App* deleteCmd = samples->add_subcommand("delete", Tr("Delete a sample"));
    AddSampleRef(deleteCmd, *deleteId);
    deleteCmd->add_flag("--with-runs", *deleteRuns, Tr("Delete its profile runs and made indents as well"));
    deleteCmd->callback([deleteId, deleteRuns] { RunDelete(*deleteId, *deleteRuns); });

    samples->add_subcommand("next-id", Tr("Print the identifier the next registration would get"))
        ->callback(RunNextId);
}

} // namespace zendb
