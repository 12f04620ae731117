// The maintenance cycle driver and the index refresh after maintenance, on a
// whole store: what the cycle sees of the records, what a failing disk
// leaves, how two cycles meet, and what the refresh takes out. The lock order
// is checked throughout (lock_order_test.cc).
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/fixed_env.h"
#include "base/trace_recorder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::FixedEnv;
using testing::TempDir;

std::unique_ptr<Vesk> open_store(const fs::path& dir, Env& env) {
  auto v = Vesk::open(dir, std::nullopt, env);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

std::string store_text(Vesk& v, std::string content, std::vector<std::string> tags = {},
                       std::optional<double> valid_from = std::nullopt,
                       std::optional<double> valid_until = std::nullopt) {
  StoreRequest r;
  r.content = std::move(content);
  r.tags = std::move(tags);
  r.valid_from = valid_from;
  r.valid_until = valid_until;
  r.auto_promote = false;
  Result<std::string> id = v.store(std::move(r));
  EXPECT_TRUE(id.ok()) << id.status().message();
  return id.ok() ? *id : std::string();
}

// Every file under a directory, by relative path, with its bytes.
std::map<std::string, std::string> files_under(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) out[fs::relative(entry.path(), dir).string()] = testing::slurp(entry.path());
  }
  return out;
}

