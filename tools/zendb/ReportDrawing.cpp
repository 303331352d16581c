// Drawing of zendb's test reports and hardness-depth diagrams with cairo (see
// ReportDrawing.h). All lengths are in points (1/72 inch); PNG output is the
// same drawing scaled.
#include "ReportDrawing.h"

#include "PatternFields.h"
#include "ReplacingFile.h"
#include "Tool.h"
#include "Tr.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zendb {

namespace {

constexpr double kPageWidth = 595.28;    // A4
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 50.0;
constexpr double kPngScale = 1.5;     // PNG pixels per point: 108 dpi
constexpr const char* kFont = "DejaVu Sans";

struct CColor {
    double r, g, b;
};

// Lanes: colour-blind friendly palette.
constexpr CColor kLaneColors[] = {{0.00, 0.45, 0.70}, {0.90, 0.62, 0.00}, {0.00, 0.62, 0.45},
                                  {0.80, 0.47, 0.65}, {0.34, 0.71, 0.91}, {0.84, 0.37, 0.00}};
constexpr CColor kInk = {0.13, 0.13, 0.13};
constexpr CColor kGrid = {0.88, 0.88, 0.88};
constexpr CColor kLimit = {0.75, 0.10, 0.10};
constexpr CColor kGauss = {0.55, 0.10, 0.55};
constexpr CColor kBand = {0.55, 0.80, 0.55};

void SetColor(cairo_t* cr, const CColor& c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

} // namespace

double Text(cairo_t* cr, double x, double y, const std::string& text, double size, EAlign align, bool bold)
{
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    double left = x;
    if (align == EAlign::Center)
        left = x - extents.x_advance / 2.0;
    else if (align == EAlign::Right)
        left = x - extents.x_advance;
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, text.c_str());
    return extents.x_advance;
}

double TextWidth(cairo_t* cr, const std::string& text, double size, bool bold)
{
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

std::string FitText(cairo_t* cr, std::string text, double size, double width, bool bold)
{
    if (TextWidth(cr, text, size, bold) <= width)
        return text;
    while (!text.empty()) {
        // Drop whole UTF-8 characters.
        do
            text.pop_back();
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80);
        if (TextWidth(cr, text + "\xE2\x80\xA6", size, bold) <= width)
            return text + "\xE2\x80\xA6";
    }
    return text;
}

