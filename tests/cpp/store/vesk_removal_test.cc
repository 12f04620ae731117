// delete_record, purge_record and the layer cascade on a running and a
// reopened store.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "cognitive/layer_removal.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::TempDir;

std::unique_ptr<Vesk> open_store(const fs::path& dir, Env& env) {
  auto v = Vesk::open(dir, std::nullopt, env);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

std::string store(Vesk& v, std::string content, std::optional<std::string> caused_by = std::nullopt) {
  StoreRequest r;
  r.content = std::move(content);
  r.caused_by_id = std::move(caused_by);
  auto id = v.store(std::move(r));
  EXPECT_TRUE(id.ok()) << id.status().message();
  return id.ok() ? *id : std::string();
}

// A belief of three hypotheses, one resting on `record`; a concept and a
// causal pattern built on that belief but not naming the record; a policy
// hint triggered only by that concept; and an unrelated belief, concept and
// hint that must survive.
void seed_layers(Vesk& v, const std::string& record, const std::string& other) {
  CognitiveLayers& layers = VeskTestAccess::layers(v);
  auto belief = [](std::string id, std::string key, std::vector<std::string> hypotheses) {
    Belief b;
    b.id = std::move(id);
    b.key = std::move(key);
    b.hypothesis_ids = std::move(hypotheses);
    return b;
  };
  auto hypothesis = [](std::string id, std::string belief_id, std::string member) {
    Hypothesis h;
    h.id = std::move(id);
    h.belief_id = std::move(belief_id);
    h.prototype_record_ids = {std::move(member)};
    return h;
  };
  auto beliefs = layers.beliefs.write();
  beliefs->beliefs["b1"] = belief("b1", "k1", {"h1", "h2", "h3"});
  beliefs->hypotheses["h1"] = hypothesis("h1", "b1", record);
  beliefs->hypotheses["h2"] = hypothesis("h2", "b1", "x1");
  beliefs->hypotheses["h3"] = hypothesis("h3", "b1", "x2");
  beliefs->beliefs["b2"] = belief("b2", "k2", {"h4"});
  beliefs->hypotheses["h4"] = hypothesis("h4", "b2", other);
  beliefs->key_index = {{"k1", "b1"}, {"k2", "b2"}};
  beliefs->record_index = {{record, "h1"}, {"x1", "h2"}, {"x2", "h3"}, {other, "h4"}};
  auto concepts = layers.concepts.write();
  ConceptCandidate c1, c2;
  c1.id = "c1", c1.key = "ck1", c1.belief_ids = {"b1"};
  c2.id = "c2", c2.key = "ck2", c2.record_ids = {other};
  concepts->concepts["c1"] = c1;
  concepts->concepts["c2"] = c2;
  concepts->key_index = {{"ck1", "c1"}, {"ck2", "c2"}};
  auto causal = layers.causal.write();
  CausalPattern p1;
  p1.id = "p1", p1.key = "pk1", p1.effect_belief_ids = {"b1"};
  causal->patterns["p1"] = p1;
  causal->key_index = {{"pk1", "p1"}};
  auto policies = layers.policies.write();
  PolicyHint ph1, ph2;
  ph1.id = "ph1", ph1.key = "hk1", ph1.trigger_concept_ids = {"c1"};
  ph2.id = "ph2", ph2.key = "hk2", ph2.supporting_record_ids = {other};
  policies->hints["ph1"] = ph1;
  policies->hints["ph2"] = ph2;
  policies->key_index = {{"hk1", "ph1"}, {"hk2", "ph2"}};
}

TEST(Delete, CutsLinksJournalsAndStaysGone) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string gone = store(*v, "the record to delete");
  const std::string a = store(*v, "first linked record");
  const std::string b = store(*v, "second linked record");
  const std::string c = store(*v, "a record caused by it", gone);
  ASSERT_TRUE(v->connect(a, gone, 0.7f, std::string("peer_of")).ok());
  ASSERT_TRUE(v->connect(b, gone).ok());

  auto outcome = v->delete_record(gone);
  ASSERT_TRUE(outcome.ok()) << outcome.status().message();
  ASSERT_TRUE(outcome->has_value());
  EXPECT_EQ(**outcome, LayerRemovalCounts{});
  EXPECT_FALSE(v->get(gone));
  auto again = v->delete_record(gone);
  ASSERT_TRUE(again.ok());
  EXPECT_FALSE(again->has_value());

  ASSERT_TRUE(v->close().ok());
  auto reopened = open_store(dir.path(), env);
  EXPECT_FALSE(reopened->get(gone));
  for (const std::string& id : {a, b, c}) {
    auto r = reopened->get(id);
    ASSERT_TRUE(r) << id;
    EXPECT_FALSE(r->connections.contains(gone)) << id;
    EXPECT_FALSE(r->connection_types.contains(gone)) << id;
    EXPECT_NE(r->caused_by_id, std::optional(gone)) << id;
  }
  // The record log keeps the entry until a purge rewrites it.
  EXPECT_TRUE(reopened->storage().offset_of(gone));
}

