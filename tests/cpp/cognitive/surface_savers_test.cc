#include "cognitive/surface_savers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cognitive/history_fixtures.h"
#include "cognitive/layer_file_save.h"
#include "cognitive/surface_loaders.h"
#include "model/json_struct.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

// A stand-in layer with one member of each kind the layer files hold.
struct Layer {
  float weight = 0.0f;
  uint64_t limit = 0;
  std::optional<float> override_weight;
  std::map<std::string, uint64_t> counts;
};

}  // namespace

template <>
struct JsonCodec<Layer> : JsonStructCodec<Layer> {
  static const JsonStruct<Layer>& fields() {
    static const JsonStruct<Layer> s("struct Layer", {json_field<&Layer::weight>("weight"),
                                                      json_field<&Layer::limit>("limit"),
                                                      json_field<&Layer::override_weight>("override_weight"),
                                                      json_field<&Layer::counts>("counts")});
    return s;
  }
};

namespace {

using testing::FaultEnv;
using testing::reflection_summary;
using testing::slurp;
using testing::spit;
using testing::TempDir;
using testing::trend_snapshot;

std::vector<std::string> names(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

mode_t current_umask() {
  mode_t m = ::umask(0);
  ::umask(m);
  return m;
}

TEST(LayerSavePath, CreatesTheDirectoryAndWritesCompactJson) {
  const Layer layer{0.9f, UINT64_MAX, std::nullopt, {{"a", 1}, {"b", 2}}};
  const std::string want = R"({"weight":0.9,"limit":18446744073709551615,"override_weight":null,"counts":{"a":1,"b":2}})";
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  for (StoreKey k : {StoreKey(), key}) {
    TempDir tmp;
    const fs::path dir = tmp / "a/b/store";
    ASSERT_TRUE(save_layer_file(PersistenceTarget{dir, k}, "beliefs.cog", layer, Env::Default()).ok());
    EXPECT_EQ(fs::status(tmp / "a").permissions() & fs::perms::all,
              fs::perms::all & ~static_cast<fs::perms>(current_umask()));
    const std::string stored = slurp(dir / "beliefs.cog");
    if (k) {
      EXPECT_EQ(stored.substr(0, 4), "AEF1");
      EXPECT_EQ(*unseal_payload(k.get(), stored), want);
    } else {
      EXPECT_EQ(stored, want);
    }
    EXPECT_EQ(names(dir), std::vector<std::string>{"beliefs.cog"});
  }
}

TEST(LayerSavePath, FailuresAreReturnedAndLeaveTheOldFile) {
  enum Fault { kDirectory, kTornWrite, kSync, kRename };
  for (Fault fault : {kDirectory, kTornWrite, kSync, kRename}) {
    TempDir tmp;
    fs::path dir = tmp.path();
    spit(tmp / "beliefs.cog", "old");
    FaultEnv env;
    if (fault == kDirectory) dir = tmp / "beliefs.cog" / "store";  // a file stands where a folder must go
    if (fault == kTornWrite) env.tear_writes_after("beliefs.", 3);
    if (fault == kSync) env.fail_sync("beliefs.");
    if (fault == kRename) env.fail_rename("beliefs.cog");
    Status st = save_layer_file(PersistenceTarget{dir, nullptr}, "beliefs.cog", Layer{}, env);
    EXPECT_FALSE(st.ok()) << "fault " << fault;
    EXPECT_EQ(slurp(tmp / "beliefs.cog"), "old") << "fault " << fault;
    EXPECT_EQ(names(tmp.path()), std::vector<std::string>{"beliefs.cog"}) << "fault " << fault;
  }
}

TEST(HistorySavePath, SavedHistoriesReadBackEqual) {
  const std::vector<MaintenanceTrendSnapshot> trends = {trend_snapshot(1), trend_snapshot(2), trend_snapshot(4)};
  const std::vector<ReflectionSummary> summaries = {reflection_summary("aaaaaaaaaaa1"),
                                                    reflection_summary("aaaaaaaaaaa2")};
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  for (StoreKey k : {StoreKey(), key}) {
    TempDir dir;
    ASSERT_TRUE(save_maintenance_trends(dir.path(), k.get(), trends, Env::Default()).ok());
    ASSERT_TRUE(save_reflection_summaries(dir.path(), k.get(), summaries, Env::Default()).ok());
    EXPECT_EQ(slurp(dir / kMaintenanceTrendsFile).substr(0, 4) == "AEF1", k != nullptr);
    EXPECT_EQ(slurp(dir / kReflectionSummariesFile).substr(0, 4) == "AEF1", k != nullptr);

    std::vector<StartupValidationEvent> events;
    EXPECT_EQ(load_maintenance_trends(dir.path(), k.get(), events, Env::Default()), trends);
    EXPECT_EQ(load_reflection_summaries(dir.path(), k.get(), events, Env::Default()), summaries);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].detail, "loaded 3 maintenance trend snapshots");
    EXPECT_EQ(events[1].detail, "loaded 2 reflection summaries");
  }
  // An empty history is written as "[]" and loads as such.
  TempDir dir;
  ASSERT_TRUE(save_reflection_summaries(dir.path(), nullptr, {}, Env::Default()).ok());
  EXPECT_EQ(slurp(dir / kReflectionSummariesFile), "[]");
}

