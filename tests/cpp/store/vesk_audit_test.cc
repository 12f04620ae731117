#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "audit/audit_entity.h"
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

constexpr double kStart = 1'750'000'000.0;  // FixedEnv's clock

std::unique_ptr<Vesk> open_store(const fs::path& dir, Env& env) {
  auto v = Vesk::open(dir, std::nullopt, env);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

std::string stored(Vesk& v, std::string content, std::string ns = "default") {
  StoreRequest r;
  r.content = std::move(content);
  r.namespace_ = std::move(ns);
  auto id = v.store(std::move(r));
  EXPECT_TRUE(id.ok()) << id.status().message();
  return id.ok() ? *id : "";
}

// Every record of the map, in map order.
std::vector<Record> records_of(Vesk& v) {
  std::vector<Record> out;
  for (const auto& [id, r] : *v.record_state().records.read()) out.push_back(r);
  return out;
}

std::string graph_json(Vesk& v, double t) {
  auto g = v.audit_graph(std::nullopt, t);
  EXPECT_TRUE(g.ok()) << g.status().message();
  return g.ok() ? json_to_string(*g) : "";
}

TEST(VeskAudit, AnnotationStampsTheClockAndAnswersTheNode) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string rid = stored(*v, "the kiln reaches 1240 degrees");
  env.advance(2.5);
  auto node = v->annotate_audit_entity(rid, AuditEntityKind::Claim, AuditEntityStatus::Accepted);
  ASSERT_TRUE(node.ok()) << node.status().message();
  EXPECT_EQ(node->entity_id, rid);
  EXPECT_EQ(node->status_recorded_at, kStart + 2.5);
  EXPECT_EQ(node->record_created_at, kStart);
  EXPECT_EQ(v->get(rid)->metadata.at(std::string(kAuditStatusEventsKey)), R"([{"s":"accepted","r":1750000002.5}])");

  // The same again adds nothing; a chosen id may only repeat the one held.
  env.advance(1);
  ASSERT_TRUE(v->annotate_audit_entity(rid, AuditEntityKind::Claim, AuditEntityStatus::Accepted, rid).ok());
  EXPECT_EQ(read_audit_status_events(*v->get(rid))->size(), 1u);
  EXPECT_EQ(v->annotate_audit_entity(rid, AuditEntityKind::Claim, AuditEntityStatus::Accepted, "c9").status().message(),
            "audit entity ID is immutable ('" + rid + "' != 'c9')");

  // A chosen id is found by either name; another record cannot take it.
  const std::string other = stored(*v, "the glaze batch is ready");
  ASSERT_TRUE(v->annotate_audit_entity(other, AuditEntityKind::Decision, AuditEntityStatus::Decided, "d1").ok());
  EXPECT_EQ(v->annotate_audit_entity("d1", AuditEntityKind::Decision, AuditEntityStatus::Completed)->record_id, other);
  const std::string third = stored(*v, "a third record");
  EXPECT_EQ(
      v->annotate_audit_entity(third, AuditEntityKind::Claim, AuditEntityStatus::Accepted, "d1").status().message(),
      "audit entity ID is already assigned: d1");
  EXPECT_EQ(v->annotate_audit_entity("nothing", AuditEntityKind::Claim, AuditEntityStatus::Accepted).status().message(),
            "record or audit entity not found: nothing");
}

// A status is answered as it is at the later of now and its start; an event
// whose window has already ended is stored, and answered by the status still
// in effect, or refused after the fact when there is none.
TEST(VeskAudit, StatusWindowsAnswerAsTheyWillBe) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string rid = stored(*v, "the deploy window is friday");
  ASSERT_TRUE(v->annotate_audit_entity(rid, AuditEntityKind::Claim, AuditEntityStatus::Accepted).ok());

  auto later = v->set_audit_entity_status(rid, AuditEntityStatus::Rejected, kStart + 3600);
  ASSERT_TRUE(later.ok()) << later.status().message();
  EXPECT_EQ(later->status, AuditEntityStatus::Rejected);
  EXPECT_EQ(v->audit_graph(std::nullopt)->nodes.at(0).status, AuditEntityStatus::Accepted);
  EXPECT_EQ(v->audit_graph(std::nullopt, kStart + 3600)->nodes.at(0).status, AuditEntityStatus::Rejected);

  auto ended = v->set_audit_entity_status(rid, AuditEntityStatus::Blocked, kStart - 20, kStart - 10);
  ASSERT_TRUE(ended.ok()) << ended.status().message();
  EXPECT_EQ(ended->status, AuditEntityStatus::Accepted);
  EXPECT_EQ(read_audit_status_events(*v->get(rid))->size(), 3u);

  // Annotation always leaves an open event, so only metadata written around
  // it can leave an entity with nothing in effect.
  const std::string lone = stored(*v, "a record whose only status has ended");
  ASSERT_TRUE(v->annotate_audit_entity(lone, AuditEntityKind::Memory, AuditEntityStatus::Observed, "lone").ok());
  ASSERT_TRUE(VeskTestAccess::changes(*v)
                  .apply([&](RecordChanges::Batch& b) {
                    Record next = *b.find(lone);
                    next.metadata[std::string(kAuditStatusEventsKey)] = R"([{"s":"observed","r":1,"u":2}])";
                    return b.replace(std::move(next));
                  })
                  .ok());
  EXPECT_EQ(v->set_audit_entity_status("lone", AuditEntityStatus::Blocked, kStart - 20, kStart - 10).status().message(),
            "audit entity was not visible after status update: lone");
  EXPECT_EQ(read_audit_status_events(*v->get(lone))->size(), 2u);

  EXPECT_EQ(v->set_audit_entity_status("x", AuditEntityStatus::Blocked).status().message(),
            "audit entity not found: x");
  const std::string plain = stored(*v, "plain");
  EXPECT_EQ(v->set_audit_entity_status(plain, AuditEntityStatus::Blocked).status().message(),
            "record '" + plain + "' is not an audit entity");
}

