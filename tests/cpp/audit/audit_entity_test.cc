#include "audit/audit_entity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

const std::string kIdKey(kAuditEntityIdKey);

Record record(std::string id, StringMap metadata = {}) {
  Record r;
  r.id = std::move(id);
  r.metadata = std::move(metadata);
  return r;
}

TEST(AuditEntity, IdRulesInTheirOrder) {
  const struct {
    std::string id;
    const char* error;  // null: valid
  } cases[] = {
      {std::string(512, 'a'), nullptr},
      {"claim-\u00e9", nullptr},
      {std::string(513, 'a'), "audit entity ID cannot exceed 512 bytes"},
      {"\t", "audit entity ID cannot be empty"},
      {"", "audit entity ID cannot be empty"},
      {" x", "audit entity ID cannot have outer whitespace"},
      {"x\u0085", "audit entity ID cannot have outer whitespace"},  // NEL is White_Space
      {"a\u0001b", "audit entity ID cannot contain control characters"},
      {"a\u0085b", "audit entity ID cannot contain control characters"},
      {"a\x7f", "audit entity ID cannot contain control characters"},
      // The length is checked before the outer white space.
      {" " + std::string(600, 'a'), "audit entity ID cannot exceed 512 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id.substr(0, 20));
    Status s = validate_audit_entity_id(c.id);
    if (!c.error) {
      EXPECT_TRUE(s.ok()) << s.message();
    } else {
      EXPECT_EQ(s.message(), c.error);
    }
  }
}

TEST(AuditEntity, MetadataWrittenReadsBack) {
  Record r = record("aaaaaaaaaaaa");
  const std::vector<AuditStatusEvent> events = {{AuditEntityStatus::Accepted, 1.5, std::nullopt, std::nullopt},
                                                {AuditEntityStatus::Rejected, 2.25, 3.0, 4.0}};
  ASSERT_TRUE(write_audit_entity_metadata(r, "c1", AuditEntityKind::Claim, events).ok());
  EXPECT_EQ(record_audit_entity_id(r), "c1");
  EXPECT_EQ(r.metadata.at(std::string(kAuditEntityKindKey)), "\"claim\"");
  EXPECT_EQ(r.metadata.at(std::string(kAuditStatusEventsKey)),
            R"([{"s":"accepted","r":1.5},{"s":"rejected","r":2.25,"f":3.0,"u":4.0}])");
  EXPECT_EQ(read_audit_status_events(r).value(), events);
  EXPECT_EQ(read_audit_entity_kind(r).value(), AuditEntityKind::Claim);

  // Refused writes leave the record as it was.
  const Record before = r;
  EXPECT_EQ(write_audit_entity_metadata(r, "c2", AuditEntityKind::Claim, {}).message(),
            "audit status history cannot be empty");
  EXPECT_EQ(write_audit_entity_metadata(r, " c2", AuditEntityKind::Claim, events).message(),
            "audit entity ID cannot have outer whitespace");
  EXPECT_EQ(r, before);

  const std::vector<StoredAuditEdge> edges = {{AuditRelationKind::Supports, "m1", 5.0, std::nullopt, std::nullopt}};
  write_audit_edges(r, edges);
  EXPECT_EQ(r.metadata.at(std::string(kAuditEdgesKey)), R"([{"r":"supports","t":"m1","k":5.0}])");
  EXPECT_EQ(read_audit_edges(r).value(), edges);
}

TEST(AuditEntity, ListReadersNameTheRecordAndKeepTheCause) {
  EXPECT_TRUE(read_audit_status_events(record("r1")).value().empty());
  EXPECT_TRUE(read_audit_edges(record("r1")).value().empty());
  // An extra key is skipped; a capitalised name or a missing "r" is refused.
  auto extra = read_audit_status_events(
      record("r1", {{std::string(kAuditStatusEventsKey), R"([{"s":"accepted","r":1.5,"x":2}])"}}));
  ASSERT_TRUE(extra.ok());
  EXPECT_EQ(*extra, (std::vector<AuditStatusEvent>{{AuditEntityStatus::Accepted, 1.5, std::nullopt, std::nullopt}}));
  for (const char* bad : {R"([{"s":"Accepted","r":1.5}])", R"([{"s":"accepted"}])"}) {
    Status s = read_audit_status_events(record("r1", {{std::string(kAuditStatusEventsKey), bad}})).status();
    EXPECT_EQ(s.message(), "record r1 has invalid vesk.audit.v1.status_events") << bad;
    EXPECT_NE(s.cause(), nullptr) << bad;
  }
  EXPECT_EQ(read_audit_edges(record("r2", {{std::string(kAuditEdgesKey), R"([["refutes","e1",2.5]])"}}))
                .status()
                .message(),
            "record r2 has invalid vesk.audit.v1.edges");
}

TEST(AuditEntity, StoredEdgesSortByRelationValueThenTargetThenTime) {
  using R = AuditRelationKind;
  std::vector<StoredAuditEdge> edges = {
      {R::VerifiedBy, "a", 1.0, std::nullopt, std::nullopt}, {R::Refutes, "b", 2.0, std::nullopt, std::nullopt},
      {R::Supports, "b", 3.0, std::nullopt, std::nullopt},   {R::Refutes, "b", 1.0, 7.0, std::nullopt},
      {R::Refutes, "a", 9.0, std::nullopt, std::nullopt},    {R::Refutes, "b", 1.0, 8.0, std::nullopt},
  };
  sort_audit_edges(edges);
  std::vector<std::string> order;
  for (const auto& e : edges) {
    order.push_back(std::string(audit_relation_kind_name(e.relation)) + " " + e.target + " " +
                    std::to_string(e.recorded_at) + (e.valid_from ? " f" + std::to_string(*e.valid_from) : ""));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"supports b 3.000000", "refutes a 9.000000",
                                             "refutes b 1.000000 f7.000000", "refutes b 1.000000 f8.000000",
                                             "refutes b 2.000000", "verified_by a 1.000000"}));
}

