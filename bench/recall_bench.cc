// Text recall over a store of 10k and 100k records of about 200 characters:
// the recall core on a cache miss (SDR, BM25, n-gram and tag collectors,
// fusion, trust, rerank guards, post-recall bookkeeping), no embeddings, one
// thread. The store is filled once per size through the store road; each
// query is three words of a stored record, so every recall finds something.
//
//   recall_core/top_k 10   what `recall_structured(top_k=10)` runs on a miss
//   recall_core/top_k 20   what `recall_structured()` and its family run on a miss
//   recall_core/top_k 40   what the text recall runs on a miss
//   ranked/top_k 10        the same without the bookkeeping
//   full/top_k 20          `recall_full` (the core, then the direct matches and
//                          failure memories); also the substring index's memory
//   provenance, applicability/top_k 20
//                          `recall_provenance_ranked` and `recall_with_applicability`
//                          on a structured cache miss (a session id bypasses it)
//   acl/top_k 20           `recall_structured_acl` in enforce mode (no cache)
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "recall/applicability_entry.h"
#include "recall/provenance_rank.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"
#include "bench_text.h"

namespace {

using namespace vesk;

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

Fixture& fixture(size_t n) {
  static std::map<size_t, std::unique_ptr<Fixture>> fixtures;
  auto& f = fixtures[n];
  if (f) return *f;
  f = std::make_unique<Fixture>();
  char tmpl[] = "/tmp/vesk-recall-bench-XXXXXX";
  f->dir = ::mkdtemp(tmpl);
  auto opened = Vesk::open(f->dir, std::nullopt);
  if (!opened.ok()) {
    std::fprintf(stderr, "open: %s\n", opened.status().message().c_str());
    std::exit(1);
  }
  f->store = std::move(opened).value();
  std::mt19937_64 rng(42);
  for (size_t i = 0; i < n; ++i) {
    StoreRequest r;
    r.content = memory_text(rng);
    r.tags = std::vector<std::string>{"topic-" + std::to_string(rng() % 50)};
    r.auto_promote = false;
    if (i % 997 == 0) {
      // Three words from the middle of the text make one query.
      size_t a = r.content.find(' ', r.content.size() / 3), b = r.content.find(' ', a + 1);
      size_t c = r.content.find(' ', b + 1), d = r.content.find(' ', c + 1);
      f->queries.push_back(r.content.substr(a + 1, d - a - 1));
    }
    if (auto id = f->store->store(std::move(r)); !id.ok()) {
      std::fprintf(stderr, "store: %s\n", id.status().message().c_str());
      std::exit(1);
    }
  }
  std::fprintf(stderr, "store of %zu records ready, %zu queries\n", n, f->queries.size());
  return *f;
}

// Reports the median and the 90th percentile of single recalls beside the
// mean that Google Benchmark prints.
void report_latency(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p90_us"] = micros[micros.size() * 9 / 10];
}

void BM_RecallCore(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  RecallRequest r;
  r.top_k = static_cast<size_t>(state.range(1));
  r.min_strength = 0.1f;
  size_t i = 0, found = 0;
  std::vector<double> micros;
  for (auto _ : state) {
    r.query = f.queries[i++ % f.queries.size()];
    auto t0 = std::chrono::steady_clock::now();
    found += f.store->recall_core(r).size();
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["results"] = static_cast<double>(found) / static_cast<double>(state.iterations());
  report_latency(state, micros);
}
BENCHMARK(BM_RecallCore)
    ->ArgNames({"records", "top_k"})
    ->Args({10000, 10})
    ->Args({100000, 10})
    ->Args({100000, 20})
    ->Args({100000, 40})
    ->Unit(benchmark::kMicrosecond);

void BM_RecallRanked(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  RecallRequest r;
  r.top_k = 10;
  r.min_strength = 0.1f;
  size_t i = 0;
  for (auto _ : state) {
    r.query = f.queries[i++ % f.queries.size()];
    benchmark::DoNotOptimize(f.store->recall_ranked(r, Env::Default().now_seconds()));
  }
}
BENCHMARK(BM_RecallRanked)->ArgName("records")->Arg(100000)->Unit(benchmark::kMicrosecond);

// The queries of the fixture, and every tenth one cut to its first word, so
// that some find many direct matches.
void BM_RecallFull(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  size_t i = 0, found = 0;
  std::vector<double> micros;
  for (auto _ : state) {
    std::string q = f.queries[i % f.queries.size()];
    if (i++ % 10 == 9) q = q.substr(0, q.find(' '));
    auto t0 = std::chrono::steady_clock::now();
    found += f.store->recall_full(q, 20).size();
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["results"] = static_cast<double>(found) / static_cast<double>(state.iterations());
  const auto& substrings = VeskTestAccess::indexes(*f.store).substrings;
  state.counters["substring_index_B_per_record"] =
      static_cast<double>(substrings.read()->memory_bytes()) / static_cast<double>(state.range(0));
  report_latency(state, micros);
}
BENCHMARK(BM_RecallFull)
    ->ArgNames({"records"})
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

void BM_RecallProvenance(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  size_t i = 0;
  std::vector<double> micros;
  for (auto _ : state) {
    const std::string& q = f.queries[i++ % f.queries.size()];
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(rank_by_provenance(f.store->recall_structured(q, 20, std::nullopt, std::nullopt, "s")));
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  report_latency(state, micros);
}
BENCHMARK(BM_RecallProvenance)->ArgName("records")->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_RecallApplicability(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  const CurrentState current{{"os", {"linux"}}, {"region", {"eu", "us"}}};
  size_t i = 0;
  std::vector<double> micros;
  for (auto _ : state) {
    const std::string& q = f.queries[i++ % f.queries.size()];
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(
        annotate_applicability(f.store->recall_structured(q, 20, std::nullopt, std::nullopt, "s"), current));
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  report_latency(state, micros);
}
BENCHMARK(BM_RecallApplicability)->ArgName("records")->Arg(100000)->Unit(benchmark::kMicrosecond);

// Access-controlled recall in enforce mode for a subject with a role; the
// store's records carry no access rules, so this is the ranking plus the
// counting of the checked records.
void BM_RecallAcl(benchmark::State& state) {
  Fixture& f = fixture(static_cast<size_t>(state.range(0)));
  AccessRequest subject;
  subject.subject_id = "alice";
  subject.roles = {"ops"};
  size_t i = 0;
  std::vector<double> micros;
  for (auto _ : state) {
    const std::string& q = f.queries[i++ % f.queries.size()];
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(f.store->recall_structured_acl(q, AclEnforcement::Enforce, subject, 20));
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  report_latency(state, micros);
}
BENCHMARK(BM_RecallAcl)->ArgName("records")->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  fixture(10000);
  fixture(100000);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (size_t n : {10000, 100000}) {
    Fixture& f = fixture(n);
    (void)f.store->close();
    f.store.reset();  // before the directory goes and before static destruction
    std::error_code ec;
    std::filesystem::remove_all(f.dir, ec);
  }
  return 0;
}
