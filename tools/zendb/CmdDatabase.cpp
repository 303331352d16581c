// zendb commands on the database file as a whole: init (a new file at a
// schema version, optionally with a first administrator), info (path,
// version, counts) and upgrade (1.6 .. 1.8 to 1.9, after a backup copy).
#include "SqlQuery.h"
#include "Tool.h"
#include "Tr.h"

#include <filesystem>

namespace zendb {

namespace {

struct CInitArgs {
    std::string file;
    std::string schemaVersion = "1.9";
    std::string admin;
    std::optional<std::string> password;
};

// The admin's password: --password of init, else the global one, else
// $ZEN_PASSWORD, else asked twice on a terminal.
std::string AskAdminPassword(const CInitArgs& args)
{
    if (args.password)
        return *args.password;
    if (auto given = ObtainPasswordWithoutPrompt())
        return *given;
    const auto first = PromptHidden(TrF("Password for the new administrator '%s': ", args.admin));
    if (!first)
        throw CUsageError(Tr("--admin needs a password: give --password-file FILE or set ZEN_PASSWORD "
                             "(on a terminal zendb asks)"));
    const auto second = PromptHidden(Tr("Repeat the password: "));
    if (!second || *first != *second)
        throw CToolError(Tr("the two passwords differ; nothing was created"));
    return *first;
}

// CUsageError for an empty password: it would let anyone log in as the admin.
std::string AdminPassword(const CInitArgs& args)
{
    std::string password = AskAdminPassword(args);
    if (password.empty())
        throw CUsageError(Tr("a password cannot be empty"));
    return password;
}

// CToolError when the file cannot be made there, found before anyone is
// asked for a password: the folder is missing or is not a folder, or the
// file exists already.
void CheckNewFileLocation(const std::string& file)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::absolute(file, ec).parent_path();
    if (ec)
        folder = fs::path(file).parent_path();
    if (fs::exists(fs::symlink_status(file, ec)))
        throw CToolError(TrF("cannot create '%s': the file exists already; it is not overwritten", file));
    if (!fs::exists(folder, ec))
        throw CToolError(TrF("cannot create '%s': the folder '%s' does not exist", file, folder.string()));
    if (!fs::is_directory(folder, ec))
        throw CToolError(TrF("cannot create '%s': '%s' is not a folder", file, folder.string()));
}

// The administrator's password, asked for before anything is created.
std::string InitAdminPassword(const CInitArgs& args)
{
    if (args.admin.empty())
        return std::string();
    std::string password = AdminPassword(args);
    if (args.admin.size() > static_cast<size_t>(OBVRA_MAX_TEXT_LENGTH) ||
        password.size() > static_cast<size_t>(OBVRA_MAX_TEXT_LENGTH))
        throw CUsageError(TrF("user names and passwords hold at most %s bytes", OBVRA_MAX_TEXT_LENGTH));
    return password;
}

// Stores the first administrator without the facade (opening through it
// would upgrade a database created at an older version on the spot); the
// name is encoded with the station key of the configuration in force.
void StoreFirstAdministrator(const std::string& connect, const std::string& admin, const std::string& password)
{
    CDatabase db;
    db.OpenEx(connect.c_str(), CDatabase::noOdbcDialog);
    CZENDB_User user(&db);
    user.Field0 = Obvra_encode(CString(admin));
    user.Field1 = HashPassword(CString(password));
    user.Field2 = UserRoleAdministrator;
    if (!user.Save())
        throw CToolError(Tr("cannot store the administrator"));
    db.Close();
}

// init on a server: the schema goes into the existing, empty database (the
// server's administrator creates the database and its role). The station
// key is the configured one: a server has no file to keep a new one beside,
// and every station of the lab must name the same key anyway.
void RunInitServer(const CInitArgs& args, const std::string& connect, int minor)
{
    const std::string shown = ShownLocation(connect);
    const std::string password = InitAdminPassword(args);
    CString configuredKey = GetStringFromConfigFile("Security", "KeyFile", "");
    configuredKey.Trim();
    const std::string keyFile = ToStd(configuredKey);
    UseDatabaseServer(connect);
    CString error;
    if (!ZenCreateDatabaseSchema(connect.c_str(), 1, minor, &error))
        throw CToolError(TrF("cannot create the schema in '%s': %s", shown, Flatten(ToStd(error))));
    if (!args.admin.empty()) {
        try {
            StoreFirstAdministrator(connect, args.admin, password);
        } catch (const CException& e) {
            throw CToolError(TrF("the schema was created in '%s', but the administrator could not be stored: %s",
                                 shown, Flatten(ToStd(e.GetMessageText()))));
        }
    }
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"Path", shown},
                   {"SchemaVersion", args.schemaVersion},
                   {"KeyFile", keyFile.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(keyFile)},
                   {"Configuration", nullptr},
                   {"Administrator", args.admin.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(args.admin)}});
        return;
    }
    PrintLine(args.admin.empty()
                  ? TrF("created %s (schema %s)", shown, args.schemaVersion)
                  : TrF("created %s (schema %s) with administrator '%s'", shown, args.schemaVersion, args.admin));
    if (keyFile.empty())
        Warn(Tr("the configuration names no station key ([Security] KeyFile): user names and the audit trail are "
                "sealed with the built-in key; name one key file in every station's configuration before the "
                "first user is added"));
    else
        PrintLine(TrF("station key %s (every station of the server names this key)", keyFile));
}

