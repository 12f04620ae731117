// The family graph over a hand-built record map (connections no writer
// would leave: dangling targets, one-sided links, missing weights), the
// person slug and the metadata of a person record.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entities/family_graph.h"
#include "model/record_map.h"

namespace vesk {
namespace {

struct Fixture {
  RecordMap map;

  Record& add(std::string id, std::string ns = "default") {
    Record r;
    r.id = std::move(id);
    r.namespace_ = std::move(ns);
    r.content = "content of " + r.id;
    r.tags = {"family"};
    return map.try_emplace(r.id, r).first->second;
  }
  void link(const std::string& from, const std::string& to, std::string type, std::optional<float> w) {
    Record& r = map.find(from)->second;
    r.connection_types[to] = std::move(type);
    if (w) r.connections[to] = *w;
  }
};

TEST(FamilyGraph, MembersAreTheAnchorsFamilyTargetsThatExistSortedByTypeThenId) {
  Fixture f;
  f.add("p");
  for (const char* id : {"b2", "b1", "fa", "si", "one_sided", "work", "far"}) f.add(id);
  f.map.find("far")->second.namespace_ = "elsewhere";
  f.link("p", "si", "family.sister", 0.95f);
  f.link("p", "b2", "family.brother", 0.95f);
  f.link("p", "fa", "family.father", std::nullopt);  // no weight stored: 0.0
  f.link("p", "b1", "family.brother", 0.5f);
  f.link("p", "far", "family.", 0.95f);               // another namespace still counts
  f.link("p", "work", "colleague", 0.9f);             // not a family type
  f.link("p", "gone", "family.son", 0.95f);           // no such record
  f.link("one_sided", "p", "family.mother", 0.95f);   // only person -> profile

  const FamilyGraphSnapshot g = family_graph(f.map, f.map.find("p")->second);
  std::vector<std::pair<std::string, std::string>> rows;
  for (const auto& m : g.members) rows.emplace_back(m.relation_type, m.record_id);
  EXPECT_EQ(rows, (std::vector<std::pair<std::string, std::string>>{{"family.", "far"},
                                                                    {"family.brother", "b1"},
                                                                    {"family.brother", "b2"},
                                                                    {"family.father", "fa"},
                                                                    {"family.sister", "si"}}));
  EXPECT_EQ(g.relation_count, 5u);
  EXPECT_EQ(g.relation_types.at("family.brother"), 2u);
  EXPECT_FALSE(g.relation_types.contains("family.son"));
  EXPECT_EQ(g.members[3].weight, 0.0);
  EXPECT_EQ(g.members[4].weight, static_cast<double>(0.95f));
  EXPECT_EQ(g.members[4].content, "content of si");
  EXPECT_EQ(g.profile_record_id, "p");

  ASSERT_TRUE(person_digest(g, "b1"));
  EXPECT_EQ(person_digest(g, "b1")->weight, static_cast<double>(0.5f));
  EXPECT_FALSE(person_digest(g, "p"));
  EXPECT_FALSE(person_digest(g, "one_sided"));
}

TEST(FamilyGraph, RelationTypes) {
  for (auto [type, family] : std::vector<std::pair<std::string_view, bool>>{
           {"family.", true}, {"family.sister", true}, {"family", false}, {"Family.brother", false},
           {"brother", false}, {"", false}})
    EXPECT_EQ(is_family_relation_type(type), family) << type;
}

TEST(FamilyGraph, PersonSlug) {
  for (auto [text, slug] : std::vector<std::pair<std::string_view, std::string_view>>{
           {"My sister Anna lives in Oslo", "my-sister-anna-lives-in-oslo"},
           {"Mary-Jane O'Neil", "mary-jane-o-neil"},
           {"  --Anna!!  ", "anna"},
           {"Zoë 2nd", "zo-2nd"},                // a non-ASCII letter is a separator
           {"\xCE\x91\xCE\xBD\xCE\xBD\xCE\xB1", ""},  // Greek only
           {"\xE2\x84\xAA" "ate", "kate"},       // the Kelvin sign lower-cases to "k"
           {"", ""}})
    EXPECT_EQ(person_slug(text), slug) << text;
}

TEST(FamilyGraph, PersonMetadata) {
  auto entity = [](StringMap m, std::string_view content = "My sister Anna") {
    StringMap out = family_person_metadata("family.sister", content, std::move(m), std::nullopt);
    auto it = out.find("entity_id");
    return it == out.end() ? std::string("<none>") : it->second;
  };
  EXPECT_EQ(entity({}), "person:family.sister:my-sister-anna");
  EXPECT_EQ(entity({{"name", "Anna"}}), "person:family.sister:anna");
  EXPECT_EQ(entity({{"name", "   "}}), "person:family.sister:my-sister-anna");
  EXPECT_EQ(entity({{"entity_id", "mine"}}), "mine");
  EXPECT_EQ(entity({{"entity_id", " "}}), "person:family.sister:my-sister-anna");
  EXPECT_EQ(entity({{"entity_id", " "}}, "\xCE\x91"), " ");  // empty slug: the blank value stays
  EXPECT_EQ(entity({}, "\xCE\x91"), "<none>");

  StringMap m = family_person_metadata("family.son", "x", {{"family_relation", "family.daughter"},
                                                           {"profile_record_id", "old"}, {"keep", "1"}},
                                       "anchor");
  EXPECT_EQ(m.at("family_relation"), "family.son");
  EXPECT_EQ(m.at("profile_record_id"), "anchor");
  EXPECT_EQ(m.at("keep"), "1");
  EXPECT_EQ(family_person_metadata("family.son", "x", {{"profile_record_id", "old"}}, std::nullopt)
                .at("profile_record_id"),
            "old");
}

}  // namespace
}  // namespace vesk
