// zendb: command-line entry point. Parses the command line and dispatches to
// the subcommands; exit status 0 on success, 1 on a failed operation, 2 on a
// usage error.
#include "ZENDatabase.h"

#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv)
{
    CLI::App app{"zendb - database and evaluation tool of the micro-hardness testing station"};
    app.set_version_flag("--version", std::string("zendb ") + ZEN_VERSION_STRING);
    app.require_subcommand(0);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return e.get_exit_code() == 0 ? 0 : (code == 0 ? 0 : 2);
    }
    if (argc == 1) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    }
    return 0;
}
