// zendb copy: the whole station database from one engine's database into
// another (file to server, server to file, file to file), checked table by
// table; reports rows read and written and both checksums per table.
#include "SqlQuery.h"
#include "Tool.h"
#include "Tr.h"

#include <algorithm>
#include <filesystem>

namespace zendb {

namespace {

struct CCopyArgs {
    std::string source;
    std::string target;
    bool replace = false;
    bool upgrade = false;
    bool skipBadValues = false;
};

COutputTable TablesOf(const CStationCopyResult& result)
{
    COutputTable table;
    table.AddColumn("Table", Tr("Table"));
    table.AddColumn("RowsRead", Tr("read"));
    table.AddColumn("RowsWritten", Tr("written"));
    table.AddColumn("SourceChecksum", Tr("source checksum"));
    table.AddColumn("TargetChecksum", Tr("target checksum"));
    table.AddColumn("Match", Tr("match"));
    if (result.FromAccess)
        table.AddColumn("ValuesNotConverted", Tr("not converted"));
    for (const CStationTableCopy& copy : result.Tables) {
        std::vector<CCell> row{CCell(ToStd(copy.Table)), CCell(copy.RowsRead), CCell(copy.RowsWritten),
                               CCell(ToStd(copy.SourceChecksum)),
                               copy.TargetChecksum.IsEmpty() ? CCell() : CCell(ToStd(copy.TargetChecksum)),
                               copy.TargetChecksum.IsEmpty() ? CCell() : CCell::Flag(copy.Match)};
        if (result.FromAccess)
            row.push_back(CCell(copy.ValuesNotConverted));
        table.AddRow(std::move(row));
    }
    return table;
}

// The values of an import that need a word: not representable, or OLE objects.
COutputTable ValuesOf(const std::vector<CStationCopyValue>& values)
{
    COutputTable table;
    table.AddColumn("Table", Tr("Table"));
    table.AddColumn("Key", Tr("key"));
    table.AddColumn("Column", Tr("column"));
    table.AddColumn("Value", Tr("value"));
    table.AddColumn("Problem", Tr("problem"));
    for (const CStationCopyValue& value : values)
        table.AddRow({CCell(ToStd(value.Table)), CCell(ToStd(value.Key)), CCell(ToStd(value.Column)),
                      CCell(ToStd(value.Value)), CCell(ToStd(value.Problem))});
    return table;
}

// A copy carries every sample and user of the source away, so the source's
// users decide: a source with users needs the login (--user) of one who may
// copy it; one without users is copied by anyone, as before, and is not even
// opened for the look beyond a read-only probe (a login would record itself
// in the source). A missing file is left to the copy to report. A server
// source is asked the same, on top of the server's own accounts, which
// decide whether the connection gets in at all.
void RequireCopyRight(const std::string& source)
{
    std::error_code ec;
    if (ZenLocationIsFilePath(source.c_str()) && !std::filesystem::is_regular_file(source, ec))
        return;
    bool hasUsers = false;
    try {
        CZENDatabase probe;
        probe.OpenEx(SqlConnectString(source).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
        hasUsers = probe.HasUsers();
        probe.Close();
    } catch (const CException&) {
        // Not a station file, or unreadable: the copy says what is wrong.
        return;
    }
    if (!hasUsers)
        return;
    // The session opens the file that --db names; copy has refused --db,
    // so it is set for this look only.
    Options().database = source;
    struct CForget {
        ~CForget() { Options().database.clear(); }
    } forget;
    CSession session(CSession::EAccess::Read);
    session.Require(ZENACT_CopyDatabase);
}

void RunCopy(const CCopyArgs& args)
{
    if (!Options().database.empty())
        throw CUsageError(Tr("copy names its databases itself (SOURCE and TARGET); --db is not used"));
    const std::string source = ShownLocation(args.source);
    const std::string target = ShownLocation(args.target);
    RequireCopyRight(args.source);

    CStationCopyResult result;
    const DWORD options = (args.replace ? ZENCOPY_Replace : 0) | (args.upgrade ? ZENCOPY_Upgrade : 0) |
                          (args.skipBadValues ? ZENCOPY_SkipBadValues : 0);
    const bool done = ZenCopyStationDatabase(args.source.c_str(), args.target.c_str(), options, result);
    const std::string version = std::to_string(result.SchemaMajor) + "." + std::to_string(result.SchemaMinor);
    // A copy that did not match shows its tables: they say where. Any
    // other failure shows none (tables that matched before the commit
    // failed would look like a success).
    const bool mismatch = std::any_of(result.Tables.begin(), result.Tables.end(), [](const CStationTableCopy& copy) {
        return !copy.TargetChecksum.IsEmpty() && !copy.Match;
    });
    if (done || mismatch) {
        const COutputTable tables = TablesOf(result);
        if (OutputFormat() == EOutputFormat::Json) {
            PrintJson({{"Source", source},
                       {"Target", target},
                       {"SchemaVersion", version},
                       {"TargetCreated", result.TargetCreated},
                       {"Replaced", result.TargetHeldData && done},
                       {"UniqueSampleIDs", result.UniqueSampleIDs},
                       {"FromAccess", result.FromAccess},
                       {"UpgradedTo", result.UpgradedToMinor > 0
                                          ? nlohmann::ordered_json("1." + std::to_string(result.UpgradedToMinor))
                                          : nlohmann::ordered_json(nullptr)},
                       {"Copied", done},
                       {"Tables", tables.ToJson()},
                       {"ValuesNotConverted", ValuesOf(result.BadValues).ToJson()},
                       {"OleObjects", ValuesOf(result.OleObjects).ToJson()}});
        } else {
            tables.Print(OutputFormat(), stdout);
        }
    }
    if (!done && !result.BadValues.empty() && OutputFormat() == EOutputFormat::Json)
        PrintJson({{"Source", source},
                   {"Target", target},
                   {"Copied", false},
                   {"ValuesNotConverted", ValuesOf(result.BadValues).ToJson()}});
    if (OutputFormat() != EOutputFormat::Json) {
        // Each value the import could not represent, also when that refused it.
        if (!result.BadValues.empty()) {
            PrintLine(done ? Tr("Values that could not be represented (stored as NULL):")
                           : Tr("Values that cannot be represented:"));
            ValuesOf(result.BadValues).Print(OutputFormat(), stdout);
        }
        if (done && !result.OleObjects.empty()) {
            PrintLine(Tr("Binary values holding OLE objects (copied unchanged):"));
            ValuesOf(result.OleObjects).Print(OutputFormat(), stdout);
        }
    }
    if (!done) {
        std::string error = ToStd(result.Error);
        if (result.TargetHeldData && !args.replace)
            error += Tr(" Give --replace to replace what the target holds.");
        if (!result.BadValues.empty() && !args.skipBadValues) {
            // The list stands above; the error line stays one line.
            error = TrF("%s value(s) of the Access file cannot be represented; nothing was imported. Give "
                        "--skip-bad-values to store them as NULL.",
                        result.BadValues.size());
        }
        throw CToolError(TrF("cannot copy %s to %s: %s", source, target, error));
    }
    if (OutputFormat() == EOutputFormat::Table) {
        int64_t rows = 0;
        for (const CStationTableCopy& copy : result.Tables)
            rows += copy.RowsWritten;
        PrintLine(TrF("copied %s to %s (schema %s, %s tables, %s rows; every table checked)", Visible(source),
                      Visible(target), version, result.Tables.size(), rows));
        if (result.UpgradedToMinor > 0)
            PrintLine(TrF("upgraded %s to schema 1.%s", Visible(target), result.UpgradedToMinor));
    }
}

} // namespace

void RegisterCopyCommand(CLI::App& app)
{
    auto args = std::make_shared<CCopyArgs>();
    CLI::App* copy = app.add_subcommand(
        "copy",
        Tr("Copy the whole database into another database, also of another engine (a file into a server, a "
           "server into a file), keeping every key, and check each table by row count and checksum. SOURCE and "
           "TARGET are database files or connection strings (postgresql://user@host/db, or KEY=value; pairs such "
           "as Dbq=FILE;). The target gets the source's schema version; a target file that does not exist is "
           "created. A target that holds data is refused unless --replace is given. All or nothing: on any "
           "failure or mismatch the target is left as it was (a file the copy created is removed) and the exit "
           "status is 1. The source is only read. Passwords in connection strings are never shown. A SOURCE that is a "
           "legacy Access file (.mdb, .accdb) is imported: tables and columns found without regard to letter case, "
           "yes/no, dates and texts converted, then upgraded to the current version"));
    copy->add_option("SOURCE", args->source, Tr("The database to copy (only read)"))->required();
    copy->add_option("TARGET", args->target, Tr("The database to fill"))->required();
    copy->add_flag("--replace", args->replace,
                   Tr("Replace the station tables of a target that holds data (inside the same transaction)"));
    copy->add_flag("--upgrade", args->upgrade,
                   Tr("Bring the target to the current schema version after the copy (in the same transaction; "
                      "always done when the source is an Access file)"));
    copy->add_flag("--skip-bad-values", args->skipBadValues,
                   Tr("Import from an Access file even when values cannot be represented (dates before 1900, "
                      "texts longer than their column): each is listed and stored as NULL"));
    copy->callback([args] { RunCopy(*args); });
}

} // namespace zendb
