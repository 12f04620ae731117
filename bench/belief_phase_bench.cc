// The belief phase of a maintenance cycle on one core, at 10k and 100k
// records of a corpus shaped like the end-to-end one: 50 topic tags, each
// record tagged with its topic and up to two of 12 extra tags, spread over 4
// namespaces (half in "default"), contents of one template sentence per topic
// with a few words of their own. SDRs are encoded once, outside the timing.
// Each iteration starts from an empty belief layer (the first cycle of a
// store) and, in the "again" variant, from the layer one phase left behind
// (every later cycle). Counters: beliefs made, pairs whose similarity was
// measured, pairs skipped (already joined, or ruled out by the SDR sizes).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "base/env.h"
#include "bench_text.h"
#include "maintenance/layer_phases.h"

namespace {

using namespace vesk;

struct Corpus {
  CycleSnapshot records;
  CycleSdrMap sdrs;
};

Corpus make_corpus(size_t n) {
  const std::vector<std::string> words = syllable_vocabulary(2000);
  const char* extra[] = {"work", "personal", "followup", "urgent", "reference", "todo",
                         "q3",   "planning", "family",   "health", "finance",   "travel"};
  const char* namespaces[] = {"default", "work", "personal", "research"};
  std::mt19937_64 g(11);
  Corpus c;
  for (size_t i = 0; i < n; ++i) {
    const size_t topic = g() % 50;
    Record r;
    r.id = "m" + std::to_string(i);
    const uint64_t ns = g() % 20;
    r.namespace_ = namespaces[ns < 10 ? 0 : ns < 15 ? 1 : ns < 18 ? 2 : 3];
    r.tags.push_back("topic" + std::to_string(topic));
    for (uint64_t k = g() % 3; k > 0; --k) r.tags.push_back(extra[g() % 12]);
    std::mt19937_64 t(topic);
    for (int w = 0; w < 8; ++w) r.content += words[t() % words.size()] + " ";
    for (int w = 0; w < 5; ++w) r.content += words[g() % words.size()] + " ";
    c.sdrs[r.id] = std::make_shared<const Sdr>(encode_sdr(SdrEncoder{}, r.content, SdrRange::General, SdrCase::Fold));
    c.records[r.id] = std::move(r);
  }
  return c;
}

void run(benchmark::State& state, bool again) {
  const Corpus corpus = make_corpus(static_cast<size_t>(state.range(0)));
  BeliefEngine start;
  if (again) update_beliefs(start, corpus.records, corpus.sdrs, Env::Default());
  BeliefEngine engine;
  BeliefPhaseReport r;
  ClaimPairCounts pairs;
  for (auto _ : state) {
    state.PauseTiming();
    engine = start;
    pairs = ClaimPairCounts{};
    state.ResumeTiming();
    r = update_beliefs(engine, corpus.records, corpus.sdrs, Env::Default(), &pairs);
    benchmark::DoNotOptimize(r);
  }
  state.counters["beliefs"] = static_cast<double>(r.total_beliefs);
  state.counters["pairs_measured"] = static_cast<double>(pairs.measured);
  state.counters["pairs_skipped"] = static_cast<double>(pairs.skipped);
}

void BM_BeliefPhaseFirst(benchmark::State& state) { run(state, false); }
void BM_BeliefPhaseAgain(benchmark::State& state) { run(state, true); }
BENCHMARK(BM_BeliefPhaseFirst)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BeliefPhaseAgain)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
