// The concept phase of a maintenance cycle on one core, at 10k and 100k
// records of the belief phase bench's corpus shape: 50 topic tags, up to two
// of 12 extra tags per record, 4 namespaces, contents of one template
// sentence per topic with a few words of their own. Two belief phases run
// first, outside the timing, so the beliefs reach stability 2 and qualify
// as seeds. Each iteration rebuilds the concept layer from the same beliefs.
// Counters: seeds, pairs measured, candidates built.
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
  BeliefEngine beliefs;
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
  update_beliefs(c.beliefs, c.records, c.sdrs, Env::Default());
  update_beliefs(c.beliefs, c.records, c.sdrs, Env::Default());
  return c;
}

void BM_ConceptPhase(benchmark::State& state) {
  const Corpus corpus = make_corpus(static_cast<size_t>(state.range(0)));
  ConceptEngine engine;
  ConceptPhaseReport r;
  for (auto _ : state) {
    r = discover_concepts(engine, corpus.beliefs, corpus.records, corpus.sdrs, Env::Default());
    benchmark::DoNotOptimize(r);
  }
  state.counters["seeds"] = static_cast<double>(r.seeds_found);
  state.counters["pairs"] = static_cast<double>(r.pairwise_comparisons);
  state.counters["candidates"] = static_cast<double>(r.candidates_found);
}
BENCHMARK(BM_ConceptPhase)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
