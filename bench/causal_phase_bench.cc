// The causal phase of a maintenance cycle on one core, at 10k and 100k
// records over 4 namespaces (half in "default"), every tenth record naming
// an earlier record of its namespace as its cause, no settled beliefs (every
// signature an orphan, the causal layer's worst case: one pattern per edge).
//
//   spread   one record a minute: each record has a week of successors, so
//            every namespace stops at the temporal edge cap
//   window   all records inside one 7-day window (the same, denser)
//   skipped  the second run over an unchanged corpus: the fingerprint only
//
// Each iteration starts from an empty engine, except "skipped", which starts
// from the engine a first run left. Counters: edges, patterns.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "maintenance/layer_phases.h"

namespace {

using namespace vesk;

CycleSnapshot make_corpus(size_t n, double spacing) {
  const char* namespaces[] = {"default", "work", "personal", "research"};
  std::mt19937_64 g(7);
  std::vector<std::string> last_in_ns[4];
  CycleSnapshot records;
  for (size_t i = 0; i < n; ++i) {
    Record r;
    r.id = "m" + std::to_string(i);
    const uint64_t pick = g() % 8;
    const size_t ns = pick < 4 ? 0 : pick - 4 < 3 ? pick - 3 : 3;
    r.namespace_ = namespaces[ns];
    r.content = "memory " + std::to_string(i) + " about topic " + std::to_string(g() % 50);
    r.tags = {"topic" + std::to_string(g() % 50)};
    r.created_at = 1.7e9 + spacing * static_cast<double>(i);
    auto& earlier = last_in_ns[ns];
    if (i % 10 == 0 && !earlier.empty()) r.caused_by_id = earlier[g() % earlier.size()];
    earlier.push_back(r.id);
    records[r.id] = std::move(r);
  }
  return records;
}

void run(benchmark::State& state, double spacing, bool skipped) {
  const CycleSnapshot records = make_corpus(static_cast<size_t>(state.range(0)), spacing);
  const BeliefEngine beliefs;
  CausalEngine start;
  if (skipped) discover_causal_patterns(start, beliefs, records, 1.8e9);
  CausalEngine engine;
  CausalPhaseReport r;
  for (auto _ : state) {
    state.PauseTiming();
    engine = start;
    state.ResumeTiming();
    r = discover_causal_patterns(engine, beliefs, records, 1.8e9);
    benchmark::DoNotOptimize(r);
  }
  state.counters["edges"] = static_cast<double>(r.edges_found);
  state.counters["patterns"] = static_cast<double>(engine.patterns.size());
}

void BM_CausalPhaseSpread(benchmark::State& state) { run(state, 60.0, false); }
void BM_CausalPhaseOneWindow(benchmark::State& state) { run(state, 604800.0 / 200'000, false); }
void BM_CausalPhaseSkipped(benchmark::State& state) { run(state, 60.0, true); }
BENCHMARK(BM_CausalPhaseSpread)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CausalPhaseOneWindow)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CausalPhaseSkipped)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
