// zendb labels: labels for the parts of samples, one per sample and page,
// with the identifier as barcode and text, the work order, the customer and
// the due date; the samples named, or those registered in a date range.
#include "Fields.h"
#include "LabelDrawing.h"
#include "Tool.h"
#include "Tr.h"

#include <algorithm>

namespace zendb {

namespace {

struct CLabelArgs {
    std::vector<std::string> ids;
    std::string out;
    std::string from;
    std::string to;
    std::string barcode = "code128";
    int dpi = 0;    // 0: not given
};

constexpr int kDefaultDpi = 300;

// The samples registered on the days from .. to (either may be empty), in
// the order of registration.
std::vector<std::unique_ptr<CZENDB_Sample>> SamplesRegistered(CZENDatabase& db, const std::string& from,
                                                              const std::string& to)
{
    SampleSearchCriterion criterion;
    criterion.IsText = false;
    if (!from.empty())
        criterion.From = ParseDate(from);
    if (!to.empty())
        criterion.To = ParseDate(to);
    if (!from.empty() && !to.empty() && criterion.To < criterion.From)
        throw CUsageError(Tr("--to lies before --from"));
    CMapStringToPtr criteria;
    criteria.SetAt("RegistrationDate", &criterion);
    COwnedList<CZENDB_Sample> found;
    // The query reports its own errors in a message box and then lists
    // nothing; that must not read as an empty range.
    const size_t before = CToolUIHost::Instance().MessageCount();
    db.GetSamples(SampleViewSearch, &criteria, found.List());
    if (CToolUIHost::Instance().MessageCount() != before)
        throw CToolError(Tr("cannot list the samples"));
    std::vector<std::unique_ptr<CZENDB_Sample>> samples;
    while (!found.List().IsEmpty())
        samples.emplace_back(static_cast<CZENDB_Sample*>(found.List().RemoveHead()));
    std::stable_sort(samples.begin(), samples.end(), [](const auto& a, const auto& b) {
        return a->RegistrationDate != b->RegistrationDate ? a->RegistrationDate < b->RegistrationDate
                                                          : a->SampleID < b->SampleID;
    });
    if (samples.empty())
        throw CToolError(Tr("no samples were registered in that time"));
    return samples;
}

CLabel LabelOf(const CZENDB_Sample& sample, const std::vector<CFieldDef>& fields)
{
    CLabel label;
    label.id = ToStd(sample.UserSampleID);
    for (const char* control : {"WorkOrder", "Customer", "DueDate"}) {
        const auto field = std::find_if(fields.begin(), fields.end(),
                                        [control](const CFieldDef& def) { return def.control == control; });
        const std::string name = field != fields.end() ? field->Label() : StandardFieldLabel(control);
        const std::string value = std::string(control) == "DueDate" ? FormatDate(sample.DueDate)
                                                                    : SampleFieldText(sample, control);
        label.lines.emplace_back(name, value);
    }
    return label;
}

void RunLabels(const CLabelArgs& args)
{
    const bool range = !args.from.empty() || !args.to.empty();
    if (args.ids.empty() && !range)
        throw CUsageError(Tr("name the samples, or give --from and/or --to"));
    if (!args.ids.empty() && range)
        throw CUsageError(Tr("give either sample identifiers or --from/--to, not both"));
    // Usage errors before any work.
    const EImageFormat format = ImageFormatOf(args.out);
    if (args.dpi != 0 && format != EImageFormat::Png)
        throw CUsageError(Tr("--dpi applies to .png files only"));
    const ESymbology symbology = ParseSymbology(args.barcode);
    const CLabelSize size = ConfiguredLabelSize();

    CSession session(CSession::EAccess::Read);
    CZENDatabase& db = session.Db();
    session.Require(ZENACT_PrintReport, Tr("printing labels"));
    std::vector<std::unique_ptr<CZENDB_Sample>> samples;
    if (range)
        samples = SamplesRegistered(db, args.from, args.to);
    else
        for (const std::string& id : args.ids)
            samples.push_back(LoadSample(db, id));
    const auto fields = LoadFieldDefs(db);
    std::vector<CLabel> labels;
    for (const auto& sample : samples)
        labels.push_back(LabelOf(*sample, fields));
    WriteLabels(args.out, labels, size, symbology, args.dpi != 0 ? args.dpi : kDefaultDpi);

    if (OutputFormat() == EOutputFormat::Json) {
        nlohmann::ordered_json ids = nlohmann::ordered_json::array();
        for (const CLabel& label : labels)
            ids.push_back(label.id);
        PrintJson({{"File", args.out}, {"Labels", labels.size()}, {"UserSampleIDs", ids}});
        return;
    }
    PrintLine(labels.size() == 1 ? TrF("wrote %s (1 label)", args.out)
                                 : TrF("wrote %s (%s labels)", args.out, labels.size()));
}

} // namespace

void RegisterLabelCommand(CLI::App& app)
{
    auto args = std::make_shared<CLabelArgs>();
    CLI::App* labels = app.add_subcommand(
        "labels", Tr("Write labels for samples: barcode and identifier, work order, customer, due date"));
    labels->add_option("ID", args->ids, Tr("Identifiers of the samples, one label each"));
    labels->add_option("--out", args->out, Tr("Output file: .pdf (a page per label), .svg or .png"))
        ->type_name("FILE")
        ->required();
    labels->add_option("--from", args->from, Tr("The samples registered on or after DATE"))->type_name("DATE");
    labels->add_option("--to", args->to, Tr("The samples registered on or before DATE (whole day)"))
        ->type_name("DATE");
    labels->add_option("--barcode", args->barcode,
                       Tr("code128 (the default; ASCII identifiers) or qr (any identifier, as UTF-8)"))
        ->type_name("KIND");
    labels->add_option("--dpi", args->dpi, Tr("Resolution of a .png file (default 300)"))
        ->type_name("N")
        ->check(CLI::Range(72, 2400));
    labels->callback([args] { RunLabels(*args); });
}

} // namespace zendb