void RunInit(CInitArgs args)
{
    const size_t dot = args.schemaVersion.find('.');
    const int minor = std::stoi(args.schemaVersion.substr(dot + 1));
    if (args.admin.empty() && args.password)
        throw CUsageError(Tr("--password of init is the password of --admin; give --admin NAME as well"));
    // The new database: FILE (which, as ever, wins over --db), else --db (a
    // file or a server's connection string).
    if (args.file.empty())
        args.file = Options().database;
    if (args.file.empty())
        throw CUsageError(Tr("init needs the new database: FILE, or --db FILE or connection string"));
    if (IsServerLocation(args.file)) {
        RunInitServer(args, args.file, minor);
        return;
    }
    CheckNewFileLocation(args.file);
    const std::string password = InitAdminPassword(args);

    // The station key: the one the configuration names, else a new one
    // beside the file, named by a new configuration beside it as well.
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string absolute = fs::absolute(args.file, ec).lexically_normal().string();
    const std::string file = ec ? args.file : absolute;
    CString configuredKey = GetStringFromConfigFile("Security", "KeyFile", "");
    configuredKey.Trim();
    std::string keyFile = ToStd(configuredKey);
    std::string configFile;
    std::vector<std::string> created;
    const auto removeCreated = [&created] {
        for (const std::string& path : created)
            std::remove(path.c_str());
    };
    if (keyFile.empty()) {
        keyFile = KeyFileBeside(file);
        configFile = file + ".ini";
        if (fs::exists(fs::symlink_status(keyFile, ec)))
            throw CToolError(TrF("cannot create '%s': the key file '%s' exists already", args.file, keyFile));
        if (fs::exists(fs::symlink_status(configFile, ec)))
            throw CToolError(
                TrF("cannot create '%s': the configuration '%s' exists already", args.file, configFile));
    }

    CString error;
    if (!ZenCreateDatabaseFile(args.file.c_str(), 1, minor, &error))
        throw CToolError(TrF("cannot create '%s': %s", args.file, error));
    created.push_back(args.file);
    try {
        // Private whatever the caller's umask: the file holds the users.
        fs::permissions(args.file, ConfiguredGroup() ? fs::perms(0640) : fs::perms(0600), fs::perm_options::replace);
        ApplyConfiguredGroup(args.file);
        if (!configFile.empty()) {
            if (!Obvra_CreateKeyFile(CString(keyFile), &error, ConfiguredGroup() ? 0640 : 0600))
                throw CToolError(TrF("cannot create '%s': %s", args.file, error));
            created.push_back(keyFile);
            ApplyConfiguredGroup(keyFile);
            CIniFile ini;
            ini.SetString("Database", "DatabaseFile", file.c_str());
            ini.SetString("Security", "KeyFile", keyFile.c_str());
            if (const std::optional<std::string> group = ConfiguredGroup())
                ini.SetString("Security", "Group", group->c_str());
            WritePrivateFile(configFile, ini.ToText());
            created.push_back(configFile);
            ApplyConfiguredGroup(configFile);
        }
    } catch (...) {
        removeCreated();
        throw;
    }

    if (!args.admin.empty()) {
        // The first user goes in without the facade: opening through it would
        // upgrade a file created at an older version on the spot. The name is
        // encoded with the file's key.
        try {
            UseDatabaseFile(file);
            StoreFirstAdministrator(SqlConnectString(args.file), args.admin, password);
        } catch (...) {
            removeCreated();
            throw;
        }
    }

    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"Path", std::filesystem::absolute(args.file).string()},
                   {"SchemaVersion", args.schemaVersion},
                   {"KeyFile", keyFile},
                   {"Configuration", configFile.empty() ? nlohmann::ordered_json(nullptr)
                                                        : nlohmann::ordered_json(configFile)},
                   {"Administrator", args.admin.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(args.admin)}});
        return;
    }
    PrintLine(args.admin.empty()
                  ? TrF("created %s (schema %s)", args.file, args.schemaVersion)
                  : TrF("created %s (schema %s) with administrator '%s'", args.file, args.schemaVersion, args.admin));
    if (!configFile.empty())
        PrintLine(TrF("station key %1$s (keep it; copy it to the lab's other stations), named in the new "
                      "configuration %2$s",
                      keyFile, configFile));
}

