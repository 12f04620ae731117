// Record JSON throughput: one typical record written and read, and a large
// record list read as a whole (bytes per second).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "model/record_json.h"

namespace vesk {
namespace {

// A record whose content is about 200 bytes, with 5 tags and 5 metadata entries.
Record sample_record(int i) {
  Record r;
  r.id = "0123456789" + std::to_string(10 + i % 90);
  r.content = std::string(
      "The deployment pipeline for the billing service runs nightly at 02:00 UTC and pages the on-call "
      "engineer when the smoke tests fail; retries are capped at three with exponential backoff. #") +
              std::to_string(i);
  r.level = Level::Decisions;
  r.strength = 0.87f;
  r.activation_count = 12;
  r.created_at = 1700000000.123456;
  r.last_activated = 1700003600.654321;
  r.tags = {"deploy", "billing", "oncall", "pipeline", "ops"};
  r.metadata = {{"channel", "cli"},
                {"session", "s-42"},
                {"claim_certainty", "asserted"},
                {"relayed_by_model", "false"},
                {"project", "billing"}};
  r.confidence = 0.9f;
  r.salience = 0.25f;
  return r;
}

void BM_WriteRecord(benchmark::State& state) {
  Record r = sample_record(1);
  std::string out;
  for (auto _ : state) {
    out.clear();
    serialize_record(r, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
  state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_WriteRecord);

void BM_ReadRecord(benchmark::State& state) {
  std::string text;
  serialize_record(sample_record(1), text);
  for (auto _ : state) {
    JsonReader reader(text);
    auto r = deserialize_record(reader);
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadRecord);

void BM_ReadRecordList100k(benchmark::State& state) {
  std::vector<Record> records;
  for (int i = 0; i < 100000; ++i) records.push_back(sample_record(i));
  std::string text;
  serialize_record_array(records, text);
  for (auto _ : state) {
    auto list = parse_record_list_json(text);
    benchmark::DoNotOptimize(list);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadRecordList100k)->Unit(benchmark::kMillisecond);

void BM_WriteRecordList100k(benchmark::State& state) {
  std::vector<Record> records;
  for (int i = 0; i < 100000; ++i) records.push_back(sample_record(i));
  std::string text;
  for (auto _ : state) {
    text.clear();
    serialize_record_array(records, text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_WriteRecordList100k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vesk

BENCHMARK_MAIN();
