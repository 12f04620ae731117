// Opening a store of 10k and 100k records: record log scan, journal replay,
// load-time checks, index rebuild (n-gram, term, tag, id map), SDR index
// files, layer files and embeddings. The store is seeded once per size as the
// store road leaves it after a clean close: one record log entry with its SDR
// and one kind-1 journal frame per record, and the saved SDR index files.
// Only Vesk::open is timed; the close after each open is not.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "index/sdr_encoder.h"
#include "index/sdr_index.h"
#include "model/record_json.h"
#include "storage/cognitive_store.h"
#include "store/vesk.h"
#include "storage/vesk_storage.h"
#include "bench_text.h"

namespace {

using namespace vesk;

// A short memory of 10 to 24 words from a 3000-word vocabulary.
std::string memory_text(std::mt19937_64& rng) {
  static const std::vector<std::string> vocabulary = syllable_vocabulary(3000);
  std::string text;
  int n = 10 + static_cast<int>(rng() % 15);
  for (int i = 0; i < n; ++i) {
    if (i) text += ' ';
    text += vocabulary[rng() % vocabulary.size()];
  }
  return text;
}

std::string hex_id(uint64_t n) {
  char buf[13];
  std::snprintf(buf, sizeof buf, "%012llx", static_cast<unsigned long long>(n * 0x9e3779b97f4aULL));
  return std::string(buf, 12);
}

Status seed_store(const fs::path& dir, int64_t count) {
  fs::create_directories(dir);
  auto storage = VeskStorage::open(dir, nullptr, Env::Default());
  if (!storage.ok()) return storage.status();
  auto journal = CognitiveStore::open(dir, nullptr, Env::Default());
  if (!journal.ok()) return journal.status();
  SdrIndex sdr_index((dir / "index").string(), Env::Default());
  SdrEncoder encoder;
  std::mt19937_64 rng(42);
  std::string json;
  for (int64_t i = 0; i < count; ++i) {
    Record r;
    r.id = hex_id(static_cast<uint64_t>(i));
    r.content = memory_text(rng);
    r.created_at = r.last_activated = 1700000000.0 + static_cast<double>(i);
    r.tags = {"topic-" + std::to_string(rng() % 50)};
    if (i % 3 == 0) r.tags.push_back("person");
    SharedSdr sdr = make_sdr_positions(encode_sdr(encoder, r.content, SdrRange::General, SdrCase::Fold));
    LogEntry e;
    e.id = r.id;
    e.tier = "general";
    e.sdr = sdr;
    e.content = r.content;
    e.created_at = r.created_at;
    if (auto off = (*storage)->append(e); !off.ok()) return off.status();
    sdr_index.insert(r.id, sdr);
    json.clear();
    serialize_record(r, json);
    VESK_RETURN_IF_ERROR((*journal)->append_cognitive_frame(FrameKind::kRecordInsert, json, false));
  }
  VESK_RETURN_IF_ERROR((*journal)->close());
  VESK_RETURN_IF_ERROR((*storage)->close());
  return sdr_index.save();
}

// One seeded directory per size, kept for the whole run and removed at exit.
struct SeededStores {
  std::map<int64_t, fs::path> dirs;
  ~SeededStores() {
    std::error_code ec;
    for (const auto& [count, dir] : dirs) fs::remove_all(dir.parent_path(), ec);
  }
};

const fs::path& seeded(int64_t count) {
  static SeededStores stores;
  auto it = stores.dirs.find(count);
  if (it != stores.dirs.end()) return it->second;
  std::string tmpl = (fs::temp_directory_path() / "vesk-open-bench-XXXXXX").string();
  fs::path dir = fs::path(::mkdtemp(tmpl.data())) / "store";
  if (Status s = seed_store(dir, count); !s.ok()) std::fprintf(stderr, "seeding failed: %s\n", s.message().c_str());
  return stores.dirs.emplace(count, dir).first->second;
}

void BM_Open(benchmark::State& state) {
  const fs::path& dir = seeded(state.range(0));
  for (auto _ : state) {
    auto v = Vesk::open(dir, std::nullopt);
    if (!v.ok()) {
      state.SkipWithError(v.status().message().c_str());
      return;
    }
    state.PauseTiming();
    (void)(*v)->close();
    v = Status::Ok();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Open)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