namespace {

// A step of 1, 2 or 5 times a power of ten that gives about `count` ticks.
double NiceStep(double span, int count)
{
    if (!(span > 0.0))
        return 1.0;
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    const double nice = fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0;
    return nice * power;
}

int DecimalsFor(double step)
{
    if (step >= 1.0)
        return 0;
    return std::min(4, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

// The value of a hardness in the diagram's scale, or -1 when it has none.
double InScale(const CHardness& h, bool rockwell)
{
    return rockwell ? h.rockwell : h.hvhk;
}

struct CAxes {
    double left, top, width, height;    // plot rectangle
    double x0, x1, y0, y1;              // data ranges (depth in mm, hardness)
    double X(double depth) const { return left + (depth - x0) / (x1 - x0) * width; }
    double Y(double value) const { return top + height - (value - y0) / (y1 - y0) * height; }
    bool Inside(double depth, double value) const
    {
        return depth >= x0 && depth <= x1 && value >= y0 && value <= y1;
    }
};

// Whether the merged profile is worth its own line: always for one lane; for
// several only when each merged depth averages indents of at least two lanes.
bool MergedIsMeanOfLanes(const CRunEvaluation& run)
{
    if (run.lanes <= 1)
        return true;
    for (const CMergedPoint& point : run.merged) {
        int first = -1;
        bool two = false;
        for (const CPlotIndent& indent : run.indents) {
            if (indent.depth != point.depth)
                continue;
            if (first < 0)
                first = indent.lane;
            else if (indent.lane != first)
                two = true;
        }
        if (!two)
            return false;
    }
    return !run.merged.empty();
}

void DrawMarker(cairo_t* cr, double x, double y, int lane)
{
    const double r = 2.8;
    switch (lane % 3) {
    case 0:
        cairo_arc(cr, x, y, r, 0, 2 * M_PI);
        break;
    case 1:
        cairo_rectangle(cr, x - r, y - r, 2 * r, 2 * r);
        break;
    default:
        cairo_move_to(cr, x, y - r * 1.2);
        cairo_line_to(cr, x + r * 1.1, y + r * 0.8);
        cairo_line_to(cr, x - r * 1.1, y + r * 0.8);
        cairo_close_path(cr);
        break;
    }
}

} // namespace

EImageFormat ImageFormatOf(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : Lower(path.substr(dot + 1));
    if (extension == "pdf")
        return EImageFormat::Pdf;
    if (extension == "svg")
        return EImageFormat::Svg;
    if (extension == "png")
        return EImageFormat::Png;
    throw CUsageError(TrF("'%s': the output file must end in .pdf, .svg or .png", path));
}

void DrawDiagram(cairo_t* cr, double x, double y, double width, double height, const CRunEvaluation& run,
                 const std::string& title)
{
    const ProfileDiagramSettings& d = run.diagram;
    const bool rockwell = d.DiagramShowShowAsRockwell && run.rockwellScale;
    const double unitFactor = DepthUnitFactor(d.DiagramXAxisUnit);
    const std::string depthUnit = DepthUnitName(d.DiagramXAxisUnit);
    const std::string scale = rockwell ? ScaleName(run.commonRockwell) : ScaleWithLoad(run);

    cairo_save(cr);
    double top = y;
    if (!title.empty()) {
        SetColor(cr, kInk);
        Text(cr, x, top + 12, FitText(cr, title, 11, width, true), 11, EAlign::Left, true);
        top += 20;
    }

    // Data ranges.
    double maxDepth = 0.0;
    double minValue = 1e9;
    double maxValue = -1e9;
    auto take = [&](double value) {
        if (value >= 0.0) {
            minValue = std::min(minValue, value);
            maxValue = std::max(maxValue, value);
        }
    };
    for (const CPlotIndent& indent : run.indents) {
        maxDepth = std::max(maxDepth, indent.depth);
        take(InScale(indent.hardness, rockwell));
    }
    for (const CCaseDepth& depth : run.caseDepths)
        take(InScale(depth.limit, rockwell));
    if (d.DiagramShowECDTolerances && d.ECDToleranceMax > d.ECDToleranceMin)
        maxDepth = std::max(maxDepth, d.ECDToleranceMax);
    if (maxValue < minValue) {
        minValue = 0.0;
        maxValue = rockwell ? 70.0 : 1000.0;
    }

    CAxes axes{};
    if (!d.DiagramXAutomatic && d.DiagramXMax > d.DiagramXMin) {
        axes.x0 = d.DiagramXMin;
        axes.x1 = d.DiagramXMax;
    } else {
        const double span = maxDepth > 0.0 ? maxDepth * 1.05 : 1.0;
        const double step = NiceStep(span, 6);
        axes.x0 = 0.0;
        axes.x1 = std::ceil(span / step) * step;
    }
    if (!d.DiagramYAutomatic && d.DiagramYMax > d.DiagramYMin) {
        axes.y0 = d.DiagramYMin;
        axes.y1 = d.DiagramYMax;
    } else {
        const double pad = std::max((maxValue - minValue) * 0.08, rockwell ? 1.0 : 10.0);
        const double step = NiceStep(maxValue - minValue + 2 * pad, 6);
        axes.y0 = std::max(0.0, std::floor((minValue - pad) / step) * step);
        axes.y1 = std::ceil((maxValue + pad) / step) * step;
    }

    axes.left = x + 52.0;
    axes.top = top + 4.0;
    axes.width = width - 52.0 - 8.0;
    axes.height = y + height - axes.top - 36.0;

    // Grid and tick labels.
    cairo_set_line_width(cr, 0.5);
    const double xStep = NiceStep(axes.x1 - axes.x0, 6);
    const double yStep = NiceStep(axes.y1 - axes.y0, 6);
    const int xDecimals = DecimalsFor(xStep * unitFactor);
    for (double v = std::ceil(axes.x0 / xStep - 1e-9) * xStep; v <= axes.x1 + 1e-9; v += xStep) {
        SetColor(cr, kGrid);
        cairo_move_to(cr, axes.X(v), axes.top);
        cairo_line_to(cr, axes.X(v), axes.top + axes.height);
        cairo_stroke(cr);
        SetColor(cr, kInk);
        Text(cr, axes.X(v), axes.top + axes.height + 12, FormatFixed(v * unitFactor, xDecimals), 8, EAlign::Center);
    }
    for (double v = std::ceil(axes.y0 / yStep - 1e-9) * yStep; v <= axes.y1 + 1e-9; v += yStep) {
        SetColor(cr, kGrid);
        cairo_move_to(cr, axes.left, axes.Y(v));
        cairo_line_to(cr, axes.left + axes.width, axes.Y(v));
        cairo_stroke(cr);
        SetColor(cr, kInk);
        Text(cr, axes.left - 4, axes.Y(v) + 3, FormatFixed(v, DecimalsFor(yStep)), 8, EAlign::Right);
    }
    SetColor(cr, kInk);
    Text(cr, axes.left + axes.width / 2, axes.top + axes.height + 27, TrF("Depth / %s", depthUnit), 9,
         EAlign::Center);
    cairo_save(cr);
    cairo_move_to(cr, x + 11, axes.top + axes.height / 2);
    cairo_rotate(cr, -M_PI / 2);
    {
        const std::string label = TrF("Hardness / %s", scale);
        const double w = TextWidth(cr, label, 9);
        cairo_rel_move_to(cr, -w / 2, 0);
        cairo_show_text(cr, label.c_str());
    }
    cairo_restore(cr);

    // Everything inside the plot is clipped to it.
    cairo_save(cr);
    cairo_rectangle(cr, axes.left, axes.top, axes.width, axes.height);
    cairo_clip(cr);

    if (d.DiagramShowECDTolerances && d.ECDToleranceMax > d.ECDToleranceMin) {
        SetColor(cr, kBand, 0.25);
        cairo_rectangle(cr, axes.X(d.ECDToleranceMin), axes.top, axes.X(d.ECDToleranceMax) - axes.X(d.ECDToleranceMin),
                        axes.height);
        cairo_fill(cr);
    }

    // Core hardness and limit lines.
    const double dashes[] = {5.0, 3.0};
    const double dots[] = {1.5, 2.5};
    if (run.core && InScale(*run.core, rockwell) > 0.0) {
        SetColor(cr, kInk, 0.6);
        cairo_set_line_width(cr, 0.8);
        cairo_set_dash(cr, dots, 2, 0);
        cairo_move_to(cr, axes.left, axes.Y(InScale(*run.core, rockwell)));
        cairo_line_to(cr, axes.left + axes.width, axes.Y(InScale(*run.core, rockwell)));
        cairo_stroke(cr);
        Text(cr, axes.left + 4, axes.Y(InScale(*run.core, rockwell)) + 10,
             TrF("core %s", rockwell ? run.core->RockwellText() : run.core->Text()), 7.5);
    }
    for (const CCaseDepth& depth : run.caseDepths) {
        const double limit = InScale(depth.limit, rockwell);
        if (!(limit > 0.0))
            continue;
        SetColor(cr, kLimit);
        cairo_set_line_width(cr, 0.9);
        cairo_set_dash(cr, dashes, 2, 0);
        cairo_move_to(cr, axes.left, axes.Y(limit));
        cairo_line_to(cr, axes.left + axes.width, axes.Y(limit));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        Text(cr, axes.left + axes.width - 4, axes.Y(limit) - 3,
             TrF("limit %s", rockwell ? depth.limit.RockwellText() : depth.limit.Text()), 7.5, EAlign::Right);
    }
    cairo_set_dash(cr, nullptr, 0, 0);

    // The fitted bell A*exp(-x^2/w^2) + y0.
    const bool gauss = rockwell ? run.gaussianRockwell : run.gaussian;
    if (gauss) {
        const double A = rockwell ? run.gaussRA : run.gaussA;
        const double w = rockwell ? run.gaussRW : run.gaussW;
        const double y0 = rockwell ? run.gaussRY0 : run.gaussY0;
        SetColor(cr, kGauss);
        cairo_set_line_width(cr, 1.4);
        const int steps = 200;
        for (int i = 0; i <= steps; ++i) {
            const double depth = axes.x0 + (axes.x1 - axes.x0) * i / steps;
            const double value = A * std::exp(-depth * depth / (w * w)) + y0;
            if (i == 0)
                cairo_move_to(cr, axes.X(depth), axes.Y(value));
            else
                cairo_line_to(cr, axes.X(depth), axes.Y(value));
        }
        cairo_stroke(cr);
    }

    // Each lane's own line when there are several: lanes whose depths are
    // offset would otherwise be joined into one zigzag.
    if (run.lanes > 1) {
        cairo_set_line_width(cr, 0.8);
        for (int lane = 0; lane < run.lanes; ++lane) {
            SetColor(cr, kLaneColors[static_cast<size_t>(lane) % std::size(kLaneColors)], 0.8);
            bool started = false;
            for (const CPlotIndent& indent : run.indents) {
                const double value = InScale(indent.hardness, rockwell);
                if (indent.lane != lane || !(value >= 0.0) || !std::isfinite(value))
                    continue;
                if (!started)
                    cairo_move_to(cr, axes.X(indent.depth), axes.Y(value));
                else
                    cairo_line_to(cr, axes.X(indent.depth), axes.Y(value));
                started = true;
            }
            cairo_stroke(cr);
        }
    }

    // The merged profile: for one lane its line, for several the mean of the
    // lanes where every merged depth holds indents of more than one lane.
    const bool drawMerged = MergedIsMeanOfLanes(run);
    if (drawMerged) {
        SetColor(cr, kInk, 0.85);
        cairo_set_line_width(cr, 1.2);
        bool started = false;
        for (const CMergedPoint& point : run.merged) {
            const double value = InScale(point.hardness, rockwell);
            if (!(value >= 0.0) || !std::isfinite(value))
                continue;
            if (!started)
                cairo_move_to(cr, axes.X(point.depth), axes.Y(value));
            else
                cairo_line_to(cr, axes.X(point.depth), axes.Y(value));
            started = true;
        }
        cairo_stroke(cr);
    }

    // The indents of every lane.
    cairo_set_line_width(cr, 0.7);
    for (const CPlotIndent& indent : run.indents) {
        const double value = InScale(indent.hardness, rockwell);
        if (value < 0.0)
            continue;
        const CColor& color = kLaneColors[static_cast<size_t>(indent.lane) % std::size(kLaneColors)];
        DrawMarker(cr, axes.X(indent.depth), axes.Y(value), indent.lane);
        SetColor(cr, color, 0.55);
        cairo_fill_preserve(cr);
        SetColor(cr, color);
        cairo_stroke(cr);
    }
    if (d.DiagramShowIndentHardness) {
        SetColor(cr, kInk);
        for (const CMergedPoint& point : run.merged) {
            const double value = InScale(point.hardness, rockwell);
            if (value >= 0.0)
                Text(cr, axes.X(point.depth), axes.Y(value) - 6, FormatFixed(value, rockwell ? 1 : 0), 6.5,
                     EAlign::Center);
        }
    }

    // Case-depth markers: from the axis up to the limit.
    for (const CCaseDepth& depth : run.caseDepths) {
        const double found = rockwell && depth.depthRockwell >= 0.0 ? depth.depthRockwell : depth.depth;
        const double limit = InScale(depth.limit, rockwell);
        if (found < 0.0 || !(limit > 0.0))
            continue;
        SetColor(cr, kLimit);
        cairo_set_line_width(cr, 1.0);
        cairo_set_dash(cr, dashes, 2, 0);
        cairo_move_to(cr, axes.X(found), axes.top + axes.height);
        cairo_line_to(cr, axes.X(found), axes.Y(limit));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        const double mx = axes.X(found);
        const double my = axes.Y(limit);
        cairo_move_to(cr, mx, my - 4.5);
        cairo_line_to(cr, mx + 4.5, my);
        cairo_line_to(cr, mx, my + 4.5);
        cairo_line_to(cr, mx - 4.5, my);
        cairo_close_path(cr);
        cairo_fill(cr);
        const int decimals = unitFactor > 1.0 ? 0 : 3;
        Text(cr, mx + 5, axes.top + axes.height - 5, FormatFixed(found * unitFactor, decimals) + " " + depthUnit, 8,
             EAlign::Left, true);
    }
    cairo_restore(cr);   // clip

    // Frame.
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 0.8);
    cairo_rectangle(cr, axes.left, axes.top, axes.width, axes.height);
    cairo_stroke(cr);

    // Legend and results, top right inside the plot.
    std::vector<std::pair<int, std::string>> legend;   // kind (lane index, -1 merged, -2 gauss, -3 band)
    for (int lane = 0; lane < run.lanes; ++lane)
        legend.emplace_back(lane, run.lanes > 1 ? TrF("lane %s", lane + 1) : std::string(Tr("indents")));
    if (run.lanes > 1 && drawMerged)
        legend.emplace_back(-1, Tr("mean of lanes"));
    if (gauss)
        legend.emplace_back(-2, Tr("Gaussian fit"));
    if (d.DiagramShowECDTolerances && d.ECDToleranceMax > d.ECDToleranceMin)
        legend.emplace_back(-3, Tr("tolerance"));
    std::vector<std::string> results;
    if (d.DiagramShowResults) {
        for (const CCaseDepth& depth : run.caseDepths) {
            const double found = rockwell && depth.depthRockwell >= 0.0 ? depth.depthRockwell : depth.depth;
            const std::string value = found >= 0.0
                                          ? FormatFixed(found * unitFactor, unitFactor > 1.0 ? 0 : 3) + " " + depthUnit
                                          : std::string(Tr("not reached"));
            results.push_back(run.caseDepths.size() > 1 ? TrF("depth %s = %s", depth.Number(), value)
                                                        : TrF("depth = %s", value));
        }
        if (run.core)
            results.push_back(TrF("core = %s", rockwell ? run.core->RockwellText() : run.core->Text()));
        if (run.mean.Valid())
            results.push_back(
                TrF("mean = %s", rockwell && run.mean.HasRockwell() ? run.mean.RockwellText() : run.mean.Text()));
    }
    if (!legend.empty() || !results.empty()) {
        const double lineHeight = 11.0;
        double boxWidth = 0.0;
        for (const auto& entry : legend)
            boxWidth = std::max(boxWidth, 22.0 + TextWidth(cr, entry.second, 7.5));
        for (const std::string& line : results)
            boxWidth = std::max(boxWidth, TextWidth(cr, line, 7.5));
        boxWidth += 12.0;
        const double boxHeight = (legend.size() + results.size()) * lineHeight + 8.0 + (results.empty() ? 0 : 3);
        const double bx = axes.left + axes.width - boxWidth - 6;
        const double by = axes.top + 6;
        cairo_set_source_rgba(cr, 1, 1, 1, 0.88);
        cairo_rectangle(cr, bx, by, boxWidth, boxHeight);
        cairo_fill_preserve(cr);
        SetColor(cr, kGrid);
        cairo_set_line_width(cr, 0.6);
        cairo_stroke(cr);
        double ly = by + 4 + lineHeight / 2;
        for (const auto& [kind, label] : legend) {
            const double lx = bx + 6;
            if (kind >= 0) {
                const CColor& color = kLaneColors[static_cast<size_t>(kind) % std::size(kLaneColors)];
                DrawMarker(cr, lx + 8, ly, kind);
                SetColor(cr, color, 0.55);
                cairo_fill_preserve(cr);
                SetColor(cr, color);
                cairo_set_line_width(cr, 0.7);
                cairo_stroke(cr);
            } else if (kind == -3) {
                SetColor(cr, kBand, 0.4);
                cairo_rectangle(cr, lx, ly - 4, 16, 8);
                cairo_fill(cr);
            } else {
                SetColor(cr, kind == -1 ? kInk : kGauss);
                cairo_set_line_width(cr, 1.3);
                cairo_move_to(cr, lx, ly);
                cairo_line_to(cr, lx + 16, ly);
                cairo_stroke(cr);
            }
            SetColor(cr, kInk);
            Text(cr, lx + 22, ly + 2.7, label, 7.5);
            ly += lineHeight;
        }
        if (!results.empty())
            ly += 3;
        for (const std::string& line : results) {
            SetColor(cr, kInk);
            Text(cr, bx + 6, ly + 2.7, line, 7.5, EAlign::Left, true);
            ly += lineHeight;
        }
    }
    cairo_restore(cr);
}

namespace {

// A page of the report; returns nothing, draws at (0, offset).
void DrawPage(cairo_t* cr, double offset, const CReportSample& sample, const CRunEvaluation* run, int page, int pages)
{
    cairo_save(cr);
    cairo_translate(cr, 0, offset);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 0, 0, kPageWidth, kPageHeight);
    cairo_fill(cr);

