#include "recall/epistemic_rerank.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

// Results r0, r1, ... with scores falling 1% per place from 1.0.
std::vector<ScoredRecord> results(size_t n) {
  std::vector<ScoredRecord> out;
  for (size_t i = 0; i < n; ++i) {
    Record r;
    r.id = std::string("r").append(std::to_string(i));
    r.content = std::string("content ").append(r.id);
    out.push_back({1.0f - 0.01f * static_cast<float>(i), r});
  }
  return out;
}

std::vector<std::string> ids(const std::vector<ScoredRecord>& v) {
  std::vector<std::string> out;
  for (const auto& r : v) out.push_back(r.record.id);
  return out;
}

float score_of(const std::vector<ScoredRecord>& v, std::string_view id) {
  for (const auto& r : v)
    if (r.record.id == id) return r.score;
  return -1.0f;
}

// Layers built by hand.
struct Layers {
  BeliefEngine beliefs;
  ConceptEngine concepts;
  CausalEngine causal;
  PolicyEngine policies;

  // A belief with one hypothesis per member list; `winner` indexes them.
  void belief(const std::string& id, BeliefState state, std::vector<std::vector<std::string>> members,
              std::optional<size_t> winner) {
    Belief& b = beliefs.beliefs[id];
    b.id = id;
    b.state = state;
    for (size_t h = 0; h < members.size(); ++h) {
      std::string hid = std::string(id).append("-h").append(std::to_string(h));
      b.hypothesis_ids.push_back(hid);
      Hypothesis& hyp = beliefs.hypotheses[hid];
      hyp.id = hid;
      hyp.belief_id = id;
      hyp.prototype_record_ids = members[h];
      for (const auto& r : members[h]) beliefs.record_index[r] = hid;
      if (winner && *winner == h) b.winner_id = hid;
    }
  }
  void concept_of(const std::string& id, ConceptState state, float abstraction, std::vector<std::string> records) {
    ConceptCandidate& c = concepts.concepts[id];
    c.id = id;
    c.record_ids = std::move(records);
    c.abstraction_score = abstraction;
    c.state = state;
  }
  void pattern(const std::string& id, CausalState state, std::vector<std::string> causes,
               std::vector<std::string> effects) {
    CausalPattern p;
    p.id = id;
    p.state = state;
    p.cause_record_ids = std::move(causes);
    p.effect_record_ids = std::move(effects);
    causal.patterns[id] = p;
  }
  void hint(const std::string& id, PolicyState state, PolicyActionKind kind, float strength,
            std::vector<std::string> records) {
    PolicyHint h;
    h.id = id;
    h.state = state;
    h.action_kind = kind;
    h.policy_strength = strength;
    h.supporting_record_ids = std::move(records);
    policies.hints[id] = h;
  }
  RerankContext context(BeliefRerankMode b = BeliefRerankMode::Limited,
                        ConceptSurfaceMode c = ConceptSurfaceMode::Limited, bool causal_on = true,
                        bool policy_on = true) const {
    return {beliefs, concepts, causal, policies, b, c, causal_on, policy_on};
  }
};

TEST(EpistemicRerank, BeliefFactorsWithinTheirWindow) {
  Layers l;
  l.belief("won", BeliefState::Resolved, {{"r4"}, {"r0"}}, 0);
  l.belief("open", BeliefState::Unresolved, {{"r1"}, {"r5"}}, std::nullopt);
  l.belief("single", BeliefState::Singleton, {{"r2"}}, 0);
  l.belief("empty", BeliefState::Empty, {{"r3"}}, std::nullopt);
  auto v = results(6);
  auto before = v;
  epistemic_rerank(v, 10, l.context(BeliefRerankMode::Limited, ConceptSurfaceMode::Off, false, false));
  struct Want {
    const char* id;
    float factor;
  } wants[] = {{"r4", 1.05f}, {"r0", 0.95f}, {"r1", 0.97f}, {"r5", 0.97f}, {"r2", 1.02f}, {"r3", 1.0f}};
  for (const Want& w : wants) EXPECT_FLOAT_EQ(score_of(v, w.id), score_of(before, w.id) * w.factor) << w.id;
  // The moves are held to two places.
  for (size_t p = 0; p < v.size(); ++p) {
    const int start = std::stoi(v[p].record.id.substr(1));
    EXPECT_LE(std::abs(start - static_cast<int>(p)), 2) << v[p].record.id;
  }
}

