// The causal pass of the recall reranking over a causal layer whose patterns
// name most records: 10k and 100k records, one Stable or Candidate pattern
// per consecutive record pair (cause i, effect i + 1), 40 results (what the
// text recall reranks at top_k 20). "off" runs the reranking with every pass
// off, the floor the causal pass adds to. The pass reads each result's
// patterns through the layer's record index, so its cost follows the
// results, not the layer.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cognitive/causal_pattern_key.h"
#include "cognitive/causal_record_index.h"
#include "recall/epistemic_rerank.h"

namespace {

using namespace vesk;

struct Layers {
  BeliefEngine beliefs;
  ConceptEngine concepts;
  CausalEngine causal;
  PolicyEngine policies;
};

const Layers& layers(size_t n) {
  static std::vector<std::pair<size_t, std::unique_ptr<Layers>>> made;
  for (auto& [size, l] : made)
    if (size == n) return *l;
  auto l = std::make_unique<Layers>();
  for (size_t i = 0; i + 1 < n; ++i) {
    CausalPattern p;
    p.key = causal_pattern_key("default", "orphan:m" + std::to_string(i), "orphan:m" + std::to_string(i + 1));
    p.id = causal_pattern_id(p.key);
    p.cause_record_ids = {"m" + std::to_string(i)};
    p.effect_record_ids = {"m" + std::to_string(i + 1)};
    p.state = i % 3 == 0 ? CausalState::Stable : CausalState::Candidate;
    l->causal.key_index[p.key] = p.id;
    l->causal.patterns[p.id] = std::move(p);
  }
  index_causal_records(l->causal);
  made.emplace_back(n, std::move(l));
  return *made.back().second;
}

std::vector<ScoredRecord> results(size_t n) {
  std::vector<ScoredRecord> out;
  for (size_t i = 0; i < 40; ++i) {
    Record r;
    r.id = "m" + std::to_string((i * 7919) % n);
    r.content = "memory " + r.id;
    out.push_back({1.0f - 0.001f * static_cast<float>(i), r});
  }
  return out;
}

void run(benchmark::State& state, bool causal_on) {
  const size_t n = static_cast<size_t>(state.range(0));
  const Layers& l = layers(n);
  const std::vector<ScoredRecord> start = results(n);
  const RerankContext context{l.beliefs,           l.concepts,
                              l.causal,            l.policies,
                              BeliefRerankMode::Off, ConceptSurfaceMode::Off,
                              causal_on,           false};
  std::vector<ScoredRecord> r;
  for (auto _ : state) {
    state.PauseTiming();
    r = start;
    state.ResumeTiming();
    epistemic_rerank(r, 20, context);
    benchmark::DoNotOptimize(r);
  }
}

void BM_CausalRerankOn(benchmark::State& state) { run(state, true); }
void BM_CausalRerankOff(benchmark::State& state) { run(state, false); }
BENCHMARK(BM_CausalRerankOn)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CausalRerankOff)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