    const double left = kMargin;
    const double right = kPageWidth - kMargin;
    const double width = right - left;
    double y = kMargin;

    // Header.
    SetColor(cr, kInk);
    Text(cr, left, y + 14, Tr("Hardness test report"), 16, EAlign::Left, true);
    Text(cr, right, y + 14, TrF("Sample %s", sample.id), 12, EAlign::Right, true);
    y += 24;
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, left, y);
    cairo_line_to(cr, right, y);
    cairo_stroke(cr);
    y += 16;

    // Registration data, two columns of label and value.
    std::vector<std::pair<std::string, std::string>> rows = sample.fields;
    rows.emplace_back(Tr("Measured by"), sample.measuredBy);
    rows.emplace_back(Tr("Measured"), sample.measured);
    const size_t half = (rows.size() + 1) / 2;
    const double columnWidth = width / 2;
    for (size_t i = 0; i < rows.size(); ++i) {
        const double cx = left + (i < half ? 0.0 : columnWidth);
        const double cy = y + static_cast<double>(i < half ? i : i - half) * 13.0;
        cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
        Text(cr, cx, cy + 9, FitText(cr, rows[i].first, 8.5, 100), 8.5);
        SetColor(cr, kInk);
        Text(cr, cx + 104, cy + 9, FitText(cr, rows[i].second.empty() ? "\xE2\x80\x94" : rows[i].second, 8.5,
                                            columnWidth - 112),
             8.5);
    }
    y += static_cast<double>(half) * 13.0 + 14;

