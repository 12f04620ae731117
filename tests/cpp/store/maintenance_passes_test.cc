// reflect(), decay() and decay_by_route_state() on a whole store: what a
// failing journal batch leaves, what demotion keeps for a record that comes
// back, and what the compaction after many archivals keeps.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/fixed_env.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::TempDir;

std::unique_ptr<Vesk> open_store(const fs::path& dir, Env& env) {
  auto v = Vesk::open(dir, std::nullopt, env);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

std::string store_text(Vesk& v, std::string content, std::vector<std::string> tags = {},
                       Level level = Level::Working) {
  StoreRequest r;
  r.content = std::move(content);
  r.level = level;
  r.tags = std::move(tags);
  r.auto_promote = false;
  Result<std::string> id = v.store(std::move(r));
  EXPECT_TRUE(id.ok()) << id.status().message();
  return id.ok() ? *id : std::string();
}

// What a pass may change, as the store shows it.
struct Visible {
  std::map<std::string, Record> records;
  std::vector<std::string> tagged;
  size_t terms = 0;
  size_t record_sdrs = 0;
  size_t identity_ids = 0;
  std::string journal;

  bool operator==(const Visible&) const = default;
};

Visible visible(Vesk& v, const fs::path& dir) {
  Visible out;
  for (const auto& [id, r] : *v.record_state().records.read()) out.records.emplace(id, r);
  out.tagged = v.indexes().tags.read()->ids_with("kiln");
  out.terms = v.indexes().terms.read()->size();
  out.record_sdrs = v.indexes().record_sdrs.read()->size();
  out.identity_ids = v.count(Level::Identity);
  out.journal = testing::slurp(dir / "brain.cog");
  return out;
}

TEST(MaintenancePasses, AFailingJournalBatchLeavesEveryRecordAndIndexAsBefore) {
  struct Case {
    const char* name;
    std::function<Status(Vesk&)> run;
  };
  const Case cases[] = {
      {"reflect", [](Vesk& v) { return v.reflect().status(); }},
      {"decay", [](Vesk& v) { return v.decay().status(); }},
      {"decay_by_route_state", [](Vesk& v) { return v.decay_by_route_state().status(); }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    FaultEnv env;
    auto v = open_store(dir.path(), env);
    const std::string weak = store_text(*v, "the old kiln shelf", {"kiln"});
    const std::string busy = store_text(*v, "the kiln runs on tuesdays", {"kiln", "schedule"});
    store_text(*v, "glaze batch seven came out matte", {"glaze"});
    {
      // A state every pass changes: a weak record to remove, a record to
      // promote, links to fade.
      auto records = VeskTestAccess::records(*v).records.write();
      records->find_value(weak)->strength = 0.045f;
      Record& b = *records->find_value(busy);
      b.activation_count = 30;
      b.level = Level::Domain;
      b.connections[weak] = 0.5f;
    }
    const Visible before = visible(*v, dir.path());

    env.fail_sync("brain.cog");
    const Status failed = c.run(*v);
    env.clear();
    EXPECT_FALSE(failed.ok()) << c.name;
    EXPECT_EQ(failed.kind(), ErrorKind::Runtime) << c.name;
    EXPECT_TRUE(before == visible(*v, dir.path())) << c.name;

    EXPECT_TRUE(c.run(*v).ok()) << c.name;
    EXPECT_FALSE(before == visible(*v, dir.path())) << c.name << ": the same pass goes through on a sound disk";
    EXPECT_TRUE(v->close().ok());
  }
}

TEST(MaintenancePasses, ADemotedRecordComesBackAtTheNextOpenWithItsEmbedding) {
  TempDir dir;
  testing::FixedEnv env({1'750'000'000, 0});
  std::string id;
  {
    auto v = open_store(dir.path(), env);
    id = store_text(*v, "the kiln shelf cracked", {"kiln"});
    ASSERT_TRUE(v->store_embedding(id, std::vector<float>{1.0f, 0.0f}).ok());
    for (int i = 0; i < 13; ++i) ASSERT_EQ(v->decay().value(), (std::pair<uint64_t, uint64_t>{1, 0}));
    EXPECT_EQ(v->decay_by_route_state().value(), (std::pair<uint64_t, uint64_t>{1, 1}));
    EXPECT_EQ(v->count(), 0u);
    EXPECT_TRUE(v->indexes().tags.read()->ids_with("kiln").empty());
    EXPECT_TRUE(v->recall_structured("kiln shelf").empty());
    EXPECT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path(), env);
  const std::optional<Record> back = v->get(id);
  ASSERT_TRUE(back);
  EXPECT_GE(back->strength, 0.05f) << "the journal holds the strength of before the demotion";
  EXPECT_TRUE(v->indexes().embeddings->vector(id));
}

TEST(MaintenancePasses, TheCompactionAfterManyArchivalsKeepsRecordsHeldOnlyInTheJournal) {
  TempDir dir;
  testing::FixedEnv env({1'750'000'000, 0});
  std::string demoted;
  {
    auto v = open_store(dir.path(), env);
    demoted = store_text(*v, "a record the route decay demotes");
    // Decisions records fade slower by level, so the route decay demotes
    // only the first; then decay() archives all 101 of them at once.
    for (int i = 0; i < 101; ++i) store_text(*v, "decision note " + std::to_string(i), {}, Level::Decisions);
    for (int i = 0; i < 13; ++i) ASSERT_EQ(v->decay().value(), (std::pair<uint64_t, uint64_t>{102, 0}));
    ASSERT_EQ(v->decay_by_route_state().value(), (std::pair<uint64_t, uint64_t>{102, 1}));
    for (int i = 0; i < 13; ++i) ASSERT_EQ(v->decay().value(), (std::pair<uint64_t, uint64_t>{101, 0}));
    const uint64_t journal_before = fs::file_size(dir.path() / "brain.cog");
    ASSERT_EQ(v->decay().value(), (std::pair<uint64_t, uint64_t>{101, 101}));
    EXPECT_LT(fs::file_size(dir.path() / "brain.cog"), journal_before / 10) << "compacted";
    EXPECT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path(), env);
  EXPECT_EQ(v->count(), 1u);
  EXPECT_TRUE(v->get(demoted));
}

// A compaction that fails before or after the new journal is in place: the
// call fails, and the decay with its journalled archivals stays.
TEST(MaintenancePasses, AFailedCompactionKeepsTheDecay) {
  for (const char* failing : {"brain.tmp", "brain.snap.tmp"}) {
    TempDir dir;
    FaultEnv env;
    {
      auto v = open_store(dir.path(), env);
      for (int i = 0; i < 101; ++i) store_text(*v, "note " + std::to_string(i));
      store_text(*v, "kept", {}, Level::Identity);
      for (int i = 0; i < 13; ++i) ASSERT_TRUE(v->decay().ok()) << failing;
      env.fail_open_for_write(failing);
      const auto failed = v->decay();
      env.clear();
      EXPECT_EQ(failed.status().kind(), ErrorKind::Runtime) << failing;
      EXPECT_EQ(v->count(), 1u) << failing;
      (void)v->close();
    }
    auto v = open_store(dir.path(), env);
    EXPECT_EQ(v->count(), 1u) << failing;
  }
}

}  // namespace
}  // namespace vesk
