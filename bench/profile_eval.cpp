// Time of one case-depth evaluation of a three-lane profile of 60 depths, for
// every Standard and both curve types, against baselines in the same run: the
// same evaluation written over plain arrays of the same raw numbers (lane mean
// and linear crossing search; lane mean and the bell fit from every start width).

#include "Paired.h"
#include "PlainGaussian.h"

#include "hardness/Indent.h"
#include "profile/Profile.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
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

// The raw numbers of the benchmark profile in list order (depth by depth, the
// lanes of one depth one after another): depth (mm) and HV of each indent.
struct RawProfile {
    std::vector<double> x;
    std::vector<double> h;
    RawProfile()
    {
        for (int i = 1; i <= kDepths; ++i) {
            for (int j = 0; j < kLanes; ++j) {
                const double d = Diagonal(LaneHardness(i * kStep, j));
                x.push_back(i * kStep);
                h.push_back(kLoad * 1854.4 / (d * d));
            }
        }
    }
};

// Buffers of the plain Gaussian evaluation, kept across evaluations.
struct PlainGaussianBuffers {
    explicit PlainGaussianBuffers(std::size_t capacity) : work(capacity)
    {
        x.reserve(capacity);
        y.reserve(capacity);
        widths.reserve(capacity);
    }
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> widths;
    zenbench::PlainGaussianWork work;
};

// The Gaussian case depth at limit L (HV) over plain arrays: lanes merged by
// their mean per depth, start values from the ends of the merged profile, one
// fit per start width through a point, the best fit's crossing with L.
double PlainGaussianDepth(const RawProfile& raw, double L, PlainGaussianBuffers& b)
{
    b.x.clear();
    b.y.clear();
    for (std::size_t k = 0; k < raw.x.size();) {
        const double depth = raw.x[k];
        double sum = 0.0;
        int n = 0;
        for (; k < raw.x.size() && raw.x[k] == depth; ++k) {
            if (raw.h[k] >= 0.0) {
                sum += raw.h[k];
                ++n;
            }
        }
        if (n > 0) {
            b.x.push_back(depth);
            b.y.push_back(sum / n);
        }
    }
    const std::size_t n = b.x.size();
    if (n < 3)
        return -1.0;

    double y0 = b.y[n - 1];
    double A = b.y[0] - y0;
    const double m = b.x[0] + (b.x[n - 1] - b.x[0]) * 0.5;
    double w = m / std::sqrt(std::log(2.0));
    b.widths.assign(n, -1.0);
    for (std::size_t i = 0; i < n; ++i) {
        if (b.y[i] > y0) {
            const double q = A / (b.y[i] - y0);
            if (q > 1.0)
                b.widths[i] = std::sqrt(b.x[i] * b.x[i] / std::log(q));
        }
    }
    bool haveBest = false;
    double bestA = 0.0, bestW = 0.0, bestY0 = 0.0, bestSS = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(b.widths[i] > 0.0))
            continue;
        double a = A, wi = b.widths[i], yi0 = y0, ss = 0.0;
        if (!zenbench::PlainFitGaussian(n, b.x.data(), b.y.data(), a, wi, yi0, ss, b.work))
            continue;
        if (!haveBest || ss < bestSS) {
            haveBest = true;
            bestA = a;
            bestW = wi;
            bestY0 = yi0;
            bestSS = ss;
        }
    }
    if (!haveBest)
        return -1.0;
    A = bestA;
    w = bestW;
    y0 = bestY0;
    if (!(y0 < L && A > 0.0 && w > 0.0))
        return -1.0;
    const double q = A / (L - y0);
    if (!(q > 1.0))
        return -1.0;
    return std::sqrt(std::log(q) * w * w);
}

// Baseline of BM_CalcCHD/standard:0/curve:1 (fixed limit 550 HV, Gaussian):
// the same algorithm over plain arrays. Its depth must equal the library's to
// the last bit, else the comparison is void and the benchmark reports an error.
void BM_BaselineGaussianPlainArrays(benchmark::State& state)
{
    const RawProfile raw;
    PlainGaussianBuffers buffers(raw.x.size());
    CProfile profile;
    FillProfile(profile, 0, 1);
    const double expected = profile.CalcCHD(false, 0);
    double depth = PlainGaussianDepth(raw, 550.0, buffers);
    if (depth != expected) {
        state.SkipWithError("plain-array depth differs from the library's");
        return;
    }
    for (auto _ : state) {
        depth = PlainGaussianDepth(raw, 550.0, buffers);
        benchmark::DoNotOptimize(depth);
    }
    state.counters["depth_mm"] = depth;
}
BENCHMARK(BM_BaselineGaussianPlainArrays)->Unit(benchmark::kMicrosecond);

// The library's Gaussian evaluation (BM_CalcCHD/standard:0/curve:1) and its
// plain-array baseline side by side, in slices of kSlice evaluations each:
// single lines measured one after the other drift with the machine, the
// counter "ratio" does not.
void BM_Paired_Gaussian(benchmark::State& state)
{
    constexpr int kSlice = 20;
    const RawProfile raw;
    PlainGaussianBuffers buffers(raw.x.size());
    CProfile profile;
    FillProfile(profile, 0, 1);
    if (PlainGaussianDepth(raw, 550.0, buffers) != profile.CalcCHD(false, 0)) {
        state.SkipWithError("plain-array depth differs from the library's");
        return;
    }
    zenbench::RunPaired(
        state, kSlice,
        [&] {
            return zenbench::TimedUs([&] {
                for (int i = 0; i < kSlice; ++i)
                    benchmark::DoNotOptimize(profile.CalcCHD(false, 0));
            });
        },
        [&] {
            return zenbench::TimedUs([&] {
                for (int i = 0; i < kSlice; ++i)
                    benchmark::DoNotOptimize(PlainGaussianDepth(raw, 550.0, buffers));
            });
        });
}
BENCHMARK(BM_Paired_Gaussian)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