    if (run == nullptr) {
        SetColor(cr, kInk);
        Text(cr, left, y + 12, Tr("No profile runs have been measured on this sample."), 10);
        y += 30;
    } else {
        // Run heading.
        std::string head = run->profileName.empty() ? TrF("Profile run %s", run->profileNr)
                                                    : TrF("Profile run %s: %s", run->profileNr, run->profileName);
        SetColor(cr, kInk);
        Text(cr, left, y + 11, FitText(cr, head, 11.5, width, true), 11.5, EAlign::Left, true);
        y += 16;
        std::string details = run->lanes > 1 ? TrF("%s indents in %s lanes", run->indents.size(), run->lanes)
                                             : TrF("%s indents", run->indents.size());
        if (run->hasIndentor)
            details += ", " + ScaleWithLoad(*run);
        details +=
            "; " + TrF("evaluation %s, %s", StandardName(run->calc.Standard), CurveTypeName(run->calc.CurveType));
        if (!run->position.empty())
            details += "; " + TrF("position %s", run->position);
        cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
        Text(cr, left, y + 9, FitText(cr, details, 8.5, width), 8.5);
        y += 16;

        DrawDiagram(cr, left, y, width, 320, *run, std::string());
        y += 334;

        // Results table.
        const COutputTable table = ResultTable(*run);
        const nlohmann::ordered_json rowsJson = table.ToJson();
        const double widths[] = {0.40, 0.22, 0.16, 0.22};
        const char* headers[] = {Tr("Result"), Tr("Hardness"), Tr("Rockwell"), nullptr};
        const std::string depthHeader = TrF("Depth / %s", DepthUnitName(run->diagram.DiagramXAxisUnit));
        double cx = left;
        SetColor(cr, kInk);
        for (int c = 0; c < 4; ++c) {
            Text(cr, cx + 3, y + 10, headers[c] ? headers[c] : depthHeader.c_str(), 8.5, EAlign::Left, true);
            cx += widths[c] * width;
        }
        y += 14;
        cairo_set_line_width(cr, 0.6);
        cairo_move_to(cr, left, y);
        cairo_line_to(cr, right, y);
        cairo_stroke(cr);
        const char* keys[] = {"Result", "Hardness", "Rockwell", "Depth"};
        int index = 0;
        for (const auto& row : rowsJson) {
            if (index++ % 2 == 1) {
                cairo_set_source_rgb(cr, 0.96, 0.96, 0.96);
                cairo_rectangle(cr, left, y, width, 13);
                cairo_fill(cr);
            }
            cx = left;
            SetColor(cr, kInk);
            for (int c = 0; c < 4; ++c) {
                const auto& cell = row[keys[c]];
                const std::string text = cell.is_string() ? cell.get<std::string>() : std::string();
                Text(cr, cx + 3, y + 9.5, FitText(cr, text, 8.5, widths[c] * width - 6), 8.5);
                cx += widths[c] * width;
            }
            y += 13;
        }
        cairo_move_to(cr, left, y);
        cairo_line_to(cr, right, y);
        cairo_stroke(cr);
        y += 14;
        if (const auto within = run->WithinTolerance()) {
            const std::string low = FormatFixed(run->diagram.ECDToleranceMin, 3);
            const std::string high = FormatFixed(run->diagram.ECDToleranceMax, 3);
            const std::string verdict = *within ? TrF("Within the required depth %s – %s mm", low, high)
                                                : TrF("Outside the required depth %s – %s mm", low, high);
            if (*within)
                cairo_set_source_rgb(cr, 0.0, 0.45, 0.2);
            else
                SetColor(cr, kLimit);
            Text(cr, left, y + 8, verdict, 9.5, EAlign::Left, true);
            y += 16;
        }
        // Warnings in full, wrapped at blanks to the page width.
        for (const std::string& warning : run->warnings) {
            SetColor(cr, kLimit);
            std::string line;
            std::string rest = TrF("Warning: %s", warning);
            while (!rest.empty()) {
                const size_t blank = rest.find(' ');
                const std::string word = rest.substr(0, blank);
                rest = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
                const std::string longer = line.empty() ? word : line + " " + word;
                if (!line.empty() && TextWidth(cr, longer, 8.5) > width) {
                    Text(cr, left, y + 8, line, 8.5);
                    y += 11;
                    line = word;
                } else {
                    line = longer;
                }
            }
            Text(cr, left, y + 8, FitText(cr, line, 8.5, width), 8.5);
            y += 13;
        }
    }

