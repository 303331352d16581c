// Time of one case-depth evaluation of a three-lane profile of 60 depths, for
// every Standard and both curve types, against a baseline in the same run: the
// lane mean and a plain linear crossing search over the same raw numbers.

#include "hardness/Indent.h"
#include "profile/Profile.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kDepths = 60;
constexpr int kLanes = 3;
constexpr double kStep = 0.025;  // mm between depths
constexpr double kLoad = 1000.0; // gf

// Hardness of lane j at depth x: a bell 300*exp(-x^2/0.5^2) + 400 HV with a
// small lane offset, the shape of a case-hardened steel.
double LaneHardness(double x, int lane)
{
    return 300.0 * std::exp(-(x * x) / 0.25) + 400.0 + (lane - 1) * 4.0;
}

// The diagonal (µm) that gives hv at kLoad.
double Diagonal(double hv)
{
    return std::sqrt(kLoad * 1854.4 / hv);
}

void FillProfile(CProfile& profile, int standard, int curveType)
{
    for (int i = 1; i <= kDepths; ++i) {
        for (int j = 0; j < kLanes; ++j) {
            CZENDB_MadeIndent made(nullptr);
            made.ActualDistanceFromEdge = i * kStep;
            made.ActualDistanceFromAxis = j * 0.1;
            made.ActualTypeOfIndentor = Vickers;
            made.ActualTestload = kLoad;
            made.D1 = made.D2 = Diagonal(LaneHardness(i * kStep, j));
            profile.GetIndentList()->AddTail(new CIndent(made));
        }
    }
    CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    r.Standard = standard;
    r.CurveType = curveType;
    r.CalcECD1 = TRUE;
    r.ECD1At = 550;
    r.ECD2At = 500;
    r.DIN50190Part2ECDMethod = 1;
    r.DIN50190Part2SurfacePercentage = 80.0;
    r.DIN50190Part3AddToCore = 100;
    r.CoreHardnessNofIndents = 3;
    r.MultilaneAverageMethod = 0;
}

void BM_CalcCHD(benchmark::State& state)
{
    CProfile profile;
    FillProfile(profile, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    double depth = 0.0;
    for (auto _ : state) {
        depth = profile.CalcCHD(false, 0);
        benchmark::DoNotOptimize(depth);
    }
    state.counters["depth_mm"] = depth;
}
BENCHMARK(BM_CalcCHD)
    ->ArgNames({"standard", "curve"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// Gaussian with every point selection switched on (carbon loss, hardness
// limit, outlier refit).
void BM_CalcCHDGaussianAllOptions(benchmark::State& state)
{
    CProfile profile;
    FillProfile(profile, 0, 1);
    CZENDB_SampleProfileRun& r = *profile.GetSampleProfileRun();
    r.GaussianIgnoreSoftDueToCarbonLoss = TRUE;
    r.GaussianIgnoreIndentOverHardnessLimit = TRUE;
    r.GaussianHardnessLimit = 800;
    r.GaussianIgnoreIndentIfOutlier = TRUE;
    r.GaussianOutlierLimit = 20;
    double depth = 0.0;
    for (auto _ : state) {
        depth = profile.CalcCHD(false, 0);
        benchmark::DoNotOptimize(depth);
    }
    state.counters["depth_mm"] = depth;
}
BENCHMARK(BM_CalcCHDGaussianAllOptions)->Unit(benchmark::kMicrosecond);

void BM_MergeLanes(benchmark::State& state)
{
    CProfile profile;
    FillProfile(profile, 0, 0);
    for (auto _ : state) {
        CObList merged;
        profile.MultilaneListToSinglelaneList(merged);
        benchmark::DoNotOptimize(merged.GetCount());
        while (!merged.IsEmpty())
            delete merged.RemoveHead();
    }
}
BENCHMARK(BM_MergeLanes)->Unit(benchmark::kMicrosecond);

// Baseline: the same 180 hardness numbers in a flat array, averaged per depth
// and searched for the first fall to 550 HV, interpolated linearly.
void BM_BaselineLinearInterpolation(benchmark::State& state)
{
    std::vector<double> x(kDepths);
    std::vector<double> h(kDepths * kLanes);
    for (int i = 0; i < kDepths; ++i) {
        x[i] = (i + 1) * kStep;
        for (int j = 0; j < kLanes; ++j) {
            const double d = Diagonal(LaneHardness(x[i], j));
            h[i * kLanes + j] = kLoad * 1854.4 / (d * d);
        }
    }
    const double limit = 550.0;
    double depth = 0.0;
    for (auto _ : state) {
        depth = -1.0;
        double xPrev = -1.0;
        double hPrev = 0.0;
        for (int i = 0; i < kDepths; ++i) {
            double sum = 0.0;
            for (int j = 0; j < kLanes; ++j)
                sum += h[i * kLanes + j];
            const double mean = sum / kLanes;
            if (mean > limit) {
                xPrev = x[i];
                hPrev = mean;
            } else if (xPrev >= 0.0) {
                depth = (hPrev - limit) / (hPrev - mean) * (x[i] - xPrev) + xPrev;
                break;
            }
        }
        benchmark::DoNotOptimize(depth);
    }
    state.counters["depth_mm"] = depth;
}
BENCHMARK(BM_BaselineLinearInterpolation)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