TEST(Delete, FailedFrameKeepsRecordEmbeddingAndLayers) {
  TempDir dir;
  FixedEnv clock;
  testing::FaultEnv env(clock);
  auto v = open_store(dir.path(), env);
  const std::string id = store(*v, "a record whose delete fails");
  const std::string other = store(*v, "another record");
  seed_layers(*v, id, other);
  EmbeddingStore& embeddings = *VeskTestAccess::indexes(*v).embeddings;
  const std::vector<float> vec{1.0f, 0.0f};
  ASSERT_TRUE(embedding_store_put(embeddings, id, vec).ok());
  const uint64_t journal = std::filesystem::file_size(dir.path() / "brain.cog");

  env.fail_sync("brain.cog");
  EXPECT_FALSE(v->delete_record(id).ok());
  env.clear();
  EXPECT_TRUE(v->get(id));
  EXPECT_TRUE(embeddings.vector(id));
  EXPECT_TRUE(v->layers().beliefs.read()->beliefs.contains("b1"));
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "brain.cog"), journal);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "beliefs.cog"));

  auto outcome = v->delete_record(id);
  ASSERT_TRUE(outcome.ok() && outcome->has_value());
  EXPECT_FALSE(embeddings.vector(id));
}

TEST(Delete, CascadeRemovesWhatRestsOnTheRecord) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string id = store(*v, "the evidence record");
  const std::string other = store(*v, "unrelated evidence");
  seed_layers(*v, id, other);
  {
    std::unique_lock<std::shared_mutex> g(VeskTestAccess::layers(*v).plasticity.mu);
    Topology& t = VeskTestAccess::layers(*v).plasticity.topology;
    const uint64_t n = record_key(id), a = record_key("a"), b = record_key("b"), c = record_key("c");
    t.edges[n] = {{a, 0.5f}};
    t.edges[a] = {{n, 0.5f}, {b, 0.5f}};
    t.edges[c] = {{n, 0.5f}};
    t.edges[b] = {};
  }

  auto outcome = v->delete_record(id);
  ASSERT_TRUE(outcome.ok() && outcome->has_value()) << outcome.status().message();
  EXPECT_EQ(**outcome, (LayerRemovalCounts{1, 1, 1, 1, true}));

  const BeliefEngine beliefs = v->layers().beliefs.copy();
  EXPECT_EQ(beliefs.beliefs.size(), 1u);
  EXPECT_EQ(beliefs.hypotheses.size(), 1u);
  EXPECT_EQ(beliefs.record_index, (StringMap{{other, "h4"}}));
  EXPECT_EQ(beliefs.key_index, (StringMap{{"k2", "b2"}}));
  EXPECT_EQ(v->layers().concepts.read()->concepts.size(), 1u);
  EXPECT_TRUE(v->layers().causal.read()->patterns.empty());
  EXPECT_TRUE(v->layers().policies.read()->hints.contains("ph2"));
  {
    const Topology& t = VeskTestAccess::layers(*v).plasticity.topology;
    EXPECT_EQ(t.edges.size(), 2u);  // a keeps its edge to b; c went; b had none and stays
    ASSERT_TRUE(t.edges.contains(record_key("a")));
    EXPECT_EQ(t.edges.at(record_key("a")).size(), 1u);
    EXPECT_TRUE(t.edges.contains(record_key("b")));
  }
  for (const char* file : {"beliefs.cog", "concepts.cog", "causal.cog", "policies.cog", "topology.cog"}) {
    EXPECT_TRUE(std::filesystem::exists(dir.path() / file)) << file;
  }

  // A record no layer names: no layer file is written again.
  const auto stamp = std::filesystem::last_write_time(dir.path() / "beliefs.cog");
  std::filesystem::last_write_time(dir.path() / "beliefs.cog", stamp - std::chrono::hours(1));
  const std::string plain = store(*v, "a record no layer names");
  auto quiet = v->delete_record(plain);
  ASSERT_TRUE(quiet.ok() && quiet->has_value());
  EXPECT_EQ(**quiet, LayerRemovalCounts{});
  EXPECT_EQ(std::filesystem::last_write_time(dir.path() / "beliefs.cog"), stamp - std::chrono::hours(1));
}

TEST(Purge, FailedLogSwapLeavesTheLogWhole) {
  TempDir dir;
  FixedEnv clock;
  testing::FaultEnv env(clock);
  auto v = open_store(dir.path(), env);
  const std::string gone = store(*v, "the record to purge from the log");
  const std::string kept = store(*v, "a record the log keeps");
  ASSERT_TRUE(v->flush().ok());

  env.fail_rename_from(".purge.tmp");
  EXPECT_FALSE(v->purge_record(gone, PurgeScope::CurrentStorage).ok());
  env.clear();
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".purge."), std::string::npos) << entry.path();
  }
  // The log still works: it is read, appended to and reopened whole.
  EXPECT_TRUE(VeskTestAccess::storage(*v).read_entry(kept).ok());
  const std::string later = store(*v, "stored after the failed swap");

  // A failed purge can be repeated.
  auto report = v->purge_record(gone, PurgeScope::CurrentStorage);
  ASSERT_TRUE(report.ok()) << report.status().message();
  EXPECT_FALSE(report->active_record_removed);
  EXPECT_EQ(report->removed_surfaces, (std::vector<std::string>{"active", "derived", "current_storage"}));
  ASSERT_TRUE(v->close().ok());
  auto reopened = open_store(dir.path(), env);
  EXPECT_FALSE(reopened->storage().offset_of(gone));
  EXPECT_TRUE(reopened->get(kept));
  EXPECT_TRUE(reopened->get(later));
}

}  // namespace
}  // namespace vesk