void RunInfo()
{
    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();

    struct CCount {
        const char* name;
        const char* label;
        const char* sql;
    };
    static const CCount counts[] = {
        {"Samples", TrMark("samples"), "SELECT COUNT(*) AS N FROM Samples"},
        {"MeasuredSamples", TrMark("measured"), "SELECT COUNT(*) AS N FROM Samples WHERE MeasuredDate IS NOT NULL"},
        {"SignedSamples", TrMark("signed"), "SELECT COUNT(*) AS N FROM Samples WHERE Signed = TRUE"},
        {"Patterns", TrMark("patterns"), "SELECT COUNT(*) AS N FROM Patterns WHERE Deleted = 0"},
        {"Routines", TrMark("routines"), "SELECT COUNT(*) AS N FROM RoutineTypes WHERE Deleted = 0"},
        {"ProfileRuns", TrMark("profile runs"), "SELECT COUNT(*) AS N FROM SampleProfilesRun"},
        {"MadeIndents", TrMark("made indents"), "SELECT COUNT(*) AS N FROM IndentsRun"},
        {"Users", TrMark("users"), "SELECT COUNT(*) AS N FROM Table1"},
        {"RegistrationFields", TrMark("registration fields"), "SELECT COUNT(*) AS N FROM Registration"},
        {"VisibleRegistrationFields", TrMark("visible fields"),
         "SELECT COUNT(*) AS N FROM Registration WHERE Visible = TRUE"},
    };
    std::error_code ec = std::make_error_code(std::errc::not_supported);
    const auto size = session.IsServer() ? 0 : std::filesystem::file_size(session.Path(), ec);
    // The file's own version: an older file is read through an upgraded copy.
    const std::string version = session.SchemaText();

    nlohmann::ordered_json info = {{"Path", session.Path()},
                           {"SchemaVersion", version},
                           {"FileSize", ec ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(size)},
                           {"EventLog", ToStd(GetEventLogPath())}};
    std::vector<std::pair<std::string, int64_t>> values;
    for (const CCount& count : counts) {
        const int64_t value = QueryCount(db, count.sql);
        info[count.name] = value;
        values.emplace_back(Tr(count.label), value);
    }
    if (!session.UserName().empty()) {
        info["User"] = session.UserName();
        info["Role"] = RoleName(session.Role());
    }

    switch (OutputFormat()) {
    case EOutputFormat::Json:
        PrintJson(info);
        return;
    case EOutputFormat::Csv: {
        COutputTable table;
        for (auto it = info.begin(); it != info.end(); ++it)
            table.AddColumn(it.key());
        std::vector<CCell> row;
        for (auto it = info.begin(); it != info.end(); ++it) {
            if (it->is_number_integer())
                row.emplace_back(it->get<int64_t>());
            else if (it->is_string())
                row.emplace_back(it->get<std::string>());
            else
                row.emplace_back();
        }
        table.AddRow(std::move(row));
        table.Print(EOutputFormat::Csv, stdout);
        return;
    }
    case EOutputFormat::Table:
        break;
    }
    // TRANSLATORS: the labels of these lines are padded to one width.
    PrintLine(TrF("database       %s", session.Path()));
    PrintLine(TrF("schema version %s", version));
    if (!ec)
        PrintLine(TrF("file size      %s KiB", size / 1024));
    PrintLine(TrF("event log      %s", GetEventLogPath()));
    if (!session.UserName().empty())
        PrintLine(TrF("logged in as   %s (%s)", session.UserName(), RoleName(session.Role())));
    PrintLine("");
    COutputTable table;
    table.AddColumn("What", Tr("What"));
    table.AddColumn("Count", Tr("Count"));
    for (const auto& [label, value] : values)
        table.AddRow({CCell(label), CCell(value)});
    table.Print(EOutputFormat::Table, stdout);
}

