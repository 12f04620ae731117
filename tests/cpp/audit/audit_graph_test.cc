#include "audit/audit_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vesk {
namespace {

// Audit records built by hand, in the order a map would hold them.
class Records {
 public:
  Record& add(std::string id, std::string entity_id, std::string kind, std::string events,
              std::optional<std::string> edges = std::nullopt) {
    Record& r = records_.emplace_back();
    r.id = std::move(id);
    r.content = "content of " + r.id;
    r.created_at = 100.0;
    r.metadata[std::string(kAuditEntityIdKey)] = std::move(entity_id);
    r.metadata[std::string(kAuditEntityKindKey)] = "\"" + kind + "\"";
    r.metadata[std::string(kAuditStatusEventsKey)] = std::move(events);
    if (edges) r.metadata[std::string(kAuditEdgesKey)] = std::move(*edges);
    return r;
  }
  Result<AuditGraph> build(double t, std::optional<std::string> ns = std::nullopt) const {
    std::vector<const Record*> in_order;
    for (const Record& r : records_) in_order.push_back(&r);
    return build_audit_graph(in_order, ns, t);
  }

 private:
  std::deque<Record> records_;
};

std::string statuses(const AuditGraph& g) {
  std::string out;
  for (const AuditGraphNode& n : g.nodes) {
    out += (out.empty() ? "" : " ") + n.entity_id + ":" + std::string(audit_entity_status_name(n.status));
  }
  return out;
}

std::string edges(const AuditGraph& g) {
  std::string out;
  for (const StoredAuditGraphEdge& e : g.edges) {
    out += (out.empty() ? "" : " ") + e.from_entity_id + "-" + std::string(audit_relation_kind_name(e.relation)) +
           "->" + e.to_entity_id;
  }
  return out;
}

TEST(AuditGraph, AnEmptyStoreGivesAnEmptyGraph) {
  auto g = Records().build(200.5, "work");
  ASSERT_TRUE(g.ok());
  EXPECT_EQ(json_to_string(*g),
            R"({"schema_version":1,"evaluated_at":200.5,"namespace":"work","nodes":[],"edges":[]})");
  EXPECT_EQ(json_to_string(*Records().build(1.0)),
            R"({"schema_version":1,"evaluated_at":1.0,"namespace":null,"nodes":[],"edges":[]})");
  for (double t : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(Records().build(t).status().message(), "evaluated_at must be finite");
  }
}

// Which status each entity has at t, and which entities are there at all.
TEST(AuditGraph, TheStatusInEffectIsTheLatestRecordedWhoseWindowHoldsT) {
  Records rs;
  const double t = 200.0;
  rs.add("r01", "starts-at-t", "claim", R"([{"s":"candidate","r":150,"f":200}])");
  rs.add("r02", "ends-at-t", "claim", R"([{"s":"accepted","r":150,"u":200}])");
  rs.add("r03", "recorded-at-t", "claim", R"([{"s":"candidate","r":150},{"s":"verified","r":200}])");
  rs.add("r04", "tie", "claim", R"([{"s":"accepted","r":150},{"s":"rejected","r":150}])");
  rs.add("r05", "latest-recorded", "claim", R"([{"s":"rejected","r":180},{"s":"accepted","r":150}])");
  rs.add("r06", "recorded-later", "claim", R"([{"s":"accepted","r":250}])");
  rs.add("r07", "future-window", "claim", R"([{"s":"accepted","r":150,"f":300}])");
  rs.add("r08", "created-later", "claim", R"([{"s":"accepted","r":50}])").created_at = 201.0;
  Record& old = rs.add("r09", "expired-record", "claim", R"([{"s":"blocked","r":150}])");
  old.valid_until = 150.0;
  auto g = rs.build(t);
  ASSERT_TRUE(g.ok()) << g.status().message();
  EXPECT_EQ(statuses(*g), "expired-record:blocked latest-recorded:rejected recorded-at-t:verified "
                          "starts-at-t:candidate tie:rejected");
  const AuditGraphNode& expired = g->nodes.front();
  EXPECT_FALSE(expired.business_time_valid);
  EXPECT_EQ(expired.valid_until, 150.0);
  EXPECT_TRUE(g->nodes.back().business_time_valid);
}

TEST(AuditGraph, EdgesInForceBetweenNodesInFixedOrder) {
  Records rs;
  // Stored out of order on purpose, with edges that must drop out: one not
  // yet recorded, one ended, one to an entity absent at t, one to nowhere.
  rs.add("r1", "m", "memory", R"([{"s":"observed","r":1}])");
  rs.add("r2", "c2", "claim", R"([{"s":"accepted","r":1}])",
         R"([{"r":"refutes","t":"m","k":5},{"r":"supports","t":"m","k":7},{"r":"supports","t":"m","k":6},)"
         R"({"r":"contradicts","t":"c1","k":5},{"r":"supports","t":"m","k":300},)"
         R"({"r":"refutes","t":"c1","k":5,"u":150},{"r":"supports","t":"late","k":5},)"
         R"({"r":"supports","t":"gone","k":5}])");
  rs.add("r3", "c1", "claim", R"([{"s":"accepted","r":1}])", R"([{"r":"supports","t":"c2","k":1.0005}])");
  rs.add("r4", "late", "claim", R"([{"s":"accepted","r":250}])");
  auto g = rs.build(200.0);
  ASSERT_TRUE(g.ok()) << g.status().message();
  EXPECT_EQ(edges(*g), "c1-supports->c2 c2-supports->m c2-supports->m c2-refutes->m c2-contradicts->c1");
  EXPECT_EQ(g->edges[1].recorded_at, 6.0);
  EXPECT_EQ(g->edges[0].from_record_id, "r3");
  EXPECT_EQ(g->edges[0].to_record_id, "r2");

  // Within one namespace the others' entities and the edges into them go.
  rs.add("r5", "elsewhere", "memory", R"([{"s":"observed","r":1}])").namespace_ = "work";
  rs.add("r6", "c3", "claim", R"([{"s":"accepted","r":1}])", R"([{"r":"supports","t":"elsewhere","k":1}])");
  auto all = rs.build(200.0);
  auto by_default = rs.build(200.0, "default");
  ASSERT_TRUE(all.ok() && by_default.ok());
  EXPECT_NE(edges(*all).find("c3-supports->elsewhere"), std::string::npos);
  EXPECT_EQ(edges(*by_default), edges(*g));
  EXPECT_EQ(statuses(*by_default).find("elsewhere"), std::string::npos);
}

TEST(AuditGraph, OneBadAuditRecordFailsTheWholeBuild) {
  const struct {
    const char* name;
    std::function<void(Records&)> add;
    std::string error;
  } cases[] = {
      {"duplicate id",
       [](Records& rs) { rs.add("r2", "c1", "memory", R"([{"s":"observed","r":1}])"); },
       "duplicate audit entity ID: c1"},
      {"bad id", [](Records& rs) { rs.add("r2", " c2", "claim", "[]"); },
       "audit entity ID cannot have outer whitespace"},
      {"bad kind", [](Records& rs) { rs.add("r2", "c2", "Claim", "[]"); },
       "record r2 has invalid vesk.audit.v1.entity_kind"},
      {"no history",
       [](Records& rs) { rs.add("r2", "c2", "claim", "").metadata.erase(std::string(kAuditStatusEventsKey)); },
       "record r2 is missing vesk.audit.v1.status_events"},
      {"bad history", [](Records& rs) { rs.add("r2", "c2", "claim", R"([{"s":"fine","r":1}])"); },
       "record r2 has invalid vesk.audit.v1.status_events"},
      {"bad edges", [](Records& rs) { rs.add("r2", "c2", "claim", R"([{"s":"accepted","r":1}])", "{}"); },
       "record r2 has invalid vesk.audit.v1.edges"},
      {"relation not allowed",
       [](Records& rs) {
         rs.add("r2", "m2", "memory", R"([{"s":"accepted","r":1}])", R"([{"r":"derived_from","t":"c1","k":1}])");
       },
       "relation 'derived_from' is invalid for memory -> claim"},
  };
  for (const auto& c : cases) {
    Records rs;
    rs.add("r1", "c1", "claim", R"([{"s":"accepted","r":1}])");
    c.add(rs);
    EXPECT_EQ(rs.build(200.0).status().message(), c.error) << c.name;
  }
  // An entity without a status at t is not there to collide with.
  Records rs;
  rs.add("r1", "c1", "claim", R"([{"s":"accepted","r":1}])");
  rs.add("r2", "c1", "claim", R"([{"s":"accepted","r":300}])");
  EXPECT_TRUE(rs.build(200.0).ok());
}

TEST(AuditGraph, TimesRoundToTheMillisecondAndPreviewsCutAt240Characters) {
  EXPECT_EQ(round_to_millisecond(0.0015), 0.002);
  EXPECT_EQ(round_to_millisecond(-0.0015), -0.002);
  EXPECT_EQ(round_to_millisecond(1.0004), 1.0);
  EXPECT_EQ(round_to_millisecond(1750000000.1234567), 1750000000.123);

  std::string exact;
  for (int i = 0; i < 240; ++i) exact += "\u00e9";
  EXPECT_EQ(audit_content_preview(exact), exact);
  EXPECT_EQ(audit_content_preview(exact + "x"), exact + "\u2026");
  EXPECT_EQ(audit_content_preview(""), "");
}

TEST(AuditGraph, ANodeIsFoundByEntityIdOrRecordIdInListOrder) {
  Records rs;
  rs.add("zz", "a", "claim", R"([{"s":"accepted","r":1}])");
  rs.add("r2", "zz", "claim", R"([{"s":"accepted","r":1}])");
  auto g = rs.build(200.0);
  ASSERT_TRUE(g.ok());
  // "a" comes first and its record id matches before the later entity id.
  EXPECT_EQ((*find_audit_node(g->nodes, "zz"))->entity_id, "a");
  EXPECT_EQ((*find_audit_node(g->nodes, "r2"))->entity_id, "zz");
  EXPECT_EQ(find_audit_node(g->nodes, "nope").status().message(), "audit entity not found: nope");
}

}  // namespace
}  // namespace vesk