// A change whose frame cannot be written leaves the map (and with it every
// record's metadata and connections) and the recall caches as they were.
TEST(VeskAudit, AChangeThatCannotBeJournaledChangesNothing) {
  TempDir dir;
  FixedEnv clock;
  FaultEnv env(clock);
  auto v = open_store(dir.path(), env);
  const std::string claim = stored(*v, "the clay is ready");
  const std::string memory = stored(*v, "we wedged the clay yesterday");
  ASSERT_TRUE(v->annotate_audit_entity(claim, AuditEntityKind::Claim, AuditEntityStatus::Accepted).ok());
  ASSERT_TRUE(v->annotate_audit_entity(memory, AuditEntityKind::Memory, AuditEntityStatus::Observed).ok());

  const struct {
    const char* name;
    std::function<Status()> change;
  } cases[] = {
      {"annotate",
       [&] { return v->annotate_audit_entity(claim, AuditEntityKind::Claim, AuditEntityStatus::Rejected).status(); }},
      {"status", [&] { return v->set_audit_entity_status(memory, AuditEntityStatus::Verified).status(); }},
      {"link",
       [&] { return v->link_audit_entities(memory, claim, AuditRelationKind::Supports).status(); }},
  };
  for (const auto& c : cases) {
    const std::vector<Record> before = records_of(*v);
    VeskTestAccess::recall(*v).structured_cache.put("k", {});
    env.tear_writes_after("brain.cog", 0);
    Status s = c.change();
    env.clear();
    EXPECT_FALSE(s.ok()) << c.name;
    EXPECT_EQ(records_of(*v), before) << c.name;
    EXPECT_EQ(v->recall_state().structured_cache.size(), 1u) << c.name;
    EXPECT_TRUE(c.change().ok()) << c.name;
    EXPECT_EQ(v->recall_state().structured_cache.size(), 0u) << c.name;
  }
}

