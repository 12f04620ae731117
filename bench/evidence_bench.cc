// Opening verified evidence against 10 MB sources, beside two SHA-256 passes
// over the same bytes: an opening digests the registered bytes once and the
// current bytes once (plus the 1 KB span twice), so the two figures should
// be close.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "audit/retrieval_episode.h"
#include "base/sha256.h"

namespace vesk {
namespace {

constexpr size_t kSourceBytes = 10 << 20;

const std::string& source() {
  static const std::string s = [] {
    std::string out(kSourceBytes, '\0');
    std::mt19937_64 rng(3);
    for (char& c : out) c = static_cast<char>(rng());
    return out;
  }();
  return s;
}

void BM_Sha256TwoPasses(benchmark::State& state) {
  const std::string& s = source();
  for (auto _ : state) {
    benchmark::DoNotOptimize(sha256(s));
    benchmark::DoNotOptimize(sha256(s));
  }
}
BENCHMARK(BM_Sha256TwoPasses)->Unit(benchmark::kMillisecond);

void BM_OpenVerifiedEvidence(benchmark::State& state) {
  EvidenceOpening o;
  o.record_id = "aaaaaaaaaaaa";
  o.claim_id = "c1";
  o.route = "timeline";
  o.support_keys = {"kiln"};
  o.document_id = "doc";
  o.revision_id = "r1";
  o.registered_source_bytes = source();
  o.current_source_bytes = source();
  o.byte_start = 4096;
  o.byte_end = 5120;
  o.verification_status = "verified";
  o.answer_permission = "cite";
  for (auto _ : state) {
    RetrievalEpisode episode;
    episode.routes = {MemoryRoute::Timeline};
    episode.candidate_ids = {o.record_id};
    benchmark::DoNotOptimize(episode_open_evidence(episode, o));
  }
}
BENCHMARK(BM_OpenVerifiedEvidence)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vesk
BENCHMARK_MAIN();