// Whether the file carries the unique index of the sample identifiers, read
// without opening (and so upgrading) it; false when it cannot be read.
bool HasUniqueSampleIDIndex(const std::string& path)
{
    try {
        CZENDatabase db;
        db.OpenEx(SqlConnectString(path).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
        return db.HasUniqueSampleIDIndex();
    } catch (const CException&) {
        return false;
    }
}

// The name of the copy kept before an upgrade: "<file>.v1.7.bak", or with
// "-2", "-3", ... before ".bak" when that exists (an earlier copy is never
// replaced).
std::string BackupName(const std::string& path, const std::string& version)
{
    std::error_code ec;
    for (int n = 1; n < 1000; ++n) {
        const std::string name = path + ".v" + version + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".bak";
        if (!std::filesystem::exists(std::filesystem::symlink_status(name, ec)))
            return name;
    }
    throw CToolError(TrF("cannot choose a name for the backup copy of '%1$s': %1$s.v%2$s.bak and 998 more exist; "
                         "nothing was upgraded",
                         path, version));
}

void RunUpgrade(bool noBackup)
{
    const std::string location = ResolveDatabaseLocation();
    const bool server = IsServerLocation(location);
    const std::string path = ShownLocation(location);
    if (noBackup && !server)
        throw CUsageError(Tr("--no-backup is for server databases: a file is always copied before its upgrade"));
    const bool hadIndex = HasUniqueSampleIDIndex(location);
    int major = 0;
    int minor = 0;
    bool hasIndex = false;
    std::string was;
    std::string backup;
    std::vector<CDuplicateSampleID> duplicates;
    {
        // The session neither upgrades nor accepts a file it cannot write;
        // at 1.9 its opening adds the unique index of the sample identifiers
        // when no two samples share one.
        CSession session(CSession::EAccess::Upgrade);
        session.Require(ZENACT_UpgradeDatabase);
        CZENDatabase& db = session.Db();
        was = session.SchemaText();
        if (!session.IsCurrentSchema() && server) {
            // The server's copy is the server's own (pg_dump); the lab says
            // it has one before the upgrade goes ahead without a way back.
            if (!noBackup)
                throw CToolError(TrF("'%1$s' is a server database at schema %2$s; zendb keeps no copy of a server "
                                     "database: take the server's backup (pg_dump), then upgrade with --no-backup",
                                     path, was));
            if (!db.UpgradeToCurrentVersion())
                throw CToolError(TrF("upgrading '%s' from schema %s failed; restore the server's backup",
                                     path, was));
        } else if (!session.IsCurrentSchema()) {
            // The upgrade runs no transaction of its own: the copy, taken
            // consistently while stations may go on working, is the way back.
            backup = BackupName(session.Path(), was);
            try {
                db.Backup(backup.c_str());
            } catch (const CDBException& e) {
                throw CToolError(TrF("cannot write the backup copy '%s', so nothing was upgraded: %s", backup,
                                     Flatten(ToStd(e.m_strError))));
            }
            if (!db.UpgradeToCurrentVersion())
                throw CToolError(TrF("upgrading '%s' from schema %s failed; the file as it was before is in '%s'",
                                     session.Path(), was, backup));
        }
        db.GetVersion(major, minor);
        hasIndex = db.HasUniqueSampleIDIndex();
        if (!hasIndex)
            db.FindDuplicateSampleIDs(duplicates);
    }
    const std::string now = std::to_string(major) + "." + std::to_string(minor);
    if (OutputFormat() == EOutputFormat::Json) {
        nlohmann::ordered_json groups = nlohmann::ordered_json::array();
        for (const CDuplicateSampleID& group : duplicates)
            groups.push_back({{"UserSampleID", ToStd(group.UserSampleID)}, {"SampleIDs", group.SampleIDs}});
        PrintJson({{"Path", path},
                   {"PreviousSchemaVersion", was},
                   {"SchemaVersion", now},
                   {"Upgraded", was != now},
                   {"Backup", backup.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(backup)},
                   {"UniqueSampleIDs", hasIndex},
                   {"DuplicateSampleIDs", groups}});
        return;
    }
    if (!backup.empty())
        PrintLine(TrF("%s: kept a copy of schema %s in %s", path, was, backup));
    if (was == now && (hadIndex || !hasIndex))
        PrintLine(TrF("%s: schema %s, nothing to upgrade", path, now));
    else if (was != now)
        PrintLine(TrF("%s: upgraded schema %s -> %s", path, was, now));
    if (hasIndex && !hadIndex)
        PrintLine(TrF("%s: sample identifiers are unique from now on", path));
    if (!hasIndex) {
        PrintLine(TrF("%s: sample identifiers cannot be made unique yet: %s identifier(s) are shared by several "
                      "samples; rename all but one of each, then upgrade again:",
                      path, duplicates.size()));
        for (const CDuplicateSampleID& group : duplicates) {
            std::string keys;
            for (const int32_t key : group.SampleIDs)
                keys += (keys.empty() ? "#" : ", #") + std::to_string(key);
            PrintLine("  " + TrF("%s: samples %s", group.UserSampleID, keys));
        }
    }
}

// Opens the file or server database read-only and as it stands: checking
// or copying a database must neither upgrade it nor need its write lock.
void OpenAsItStands(CZENDatabase& db, const std::string& location)
{
    try {
        db.OpenEx(SqlConnectString(location).c_str(), CDatabase::openReadOnly | CDatabase::noOdbcDialog);
    } catch (const CDBException& e) {
        throw CToolError(TrF("cannot open database '%s': %s", ShownLocation(location), Flatten(ToStd(e.m_strError))));
    }
}

void RunCheck()
{
    const std::string location = ResolveDatabaseLocation();
    const std::string path = ShownLocation(location);
    CZENDatabase db;
    OpenAsItStands(db, location);
    CStringList findings;
    const bool clean = db.CheckDatabase(findings);
    const bool unique = clean && db.HasUniqueSampleIDIndex();
    std::vector<std::string> lines;
    for (POSITION pos = findings.GetHeadPosition(); pos != nullptr;)
        lines.push_back(ToStd(findings.GetNext(pos)));
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"Path", path}, {"Ok", clean}, {"UniqueSampleIDs", unique}, {"Findings", lines}});
    } else {
        for (const std::string& line : lines)
            PrintLine(path + ": " + line);
        if (clean)
            PrintLine(unique ? TrF("%s: ok", path)
                             : TrF("%s: ok (sample identifiers are not yet enforced unique: zendb upgrade adds the "
                                   "index)",
                                   path));
    }
    if (!clean)
        throw CToolError(TrF("check of %s found %s problem(s)", path, lines.size()));
}

