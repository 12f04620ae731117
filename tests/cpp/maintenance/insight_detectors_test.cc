// The insight detectors: the rule of each kind at its edges, the exact texts,
// and the three steps with a faster form (causal chains, knowledge gaps,
// decision conflicts) against the plain rule on small random maps; the
// count the cycle takes against the length of the list.
#include "maintenance/insight_detectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "maintenance/cross_domain_insights.h"

namespace vesk {
namespace {

using testing::FixedEnv;

constexpr double kNow = 1'750'000'000.0;
constexpr double kDay = 86400.0;

// A record last activated now, so that it is neither stale nor anything
// else but what a case sets.
Record rec(std::string id, std::vector<std::string> tags = {}) {
  Record r;
  r.id = std::move(id);
  r.tags = std::move(tags);
  r.created_at = r.last_activated = kNow;
  return r;
}

RecordMap map_of(std::vector<Record> rs) {
  RecordMap m;
  for (Record& r : rs) {
    std::string id = r.id;
    m[id] = std::move(r);
  }
  return m;
}

std::vector<Insight> of_type(const std::vector<Insight>& all, std::string_view type) {
  std::vector<Insight> out;
  for (const Insight& in : all)
    if (in.insight_type == type) out.push_back(in);
  return out;
}

std::map<std::string, std::string> evidence(const Insight& in) { return {in.evidence.begin(), in.evidence.end()}; }

struct Detectors : ::testing::Test {
  FixedEnv env{{1'750'000'000, 0}};
  std::vector<Insight> all(const RecordMap& m) { return run_insight_detectors(m, env); }
};

TEST_F(Detectors, GroupRulesAtTheirEdges) {
  struct Case {
    const char* name;
    std::function<void(Record&)> set;
    const char* type;  // the one group insight expected, or null for none
  };
  const Case cases[] = {
      {"strength 0.05 is a decay risk", [](Record& r) { r.strength = 0.05f; }, "decay_risks"},
      {"strength 0.15 is not", [](Record& r) { r.strength = 0.15f; }, nullptr},
      {"strength 0.0499 is not", [](Record& r) { r.strength = 0.0499f; }, nullptr},
      {"Domain, 5 activations, 0.7: promotion",
       [](Record& r) {
         r.level = Level::Domain, r.activation_count = 5, r.strength = 0.7f, r.last_activated = kNow - 2 * kDay;
       },
       "promotion_candidates"},
      {"Identity never",
       [](Record& r) {
         r.level = Level::Identity, r.activation_count = 5, r.strength = 0.7f, r.last_activated = kNow - 2 * kDay;
       },
       nullptr},
      {"contradiction", [](Record& r) { r.semantic_type = "contradiction"; }, "explicit_contradiction"},
      {"weak contradiction", [](Record& r) { r.semantic_type = "contradiction", r.strength = 0.04f; }, nullptr},
      {"14 days is stale", [](Record& r) { r.last_activated = kNow - 14 * kDay; }, "stale_topics"},
      {"a weak record is never stale",
       [](Record& r) { r.last_activated = kNow - 30 * kDay, r.strength = 0.04f; }, nullptr},
      {"3 activations just now are hot", [](Record& r) { r.activation_count = 3; }, "hot_topics"},
      {"a day ago is not hot", [](Record& r) { r.activation_count = 3, r.last_activated = kNow - kDay; }, nullptr},
      {"10 links are a hub",
       [](Record& r) {
         for (int i = 0; i < 10; ++i) r.connections[std::to_string(i) + "z"] = 0.1f;
       },
       "graph_hubs"},
      {"9 are not",
       [](Record& r) {
         for (int i = 0; i < 9; ++i) r.connections[std::to_string(i) + "z"] = 0.1f;
       },
       nullptr},
  };
  for (const Case& c : cases) {
    Record r = rec("a");
    c.set(r);
    const std::vector<Insight> got = all(map_of({r}));
    if (!c.type) {
      EXPECT_TRUE(got.empty()) << c.name << ": " << got.front().insight_type;
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << c.name;
    EXPECT_EQ(got[0].insight_type, c.type) << c.name;
    EXPECT_EQ(got[0].record_ids, std::vector<std::string>{"a"}) << c.name;
    EXPECT_EQ(evidence(got[0]).at("count"), "1") << c.name;
  }
}

TEST_F(Detectors, GroupTextsAndOrder) {
  Record risk = rec("r", {"x"}), contra = rec("c"), stale = rec("s");
  risk.strength = 0.1f;
  contra.semantic_type = "contradiction";
  stale.last_activated = kNow - 20 * kDay;
  const std::vector<Insight> got = all(map_of({risk, contra, stale}));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].description, "1 records at risk of archival (strength < 0.15)");
  EXPECT_EQ(got[0].phase, InsightPhase::RecordHealth);
  EXPECT_EQ(got[0].severity, InsightSeverity::High);
  EXPECT_EQ(got[1].description, "1 records explicitly marked as contradictions \u2014 require resolution");
  EXPECT_EQ(got[1].severity, InsightSeverity::Critical);
  EXPECT_EQ(evidence(got[1]), (std::map<std::string, std::string>{{"count", "1"}, {"signal", "semantic_type"}}));
  EXPECT_EQ(got[2].description, "1 records not accessed in 14+ days");
  EXPECT_EQ(evidence(got[2]).at("threshold_days"), "14");
}

TEST_F(Detectors, TagClustersCountRepeatsAndConflictsNameEveryLevel) {
  Record a = rec("a", {"kiln", "kiln"}), b = rec("b", {"kiln"}), c = rec("c", {"glaze"}), d = rec("d", {"glaze"});
  std::vector<Insight> got = all(map_of({a, b, c, d}));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].record_ids, (std::vector<std::string>{"a", "a", "b"}));
  EXPECT_EQ(got[0].description, "Cluster around tag 'kiln': 3 records");
  EXPECT_EQ(got[0].evidence, (std::vector<std::pair<std::string, std::string>>{{"tag", "kiln"}, {"cluster_size", "3"}}));

