#include "audit/audit_metadata.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>


namespace vesk {
namespace {

using ::testing::StartsWith;

TEST(AuditMetadata, EnumerationsWriteTheirNamesAndReadThemBack) {
  for (int i = 0; i < 7; ++i) {
    auto k = static_cast<AuditEntityKind>(i);
    EXPECT_EQ(json_parse<AuditEntityKind>(json_to_string(k)).value(), k);
  }
  for (int i = 0; i < 10; ++i) {
    auto s = static_cast<AuditEntityStatus>(i);
    EXPECT_EQ(json_parse<AuditEntityStatus>(json_to_string(s)).value(), s);
  }
  for (int i = 0; i < 11; ++i) {
    auto r = static_cast<AuditRelationKind>(i);
    EXPECT_EQ(json_parse<AuditRelationKind>(json_to_string(r)).value(), r);
  }
  EXPECT_EQ(json_to_string(AuditEntityKind::Verification), "\"verification\"");
  EXPECT_EQ(json_to_string(AuditEntityStatus::Produced), "\"produced\"");
  EXPECT_EQ(json_to_string(AuditRelationKind::DerivedFrom), "\"derived_from\"");
  EXPECT_EQ(json_to_string(AuditRelationKind::VerifiedBy), "\"verified_by\"");
  EXPECT_EQ(audit_entity_kind_value(AuditEntityKind::Claim), "\"claim\"");
}

TEST(AuditMetadata, EntityKindOfARecord) {
  const struct {
    std::optional<std::string> value;
    std::optional<AuditEntityKind> want;
  } cases[] = {
      {R"("decision")", AuditEntityKind::Decision},
      {R"({"decision":null})", AuditEntityKind::Decision},
      {" \"source\"\n", AuditEntityKind::Source},
      {"decision", std::nullopt},
      {R"("Decision")", std::nullopt},
      {R"(" decision")", std::nullopt},
      {R"("decision" x)", std::nullopt},
      {R"({"decision":1})", std::nullopt},
      {"3", std::nullopt},
      {std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.value_or("(absent)"));
    Record r;
    r.id = "r1";
    if (c.value) r.metadata[std::string(kAuditEntityKindKey)] = *c.value;
    auto kind = read_audit_entity_kind(r);
    if (c.want) {
      ASSERT_TRUE(kind.ok()) << kind.status().message();
      EXPECT_EQ(*kind, *c.want);
    } else {
      EXPECT_EQ(kind.status().message(), c.value ? "record r1 has invalid vesk.audit.v1.entity_kind"
                                                 : "record r1 is missing vesk.audit.v1.entity_kind");
    }
  }
}

TEST(AuditMetadata, StatusEventsAndEdgesRoundTrip) {
  const AuditStatusEvent plain{AuditEntityStatus::Accepted, 12.25, std::nullopt, std::nullopt};
  const AuditStatusEvent windowed{AuditEntityStatus::Verified, 3.0, 1.5, 9.0};
  const StoredAuditEdge edge{AuditRelationKind::Supports, "e1", 12.5, 10.0, std::nullopt};
  const StoredAuditEdge nan_edge{AuditRelationKind::Caused, "e2", 1.0, std::numeric_limits<double>::quiet_NaN(),
                                 std::nullopt};
  EXPECT_EQ(json_to_string(plain), R"({"s":"accepted","r":12.25})");
  EXPECT_EQ(json_to_string(windowed), R"({"s":"verified","r":3.0,"f":1.5,"u":9.0})");
  EXPECT_EQ(json_to_string(edge), R"({"r":"supports","t":"e1","k":12.5,"f":10.0})");
  EXPECT_EQ(json_to_string(nan_edge), R"({"r":"caused","t":"e2","k":1.0,"f":null})");

  const std::vector<AuditStatusEvent> events = {plain, windowed};
  auto events_text = audit_status_events_value(events);
  ASSERT_TRUE(events_text.ok());
  EXPECT_EQ(parse_audit_status_events(*events_text).value(), events);
  EXPECT_EQ(audit_status_events_value({}).status().message(), "audit status history cannot be empty");
  EXPECT_EQ(audit_edges_value({}), "[]");
  const std::vector<StoredAuditEdge> edges = {edge};
  EXPECT_EQ(parse_audit_edges(audit_edges_value(edges)).value(), edges);
}

TEST(AuditMetadata, ListsReadBothFormsOrNameTheFault) {
  const AuditStatusEvent blocked{AuditEntityStatus::Blocked, 5.0, std::nullopt, std::nullopt};
  const struct {
    const char* text;
    std::vector<AuditStatusEvent> want;
    const char* error;
  } events[] = {
      {R"([{"s":"blocked","r":5}])", {blocked}, ""},
      {R"([{"r":5,"x":[1],"s":{"blocked":null},"f":null}])", {blocked}, ""},
      {R"([["blocked",5,null,null]])", {blocked}, ""},
      {" [ ] ", {}, ""},
      {R"([{"r":1}])", {}, "missing field `s`"},
      {R"([{"s":"blocked"}])", {}, "missing field `r`"},
      {R"([{"s":"blocked","r":1,"s":"accepted"}])", {}, "duplicate field `s`"},
      {R"([["blocked",5]])", {}, "invalid length 2, expected struct AuditStatusEvent with 4 elements"},
      {R"([["blocked",5,null,null,null]])", {}, "trailing characters"},
      {R"([{"s":"Blocked","r":1}])", {}, "unknown variant `Blocked`"},
      {R"({"s":"blocked","r":1})", {}, "invalid type: map, expected a sequence"},
      {R"([] [])", {}, "trailing characters"},
  };
  for (const auto& c : events) {
    SCOPED_TRACE(c.text);
    auto got = parse_audit_status_events(c.text);
    if (*c.error == '\0') {
      ASSERT_TRUE(got.ok()) << got.status().message();
      EXPECT_EQ(*got, c.want);
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_THAT(got.status().message(), StartsWith(c.error));
    }
  }

  const StoredAuditEdge refutes{AuditRelationKind::Refutes, "e1", 2.5, std::nullopt, std::nullopt};
  const struct {
    const char* text;
    std::vector<StoredAuditEdge> want;
    const char* error;
  } edges[] = {
      {R"([["refutes","e1",2.5,null,null]])", {refutes}, ""},
      {R"([{"k":2.5,"t":"e1","r":"refutes","u":null}])", {refutes}, ""},
      {R"([["refutes","e1",2.5]])", {}, "invalid length 3, expected struct StoredAuditEdge with 5 elements"},
      {R"([{"k":1}])", {}, "missing field `r`"},
      {R"([{"r":"refutes","k":1}])", {}, "missing field `t`"},
      {R"([{"r":"refutes","t":"e1"}])", {}, "missing field `k`"},
      {R"([{"r":"refutes","t":"e1","k":"1"}])", {}, "invalid type: string \"1\", expected f64"},
  };
  for (const auto& c : edges) {
    SCOPED_TRACE(c.text);
    auto got = parse_audit_edges(c.text);
    if (*c.error == '\0') {
      ASSERT_TRUE(got.ok()) << got.status().message();
      EXPECT_EQ(*got, c.want);
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_THAT(got.status().message(), StartsWith(c.error));
    }
  }
}

}  // namespace
}  // namespace vesk