void RunBackup(const std::string& target)
{
    const std::string path = ResolveDatabaseLocation();
    if (IsServerLocation(path))
        throw CToolError(TrF("'%s' is a server database: its backups are the server's own (pg_dump); "
                             "'zendb copy' copies it into a station file",
                             ShownLocation(path)));
    CZENDatabase db;
    OpenAsItStands(db, path);
    db.Backup(target.c_str());
    PrintLine(TrF("copied %s to %s", path, target));
}

} // namespace

void RegisterDatabaseCommands(CLI::App& app)
{
    auto args = std::make_shared<CInitArgs>();
    CLI::App* init = app.add_subcommand("init", Tr("Create a new, empty database file"));
    init->add_option("FILE", args->file,
                     Tr("The new database file (an existing file is never overwritten); or give --db: a file, or "
                        "the connection string of an empty server database, which gets the tables (one that "
                        "holds a station database already is refused)"));
    init->add_option("--schema-version", args->schemaVersion, Tr("Schema version of the new file"))
        ->check(CLI::IsMember({"1.6", "1.7", "1.8", "1.9"}));
    init->add_option("--admin", args->admin, Tr("Add a first user with the role administrator"))->type_name("NAME");
    init->add_option_function<std::string>(
            "--password",
            [args](const std::string& value) {
                args->password = value;
                WarnPasswordOnCommandLine("--password");
            },
            TrF("Password of --admin, not empty; every local user can read it (ps), so prefer the global "
                "--password-file FILE, $ZEN_PASSWORD or the prompt (asked twice); name and password at most "
                "%s bytes each",
                OBVRA_MAX_TEXT_LENGTH))
        ->type_name("PW");
    init->callback([args] { RunInit(*args); });

    app.add_subcommand("info", Tr("Show the database file, its schema version and what it holds"))
        ->callback(RunInfo);
    auto noBackup = std::make_shared<bool>(false);
    CLI::App* upgrade = app.add_subcommand(
        "upgrade", Tr("Upgrade a file of schema 1.6 .. 1.8 to 1.9 after keeping a copy next to it "
                      "(FILE.v1.7.bak; an existing copy is never replaced). No other command upgrades: "
                      "they read older files and refuse to change them. A server database is upgraded only "
                      "with --no-backup"));
    upgrade->add_flag("--no-backup", *noBackup,
                      Tr("Upgrade a server database without a copy: its backup is the server's own (pg_dump), "
                         "taken before"));
    upgrade->callback([noBackup] { RunUpgrade(*noBackup); });
    app.add_subcommand("check",
                       Tr("Check the database file: the engine's integrity check and sample identifiers shared by "
                          "several samples (exit 1 when anything is found); reads only"))
        ->callback(RunCheck);
    auto target = std::make_shared<std::string>();
    CLI::App* backup = app.add_subcommand(
        "backup", Tr("Copy the database into a new file, consistent while stations go on working"));
    backup->add_option("TARGET", *target, Tr("The new file (an existing file is never replaced)"))->required();
    backup->callback([target] { RunBackup(*target); });
}

} // namespace zendb
