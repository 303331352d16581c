// Evaluation of stored profile runs for zendb (see Evaluation.h): the
// library's CProfile does the arithmetic; this file gathers its answers and
// renders them as tables, JSON and CSV.
#include "Evaluation.h"

#include "PatternFields.h"
#include "Tool.h"
#include "Tr.h"

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
    if (!std::isfinite(hvhk))
        return Tr("not finite");
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
    if (!finite || !(diagram.ECDToleranceMax > 0.0) || !std::isfinite(diagram.ECDToleranceMin) ||
        !std::isfinite(diagram.ECDToleranceMax) || caseDepths.empty())
        return std::nullopt;
    const CCaseDepth& first = caseDepths.front();
    const double depth = first.depth;
    if (!std::isfinite(depth) || depth < 0.0 || !first.limit.Valid())
        return std::nullopt;
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
    return std::isfinite(depth) && depth >= 0.0 ? nlohmann::ordered_json(depth) : nlohmann::ordered_json(nullptr);
}

// A fit whose root-mean-square residual exceeds this share of the points'
// standard deviation explains less than about nine tenths of their variance
// (1 - 0.3^2): it does not describe the profile.
constexpr double kLargeResidualShare = 0.3;

// Values stored before the import checked them (or written by other
// programs) may be infinite or undefined; nothing that rests on them may be
// stated as a result.
void CheckFinite(CRunEvaluation& result)
{
    int bad = 0;
    for (const CPlotIndent& indent : result.indents)
        if (!std::isfinite(indent.depth) || !std::isfinite(indent.axis) || !std::isfinite(indent.d1) ||
            !std::isfinite(indent.d2) || !std::isfinite(indent.load) || !indent.hardness.Finite())
            ++bad;
    bool derived = true;
    for (const CMergedPoint& point : result.merged)
        derived = derived && point.hardness.Finite() && std::isfinite(point.depth);
    for (const CCaseDepth& depth : result.caseDepths)
        derived = derived && depth.limit.Finite() && std::isfinite(depth.depth) && std::isfinite(depth.depthRockwell);
    for (const CHardness* value : {&result.minimum, &result.maximum, &result.mean})
        derived = derived && value->Finite();
    derived = derived && std::isfinite(result.stdDev) && std::isfinite(result.stdDevRockwell) &&
              (!result.core || result.core->Finite()) && (!result.surface || result.surface->Finite());
    if (bad == 0 && derived)
        return;
    result.finite = false;
    if (bad > 0)
        result.warnings.push_back(TrF("%s of %s stored indents hold a value that is not finite (position, "
                                      "diagonal, load or hardness); the results that rest on them are not valid",
                                      bad, result.indents.size()));
    else
        result.warnings.push_back(Tr("a result is not finite; the results are not valid"));
}

// A run whose indents are of another indentor than its pattern is meant for
// (imported with --force): its limits were taken in the indents' scale.
void WarnAboutIndentor(CZENDatabase& db, CRunEvaluation& result)
{
    if (!result.hasIndentor || result.profileName.empty())
        return;
    const auto pattern = FindPattern(db, result.profileName);
    if (!pattern)
        return;
    const IndentorType planned = PatternIndentor(*pattern);
    if (planned == result.indentor)
        return;
    std::string limits;
    for (const CCaseDepth& depth : result.caseDepths)
        if (depth.limit.Valid())
            limits += (limits.empty() ? "" : ", ") + depth.limit.Text();
    const char* indentor = result.indentor == Knoop ? "Knoop" : "Vickers";
    const char* meant = planned == Knoop ? "Knoop" : "Vickers";
    const char* scale = result.indentor == Knoop ? "HK" : "HV";
    result.warnings.push_back(
        limits.empty()
            ? TrF("the indents are %s but pattern '%s' is meant for %s; its limits were taken in %s", indentor,
                  result.profileName, meant, scale)
            : TrF("the indents are %s but pattern '%s' is meant for %s; its limits were taken in %s (limit %s)",
                  indentor, result.profileName, meant, scale, limits));
}

