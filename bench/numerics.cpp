// Benchmarks of the bell fit and the Rockwell -> HV/HK inverse search, each
// beside baselines measured in the same run: evaluating the bell at the same
// points, the same fit over plain arrays with its work arrays allocated once,
// and one forward conversion formula.
#include "PlainGaussian.h"

#include "hardness/HardnessValue.h"
#include "numerics/CurveFit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A hardness-depth profile on the bell A = 300, w = 0.5, y0 = 400 with a
// deterministic noise of +-3 HV.
struct Profile {
    std::vector<double> x;
    std::vector<double> y;
    explicit Profile(int n)
    {
        uint32_t seed = 12345u;
        for (int k = 0; k < n; ++k) {
            const double depth = 0.05 + 1.2 * k / (n - 1);
            seed = seed * 1664525u + 1013904223u;
            x.push_back(depth);
            y.push_back(300.0 * std::exp(-depth * depth / 0.25) + 400.0 + ((seed >> 8) / 16777216.0 - 0.5) * 6.0);
        }
    }
};

// Baseline: the residual sum of squares of the bell at the profile's points,
// i.e. one pass of the model, closed form.
void BM_BellEvaluation(benchmark::State& state)
{
    const Profile p(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        double s = 0.0;
        for (size_t k = 0; k < p.x.size(); ++k) {
            const double r = CalcGaussianAt(p.x[k], 300.0, 0.5, 400.0) - p.y[k];
            s += r * r;
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_BellEvaluation)->Arg(10)->Arg(50)->Arg(200);

void BM_FitGaussian(benchmark::State& state)
{
    Profile p(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        double A = 250.0, w = 0.6, y0 = 380.0, s = 0.0;
        const int ok = FitGaussian(static_cast<int>(p.x.size()), p.x.data(), p.y.data(), A, w, y0, s);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(w);
    }
}
BENCHMARK(BM_FitGaussian)->Arg(10)->Arg(50)->Arg(200);

// Baseline of BM_FitGaussian: the same steps over plain arrays, work arrays
// allocated once outside the loop. Its parameters must equal the library's
// to the last bit, else the benchmark reports an error.
void BM_BaselineFitGaussianPlainArrays(benchmark::State& state)
{
    Profile p(static_cast<int>(state.range(0)));
    zenbench::PlainGaussianWork work(p.x.size());
    {
        double A = 250.0, w = 0.6, y0 = 380.0, s = 0.0;
        double a = A, wi = w, yi0 = y0, si = 0.0;
        const int ok = FitGaussian(static_cast<int>(p.x.size()), p.x.data(), p.y.data(), A, w, y0, s);
        const bool plainOk = zenbench::PlainFitGaussian(p.x.size(), p.x.data(), p.y.data(), a, wi, yi0, si, work);
        if ((ok != 0) != plainOk || A != a || w != wi || y0 != yi0 || s != si) {
            state.SkipWithError("plain-array fit differs from the library's");
            return;
        }
    }
    for (auto _ : state) {
        double A = 250.0, w = 0.6, y0 = 380.0, s = 0.0;
        const bool ok = zenbench::PlainFitGaussian(p.x.size(), p.x.data(), p.y.data(), A, w, y0, s, work);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(w);
    }
}
BENCHMARK(BM_BaselineFitGaussianPlainArrays)->Arg(10)->Arg(50)->Arg(200);

// Baseline: one forward formula per iteration (HV -> HRC).
void BM_ForwardConversion(benchmark::State& state)
{
    double hv = 514.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hv);
        benchmark::DoNotOptimize(CHardnessValue::HVToHRC(hv));
    }
}
BENCHMARK(BM_ForwardConversion);

// Inverse search; args: indentor (1 Vickers, 2 Knoop), scale (2 HRB, 3 HRC).
void BM_ConvertToHVHK(benchmark::State& state)
{
    const auto indentor = static_cast<IndentorType>(state.range(0));
    const auto type = static_cast<HardnessType>(state.range(1));
    double rockwell = (type == HRB) ? 80.0 : 50.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rockwell);
        benchmark::DoNotOptimize(CHardnessValue::ConvertToHVHK(rockwell, indentor, type));
    }
    state.SetLabel((indentor == Vickers ? std::string("Vickers ") : std::string("Knoop ")) +
                   (type == HRB ? "HRB" : "HRC"));
}
BENCHMARK(BM_ConvertToHVHK)->Args({Vickers, HRB})->Args({Vickers, HRC})->Args({Knoop, HRB})->Args({Knoop, HRC});

} // namespace

BENCHMARK_MAIN();
