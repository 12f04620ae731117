// connect, the typed link, the links of the store road and the structural
// relation inference, on a running and a reopened store.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "base/fixed_env.h"
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

std::string store(Vesk& v, std::string content, std::vector<std::string> tags = {}, StringMap metadata = {},
                  std::string ns = "default") {
  StoreRequest r;
  r.content = std::move(content);
  r.tags = std::move(tags);
  r.metadata = std::move(metadata);
  r.namespace_ = std::move(ns);
  auto id = v.store(std::move(r));
  EXPECT_TRUE(id.ok()) << id.status().message();
  return id.ok() ? *id : std::string();
}

uint64_t journal_size(const TempDir& dir) { return std::filesystem::file_size(dir / "brain.cog"); }

// The weight and type `from` holds towards `to`, or none.
std::optional<std::pair<float, std::string>> link_of(Vesk& v, const std::string& from, const std::string& to) {
  auto r = v.get(from);
  if (!r || !r->connections.contains(to)) return std::nullopt;
  return std::pair(r->connections.at(to), r->connection_type(to).value_or(""));
}

const Vesk::EntityAnchorLookup kNoEntities = [](std::string_view) { return std::optional<std::string>(); };

TEST(TypedLink, WeightTypeAndRefusals) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "first record");
  const std::string b = store(*v, "second record");
  const std::string w = store(*v, "a work record", {}, {}, "work");

  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    std::optional<float> weight;
    const char* type;
    float linked;
    bool structural;
  } links[] = {
      {2.0f, "mentor_of", 1.0f, false},   {std::nullopt, "mentor_of", 0.8f, false},
      {inf, "mentor_of", 1.0f, false},    {-inf, "mentor_of", 0.0f, false},
      {0.3f, "family.x", 0.3f, true},     {0.3f, "familyx", 0.3f, false},
      {0.3f, "belongs_to_project", 0.3f, true},
  };
  for (const auto& c : links) {
    auto edge = v->link_records_core(a, b, c.weight, c.type, kNoEntities);
    ASSERT_TRUE(edge.ok()) << edge.status().message();
    EXPECT_EQ(edge->weight, c.linked) << c.type;
    EXPECT_EQ(edge->structural, c.structural) << c.type;
    EXPECT_EQ(edge->namespace_, "default");
    EXPECT_EQ(link_of(*v, a, b), std::pair(c.linked, std::string(c.type)));
    EXPECT_EQ(link_of(*v, b, a), std::pair(c.linked, std::string(c.type)));
  }

  const struct {
    std::string source, target;
    std::optional<float> weight;
    const char* type;
    std::string message;
  } refused[] = {
      {a, a, 0.5f, "x", "Cannot link record to itself"},
      {a, b, 0.5f, " \u3000", "Relation type must not be empty"},
      {a, b, std::nanf(""), "x", "Relation weight must not be NaN"},
      {"nope", b, 0.5f, "x", "Source record nope not found"},
      {a, "nope", 0.5f, "x", "Target record nope not found"},
      {a, w, 0.5f, "x", "Cannot link records across namespaces: default vs work"},
  };
  const uint64_t size = journal_size(dir);
  for (const auto& c : refused) {
    auto edge = v->link_records_core(c.source, c.target, c.weight, c.type, kNoEntities);
    ASSERT_FALSE(edge.ok()) << c.message;
    EXPECT_EQ(edge.status().message(), c.message);
    EXPECT_EQ(edge.status().kind(), ErrorKind::Runtime);
  }
  EXPECT_EQ(journal_size(dir), size);
}

TEST(TypedLink, ARepeatedLinkWritesNothingAndKeepsTheCaches) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "first record");
  const std::string b = store(*v, "second record");
  ASSERT_TRUE(v->link_records_core(a, b, 0.6f, "peer_of", kNoEntities).ok());

  const uint64_t size = journal_size(dir);
  VeskTestAccess::recall(*v).structured_cache.put("k", {});
  auto again = v->link_records_core(a, b, 0.6f, "peer_of", kNoEntities);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again->relation_type, "peer_of");
  EXPECT_EQ(journal_size(dir), size);
  EXPECT_EQ(v->recall_state().structured_cache.size(), 1u);

  // One side set back by hand: only that side is written again.
  ASSERT_TRUE(v->connect(b, a, 0.2f).ok());
  const uint64_t before = journal_size(dir);
  ASSERT_TRUE(v->link_records_core(a, b, 0.6f, "peer_of", kNoEntities).ok());
  EXPECT_EQ(v->recall_state().structured_cache.size(), 0u);
  const uint64_t one_frame = journal_size(dir) - before;
  EXPECT_GT(one_frame, 0u);
  EXPECT_EQ(link_of(*v, b, a), std::pair(0.6f, std::string("peer_of")));
}

