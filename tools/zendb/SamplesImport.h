// The 'samples import' command (worklists from a LIMS), kept in a file of its
// own; the samples group registers it beside its other subcommands.
#pragma once

#include <CLI/CLI.hpp>

namespace zendb {

// Adds "import FILE [--input-format csv|json] [--skip-existing]" to the
// samples group.
void RegisterSampleImportCommand(CLI::App* samples);

} // namespace zendb
