// Side-by-side timing of the library and its baseline in one benchmark, for
// benchmarks with or without a database: the two take turns in slices.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace zenbench {

// The library and its raw line side by side: the machine's speed drifts
// between lines measured one after the other, so the two take turns in
// slices within one benchmark (which goes first alternates), each slice
// timed on its own. The counter "ratio" is library ÷ raw over all slices,
// "library_us" and "raw_us" the time of one operation.

// f()'s time on a steady clock, in microseconds.
template <class F>
double TimedUs(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Runs the two slices once per iteration; each returns the microseconds of
// its timed part, of opsPerSlice operations.
template <class Lib, class Raw>
void RunPaired(benchmark::State& state, int64_t opsPerSlice, Lib lib, Raw raw)
{
    double libUs = 0;
    double rawUs = 0;
    bool libFirst = false;
    for (auto _ : state) {
        if (libFirst)
            libUs += lib();
        rawUs += raw();
        if (!libFirst)
            libUs += lib();
        libFirst = !libFirst;
    }
    const double ops = static_cast<double>(state.iterations() * opsPerSlice);
    state.counters["ratio"] = libUs / rawUs;
    state.counters["library_us"] = libUs / ops;
    state.counters["raw_us"] = rawUs / ops;
}

} // namespace zenbench
