// Evaluation of stored profile runs for zendb (see Evaluation.h): the
// library's CProfile does the arithmetic; this file gathers its answers and
// renders them as tables, JSON and CSV.
#include "Evaluation.h"

#include "PatternFields.h"
#include "Tool.h"

#include <algorithm>
#include <cmath>

namespace zendb {

std::string ScaleName(HardnessType type)
{
    switch (type) {
    case HV:
        return "HV";
    case HK:
        return "HK";
    case HRB:
        return "HRB";
    case HRC:
        return "HRC";
    }
    return "HV";
}

CHardness CHardness::From(const CHardnessValue& value)
{
    CHardness h;
    h.hvhk = value.GetHVHKHardness();
    h.scale = value.GetHVHKHardnessType();
    if (value.HasRockwellHardness()) {
        h.rockwell = value.GetRockwellHardness();
        h.rockwellScale = value.GetRockwellHardnessType();
    }
    return h;
}

std::string CHardness::Text(int decimals) const
{
    if (!Valid())
        return std::string();
    return FormatFixed(hvhk, decimals) + " " + ScaleName(scale);
}

std::string CHardness::RockwellText(int decimals) const
{
    if (!HasRockwell())
        return std::string();
    return FormatFixed(rockwell, decimals) + " " + ScaleName(rockwellScale);
}

nlohmann::ordered_json CHardness::Json() const
{
    if (!Valid())
        return nullptr;
    return {{"Value", hvhk},
            {"Scale", ScaleName(scale)},
            {"Rockwell", HasRockwell() ? nlohmann::ordered_json(rockwell) : nlohmann::ordered_json(nullptr)},
            {"RockwellScale", HasRockwell() ? nlohmann::ordered_json(ScaleName(rockwellScale)) : nlohmann::ordered_json(nullptr)}};
}

std::optional<bool> CRunEvaluation::WithinTolerance() const
{
    if (!(diagram.ECDToleranceMax > 0.0) || caseDepths.empty() || caseDepths.front().depth < 0.0)
        return std::nullopt;
    const double depth = caseDepths.front().depth;
    return depth >= diagram.ECDToleranceMin && depth <= diagram.ECDToleranceMax;
}

namespace {

std::string Trimmed(const CString& text)
{
    CString copy = text;
    copy.Trim();
    return ToStd(copy);
}

nlohmann::ordered_json DepthJson(double depth)
{
    return depth >= 0.0 ? nlohmann::ordered_json(depth) : nlohmann::ordered_json(nullptr);
}

} // namespace

CRunEvaluation EvaluateRun(CZENDatabase& db, int32_t profileID)
{
    CProfile profile;
    if (!profile.LoadFromDB(profileID, &db))
        throw CToolError("cannot load profile run " + std::to_string(profileID));
    CZENDB_SampleProfileRun* run = profile.GetSampleProfileRun();

    CRunEvaluation result;
    result.profileID = run->ProfileID;
    result.profileNr = run->ProfileNr;
    result.profileName = Trimmed(run->ProfileName);
    result.position = Trimmed(run->Position);
    result.calc = run->GetCalculationSettings();
    result.diagram = run->GetDiagramSettings();

    // Indents in depth order; the lane of an indent is its rank by distance
    // from the axis among the indents of its depth.
    CObList* indents = profile.GetIndentList();
    for (POSITION pos = indents->GetHeadPosition(); pos != nullptr;) {
        auto* indent = static_cast<CIndent*>(indents->GetNext(pos));
        CPlotIndent plot;
        plot.depth = indent->GetXPos();
        plot.axis = indent->GetYPos();
        plot.d1 = indent->GetD1();
        plot.d2 = indent->GetD2();
        plot.load = indent->GetTestLoad();
        plot.indentor = indent->GetIndentorType();
        plot.hardness = CHardness::From(*indent->GetHardnessValue());
        result.indents.push_back(plot);
    }
    for (size_t first = 0; first < result.indents.size();) {
        size_t last = first;
        while (last < result.indents.size() && result.indents[last].depth == result.indents[first].depth)
            ++last;
        std::vector<size_t> order;
        for (size_t i = first; i < last; ++i)
            order.push_back(i);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return result.indents[a].axis < result.indents[b].axis;
        });
        for (size_t rank = 0; rank < order.size(); ++rank)
            result.indents[order[rank]].lane = static_cast<int>(rank);
        result.lanes = std::max(result.lanes, static_cast<int>(last - first));
        first = last;
    }

    IndentorType indentor = Vickers;
    result.hasIndentor = profile.GetIndentorType(indentor) != 0;
    result.indentor = indentor;
    if (!result.indents.empty())
        result.testLoad = result.indents.front().load;

    CObList merged;
    profile.MultilaneListToSinglelaneList(merged);
    struct CMergedOwner {
        CObList& list;
        ~CMergedOwner()
        {
            while (!list.IsEmpty())
                delete static_cast<CAverageIndent*>(list.RemoveHead());
        }
    } owner{merged};
    for (POSITION pos = merged.GetHeadPosition(); pos != nullptr;) {
        auto* entry = static_cast<CAverageIndent*>(merged.GetNext(pos));
        result.merged.push_back({entry->GetXPos(), CHardness::From(*entry->GetHardnessValue())});
    }

    if (!merged.IsEmpty()) {
        if (profile.HasHardnessType(HRB, &merged)) {
            result.rockwellScale = true;
            result.commonRockwell = HRB;
        } else if (profile.HasHardnessType(HRC, &merged)) {
            result.rockwellScale = true;
            result.commonRockwell = HRC;
        }
    }

    const int limits = profile.GetNofECDAtValues();
    for (int n = 0; n < limits; ++n) {
        CCaseDepth depth;
        depth.index = n;
        depth.field = profile.GetECDAtSlot(n);
        depth.limit = CHardness::From(profile.CalcCHDAt(&merged, n));
        depth.depth = profile.CalcCHD(false, n);
        if (result.rockwellScale && depth.limit.HasRockwell())
            depth.depthRockwell = profile.CalcCHD(true, n);
        result.caseDepths.push_back(depth);
    }
    if (run->CalcCoreHardness && run->CoreHardnessNofIndents >= 1) {
        const CHardness core = CHardness::From(profile.CalcCoreHardness(&merged));
        if (core.hvhk > 0.0)
            result.core = core;
    }
    result.minimum = CHardness::From(profile.GetMinHardness());
    result.maximum = CHardness::From(profile.GetMaxHardness());
    result.mean = CHardness::From(profile.GetMeanHardness(false));
    const CHardnessValue rockwellMean = profile.GetMeanHardness(true);
    result.mean.rockwell = -1.0;
    if (result.rockwellScale && rockwellMean.GetRockwellHardness() >= 0.0) {
        result.mean.rockwell = rockwellMean.GetRockwellHardness();
        result.mean.rockwellScale = rockwellMean.GetRockwellHardnessType();
    }
    result.stdDev = profile.GetHardnessStandardDeviation(false).GetHardness(false);
    if (result.rockwellScale)
        result.stdDevRockwell = profile.GetHardnessStandardDeviation(true).GetHardness(true);

    if (run->CurveType == 1 && !merged.IsEmpty()) {
        result.gaussian = profile.CalcGaussian(false, result.gaussA, result.gaussW, result.gaussY0) != 0;
        if (result.rockwellScale)
            result.gaussianRockwell =
                profile.CalcGaussian(true, result.gaussRA, result.gaussRW, result.gaussRY0) != 0;
    }
    return result;
}