    // Signature lines and footer.
    const double sy = kPageHeight - kMargin - 58;
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 0.6);
    const double box = (width - 30) / 2;
    cairo_move_to(cr, left, sy + 24);
    cairo_line_to(cr, left + box, sy + 24);
    cairo_move_to(cr, left + box + 30, sy + 24);
    cairo_line_to(cr, right, sy + 24);
    cairo_stroke(cr);
    Text(cr, left, sy + 16, sample.measuredBy, 9.5);
    Text(cr, left, sy + 35, Tr("Tested by, date"), 8);
    // The signatures one above the other, the latest on the line.
    const size_t signatures = sample.signatures.size();
    for (size_t k = 0; k < signatures; ++k)
        Text(cr, left + box + 30, sy + 16 - 11.0 * static_cast<double>(signatures - 1 - k),
             FitText(cr, sample.signatures[k], 8.5, box), 8.5, EAlign::Left, k + 1 == signatures);
    if (signatures == 0 && !sample.signature.empty())
        Text(cr, left + box + 30, sy + 16, sample.signature, 9.5, EAlign::Left, true);
    const bool isSigned = signatures > 0 || !sample.signature.empty();
    std::string label = isSigned ? Tr("Signed off by") : Tr("Approved by, date");
    if (sample.revision > 0)
        label += " \xC2\xB7 " + TrF("revision %s", sample.revision);
    Text(cr, left + box + 30, sy + 35, label, 8);

    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    const std::string footer = "zendb " + std::string(ZEN_VERSION_STRING) + "  \xC2\xB7  " +
                               FormatDateTime(CTime::GetCurrentTime());
    Text(cr, left, kPageHeight - kMargin + 14, footer, 7.5);
    Text(cr, right, kPageHeight - kMargin + 14,
         TrF("Page %s of %s", page, pages), 7.5, EAlign::Right);
    cairo_restore(cr);
}

