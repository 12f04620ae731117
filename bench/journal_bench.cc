// Cognitive journal throughput: unforced record frames appended per second,
// and replay speed of a whole journal in MB/s, plain and sealed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/record_json.h"
#include "storage/cognitive_store.h"

namespace vesk {
namespace {

// A record whose content is about 200 bytes, with 5 tags and 4 metadata
// entries: about 900 bytes of JSON.
Record sample_record(uint64_t i) {
  Record r;
  char id[16];
  std::snprintf(id, sizeof id, "%012llx", static_cast<unsigned long long>(i));
  r.id = id;
  r.content =
      "The deployment pipeline for the billing service runs nightly at 02:00 UTC and pages the on-call "
      "engineer when the smoke tests fail; retries are capped at three with exponential backoff. #" +
      std::to_string(i);
  r.level = Level::Decisions;
  r.strength = 0.87f;
  r.activation_count = 12;
  r.created_at = 1700000000.123456;
  r.last_activated = 1700003600.654321;
  r.tags = {"deploy", "billing", "oncall", "pipeline", "ops"};
  r.metadata = {{"channel", "cli"}, {"session", "s-42"}, {"claim_certainty", "asserted"}, {"source", "runbook"}};
  return r;
}

std::filesystem::path fresh_dir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vesk-bench-XXXXXX").string();
  return ::mkdtemp(tmpl.data());
}

StoreKey key_for(bool keyed) { return keyed ? std::make_shared<const SecretKey>(SecretKey::random()) : nullptr; }

void append_frames(benchmark::State& state, bool keyed) {
  auto dir = fresh_dir();
  auto store = CognitiveStore::open(dir, key_for(keyed), Env::Default());
  if (!store.ok()) return state.SkipWithError(store.status().message().c_str());
  std::string json;
  serialize_record(sample_record(0), json);
  uint64_t n = 0;
  for (auto _ : state) {
    Status st = (*store)->append_cognitive_frame(FrameKind::kRecordWrite, json, false);
    if (!st.ok()) state.SkipWithError(st.message().c_str());
    ++n;
  }
  store = Status::Ok();
  std::filesystem::remove_all(dir);
  state.SetItemsProcessed(static_cast<int64_t>(n));
  state.SetBytesProcessed(static_cast<int64_t>(n * json.size()));
}

void replay_journal(benchmark::State& state, bool keyed) {
  auto dir = fresh_dir();
  auto store = CognitiveStore::open(dir, key_for(keyed), Env::Default());
  if (!store.ok()) return state.SkipWithError(store.status().message().c_str());
  const uint64_t frames = static_cast<uint64_t>(state.range(0));
  std::string json;
  for (uint64_t i = 0; i < frames; ++i) {
    json.clear();
    serialize_record(sample_record(i), json);
    Status st = (*store)->append_cognitive_frame(FrameKind::kRecordWrite, json, false);
    if (!st.ok()) return state.SkipWithError(st.message().c_str());
  }
  const auto size = std::filesystem::file_size(dir / "brain.cog");
  for (auto _ : state) {
    auto loaded = (*store)->load_cognitive_state();
    if (!loaded.ok() || loaded->records.size() != frames) state.SkipWithError("replay lost records");
    benchmark::DoNotOptimize(loaded);
  }
  store = Status::Ok();
  std::filesystem::remove_all(dir);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_AppendUnforced(benchmark::State& s) { append_frames(s, false); }
void BM_AppendUnforcedSealed(benchmark::State& s) { append_frames(s, true); }
void BM_Replay(benchmark::State& s) { replay_journal(s, false); }
void BM_ReplaySealed(benchmark::State& s) { replay_journal(s, true); }
BENCHMARK(BM_AppendUnforced)->Iterations(200000);
BENCHMARK(BM_AppendUnforcedSealed)->Iterations(200000);
BENCHMARK(BM_Replay)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaySealed)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vesk

BENCHMARK_MAIN();
