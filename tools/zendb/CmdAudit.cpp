// zendb audit: the audit trail of the database - its entries, filtered by
// sample, user or time, and the check of its hash chain.
#include "Tool.h"
#include "Tr.h"

#include <cstdio>

namespace zendb {

namespace {

struct CAuditArgs {
    std::string sample;
    std::string user;
    std::string from;
    std::string to;
};

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (UTC, as the entries store it).
void CheckDate(const std::string& text, const char* option)
{
    CTime parsed;
    if (!text.empty() && !ParseSqlDateTimeText(text.c_str(), parsed))
        throw CUsageError(TrF("%s: '%s' is no date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)", option, text));
}

void AuditList(const CAuditArgs& args)
{
    CheckDate(args.from, "--from");
    CheckDate(args.to, "--to");
    CSession session(CSession::EAccess::Read);
    CAuditFilter filter;
    filter.ObjectIdentifier = CString(args.sample);
    filter.UserName = CString(args.user);
    filter.From = CString(args.from);
    filter.To = CString(args.to);
    const std::vector<CAuditEntry> entries = zenaudit::List(session.Db(), filter);

    COutputTable table;
    table.AddColumn("EntryID", Tr("Entry"));
    table.AddColumn("EntryTime", Tr("Time (UTC)"));
    table.AddColumn("Station", Tr("Station"));
    table.AddColumn("UserName", Tr("User"));
    table.AddColumn("Action", Tr("Action"));
    table.AddColumn("ObjectKind", Tr("Object"));
    table.AddColumn("ObjectKey", Tr("Key"));
    table.AddColumn("ObjectIdentifier", Tr("Identifier"));
    table.AddColumn("FieldName", Tr("Field"));
    table.AddColumn("OldValue", Tr("Old value"));
    table.AddColumn("NewValue", Tr("New value"));
    table.AddColumn("Reason", Tr("Reason"));
    if (OutputFormat() != EOutputFormat::Table) {
        table.AddColumn("PreviousHash");
        table.AddColumn("Hash");
    }
    for (const CAuditEntry& e : entries) {
        std::vector<CCell> row = {CCell(static_cast<int>(e.EntryID)),
                                  CCell(ToStd(e.Time)),
                                  CCell(ToStd(e.Station)),
                                  CCell(ToStd(e.UserName)),
                                  CCell(ToStd(e.Action)),
                                  CCell(ToStd(e.ObjectKind)),
                                  e.ObjectKey < 0 ? CCell() : CCell(static_cast<int>(e.ObjectKey)),
                                  CCell(ToStd(e.ObjectIdentifier)),
                                  CCell(ToStd(e.FieldName)),
                                  CCell(ToStd(e.OldValue)),
                                  CCell(ToStd(e.NewValue)),
                                  CCell(ToStd(e.Reason))};
        if (OutputFormat() != EOutputFormat::Table) {
            row.emplace_back(ToStd(e.PreviousHash));
            row.emplace_back(ToStd(e.Hash));
        }
        table.AddRow(std::move(row));
    }
    table.Print(OutputFormat(), stdout, Tr("no audit entries"));
}

void AuditVerify()
{
    CSession session(CSession::EAccess::Read);
    const CAuditVerifyResult result = zenaudit::Verify(session.Db());
    if (OutputFormat() == EOutputFormat::Json) {
        PrintJson({{"Intact", result.Intact},
                   {"Entries", result.Entries},
                   {"BrokenEntryID", result.Intact || result.BrokenEntryID < 0
                                         ? nlohmann::ordered_json()
                                         : nlohmann::ordered_json(result.BrokenEntryID)},
                   {"Problem", ToStd(result.Problem)}});
    } else if (result.Intact) {
        PrintLine(TrF("audit trail intact: %s entries", result.Entries));
    }
    if (!result.Intact) {
        if (result.BrokenEntryID >= 0)
            throw CToolError(TrF("audit trail broken at entry %s: %s", result.BrokenEntryID,
                                 ToStd(result.Problem)));
        throw CToolError(TrF("audit trail broken: %s", ToStd(result.Problem)));
    }
}

} // namespace

void RegisterAuditCommands(CLI::App& app)
{
    auto args = std::make_shared<CAuditArgs>();
    CLI::App* audit = app.add_subcommand(
        "audit", Tr("List the audit trail (every change with its old and new value) or check its hash chain"));
    audit->add_option("--sample", args->sample, Tr("Only the entries of this sample and its runs"))
        ->type_name("ID");
    audit->add_option("--user", args->user, Tr("Only the entries made by this user or about this user"))
        ->type_name("NAME");
    audit->add_option("--from", args->from, Tr("Only entries from this UTC date or time on"))->type_name("DATE");
    audit->add_option("--to", args->to, Tr("Only entries up to this UTC date (the whole day) or time"))
        ->type_name("DATE");
    audit->callback([args, audit] {
        if (audit->get_subcommands().empty())
            AuditList(*args);
    });
    CLI::App* verify = audit->add_subcommand(
        "verify", Tr("Check the whole hash chain of the audit trail; names the first broken entry (exit 1)"));
    verify->callback([] { AuditVerify(); });
}

} // namespace zendb