TEST(AuditEntity, ARecordIdWinsThenTheFirstEntityIdInMapOrder) {
  RecordMap map;
  for (Record r : {record("cccccccccccc", {{kIdKey, "shared"}}), record("aaaaaaaaaaaa", {{kIdKey, "bbbbbbbbbbbb"}}),
                   record("bbbbbbbbbbbb", {{kIdKey, "shared"}}), record("dddddddddddd")}) {
    std::string id = r.id;
    map.insert_or_assign(std::move(id), std::move(r));
  }
  MetadataValueIndex index(std::vector<std::string_view>{kAuditEntityIdKey});
  index.rebuild(map);
  EXPECT_EQ(resolve_audit_record_id(map, index, "bbbbbbbbbbbb"), "bbbbbbbbbbbb");
  EXPECT_EQ(resolve_audit_record_id(map, index, "shared"), "cccccccccccc");
  EXPECT_EQ(resolve_audit_record_id(map, index, "dddddddddddd"), "dddddddddddd");
  EXPECT_EQ(resolve_audit_record_id(map, index, "nothing"), std::nullopt);
}

TEST(AuditEntity, PatchCarriesTheListedKeysTheRecordHolds) {
  Record r = record("aaaaaaaaaaaa", {{kIdKey, "c1"}, {"other", "x"}});
  const std::string_view keys[] = {kAuditEntityIdKey, kAuditEdgesKey};
  RecordPatch p = record_metadata_patch(r, keys, {{"bbbbbbbbbbbb", 1.0f, "supports"}});
  EXPECT_EQ(p, (RecordPatch{"aaaaaaaaaaaa", {{kIdKey, "c1"}}, {{"bbbbbbbbbbbb", 1.0f, "supports"}}}));
  EXPECT_EQ(record_metadata_patch(r, {}, {}), (RecordPatch{"aaaaaaaaaaaa", {}, {}}));
}

}  // namespace
}  // namespace vesk