TEST(EpistemicRerank, GuardsLeaveTheListAlone) {
  Layers l;
  l.belief("won", BeliefState::Resolved, {{"r2"}, {"r0"}}, 0);
  l.concept_of("c", ConceptState::Stable, 0.9f, {"r2"});
  l.pattern("p", CausalState::Stable, {}, {"r2"});
  l.hint("h", PolicyState::Stable, PolicyActionKind::Prefer, 0.9f, {"r2"});
  struct Case {
    const char* name;
    size_t n, top_k;
    RerankContext context;
  } cases[] = {
      {"three results", 3, 10, l.context()},
      {"top_k 21", 10, 21, l.context()},
      {"shadow and inspect", 10, 10,
       l.context(BeliefRerankMode::Shadow, ConceptSurfaceMode::Inspect, false, false)},
  };
  for (const Case& c : cases) {
    auto v = results(c.n);
    const auto before = v;
    epistemic_rerank(v, c.top_k, c.context);
    EXPECT_EQ(ids(v), ids(before)) << c.name;
    for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i].score, before[i].score) << c.name;
  }
  // No layer covers the results: nothing changes either.
  Layers none;
  none.concept_of("weak", ConceptState::Candidate, 0.69f, {"r1"});
  none.concept_of("rejected", ConceptState::Rejected, 0.9f, {"r1"});
  none.pattern("candidate", CausalState::Candidate, {"r1"}, {"r2"});
  none.hint("warn", PolicyState::Stable, PolicyActionKind::Warn, 0.9f, {"r1"});
  none.hint("suppressed", PolicyState::Suppressed, PolicyActionKind::Prefer, 0.9f, {"r1"});
  auto v = results(6);
  const auto before = v;
  epistemic_rerank(v, 10, none.context());
  for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i].score, before[i].score);
}

TEST(EpistemicRerank, ConceptCausalAndPolicyFactors) {
  Layers l;
  l.concept_of("stable", ConceptState::Stable, 0.8f, {"r0"});
  l.concept_of("strong candidate", ConceptState::Candidate, 0.7f, {"r0", "r1"});
  l.pattern("effect", CausalState::Stable, {"r3"}, {"r2"});
  l.pattern("cause", CausalState::Stable, {"r2"}, {});
  l.pattern("invalid", CausalState::Invalidated, {}, {"r3"});
  // r4: prefer (a) then avoid (b) -> lowered; r5: avoid (c) then prefer (d) -> raised.
  l.hint("a", PolicyState::Stable, PolicyActionKind::Prefer, 0.9f, {"r4"});
  l.hint("b", PolicyState::Stable, PolicyActionKind::Avoid, 0.9f, {"r4"});
  l.hint("c", PolicyState::Stable, PolicyActionKind::Avoid, 0.9f, {"r5"});
  l.hint("d", PolicyState::Stable, PolicyActionKind::Recommend, 0.9f, {"r5"});
  l.hint("e", PolicyState::Candidate, PolicyActionKind::Prefer, 0.7f, {"r6"});
  const auto before = results(8);
  // The same concepts through the layer's record index, and an index left
  // stale by a later change (ignored: the concepts are walked instead).
  Layers indexed = l;
  index_concept_records(indexed.concepts);
  Layers stale = indexed;
  stale.concept_of("late", ConceptState::Stable, 0.9f, {"r2"});
  struct Case {
    const char* pass;
    RerankContext context;
    std::vector<std::pair<const char*, float>> factors;
  } cases[] = {
      {"concept", l.context(BeliefRerankMode::Off, ConceptSurfaceMode::Limited, false, false),
       {{"r0", 1.04f}, {"r1", 1.02f}, {"r2", 1.0f}}},
      {"indexed concept", indexed.context(BeliefRerankMode::Off, ConceptSurfaceMode::Limited, false, false),
       {{"r0", 1.04f}, {"r1", 1.02f}, {"r2", 1.0f}}},
      {"stale index", stale.context(BeliefRerankMode::Off, ConceptSurfaceMode::Limited, false, false),
       {{"r0", 1.04f}, {"r1", 1.02f}, {"r2", 1.04f}}},
      {"causal", l.context(BeliefRerankMode::Off, ConceptSurfaceMode::Off, true, false),
       {{"r2", 1.03f}, {"r3", 1.01f}, {"r0", 1.0f}}},
      {"policy", l.context(BeliefRerankMode::Off, ConceptSurfaceMode::Off, false, true),
       {{"r4", 0.99f}, {"r5", 1.02f}, {"r6", 1.01f}, {"r7", 1.0f}}},
  };
  for (const Case& c : cases) {
    auto v = before;
    epistemic_rerank(v, 20, c.context);
    for (const auto& [id, f] : c.factors) EXPECT_FLOAT_EQ(score_of(v, id), score_of(before, id) * f) << c.pass << id;
  }
}

