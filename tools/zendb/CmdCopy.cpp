// zendb copy: the whole station database from one engine's database into
// another (file to server, server to file, file to file), checked table by
// table; reports rows read and written and both checksums per table.
#include "Tool.h"

#include <algorithm>

namespace zendb {

namespace {

struct CCopyArgs {
    std::string source;
    std::string target;
    bool replace = false;
};

COutputTable TablesOf(const CStationCopyResult& result)
{
    COutputTable table;
    table.AddColumn("Table");
    table.AddColumn("RowsRead", "read");
    table.AddColumn("RowsWritten", "written");
    table.AddColumn("SourceChecksum", "source checksum");
    table.AddColumn("TargetChecksum", "target checksum");
    table.AddColumn("Match", "match");
    for (const CStationTableCopy& copy : result.Tables)
        table.AddRow({CCell(ToStd(copy.Table)), CCell(copy.RowsRead), CCell(copy.RowsWritten),
                      CCell(ToStd(copy.SourceChecksum)),
                      copy.TargetChecksum.IsEmpty() ? CCell() : CCell(ToStd(copy.TargetChecksum)),
                      copy.TargetChecksum.IsEmpty() ? CCell() : CCell::Flag(copy.Match)});
    return table;
}

void RunCopy(const CCopyArgs& args)
{
    if (!Options().database.empty())
        throw CUsageError("copy names its databases itself (SOURCE and TARGET); --db is not used");
    const std::string source = ToStd(ZenMaskLocation(args.source.c_str()));
    const std::string target = ToStd(ZenMaskLocation(args.target.c_str()));

    CStationCopyResult result;
    const bool done =
        ZenCopyStationDatabase(args.source.c_str(), args.target.c_str(), args.replace ? ZENCOPY_Replace : 0, result);
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
                       {"Copied", done},
                       {"Tables", tables.ToJson()}});
        } else {
            tables.Print(OutputFormat(), stdout);
        }
    }
    if (!done) {
        std::string error = ToStd(result.Error);
        if (result.TargetHeldData && !args.replace)
            error += " Give --replace to replace what the target holds.";
        throw CToolError("cannot copy " + source + " to " + target + ": " + error);
    }
    if (OutputFormat() == EOutputFormat::Table) {
        int64_t rows = 0;
        for (const CStationTableCopy& copy : result.Tables)
            rows += copy.RowsWritten;
        PrintLine("copied " + Visible(source) + " to " + Visible(target) + " (schema " + version + ", " +
                  std::to_string(result.Tables.size()) + " tables, " + std::to_string(rows) +
                  " rows; every table checked)");
    }
}

} // namespace

void RegisterCopyCommand(CLI::App& app)
{
    auto args = std::make_shared<CCopyArgs>();
    CLI::App* copy = app.add_subcommand(
        "copy",
        "Copy the whole database into another database, also of another engine (a file into a server, a server "
        "into a file), keeping every key, and check each table by row count and checksum. SOURCE and TARGET are "
        "database files or connection strings (postgresql://user@host/db, or KEY=value; pairs such as "
        "Dbq=FILE;). The target gets the source's schema version; a target file that does not exist is created. "
        "A target that holds data is refused unless --replace is given. All or nothing: on any failure or "
        "mismatch the target is left as it was (a file the copy created is removed) and the exit status is 1. "
        "The source is only read. Passwords in connection strings are never shown");
    copy->add_option("SOURCE", args->source, "The database to copy (only read)")->required();
    copy->add_option("TARGET", args->target, "The database to fill")->required();
    copy->add_flag("--replace", args->replace,
                   "Replace the station tables of a target that holds data (inside the same transaction)");
    copy->callback([args] { RunCopy(*args); });
}

} // namespace zendb
