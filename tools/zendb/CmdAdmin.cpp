// zendb administration commands: the users who may log in (list, add,
// delete, new password, role) and the registration fields of the samples
// (list, show, hide, move in the display order, describe).
#include "Fields.h"
#include "Tool.h"

namespace zendb {

namespace {

// ---------------------------------------------------------------------------
// Users

struct CUserEntry {
    std::string name;       // decoded; empty when the stored form does not decode
    int role = -1;
    CZENDB_User* record = nullptr;
};

std::vector<CUserEntry> ListUsers(COwnedList<CZENDB_User>& users, CZENDatabase& db)
{
    db.GetAllUsers(users.List());
    std::vector<CUserEntry> entries;
    for (CZENDB_User* user : users.Items()) {
        CString stored = user->Field0;
        stored.TrimRight();
        entries.push_back({ToStd(Obvra_decode(stored)), user->Field2, user});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const CUserEntry& a, const CUserEntry& b) { return a.name < b.name; });
    return entries;
}

// The user of that name; with ignoreCase also one whose name differs only in
// letter case (as the library compares user names when it adds one).
const CUserEntry* FindUser(const std::vector<CUserEntry>& entries, const std::string& name,
                           bool ignoreCase = false)
{
    for (const CUserEntry& entry : entries)
        if (entry.name == name)
            return &entry;
    if (ignoreCase)
        for (const CUserEntry& entry : entries)
            if (!entry.name.empty() && CZENDatabase::UserNamesMatch(CString(entry.name), CString(name)))
                return &entry;
    return nullptr;
}

std::string AskNewPassword(const std::optional<std::string>& given, const std::string& user)
{
    if (given)
        return *given;
    if (const char* env = std::getenv("ZEN_NEW_PASSWORD"); env != nullptr)
        return env;
    const auto first = PromptHidden("New password for '" + user + "': ");
    if (!first)
        throw CUsageError("give the new user's password with --new-password PW (or $ZEN_NEW_PASSWORD)");
    const auto second = PromptHidden("Repeat the password: ");
    if (!second || *first != *second)
        throw CToolError("the two passwords differ; nothing was changed");
    return *first;
}

// The command line is readable by every local user (ps), as for --password.
void WarnNewPasswordOnCommandLine()
{
    Warn("--new-password puts the password on the command line, where every local user can read it (ps); "
         "use $ZEN_NEW_PASSWORD or the prompt instead");
}

// A new password from --new-password, $ZEN_NEW_PASSWORD or the terminal;
// CUsageError for an empty one (it would let anyone log in as the user).
std::string NewPassword(const std::optional<std::string>& given, const std::string& user)
{
    std::string password = AskNewPassword(given, user);
    if (password.empty())
        throw CUsageError("a password cannot be empty");
    return password;
}

void CheckCredentialLength(const std::string& text, const char* what)
{
    if (text.size() > static_cast<size_t>(OBVRA_MAX_TEXT_LENGTH))
        throw CUsageError(std::string(what) + " holds at most " + std::to_string(OBVRA_MAX_TEXT_LENGTH) + " bytes");
}

void RunUsersList()
{
    CSession session(CSession::EAccess::Read);
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    COutputTable table;
    table.AddColumn("Name");
    table.AddColumn("Role");
    table.AddColumn("RoleName", "Role name");
    for (const CUserEntry& entry : entries)
        table.AddRow({entry.name.empty() ? CCell("(not readable with this station's key)") : CCell(entry.name),
                      CCell(entry.role), CCell(RoleName(entry.role))});
    table.Print(OutputFormat(), stdout, "no users (anyone may open the database)");
}

struct CUserArgs {
    std::string name;
    std::string role = "operator";
    std::optional<std::string> password;
};

void RunUsersAdd(CUserArgs args)
{
    const int role = ParseRole(args.role);
    args.name = CleanName(args.name, "user name");
    CheckCredentialLength(args.name, "a user name");
    CSession session;
    session.RequireAdministrator("adding users");
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    if (const CUserEntry* same = FindUser(entries, args.name, true))
        throw CToolError("user '" + same->name + "' exists already" +
                         (same->name == args.name ? "" : " (user names differ in more than letter case)"));
    const std::string password = NewPassword(args.password, args.name);
    CheckCredentialLength(password, "a password");
    const int added = session.Db().AddUser(CString(args.name), CString(password), static_cast<UserRoleType>(role));
    if (added == CZENDatabase::kUserNameTaken)
        throw CToolError("user '" + args.name + "' exists already (user names differ in more than letter case)");
    if (added != 1)
        throw CToolError("cannot add user '" + args.name + "': the user table cannot be opened");
    PrintLine("added user '" + args.name + "' (" + RoleName(role) + ")");
}

void RunUsersDelete(const std::string& typed)
{
    const std::string name = CleanName(typed, "user name");
    CSession session;
    session.RequireAdministrator("deleting users");
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    const CUserEntry* target = FindUser(entries, name);
    if (target == nullptr)
        throw CToolError("no user '" + name + "'");
    if (target->role == kRoleAdministrator && entries.size() > 1) {
        const auto admins = std::count_if(entries.begin(), entries.end(),
                                          [](const CUserEntry& e) { return e.role == kRoleAdministrator; });
        if (admins == 1)
            throw CToolError("'" + name + "' is the last administrator; make another user administrator first");
    }
    if (!session.Db().DeleteUser(CString(name)))
        throw CToolError("cannot delete user '" + name + "': the user table cannot be opened");
    PrintLine("deleted user '" + name + "'");
}

void ChangeUser(const std::string& typed, const std::optional<std::string>& password, std::optional<int> role)
{
    const std::string name = CleanName(typed, "user name");
    CSession session;
    session.RequireAdministrator("changing users");
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    const CUserEntry* target = FindUser(entries, name);
    if (target == nullptr)
        throw CToolError("no user '" + name + "'");
    if (role && target->role == kRoleAdministrator && *role != kRoleAdministrator) {
        const auto admins = std::count_if(entries.begin(), entries.end(),
                                          [](const CUserEntry& e) { return e.role == kRoleAdministrator; });
        if (admins == 1)
            throw CToolError("'" + name + "' is the last administrator; make another user administrator first");
    }
    CZENDB_User user(&session.Db());
    user = *target->record;
    user.Database = &session.Db();
    user.Field0.TrimRight();
    if (password) {
        CheckCredentialLength(*password, "a password");
        user.Field1 = Obvra_encode(CString(*password));
    }
    if (role)
        user.Field2 = *role;
    if (!user.Save())
        throw CToolError("cannot change user '" + name + "'");
}

// ---------------------------------------------------------------------------
// Registration fields

void RunFieldsList()
{
    CSession session(CSession::EAccess::Read);
    COutputTable table;
    table.AddColumn("DisplayOrder", "Pos");
    table.AddColumn("Control", "Field");
    table.AddColumn("Visible");
    table.AddColumn("Description");
    for (const CFieldDef& field : LoadFieldDefs(session.Db()))
        table.AddRow({CCell(field.displayOrder), CCell(field.control), CCell::Flag(field.visible),
                      CCell(field.description)});
    table.Print(OutputFormat(), stdout, "no registration fields");
}

void SetVisible(const std::string& name, bool visible)
{
    CSession session;
    const auto fields = LoadFieldDefs(session.Db());
    const CFieldDef& def = ResolveField(fields, name);
    CZENDB_RegistrationField field(&session.Db());
    if (!field.Load(CString(def.control)))
        throw CToolError("cannot load registration field '" + def.control + "'");
    field.Visible = visible ? TRUE : FALSE;
    if (!field.Save())
        throw CToolError("cannot store registration field '" + def.control + "'");
    PrintLine(def.control + (visible ? " is shown" : " is hidden"));
}

void RunFieldsMove(const std::string& name, int position)
{
    CSession session;
    const auto fields = LoadFieldDefs(session.Db());
    const CFieldDef& def = ResolveField(fields, name);
    if (position < 0 || position >= static_cast<int>(fields.size()))
        throw CUsageError("position " + std::to_string(position) + " is outside 0.." +
                          std::to_string(fields.size() - 1));
    if (!session.Db().SetRegistrationFieldDisplayNumber(CString(def.control), static_cast<short>(position)))
        throw CToolError("cannot move registration field '" + def.control + "'");
    PrintLine(def.control + " is now at position " + std::to_string(position));
    // The station's registration dialog has its date pickers at positions 5
    // and 6; other layouts work here but not there.
    for (const CFieldDef& field : LoadFieldDefs(session.Db()))
        if (field.isDate && field.displayOrder != 5 && field.displayOrder != 6 && !Options().quiet)
            std::fprintf(stderr,
                         "zendb: note: %s is now at position %d; the station's registration dialog "
                         "expects the date fields at positions 5 and 6\n",
                         field.control.c_str(), field.displayOrder);
}

void RunFieldsDescribe(const std::string& name, const std::string& text)
{
    CSession session;
    const auto fields = LoadFieldDefs(session.Db());
    const CFieldDef& def = ResolveField(fields, name);
    CZENDB_RegistrationField field(&session.Db());
    if (!field.Load(CString(def.control)))
        throw CToolError("cannot load registration field '" + def.control + "'");
    if (!field.SetDescription(CString(text)))
        throw CToolError("registration field '" + def.control + "' has no description entry to change");
    PrintLine(def.control + " is described as '" + text + "'");
}

} // namespace

