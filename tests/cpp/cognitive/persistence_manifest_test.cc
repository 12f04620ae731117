#include "cognitive/persistence_manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

const std::string kCurrentFile =
    "{\n"
    "  \"schema_version\": 1,\n"
    "  \"surfaces\": {\n"
    "    \"belief\": 1,\n"
    "    \"causal\": 1,\n"
    "    \"concept\": 1,\n"
    "    \"maintenance_trends\": 1,\n"
    "    \"policy\": 1,\n"
    "    \"recall_replay\": 1,\n"
    "    \"reflection_summaries\": 1\n"
    "  }\n"
    "}";

struct Outcome {
  std::vector<std::pair<std::string, std::string>> events;  // status, detail
  PersistenceManifest manifest;
  std::string file;
};

Outcome load(const TempDir& dir, Env& env = Env::Default()) {
  std::vector<StartupValidationEvent> events;
  Outcome out;
  out.manifest = load_persistence_manifest(dir.path(), events, env);
  for (const auto& e : events) {
    EXPECT_EQ(e.surface, "persistence_manifest");
    EXPECT_EQ(e.path, (dir / "persistence_manifest.json").string());
    EXPECT_EQ(e.recovered, e.status != "loaded");
    out.events.emplace_back(e.status, e.detail.value_or("<none>"));
  }
  out.file = slurp(dir / "persistence_manifest.json");
  return out;
}

using Events = std::vector<std::pair<std::string, std::string>>;

TEST(PersistenceManifest, CurrentManifestIsElevenPrettyLines) {
  EXPECT_EQ(persistence_manifest_json(current_persistence_manifest()), kCurrentFile);
  EXPECT_EQ(json_parse<PersistenceManifest>(kCurrentFile).value(), current_persistence_manifest());
}

TEST(PersistenceManifest, FallbacksStartFromTheCurrentManifestAndRewriteIt) {
  const std::pair<std::string, std::string> loaded{"loaded", "loaded current persistence manifest"};
  struct Case {
    const char* name;
    std::optional<std::string> content;  // none: no file
    Events events;
  };
  const Case cases[] = {
      {"missing", std::nullopt,
       {{"missing_fallback", "persistence manifest missing; created current manifest"}, loaded}},
      {"blank", " \n\t\xe2\x80\xa8",
       {{"empty_fallback", "persistence manifest was empty; created current manifest"}, loaded}},
      {"not json", "schema_version=1",
       {{"load_error_fallback", "expected value at line 1 column 1"}, loaded}},
      {"not utf-8", "{\"schema_version\":1,\"surfaces\":{\"\xff\":1}}",
       {{"load_error_fallback", "stream did not contain valid UTF-8"}, loaded}},
      {"missing key", "{\"schema_version\":1}",
       {{"load_error_fallback", "missing field `surfaces` at line 1 column 20"}, loaded}},
      {"repeated key", "{\"schema_version\":1,\"schema_version\":1,\"surfaces\":{}}",
       {{"load_error_fallback", "duplicate field `schema_version` at line 1 column 36"}, loaded}},
      {"beyond u32", "{\"schema_version\":4294967296,\"surfaces\":{}}",
       {{"load_error_fallback",
         "invalid value: integer `4294967296`, expected u32 at line 1 column 28"},
        loaded}},
      {"negative version", "{\"schema_version\":1,\"surfaces\":{\"belief\":-1}}",
       {{"load_error_fallback", "invalid value: integer `-1`, expected u32 at line 1 column 43"}, loaded}},
      {"trailing", "{\"schema_version\":1,\"surfaces\":{}} {}",
       {{"load_error_fallback", "trailing characters at line 1 column 36"}, loaded}},
      {"current", kCurrentFile, {loaded}},
      // Unknown keys are skipped, the positional form is read, a repeated
      // surface keeps its later version.
      {"extra key", "{\"note\":[1,{}],\"surfaces\":{\"belief\":1,\"causal\":1,\"concept\":1,"
                    "\"maintenance_trends\":1,\"policy\":1,\"recall_replay\":1,\"reflection_summaries\":1},"
                    "\"schema_version\":1}",
       {loaded}},
      {"positional", "[1,{\"belief\":7,\"causal\":1,\"concept\":1,\"maintenance_trends\":1,\"policy\":1,"
                     "\"recall_replay\":1,\"reflection_summaries\":1,\"belief\":1}]",
       {loaded}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.content) spit(dir / "persistence_manifest.json", *c.content);
    Outcome out = load(dir);
    EXPECT_EQ(out.events, c.events) << c.name;
    EXPECT_EQ(out.manifest, current_persistence_manifest()) << c.name;
    EXPECT_EQ(out.file, kCurrentFile) << c.name;
  }
}