std::vector<std::string> keys(const FlatStringMap<SharedSdr>& map) {
  std::vector<std::string> out;
  for (const auto& [id, sdr] : map) out.push_back(id);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(RunMaintenance, TheLayerPhasesSeeOnlyRecordsValidNow) {
  TempDir dir;
  FixedEnv env({1'750'000'000, 250'000'000});
  const double now = 1'750'000'000.25;
  auto v = open_store(dir.path(), env);
  const std::string valid = store_text(*v, "kiln shelf cracked during the firing");
  store_text(*v, "the winter glaze schedule", {}, std::nullopt, now - 60);
  store_text(*v, "ends exactly now", {}, std::nullopt, now);
  const std::string later = store_text(*v, "next season's clay order", {}, now + 60);
  const std::string odd = store_text(*v, "a window that is not a number");
  VeskTestAccess::records(*v).records.write()->find_value(odd)->valid_until = std::numeric_limits<double>::quiet_NaN();

  MaintenanceReport r = v->run_maintenance();
  EXPECT_EQ(r.total_records, 5u);
  EXPECT_EQ(v->count(), 5u);
  EXPECT_EQ(r.hotspots.belief_snapshot_records, 1u);
  EXPECT_EQ(r.hotspots.sdr_source_bytes, std::string("kiln shelf cracked during the firing").size());
  // The record SDR map keeps the snapshot's records only.
  EXPECT_EQ(keys(*v->indexes().record_sdrs.read()), std::vector<std::string>{valid});
  EXPECT_EQ(r.timestamp, "2025-06-15T15:06:40.250+00:00");

  // Once its window opens, a record joins the next snapshot and its SDR is
  // encoded again; the one kept is shared.
  env.advance(61);
  r = v->run_maintenance();
  EXPECT_EQ(r.hotspots.belief_snapshot_records, 2u);
  EXPECT_EQ(r.hotspots.sdr_vectors_computed, 1u);
  EXPECT_EQ(r.hotspots.sdr_vectors_reused, 1u);
  std::vector<std::string> want{valid, later};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(keys(*v->indexes().record_sdrs.read()), want);
  EXPECT_EQ(r.timestamp, "2025-06-15T15:07:41.250+00:00");
}

TEST(RunMaintenance, ADirectoryRefusingWritesKeepsEveryFileAndTheReportIsWhole) {
  TempDir dir;
  FaultEnv env;
  auto v = open_store(dir.path(), env);
  store_text(*v, "the kiln controller needs a new thermocouple", {"kiln"});
  store_text(*v, "glaze batch 7 came out matte", {"glaze"});
  v->run_maintenance();  // the layer files exist from here on
  const std::map<std::string, std::string> before = files_under(dir.path());
  ASSERT_TRUE(before.contains("beliefs.cog") && before.contains("topology.cog"));

  const std::string all = dir.path().string();
  env.fail_open_for_write(all);
  env.tear_writes_after(all, 0);
  env.fail_sync(all);
  env.fail_rename(all);
  MaintenanceReport r = v->run_maintenance();
  env.clear();

  EXPECT_EQ(files_under(dir.path()), before);
  EXPECT_EQ(r.total_records, 2u);
  EXPECT_EQ(r.hotspots.records_before_cycle, 2u);
  EXPECT_EQ(r.hotspots.records_after_cycle, 2u);
  EXPECT_EQ(r.hotspots.belief_snapshot_records, 2u);
  EXPECT_EQ(r.hotspots.sdr_vectors_built, 2u);
  EXPECT_FALSE(r.timestamp.empty());
  EXPECT_FALSE(r.hotspots.dominant_phase.empty());
  EXPECT_GT(r.timings.total_ms, 0.0);
  EXPECT_EQ(r.concept_surface.mode, "Inspect");
  EXPECT_TRUE(v->close().ok());
}

// Holds the first save of "topology.cog" (the cycle's step 10) until the test
// lets it go.
class GateEnv : public FixedEnv {
 public:
  Result<std::unique_ptr<File>> open(const fs::path& p, OpenMode m) override {
    if (m != OpenMode::kRead && p.filename().string().starts_with("topology")) {
      std::unique_lock<std::mutex> l(mu_);
      if (!passed_) {
        held_ = true;
        cv_.notify_all();
        cv_.wait(l, [&] { return released_; });
        passed_ = true;
      }
    }
    return FixedEnv::open(p, m);
  }
  void wait_until_held() {
    std::unique_lock<std::mutex> l(mu_);
    cv_.wait(l, [&] { return held_; });
  }
  void release() {
    std::lock_guard<std::mutex> g(mu_);
    released_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool held_ = false, released_ = false, passed_ = false;
};

TEST(RunMaintenance, CyclesStartedTogetherRunOneAfterTheOther) {
  TempDir dir;
  GateEnv env;
  auto v = open_store(dir.path(), env);
  store_text(*v, "a record for both cycles to see");
  auto recorder = std::make_shared<testing::TraceRecorder>();
  trace::set_receiver(recorder);

  // The first cycle stops in the middle; the second is called meanwhile.
  std::thread first([&] { v->run_maintenance(); });
  env.wait_until_held();
  std::mutex mu;
  std::condition_variable cv;
  bool calling = false;
  std::thread second([&] {
    {
      std::lock_guard<std::mutex> g(mu);
      calling = true;
    }
    cv.notify_all();
    v->run_maintenance();
  });
  {
    std::unique_lock<std::mutex> l(mu);
    cv.wait(l, [&] { return calling; });
  }
  env.release();
  first.join();
  second.join();
  trace::set_receiver(nullptr);

  std::vector<std::string> cycles;
  for (const std::string& line : recorder->starting("")) {
    if (line.starts_with("enter run_maintenance ")) cycles.push_back("enter");
    if (line == "leave run_maintenance") cycles.push_back("leave");
  }
  EXPECT_EQ(cycles, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));
}

std::map<std::string, Record> records_of(Vesk& v) {
  std::map<std::string, Record> out;
  for (const auto& [id, r] : *VeskTestAccess::records(v).records.read()) out.emplace(id, r);
  return out;
}

TEST(RunMaintenance, ACoreBatchThatCannotBeWrittenPutsEveryRecordBackAndCountsNothing) {
  TempDir dir;
  FaultEnv env;
  auto v = open_store(dir.path(), env);
  const std::string weak = store_text(*v, "the old kiln shelf", {"kiln"});
  const std::string claim = store_text(*v, "the studio is in the north wing", {"kiln"});
  store_text(*v, "the kiln runs on tuesdays", {"kiln"});
  {
    auto records = VeskTestAccess::records(*v).records.write();
    records->find_value(weak)->strength = 0.055f;
    records->find_value(claim)->level = Level::Identity;
  }
  const std::map<std::string, Record> before = records_of(*v);

  env.fail_sync("brain.cog");
  MaintenanceReport r = v->run_maintenance();
  env.clear();
  EXPECT_TRUE(records_of(*v) == before);
  EXPECT_EQ(r.total_records, 3u);
  EXPECT_EQ(r.hotspots.records_before_cycle, 3u);
  EXPECT_EQ(r.decay, DecayReport{});
  EXPECT_EQ(r.reflect, ReflectReport{});
  EXPECT_EQ(r.epistemic, EpistemicPhaseReport{});
  EXPECT_EQ(r.insights_found, 0u);
  EXPECT_EQ(v->count(std::nullopt), 3u);

  // On a sound disk the same cycle goes through, and a reopen shows it.
  r = v->run_maintenance();
  EXPECT_EQ(r.decay, (DecayReport{.decayed = 3, .archived = 1}));
  EXPECT_EQ(r.insights_found, 0u);  // two records are no cluster
  const std::map<std::string, Record> after = records_of(*v);
  EXPECT_FALSE(after.contains(weak));
  EXPECT_EQ(after.at(claim).level, Level::Domain);
  EXPECT_TRUE(v->close().ok());
  v.reset();
  v = open_store(dir.path(), env);
  for (const auto& [id, rec] : records_of(*v)) {
    ASSERT_TRUE(after.contains(id)) << id;
    EXPECT_EQ(rec.level, after.at(id).level);
    EXPECT_EQ(rec.strength, after.at(id).strength);
    EXPECT_EQ(rec.connections, after.at(id).connections);
  }
  EXPECT_EQ(records_of(*v).size(), 2u);
}

// ---- The index refresh after maintenance ----------------------------------

TEST(IndexRefresh, TakesRemovedRecordsOutOfEveryIndexPastAFailingEmbeddingRemoval) {
  TempDir dir;
  FaultEnv env;
  auto v = open_store(dir.path(), env);
  const std::string a = store_text(*v, "kiln shelf cracked during the firing", {"solo"});
  const std::string b = store_text(*v, "glaze batch seven came out matte", {"shared"});
  const std::string c = store_text(*v, "glaze order placed with the supplier", {"shared"});
  ASSERT_TRUE(v->store_embedding(a, std::vector<float>{1.0f, 0.0f}).ok());
  ASSERT_TRUE(v->store_embedding(b, std::vector<float>{0.0f, 1.0f}).ok());
  VeskTestAccess::records(*v).id_map.write()->insert_or_assign("an-older-name-of-a", a);
  // As an archival pass leaves them: out of the record map, nowhere else.
  {
    auto records = VeskTestAccess::records(*v).records.write();
    records->erase(a);
    records->erase(b);
  }
  // Removing a vector rewrites the embedding files: refused here.
  env.fail_open_for_write("embeddings");
  v->refresh_indexes_after_maintenance(std::vector<std::string>{a, b});
  env.clear();

  const SearchIndexes& ix = v->indexes();
  EXPECT_FALSE(ix.ngram.read()->content_hash(a));
  EXPECT_FALSE(ix.ngram.read()->content_hash(b));
  EXPECT_TRUE(ix.ngram.read()->content_hash(c));
  EXPECT_EQ(ix.terms.read()->size(), 1u);
  // "solo" is carried by no record now; "shared" by c alone.
  EXPECT_EQ(ix.tags.read()->tag_count(), 1u);
  EXPECT_EQ(ix.tags.read()->ids_with("shared"), std::vector<std::string>{c});
  EXPECT_EQ(v->record_state().id_map.read()->entries(), (std::vector<std::pair<std::string, std::string>>{{c, c}}));
  EXPECT_EQ(keys(*ix.record_sdrs.read()), std::vector<std::string>{c});
  // The failed embedding removals stopped neither the rest of a's removal
  // nor b's.
  EXPECT_TRUE(ix.embeddings->vector(a));
  EXPECT_TRUE(ix.embeddings->vector(b));
  for (const std::string& gone : {a, b}) {
    EXPECT_FALSE(v->storage().cached_entry(gone)) << gone;
    EXPECT_FALSE(ix.sdr_index->doc_of(gone)) << gone;
  }
  EXPECT_TRUE(v->storage().cached_entry(c));
  EXPECT_TRUE(ix.sdr_index->doc_of(c));
}

void refuse(const LockRank& taken, const LockRank&) { throw std::logic_error(taken.name); }

TEST(IndexRefresh, AnEmptyListTakesNoLock) {
  TempDir dir;
  auto v = open_store(dir.path(), Env::Default());
  store_text(*v, "a record in every index", {"tag"});
  lock_rank::set_violation_handler(&refuse);
  {
    // Any of the five index locks taken now would come out of order.
    auto held = VeskTestAccess::indexes(*v).record_sdrs.write();
    EXPECT_NO_THROW(v->refresh_indexes_after_maintenance({}));
  }
  lock_rank::set_violation_handler(nullptr);
  EXPECT_EQ(v->indexes().ngram.read()->size(), 1u);
  EXPECT_EQ(v->indexes().tags.read()->tag_count(), 1u);
  EXPECT_EQ(v->indexes().record_sdrs.read()->size(), 1u);
}

}  // namespace
}  // namespace vesk
