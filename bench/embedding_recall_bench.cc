// Embedding recall in a store of many namespaces: 100k records in ten
// namespaces of 10k, one 384-dimension vector each (random normal values),
// fusion mode "embedding_only", top_k 10, one thread. The query text matches
// no record lexically, so the embedding ranking decides the answer.
//
//   BM_EmbeddingRecall/layout:0  the records stored namespace after namespace
//                                (ten conversations taken in one by one)
//   BM_EmbeddingRecall/layout:1  the records stored round robin, so every
//                                namespace is spread over the whole store
//   namespaces:1                 a recall in one namespace ("ns3")
//   namespaces:10                a recall over all ten (the whole store)
//
// Each figure is Vesk::recall_ranked (the recall core without its
// bookkeeping), the query's vector from a C++ embedding function. The
// "results" counter is the mean number of results.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/vesk.h"

namespace {

using namespace vesk;

constexpr size_t kRecords = 100000;
constexpr size_t kNamespaces = 10;
constexpr size_t kDim = 384;

std::vector<float> random_vector(std::mt19937& rng) {
  std::normal_distribution<float> normal(0.0f, 1.0f);
  std::vector<float> v(kDim);
  for (float& x : v) x = normal(rng);
  return v;
}

struct Fixture {
  std::filesystem::path dir;
  std::unique_ptr<Vesk> store;
};

std::map<int, std::unique_ptr<Fixture>>& fixtures() {
  static std::map<int, std::unique_ptr<Fixture>> built;
  return built;
}

// layout 0: namespace after namespace; 1: round robin.
Fixture& fixture(int layout) {
  auto& f = fixtures()[layout];
  if (f) return *f;
  f = std::make_unique<Fixture>();
  char tmpl[] = "/tmp/vesk-embedding-recall-bench-XXXXXX";
  f->dir = ::mkdtemp(tmpl);
  auto opened = Vesk::open(f->dir, std::nullopt);
  if (!opened.ok()) {
    std::fprintf(stderr, "open: %s\n", opened.status().message().c_str());
    std::exit(1);
  }
  f->store = std::move(opened).value();
  std::mt19937 rng(42);
  const size_t per_namespace = kRecords / kNamespaces;
  for (size_t i = 0; i < kRecords; ++i) {
    const size_t ns = layout == 0 ? i / per_namespace : i % kNamespaces;
    StoreRequest r;
    r.content = "note " + std::to_string(i) + " of conversation " + std::to_string(ns);
    r.namespace_ = "ns" + std::to_string(ns);
    r.auto_promote = false;
    auto id = f->store->store(std::move(r));
    if (!id.ok()) {
      std::fprintf(stderr, "store: %s\n", id.status().message().c_str());
      std::exit(1);
    }
    if (Status st = f->store->store_embedding(*id, random_vector(rng)); !st.ok()) {
      std::fprintf(stderr, "store_embedding: %s\n", st.message().c_str());
      std::exit(1);
    }
  }
  (void)f->store->set_recall_fusion_mode("embedding_only");
  // Each query text gets its own seeded vector.
  f->store->set_embedding_fn(std::make_shared<const EmbeddingFn>([](std::string_view text) {
    std::mt19937 query_rng(static_cast<uint32_t>(std::hash<std::string_view>{}(text)));
    return std::optional<std::vector<float>>(random_vector(query_rng));
  }));
  std::fprintf(stderr, "store of %zu records (layout %d) ready\n", kRecords, layout);
  return *f;
}

void BM_EmbeddingRecall(benchmark::State& state) {
  Fixture& f = fixture(static_cast<int>(state.range(0)));
  RecallRequest r;
  r.top_k = 10;
  r.min_strength = 0.1f;
  r.expand_connections = false;
  std::vector<std::string> names;
  if (state.range(1) == 1) {
    names = {"ns3"};
  } else {
    for (size_t ns = 0; ns < kNamespaces; ++ns) names.push_back("ns" + std::to_string(ns));
  }
  r.namespaces = names;
  const std::vector<std::string> queries = {"qqx alpha", "qqx beta", "qqx gamma", "qqx delta"};
  size_t i = 0, found = 0;
  for (auto _ : state) {
    r.query = queries[i++ % queries.size()];
    found += f.store->recall_ranked(r, Env::Default().now_seconds()).size();
  }
  state.counters["results"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EmbeddingRecall)
    ->ArgNames({"layout", "namespaces"})
    ->Args({0, 1})
    ->Args({0, 10})
    ->Args({1, 1})
    ->Args({1, 10})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (auto& [layout, f] : fixtures()) {
    (void)f->store->close();
    f->store.reset();  // before the directory goes and before static destruction
    std::error_code ec;
    std::filesystem::remove_all(f->dir, ec);
  }
  return 0;
}