TEST(PersistenceManifest, OtherVersionsAreNormalisedAndUnknownSurfacesKept) {
  TempDir dir;
  spit(dir / "persistence_manifest.json",
       "{\"schema_version\": 2, \"surfaces\": {\"topology\": 3, \"belief\": 1}}");
  Outcome out = load(dir);
  EXPECT_EQ(out.events, (Events{{"version_mismatch",
                                 "normalized manifest to current versions: schema_version 2 -> 1, causal 0 -> 1, "
                                 "concept 0 -> 1, maintenance_trends 0 -> 1, policy 0 -> 1, recall_replay 0 -> 1, "
                                 "reflection_summaries 0 -> 1"}}));
  const std::string want =
      "{\n"
      "  \"schema_version\": 1,\n"
      "  \"surfaces\": {\n"
      "    \"belief\": 1,\n"
      "    \"causal\": 1,\n"
      "    \"concept\": 1,\n"
      "    \"maintenance_trends\": 1,\n"
      "    \"policy\": 1,\n"
      "    \"recall_replay\": 1,\n"
      "    \"reflection_summaries\": 1,\n"
      "    \"topology\": 3\n"
      "  }\n"
      "}";
  EXPECT_EQ(out.file, want);
  EXPECT_EQ(out.manifest.surfaces.at("topology"), 3u);
  EXPECT_EQ(out.manifest.surfaces.size(), 8u);

  // A version above the current one is lowered too; the next open is clean.
  spit(dir / "persistence_manifest.json", "{\"schema_version\":1,\"surfaces\":{\"policy\":9}}");
  EXPECT_EQ(load(dir).events[0].second,
            "normalized manifest to current versions: belief 0 -> 1, causal 0 -> 1, concept 0 -> 1, "
            "maintenance_trends 0 -> 1, policy 9 -> 1, recall_replay 0 -> 1, reflection_summaries 0 -> 1");
  EXPECT_EQ(load(dir).events, (Events{{"loaded", "loaded current persistence manifest"}}));
}

TEST(PersistenceManifest, FailedRewriteIsIgnoredAndLeavesTheFile) {
  const std::string stale = "{\"schema_version\":1,\"surfaces\":{\"belief\":2}}";
  for (bool exists : {true, false}) {
    TempDir dir;
    if (exists) spit(dir / "persistence_manifest.json", stale);
    // Root ignores chmod, so the write protection is injected.
    FaultEnv env;
    env.fail_open_for_write("persistence_manifest.json");
    std::vector<StartupValidationEvent> events;
    PersistenceManifest m = load_persistence_manifest(dir.path(), events, env);
    EXPECT_EQ(m, current_persistence_manifest());
    ASSERT_EQ(events.size(), exists ? 1u : 2u);
    EXPECT_EQ(events.back().status, exists ? "version_mismatch" : "loaded");
    if (exists)
      EXPECT_EQ(slurp(dir / "persistence_manifest.json"), stale);
    else
      EXPECT_FALSE(fs::exists(dir / "persistence_manifest.json"));
  }
}

}  // namespace
}  // namespace vesk
