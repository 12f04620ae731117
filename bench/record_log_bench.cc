// Record log append throughput: entries per second through the write buffer
// (no fsync per entry; durability comes at flush), plain and encrypted.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "storage/vesk_storage.h"

namespace {

using namespace vesk;

void append_entries(benchmark::State& state, bool encrypted) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vesk-bench-XXXXXX").string();
  std::filesystem::path dir = ::mkdtemp(tmpl.data());
  StoreKey key = encrypted ? std::make_shared<const SecretKey>(SecretKey::random()) : nullptr;
  auto storage = VeskStorage::open(dir, key, Env::Default());
  if (!storage.ok()) {
    state.SkipWithError(storage.status().message().c_str());
    return;
  }
  std::vector<uint16_t> sdr;
  for (uint16_t i = 0; i < 40; ++i) sdr.push_back(static_cast<uint16_t>(i * 97));
  LogEntry e;
  e.tier = "general";
  e.sdr = make_sdr_positions(sdr);
  e.content = std::string(200, 'm');
  e.created_at = 1700000000.5;
  uint64_t n = 0;
  for (auto _ : state) {
    e.id = std::to_string(n++);
    auto offset = (*storage)->append(e);
    if (!offset.ok()) state.SkipWithError(offset.status().message().c_str());
    benchmark::DoNotOptimize(offset);
  }
  // The timed loop is over; closing (one fsync) and cleanup are not counted.
  (void)(*storage)->close();
  storage = Status::Ok();
  std::filesystem::remove_all(dir);
  state.SetItemsProcessed(static_cast<int64_t>(n));
  state.SetBytesProcessed(static_cast<int64_t>(n * (79 + 80 + 200 + (encrypted ? 28 : 0))));
}

void BM_AppendPlain(benchmark::State& state) { append_entries(state, false); }
void BM_AppendEncrypted(benchmark::State& state) { append_entries(state, true); }
BENCHMARK(BM_AppendPlain)->Iterations(300000);
BENCHMARK(BM_AppendEncrypted)->Iterations(300000);

}  // namespace

BENCHMARK_MAIN();
