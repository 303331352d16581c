// zendb administration commands: the users who may log in (list, add,
// delete, new password, role) and the registration fields of the samples
// (list, show, hide, move in the display order, describe).
#include "Fields.h"
#include "Tool.h"
#include "Tr.h"

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
    const auto first = PromptHidden(TrF("New password for '%s': ", user));
    if (!first)
        throw CUsageError(Tr("give the new user's password with --new-password PW (or $ZEN_NEW_PASSWORD)"));
    const auto second = PromptHidden(Tr("Repeat the password: "));
    if (!second || *first != *second)
        throw CToolError(Tr("the two passwords differ; nothing was changed"));
    return *first;
}

// The command line is readable by every local user (ps), as for --password.
void WarnNewPasswordOnCommandLine()
{
    Warn(Tr("--new-password puts the password on the command line, where every local user can read it (ps); "
            "use $ZEN_NEW_PASSWORD or the prompt instead"));
}

// A new password from --new-password, $ZEN_NEW_PASSWORD or the terminal;
// CUsageError for an empty one (it would let anyone log in as the user).
std::string NewPassword(const std::optional<std::string>& given, const std::string& user)
{
    std::string password = AskNewPassword(given, user);
    if (password.empty())
        throw CUsageError(Tr("a password cannot be empty"));
    return password;
}

void CheckCredentialLength(const std::string& text, const char* what)
{
    if (text.size() > static_cast<size_t>(OBVRA_MAX_TEXT_LENGTH))
        throw CUsageError(TrF("%s holds at most %s bytes", what, OBVRA_MAX_TEXT_LENGTH));
}

void RunUsersList()
{
    CSession session(CSession::EAccess::Read);
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    COutputTable table;
    table.AddColumn("Name", Tr("Name"));
    table.AddColumn("Role", Tr("Role"));
    table.AddColumn("RoleName", Tr("Role name"));
    // A name that does not decode: a note for people, as written for programs.
    const char* unreadable = TrMark("(not readable with this station's key)");
    if (OutputFormat() == EOutputFormat::Table)
        unreadable = Tr(unreadable);
    for (const CUserEntry& entry : entries)
        table.AddRow({entry.name.empty() ? CCell(unreadable) : CCell(entry.name), CCell(entry.role),
                      CCell(RoleName(entry.role))});
    table.Print(OutputFormat(), stdout, Tr("no users (anyone may open the database)"));
}

struct CUserArgs {
    std::string name;
    std::string role = "operator";
    std::optional<std::string> password;
};

void RunUsersAdd(CUserArgs args)
{
    const int role = ParseRole(args.role);
    args.name = CleanName(args.name, Tr("user name"));
    CheckCredentialLength(args.name, Tr("a user name"));
    CSession session;
    session.Require(ZENACT_ManageUsers, Tr("adding users"));
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    if (const CUserEntry* same = FindUser(entries, args.name, true))
        throw CToolError(same->name == args.name
                             ? TrF("user '%s' exists already", same->name)
                             : TrF("user '%s' exists already (user names differ in more than letter case)",
                                   same->name));
    const std::string password = NewPassword(args.password, args.name);
    CheckCredentialLength(password, Tr("a password"));
    const int added = session.Db().AddUser(CString(args.name), CString(password), static_cast<UserRoleType>(role));
    if (added == CZENDatabase::kUserNameTaken)
        throw CToolError(
            TrF("user '%s' exists already (user names differ in more than letter case)", args.name));
    if (added != 1)
        throw CToolError(TrF("cannot add user '%s': the user table cannot be opened", args.name));
    PrintLine(TrF("added user '%s' (%s)", args.name, RoleName(role)));
}

void RunUsersDelete(const std::string& typed)
{
    const std::string name = CleanName(typed, Tr("user name"));
    CSession session;
    session.Require(ZENACT_ManageUsers, Tr("deleting users"));
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    const CUserEntry* target = FindUser(entries, name);
    if (target == nullptr)
        throw CToolError(TrF("no user '%s'", name));
    if (target->role == UserRoleAdministrator && entries.size() > 1) {
        const auto admins = std::count_if(entries.begin(), entries.end(),
                                          [](const CUserEntry& e) { return e.role == UserRoleAdministrator; });
        if (admins == 1)
            throw CToolError(TrF("'%s' is the last administrator; make another user administrator first", name));
    }
    if (!session.Db().DeleteUser(CString(name)))
        throw CToolError(TrF("cannot delete user '%s': the user table cannot be opened", name));
    PrintLine(TrF("deleted user '%s'", name));
}

