// Cost of storing and reading back a full trace (623 points, the most the
// 10000-byte Trace block holds) through the archive, against a plain copy of
// the same block as the baseline.
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "geometry/CCoordinateArray.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr UINT kBlockSize = 10000;

CCoordinateArray FullTrace()
{
    CCoordinateArray array;
    for (int i = 0; i < 623; ++i)
        array.AddPoint({i * 0.5, 100.0 - i * 0.25});
    return array;
}

void BM_CopyBlockBaseline(benchmark::State& state)
{
    std::vector<BYTE> source(kBlockSize, 0x5A);
    std::vector<BYTE> target(kBlockSize);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kBlockSize);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyBlockBaseline);

void BM_StoreFullTrace(benchmark::State& state)
{
    CCoordinateArray array = FullTrace();
    std::vector<BYTE> block(kBlockSize);
    for (auto _ : state) {
        CMemFile file(block.data(), kBlockSize);
        CArchive ar(&file, CArchive::store);
        array.Serialize(ar, static_cast<int>(kBlockSize));
        ar.Close();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StoreFullTrace);

void BM_LoadFullTrace(benchmark::State& state)
{
    CCoordinateArray array = FullTrace();
    std::vector<BYTE> block(kBlockSize);
    {
        CMemFile file(block.data(), kBlockSize);
        CArchive ar(&file, CArchive::store);
        array.Serialize(ar, static_cast<int>(kBlockSize));
        ar.Close();
    }
    CCoordinateArray loaded;
    for (auto _ : state) {
        CMemFile file(block.data(), kBlockSize, 1024);
        CArchive ar(&file, CArchive::load);
        loaded.Serialize(ar, -1);
        benchmark::DoNotOptimize(loaded.GetTotalNumberOfPoints());
    }
}
BENCHMARK(BM_LoadFullTrace);

} // namespace

BENCHMARK_MAIN();