// A strong link between records of two entities links the entities' anchors,
// found by the caller's lookup; a weak one, or records of one entity, do not.
TEST(TypedLink, AStrongLinkBetweenEntitiesLinksTheirAnchors) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string anchor1 = store(*v, "entity one", {}, {{"entity_id", "e1"}});
  const std::string anchor2 = store(*v, "entity two", {}, {{"entity_id", "e2"}});
  const std::string r1 = store(*v, "a fact about one", {}, {{"entity_id", "e1"}});
  const std::string r2 = store(*v, "a fact about two", {}, {{"entity_id", "e2"}});
  const std::string r3 = store(*v, "more about one", {}, {{"entity_id", "e1"}});
  std::vector<std::string> asked;
  const std::map<std::string, std::string> anchors = {{"e1", anchor1}, {"e2", anchor2}};
  Vesk::EntityAnchorLookup anchor_of = [&](std::string_view entity) -> std::optional<std::string> {
    asked.emplace_back(entity);
    auto it = anchors.find(std::string(entity));
    return it == anchors.end() ? std::nullopt : std::optional(it->second);
  };

  ASSERT_TRUE(v->link_records_core(r1, r2, 0.5f, "mentions", anchor_of).ok());
  EXPECT_FALSE(link_of(*v, anchor1, anchor2));
  ASSERT_TRUE(v->link_records_core(r1, r3, 0.9f, "mentions", anchor_of).ok());
  EXPECT_TRUE(asked.empty());

  ASSERT_TRUE(v->link_records_core(r1, r2, std::nullopt, "mentions", anchor_of).ok());
  EXPECT_EQ(asked, (std::vector<std::string>{"e1", "e2"}));
  EXPECT_EQ(link_of(*v, anchor1, anchor2), std::pair(0.8f, std::string("mentions")));
  EXPECT_EQ(link_of(*v, anchor2, anchor1), std::pair(0.8f, std::string("mentions")));
}

// A link the journal refused is not held: the call fails, and the retry
// writes it (a link left in memory would make the retry a silent no-op).
TEST(TypedLink, AFailedJournalWriteIsNotReportedByTheRetry) {
  TempDir dir;
  FixedEnv clock;
  FaultEnv env(clock);
  std::string a, b;
  {
    auto v = open_store(dir.path(), env);
    a = store(*v, "first record");
    b = store(*v, "second record");
    env.tear_writes_after("brain.cog", 0);
    EXPECT_FALSE(v->link_records(a, b, "peer_of", 0.6f).ok());
    env.clear();
    EXPECT_FALSE(link_of(*v, a, b));
    const uint64_t before = journal_size(dir);
    auto retry = v->link_records(a, b, "peer_of", 0.6f);
    ASSERT_TRUE(retry.ok()) << retry.status().message();
    EXPECT_GT(journal_size(dir), before);
    ASSERT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path(), env);
  EXPECT_EQ(link_of(*v, a, b), std::pair(0.6f, std::string("peer_of")));
  EXPECT_EQ(link_of(*v, b, a), std::pair(0.6f, std::string("peer_of")));
}

TEST(Connect, BothSidesTogetherOrNotAtAll) {
  TempDir dir;
  FixedEnv clock;
  FaultEnv env(clock);
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "first record");
  const std::string b = store(*v, "second record");
  ASSERT_TRUE(v->connect(a, b, 0.9f, std::string("peer_of")).ok());

  // Without a relationship only the weights change; the types stay.
  ASSERT_TRUE(v->connect(a, b).ok());
  EXPECT_EQ(link_of(*v, a, b), std::pair(0.5f, std::string("peer_of")));
  EXPECT_EQ(link_of(*v, b, a), std::pair(0.5f, std::string("peer_of")));

  // The batch is forced: a failed sync changes nothing.
  env.fail_sync("brain.cog");
  EXPECT_FALSE(v->connect(a, b, 0.1f, std::string("other")).ok());
  env.clear();
  EXPECT_EQ(link_of(*v, a, b), std::pair(0.5f, std::string("peer_of")));

  ASSERT_TRUE(v->connect(a, b, 0.0f, std::string()).ok());
  ASSERT_TRUE(v->close().ok());
  auto reopened = open_store(dir.path(), env);
  EXPECT_EQ(link_of(*reopened, a, b), std::pair(0.0f, std::string()));
  EXPECT_EQ(link_of(*reopened, b, a), std::pair(0.0f, std::string()));
}

TEST(Connect, Refusals) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "first record");
  const std::string b = store(*v, "second record");
  const std::string w = store(*v, "a work record", {}, {}, "work");
  const std::string distinct = "Connections require distinct records and a finite weight in [0, 1]";
  const struct {
    std::string id_a, id_b;
    std::optional<float> weight;
    std::string message;
  } cases[] = {
      {a, a, std::nullopt, distinct},
      {a, b, 1.5f, distinct},
      {a, b, -0.1f, distinct},
      {a, b, std::nanf(""), distinct},
      {a, b, std::numeric_limits<float>::infinity(), distinct},
      {"nope", "gone", std::nullopt, "Record nope not found"},
      {a, "gone", std::nullopt, "Record gone not found"},
      {a, w, 2.0f, "Cannot connect records across namespaces ('default' vs 'work')"},
  };
  for (const auto& c : cases) {
    Status s = v->connect(c.id_a, c.id_b, c.weight);
    EXPECT_EQ(s.message(), c.message);
    EXPECT_EQ(s.kind(), ErrorKind::Runtime);
  }
  EXPECT_TRUE(v->get(a)->connections.empty());
  EXPECT_TRUE(v->connect(a, b, 1.0f).ok());
}

