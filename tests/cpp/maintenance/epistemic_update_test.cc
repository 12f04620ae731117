// The epistemic update: its counts against the plain walk over every
// neighbour (written here as the rule reads, pair by pair), and the masses,
// volatility and report it writes.
#include "maintenance/epistemic_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

bool live(const Record& r) { return r.strength >= 0.05f; }

// Every neighbour of every live record, one by one.
std::vector<EpistemicCounts> plain_walk(const RecordMap& records) {
  StringKeyMap<std::vector<std::string>> by_tag;
  for (const auto& [id, r] : records)
    if (live(r))
      for (const std::string& t : r.tags) by_tag[t].push_back(id);
  std::vector<EpistemicCounts> out;
  for (const auto& [id, r] : records) {
    if (!live(r)) continue;
    StringSet neighbours;
    for (const auto& [target, w] : r.connections) neighbours.insert(target);
    for (const std::string& t : r.tags)
      for (const std::string& n : by_tag[t])
        if (n != id) neighbours.insert(n);
    uint32_t s = 0, c = 0;
    for (const std::string& nid : neighbours) {
      const Record* n = records.find_value(nid);
      if (!n || !live(*n) || n->namespace_ != r.namespace_) continue;
      StringSet mine(r.tags.begin(), r.tags.end());
      StringSet theirs(n->tags.begin(), n->tags.end());
      uint32_t shared = 0;
      for (const std::string& t : mine) shared += theirs.contains(t);
      std::optional<std::string> relation = r.connection_type(nid);
      if (!relation) relation = n->connection_type(id);
      bool strong = false;
      if (auto it = r.connections.find(nid); it != r.connections.end()) {
        strong = it->second >= 0.1f;
      } else if (auto back = n->connections.find(id); back != n->connections.end()) {
        strong = back->second >= 0.1f;
      }
      if (shared == 0 && !relation && !strong) continue;
      const bool contra = r.semantic_type == "contradiction" || n->semantic_type == "contradiction";
      const bool wi = (r.level == Level::Working && n->level == Level::Identity) ||
                      (r.level == Level::Identity && n->level == Level::Working);
      if ((relation && (relation->find("conflict") != std::string::npos ||
                        relation->find("contradict") != std::string::npos)) ||
          (contra && shared >= 2) || (shared >= 1 && wi)) {
        ++c;
      } else if ((shared >= 1 && r.semantic_type == n->semantic_type) ||
                 (relation && (*relation == "coactivation" || *relation == "associative" || *relation == "causal")) ||
                 shared >= 2) {
        ++s;
      }
    }
    out.push_back({id, s, c});
  }
  return out;
}

// A store where every class of pair occurs: few tags from a small pool (one
// tag on nearly every record), some records with many tags, links both ways
// and one way, relation types of every kind, two namespaces, weak records.
RecordMap random_store(uint32_t seed, int n) {
  std::mt19937 rng(seed);
  auto pick = [&](int k) { return static_cast<int>(rng() % k); };
  const char* semantics[] = {"fact", "contradiction", "preference", "fact"};
  const char* relations[] = {"coactivation", "associative", "causal", "conflicts_with", "contradicts",
                             "related", "Conflict"};
  const Level levels[] = {Level::Working, Level::Decisions, Level::Domain, Level::Identity};
  RecordMap records;
  std::vector<std::string> ids;
  for (int i = 0; i < n; ++i) ids.push_back("r" + std::to_string(i));
  for (int i = 0; i < n; ++i) {
    Record& r = records[ids[i]];
    r.id = ids[i];
    r.level = levels[pick(4)];
    r.semantic_type = semantics[pick(4)];
    r.namespace_ = pick(6) == 0 ? "other" : "default";
    r.strength = pick(8) == 0 ? 0.01f : 0.8f;
    r.support_mass = pick(3);
    r.conflict_mass = pick(2);
    r.volatility = pick(2) ? 0.0f : 0.3f;
    if (pick(10) != 0) r.tags.push_back("common");
    if (pick(7) == 0) {
      for (int t = 0; t < 8; ++t) r.tags.push_back("t" + std::to_string(t + pick(2) * 8));  // many tags
    } else {
      for (int t = pick(4); t > 0; --t) r.tags.push_back("t" + std::to_string(pick(6)));
    }
    for (int l = pick(4); l > 0; --l) {
      const std::string& target = pick(12) == 0 ? std::string("missing00000") : ids[pick(n)];
      r.connections[target] = pick(3) == 0 ? 0.05f : 0.6f;
      if (pick(2)) r.connection_types[target] = relations[pick(7)];
    }
    if (pick(8) == 0) r.connection_types[ids[pick(n)]] = relations[pick(7)];  // a type without a link
  }
  return records;
}

TEST(EpistemicUpdate, CountsEqualThePlainWalkOnRandomStores) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const RecordMap records = random_store(seed, 20 + static_cast<int>(seed) * 3);
    const std::vector<EpistemicCounts> want = plain_walk(records);
    EXPECT_EQ(count_epistemic_neighbours(records), want) << "seed " << seed;
    ASSERT_TRUE(std::any_of(want.begin(), want.end(), [](const auto& c) { return c.support > 2 && c.conflict > 2; }));

    RecordMap fast = records;
    RecordMap plain = records;
    const EpistemicPhaseReport a = update_epistemic_state(fast);
    const EpistemicPhaseReport b = apply_epistemic_counts(plain, plain_walk(records));
    EXPECT_EQ(a, b) << "seed " << seed;
    for (const auto& [id, r] : fast) EXPECT_EQ(r, *plain.find_value(id)) << "seed " << seed << " " << id;
  }
}

