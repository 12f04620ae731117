#include "write/structural_relation_index.h"

#include "model/relation_link.h"

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

// A map and its index, as the store keeps them.
struct World {
  RecordMap map;
  StructuralRelationIndex index;

  void insert(const Record& r) {
    index.note_insert(r);
    map.insert_or_assign(r.id, r);
  }
  void replace(const Record& next) {
    index.note_replace(map.at(next.id), next);
    map.insert_or_assign(next.id, next);
  }

  // One phase of the store's inference: a record is copied the first time
  // one of its sides changes; the copies are written back in that order.
  struct Phase {
    World& w;
    std::vector<Record> changed;
    void side(const std::string& from, const std::string& to, std::string_view type, float weight) {
      for (Record& r : changed) {
        if (r.id == from) {
          link_relation_edge(r, to, type, weight);
          return;
        }
      }
      const Record* held = w.map.find_value(from);
      if (!held || holds_relation_edge(*held, to, weight, type)) return;
      Record copy = *held;
      link_relation_edge(copy, to, type, weight);
      changed.push_back(std::move(copy));
    }
    void write(std::vector<Record>& written) {
      for (const Record& r : changed) w.replace(r);
      written.insert(written.end(), changed.begin(), changed.end());
    }
  };

  // Both phases of an inference over all pairs or the unsettled ones.
  std::vector<Record> infer(std::string_view ns, bool incremental) {
    std::vector<Record> written;
    std::string profile_id;
    if (const Record* profile = index.user_profile(map, ns)) {
      profile_id = profile->id;
      Phase family{*this, {}};
      const Pairs relatives = incremental ? index.unsettled_relatives(ns, profile_id) : index.relatives(ns);
      for (const auto& [id, type] : relatives) {
        if (id == profile_id) continue;
        family.side(profile_id, id, type, kFamilyLinkWeight);
        family.side(id, profile_id, type, kFamilyLinkWeight);
      }
      family.write(written);
    }
    Phase membership{*this, {}};
    const Pairs memberships = incremental ? index.unsettled_memberships(map, ns) : index.memberships(map, ns);
    for (const auto& [member, anchor] : memberships) {
      membership.side(member, anchor, kBelongsToProject, kMembershipLinkWeight);
      membership.side(anchor, member, kBelongsToProject, kMembershipLinkWeight);
    }
    membership.write(written);
    if (incremental) index.settle(ns, profile_id);
    return written;
  }
};

// Random records change roles and links (structural sides set back by hand
// included) between inferences: the inference over the unsettled pairs
// writes the same records, in the same order, as the one over all pairs.
TEST(StructuralRelationIndex, UnsettledPairsWriteWhatAllPairsWrite) {
  const char* contents[] = {"my sister Ann", "a plain note", "My Dad drives", "the army son", "nothing"};
  const char* tags[] = {"user-profile", "research-project", "misc"};
  const char* namespaces[] = {"default", "work"};
  const char* projects[] = {"p1", "p2", "p3"};
  const char* types[] = {"belongs_to_project", "family.sister", "related"};
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 rng(seed);
    World incremental;
    World full;
    std::vector<std::string> ids;
    auto random_record = [&](std::string id) {
      Record r;
      r.id = std::move(id);
      r.content = contents[rng() % std::size(contents)];
      r.namespace_ = namespaces[rng() % 4 == 0 ? 1 : 0];
      if (rng() % 3 == 0) r.tags.push_back(tags[rng() % std::size(tags)]);
      if (rng() % 2) r.metadata["project_id"] = projects[rng() % std::size(projects)];
      return r;
    };
    auto random_link = [&](Record& r) {
      if (ids.empty()) return;
      const float weights[] = {0.5f, kFamilyLinkWeight, kMembershipLinkWeight};
      r.set_connection(ids[rng() % ids.size()], weights[rng() % 3], types[rng() % std::size(types)]);
    };
    for (int step = 0; step < 300; ++step) {
      const unsigned op = ids.empty() ? 0 : rng() % 8;
      if (op <= 1) {
        char id[13];
        std::snprintf(id, sizeof id, "%012d", step);
        Record r = random_record(id);
        if (rng() % 2) random_link(r);
        incremental.insert(r);
        full.insert(r);
        ids.push_back(id);
      } else if (op == 2) {
        Record next = random_record(ids[rng() % ids.size()]);
        next.connections = full.map.at(next.id).connections;
        next.connection_types = full.map.at(next.id).connection_types;
        incremental.replace(next);
        full.replace(next);
      } else if (op <= 4) {
        // A link changes: through a replacement, or in place (a recall's
        // activation, a session's links).
        Record next = full.map.at(ids[rng() % ids.size()]);
        random_link(next);
        if (op == 3) {
          incremental.replace(next);
        } else {
          incremental.map.insert_or_assign(next.id, next);
          incremental.index.note_links_changed(next);
        }
        full.replace(next);
      } else if (op == 5) {
        const size_t at = rng() % ids.size();
        for (World* w : {&incremental, &full}) {
          w->index.note_remove(w->map.at(ids[at]));
          w->map.erase(ids[at]);
        }
        ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
      } else if (op == 6 && rng() % 8 == 0) {
        // An open: nothing is known to hold.
        incremental.index.rebuild(incremental.map);
        full.index.rebuild(full.map);
      } else {
        const char* ns = namespaces[rng() % 2];
        const std::vector<Record> a = incremental.infer(ns, true);
        const std::vector<Record> b = full.infer(ns, false);
        ASSERT_EQ(a, b) << "seed " << seed << " step " << step;
      }
      ASSERT_EQ(incremental.map.size(), full.map.size());
    }
    for (const auto& [id, r] : full.map) ASSERT_EQ(*incremental.map.find_value(id), r) << "seed " << seed;
  }
}

}  // namespace
}  // namespace vesk
