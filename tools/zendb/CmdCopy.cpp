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
    for (const CStationTableCopy& copy : result.Tables)
        table.AddRow({CCell(ToStd(copy.Table)), CCell(copy.RowsRead), CCell(copy.RowsWritten),
                      CCell(ToStd(copy.SourceChecksum)),
                      copy.TargetChecksum.IsEmpty() ? CCell() : CCell(ToStd(copy.TargetChecksum)),
                      copy.TargetChecksum.IsEmpty() ? CCell() : CCell::Flag(copy.Match)});
    return table;
}

// A copy carries every sample and user of the source away, so the source's
// users decide: a source file with users needs the login (--user) of one who
// may copy it; one without users is copied by anyone, as before, and is not
// even opened for the look beyond a read-only probe (a login would record
// itself in the source). A missing file is left to the copy to report; a
// server source is guarded by the server's own accounts (the station login
// has no way into a server), so the connection's credentials decide there.
void RequireCopyRight(const std::string& source)
{
    std::error_code ec;
    if (!ZenLocationIsFilePath(source.c_str()) || !std::filesystem::is_regular_file(source, ec))
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
    const std::string source = ToStd(ZenMaskLocation(args.source.c_str()));
    const std::string target = ToStd(ZenMaskLocation(args.target.c_str()));
    RequireCopyRight(args.source);

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
            error += Tr(" Give --replace to replace what the target holds.");
        throw CToolError(TrF("cannot copy %s to %s: %s", source, target, error));
    }
    if (OutputFormat() == EOutputFormat::Table) {
        int64_t rows = 0;
        for (const CStationTableCopy& copy : result.Tables)
            rows += copy.RowsWritten;
        PrintLine(TrF("copied %s to %s (schema %s, %s tables, %s rows; every table checked)", Visible(source),
                      Visible(target), version, result.Tables.size(), rows));
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
           "status is 1. The source is only read. Passwords in connection strings are never shown"));
    copy->add_option("SOURCE", args->source, Tr("The database to copy (only read)"))->required();
    copy->add_option("TARGET", args->target, Tr("The database to fill"))->required();
    copy->add_flag("--replace", args->replace,
                   Tr("Replace the station tables of a target that holds data (inside the same transaction)"));
    copy->callback([args] { RunCopy(*args); });
}

} // namespace zendb
