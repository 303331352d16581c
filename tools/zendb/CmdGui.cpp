// zendb gui: the library's operator dialogs (register, edit, search, field
// settings) in real windows. They need the Qt host of the dialogs, which this
// build does not contain; the command says so instead of failing obscurely.
#include "Tool.h"

namespace zendb {

namespace {

[[noreturn]] void NoWindows()
{
    throw CToolError("the dialogs in windows need the Qt host (target ZENDatabaseQt), which this build of zendb "
                     "does not contain");
}

} // namespace

void RegisterGuiCommand(CLI::App& app)
{
    CLI::App* gui = AddGroup(app, "gui", "The operator dialogs in windows (needs the Qt host)");
    gui->add_subcommand("register", "Register samples in the registration dialog")->callback(NoWindows);
    auto id = std::make_shared<std::string>();
    CLI::App* edit = gui->add_subcommand("edit", "Edit a sample in the registration dialog");
    edit->add_option("ID", *id, "Sample identifier")->required();
    edit->callback(NoWindows);
    gui->add_subcommand("search", "Search samples in the search dialog and list the result")->callback(NoWindows);
    gui->add_subcommand("settings", "Choose the registration fields in the settings page")->callback(NoWindows);
}

} // namespace zendb
