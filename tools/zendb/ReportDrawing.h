// Drawing of zendb's test reports and hardness-depth diagrams with cairo:
// one drawing code writes PDF (one A4 page per run), SVG and PNG (the pages
// one below the other). The diagram follows the run's diagram settings:
// axes, Rockwell scale, indent values, results, tolerance band.
#pragma once

#include "Evaluation.h"
#include "ReplacingFile.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace zendb {

enum class EImageFormat { Pdf, Svg, Png };

// The format named by the file's extension (.pdf, .svg, .png, any letter
// case); CUsageError for any other.
EImageFormat ImageFormatOf(const std::string& path);

// A drawing that becomes a file: PDF pages of width x height points (one per
// cairo_show_page), or one SVG or PNG picture of that size. PNG pixels are
// points times pngScale (the drawing is scaled; 72 * pngScale dpi). The output
// replaces the target only when Finish succeeds; a failure before, or a
// destructor without Finish, leaves the earlier file as it was.
class CSurface {
public:
    // Throws CToolError "cannot write '<path>': <reason>" when the hidden file
    // or the surface cannot be made.
    CSurface(const std::string& path, double width, double height, EImageFormat kind, double pngScale);
    ~CSurface();
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    // Completes the file and puts it in place of the target; CToolError with
    // the reason (a write's reason before cairo's) when anything failed.
    void Finish();

    CReplacingFile file;    // first member: the surface writes into it until destroyed
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    EImageFormat format;
};

enum class EAlign { Left, Center, Right };
// Draws text in the reports' font (size in points) with its baseline at y,
// aligned at x; returns its width.
double Text(cairo_t* cr, double x, double y, const std::string& text, double size, EAlign align = EAlign::Left,
            bool bold = false);
double TextWidth(cairo_t* cr, const std::string& text, double size, bool bold = false);
// The text cut at a whole character (with "…") so that it fits width.
std::string FitText(cairo_t* cr, std::string text, double size, double width, bool bold = false);

// What the report shows of the sample.
struct CReportSample {
    std::string id;                                             // UserSampleID
    std::vector<std::pair<std::string, std::string>> fields;    // label, value (visible fields)
    std::string measuredBy;
    std::string measured;                                       // date text
    std::string signature;                                      // empty: not signed
    // The standing signatures, oldest first: "name, meaning, YYYY-MM-DD HH:MM:SS UTC".
    std::vector<std::string> signatures;
    int revision = 0;                                           // changes after the first signature
};

// Draws the hardness-depth diagram of a run into the rectangle (points).
// title: drawn above the plot when not empty.
void DrawDiagram(cairo_t* cr, double x, double y, double width, double height, const CRunEvaluation& run,
                 const std::string& title);

// Writes the report: the sample's registration data, then per run the
// diagram and the results table, and the lines to sign. progress is called
// after each page. Throws CToolError when the file cannot be written.
void WriteReport(const std::string& path, const CReportSample& sample, const std::vector<CRunEvaluation>& runs,
                 const std::function<void()>& progress = {});
// Writes the diagrams of the runs alone, one below the other.
void WriteDiagrams(const std::string& path, const std::string& sampleId, const std::vector<CRunEvaluation>& runs);

// The report's view of a sample: its visible registration fields with their
// labels, who measured it and when, and its signature.
CReportSample ReportSampleOf(CZENDatabase& db, const CZENDB_Sample& sample);
// The stored meaning of a signature ("reviewed", "approved") in the reader's
// language; any other text as it is.
std::string SignatureMeaningName(const CString& meaning);
// Evaluates the sample's runs (only run `number` when it is above 0);
// CToolError when that run does not exist.
std::vector<CRunEvaluation> EvaluateSampleRuns(CZENDatabase& db, const CZENDB_Sample& sample, int number = 0);

} // namespace zendb