// Cairo keeps the fonts it looked up (and fontconfig's patterns behind them)
// for the life of the process; they are handed back at exit so that leak
// checkers see a clean process.
struct CCairoCaches {
    ~CCairoCaches()
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
};

void KeepCachesUntilExit()
{
    static CCairoCaches caches;
}

// cairo's output goes through this into the file that replaces the target.
cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length)
{
    return static_cast<CReplacingFile*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS
                                                                        : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

CSurface::CSurface(const std::string& path, double width, double height, EImageFormat kind, double pngScale)
    : file(path), format(kind)
{
    KeepCachesUntilExit();
    switch (format) {
    case EImageFormat::Pdf:
        surface = cairo_pdf_surface_create_for_stream(WriteToFile, &file, width, height);
        break;
    case EImageFormat::Svg:
        surface = cairo_svg_surface_create_for_stream(WriteToFile, &file, width, height);
        break;
    case EImageFormat::Png:
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(width * pngScale)),
                                             static_cast<int>(std::ceil(height * pngScale)));
        break;
    }
    if (const cairo_status_t status = cairo_surface_status(surface); status != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);   // the destructor does not run for a failed constructor
        surface = nullptr;
        throw CToolError(TrF("cannot write '%s': %s", path, cairo_status_to_string(status)));
    }
    cr = cairo_create(surface);
    if (format == EImageFormat::Png)
        cairo_scale(cr, pngScale, pngScale);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
}

