#include "model/record_access.h"

#include <gtest/gtest.h>

#include "write/provenance.h"

namespace vesk {
namespace {

Record with_metadata(StringMap m, std::string source_type = "recorded") {
  Record r;
  r.id = "r1";
  r.metadata = std::move(m);
  r.source_type = std::move(source_type);
  return r;
}

TEST(RecordAccess, Decisions) {
  const StringMap restricted = {{"acl_visibility", "restricted"},
                                {"acl_read_roles", " Admin ,ops,,"},
                                {"acl_read_groups", "team-a"},
                                {"acl_read_principals", "alice"},
                                {"acl_policy_version", "v7"}};
  AccessRequest anonymous;
  AccessRequest admin{std::nullopt, {"ADMIN"}, {}};
  AccessRequest spaced_role{std::nullopt, {" admin"}, {}};
  AccessRequest alice{std::string("ALICE"), {}, {}};
  AccessRequest group{std::nullopt, {}, {"Team-A"}};
  struct Case {
    StringMap metadata;
    const AccessRequest* request;
    bool allowed;
    std::string_view reason;
  };
  const Case cases[] = {
      {{}, &anonymous, true, "public_or_legacy"},
      {{{"acl_visibility", "public"}, {"acl_read_roles", "x"}}, &anonymous, true, "public_or_legacy"},
      {{{"acl_visibility", "Public"}}, &admin, false, "invalid_visibility_deny"},
      {{{"acl_visibility", " restricted"}}, &admin, false, "invalid_visibility_deny"},
      {restricted, &anonymous, false, "restricted_no_match"},
      {restricted, &admin, true, "allow_list_match"},
      {restricted, &spaced_role, false, "restricted_no_match"},
      {restricted, &alice, true, "allow_list_match"},
      {restricted, &group, true, "allow_list_match"},
      {{{"acl_visibility", "restricted"}}, &admin, false, "restricted_no_match"},
  };
  for (const Case& c : cases) {
    AccessDecision d = record_access_allowed(with_metadata(c.metadata), *c.request);
    EXPECT_EQ(d.allowed, c.allowed) << c.reason;
    EXPECT_EQ(d.reason, c.reason);
  }
  EXPECT_EQ(record_access_allowed(with_metadata(restricted), anonymous).policy_version, "v7");
  EXPECT_EQ(record_access_allowed(with_metadata({}), anonymous).policy_version, std::nullopt);
}

TEST(RecordAccess, ParseAclList) {
  const std::string v = " Ops ,admin,, ,\u00a0ÉQUIPE\u00a0";
  EXPECT_EQ(parse_acl_list(&v), (std::set<std::string>{"admin", "ops", "équipe"}));
  EXPECT_TRUE(parse_acl_list(nullptr).empty());
}

TEST(Provenance, EffectiveSourceType) {
  struct Case {
    std::string source_type;
    StringMap metadata;
    std::string want;
  };
  const Case cases[] = {
      {"recorded", {}, "recorded"},
      {"recorded", {{"relayed_by_model", "true"}, {"claim_certainty", "hedged"}}, "retrieved"},
      {"recorded", {{"relayed_by_model", "true"}, {"claim_certainty", "hearsay"}}, "inferred"},
      {"recorded", {{"relayed_by_model", "True"}}, "recorded"},
      {"recorded", {{"claim_certainty", "speculative"}}, "inferred"},
      {"retrieved", {{"relayed_by_model", "true"}}, "retrieved"},
      {"generated", {{"claim_certainty", "hearsay"}}, "generated"},
      {"custom", {{"claim_certainty", "hearsay"}}, "inferred"},
      {"recorded", {{"claim_certainty", "Hearsay"}}, "recorded"},
  };
  for (const Case& c : cases) EXPECT_EQ(effective_source_type(with_metadata(c.metadata, c.source_type)), c.want) << c.source_type;
}

}  // namespace
}  // namespace vesk