// Both halves of the causal and associative links are journaled with the new
// record: a reopened store, and one whose journal was compacted, hold them.
TEST(StoreLinks, BothHalvesOfEveryLinkSurviveAReopen) {
  TempDir dir;
  FixedEnv env;
  std::string parent, child, tagged;
  std::map<std::string, Record> live;
  {
    auto v = open_store(dir.path(), env);
    parent = store(*v, "the parent", {"x"});
    for (int i = 0; i < 3; ++i) store(*v, "tagged " + std::to_string(i), {"x", "y"});
    StoreRequest r;
    r.content = "the child";
    r.caused_by_id = parent;
    child = *v->store(std::move(r));
    tagged = store(*v, "tagged late", {"y"});
    for (const auto& [id, rec] : *v->record_state().records.read()) live[id] = rec;
    EXPECT_EQ(link_of(*v, parent, child), std::pair(0.7f, std::string("causal")));
    EXPECT_EQ(v->get(tagged)->connections.size(), 3u);
    ASSERT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path(), env);
  for (const auto& [id, rec] : live) {
    auto held = v->get(id);
    ASSERT_TRUE(held) << id;
    EXPECT_EQ(held->connections, rec.connections) << id;
    EXPECT_EQ(held->connection_types, rec.connection_types) << id;
  }
  ASSERT_TRUE(VeskTestAccess::journal(*v).compact_cognitive_store().ok());
  ASSERT_TRUE(v->close().ok());
  auto compacted = open_store(dir.path(), env);
  EXPECT_EQ(compacted->get(parent)->connections, live.at(parent).connections);
}

// A store whose record and back links cannot be written stores nothing and
// leaves the neighbours as they were.
TEST(StoreLinks, AFailedWriteLeavesTheNeighboursAlone) {
  TempDir dir;
  FixedEnv clock;
  FaultEnv env(clock);
  auto v = open_store(dir.path(), env);
  const std::string old = store(*v, "an old record", {"x"});
  env.tear_writes_after("brain.cog", 0);
  StoreRequest r;
  r.content = "a new record";
  r.tags = {"x"};
  EXPECT_FALSE(v->store(std::move(r)).ok());
  env.clear();
  EXPECT_EQ(v->count(), 1u);
  EXPECT_TRUE(v->get(old)->connections.empty());
}

TEST(StructuralRelations, FamilyLinksFollowTheProfileAndAreSetBack) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string before_profile = store(*v, "my brother Tom plays chess");
  EXPECT_TRUE(v->get(before_profile)->connections.empty());  // no profile, no family link

  const std::string profile = store(*v, "I am the user, my brother is Tom", {"user-profile"});
  store(*v, "a second profile", {"user-profile"});
  // The profile's store linked the relative stored before it.
  EXPECT_EQ(link_of(*v, profile, before_profile), std::pair(0.95f, std::string("family.brother")));
  EXPECT_FALSE(link_of(*v, profile, profile));

  const std::string sister = store(*v, "my sister Ann likes green tea", {}, {{"family_relation", "family.cousin"}});
  EXPECT_EQ(link_of(*v, sister, profile), std::pair(0.95f, std::string("family.cousin")));
  EXPECT_EQ(link_of(*v, profile, sister), std::pair(0.95f, std::string("family.cousin")));

  // connect changes the link; the next store sets it back, and a store with
  // nothing to change writes only its own frames.
  ASSERT_TRUE(v->connect(profile, sister, 0.1f).ok());
  store(*v, "an unrelated note");
  EXPECT_EQ(link_of(*v, profile, sister), std::pair(0.95f, std::string("family.cousin")));

  const uint64_t before = journal_size(dir);
  store(*v, "another unrelated note");
  const uint64_t one_store = journal_size(dir) - before;
  store(*v, "a third unrelated note");
  EXPECT_EQ(journal_size(dir) - before, 2 * one_store);
}

TEST(StructuralRelations, MembersLinkTheLaterAnchorOfTheirNamespace) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string member = store(*v, "a finding", {}, {{"project_id", "p1"}});
  const std::string stranger = store(*v, "elsewhere", {}, {{"project_id", "p1"}}, "work");
  const std::string first = store(*v, "project one", {"research-project"}, {{"project_id", "p1"}});
  EXPECT_EQ(link_of(*v, member, first), std::pair(0.92f, std::string("belongs_to_project")));
  EXPECT_EQ(link_of(*v, first, member), std::pair(0.92f, std::string("belongs_to_project")));

  const std::string second = store(*v, "project one again", {"research-project"}, {{"project_id", "p1"}});
  EXPECT_EQ(link_of(*v, member, second), std::pair(0.92f, std::string("belongs_to_project")));
  EXPECT_FALSE(link_of(*v, stranger, second));
  // The two anchors share a tag, nothing more.
  EXPECT_EQ(link_of(*v, first, second)->second, "associative");
}

}  // namespace
}  // namespace vesk
