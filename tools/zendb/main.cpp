// zendb: command-line entry point. Parses the command line and dispatches to
// the subcommands; exit status 0 on success, 1 on a failed operation (one
// line on stderr), 2 on a usage error.
#include "Tool.h"
#include "Tr.h"

#include "ZENDatabase.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace zendb;

int main(int argc, char** argv)
{
    // The station's language before any text is made: the descriptions of
    // --help are translated as the commands are declared.
    ApplyConfiguredLanguage();
    ApplyFileCreationMask();
    CZENDatabase::SetLoginWaitNotifier(ShowLoginWait);
    CLI::App app{Tr("zendb - database, evaluation and report tool of the micro-hardness testing station.\n"
                    "Without --db the database is the file the station configuration names "
                    "(section Database, key DatabaseFile).\n"
                    "Values are taken as typed (brackets, commas, quotes, # and % included); a sample is named by "
                    "its identifier or by --key N. Control characters and bytes that are not UTF-8 in printed "
                    "values appear as \\xHH (JSON: \\u00HH)."),
                 "zendb"};
    app.set_version_flag("--version", std::string("zendb ") + ZEN_VERSION_STRING);
    app.fallthrough();
    app.require_subcommand(0, 1);
    AddGlobalOptions(app);

    RegisterDatabaseCommands(app);
    RegisterCopyCommand(app);
    RegisterAccessCommands(app);
    RegisterAdminCommands(app);
    RegisterSampleCommands(app);
    RegisterCatalogueCommands(app);
    RegisterRunCommands(app);
    RegisterReportCommands(app);
    RegisterLabelCommand(app);
    RegisterExportCommands(app);
    RegisterAuditCommands(app);
    RegisterDemoCommand(app);
    RegisterGuiCommand(app);
    KeepValuesVerbatim(app);

    // The library's message boxes are collected (stderr), never on stdout.
    CUIHostScope host(&CToolUIHost::Instance());

    int status = 0;
    std::string error;
    try {
        if (argc == 1)
            throw CMissingSubcommand(FullUsage(app));
        // CLI11 takes the arguments in reverse order.
        std::vector<std::string> args = ProtectArguments(argc, argv);
        std::reverse(args.begin(), args.end());
        app.parse(args);
    } catch (const CMissingSubcommand& e) {
        std::fputs(e.what(), stderr);
        status = 2;
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        status = (e.get_exit_code() == 0 || code == 0) ? 0 : 2;
    } catch (const CUsageError& e) {
        std::fprintf(stderr, "zendb: %s\n", Visible(e.what()).c_str());
        status = 2;
    } catch (const CToolError& e) {
        error = e.what();
        status = 1;
    } catch (const CException& e) {
        error = ToStd(e.GetMessageText());
        status = 1;
    } catch (const std::exception& e) {
        error = e.what();
        status = 1;
    }
    if (status == 1) {
        // Messages the library showed on the way to the failure explain it;
        // they go into the same line.
        std::string line = Flatten(error);
        for (const std::string& message : CToolUIHost::Instance().TakeMessages())
            if (!message.empty() && line.find(message) == std::string::npos)
                line += (line.empty() ? "" : "; ") + message;
        // The line may quote values from the database or the command line.
        std::fprintf(stderr, "zendb: %s\n", Visible(line).c_str());
    } else {
        FlushNotes();
    }
    std::fflush(stdout);
    return status;
}