void ChangeUser(const std::string& typed, const std::optional<std::string>& password, std::optional<int> role)
{
    const std::string name = CleanName(typed, Tr("user name"));
    CSession session;
    session.Require(ZENACT_ManageUsers, Tr("changing users"));
    COwnedList<CZENDB_User> users;
    const auto entries = ListUsers(users, session.Db());
    const CUserEntry* target = FindUser(entries, name);
    if (target == nullptr)
        throw CToolError(TrF("no user '%s'", name));
    if (role && target->role == UserRoleAdministrator && *role != UserRoleAdministrator) {
        const auto admins = std::count_if(entries.begin(), entries.end(),
                                          [](const CUserEntry& e) { return e.role == UserRoleAdministrator; });
        if (admins == 1)
            throw CToolError(TrF("'%s' is the last administrator; make another user administrator first", name));
    }
    CZENDB_User user(&session.Db());
    user = *target->record;
    user.Database = &session.Db();
    user.Field0.TrimRight();
    if (password) {
        CheckCredentialLength(*password, Tr("a password"));
        user.Field1 = HashPassword(CString(*password));
    }
    if (role)
        user.Field2 = *role;
    if (!user.Save())
        throw CToolError(TrF("cannot change user '%s'", name));
}

// ---------------------------------------------------------------------------
// Registration fields

void RunFieldsList()
{
    CSession session(CSession::EAccess::Read);
    COutputTable table;
    table.AddColumn("DisplayOrder", Tr("Pos"));
    table.AddColumn("Control", Tr("Field"));
    table.AddColumn("Visible", Tr("Visible"));
    table.AddColumn("Description", Tr("Description"));
    for (const CFieldDef& field : LoadFieldDefs(session.Db()))
        table.AddRow({CCell(field.displayOrder), CCell(field.control), CCell::Flag(field.visible),
                      CCell(field.description)});
    table.Print(OutputFormat(), stdout, Tr("no registration fields"));
}

void SetVisible(const std::string& name, bool visible)
{
    CSession session;
    session.Require(ZENACT_ManageFields);
    const auto fields = LoadFieldDefs(session.Db());
    const CFieldDef& def = ResolveField(fields, name);
    CZENDB_RegistrationField field(&session.Db());
    if (!field.Load(CString(def.control)))
        throw CToolError(TrF("cannot load registration field '%s'", def.control));
    field.Visible = visible ? TRUE : FALSE;
    if (!field.Save())
        throw CToolError(TrF("cannot store registration field '%s'", def.control));
    PrintLine(visible ? TrF("%s is shown", def.control) : TrF("%s is hidden", def.control));
}

void RunFieldsMove(const std::string& name, int position)
{
    CSession session;
    session.Require(ZENACT_ManageFields);
    const auto fields = LoadFieldDefs(session.Db());
    const CFieldDef& def = ResolveField(fields, name);
    if (position < 0 || position >= static_cast<int>(fields.size()))
        throw CUsageError(TrF("position %s is outside 0..%s", position, fields.size() - 1));
    if (!session.Db().SetRegistrationFieldDisplayNumber(CString(def.control), static_cast<short>(position)))
        throw CToolError(TrF("cannot move registration field '%s'", def.control));
    PrintLine(TrF("%s is now at position %s", def.control, position));
    // The station's registration dialog has its date pickers at positions 5
    // and 6; other layouts work here but not there.
    for (const CFieldDef& field : LoadFieldDefs(session.Db()))
        if (field.isDate && field.displayOrder != 5 && field.displayOrder != 6 && !Options().quiet)
            std::fprintf(stderr, "zendb: %s\n",
                         TrF("note: %s is now at position %s; the station's registration dialog "
                             "expects the date fields at positions 5 and 6",
                             field.control, field.displayOrder)
                             .c_str());
}

void RunFieldsDescribe(const std::string& name, const std::string& text)
{
    CSession session;
    session.Require(ZENACT_ManageFields);
    const auto fields = LoadFieldDefs(session.Db());
    const CFieldDef& def = ResolveField(fields, name);
    CZENDB_RegistrationField field(&session.Db());
    if (!field.Load(CString(def.control)))
        throw CToolError(TrF("cannot load registration field '%s'", def.control));
    if (!field.SetDescription(CString(text)))
        throw CToolError(TrF("registration field '%s' has no description entry to change", def.control));
    PrintLine(TrF("%s is described as '%s'", def.control, text));
}

} // namespace

