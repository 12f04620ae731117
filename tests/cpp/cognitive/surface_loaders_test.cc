#include "cognitive/surface_loaders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cognitive/history_file_save.h"
#include "cognitive/history_fixtures.h"
#include "cognitive/persistence_manifest.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::spit;
using testing::TempDir;

// What the open gets from one pass over the surfaces, in its order.
struct Loaded {
  std::vector<StartupValidationEvent> events;
  Result<Topology> topology = Topology{};
  size_t trends = 0, reflections = 0, replays = 0;

  const StartupValidationEvent& event(const std::string& surface) const {
    for (const auto& e : events)
      if (e.surface == surface) return e;
    static const StartupValidationEvent none;
    ADD_FAILURE() << "no event for " << surface;
    return none;
  }
};

Loaded load_all(const fs::path& dir, StoreKey key = nullptr, Env& env = Env::Default()) {
  Loaded out;
  PersistenceTarget target{dir, key};
  load_belief_store(target, dir / kBeliefStoreFile, out.events, env);
  load_concept_store(target, dir / kConceptStoreFile, out.events, env);
  load_causal_store(target, dir / kCausalStoreFile, out.events, env);
  out.topology = load_topology(target, env);
  load_policy_store(target, dir / kPolicyStoreFile, out.events, env);
  load_persistence_manifest(dir, out.events, env);
  out.trends = load_maintenance_trends(dir, key.get(), out.events, env).size();
  out.reflections = load_reflection_summaries(dir, key.get(), out.events, env).size();
  out.replays = load_recall_replay(dir, key.get(), out.events, env).size();
  return out;
}

std::string sealed(const SecretKey& key, std::string_view text) { return *seal_payload(&key, text); }

// The smallest documents each reader takes: every required member, empty.
constexpr char kNoBeliefs[] = R"({"beliefs":{},"hypotheses":{},"key_index":{},"record_index":{}})";
constexpr char kNoPatterns[] =
    R"({"patterns":{},"key_index":{},"temporal_budget_mode":"ExhaustiveCapped","evidence_mode":"ExplicitTrusted"})";
constexpr char kOneBaseline[] =
    R"([{"trace_id":"mem_1","query":"q","top_k":1,"min_strength":0,"expand_connections":false,"namespaces":[],"ranked":[]}])";

// A replay history of n baselines.
std::string baselines_text(int n) {
  std::string body(kOneBaseline + 1, std::strlen(kOneBaseline) - 2);
  std::string out = "[";
  for (int i = 0; i < n; ++i) out += (i ? "," : "") + body;
  return out + "]";
}

// The text of a trend history of n valid snapshots.
std::string trends_text(uint64_t n) {
  std::vector<MaintenanceTrendSnapshot> list;
  for (uint64_t i = 1; i <= n; ++i) list.push_back(testing::trend_snapshot(i));
  return history_json(list);
}