  Record w = rec("w", {"x"}), i = rec("i", {"x"}), m = rec("m", {"x"});
  w.level = Level::Working, i.level = Level::Identity, m.level = Level::Decisions;
  got = of_type(all(map_of({w, m, i})), "conflict");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].record_ids, (std::vector<std::string>{"w", "m", "i"}));
  EXPECT_EQ(got[0].description, "Potential conflict on 'x': WORKING and IDENTITY records coexist");
  EXPECT_EQ(evidence(got[0]).at("levels"), "Working+Identity");
  EXPECT_EQ(evidence(got[0]).at("signal"), "level_mismatch");
}

TEST_F(Detectors, CoactivationsAreReportedOnceFromTheIdSortingFirst) {
  struct Case {
    const char* name;
    float a_to_b, b_to_a;  // 0: no link
    std::vector<std::string> weights;
  };
  const Case cases[] = {
      {"from the smaller id", 0.5f, 0, {"0.50"}},
      {"only from the larger id", 0, 0.9f, {}},
      {"both ways: the smaller id's weight", 0.61f, 0.9f, {"0.61"}},
      {"below 0.5", 0.49f, 0, {}},
  };
  for (const Case& c : cases) {
    Record a = rec("a"), b = rec("b");
    if (c.a_to_b > 0) a.connections["b"] = c.a_to_b;
    if (c.b_to_a > 0) b.connections["a"] = c.b_to_a;
    std::vector<std::string> weights;
    for (const Insight& in : of_type(all(map_of({b, a})), "coactivation_momentum")) {
      EXPECT_EQ(in.record_ids, (std::vector<std::string>{"a", "b"})) << c.name;
      EXPECT_EQ(in.description, "Strong co-activation between a and b (weight=" + evidence(in).at("connection_weight") +
                                    ")");
      weights.push_back(evidence(in).at("connection_weight"));
    }
    EXPECT_EQ(weights, c.weights) << c.name;
  }
}