void RegisterAdminCommands(CLI::App& app)
{
    CLI::App* users = AddGroup(app, "users", "Users who may log in (administration needs --user of an administrator)");
    users->add_subcommand("list", "List the users and their roles")->callback(RunUsersList);

    auto add = std::make_shared<CUserArgs>();
    CLI::App* addCmd = users->add_subcommand("add", "Add a user");
    addCmd->add_option("NAME", add->name, "User name, at most " + std::to_string(OBVRA_MAX_TEXT_LENGTH) + " bytes")
        ->required();
    addCmd->add_option("--role", add->role, "operator (default), supervisor, administrator or their number 0, 1, 2");
    addCmd->add_option_function<std::string>(
              "--new-password", [add](const std::string& v) {
                  add->password = v;
                  WarnNewPasswordOnCommandLine();
              },
              "The new user's password, not empty, at most " + std::to_string(OBVRA_MAX_TEXT_LENGTH) +
                  " bytes (else $ZEN_NEW_PASSWORD, else a prompt); every local user can read it (ps), so zendb "
                  "warns on stderr when it is used")
        ->type_name("PW");
    addCmd->callback([add] { RunUsersAdd(*add); });

    auto deleteName = std::make_shared<std::string>();
    CLI::App* deleteCmd = users->add_subcommand("delete", "Delete a user");
    deleteCmd->add_option("NAME", *deleteName, "User name")->required();
    deleteCmd->callback([deleteName] { RunUsersDelete(*deleteName); });

    auto passwd = std::make_shared<CUserArgs>();
    CLI::App* passwdCmd = users->add_subcommand("passwd", "Give a user a new password");
    passwdCmd->add_option("NAME", passwd->name, "User name")->required();
    passwdCmd->add_option_function<std::string>(
                 "--new-password", [passwd](const std::string& v) {
                  passwd->password = v;
                  WarnNewPasswordOnCommandLine();
              },
                 "The new password, not empty, at most " + std::to_string(OBVRA_MAX_TEXT_LENGTH) +
                     " bytes (else $ZEN_NEW_PASSWORD, else a prompt); every local user can read it (ps), so zendb "
                  "warns on stderr when it is used")
        ->type_name("PW");
    passwdCmd->callback([passwd] {
        const std::string password = NewPassword(passwd->password, passwd->name);
        ChangeUser(passwd->name, password, std::nullopt);
        PrintLine("changed the password of '" + passwd->name + "'");
    });

    auto role = std::make_shared<CUserArgs>();
    CLI::App* roleCmd = users->add_subcommand("role", "Give a user another role");
    roleCmd->add_option("NAME", role->name, "User name")->required();
    roleCmd->add_option("ROLE", role->role, "operator, supervisor, administrator or their number 0, 1, 2")->required();
    roleCmd->callback([role] {
        const int value = ParseRole(role->role);
        ChangeUser(role->name, std::nullopt, value);
        PrintLine("'" + role->name + "' is now " + RoleName(value));
    });

    CLI::App* fields = AddGroup(app, "fields", "Registration fields of the samples: visibility, order, descriptions");
    fields->add_subcommand("list", "List the fields in display order")->callback(RunFieldsList);
    auto showName = std::make_shared<std::string>();
    CLI::App* show = fields->add_subcommand("show", "Show a field in the registration dialog");
    show->add_option("FIELD", *showName, "Field (column name such as CustomField1, or its description)")->required();
    show->callback([showName] { SetVisible(*showName, true); });
    auto hideName = std::make_shared<std::string>();
    CLI::App* hide = fields->add_subcommand("hide", "Hide a field in the registration dialog");
    hide->add_option("FIELD", *hideName, "Field (column name or description)")->required();
    hide->callback([hideName] { SetVisible(*hideName, false); });

    auto moveName = std::make_shared<std::string>();
    auto movePosition = std::make_shared<int>(0);
    CLI::App* move = fields->add_subcommand("move", "Move a field to a display position (the others close up)");
    move->add_option("FIELD", *moveName, "Field (column name or description)")->required();
    move->add_option("POSITION", *movePosition, "New position, 0 is the first")->required();
    move->callback([moveName, movePosition] { RunFieldsMove(*moveName, *movePosition); });

    auto describeName = std::make_shared<std::string>();
    auto describeText = std::make_shared<std::string>();
    CLI::App* describe = fields->add_subcommand("describe", "Change the description (label) of a field");
    describe->add_option("FIELD", *describeName, "Field (column name or description)")->required();
    describe->add_option("TEXT", *describeText, "The new description")->required();
    describe->callback([describeName, describeText] { RunFieldsDescribe(*describeName, *describeText); });
}

} // namespace zendb
