// zendb samples import: registers the samples of a worklist (CSV or JSON, see
// Worklist.h). Every row is checked before anything is written; then all rows
// are registered in one transaction, or none, and each row's fate is reported.
#include "Fields.h"
#include "SamplesImport.h"
#include "Tool.h"
#include "Tr.h"
#include "Worklist.h"

#include <algorithm>
#include <map>

namespace zendb {

namespace {

struct CImportArgs {
    std::string file;
    std::string inputFormat;     // "csv", "json"; empty: from the file's name
    bool skipExisting = false;
};

// What a column of the worklist stands for.
enum class ETarget { Identifier, Key, Field, MeasuredBy, MeasuredDate, Signed, Signature };

struct CColumn {
    std::string header;          // as written in the file
    ETarget target = ETarget::Field;
    const CFieldDef* field = nullptr;   // Field: the registration field
    size_t maxChars = 0;         // Field (text): the column's length; 0: not known
};

// Columns of Samples that are no registration field, by the name they go by
// in listings.
constexpr std::pair<const char*, ETarget> kOtherColumns[] = {
    {"UserSampleID", ETarget::Identifier}, {"SampleID", ETarget::Key},
    {"MeasuredBy", ETarget::MeasuredBy},   {"MeasuredDate", ETarget::MeasuredDate},
    {"Signed", ETarget::Signed},           {"Signature", ETarget::Signature},
};

std::string TargetName(const CColumn& column)
{
    if (column.target == ETarget::Field)
        return column.field->control;
    for (const auto& [name, target] : kOtherColumns)
        if (target == column.target)
            return name;
    return column.header;
}

// The declared length of each text column of Samples, in characters, from
// the table's description in the file (0 where it is not known).
std::map<std::string, size_t> ColumnLengths(CZENDatabase& db)
{
    std::map<std::string, size_t> lengths;
    db.ScanTableConfigurations();
    CMapStringToPtr* columns = db.GetTableConfiguration(ZENRS_Samples);
    if (columns == nullptr)
        return lengths;
    for (const std::string& name : SampleColumnNames()) {
        void* value = nullptr;
        if (columns->Lookup(name.c_str(), value) && value != nullptr)
            lengths[name] = static_cast<const CODBCFieldInfo*>(value)->m_nPrecision;
    }
    return lengths;
}

// The meaning of each column: a Samples column by its name, a registration
// field by name or description, the other columns by their label. CToolError
// naming every column that means nothing, or two columns that mean one.
std::vector<CColumn> MapColumns(const CWorklist& list, const std::vector<CFieldDef>& fields,
                                const std::map<std::string, size_t>& lengths, const std::string& file)
{
    std::vector<CColumn> columns;
    std::vector<std::string> unknown;
    for (const std::string& header : list.columns) {
        CColumn column;
        column.header = header;
        bool found = false;
        for (const auto& [name, target] : kOtherColumns)
            if (Lower(header) == Lower(name)) {
                column.target = target;
                found = true;
            }
        if (!found && (column.field = FindField(fields, header)) != nullptr)
            found = true;
        for (const auto& [name, target] : kOtherColumns)
            if (!found && NamesStandardColumn(name, header)) {
                column.target = target;
                found = true;
            }
        if (!found) {
            unknown.push_back("'" + header + "'");
            continue;
        }
        if (column.field != nullptr && !column.field->isDate) {
            const auto length = lengths.find(column.field->control);
            column.maxChars = length != lengths.end() ? length->second : 0;
        }
        columns.push_back(column);
    }
    if (!unknown.empty()) {
        std::string names;
        for (const std::string& name : unknown)
            names += (names.empty() ? "" : ", ") + name;
        throw CToolError(TrF("'%s' has columns that name no field of a sample: %s ('zendb fields list' shows "
                             "the fields); nothing registered",
                             file, names));
    }
    for (size_t a = 0; a < columns.size(); ++a)
        for (size_t b = a + 1; b < columns.size(); ++b)
            if (TargetName(columns[a]) == TargetName(columns[b]))
                throw CToolError(TrF("'%s': the columns '%s' and '%s' both name %s; nothing registered", file,
                                     columns[a].header, columns[b].header, TargetName(columns[a])));
    if (std::none_of(columns.begin(), columns.end(),
                     [](const CColumn& column) { return column.target == ETarget::Identifier; }))
        throw CToolError(TrF("'%s' has no UserSampleID column (the sample identifiers)", file));
    return columns;
}

bool IsEmpty(const CWorklistValue& value)
{
    return value.kind == CWorklistValue::EKind::Null ||
           (value.kind == CWorklistValue::EKind::Text && value.text.empty());
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Identifiers as the unique index compares them: ASCII letters without case.
std::string IdentifierKey(const std::string& id)
{
    return Lower(id);
}

enum class EFate { Valid, Registered, Skipped, Refused };

struct CRowResult {
    int row = 0;
    std::string id;                              // cleaned; the text as given when it is refused
    EFate fate = EFate::Valid;
    std::vector<std::string> reasons;
    int32_t key = -1;                            // Registered: the database's key
    std::vector<std::pair<std::string, std::string>> texts;   // control, text
    std::vector<std::pair<std::string, CTime>> dates;         // control, date
};

// Checks one row's values against its columns, recording the values to
// store and the reasons to refuse it.
void CheckValues(const CWorklistRow& row, const std::vector<CColumn>& columns, CRowResult& result)
{
    using EKind = CWorklistValue::EKind;
    for (size_t c = 0; c < columns.size(); ++c) {
        const CColumn& column = columns[c];
        const CWorklistValue& value = row.values[c];
        const std::string& header = column.header;
        if (column.target == ETarget::Identifier)
            continue;
        if (value.kind == EKind::Other) {
            result.reasons.push_back(TrF("%s: a single value is expected", header));
            continue;
        }
        switch (column.target) {
        case ETarget::Key:
            // The database gives the key; a listing's key is passed over, but
            // it must be one.
            if (!IsEmpty(value) && value.kind != EKind::Integer &&
                (value.kind != EKind::Text || Trimmed(value.text).empty() ||
                 Trimmed(value.text).find_first_not_of("0123456789") != std::string::npos))
                result.reasons.push_back(TrF("%s: '%s' is not a whole number", header, value.text));
            break;
        case ETarget::Signed: {
            const std::string text = Lower(Trimmed(value.text));
            const bool no = IsEmpty(value) || (value.kind == EKind::Flag && !value.flag) ||
                            (value.kind == EKind::Text && (text == "false" || text == "no" || text == "0"));
            const bool yes = (value.kind == EKind::Flag && value.flag) ||
                             (value.kind == EKind::Text && (text == "true" || text == "yes" || text == "1"));
            if (yes)
                result.reasons.push_back(Tr("a sample is signed after it is measured, not at registration"));
            else if (!no)
                result.reasons.push_back(TrF("%s: '%s' is neither true nor false", header, value.text));
            break;
        }
        case ETarget::MeasuredBy:
        case ETarget::MeasuredDate:
        case ETarget::Signature:
            if (!IsEmpty(value))
                result.reasons.push_back(TrF("%s cannot be set at registration", TargetName(column)));
            break;
        case ETarget::Field:
            if (value.kind != EKind::Null && value.kind != EKind::Text) {
                result.reasons.push_back(column.field->isDate ? TrF("%s: a date is expected", header)
                                                              : TrF("%s: a text is expected", header));
                break;
            }
            if (column.field->isDate) {
                const std::string text = Trimmed(value.text);
                if (text.empty()) {
                    result.dates.emplace_back(column.field->control, CTime());
                    break;
                }
                try {
                    result.dates.emplace_back(column.field->control, ParseDate(text));
                } catch (const CUsageError& e) {
                    result.reasons.push_back(TrF("%s: %s", header, e.what()));
                }
                break;
            }
            if (column.maxChars > 0 && DisplayWidth(value.text) > column.maxChars) {
                result.reasons.push_back(TrF("%s: %s characters, the column holds %s", header,
                                             DisplayWidth(value.text), column.maxChars));
                break;
            }
            result.texts.emplace_back(column.field->control, value.text);
            break;
        case ETarget::Identifier:
            break;
        }
    }
}

// Registration values in the library's form, one list per sample.
class CRegistrationList {
public:
    explicit CRegistrationList(CZENDatabase& db) : m_values(db) {}

    void ApplyTo(CZENDB_Sample& sample, const CRowResult& row, const CTime& now, const std::string& by)
    {
        m_values.Clear();
        bool dateGiven = false;
        bool byGiven = false;
        for (const auto& [control, text] : row.texts) {
            // An empty RegisteredBy cell is filled like a missing column.
            if (control == "RegisteredBy" && text.empty())
                continue;
            byGiven = byGiven || control == "RegisteredBy";
            m_values.SetText(control, text);
        }
        for (const auto& [control, date] : row.dates) {
            if (control == "RegistrationDate" && date.GetTime() == 0)
                continue;
            dateGiven = dateGiven || control == "RegistrationDate";
            m_values.SetDate(control, date);
        }
        if (!dateGiven)
            m_values.SetDate("RegistrationDate", now);
        if (!byGiven)
            m_values.SetText("RegisteredBy", by);
        m_values.ApplyTo(sample);
    }

private:
    CRegistrationValues m_values;
};

const char* FateKey(EFate fate)
{
    switch (fate) {
    case EFate::Registered:
        return "registered";
    case EFate::Skipped:
        return "skipped";
    case EFate::Refused:
        return "refused";
    case EFate::Valid:
        break;
    }
    return "valid";
}

const char* FateText(EFate fate)
{
    switch (fate) {
    case EFate::Registered:
        return Tr("registered");
    case EFate::Skipped:
        return Tr("skipped");
    case EFate::Refused:
        return Tr("refused");
    case EFate::Valid:
        break;
    }
    return Tr("valid, not registered");
}

void PrintReport(const std::vector<CRowResult>& results)
{
    const bool forPeople = OutputFormat() == EOutputFormat::Table;
    COutputTable table;
    table.AddColumn("Row", Tr("Row"));
    table.AddColumn("UserSampleID", Tr("Sample ID"));
    table.AddColumn("Outcome", Tr("Outcome"));
    table.AddColumn("SampleID", Tr("Key"));
    table.AddColumn("Reason", Tr("Reason"));
    for (const CRowResult& result : results) {
        std::string reason;
        for (const std::string& text : result.reasons)
            reason += (reason.empty() ? "" : "; ") + text;
        table.AddRow({CCell(result.row), CCell(result.id), CCell(forPeople ? FateText(result.fate) : FateKey(result.fate)),
                      result.key > 0 ? CCell(static_cast<int>(result.key)) : CCell(), CCell(reason)});
    }
    // People need the reasons whole to mend the file.
    if (forPeople)
        std::fputs(table.ToText(200).c_str(), stdout);
    else
        table.Print(OutputFormat(), stdout);
}

void RunImport(const CImportArgs& args)
{
    std::optional<EWorklistFormat> format;
    if (args.inputFormat == "csv")
        format = EWorklistFormat::Csv;
    else if (args.inputFormat == "json")
        format = EWorklistFormat::Json;
    else
        format = WorklistFormatFromName(args.file);
    if (!format)
        throw CUsageError(TrF("cannot tell the format of '%s' from its name: give --input-format csv or json",
                              args.file));
    const CWorklist list = ReadWorklist(args.file, *format);

    CSession session;
    CZENDatabase& db = session.Db();
    session.Require(ZENACT_RegisterSample, Tr("importing samples"));
    const auto fields = LoadFieldDefs(db);
    const auto columns = MapColumns(list, fields, ColumnLengths(db), args.file);
    size_t idColumn = 0;
    while (columns[idColumn].target != ETarget::Identifier)
        ++idColumn;

    std::vector<CRowResult> results;
    size_t refused = 0;
    size_t registered = 0;
    size_t skipped = 0;
    {
        // The checks against the file and the inserts are one write
        // transaction: no other station can take an identifier in between,
        // and the worklist is stored whole or not at all.
        CTransaction transaction(db);
        std::map<std::string, std::vector<size_t>> byIdentifier;
        for (const CWorklistRow& row : list.rows) {
            CRowResult result;
            result.row = row.row;
            const CWorklistValue& idValue = row.values[idColumn];
            result.id = idValue.text;
            if (!row.problem.empty()) {
                result.reasons.push_back(row.problem);
            } else if (idValue.kind != CWorklistValue::EKind::Text && idValue.kind != CWorklistValue::EKind::Null) {
                result.reasons.push_back(Tr("the sample identifier must be a text"));
            } else {
                try {
                    result.id = CleanName(idValue.text, Tr("sample identifier"), kSampleIdMaxChars);
                    int32_t key = -1;
                    if (db.SampleExist(CString(result.id), key)) {
                        if (args.skipExisting)
                            result.fate = EFate::Skipped;
                        result.reasons.push_back(Tr("already registered"));
                    } else {
                        byIdentifier[IdentifierKey(result.id)].push_back(results.size());
                    }
                } catch (const CUsageError& e) {
                    result.reasons.push_back(e.what());
                }
                if (result.fate != EFate::Skipped)
                    CheckValues(row, columns, result);
            }
            if (result.fate != EFate::Skipped && !result.reasons.empty())
                result.fate = EFate::Refused;
            results.push_back(std::move(result));
        }
        for (const auto& [key, indexes] : byIdentifier) {
            if (indexes.size() < 2)
                continue;
            std::string rows;
            for (size_t index : indexes)
                rows += (rows.empty() ? "" : ", ") + std::to_string(results[index].row);
            for (size_t index : indexes) {
                results[index].reasons.push_back(TrF("the identifier stands in rows %s of the file", rows));
                results[index].fate = EFate::Refused;
            }
        }
        for (const CRowResult& result : results) {
            refused += result.fate == EFate::Refused ? 1 : 0;
            skipped += result.fate == EFate::Skipped ? 1 : 0;
        }
        if (refused == 0) {
            CRegistrationList values(db);
            const CTime now = CTime::GetCurrentTime();
            const std::string by = session.ActingUser();
            for (CRowResult& result : results) {
                if (result.fate != EFate::Valid)
                    continue;
                CZENDB_Sample sample(&db, CString(result.id));
                values.ApplyTo(sample, result, now, by);
                ESampleSaveOutcome outcome = ESampleSaveOutcome::Failed;
                if (!sample.Save(outcome)) {
                    std::string reason;
                    for (const std::string& message : CToolUIHost::Instance().TakeMessages())
                        reason += (reason.empty() ? "" : " ") + message;
                    if (outcome == ESampleSaveOutcome::IdentifierTaken)
                        throw CToolError(TrF("row %s: the identifier '%s' is taken; nothing registered", result.row,
                                             result.id));
                    throw CToolError(reason.empty()
                                         ? TrF("row %s: cannot register sample '%s'; nothing registered", result.row,
                                               result.id)
                                         : TrF("row %s: cannot register sample '%s' (%s); nothing registered",
                                               result.row, result.id, reason));
                }
                result.fate = EFate::Registered;
                result.key = sample.SampleID;
                ++registered;
            }
            transaction.Commit();
        }
    }

    PrintReport(results);
    if (refused > 0)
        throw CToolError(TrF("nothing registered: %s of %s rows refused", refused, results.size()));
    if (OutputFormat() == EOutputFormat::Table)
        PrintLine(TrF("registered %s, skipped %s already registered", registered, skipped));
}

} // namespace

void RegisterSampleImportCommand(CLI::App* samples)
{
    auto args = std::make_shared<CImportArgs>();
    CLI::App* command = samples->add_subcommand(
        "import", Tr("Register the samples of a worklist (CSV with a header, or JSON as 'samples list' writes it)"));
    command->add_option("FILE", args->file, Tr("The worklist (- for standard input)"))->required();
    command->add_option("--input-format", args->inputFormat, Tr("csv or json (default: from the file's name)"))
        ->check(CLI::IsMember({"csv", "json"}));
    command->add_flag("--skip-existing", args->skipExisting, Tr("Pass over identifiers already registered"));
    command->callback([args] { RunImport(*args); });
}

} // namespace zendb