TEST(SurfaceLoaders, EmptyDirectoryFallsBackEverywhereInOpenOrder) {
  TempDir tmp;
  // A store directory whose name is not UTF-8 shows up with U+FFFD.
  const fs::path dir = tmp / "store-\xff";
  fs::create_directory(dir);
  const std::string shown = (tmp.path() / "store-\xef\xbf\xbd").string();

  std::vector<StartupValidationEvent> events = {
      {"records", shown, "loaded", "loaded 0 records", false}};
  Loaded loaded = load_all(dir);
  events.insert(events.end(), loaded.events.begin(), loaded.events.end());

  struct Want {
    const char *surface, *file, *status, *detail;
  };
  const Want want[] = {
      {"records", "", "loaded", "loaded 0 records"},
      {"belief", "/beliefs.cog", "missing_fallback", "belief store missing; started with empty belief engine"},
      {"concept", "/concepts.cog", "missing_fallback", "concept store missing; started with empty concept engine"},
      {"causal", "/causal.cog", "missing_fallback", "causal store missing; started with empty causal engine"},
      {"policy", "/policies.cog", "missing_fallback", "policy store missing; started with empty policy engine"},
      {"persistence_manifest", "/persistence_manifest.json", "missing_fallback",
       "persistence manifest missing; created current manifest"},
      {"persistence_manifest", "/persistence_manifest.json", "loaded", "loaded current persistence manifest"},
      {"maintenance_trends", "/maintenance_trends.json", "missing_fallback",
       "maintenance trend history missing; started with empty trend history"},
      {"reflection_summaries", "/reflection_summaries.json", "missing_fallback",
       "reflection summary history missing; started with empty reflection history"},
      {"recall_replay", "/recall_replay.json", "missing_fallback",
       "recall replay history missing; started with empty history"},
  };
  ASSERT_EQ(events.size(), std::size(want));
  for (size_t i = 0; i < events.size(); ++i) {
    const Want& w = want[i];
    EXPECT_EQ(events[i].surface, w.surface) << i;
    EXPECT_EQ(events[i].path, shown + w.file) << i;
    EXPECT_EQ(events[i].status, w.status) << i;
    EXPECT_EQ(events[i].detail, w.detail) << i;
    EXPECT_EQ(events[i].recovered, std::string_view(w.status) != "loaded") << i;
  }
  EXPECT_TRUE(loaded.topology.ok());

  auto report = StartupValidationReport::from_events(events);
  EXPECT_EQ(report.loaded_surfaces, 2u);
  EXPECT_EQ(report.missing_fallbacks, 8u);
  EXPECT_EQ(report.recovered_fallbacks, 0u);
  EXPECT_EQ(report.derived_skips, 0u);
  EXPECT_TRUE(report.has_recovery_warnings);
  EXPECT_EQ(report.events, events);

  // Only the manifest is written by a load; every other surface stays absent.
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"persistence_manifest.json"});

  // A second pass finds the manifest current and reports it once.
  Loaded again = load_all(dir);
  EXPECT_EQ(again.event("persistence_manifest").status, "loaded");
  EXPECT_EQ(again.events.size(), 8u);
}

