// Cost of string-table lookups in the operator's language: LoadResString over
// every id of the table under the C locale (shipped texts, only the language
// check added) and under Spanish and English (catalogue lookups), against the
// baseline of copying the same shipped texts into CString without any lookup.
#include "framework/CString.h"
#include "framework/StringTable.h"
#include "framework/Translation.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Sets the message locale for one benchmark, restored afterwards.
class CLocale {
public:
    explicit CLocale(const char* lang)
    {
        if (const char* old = std::getenv("LANG"))
            m_old = old;
        setenv("LANG", lang, 1);
        unsetenv("LANGUAGE");
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        ZenSetLanguage("");
    }
    ~CLocale() { setenv("LANG", m_old.c_str(), 1); }
    CLocale(const CLocale&) = delete;
    CLocale& operator=(const CLocale&) = delete;

private:
    std::string m_old = "C.UTF-8";
};

void LookUpAll(benchmark::State& state, const char* lang)
{
    CLocale locale(lang);
    const std::vector<UINT> ids = ZenGetStringTableIds();
    for (auto _ : state) {
        for (UINT id : ids)
            benchmark::DoNotOptimize(LoadResString(id));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ids.size()));
}

void BM_Baseline_CopyShippedTexts(benchmark::State& state)
{
    CLocale locale("C.UTF-8");
    std::vector<std::string> texts;
    for (UINT id : ZenGetStringTableIds())
        texts.push_back(LoadResString(id).Str());
    for (auto _ : state) {
        for (const std::string& text : texts)
            benchmark::DoNotOptimize(CString(text.c_str()));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

void BM_LoadResString_CLocale(benchmark::State& state)
{
    LookUpAll(state, "C.UTF-8");
}

void BM_LoadResString_Spanish(benchmark::State& state)
{
    LookUpAll(state, "es_ES.UTF-8");
}

void BM_LoadResString_English(benchmark::State& state)
{
    LookUpAll(state, "en_US.UTF-8");
}

} // namespace

BENCHMARK(BM_Baseline_CopyShippedTexts);
BENCHMARK(BM_LoadResString_CLocale);
BENCHMARK(BM_LoadResString_Spanish);
BENCHMARK(BM_LoadResString_English);

BENCHMARK_MAIN();
