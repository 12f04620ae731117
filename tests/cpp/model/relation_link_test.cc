#include "model/relation_link.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

TEST(RelationLink, ChangesTheRecordOnlyWhenWeightOrTypeDiffers) {
  Record r;
  r.id = "aaaaaaaaaaaa";
  EXPECT_TRUE(link_relation_edge(r, "b", "mentor_of", 0.8f));
  EXPECT_FALSE(link_relation_edge(r, "b", "mentor_of", 0.8f));
  EXPECT_TRUE(link_relation_edge(r, "b", "mentor_of", 0.7f));
  EXPECT_TRUE(link_relation_edge(r, "b", "peer_of", 0.7f));
  EXPECT_EQ(r.connections.at("b"), 0.7f);
  EXPECT_EQ(r.connection_types.at("b"), "peer_of");

  // A weight without a type is not the typed edge.
  r.connection_types.erase("b");
  EXPECT_TRUE(link_relation_edge(r, "b", "peer_of", 0.7f));

  // Out of range clamps; NaN is no weight at all.
  EXPECT_TRUE(link_relation_edge(r, "c", "peer_of", 2.0f));
  EXPECT_EQ(r.connections.at("c"), 1.0f);
  const Record before = r;
  EXPECT_FALSE(link_relation_edge(r, "c", "peer_of", std::nanf("")));
  EXPECT_EQ(r, before);
}

TEST(RelationLink, StructuralTypes) {
  const struct {
    const char* type;
    bool structural;
  } cases[] = {
      {"family.sister", true}, {"family.", true},          {"belongs_to_project", true},
      {"familyx", false},      {"Family.sister", false},   {"belongs_to_project ", false},
      {"mentor_of", false},    {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_structural_relation_type(c.type), c.structural) << c.type;
}

}  // namespace
}  // namespace vesk