TEST_F(Detectors, CausalChainsFollowTheFirstChildForAtMostElevenIds) {
  std::vector<Record> rs;
  for (int i = 0; i < 12; ++i) {
    Record r = rec("n" + std::string(1, static_cast<char>('a' + i)));
    if (i > 0) r.caused_by_id = rs.back().id;
    rs.push_back(r);
  }
  Record orphan = rec("orphan");
  orphan.caused_by_id = "nobody";
  rs.push_back(orphan);
  std::vector<Insight> got = of_type(all(map_of(rs)), "causal_chain");
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].record_ids.size(), 11u);
  EXPECT_EQ(got[0].record_ids.front(), "na");
  EXPECT_EQ(got[0].record_ids.back(), "nk");
  EXPECT_EQ(got[0].description, "Causal chain of 11 records");
  EXPECT_EQ(evidence(got[0]).at("chain_length"), "11");

  // Two children: only the first in map order is followed.
  Record root = rec("root"), c1 = rec("c1"), c2 = rec("c2");
  c1.caused_by_id = c2.caused_by_id = "root";
  got = of_type(all(map_of({c2, root, c1})), "causal_chain");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].record_ids, (std::vector<std::string>{"root", "c2"}));
}

TEST(InsightTexts, JaccardPreviewAndDecimals) {
  using Tags = std::vector<std::string>;
  struct J {
    Tags a, b;
    float want;
  };
  for (const J& c : {J{{}, {}, 1.0f}, J{{"a"}, {}, 0.0f}, J{{"a", "a", "b"}, {"b", "c"}, 1.0f / 3.0f},
                     J{{"A"}, {"a"}, 0.0f}, J{{"x", "y"}, {"y", "x", "x"}, 1.0f}}) {
    EXPECT_EQ(tag_set_jaccard(c.a, c.b), c.want);
  }
  const std::string forty(40, 'k');
  EXPECT_EQ(content_preview(forty), forty);
  EXPECT_EQ(content_preview(forty + "z"), forty + "...");
  // Characters, not bytes: 41 two-byte characters.
  std::string wide;
  for (int i = 0; i < 41; ++i) wide += "\u00e9";
  EXPECT_EQ(content_preview(wide), wide.substr(0, 80) + "...");
  EXPECT_EQ(content_preview(wide, 50), wide);
  EXPECT_EQ(fixed_decimals(0.5f, 2), "0.50");
  EXPECT_EQ(fixed_decimals(2.0f, 0), "2");
  EXPECT_EQ(fixed_decimals(0.8f, 2), "0.80");
  EXPECT_EQ(fixed_decimals(0.666f, 2), "0.67");
  EXPECT_EQ(fixed_decimals(4.96f, 1), "5.0");
}

// Two live, important records of one namespace (importance 0.4 x 1 +
// 0.25 x 3 / 4 = 0.5875 with no links or activations).
std::pair<Record, Record> important_pair(std::vector<std::string> tags_a, std::vector<std::string> tags_b) {
  Record a = rec("a", std::move(tags_a)), b = rec("b", std::move(tags_b));
  a.level = b.level = Level::Domain;
  return {a, b};
}