std::string ScaleWithLoad(const CRunEvaluation& run)
{
    const std::string scale = run.indentor == Knoop ? "HK" : "HV";
    if (!(run.testLoad > 0.0))
        return scale;
    char text[32];
    std::snprintf(text, sizeof text, "%g", run.testLoad / 1000.0);
    return scale + text;
}

nlohmann::ordered_json CRunEvaluation::Json() const
{
    nlohmann::ordered_json depths = nlohmann::ordered_json::array();
    for (const CCaseDepth& depth : caseDepths)
        depths.push_back({{"Index", depth.Number()},
                          {"Limit", depth.limit.Json()},
                          {"Depth", DepthJson(depth.depth)},
                          {"DepthRockwell", DepthJson(depth.depthRockwell)}});
    nlohmann::ordered_json object = {
        {"ProfileID", profileID},
        {"ProfileNr", profileNr},
        {"ProfileName", profileName},
        {"Position", position},
        {"Indents", indents.size()},
        {"Lanes", lanes},
        {"Indentor", hasIndentor ? (indentor == Knoop ? "Knoop" : "Vickers") : nlohmann::ordered_json(nullptr)},
        {"TestLoad", testLoad},
        {"Standard", calc.Standard},
        {"StandardName", StandardName(calc.Standard)},
        {"CurveType", calc.CurveType},
        {"DepthUnit", "mm"},
        {"CaseDepths", depths},
        {"CoreHardness", core ? core->Json() : nlohmann::ordered_json(nullptr)},
        {"MinHardness", minimum.Json()},
        {"MaxHardness", maximum.Json()},
        {"MeanHardness", mean.Json()},
        {"StandardDeviation",
         {{"Value", stdDev >= 0.0 ? nlohmann::ordered_json(stdDev) : nlohmann::ordered_json(nullptr)},
          {"Rockwell", stdDevRockwell >= 0.0 ? nlohmann::ordered_json(stdDevRockwell) : nlohmann::ordered_json(nullptr)}}},
        {"Gaussian", gaussian ? nlohmann::ordered_json({{"A", gaussA}, {"w", gaussW}, {"y0", gaussY0}})
                              : nlohmann::ordered_json(nullptr)},
    };
    if (diagram.ECDToleranceMax > 0.0)
        object["Tolerance"] = {{"Min", diagram.ECDToleranceMin}, {"Max", diagram.ECDToleranceMax}};
    else
        object["Tolerance"] = nullptr;
    const auto within = WithinTolerance();
    object["WithinTolerance"] = within ? nlohmann::ordered_json(*within) : nlohmann::ordered_json(nullptr);
    return object;
}

