// Embedding scoring on one core: the cosine ranking of a query against 10k and
// 100k stored vectors of 384 dimensions (random normal values, 12-char ids).
//
//   BM_EmbeddingScores  the whole ranking as recall asks for it: cosine of
//                       every vector, keep the positive ones, order them and
//                       return the best 100 (ids copied out)
//   BM_CosineScan       the scan alone (dot products, norms, the positive
//                       filter), comparable to a matrix-vector product
//   BM_EmbeddingScoresOfATenth
//                       the ranking of one tenth of the vectors (a recall's
//                       candidates in one namespace of ten), listed by id:
//                       rows stored side by side (layout 0) or every tenth
//                       row (layout 1); /listed:0 gives only their number,
//                       so every vector is scored and the best are tested
//                       one by one instead
//   BM_LoadFromLog      the first load after a session that put every
//                       vector: the log read, replayed and compacted into
//                       the snapshot (forced), the log deleted
//   BM_LoadFromSnapshot a later load: the snapshot read into the matrix
//
// bench/embedding_numpy.py times numpy's matrix-vector product on the same
// shapes. Stores are built once per size through the public put (frames in a
// temporary directory); building, and copying the files a load starts from,
// is not timed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>

#include "base/string_hash.h"
#include "index/embedding_store.h"

namespace {

using namespace vesk;

constexpr size_t kDim = 384;

std::vector<float> random_vector(std::mt19937& rng) {
  std::normal_distribution<float> normal(0.0f, 1.0f);
  std::vector<float> v(kDim);
  for (float& x : v) x = normal(rng);
  return v;
}

std::string row_id(size_t i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%012zx", i * 2654435761u);
  return buf;
}

struct Fixture {
  std::filesystem::path dir;
  std::unique_ptr<EmbeddingStore> store;
  EmbeddingMatrix matrix;
  ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& fixture(size_t rows) {
  static std::map<size_t, std::unique_ptr<Fixture>> cache;
  auto& slot = cache[rows];
  if (slot) return *slot;
  slot = std::make_unique<Fixture>();
  std::string tmpl = (std::filesystem::temp_directory_path() / "vesk-bench-XXXXXX").string();
  slot->dir = ::mkdtemp(tmpl.data());
  auto loaded = load_embedding_store(slot->dir, nullptr, [](std::string_view) { return true; }, Env::Default());
  slot->store = std::move(loaded->store);
  std::mt19937 rng(42);
  for (size_t i = 0; i < rows; ++i) {
    auto v = random_vector(rng);
    (void)embedding_store_put(*slot->store, row_id(i), v);
    slot->matrix.set(row_id(i), v);
  }
  return *slot;
}

void BM_EmbeddingScores(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  std::mt19937 rng(7);
  std::optional<std::vector<float>> query = random_vector(rng);
  for (auto _ : state) {
    auto ranked = embedding_scores(*f.store, query, 100);
    benchmark::DoNotOptimize(ranked);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * state.range(0) * kDim * sizeof(float)));
}

void BM_CosineScan(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  std::mt19937 rng(7);
  std::vector<float> query = random_vector(rng);
  std::vector<std::pair<float, uint32_t>> hits;
  hits.reserve(f.matrix.rows());
  for (auto _ : state) {
    hits.clear();
    f.matrix.positive_cosines(query, hits);
    benchmark::DoNotOptimize(hits.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * state.range(0) * kDim * sizeof(float)));
}

void BM_EmbeddingScoresOfATenth(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  const size_t rows = f.matrix.rows();
  std::vector<std::string> ids;
  StringSet accepted;
  for (size_t i = 0; i < rows; ++i) {
    const bool chosen = state.range(1) == 0 ? i / (rows / 10) == 3 : i % 10 == 3;
    if (!chosen) continue;
    ids.push_back(row_id(i));
    accepted.insert(row_id(i));
  }
  EmbeddingCandidates candidates{.accepts = [&](std::string_view id) { return accepted.contains(id); },
                                 .list = {},
                                 .listed = ids.size()};
  if (state.range(2) == 1) {
    candidates.list = [&](const std::function<void(std::string_view)>& visit) {
      for (const std::string& id : ids) visit(id);
    };
  }
  std::mt19937 rng(7);
  std::optional<std::vector<float>> query = random_vector(rng);
  for (auto _ : state) {
    auto ranked = embedding_scores(*f.store, query, 100, &candidates);
    benchmark::DoNotOptimize(ranked);
  }
}

// A load's files: a copy of the fixture's log (the fixture's store is still
// open and never compacted, so its log holds every put), or what a load of
// that copy leaves, the snapshot alone.
std::filesystem::path load_dir(Fixture& f, bool snapshot) {
  const std::filesystem::path dir = f.dir / (snapshot ? "from-snapshot" : "from-log");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(f.dir / "embeddings.log", dir / "embeddings.log");
  if (snapshot) (void)load_embedding_store(dir, nullptr, [](std::string_view) { return true; }, Env::Default());
  return dir;
}

void load_bench(benchmark::State& state, bool snapshot) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    const std::filesystem::path dir = load_dir(f, snapshot);
    state.ResumeTiming();
    auto loaded = load_embedding_store(dir, nullptr, [](std::string_view) { return true; }, Env::Default());
    state.PauseTiming();
    if (!loaded.ok() || loaded->store->size() != f.matrix.rows()) {
      state.SkipWithError("load failed");
      return;
    }
    loaded = Status::Ok();  // the store's teardown is not timed
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * state.range(0)));
}

void BM_LoadFromLog(benchmark::State& state) { load_bench(state, false); }
void BM_LoadFromSnapshot(benchmark::State& state) { load_bench(state, true); }

BENCHMARK(BM_EmbeddingScores)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EmbeddingScoresOfATenth)
    ->ArgNames({"vectors", "layout", "listed"})
    ->Args({100000, 0, 1})
    ->Args({100000, 1, 1})
    ->Args({100000, 0, 0})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CosineScan)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFromLog)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadFromSnapshot)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