TEST_F(Detectors, SerendipityJudgesEachPairOnceFromTheSideMetFirst) {
  struct Case {
    const char* name;
    std::vector<std::string> tags_a, tags_b;
    float a_to_b, b_to_a;
    const char* type_a;  // a's relation type for b, or null
    bool found;
    const char* weight;
  };
  const Case cases[] = {
      {"disjoint tags, held by a", {"kiln"}, {"tax"}, 0.6f, 0, nullptr, true, "0.60"},
      {"held by b only", {"kiln"}, {"tax"}, 0, 0.8f, nullptr, true, "0.80"},
      {"both ways: a's weight", {"kiln"}, {"tax"}, 0.7f, 0.9f, "Causal", true, "0.70"},
      {"0.59 is too weak", {"kiln"}, {"tax"}, 0.59f, 0, nullptr, false, nullptr},
      {"both untagged: J = 1", {}, {}, 0.9f, 0, nullptr, false, nullptr},
      {"causal links are no surprise", {"kiln"}, {"tax"}, 0.9f, 0, "causal", false, nullptr},
      {"a failed judgement is not retried from b", {"kiln"}, {"tax"}, 0.9f, 0.9f, "causal", false, nullptr},
  };
  for (const Case& c : cases) {
    auto [a, b] = important_pair(c.tags_a, c.tags_b);
    a.content = "the kiln needs a new element";
    b.content = std::string(45, 'q');
    if (c.a_to_b > 0) a.connections["b"] = c.a_to_b;
    if (c.b_to_a > 0) b.connections["a"] = c.b_to_a;
    if (c.type_a) a.connection_types["b"] = c.type_a;
    const std::vector<Insight> got = of_type(all(map_of({a, b})), "serendipity");
    ASSERT_EQ(got.size(), c.found ? 1u : 0u) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(evidence(got[0]).at("connection_weight"), c.weight) << c.name;
    EXPECT_EQ(evidence(got[0]).at("connection_type"), c.type_a ? c.type_a : "untyped") << c.name;
  }
  auto [a, b] = important_pair({"kiln"}, {"tax"});
  a.content = "the kiln needs a new element";
  b.content = std::string(45, 'q');
  a.connections["b"] = 0.6f;
  const Insight in = of_type(all(map_of({a, b})), "serendipity").at(0);
  EXPECT_EQ(in.record_ids, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(in.description, "Cross-domain connection: 'the kiln needs a new element' (kiln) <-> '" +
                                std::string(40, 'q') + "...' (tax) weight=0.60, jaccard=0.00");
  EXPECT_EQ(evidence(in), (std::map<std::string, std::string>{{"connection_weight", "0.60"},
                                                             {"tag_jaccard", "0.00"},
                                                             {"connection_type", "untyped"},
                                                             {"importance_a", "0.59"},
                                                             {"importance_b", "0.59"}}));
  // Another namespace, or a weak target: nothing.
  b.namespace_ = "other";
  EXPECT_TRUE(of_type(all(map_of({a, b})), "serendipity").empty());
}

TEST_F(Detectors, TrendingSortsStablyByVelocity) {
  Record x = rec("x"), y = rec("y"), z = rec("z"), old = rec("old"), edge = rec("edge");
  x.activation_velocity = 5.0f, y.activation_velocity = 2.5f, z.activation_velocity = 5.0f;
  edge.activation_velocity = 2.0f, edge.last_activated = kNow - 2.9 * kDay;
  old.activation_velocity = 9.0f, old.last_activated = kNow - 3 * kDay;
  const std::vector<Insight> got = of_type(all(map_of({x, y, old, z, edge})), "trending");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].record_ids, (std::vector<std::string>{"x", "z", "y", "edge"}));
  EXPECT_EQ(got[0].description, "4 records trending (velocity >= 2): top velocity 5.0");
  EXPECT_EQ(evidence(got[0]),
            (std::map<std::string, std::string>{{"count", "4"}, {"top_velocity", "5.0"}, {"threshold", "2.0"}}));
}

TEST_F(Detectors, KnowledgeGapsBetweenClustersWithFewerThanTwoBridges) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // from, to
    bool shared;
    const char* bridges;  // null: no gap
    const char* average;
  };
  const Case cases[] = {
      {"no link", {}, false, "0", "0.00"},
      {"one bridge", {{"p1", "q1"}}, false, "1", "0.80"},
      {"two bridges", {{"p1", "q1"}, {"p2", "q3"}}, false, nullptr, nullptr},
      {"links from the later cluster are no bridges", {{"q1", "p1"}, {"q2", "p2"}}, false, "0", "0.00"},
      {"a record in both clusters", {}, true, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<Record> rs;
    for (const char* id : {"p1", "p2", "p3"}) rs.push_back(rec(id, {"pots"}));
    for (const char* id : {"q1", "q2", "q3"}) rs.push_back(rec(id, {"tax"}));
    if (c.shared) rs[0].tags.push_back("tax");
    RecordMap m = map_of(rs);
    for (const auto& [from, to] : c.links) m.find_value(from)->connections[to] = 0.8f;
    const std::vector<Insight> got = of_type(all(m), "knowledge_gap");
    ASSERT_EQ(got.size(), c.bridges ? 1u : 0u) << c.name;
    if (!c.bridges) continue;
    EXPECT_TRUE(got[0].record_ids.empty());
    EXPECT_EQ(got[0].description, std::string("Knowledge gap between 'pots' (3 records) and 'tax' (3 records): ") +
                                      c.bridges + " bridge connections");
    EXPECT_EQ(evidence(got[0]), (std::map<std::string, std::string>{{"cluster_a_tag", "pots"},
                                                                    {"cluster_b_tag", "tax"},
                                                                    {"cluster_a_size", "3"},
                                                                    {"cluster_b_size", "3"},
                                                                    {"bridge_count", c.bridges},
                                                                    {"avg_bridge_weight", c.average}}))
        << c.name;
  }
}