void RegisterAdminCommands(CLI::App& app)
{
    CLI::App* users =
        AddGroup(app, "users", Tr("Users who may log in (administration needs --user of an administrator)"));
    users->add_subcommand("list", Tr("List the users and their roles"))->callback(RunUsersList);

    auto add = std::make_shared<CUserArgs>();
    CLI::App* addCmd = users->add_subcommand("add", Tr("Add a user"));
    addCmd->add_option("NAME", add->name, TrF("User name, at most %s bytes", OBVRA_MAX_TEXT_LENGTH))->required();
    addCmd->add_option("--role", add->role,
                       Tr("operator (default), supervisor, administrator or their number 0, 1, 2"));
    addCmd->add_option_function<std::string>(
              "--new-password", [add](const std::string& v) {
                  add->password = v;
                  WarnNewPasswordOnCommandLine();
              },
              TrF("The new user's password, not empty, at most %s bytes (else $ZEN_NEW_PASSWORD, else a prompt); "
                  "every local user can read it (ps), so zendb warns on stderr when it is used",
                  OBVRA_MAX_TEXT_LENGTH))
        ->type_name("PW");
    addCmd->callback([add] { RunUsersAdd(*add); });

    auto deleteName = std::make_shared<std::string>();
    CLI::App* deleteCmd = users->add_subcommand("delete", Tr("Delete a user"));
    deleteCmd->add_option("NAME", *deleteName, Tr("User name"))->required();
    deleteCmd->callback([deleteName] { RunUsersDelete(*deleteName); });

    auto passwd = std::make_shared<CUserArgs>();
    CLI::App* passwdCmd = users->add_subcommand("passwd", Tr("Give a user a new password"));
    passwdCmd->add_option("NAME", passwd->name, Tr("User name"))->required();
    passwdCmd->add_option_function<std::string>(
                 "--new-password", [passwd](const std::string& v) {
                  passwd->password = v;
                  WarnNewPasswordOnCommandLine();
              },
                 TrF("The new password, not empty, at most %s bytes (else $ZEN_NEW_PASSWORD, else a prompt); "
                     "every local user can read it (ps), so zendb warns on stderr when it is used",
                     OBVRA_MAX_TEXT_LENGTH))
        ->type_name("PW");
    passwdCmd->callback([passwd] {
        const std::string password = NewPassword(passwd->password, passwd->name);
        ChangeUser(passwd->name, password, std::nullopt);
        PrintLine(TrF("changed the password of '%s'", passwd->name));
    });

    auto role = std::make_shared<CUserArgs>();
    CLI::App* roleCmd = users->add_subcommand("role", Tr("Give a user another role"));
    roleCmd->add_option("NAME", role->name, Tr("User name"))->required();
    roleCmd->add_option("ROLE", role->role, Tr("operator, supervisor, administrator or their number 0, 1, 2"))
        ->required();
    roleCmd->callback([role] {
        const int value = ParseRole(role->role);
        ChangeUser(role->name, std::nullopt, value);
        PrintLine(TrF("'%s' is now %s", role->name, RoleName(value)));
    });

    CLI::App* fields =
        AddGroup(app, "fields", Tr("Registration fields of the samples: visibility, order, descriptions"));
    fields->add_subcommand("list", Tr("List the fields in display order"))->callback(RunFieldsList);
    auto showName = std::make_shared<std::string>();
    CLI::App* show = fields->add_subcommand("show", Tr("Show a field in the registration dialog"));
    show->add_option("FIELD", *showName, Tr("Field (column name such as CustomField1, or its description)"))
        ->required();
    show->callback([showName] { SetVisible(*showName, true); });
    auto hideName = std::make_shared<std::string>();
    CLI::App* hide = fields->add_subcommand("hide", Tr("Hide a field in the registration dialog"));
    hide->add_option("FIELD", *hideName, Tr("Field (column name or description)"))->required();
    hide->callback([hideName] { SetVisible(*hideName, false); });

    auto moveName = std::make_shared<std::string>();
    auto movePosition = std::make_shared<int>(0);
    CLI::App* move = fields->add_subcommand("move", Tr("Move a field to a display position (the others close up)"));
    move->add_option("FIELD", *moveName, Tr("Field (column name or description)"))->required();
    move->add_option("POSITION", *movePosition, Tr("New position, 0 is the first"))->required();
    move->callback([moveName, movePosition] { RunFieldsMove(*moveName, *movePosition); });

    auto describeName = std::make_shared<std::string>();
    auto describeText = std::make_shared<std::string>();
    CLI::App* describe = fields->add_subcommand("describe", Tr("Change the description (label) of a field"));
    describe->add_option("FIELD", *describeName, Tr("Field (column name or description)"))->required();
    describe->add_option("TEXT", *describeText, Tr("The new description"))->required();
    describe->callback([describeName, describeText] { RunFieldsDescribe(*describeName, *describeText); });
}

} // namespace zendb