TEST(VeskAudit, LinksAreStoredOnceAndConnectBothRecords) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string claim = stored(*v, "the kiln fires at 1240");
  const std::string memory = stored(*v, "last firing reached 1238");
  ASSERT_TRUE(v->annotate_audit_entity(claim, AuditEntityKind::Claim, AuditEntityStatus::Accepted, "c1").ok());
  ASSERT_TRUE(v->annotate_audit_entity(memory, AuditEntityKind::Memory, AuditEntityStatus::Observed).ok());
  // An earlier connection of any type between the two is replaced.
  ASSERT_TRUE(VeskTestAccess::changes(*v)
                  .apply([&](RecordChanges::Batch& b) {
                    Record next = *b.find(memory);
                    next.set_connection(claim, 0.3f, "mentions");
                    return b.replace(std::move(next));
                  })
                  .ok());

  auto first = v->link_audit_entities(memory, "c1", AuditRelationKind::Supports, kStart - 5, std::nullopt);
  ASSERT_TRUE(first.ok()) << first.status().message();
  EXPECT_EQ(first->from_record_id, memory);
  EXPECT_EQ(first->to_entity_id, "c1");
  EXPECT_EQ(first->to_record_id, claim);
  EXPECT_EQ(first->valid_from, kStart - 5);
  env.advance(0.0004);  // an unrounded time comes back as stored
  auto again = v->link_audit_entities(memory, claim, AuditRelationKind::Supports, kStart - 5, std::nullopt);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again->recorded_at, first->recorded_at);
  auto other = v->link_audit_entities(memory, claim, AuditRelationKind::Refutes);
  ASSERT_TRUE(other.ok());
  EXPECT_EQ(other->recorded_at, kStart + 0.0004);
  EXPECT_EQ(v->get(memory)->metadata.at(std::string(kAuditEdgesKey)),
            R"([{"r":"supports","t":"c1","k":1750000000.0,"f":1749999995.0},)"
            R"({"r":"refutes","t":"c1","k":1750000000.0004}])");
  for (const auto& [from, to] : {std::pair{memory, claim}, std::pair{claim, memory}}) {
    const Record r = *v->get(from);
    EXPECT_EQ(r.connections.at(to), 1.0f);
    EXPECT_EQ(r.connection_types.at(to), "refutes");
  }
  EXPECT_EQ(v->link_audit_entities(claim, "c1", AuditRelationKind::Supports).status().message(),
            "self-referential audit edges are not allowed");
  EXPECT_EQ(v->link_audit_entities(claim, memory, AuditRelationKind::DerivedFrom).status().message(),
            "relation 'derived_from' is invalid for claim -> memory");
  const std::string elsewhere = stored(*v, "kept at home", "home");
  ASSERT_TRUE(v->annotate_audit_entity(elsewhere, AuditEntityKind::Memory, AuditEntityStatus::Observed).ok());
  EXPECT_EQ(v->link_audit_entities(elsewhere, claim, AuditRelationKind::Supports).status().message(),
            "cannot link audit entities across namespaces ('home' vs 'default')");
  EXPECT_EQ(v->link_audit_entities("nope", claim, AuditRelationKind::Supports).status().message(),
            "audit source not found: nope");
  EXPECT_EQ(v->link_audit_entities(claim, "nope", AuditRelationKind::Supports).status().message(),
            "audit target not found: nope");
}

// The patches are replayed at the next open: the graph and the connections
// come back as they were.
TEST(VeskAudit, TheGraphSurvivesAReopen) {
  TempDir dir;
  FixedEnv env;
  std::string graph, claim, memory;
  std::vector<Record> records;
  {
    auto v = open_store(dir.path(), env);
    claim = stored(*v, "the kiln fires at 1240");
    memory = stored(*v, "last firing reached 1238");
    ASSERT_TRUE(v->annotate_audit_entity(claim, AuditEntityKind::Claim, AuditEntityStatus::Accepted, "c1").ok());
    ASSERT_TRUE(v->annotate_audit_entity(memory, AuditEntityKind::Memory, AuditEntityStatus::Observed).ok());
    env.advance(1);
    ASSERT_TRUE(v->set_audit_entity_status("c1", AuditEntityStatus::Verified, kStart + 10).ok());
    ASSERT_TRUE(v->link_audit_entities(memory, "c1", AuditRelationKind::Supports).ok());
    graph = graph_json(*v, kStart + 20);
    records = records_of(*v);
    ASSERT_TRUE(v->close().ok());
  }
  auto v = open_store(dir.path(), env);
  EXPECT_EQ(graph_json(*v, kStart + 20), graph);
  EXPECT_EQ(records_of(*v), records);
  EXPECT_EQ(v->get(claim)->connection_types.at(memory), "supports");
}

// Entity ids are kept unique by annotation, but metadata written around it
// can share one: every build then fails, and a resolution takes the first
// record in map order.
TEST(VeskAudit, TwoRecordsSharingAnEntityIdFailTheBuild) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string first = stored(*v, "first record");
  const std::string second = stored(*v, "second record");
  ASSERT_TRUE(v->annotate_audit_entity(first, AuditEntityKind::Claim, AuditEntityStatus::Accepted, "shared").ok());
  ASSERT_TRUE(v->annotate_audit_entity(second, AuditEntityKind::Claim, AuditEntityStatus::Accepted).ok());
  ASSERT_TRUE(VeskTestAccess::changes(*v)
                  .apply([&](RecordChanges::Batch& b) {
                    Record next = *b.find(second);
                    next.metadata[std::string(kAuditEntityIdKey)] = "shared";
                    return b.replace(std::move(next));
                  })
                  .ok());
  EXPECT_EQ(v->audit_graph(std::nullopt).status().message(), "duplicate audit entity ID: shared");
  EXPECT_EQ(v->set_audit_entity_status("shared", AuditEntityStatus::Rejected).status().message(),
            "duplicate audit entity ID: shared");
  EXPECT_EQ(read_audit_status_events(*v->get(first))->back().status, AuditEntityStatus::Rejected);
}

}  // namespace
}  // namespace vesk