TEST(HistorySavePath, FailuresAreReturnedAndLeaveTheOldFile) {
  enum Fault { kNoDirectory, kTornWrite, kRename };
  for (Fault fault : {kNoDirectory, kTornWrite, kRename}) {
    TempDir tmp;
    fs::path dir = tmp.path();
    spit(tmp / kMaintenanceTrendsFile, "old");
    FaultEnv env;
    if (fault == kNoDirectory) dir = tmp / "gone";  // the history path creates no directory
    if (fault == kTornWrite) env.tear_writes_after("maintenance_trends.", 5);
    if (fault == kRename) env.fail_rename(kMaintenanceTrendsFile);
    Status st = save_maintenance_trends(dir, nullptr, {trend_snapshot(1)}, env);
    EXPECT_FALSE(st.ok()) << "fault " << fault;
    EXPECT_EQ(slurp(tmp / kMaintenanceTrendsFile), "old") << "fault " << fault;
    EXPECT_EQ(names(tmp.path()), std::vector<std::string>{kMaintenanceTrendsFile}) << "fault " << fault;
  }
}

// Every reader refuses null for a float, so a save must never write one
// where a number is due: the next open would drop the whole file.
TEST(SurfaceSavePaths, NonFiniteFloatsAreWrittenSoTheFileStillLoads) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  TempDir dir;

  Layer layer{nan, 1, inf, {}};
  ASSERT_TRUE(save_layer_file(PersistenceTarget{dir.path(), nullptr}, "layer.cog", layer, Env::Default()).ok());
  EXPECT_EQ(slurp(dir / "layer.cog"), R"({"weight":0.0,"limit":1,"override_weight":null,"counts":{}})");

  MaintenanceTrendSnapshot snapshot = trend_snapshot(1);
  snapshot.belief_churn = nan;
  snapshot.feedback_net_volatility_delta = -inf;
  snapshot.cycle_time_ms = std::numeric_limits<double>::infinity();
  ReflectionSummary summary = reflection_summary("aaaaaaaaaaa1");
  summary.findings[0].score = nan;
  ASSERT_TRUE(save_maintenance_trends(dir.path(), nullptr, {snapshot}, Env::Default()).ok());
  ASSERT_TRUE(save_reflection_summaries(dir.path(), nullptr, {summary}, Env::Default()).ok());

  std::vector<StartupValidationEvent> events;
  auto trends = load_maintenance_trends(dir.path(), nullptr, events, Env::Default());
  auto summaries = load_reflection_summaries(dir.path(), nullptr, events, Env::Default());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].status, "loaded");
  EXPECT_EQ(events[1].status, "loaded");
  snapshot.belief_churn = 0.0f;
  snapshot.feedback_net_volatility_delta = 0.0f;
  snapshot.cycle_time_ms = 0.0;
  summary.findings[0].score = 0.0f;
  EXPECT_EQ(trends, std::vector<MaintenanceTrendSnapshot>{snapshot});
  EXPECT_EQ(summaries, std::vector<ReflectionSummary>{summary});
}

}  // namespace
}  // namespace vesk