CSurface::~CSurface()
{
    if (cr != nullptr)
        cairo_destroy(cr);
    if (surface != nullptr)
        cairo_surface_destroy(surface);
}

void CSurface::Finish()
{
    cairo_status_t status = cairo_status(cr);
    if (format == EImageFormat::Png && status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_write_to_png_stream(surface, WriteToFile, &file);
    cairo_destroy(cr);
    cr = nullptr;
    // PDF and SVG write their last part (fonts, trailer) here.
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        file.Fail(cairo_status_to_string(status));
    file.Commit();
}

void WriteReport(const std::string& path, const CReportSample& sample, const std::vector<CRunEvaluation>& runs,
                 const std::function<void()>& progress)
{
    const EImageFormat format = ImageFormatOf(path);
    const int pages = std::max<int>(1, static_cast<int>(runs.size()));
    const double height = format == EImageFormat::Pdf ? kPageHeight : kPageHeight * pages;
    CSurface out(path, kPageWidth, height, format, kPngScale);
    for (int page = 0; page < pages; ++page) {
        const CRunEvaluation* run = runs.empty() ? nullptr : &runs[static_cast<size_t>(page)];
        const double offset = format == EImageFormat::Pdf ? 0.0 : kPageHeight * page;
        DrawPage(out.cr, offset, sample, run, page + 1, pages);
        if (format == EImageFormat::Pdf)
            cairo_show_page(out.cr);
        if (progress)
            progress();
    }
    out.Finish();
}

void WriteDiagrams(const std::string& path, const std::string& sampleId, const std::vector<CRunEvaluation>& runs)
{
    const EImageFormat format = ImageFormatOf(path);
    const double width = 640.0;
    const double each = 400.0;
    const int count = std::max<int>(1, static_cast<int>(runs.size()));
    CSurface out(path, width, format == EImageFormat::Pdf ? each : each * count, format, kPngScale);
    for (int i = 0; i < count; ++i) {
        if (runs.empty())
            break;
        const CRunEvaluation& run = runs[static_cast<size_t>(i)];
        std::string title = sampleId + "  \xC2\xB7  " + TrF("run %s", run.profileNr);
        if (!run.profileName.empty())
            title += "  \xC2\xB7  " + run.profileName;
        const double offset = format == EImageFormat::Pdf ? 0.0 : each * i;
        DrawDiagram(out.cr, 14, offset + 10, width - 24, each - 20, run, title);
        if (format == EImageFormat::Pdf)
            cairo_show_page(out.cr);
    }
    out.Finish();
}

} // namespace zendb
