// Evaluation of stored profile runs for zendb: everything the library
// computes for a run by its own settings (case depths with their limit
// hardness, core hardness, extremes, mean, standard deviation, the Gaussian
// fit) gathered into one record, plus the indents per lane and the merged
// profile that the diagram draws. Depths are in mm, hardness in HV/HK with
// the Rockwell equivalent where one exists (-1.0: none).
#pragma once

#include "Output.h"

#include "ZENDatabase.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace zendb {

// One hardness number in the scale of the indentor and in Rockwell.
struct CHardness {
    double hvhk = -1.0;
    HardnessType scale = HV;            // HV or HK
    double rockwell = -1.0;
    HardnessType rockwellScale = HV;    // HRB or HRC when rockwell >= 0

    static CHardness From(const CHardnessValue& value);
    // A number that can be shown: finite and not the "none" value.
    bool Valid() const { return std::isfinite(hvhk) && hvhk >= 0.0; }
    bool HasRockwell() const { return std::isfinite(rockwell) && rockwell >= 0.0; }
    bool Finite() const { return std::isfinite(hvhk) && std::isfinite(rockwell); }
    // "550 HV", "52.3 HRC"; empty when missing, "not finite" for an
    // overflowed or undefined number.
    std::string Text(int decimals = 0) const;
    std::string RockwellText(int decimals = 1) const;
    nlohmann::ordered_json Json() const;
};

// "HV", "HK", "HRB", "HRC".
std::string ScaleName(HardnessType type);

struct CPlotIndent {
    double depth = 0.0;         // mm
    double axis = 0.0;          // mm
    double d1 = 0.0;            // µm
    double d2 = 0.0;
    double load = 0.0;          // gf
    IndentorType indentor = Vickers;
    CHardness hardness;
    int lane = 0;               // 0-based: rank of its distance from the axis among the run's positions
};

struct CMergedPoint {
    double depth = 0.0;         // mm
    CHardness hardness;
};

struct CCaseDepth {
    int index = 0;              // 0-based limit number
    int field = 0;              // 1..4: the ECDnAt setting the limit comes from; 0: not a fixed limit
    // The number the limit goes by in output: its ECDnAt field, else index + 1.
    int Number() const { return field > 0 ? field : index + 1; }
    CHardness limit;
    double depth = -1.0;        // mm, in HV/HK; -1.0: not found
    double depthRockwell = -1.0;// mm, found in the Rockwell scale; -1.0: not found or no scale
    // With a Gaussian fit: the depth interpolated between the merged points
    // (HV/HK), shown beside the fit's; -1.0: not found or no fit.
    double depthInterpolated = -1.0;
};

struct CRunEvaluation {
    int32_t profileID = -1;
    int32_t profileNr = -1;
    std::string profileName;
    std::string position;
    ProfileCalculationSettings calc;
    ProfileDiagramSettings diagram;
    std::vector<CPlotIndent> indents;
    std::vector<CMergedPoint> merged;
    int lanes = 0;
    bool hasIndentor = false;
    IndentorType indentor = Vickers;
    double testLoad = 0.0;      // gf of the first made indent
    std::vector<CCaseDepth> caseDepths;
    // The hardness of the shallowest merged point, the surface hardness the
    // DIN 50190-2 limit is taken from; none when that point holds no hardness.
    std::optional<CHardness> surface;
    std::optional<CHardness> core;
    CHardness minimum;
    CHardness maximum;
    CHardness mean;             // HV/HK; rockwell from the Rockwell mean
    double stdDev = -1.0;       // HV/HK
    double stdDevRockwell = -1.0;
    bool rockwellScale = false; // every merged value has a common Rockwell scale
    HardnessType commonRockwell = HV;
    bool gaussian = false;      // a Gaussian was fitted (CurveType 1)
    double gaussA = 0.0, gaussW = 0.0, gaussY0 = 0.0;           // HV/HK
    bool gaussianRockwell = false;
    double gaussRA = 0.0, gaussRW = 0.0, gaussRY0 = 0.0;        // Rockwell
    // Every stored number the results rest on is finite (positions,
    // diagonals, loads, hardness, limits, depths).
    bool finite = true;
    // What a reader must know beside the numbers: values that are not
    // finite, a pattern meant for another indentor, a fit that contradicts
    // the measured points. One sentence each.
    std::vector<std::string> warnings;

    // Whether the first case depth lies in the run's tolerance band (when it
    // has one, the depth was found and every value it rests on is finite).
    std::optional<bool> WithinTolerance() const;
    nlohmann::ordered_json Json() const;
};

// Loads the run with its made indents and evaluates it. Throws CToolError
// when the run cannot be loaded.
CRunEvaluation EvaluateRun(CZENDatabase& db, int32_t profileID);

// Renders the evaluations of a sample's runs for `evaluate`.
void PrintEvaluations(const CZENDB_Sample& sample, const std::vector<CRunEvaluation>& runs, EOutputFormat format);
// The result rows of one run as people read them (Result, Hardness,
// Rockwell, Depth), shared by `evaluate` and the report.
COutputTable ResultTable(const CRunEvaluation& run);
// "HV1", "HK0.5": the scale with the test load in kgf.
std::string ScaleWithLoad(const CRunEvaluation& run);

} // namespace zendb
