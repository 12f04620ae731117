#include "write/structural_relation_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vesk {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// What a walk of the map in order finds: the rule the index must answer by.
struct Walk {
  std::string profile;
  Pairs relatives;
  Pairs memberships;
};

Walk walk(const RecordMap& map, std::string_view ns) {
  Walk w;
  StringMap anchors;
  for (const auto& [id, r] : map) {
    if (r.namespace_ != ns) continue;
    const StructuralRoles roles = structural_roles(r);
    if (roles.profile && w.profile.empty()) w.profile = id;
    if (roles.family_relation) w.relatives.emplace_back(id, *roles.family_relation);
    if (roles.anchor_project) anchors[*roles.anchor_project] = id;  // the later one wins
  }
  for (const auto& [id, r] : map) {
    if (r.namespace_ != ns) continue;
    const StructuralRoles roles = structural_roles(r);
    if (!roles.member_project) continue;
    if (auto a = anchors.find(*roles.member_project); a != anchors.end()) w.memberships.emplace_back(id, a->second);
  }
  std::sort(w.relatives.begin(), w.relatives.end());
  std::sort(w.memberships.begin(), w.memberships.end());
  return w;
}

Walk ask(const StructuralRelationIndex& index, const RecordMap& map, std::string_view ns) {
  Walk w;
  if (const Record* p = index.user_profile(map, ns)) w.profile = p->id;
  w.relatives = index.relatives(ns);
  w.memberships = index.memberships(map, ns);
  std::sort(w.relatives.begin(), w.relatives.end());
  std::sort(w.memberships.begin(), w.memberships.end());
  return w;
}

void expect_same(const Walk& a, const Walk& b, const std::string& where) {
  EXPECT_EQ(a.profile, b.profile) << where;
  EXPECT_EQ(a.relatives, b.relatives) << where;
  EXPECT_EQ(a.memberships, b.memberships) << where;
}

// Random records in two namespaces, inserted, changed in every field the
// roles are read from, and erased: after each step the index answers what a
// walk of the map in order gives, and so does one rebuilt from the map.
TEST(StructuralRelationIndex, AnswersAsAWalkOfTheMapInOrder) {
  const char* contents[] = {"my sister Ann", "a plain note", "My Dad drives", "the army son", "nothing"};
  const char* tags[] = {"user-profile", "research-project", "misc"};
  const char* namespaces[] = {"default", "work"};
  const char* projects[] = {"p1", "p2"};
  std::mt19937 rng(5);
  auto random_record = [&](std::string id) {
    Record r;
    r.id = std::move(id);
    r.content = contents[rng() % std::size(contents)];
    r.namespace_ = namespaces[rng() % std::size(namespaces)];
    if (rng() % 2) r.tags.push_back(tags[rng() % std::size(tags)]);
    if (rng() % 2) r.metadata["project_id"] = projects[rng() % std::size(projects)];
    if (rng() % 4 == 0) r.metadata["family_relation"] = rng() % 2 ? "family.cousin" : "cousin";
    return r;
  };

  RecordMap map;
  StructuralRelationIndex index;
  std::vector<std::string> ids;
  for (int step = 0; step < 400; ++step) {
    const unsigned op = ids.empty() ? 0 : rng() % 3;
    if (op == 0) {
      char id[13];
      std::snprintf(id, sizeof id, "%012d", step);
      Record r = random_record(id);
      index.note_insert(r);
      map.insert_or_assign(r.id, r);
      ids.push_back(id);
    } else if (op == 1) {
      const std::string id = ids[rng() % ids.size()];
      Record next = random_record(id);
      next.connections["x"] = 0.5f;
      index.note_replace(map.at(id), next);
      map.insert_or_assign(id, next);
    } else {
      const size_t at = rng() % ids.size();
      index.note_remove(map.at(ids[at]));
      map.erase(ids[at]);
      ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
    }
    for (const char* ns : namespaces) {
      expect_same(ask(index, map, ns), walk(map, ns), "step " + std::to_string(step) + " " + ns);
    }
    if (::testing::Test::HasFailure()) return;
  }
  StructuralRelationIndex rebuilt;
  rebuilt.rebuild(map);
  for (const char* ns : namespaces) expect_same(ask(rebuilt, map, ns), walk(map, ns), ns);
}

}  // namespace
}  // namespace vesk