TEST(RerankPass, NoResultMovesMoreThanTwoPlaces) {
  // r8 would jump from the ninth place to the first: it stops at the seventh,
  // and the results it overtook are pushed back one place each.
  auto v = results(10);
  std::vector<float> factors(10, 1.0f);
  factors[8] = 2.0f;
  rerank_pass(v, factors, 1.0f);
  EXPECT_EQ(ids(v), (std::vector<std::string>{"r0", "r1", "r2", "r3", "r4", "r5", "r8", "r6", "r7", "r9"}));

  // A fall is held the same way; every result stays within two places.
  v = results(10);
  factors.assign(10, 1.0f);
  factors[0] = 0.1f;
  factors[1] = 3.0f;
  rerank_pass(v, factors, 1.0f);
  EXPECT_EQ(ids(v), (std::vector<std::string>{"r1", "r2", "r0", "r3", "r4", "r5", "r6", "r7", "r8", "r9"}));

  // Scores that are NaN or negative keep their value.
  v = results(4);
  v[0].score = std::nanf("");
  v[1].score = -1.0f;
  rerank_pass(v, {2.0f, 2.0f, 1.0f, 1.0f}, 0.05f);
  EXPECT_EQ(score_of(v, "r1"), -1.0f);
  EXPECT_TRUE(std::isnan(score_of(v, "r0")));
}

TEST(DropLosingHypotheses, RemovesLosersOfResolvedBeliefsOnly) {
  Layers l;
  l.belief("won", BeliefState::Resolved, {{"winner"}, {"loser"}}, 0);
  l.belief("no winner", BeliefState::Resolved, {{"orphan"}}, std::nullopt);
  l.belief("open", BeliefState::Unresolved, {{"open1"}, {"open2"}}, std::nullopt);
  std::vector<ScoredRecord> v;
  for (const char* id : {"loser", "winner", "free", "orphan", "open1"}) {
    Record r;
    r.id = id;
    v.push_back({1.0f, r});
  }
  std::vector<ScoredRecord> three(v.begin(), v.begin() + 3);
  drop_losing_hypotheses(three, l.beliefs);
  EXPECT_EQ(ids(three), (std::vector<std::string>{"winner", "free"}));
  drop_losing_hypotheses(v, l.beliefs);
  EXPECT_EQ(ids(v), (std::vector<std::string>{"winner", "free", "open1"}));
}

}  // namespace
}  // namespace vesk