// The fitted bell against the merged points it was fitted to: a depth on
// one side and none on the other, or a residual large against the spread of
// the points, is said, with the interpolated depth beside it.
void WarnAboutFit(CRunEvaluation& result)
{
    auto depthText = [](double depth) { return FormatFixed(depth, 3) + " mm"; };
    for (const CCaseDepth& depth : result.caseDepths) {
        const std::string name = result.caseDepths.size() > 1 ? TrF("case depth %s", depth.Number())
                                                              : std::string(Tr("the case depth"));
        if (depth.depth < 0.0 && depth.depthInterpolated >= 0.0)
            result.warnings.push_back(TrF("the Gaussian fit gives %s as not reached, but the measured points fall to "
                                          "the limit %s at %s (interpolated)",
                                          name, depth.limit.Text(), depthText(depth.depthInterpolated)));
        else if (depth.depth >= 0.0 && depth.depthInterpolated < 0.0)
            result.warnings.push_back(TrF("the Gaussian fit gives %s as %s, but the measured points do not fall to "
                                          "the limit %s (no interpolated depth)",
                                          name, depthText(depth.depth), depth.limit.Text()));
    }
    if (!result.gaussian)
        return;
    // The points the fit was meant to follow: the carbon-loss option leaves
    // out the soft points before the hardest one, the hardness-limit option
    // (in HV/HK) the points above it; outliers count, they are the question.
    std::vector<const CMergedPoint*> points;
    double hardest = -1.0;
    for (const CMergedPoint& point : result.merged)
        hardest = std::max(hardest, point.hardness.hvhk);
    bool reached = !result.calc.GaussianIgnoreSoftDueToCarbonLoss;
    for (const CMergedPoint& point : result.merged) {
        reached = reached || point.hardness.hvhk >= hardest;
        if (!reached || !point.hardness.Valid())
            continue;
        if (result.calc.GaussianIgnoreIndentOverHardnessLimit && result.calc.GaussianHardnessLimitInputUnit == 0 &&
            point.hardness.hvhk > result.calc.GaussianHardnessLimit)
            continue;
        points.push_back(&point);
    }
    if (points.size() < 3)
        return;
    double mean = 0.0;
    for (const CMergedPoint* point : points)
        mean += point->hardness.hvhk;
    mean /= static_cast<double>(points.size());
    double spread = 0.0;
    double residual = 0.0;
    for (const CMergedPoint* point : points) {
        const double fit = CalcGaussianAt(point->depth, result.gaussA, result.gaussW, result.gaussY0);
        spread += (point->hardness.hvhk - mean) * (point->hardness.hvhk - mean);
        residual += (point->hardness.hvhk - fit) * (point->hardness.hvhk - fit);
    }
    spread = std::sqrt(spread / static_cast<double>(points.size()));
    residual = std::sqrt(residual / static_cast<double>(points.size()));
    if (!(spread > 0.0) || residual <= kLargeResidualShare * spread)
        return;
    const std::string scale = ScaleName(points.front()->hardness.scale);
    std::string text = TrF("the Gaussian fit is far from the measured points: residual %1$s %3$s against a "
                           "spread of %2$s %3$s",
                           FormatFixed(residual, 1), FormatFixed(spread, 1), scale);
    if (!result.caseDepths.empty()) {
        const CCaseDepth& first = result.caseDepths.front();
        text += "; " + TrF("interpolated depth %s", first.depthInterpolated >= 0.0
                                                         ? depthText(first.depthInterpolated)
                                                         : std::string(Tr("not reached")));
    }
    result.warnings.push_back(text);
}

} // namespace

CRunEvaluation EvaluateRun(CZENDatabase& db, int32_t profileID)
{
    CProfile profile;
    if (!profile.LoadFromDB(profileID, &db))
        throw CToolError(TrF("cannot load profile run %s", profileID));
    CZENDB_SampleProfileRun* run = profile.GetSampleProfileRun();

    CRunEvaluation result;
    result.profileID = run->ProfileID;
    result.profileNr = run->ProfileNr;
    result.profileName = Trimmed(run->ProfileName);
    result.position = Trimmed(run->Position);
    result.calc = run->GetCalculationSettings();
    result.diagram = run->GetDiagramSettings();

    // Indents in depth order. A lane is stored as its sideways position (the
    // import puts lane n at (n - 1) x the pattern's line spacing), so the
    // lane of an indent is the rank of its distance from the axis among the
    // run's distinct distances, taken to the micrometre. Depths play no
    // part: lanes may be offset in depth, and one lane may hold several
    // indents at one depth.
    CObList* indents = profile.GetIndentList();
    std::vector<long long> positions;
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
        if (std::isfinite(plot.axis))
            positions.push_back(std::llround(plot.axis * 1000.0));
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    result.lanes = static_cast<int>(positions.size());
    for (CPlotIndent& plot : result.indents) {
        if (!std::isfinite(plot.axis))
            continue;
        const auto at = std::lower_bound(positions.begin(), positions.end(), std::llround(plot.axis * 1000.0));
        plot.lane = static_cast<int>(at - positions.begin());
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
    if (!result.merged.empty() && result.merged.front().hardness.hvhk > 0.0)
        result.surface = result.merged.front().hardness;
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
        // The same limits by straight interpolation between the merged
        // points: the library's own method, on the run record in memory.
        const int curveType = run->CurveType;
        run->CurveType = 0;
        for (CCaseDepth& depth : result.caseDepths)
            depth.depthInterpolated = profile.CalcCHD(false, depth.index);
        run->CurveType = curveType;
    }

    CheckFinite(result);
    WarnAboutIndentor(db, result);
    if (run->CurveType == 1)
        WarnAboutFit(result);
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
                          {"DepthRockwell", DepthJson(depth.depthRockwell)},
                          {"DepthInterpolated", DepthJson(depth.depthInterpolated)}});
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
        {"StandardName", StandardName(calc.Standard, false)},
        {"CurveType", calc.CurveType},
        {"DepthUnit", "mm"},
        {"CaseDepths", depths},
        {"SurfaceHardness", surface ? surface->Json() : nlohmann::ordered_json(nullptr)},
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
    object["Warnings"] = warnings;
    return object;
}

