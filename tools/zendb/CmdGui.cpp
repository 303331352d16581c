// zendb gui: the library's operator dialogs in real windows through the Qt
// host (ZENDatabaseQt): registration of new samples, editing one, the search
// (whose result is listed like `samples list`) and the field settings page.
#include "Fields.h"
#include "Tool.h"
#include "Tr.h"

#if ZENDB_WITH_QT
#include "qt/QtUIHost.h"
#endif

namespace zendb {

namespace {

#if ZENDB_WITH_QT

// The Qt host for the life of the command; the tool's own host returns
// afterwards.
class CQtHostScope {
public:
    CQtHostScope()
    {
        if (!ZenInstallQtUIHost())
            throw CToolError(Tr("no display to show windows on (set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM)"));
    }
    ~CQtHostScope()
    {
        ZenUninstallQtUIHost();
        SetUIHost(&CToolUIHost::Instance());
    }
    CQtHostScope(const CQtHostScope&) = delete;
    CQtHostScope& operator=(const CQtHostScope&) = delete;
};

void RunRegister()
{
    CQtHostScope qt;
    CSession session;
    // Refused before a window opens (the dialog would refuse as well).
    session.Require(ZENACT_RegisterSample);
    CMapStringToOb presets;
    const bool ok = session.Db().RegisterNewSampleByDialog(presets);
    PrintLine(ok ? Tr("registration dialog closed") : Tr("registration dialog cancelled"));
}

void RunEdit(const CSampleRef& id)
{
    id.Validate();
    CQtHostScope qt;
    CSession session;
    session.Require(ZENACT_RegisterSample);
    const auto sample = LoadSample(session.Db(), id);
    if (session.Db().EditSampleByDialog(sample->SampleID))
        PrintLine(TrF("saved %s", sample->UserSampleID));
    else
        PrintLine(Tr("not changed"));
}

void RunSearch()
{
    COutputTable table;
    {
        CQtHostScope qt;
        CSession session(CSession::EAccess::Read);
        CZENDatabase& db = session.Db();
        CMapStringToPtr criteria;
        struct CCriteriaOwner {
            CMapStringToPtr& map;
            ~CCriteriaOwner()
            {
                for (POSITION pos = map.GetStartPosition(); pos != nullptr;) {
                    CString key;
                    void* value = nullptr;
                    map.GetNextAssoc(pos, key, value);
                    delete static_cast<SampleSearchCriterion*>(value);
                }
                map.RemoveAll();
            }
        } owner{criteria};
        if (!db.GetSearchCriteriaByDialog(&criteria)) {
            PrintLine(Tr("search cancelled"));
            return;
        }
        COwnedList<CZENDB_Sample> samples;
        db.GetSamples(SampleViewSearch, &criteria, samples.List());
        for (const std::string& name : SampleColumnNames())
            table.AddColumn(name);
        for (CZENDB_Sample* sample : samples.Items())
            table.AddRow(SampleCells(*sample));
    }
    table.Print(OutputFormat(), stdout, Tr("no samples"));
}

void RunSettings()
{
    CQtHostScope qt;
    CSession session;
    // Before the page opens: nobody edits settings that cannot be stored.
    session.Require(ZENACT_ManageFields);
    CPropertySheet sheet(Tr("Settings"));
    const int index = session.Db().AddSampleSettingsPage(&sheet);
    if (index < 0)
        throw CToolError(Tr("cannot open the settings page"));
    if (sheet.DoModal() != IDOK) {
        PrintLine(Tr("settings not changed"));
        return;
    }
    if (!session.Db().StoreSampleSettingsPage(&sheet, index))
        throw CToolError(Tr("cannot store the field settings"));
    PrintLine(Tr("field settings stored"));
}

#else

[[noreturn]] void NoWindows()
{
    throw CToolError(Tr("the dialogs in windows need the Qt host (ZENDatabaseQt), which this build of zendb "
                        "does not contain"));
}

void RunRegister() { NoWindows(); }
void RunEdit(const CSampleRef&) { NoWindows(); }
void RunSearch() { NoWindows(); }
void RunSettings() { NoWindows(); }

#endif

} // namespace

void RegisterGuiCommand(CLI::App& app)
{
    CLI::App* gui =
        AddGroup(app, "gui", Tr("The operator dialogs in windows (registration, editing, search, settings)"));
    gui->add_subcommand("register", Tr("Register samples in the registration dialog"))->callback(RunRegister);
    auto id = std::make_shared<CSampleRef>();
    CLI::App* edit = gui->add_subcommand("edit", Tr("Edit a sample in the registration dialog"));
    AddSampleRef(edit, *id);
    edit->callback([id] { RunEdit(*id); });
    gui->add_subcommand("search", Tr("Search samples in the search dialog and list the result"))
        ->callback(RunSearch);
    gui->add_subcommand("settings", Tr("Choose the visible registration fields in the settings page"))
        ->callback(RunSettings);
}

} // namespace zendb
