#include "write/structural_relations.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vesk {
namespace {

Record record(std::string content, StringMap metadata = {}, std::vector<std::string> tags = {}) {
  Record r;
  r.id = "aaaaaaaaaaaa";
  r.content = std::move(content);
  r.metadata = std::move(metadata);
  r.tags = std::move(tags);
  return r;
}

TEST(StructuralRelations, FamilyRelationOfARecord) {
  const struct {
    const char* content;
    const char* family_relation;  // metadata value, or null
    std::optional<std::string> expected;
  } cases[] = {
      {"my sister Ann likes green tea", nullptr, "family.sister"},
      {"My Mom called", nullptr, "family.mother"},          // case folded
      {"my mommy called", nullptr, "family.mother"},        // a plain substring
      {"I hum my song", nullptr, "family.son"},             // inside a longer word
      {"army son", nullptr, "family.son"},                  // across words
      {"my sister and my brother", nullptr, "family.brother"},  // table order, not text order
      {"my-dad's car", nullptr, "family.father"},           // punctuation is a space
      {"mysister", nullptr, std::nullopt},
      {"my sister", "family.cousin", "family.cousin"},      // the metadata wins
      {"my sister", "cousin", "family.sister"},             // without the prefix it is ignored
      {"no relative here", "family.", "family."},
      {"no relative here", nullptr, std::nullopt},
  };
  for (const auto& c : cases) {
    StringMap metadata;
    if (c.family_relation) metadata["family_relation"] = c.family_relation;
    EXPECT_EQ(family_relation_of(record(c.content, metadata)), c.expected) << c.content;
  }
}

TEST(StructuralRelations, RolesOfARecord) {
  const StructuralRoles anchor = structural_roles(record("a plan", {{"project_id", "p1"}}, {"research-project"}));
  EXPECT_EQ(anchor.anchor_project, "p1");
  EXPECT_FALSE(anchor.member_project);

  const StructuralRoles member = structural_roles(record("a note", {{"project_id", "p1"}}, {"Research-Project"}));
  EXPECT_EQ(member.member_project, "p1");
  EXPECT_FALSE(member.anchor_project);

  const StructuralRoles profile = structural_roles(record("me, my brother's keeper", {}, {"user-profile"}));
  EXPECT_TRUE(profile.profile);
  EXPECT_EQ(profile.family_relation, "family.brother");

  EXPECT_FALSE(structural_roles(record("a research-project note", {}, {"research-project"})).any());
}

}  // namespace
}  // namespace vesk