COutputTable ResultTable(const CRunEvaluation& run)
{
    const double factor = DepthUnitFactor(run.diagram.DiagramXAxisUnit);
    const int depthDecimals = factor > 1.0 ? 0 : 3;
    COutputTable table;
    table.AddColumn("Result");
    table.AddColumn("Hardness");
    table.AddColumn("Rockwell");
    table.AddColumn("Depth", "Depth/" + DepthUnitName(run.diagram.DiagramXAxisUnit));
    for (const CCaseDepth& depth : run.caseDepths) {
        std::string name = run.caseDepths.size() > 1 ? "Case depth " + std::to_string(depth.Number())
                                                     : std::string("Case depth");
        if (run.calc.Standard == 2)
            name = "Surface hardening depth (DIN 50190-2)";
        else if (run.calc.Standard == 3)
            name = "Nitriding hardness depth (DIN 50190-3)";
        std::string depthText = depth.depth >= 0.0 ? FormatFixed(depth.depth * factor, depthDecimals) : "not reached";
        if (depth.depthRockwell >= 0.0 && std::fabs(depth.depthRockwell - depth.depth) > 0.0005)
            depthText += " (" + FormatFixed(depth.depthRockwell * factor, depthDecimals) + " by " +
                         ScaleName(depth.limit.rockwellScale) + ")";
        table.AddRow({CCell(name), CCell("limit " + depth.limit.Text()), CCell(depth.limit.RockwellText()),
                      CCell(depthText)});
    }
    if (run.core)
        table.AddRow({CCell("Core hardness"), CCell(run.core->Text()), CCell(run.core->RockwellText()), CCell()});
    table.AddRow({CCell("Minimum"), CCell(run.minimum.Text()), CCell(run.minimum.RockwellText()), CCell()});
    table.AddRow({CCell("Maximum"), CCell(run.maximum.Text()), CCell(run.maximum.RockwellText()), CCell()});
    table.AddRow({CCell("Mean"), CCell(run.mean.Text(1)), CCell(run.mean.RockwellText()), CCell()});
    table.AddRow({CCell("Standard deviation"),
                  CCell(run.stdDev >= 0.0 ? FormatFixed(run.stdDev, 1) + " " + ScaleName(run.mean.scale) : std::string()),
                  CCell(run.stdDevRockwell >= 0.0
                            ? FormatFixed(run.stdDevRockwell, 2) + " " + ScaleName(run.commonRockwell)
                            : std::string()),
                  CCell()});
    return table;
}

