// The cognitive layer files at scale: a belief layer of 100,000 beliefs
// (with their hypotheses, key and record indexes; two shapes, see
// belief_layer) saved to "beliefs.cog" through the layer save path, forcing
// it to disk included, and loaded back as an open loads it; and one decay of a co-recall graph of
// 100,000 nodes with five edges each, alone and as the maintenance step that
// also copies and saves the graph. Counters give the file sizes and the
// edges per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cognitive/surface_loaders.h"
#include "cognitive/surface_savers.h"
#include "cognitive/topology_decay.h"

namespace {

using namespace vesk;

constexpr int kBeliefs = 100'000;
constexpr int kNodes = 100'000;
constexpr int kEdgesPerNode = 5;

std::string hex12(uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%012llx", static_cast<unsigned long long>(n) * 2654435761ull);
  return std::string(buf, 12);
}

std::string record_id(int n) { return hex12(static_cast<uint32_t>(n)); }

// Two shapes of a layer of kBeliefs beliefs:
//   typical: short ids ("b" or "h" and 12 hex digits), every other belief a
//            singleton, one to three records per hypothesis, each record in
//            the record index;
//   heavy:   long ids ("belief-{12 hex}-h0"), two hypotheses of two records
//            per belief.
enum Shape : int64_t { kTypical = 0, kHeavy = 1 };

BeliefEngine belief_layer(Shape shape) {
  BeliefEngine e;
  e.beliefs.reserve(kBeliefs);
  e.hypotheses.reserve(2 * kBeliefs);
  for (int i = 0; i < kBeliefs; ++i) {
    Belief b;
    b.id = shape == kHeavy ? "belief-" + record_id(i) : "b" + record_id(i);
    b.key = "work|fact|kiln-" + std::to_string(i % 977) + "|" + std::to_string(i);
    b.score = 0.75f + static_cast<float>(i % 100) / 1000.0f;
    b.confidence = 0.61f;
    b.support_mass = 3.5f;
    b.conflict_mass = 1.25f;
    b.stability = 0.8125f;
    b.volatility = 0.1f;
    b.world_verdict = WorldVerdict::EvidenceDebt;
    b.last_updated = 1750000000.123456 + i;
    const int hypotheses = shape == kHeavy ? 2 : 1 + i % 2;
    b.state = hypotheses == 1 ? BeliefState::Singleton : BeliefState::Resolved;
    for (int h = 0; h < hypotheses; ++h) {
      Hypothesis y;
      y.id = shape == kHeavy ? b.id + "-h" + std::to_string(h) : "h" + hex12(static_cast<uint32_t>(2 * i + h));
      y.belief_id = b.id;
      const int records = shape == kHeavy ? 2 : 1 + (i + h) % 3;
      for (int k = 0; k < records; ++k) y.prototype_record_ids.push_back(record_id(4 * i + 2 * h + k));
      y.score = 0.5f;
      y.confidence = 0.25f + static_cast<float>(h) / 8.0f;
      y.support_mass = 2.0f;
      y.conflict_mass = 0.5f;
      y.recency = 0.9f;
      y.consistency = 0.7f;
      if (shape == kHeavy) {
        e.record_index[y.prototype_record_ids[0]] = y.id;
      } else {
        for (const std::string& r : y.prototype_record_ids) e.record_index[r] = y.id;
      }
      b.hypothesis_ids.push_back(y.id);
      e.hypotheses.emplace(y.id, std::move(y));
    }
    b.winner_id = b.hypothesis_ids[0];
    e.key_index[b.key] = b.id;
    e.beliefs.emplace(b.id, std::move(b));
  }
  return e;
}

Topology corecall_graph() {
  Topology g;
  g.edges.reserve(kNodes);
  for (int i = 0; i < kNodes; ++i) {
    std::vector<Edge>& out = g.edges[record_key(record_id(i))];
    for (int k = 1; k <= kEdgesPerNode; ++k) {
      // Weights spread so that about one edge in five falls out per decay.
      out.push_back(Edge{record_key(record_id((i + k) % kNodes)), 0.0104f + 0.2f * static_cast<float>(k - 1)});
    }
  }
  return g;
}

struct TempStore {
  TempStore() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vesk-layer-bench-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
  }
  ~TempStore() { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

void BM_SaveBeliefStore(benchmark::State& state) {
  const BeliefEngine engine = belief_layer(static_cast<Shape>(state.range(0)));
  state.SetLabel(state.range(0) == kHeavy ? "heavy" : "typical");
  TempStore store;
  const PersistenceTarget target{store.dir, nullptr};
  for (auto _ : state) {
    if (!save_belief_store(target, engine, Env::Default()).ok()) state.SkipWithError("save failed");
  }
  state.counters["beliefs"] = kBeliefs;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(store.dir / kBeliefStoreFile)) / 1e6;
}
BENCHMARK(BM_SaveBeliefStore)->Arg(kTypical)->Arg(kHeavy)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadBeliefStore(benchmark::State& state) {
  TempStore store;
  const PersistenceTarget target{store.dir, nullptr};
  state.SetLabel(state.range(0) == kHeavy ? "heavy" : "typical");
  if (!save_belief_store(target, belief_layer(static_cast<Shape>(state.range(0))), Env::Default()).ok())
    return state.SkipWithError("save failed");
  for (auto _ : state) {
    std::vector<StartupValidationEvent> events;
    auto loaded = std::make_unique<BeliefEngine>(
        load_belief_store(target, store.dir / kBeliefStoreFile, events, Env::Default()));
    // An open keeps what it loaded: freeing it is not part of the load.
    state.PauseTiming();
    if (loaded->beliefs.size() != kBeliefs) state.SkipWithError(events.at(0).detail->c_str());
    loaded.reset();
    state.ResumeTiming();
  }
  state.counters["beliefs"] = kBeliefs;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(store.dir / kBeliefStoreFile)) / 1e6;
}
BENCHMARK(BM_LoadBeliefStore)->Arg(kTypical)->Arg(kHeavy)->Unit(benchmark::kMillisecond)->Iterations(5);

// The decay pass alone, on a fresh copy of the graph each time.
void BM_DecayCorecallWeights(benchmark::State& state) {
  const Topology graph = corecall_graph();
  for (auto _ : state) {
    state.PauseTiming();
    Topology g = graph;
    state.ResumeTiming();
    decay_corecall_weights(g);
    benchmark::DoNotOptimize(g);
  }
  state.SetItemsProcessed(state.iterations() * kNodes * kEdgesPerNode);
}
BENCHMARK(BM_DecayCorecallWeights)->Unit(benchmark::kMillisecond)->Iterations(10);

// The maintenance step: decay under the write lock, copy under the read
// lock, save "topology.cog" with its sync.
void BM_DecayTopologyStep(benchmark::State& state) {
  const Topology graph = corecall_graph();
  TempStore store;
  const PersistenceTarget target{store.dir, nullptr};
  PlasticityState plasticity;
  for (auto _ : state) {
    state.PauseTiming();
    plasticity.topology = graph;
    state.ResumeTiming();
    decay_topology(plasticity, target, Env::Default());
  }
  state.SetItemsProcessed(state.iterations() * kNodes * kEdgesPerNode);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(store.dir / kTopologyFile)) / 1e6;
}
BENCHMARK(BM_DecayTopologyStep)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