TEST(SurfaceLoaders, FileContentDecidesTheStatus) {
  struct Case {
    const char* file;
    std::string content;
    const char* surface;
    const char* status;
    const char* detail;
  };
  const Case cases[] = {
      // Layer files with the empty check look at the length only.
      {"beliefs.cog", "", "belief", "empty_fallback", "belief store file was empty; started with empty belief engine"},
      {"concepts.cog", "", "concept", "empty_fallback",
       "concept store file was empty; started with empty concept engine"},
      {"concepts.cog", " \n ", "concept", "load_error_fallback", "EOF while parsing a value at line 2 column 1"},
      // Layer files without it send a zero-length file to the parser.
      {"causal.cog", "", "causal", "load_error_fallback", "EOF while parsing a value at line 1 column 0"},
      {"policies.cog", "", "policy", "load_error_fallback", "EOF while parsing a value at line 1 column 0"},
      {"beliefs.cog", std::string(" ") + kNoBeliefs + " \n", "belief", "loaded", "loaded 0 beliefs"},
      {"causal.cog", kNoPatterns, "causal", "loaded", "loaded 0 causal patterns"},
      {"policies.cog", "[]", "policy", "load_error_fallback",
       "invalid length 0, expected struct PolicyEngine with 2 elements at line 1 column 2"},
      {"policies.cog", "true", "policy", "load_error_fallback",
       "invalid type: boolean `true`, expected struct PolicyEngine at line 1 column 4"},
      {"beliefs.cog", std::string(kNoBeliefs) + " {}", "belief", "load_error_fallback",
       "trailing characters at line 1 column 65"},
      {"concepts.cog", "{\"a\":", "concept", "load_error_fallback", "EOF while parsing a value at line 1 column 5"},
      // History files trim Unicode white space before the empty check.
      {"maintenance_trends.json", " \n\t ", "maintenance_trends", "empty_fallback",
       "maintenance trend history file was empty"},
      {"reflection_summaries.json", "\xe3\x80\x80\xc2\xa0", "reflection_summaries", "empty_fallback",
       "reflection summary history file was empty"},
      {"reflection_summaries.json", "", "reflection_summaries", "empty_fallback",
       "reflection summary history file was empty"},
      {"maintenance_trends.json", trends_text(3), "maintenance_trends", "loaded",
       "loaded 3 maintenance trend snapshots"},
      {"reflection_summaries.json", history_json(std::vector{testing::reflection_summary("aaaaaaaaaaa1")}),
       "reflection_summaries", "loaded", "loaded 1 reflection summaries"},
      {"maintenance_trends.json", "[]", "maintenance_trends", "loaded", "loaded 0 maintenance trend snapshots"},
      {"reflection_summaries.json", "[\n  {}\n]", "reflection_summaries", "load_error_fallback",
       "missing field `timestamp` at line 2 column 4"},
      {"maintenance_trends.json", "{}", "maintenance_trends", "load_error_fallback",
       "invalid type: map, expected a sequence at line 1 column 0"},
      {"reflection_summaries.json", "[{},", "reflection_summaries", "load_error_fallback",
       "missing field `timestamp` at line 1 column 3"},
      {"maintenance_trends.json", trends_text(1).substr(0, 40), "maintenance_trends", "load_error_fallback",
       "EOF while parsing a string at line 3 column 34"},
      {"maintenance_trends.json", "\xff", "maintenance_trends", "missing_fallback",
       "maintenance trend history missing; started with empty trend history"},
      // The recall replay history does not trim: blank is a parse error.
      {"recall_replay.json", "", "recall_replay", "load_error_fallback",
       "EOF while parsing a value at line 1 column 0"},
      {"recall_replay.json", "  ", "recall_replay", "load_error_fallback",
       "EOF while parsing a value at line 1 column 2"},
      {"recall_replay.json", "[]", "recall_replay", "loaded", "loaded 0 recall replay baselines"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    spit(dir / c.file, c.content);
    Loaded loaded = load_all(dir.path());
    const StartupValidationEvent& e = loaded.event(c.surface);
    EXPECT_EQ(e.status, c.status) << c.file << " <" << c.content << ">";
    EXPECT_EQ(e.detail, c.detail) << c.file << " <" << c.content << ">";
    EXPECT_EQ(e.path, (dir / c.file).string());
    EXPECT_EQ(testing::slurp(dir / c.file), c.content) << "a load never rewrites " << c.file;
  }
}

TEST(SurfaceLoaders, SealingMismatchesFallBackPerSurfaceKind) {
  SecretKey key = SecretKey::random();
  SecretKey other = SecretKey::random();
  StoreKey store_key = std::make_shared<const SecretKey>(key);
  struct Case {
    const char* file;
    std::string content;
    bool keyed;
    const char* surface;
    const char* status;
    const char* detail;
  };
  const Case cases[] = {
      // A sealed file found by a store without a key.
      {"beliefs.cog", sealed(key, "{}"), false, "belief", "load_error_fallback",
       "Password required for encrypted memory"},
      {"causal.cog", sealed(key, "{}"), false, "causal", "load_error_fallback",
       "Password required for encrypted memory"},
      {"maintenance_trends.json", sealed(key, "[]"), false, "maintenance_trends", "missing_fallback",
       "maintenance trend history missing; started with empty trend history"},
      {"reflection_summaries.json", sealed(key, "[]"), false, "reflection_summaries", "missing_fallback",
       "reflection summary history missing; started with empty reflection history"},
      {"recall_replay.json", sealed(key, "[]"), false, "recall_replay", "read_error_fallback",
       "recall replay history could not be read"},
      // A plain file found by a keyed store.
      {"concepts.cog", "{}", true, "concept", "load_error_fallback",
       "Plaintext payload in encrypted memory; explicit migration required"},
      {"policies.cog", "", true, "policy", "load_error_fallback",
       "Plaintext payload in encrypted memory; explicit migration required"},
      // Sealed under another key, or cut short.
      {"beliefs.cog", sealed(other, "{}"), true, "belief", "load_error_fallback",
       "Decryption failed - invalid key or corrupted data"},
      {"causal.cog", "AEF1short", true, "causal", "load_error_fallback", "Encrypted data too short"},
      // Sealed under the store's key.
      {"beliefs.cog", sealed(key, kNoBeliefs), true, "belief", "loaded", "loaded 0 beliefs"},
      {"maintenance_trends.json", sealed(key, trends_text(2)), true, "maintenance_trends", "loaded",
       "loaded 2 maintenance trend snapshots"},
      {"recall_replay.json", sealed(key, kOneBaseline), true, "recall_replay", "loaded",
       "loaded 1 recall replay baselines"},
      // An empty sealed payload is a fresh engine where the empty check
      // exists, and a parse error where it does not.
      {"concepts.cog", sealed(key, ""), true, "concept", "loaded", "loaded 0 concepts"},
      {"policies.cog", sealed(key, ""), true, "policy", "load_error_fallback",
       "EOF while parsing a value at line 1 column 0"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    spit(dir / c.file, c.content);
    Loaded loaded = load_all(dir.path(), c.keyed ? store_key : nullptr);
    const StartupValidationEvent& e = loaded.event(c.surface);
    EXPECT_EQ(e.status, c.status) << c.file << (c.keyed ? " keyed" : " plain");
    EXPECT_EQ(e.detail, c.detail) << c.file << (c.keyed ? " keyed" : " plain");
  }
}

TEST(SurfaceLoaders, UnreadableFilesFollowTheirSurfaceRules) {
  TempDir dir;
  for (const char* f : {"beliefs.cog", "causal.cog", "maintenance_trends.json", "recall_replay.json"})
    spit(dir / f, f[0] == 'm' || f[0] == 'r' ? "[]" : "{}");
  FaultEnv env;
  env.fail_reads(".");
  Loaded loaded = load_all(dir.path(), nullptr, env);
  EXPECT_EQ(loaded.event("belief").status, "load_error_fallback");
  EXPECT_EQ(loaded.event("belief").detail, "injected read failure");
  EXPECT_EQ(loaded.event("causal").detail, "injected read failure");
  EXPECT_EQ(loaded.event("maintenance_trends").status, "missing_fallback");
  EXPECT_EQ(loaded.event("recall_replay").status, "read_error_fallback");
}

TEST(SurfaceLoaders, RecallReplayReadsTheBackupAndKeepsTheLast128) {
  const std::string many = baselines_text(200);
  {
    // Only the backup of an interrupted save: read it, report the main file.
    TempDir dir;
    spit(dir / "recall_replay.json.bak", many);
    Loaded loaded = load_all(dir.path());
    const auto& e = loaded.event("recall_replay");
    EXPECT_EQ(e.status, "loaded");
    EXPECT_EQ(e.detail, "loaded 128 recall replay baselines");
    EXPECT_EQ(e.path, (dir / "recall_replay.json").string());
    EXPECT_EQ(loaded.replays, 128u);
    EXPECT_TRUE(fs::exists(dir / "recall_replay.json.bak"));
  }
  {
    // The main file wins over a stale backup.
    TempDir dir;
    spit(dir / "recall_replay.json", kOneBaseline);
    spit(dir / "recall_replay.json.bak", many);
    Loaded loaded = load_all(dir.path());
    EXPECT_EQ(loaded.event("recall_replay").detail, "loaded 1 recall replay baselines");
  }
  {
    // An unreadable backup is named in the event; a bad one is not.
    TempDir dir;
    spit(dir / "recall_replay.json.bak", "[");
    FaultEnv env;
    env.fail_reads(".bak");
    Loaded unreadable = load_all(dir.path(), nullptr, env);
    EXPECT_EQ(unreadable.event("recall_replay").status, "read_error_fallback");
    EXPECT_EQ(unreadable.event("recall_replay").path, (dir / "recall_replay.json.bak").string());
    Loaded malformed = load_all(dir.path());
    EXPECT_EQ(malformed.event("recall_replay").status, "load_error_fallback");
    EXPECT_EQ(malformed.event("recall_replay").path, (dir / "recall_replay.json").string());
  }
  {
    // Histories other than the replay keep every element at load.
    TempDir dir;
    spit(dir / "maintenance_trends.json", trends_text(200));
    EXPECT_EQ(load_all(dir.path()).trends, 200u);
  }
}

TEST(SurfaceLoaders, TopologyFailuresAreErrorsTheOpenDrops) {
  SecretKey key = SecretKey::random();
  struct Case {
    std::string content;
    bool sealed_without_key;
    const char* error;  // "" for success
  };
  const Case cases[] = {
      {"{\"edges\":{}}", false, ""},
      {"", false, "topology::load: deserialize"},
      {"[]", false, "topology::load: deserialize"},
      {sealed(key, "{}"), true, "topology::load: read "},
  };
  for (const Case& c : cases) {
    TempDir dir;
    spit(dir / "topology.cog", c.content);
    Result<Topology> t = load_topology(PersistenceTarget{dir.path(), nullptr}, Env::Default());
    std::string want = c.error;
    if (c.sealed_without_key) want += (dir / "topology.cog").string();
    EXPECT_EQ(t.ok() ? "" : t.status().message(), want);
  }
  TempDir empty;
  EXPECT_TRUE(load_topology(PersistenceTarget{empty.path(), nullptr}, Env::Default()).ok());
}

}  // namespace
}  // namespace vesk