Record tagged(std::string id, std::vector<std::string> tags, Level level = Level::Decisions,
              std::string semantic = "fact") {
  Record r;
  r.id = std::move(id);
  r.tags = std::move(tags);
  r.level = level;
  r.semantic_type = std::move(semantic);
  return r;
}

TEST(EpistemicUpdate, PairsCountAsTheRulesSay) {
  struct Case {
    const char* name;
    Record a, b;
    uint32_t support, conflict;  // as seen from a
  };
  auto linked = [](Record r, std::string to, float w, std::string type = "") {
    r.connections[to] = w;
    if (!type.empty()) r.connection_types[to] = type;
    return r;
  };
  Record other_ns = tagged("b", {"x", "y"});
  other_ns.namespace_ = "elsewhere";
  const Case cases[] = {
      {"one tag, same type: support", tagged("a", {"x"}), tagged("b", {"x"}), 1, 0},
      {"one tag, other types, no relation: nothing", tagged("a", {"x"}), tagged("b", {"x"}, Level::Decisions, "pref"),
       0, 0},
      {"two tags: support", tagged("a", {"x", "y"}), tagged("b", {"x", "y"}, Level::Decisions, "pref"), 1, 0},
      {"Working and Identity sharing a tag: conflict", tagged("a", {"x"}, Level::Working),
       tagged("b", {"x"}, Level::Identity), 0, 1},
      {"contradictions sharing one tag: support", tagged("a", {"x"}, Level::Decisions, "contradiction"),
       tagged("b", {"x"}, Level::Decisions, "contradiction"), 1, 0},
      {"contradictions sharing two tags: conflict", tagged("a", {"x", "y"}, Level::Decisions, "contradiction"),
       tagged("b", {"x", "y"}, Level::Decisions, "contradiction"), 0, 1},
      {"weak link, no tag, no type: ignored", linked(tagged("a", {}), "b", 0.05f), tagged("b", {}), 0, 0},
      {"other namespace, even linked", linked(tagged("a", {"x", "y"}), "b", 1.0f, "causal"), other_ns, 0, 0},
      {"their conflicting type counts for me", tagged("a", {"x"}),
       linked(tagged("b", {"x"}), "a", 1.0f, "conflicts_with"), 0, 1},
      {"supporting type, no tag", linked(tagged("a", {}), "b", 0.05f, "associative"),
       tagged("b", {}, Level::Decisions, "pref"), 1, 0},
  };
  for (const Case& c : cases) {
    RecordMap records;
    records[c.a.id] = c.a;
    records[c.b.id] = c.b;
    const std::vector<EpistemicCounts> counts = count_epistemic_neighbours(records);
    ASSERT_EQ(counts.size(), 2u) << c.name;
    EXPECT_EQ(counts[0].support, c.support) << c.name;
    EXPECT_EQ(counts[0].conflict, c.conflict) << c.name;
  }
}

TEST(EpistemicUpdate, VolatilityMovesTowardsTheChange) {
  struct Case {
    const char* name;
    Record b;
    float old_volatility;
    float want;
    uint64_t updated;
  };
  const Case cases[] = {
      {"alone: 0.7 of the old value", tagged("b", {"y"}), 0.5f, 0.35f, 2},
      {"one confirming neighbour", tagged("b", {"x"}), 0.0f, 0.06f, 2},
      {"one conflicting neighbour", tagged("b", {"x"}, Level::Identity), 0.0f, 0.24f, 2},
      {"nothing changes", tagged("b", {"y"}), 0.0f, 0.0f, 0},
  };
  for (const Case& c : cases) {
    RecordMap records;
    Record a = tagged("a", {"x"}, Level::Working);
    a.volatility = c.old_volatility;
    records["a"] = a;
    records["b"] = c.b;
    records.find_value("b")->volatility = c.old_volatility;
    const EpistemicPhaseReport report = update_epistemic_state(records);
    EXPECT_FLOAT_EQ(records.find_value("a")->volatility, c.want) << c.name;
    EXPECT_EQ(report.updated_records, c.updated) << c.name;
    EXPECT_EQ(report.volatile_records, c.want >= 0.05f ? 2u : 0u) << c.name;
  }
}

TEST(EpistemicUpdate, WeakRecordsNeitherCountNorChange) {
  RecordMap records;
  records["a"] = tagged("a", {"x"});
  Record weak = tagged("b", {"x"});
  weak.strength = std::numeric_limits<float>::quiet_NaN();
  weak.volatility = 0.5f;
  weak.support_mass = 3;
  records["b"] = weak;
  const EpistemicPhaseReport report = update_epistemic_state(records);
  EXPECT_EQ(records.find_value("a")->support_mass, 0u);
  EXPECT_EQ(records.find_value("b")->support_mass, 3u);
  EXPECT_EQ(records.find_value("b")->volatility, 0.5f);
  EXPECT_EQ(report.total_support_links, 0u);
}

}  // namespace
}  // namespace vesk
