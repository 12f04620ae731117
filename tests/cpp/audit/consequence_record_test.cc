#include "audit/consequence_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

Record record_of(const ConsequenceUnit& u) {
  ConsequenceRecordFields f = consequence_record_fields(u);
  Record r;
  r.id = "0123456789ab";
  r.namespace_ = u.namespace_;
  r.created_at = 42.5;
  r.content = f.content;
  r.tags = f.tags;
  r.metadata = f.metadata;
  return r;
}

ConsequenceUnit sample() {
  ConsequenceUnit u;
  u.situation = "s";
  u.action = "a";
  u.consequence = "c";
  u.trust = -2147483647 - 1;
  u.scope = {"x", "y"};
  u.provenance = {"p1", "p2"};
  u.links = {{"belief:b1", "about"}, {"0123", "caused \"by\""}};
  u.namespace_ = "ops";
  u.captured_at = 1750000000.25;
  return u;
}

TEST(ConsequenceRecord, ReadsBackWhatItWrites) {
  ConsequenceUnit u = sample();
  Record r = record_of(u);
  EXPECT_EQ(r.metadata.at("cu_captured_at"), "1750000000.250000");
  EXPECT_EQ(r.metadata.at("cu_trust"), "-2147483648");
  std::optional<ConsequenceUnit> back = build_consequence_unit(r);
  ASSERT_TRUE(back);
  u.record_id = r.id;
  EXPECT_EQ(*back, u);
}

TEST(ConsequenceRecord, LenientFieldByField) {
  struct Case {
    std::string key, value;
    int32_t trust;
    double captured_at;
    size_t links;
  };
  const std::vector<Case> cases = {
      {"cu_trust", "ten", 0, 1750000000.25, 2},
      {"cu_trust", "+7", 7, 1750000000.25, 2},
      {"cu_trust", "+-7", 0, 1750000000.25, 2},
      {"cu_trust", "2147483648", 0, 1750000000.25, 2},
      {"cu_trust", " 7", 0, 1750000000.25, 2},
      {"cu_captured_at", "soon", -2147483648, 42.5, 2},
      {"cu_links", "[\"a\"]", -2147483648, 1750000000.25, 0},
      {"cu_links", "{\"a\":1}", -2147483648, 1750000000.25, 0},
      {"cu_links", "{\"a\":\"b\"} x", -2147483648, 1750000000.25, 0},
      {"cu_links", "{\"a\":\"b\"}\n", -2147483648, 1750000000.25, 1},
  };
  for (const Case& c : cases) {
    Record r = record_of(sample());
    r.metadata[c.key] = c.value;
    std::optional<ConsequenceUnit> u = build_consequence_unit(r);
    ASSERT_TRUE(u) << c.key << "=" << c.value;
    EXPECT_EQ(u->trust, c.trust) << c.key << "=" << c.value;
    EXPECT_EQ(u->captured_at, c.captured_at) << c.key << "=" << c.value;
    EXPECT_EQ(u->links.size(), c.links) << c.key << "=" << c.value;
  }
  Record bare = record_of(sample());
  for (const char* key : {"cu_situation", "cu_trust", "cu_scope", "cu_links", "cu_captured_at"}) bare.metadata.erase(key);
  std::optional<ConsequenceUnit> u = build_consequence_unit(bare);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->situation, "");
  EXPECT_EQ(u->trust, 0);
  EXPECT_TRUE(u->scope.empty());
  EXPECT_EQ(u->captured_at, 42.5);
}

TEST(ConsequenceRecord, OnlyTheTagAndTheKindTogetherMakeAUnit) {
  Record tagged = record_of(sample());
  tagged.metadata.erase("kind");
  EXPECT_FALSE(build_consequence_unit(tagged));
  Record other_kind = record_of(sample());
  other_kind.metadata["kind"] = "Consequence_unit";
  EXPECT_FALSE(build_consequence_unit(other_kind));
  Record untagged = record_of(sample());
  untagged.tags.erase(untagged.tags.begin());
  EXPECT_FALSE(build_consequence_unit(untagged));
}

}  // namespace
}  // namespace vesk
