// zendb access: a look into any Access file (.mdb/.accdb), only read: its
// tables with their columns and row counts, and one table's rows as a
// table, CSV or JSON. Importing a station database is zendb copy.
#include "Tool.h"
#include "Tr.h"

namespace zendb {

namespace {

struct CAccessArgs {
    std::string file;
    std::string table;
};

// Decimals shown for a real number in the table view (CSV and JSON keep
// the full value).
constexpr int kShownDecimals = 4;

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string text = "0x";
    for (const uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

CCell CellOf(const CAccessColumn& column, const CAccessValue& value)
{
    switch (value.Kind) {
    case CAccessValue::EKind::Null:
        return CCell();
    case CAccessValue::EKind::Integer:
        if (column.Type == "yes/no")
            return CCell::Flag(value.Integer != 0);
        return CCell(value.Integer);
    case CAccessValue::EKind::Real:
        return CCell::Real(value.Real, kShownDecimals);
    case CAccessValue::EKind::Text:
    case CAccessValue::EKind::Date:
        return CCell(ToStd(value.Text));
    case CAccessValue::EKind::Binary:
        return CCell(Hex(value.Bytes));
    }
    return CCell();
}

// The library's error text of an Access file that cannot be read.
template <typename F> auto Reading(const std::string& file, F&& read)
{
    try {
        return read();
    } catch (const CDBException& e) {
        throw CToolError(TrF("cannot read %s: %s", file, ToStd(e.m_strError)));
    }
}

void RunTables(const CAccessArgs& args)
{
    COutputTable table;
    table.AddColumn("Table", Tr("Table"));
    table.AddColumn("Columns", Tr("columns"));
    table.AddColumn("Rows", Tr("rows"));
    Reading(args.file, [&] {
        for (const CString& name : ZenAccessTables(args.file.c_str())) {
            const CAccessTable read = ZenReadAccessTable(args.file.c_str(), name.GetString());
            std::string columns;
            for (const CAccessColumn& column : read.Columns)
                columns += (columns.empty() ? "" : ", ") + ToStd(column.Name) + " " + ToStd(column.Type);
            table.AddRow({CCell(ToStd(read.Name)), CCell(columns), CCell(static_cast<int64_t>(read.Rows.size()))});
        }
        return 0;
    });
    table.Print(OutputFormat(), stdout, Tr("The file holds no tables."));
}

void RunExport(const CAccessArgs& args)
{
    const CAccessTable read =
        Reading(args.file, [&] { return ZenReadAccessTable(args.file.c_str(), args.table.c_str()); });
    COutputTable table;
    for (const CAccessColumn& column : read.Columns)
        table.AddColumn(ToStd(column.Name), ToStd(column.Name));
    for (const std::vector<CAccessValue>& row : read.Rows) {
        std::vector<CCell> cells;
        for (size_t c = 0; c < row.size(); ++c)
            cells.push_back(CellOf(read.Columns[c], row[c]));
        table.AddRow(std::move(cells));
    }
    table.Print(OutputFormat(), stdout, Tr("The table holds no rows."));
}

} // namespace

void RegisterAccessCommands(CLI::App& app)
{
    CLI::App* access = app.add_subcommand(
        "access", Tr("Look into an Access file (.mdb, .accdb; only read). A station database of that kind is "
                     "imported with 'zendb copy OLD.mdb NEW.db'"));
    access->require_subcommand(1);

    auto args = std::make_shared<CAccessArgs>();
    CLI::App* tables = access->add_subcommand("tables", Tr("List the tables of an Access file with their columns "
                                                           "and row counts"));
    tables->add_option("FILE", args->file, Tr("The Access file"))->required();
    tables->callback([args] { RunTables(*args); });

    CLI::App* exportTable = access->add_subcommand(
        "export", Tr("Write the rows of one table of an Access file (--format csv or json for a file; dates with "
                     "their full year, yes/no as true/false, binary values as hexadecimal 0x...)"));
    exportTable->add_option("FILE", args->file, Tr("The Access file"))->required();
    exportTable->add_option("TABLE", args->table, Tr("The table (letter case ignored)"))->required();
    exportTable->callback([args] { RunExport(*args); });
}

} // namespace zendb