TEST_F(Detectors, PreferencesAndDecisions) {
  Record p1 = rec("p1"), p2 = rec("p2"), p3 = rec("p3", {"tea"});
  p1.semantic_type = p2.semantic_type = p3.semantic_type = "preference";
  std::vector<Insight> got = of_type(all(map_of({p1, p3, p2})), "preference_pattern");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].record_ids, (std::vector<std::string>{"p1", "p2"}));
  EXPECT_EQ(got[0].description, "Preference pattern in 'general': 2 preference records form a style cluster");

  Record d = rec("d", {"pricing", "q3"}), e = rec("e", {"pricing"}), u1 = rec("u1"), u2 = rec("u2");
  Record far = rec("far", {"pricing"});
  far.namespace_ = "elsewhere";
  for (Record* r : {&d, &e, &u1, &u2, &far}) r->semantic_type = "decision";
  d.content = "raise prices in q3";
  e.content = "keep prices flat";
  got = of_type(all(map_of({d, u1, e, far, u2})), "decision_conflict");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].record_ids, (std::vector<std::string>{"d", "e"}));
  EXPECT_EQ(got[0].description, "Potentially conflicting decisions on [pricing]: 'raise prices in q3' vs 'keep prices flat'");
  EXPECT_EQ(evidence(got[0]), (std::map<std::string, std::string>{{"tag_overlap", "0.50"},
                                                                 {"strength_a", "1.00"},
                                                                 {"strength_b", "1.00"},
                                                                 {"shared_tags", "pricing"}}));
  EXPECT_EQ(got[1].record_ids, (std::vector<std::string>{"u1", "u2"}));
  EXPECT_EQ(got[1].description, "Potentially conflicting decisions on []: '' vs ''");
}

// ---- The plain rules, as written, for the steps with a faster form ----

// What the plain rules below compare: the kind and the ids.
Insight brief(std::string type, std::vector<std::string> ids) {
  Insight in;
  in.insight_type = std::move(type);
  in.record_ids = std::move(ids);
  return in;
}

std::vector<Insight> plain_chains(const RecordMap& m) {
  StringSet parents;
  for (const auto& [id, r] : m)
    if (r.caused_by_id) parents.insert(*r.caused_by_id);
  std::vector<Insight> out;
  for (const auto& [id, r] : m) {
    if (!parents.contains(id) || (r.caused_by_id && !r.caused_by_id->empty())) continue;
    std::vector<std::string> chain{id};
    for (int step = 0; step < 10; ++step) {
      const Record* next = nullptr;
      for (const auto& [cid, c] : m)
        if (c.caused_by_id == chain.back()) {
          next = &c;
          break;
        }
      if (!next) break;
      chain.push_back(next->id);
    }
    out.push_back(brief("causal_chain", chain));
  }
  return out;
}

std::vector<Insight> plain_gaps(const RecordMap& m) {
  std::vector<std::pair<std::string, std::vector<std::string>>> tags;
  for (const auto& [id, r] : m) {
    if (!(r.strength >= 0.05f)) continue;
    for (const std::string& t : r.tags) {
      auto it = std::find_if(tags.begin(), tags.end(), [&](const auto& e) { return e.first == t; });
      if (it == tags.end()) it = tags.insert(tags.end(), {t, {}});
      if (std::find(it->second.begin(), it->second.end(), id) == it->second.end()) it->second.push_back(id);
    }
  }
  std::erase_if(tags, [](const auto& e) { return e.second.size() < 3; });
  std::vector<Insight> out;
  for (size_t i = 0; i < tags.size(); ++i)
    for (size_t j = i + 1; j < tags.size(); ++j) {
      const auto& p = tags[i].second;
      const auto& q = tags[j].second;
      if (std::any_of(p.begin(), p.end(), [&](const auto& x) { return std::find(q.begin(), q.end(), x) != q.end(); }))
        continue;
      size_t n = 0;
      for (const std::string& a : p)
        for (const std::string& b : q) n += m.find_value(a)->connections.contains(b);
      if (n < 2) out.push_back(brief("knowledge_gap", {tags[i].first, tags[j].first, std::to_string(n)}));
    }
  return out;
}

