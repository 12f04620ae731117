// The explained recall beside the structured recall it explains, and
// labelled snapshots, over a store of 100k records of about 200 characters
// (no embeddings, one thread). The store is filled once through the store
// road; each query is three words of a stored record.
//
//   structured/top_k 20   recall_structured(top_k=20) on a cache miss (a
//                         session id keeps it out of the cache): the recall
//                         core with its bookkeeping
//   explain/top_k 20      explain_recall(top_k=20): both pipeline runs, the
//                         rerank, items and rejected candidates, and the
//                         replay history saved (a forced file write);
//                         work_ms is the explanation's own latency_ms, the
//                         save left out
//   correction_log        read_correction_log() over the audit journal the
//                         fill wrote (what an explanation reads only when a
//                         result names a causal pattern)
//   snapshot              snapshot(label) of the whole store: the flush,
//                         the JSON text, the forced atomic write
//   rollback              rollback(label) to that snapshot: read, parse,
//                         rebuild the map and its tables
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_text.h"
#include "store/vesk.h"

namespace {

using namespace vesk;

constexpr size_t kRecords = 100000;

std::string memory_text(std::mt19937_64& rng) {
  static const std::vector<std::string> vocabulary = syllable_vocabulary(5000);
  std::string text;
  while (text.size() < 190) {
    if (!text.empty()) text += ' ';
    text += vocabulary[rng() % vocabulary.size()];
  }
  return text;
}

struct Fixture {
  std::filesystem::path dir;
  std::unique_ptr<Vesk> store;
  std::vector<std::string> queries;
};

Fixture& fixture() {
  static std::unique_ptr<Fixture> f;
  if (f) return *f;
  f = std::make_unique<Fixture>();
  char tmpl[] = "/tmp/vesk-explain-bench-XXXXXX";
  f->dir = ::mkdtemp(tmpl);
  auto opened = Vesk::open(f->dir / "mem.db", std::nullopt);
  if (!opened.ok()) {
    std::fprintf(stderr, "open: %s\n", opened.status().message().c_str());
    std::exit(1);
  }
  f->store = std::move(opened).value();
  std::mt19937_64 rng(42);
  for (size_t i = 0; i < kRecords; ++i) {
    StoreRequest r;
    r.content = memory_text(rng);
    r.tags = std::vector<std::string>{"topic-" + std::to_string(rng() % 50)};
    r.auto_promote = false;
    if (i % 997 == 0) {
      size_t a = r.content.find(' ', r.content.size() / 3), b = r.content.find(' ', a + 1);
      size_t c = r.content.find(' ', b + 1), d = r.content.find(' ', c + 1);
      f->queries.push_back(r.content.substr(a + 1, d - a - 1));
    }
    if (auto id = f->store->store(std::move(r)); !id.ok()) {
      std::fprintf(stderr, "store: %s\n", id.status().message().c_str());
      std::exit(1);
    }
  }
  std::fprintf(stderr, "store of %zu records ready, %zu queries\n", kRecords, f->queries.size());
  return *f;
}

double millis_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void report_median(benchmark::State& state, const char* name, std::vector<double>& ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  state.counters[name] = ms[ms.size() / 2];
}

void BM_Structured(benchmark::State& state) {
  Fixture& f = fixture();
  size_t i = 0;
  std::vector<double> ms;
  for (auto _ : state) {
    const std::string& q = f.queries[i++ % f.queries.size()];
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(f.store->recall_structured(q, 20, std::nullopt, std::nullopt, std::string("bench")));
    ms.push_back(millis_since(t0));
  }
  report_median(state, "median_ms", ms);
}
BENCHMARK(BM_Structured)->Name("structured/top_k:20")->Unit(benchmark::kMillisecond);

void BM_Explain(benchmark::State& state) {
  Fixture& f = fixture();
  size_t i = 0;
  std::vector<double> ms, work;
  double rejected = 0;
  for (auto _ : state) {
    const std::string& q = f.queries[i++ % f.queries.size()];
    auto t0 = std::chrono::steady_clock::now();
    Result<RecallExplanation> e = f.store->explain_recall(q, 20);
    ms.push_back(millis_since(t0));
    if (e.ok()) {
      work.push_back(e->latency_ms);
      rejected += static_cast<double>(e->decision_summary.rejected_count);
    }
  }
  report_median(state, "median_ms", ms);
  report_median(state, "work_ms", work);
  state.counters["rejected"] = rejected / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Explain)->Name("explain/top_k:20")->Unit(benchmark::kMillisecond);

// What an explanation saves by reading the correction log only when a
// result names a causal pattern: one walk of the audit journal's file.
void BM_CorrectionLog(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.store->read_correction_log());
}
BENCHMARK(BM_CorrectionLog)->Name("correction_log/records:100000")->Unit(benchmark::kMillisecond);

void BM_Snapshot(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    Result<fs::path> path = f.store->snapshot("bench");
    if (!path.ok()) state.SkipWithError(path.status().message().c_str());
  }
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(f.dir / "mem_snapshot_bench.json", ec);
  state.counters["file_mb"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_Snapshot)->Name("snapshot/records:100000")->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Rollback(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.store->snapshot("bench").ok()) state.SkipWithError("snapshot failed");
  for (auto _ : state) {
    Result<uint64_t> n = f.store->rollback("bench");
    if (!n.ok()) state.SkipWithError(n.status().message().c_str());
  }
}
BENCHMARK(BM_Rollback)->Name("rollback/records:100000")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  fixture();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Fixture& f = fixture();
  (void)f.store->close();
  f.store.reset();
  std::error_code ec;
  std::filesystem::remove_all(f.dir, ec);
  return 0;
}