COutputTable ResultTable(const CRunEvaluation& run)
{
    const double factor = DepthUnitFactor(run.diagram.DiagramXAxisUnit);
    const int depthDecimals = factor > 1.0 ? 0 : 3;
    COutputTable table;
    table.AddColumn("Result", Tr("Result"));
    table.AddColumn("Hardness", Tr("Hardness"));
    table.AddColumn("Rockwell", Tr("Rockwell"));
    table.AddColumn("Depth", TrF("Depth/%s", DepthUnitName(run.diagram.DiagramXAxisUnit)));
    for (const CCaseDepth& depth : run.caseDepths) {
        std::string name = run.caseDepths.size() > 1 ? TrF("Case depth %s", depth.Number())
                                                     : std::string(Tr("Case depth"));
        if (run.calc.Standard == 2)
            name = Tr("Surface hardening depth (DIN 50190-2)");
        else if (run.calc.Standard == 3)
            name = Tr("Nitriding hardness depth (DIN 50190-3)");
        std::string depthText =
            depth.depth >= 0.0 ? FormatFixed(depth.depth * factor, depthDecimals) : std::string(Tr("not reached"));
        if (depth.depthRockwell >= 0.0 && std::fabs(depth.depthRockwell - depth.depth) > 0.0005)
            depthText += " " + TrF("(%s by %s)", FormatFixed(depth.depthRockwell * factor, depthDecimals),
                                   ScaleName(depth.limit.rockwellScale));
        table.AddRow({CCell(name), CCell(TrF("limit %s", depth.limit.Text())), CCell(depth.limit.RockwellText()),
                      CCell(depthText)});
    }
    if (run.core)
        table.AddRow({CCell(Tr("Core hardness")), CCell(run.core->Text()), CCell(run.core->RockwellText()), CCell()});
    table.AddRow({CCell(Tr("Minimum")), CCell(run.minimum.Text()), CCell(run.minimum.RockwellText()), CCell()});
    table.AddRow({CCell(Tr("Maximum")), CCell(run.maximum.Text()), CCell(run.maximum.RockwellText()), CCell()});
    table.AddRow({CCell(Tr("Mean")), CCell(run.mean.Text(1)), CCell(run.mean.RockwellText()), CCell()});
    table.AddRow({CCell(Tr("Standard deviation")),
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
    PrintLine(runs.size() == 1 ? TrF("Sample %s: 1 profile run", sample.UserSampleID)
                               : TrF("Sample %s: %s profile runs", sample.UserSampleID, runs.size()));
    for (const CRunEvaluation& run : runs) {
        PrintLine("");
        std::string head = run.profileName.empty() ? TrF("Run %s", run.profileNr)
                                                   : TrF("Run %s %s", run.profileNr, run.profileName);
        head += ": " + (run.lanes > 1 ? TrF("%s indents in %s lanes", run.indents.size(), run.lanes)
                                      : TrF("%s indents", run.indents.size()));
        if (run.hasIndentor)
            head += ", " + ScaleWithLoad(run);
        head += ", " + StandardName(run.calc.Standard) + ", " + CurveTypeName(run.calc.CurveType);
        PrintLine(head);
        if (run.indents.empty()) {
            PrintLine("  " + std::string(Tr("(no made indents)")));
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
            PrintLine("  " + (*within ? TrF("within the tolerance %s .. %s mm",
                                            FormatFixed(run.diagram.ECDToleranceMin, 3),
                                            FormatFixed(run.diagram.ECDToleranceMax, 3))
                                      : TrF("OUTSIDE the tolerance %s .. %s mm",
                                            FormatFixed(run.diagram.ECDToleranceMin, 3),
                                            FormatFixed(run.diagram.ECDToleranceMax, 3))));
        if (run.gaussian)
            PrintLine("  " + TrF("Gaussian fit: %s * exp(-x² / %s²) + %s", FormatFixed(run.gaussA, 1),
                                 FormatFixed(run.gaussW, 4), FormatFixed(run.gaussY0, 1)));
        for (const std::string& warning : run.warnings)
            PrintLine("  " + TrF("warning: %s", warning));
    }
}

} // namespace zendb