std::vector<Insight> plain_decisions(const RecordMap& m) {
  std::vector<const Record*> ds;
  for (const auto& [id, r] : m)
    if (r.semantic_type == "decision" && r.strength >= 0.05f) ds.push_back(&r);
  std::vector<Insight> out;
  for (size_t i = 0; i < ds.size(); ++i)
    for (size_t j = i + 1; j < ds.size(); ++j)
      if (ds[i]->namespace_ == ds[j]->namespace_ && tag_set_jaccard(ds[i]->tags, ds[j]->tags) >= 0.3f)
        out.push_back(brief("decision_conflict", {ds[i]->id, ds[j]->id}));
  return out;
}

// The faster forms' insights reduced to what the plain ones above keep.
std::vector<Insight> reduced(const std::vector<Insight>& all, std::string_view type) {
  std::vector<Insight> out;
  for (const Insight& in : of_type(all, type)) {
    Insight r = brief(in.insight_type, in.record_ids);
    if (type == "knowledge_gap") {
      const auto e = evidence(in);
      r.record_ids = {e.at("cluster_a_tag"), e.at("cluster_b_tag"), e.at("bridge_count")};
    }
    out.push_back(r);
  }
  return out;
}

TEST_F(Detectors, FasterFormsMatchThePlainRulesOnRandomMaps) {
  std::mt19937 rng(41);
  const std::vector<std::string> tags = {"a", "b", "c", "d", "e", "f"};
  for (int round = 0; round < 200; ++round) {
    const int n = 4 + static_cast<int>(rng() % 30);
    std::vector<Record> rs;
    for (int i = 0; i < n; ++i) {
      Record r = rec(std::to_string(rng() % 1000) + "_" + std::to_string(i));
      for (size_t k = rng() % 4; k > 0; --k) r.tags.push_back(tags[rng() % tags.size()]);
      r.strength = (rng() % 10 == 0) ? 0.01f : 1.0f;
      r.semantic_type = (rng() % 2) ? "decision" : "fact";
      r.namespace_ = (rng() % 5 == 0) ? "other" : "default";
      r.activation_velocity = static_cast<float>(rng() % 4);
      if (i > 0 && rng() % 2) r.caused_by_id = rs[rng() % rs.size()].id;
      if (rng() % 8 == 0) r.caused_by_id = "ghost";
      rs.push_back(r);
    }
    for (Record& r : rs)
      for (size_t k = rng() % 4; k > 0; --k) r.connections[rs[rng() % rs.size()].id] = float(rng() % 100) / 100.0f;
    const RecordMap m = map_of(rs);
    const std::vector<Insight> got = all(m);
    EXPECT_EQ(reduced(got, "causal_chain"), plain_chains(m)) << round;
    EXPECT_EQ(reduced(got, "knowledge_gap"), plain_gaps(m)) << round;
    EXPECT_EQ(reduced(got, "decision_conflict"), plain_decisions(m)) << round;
    EXPECT_EQ(count_insights(m, env), got.size()) << round;
  }
}

TEST_F(Detectors, PhasesConcatenateInOrder) {
  Record a = rec("a", {"t"}), b = rec("b", {"t"}), c = rec("c", {"t"});
  a.strength = 0.1f;
  a.semantic_type = b.semantic_type = "decision";
  const RecordMap m = map_of({a, b, c});
  std::vector<Insight> want = detect_record_health_insights(m);
  for (auto part : {detect_relationship_insights(m, env), detect_cross_domain_insights(m, env)})
    want.insert(want.end(), part.begin(), part.end());
  const std::vector<Insight> got = all(m);
  EXPECT_EQ(got, want);
  std::vector<InsightPhase> phases;
  for (const Insight& in : got) phases.push_back(in.phase);
  EXPECT_EQ(phases, (std::vector<InsightPhase>{InsightPhase::RecordHealth, InsightPhase::Relationships,
                                               InsightPhase::CrossDomain}));
  EXPECT_TRUE(all(RecordMap()).empty());
}

}  // namespace
}  // namespace vesk