namespace {

// One row per run for CSV: fixed columns for up to four case depths.
COutputTable CsvTable(const CZENDB_Sample& sample, const std::vector<CRunEvaluation>& runs)
{
    COutputTable table;
    for (const char* name : {"UserSampleID", "SampleID", "ProfileID", "ProfileNr", "ProfileName", "Indents", "Lanes",
                             "Indentor", "TestLoad", "Standard", "CurveType", "Scale", "RockwellScale"})
        table.AddColumn(name);
    for (int n = 1; n <= 4; ++n)
        for (const char* part : {"Limit", "LimitRockwell", "Depth", "DepthRockwell"})
            table.AddColumn("ECD" + std::to_string(n) + part);
    for (const char* name : {"CoreHardness", "CoreHardnessRockwell", "MinHardness", "MaxHardness", "MeanHardness",
                             "MeanHardnessRockwell", "StandardDeviation", "StandardDeviationRockwell", "DepthUnit",
                             "WithinTolerance"})
        table.AddColumn(name);
    for (const CRunEvaluation& run : runs) {
        std::vector<CCell> row = {
            CCell(ToStd(sample.UserSampleID)), CCell(static_cast<int>(sample.SampleID)),
            CCell(static_cast<int>(run.profileID)), CCell(static_cast<int>(run.profileNr)), CCell(run.profileName),
            CCell(static_cast<int64_t>(run.indents.size())), CCell(run.lanes),
            run.hasIndentor ? CCell(run.indentor == Knoop ? "Knoop" : "Vickers") : CCell(),
            CCell::Real(run.testLoad, 0), CCell(run.calc.Standard), CCell(run.calc.CurveType),
            CCell(ScaleName(run.mean.scale)), run.rockwellScale ? CCell(ScaleName(run.commonRockwell)) : CCell()};
        // Column group ECDn holds the limit that goes by number n, so a limit
        // from ECD3At lands under ECD3 also when ECD2At is unused.
        for (int number = 1; number <= 4; ++number) {
            const auto d = std::find_if(run.caseDepths.begin(), run.caseDepths.end(),
                                        [number](const CCaseDepth& c) { return c.Number() == number; });
            if (d != run.caseDepths.end()) {
                row.push_back(CCell::RealOrNull(d->limit.hvhk, 1));
                row.push_back(CCell::RealOrNull(d->limit.rockwell, 1));
                row.push_back(CCell::RealOrNull(d->depth, 4));
                row.push_back(CCell::RealOrNull(d->depthRockwell, 4));
            } else {
                row.insert(row.end(), 4, CCell());
            }
        }
        row.push_back(run.core ? CCell::Real(run.core->hvhk, 1) : CCell());
        row.push_back(run.core ? CCell::RealOrNull(run.core->rockwell, 1) : CCell());
        row.push_back(CCell::RealOrNull(run.minimum.hvhk, 1));
        row.push_back(CCell::RealOrNull(run.maximum.hvhk, 1));
        row.push_back(CCell::RealOrNull(run.mean.hvhk, 2));
        row.push_back(CCell::RealOrNull(run.mean.rockwell, 2));
        row.push_back(CCell::RealOrNull(run.stdDev, 2));
        row.push_back(CCell::RealOrNull(run.stdDevRockwell, 2));
        row.emplace_back("mm");
        const auto within = run.WithinTolerance();
        row.push_back(within ? CCell::Flag(*within) : CCell());
        table.AddRow(std::move(row));
    }
    return table;
}

} // namespace

void PrintEvaluations(const CZENDB_Sample& sample, const std::vector<CRunEvaluation>& runs, EOutputFormat format)
{
    if (format == EOutputFormat::Json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const CRunEvaluation& run : runs)
            list.push_back(run.Json());
        PrintJson({{"UserSampleID", ToStd(sample.UserSampleID)}, {"SampleID", sample.SampleID}, {"Runs", list}});
        return;
    }
    if (format == EOutputFormat::Csv) {
        CsvTable(sample, runs).Print(EOutputFormat::Csv, stdout);
        return;
    }
    PrintLine("Sample " + ToStd(sample.UserSampleID) + ": " + std::to_string(runs.size()) + " profile run" +
              (runs.size() == 1 ? "" : "s"));
    for (const CRunEvaluation& run : runs) {
        PrintLine("");
        std::string head = "Run " + std::to_string(run.profileNr);
        if (!run.profileName.empty())
            head += " " + run.profileName;
        head += ": " + std::to_string(run.indents.size()) + " indents";
        if (run.lanes > 1)
            head += " in " + std::to_string(run.lanes) + " lanes";
        if (run.hasIndentor)
            head += ", " + ScaleWithLoad(run);
        head += ", " + StandardName(run.calc.Standard) + ", " + CurveTypeName(run.calc.CurveType);
        PrintLine(head);
        if (run.indents.empty()) {
            PrintLine("  (no made indents)");
            continue;
        }
        std::string text = ResultTable(run).ToText(60);
        std::string indented;
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            indented += "  " + text.substr(start, end - start) + "\n";
            start = end == std::string::npos ? text.size() : end + 1;
        }
        std::fputs(indented.c_str(), stdout);
        if (const auto within = run.WithinTolerance())
            PrintLine(std::string("  ") + (*within ? "within" : "OUTSIDE") + " the tolerance " +
                      FormatFixed(run.diagram.ECDToleranceMin, 3) + " .. " +
                      FormatFixed(run.diagram.ECDToleranceMax, 3) + " mm");
        if (run.gaussian)
            PrintLine("  Gaussian fit: " + FormatFixed(run.gaussA, 1) + " * exp(-x\xC2\xB2 / " +
                      FormatFixed(run.gaussW, 4) + "\xC2\xB2) + " + FormatFixed(run.gaussY0, 1));
    }
}

} // namespace zendb
