// The feedback of causal patterns and policy hints into beliefs, on small
// engines built by hand.
#include "maintenance/belief_feedback.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/fixed_env.h"

namespace vesk {
namespace {

using testing::FixedEnv;

constexpr double kTol = 1e-6;

Belief belief(std::string id, float confidence, float volatility, float score = 0.5f) {
  Belief b;
  b.id = std::move(id);
  b.confidence = confidence;
  b.volatility = volatility;
  b.score = score;
  b.stability = 0.7f;
  return b;
}

CausalPattern pattern(std::string id, CausalState state, float strength, std::vector<std::string> causes,
                      std::vector<std::string> effects = {}) {
  CausalPattern p;
  p.id = std::move(id);
  p.state = state;
  p.causal_strength = strength;
  p.cause_belief_ids = std::move(causes);
  p.effect_belief_ids = std::move(effects);
  return p;
}

PolicyHint hint(std::string id, PolicyState state, PolicyActionKind action, float strength,
                std::vector<std::string> beliefs) {
  PolicyHint h;
  h.id = std::move(id);
  h.state = state;
  h.action_kind = action;
  h.policy_strength = strength;
  h.trigger_belief_ids = std::move(beliefs);
  return h;
}

struct Engines {
  BeliefEngine beliefs;
  CausalEngine causal;
  PolicyEngine policies;
  FixedEnv env;

  void add(Belief b) { beliefs.beliefs[b.id] = std::move(b); }
  void add(CausalPattern p) { causal.patterns[p.id] = std::move(p); }
  void add(PolicyHint h) { policies.hints[h.id] = std::move(h); }
  FeedbackAuditReport run() { return feed_back_into_beliefs(beliefs, causal, policies, env); }
  const Belief& at(const std::string& id) { return beliefs.beliefs.at(id); }
};

TEST(BeliefFeedback, OneStablePatternMovesItsBeliefAndAuditsTheChange) {
  Engines e;
  e.add(belief("b1", 0.5f, 0.3f, 0.5f));
  e.add(pattern("p1", CausalState::Stable, 0.8f, {"b1"}));
  FeedbackAuditReport r = e.run();

  EXPECT_NEAR(e.at("b1").confidence, 0.524, kTol);
  EXPECT_NEAR(e.at("b1").volatility, 0.284, kTol);
  EXPECT_NEAR(e.at("b1").score, 0.524, kTol);  // rescaled by 0.524 / 0.5
  EXPECT_EQ(e.at("b1").last_updated, e.env.now_seconds());
  EXPECT_EQ(e.at("b1").stability, 0.7f);
  EXPECT_EQ(r.beliefs_touched, 1u);
  EXPECT_EQ(r.beliefs_boosted, 1u);
  EXPECT_EQ(r.beliefs_dampened, 0u);
  EXPECT_NEAR(r.net_confidence_delta, 0.024, kTol);
  EXPECT_NEAR(r.net_volatility_delta, -0.016, kTol);
  ASSERT_EQ(r.entries.size(), 1u);
  const FeedbackAuditEntry& x = r.entries[0];
  EXPECT_EQ(x.belief_id, "b1");
  EXPECT_EQ(x.source_kind, "causal");
  EXPECT_EQ(x.source_id, "p1");
  EXPECT_EQ(x.reason, "stable_pattern");
  EXPECT_NEAR(x.delta_requested, 0.024, kTol);
  EXPECT_NEAR(x.delta_applied, 0.024, kTol);
  EXPECT_NEAR(x.volatility_delta_applied, -0.016, kTol);
  EXPECT_NEAR(x.confidence_before, 0.5, kTol);
  EXPECT_NEAR(x.confidence_after, 0.524, kTol);
  EXPECT_NEAR(x.volatility_before, 0.3, kTol);
  EXPECT_NEAR(x.volatility_after, 0.284, kTol);
  EXPECT_EQ(x.stability_before, x.stability_after);
  EXPECT_EQ(x.stability_delta_applied, 0.0);
}

TEST(BeliefFeedback, TheCycleBoundsShareTheAppliedChangeAmongTheCandidates) {
  Engines e;
  e.add(belief("b1", 0.5f, 0.3f));
  for (int i = 0; i < 10; ++i) e.add(pattern("p" + std::to_string(i), CausalState::Stable, 1.0f, {"b1"}));
  FeedbackAuditReport r = e.run();

  EXPECT_NEAR(e.at("b1").confidence, 0.58, kTol);
  EXPECT_NEAR(e.at("b1").volatility, 0.24, kTol);
  ASSERT_EQ(r.entries.size(), 10u);
  for (const FeedbackAuditEntry& x : r.entries) {
    EXPECT_NEAR(x.delta_requested, 0.03, kTol);
    EXPECT_NEAR(x.delta_applied, 0.008, kTol);
    EXPECT_NEAR(x.volatility_delta_applied, -0.006, kTol);
    EXPECT_NEAR(x.confidence_after, 0.58, kTol);
  }
}

TEST(BeliefFeedback, WhatEachSourceAsksFor) {
  struct Case {
    const char* name;
    std::vector<CausalPattern> patterns;
    std::vector<PolicyHint> hints;
    const char* reason;  // of the only entry
    double confidence_delta;
    double volatility_delta;
  };
  const Case cases[] = {
      {"candidate avoid hint", {}, {hint("h", PolicyState::Candidate, PolicyActionKind::Avoid, 1.0f, {"b"})},
       "candidate:avoid", -0.06, 0.01},
      {"stable prefer hint", {}, {hint("h", PolicyState::Stable, PolicyActionKind::Prefer, 1.0f, {"b"})},
       "stable:prefer", 0.05, -0.005},
      {"candidate verify-first hint at 0.5", {},
       {hint("h", PolicyState::Candidate, PolicyActionKind::VerifyFirst, 0.5f, {"b"})}, "candidate:verifyfirst",
       -0.018, 0.005},
      {"a negative strength counts as 0", {},
       {hint("h", PolicyState::Stable, PolicyActionKind::Warn, -2.0f, {"b"})}, "stable:warn", 0.0, 0.0},
      {"candidate pattern", {pattern("p", CausalState::Candidate, 1.0f, {"b"})}, {}, "candidate_pattern", 0.015,
       -0.01},
      {"rejected pattern, r = 0.75",
       {[] {
         CausalPattern p = pattern("p", CausalState::Rejected, 0.9f, {"b"});
         p.support_count = 1;
         p.counterevidence = 3;
         return p;
       }()},
       {}, "rejected_pattern:counterevidence=3", -0.05, 0.12},
      {"rejected pattern without evidence, r = 0", {pattern("p", CausalState::Rejected, 0.9f, {"b"})}, {},
       "rejected_pattern:counterevidence=0", -0.02, 0.03},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Engines e;
    e.add(belief("b", 0.5f, 0.3f));
    for (const CausalPattern& p : c.patterns) e.add(p);
    for (const PolicyHint& h : c.hints) e.add(h);
    FeedbackAuditReport r = e.run();
    if (c.confidence_delta == 0.0 && c.volatility_delta == 0.0) {
      EXPECT_EQ(r.beliefs_touched, 0u);
      EXPECT_TRUE(r.entries.empty());
      continue;
    }
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].reason, c.reason);
    EXPECT_NEAR(r.entries[0].delta_requested, c.confidence_delta, kTol);
    EXPECT_NEAR(e.at("b").confidence, 0.5 + c.confidence_delta, kTol);
    EXPECT_NEAR(e.at("b").volatility, 0.3 + c.volatility_delta, kTol);
    EXPECT_EQ(r.beliefs_dampened, c.confidence_delta < 0 ? 1u : 0u);
  }
}

TEST(BeliefFeedback, SourcesAndBeliefsThatGiveNothing) {
  Engines e;
  e.add(belief("full", 1.0f, 0.0f, 0.9f));  // only favourable candidates: nothing moves
  e.add(belief("other", 0.5f, 0.3f));
  e.add(pattern("p_full", CausalState::Stable, 1.0f, {"full"}));
  e.add(hint("h_full", PolicyState::Stable, PolicyActionKind::Prefer, 1.0f, {"full"}));
  e.add(hint("suppressed", PolicyState::Suppressed, PolicyActionKind::Avoid, 1.0f, {"other"}));
  e.add(hint("rejected", PolicyState::Rejected, PolicyActionKind::Avoid, 1.0f, {"other"}));
  e.add(pattern("invalidated", CausalState::Invalidated, 1.0f, {"other"}));
  e.add(pattern("gone", CausalState::Stable, 1.0f, {"missing"}));
  const BeliefEngine before = e.beliefs;
  FeedbackAuditReport r = e.run();
  EXPECT_EQ(r, FeedbackAuditReport{});
  EXPECT_EQ(e.beliefs, before);
}

TEST(BeliefFeedback, ABeliefNamedAsCauseAndEffectOfOnePatternGetsOneCandidate) {
  Engines e;
  e.add(belief("a", 0.5f, 0.3f));
  e.add(belief("b", 0.5f, 0.3f));
  e.add(pattern("p", CausalState::Stable, 1.0f, {"a"}, {"a", "b", "b"}));
  // A hint that names a belief twice gives it two candidates.
  e.add(hint("h", PolicyState::Stable, PolicyActionKind::Recommend, 0.5f, {"b", "b"}));
  FeedbackAuditReport r = e.run();
  size_t for_a = 0, for_b = 0;
  for (const FeedbackAuditEntry& x : r.entries) (x.belief_id == "a" ? for_a : for_b)++;
  EXPECT_EQ(for_a, 1u);
  EXPECT_EQ(for_b, 3u);
  EXPECT_NEAR(e.at("b").confidence, 0.5 + 0.03 + 0.015 + 0.015, kTol);
}

TEST(BeliefFeedback, NonFiniteInputsPassThroughWithoutFailing) {
  Engines e;
  e.add(belief("nan_strength", 0.5f, 0.3f));
  e.add(belief("zero", 0.0f, 0.3f, 0.4f));
  e.add(pattern("p_nan", CausalState::Stable, std::numeric_limits<float>::quiet_NaN(), {"nan_strength"}));
  e.add(pattern("p_zero", CausalState::Stable, 1.0f, {"zero"}));
  FeedbackAuditReport r = e.run();
  // fmax(NaN, 0) is 0: the first belief is asked for nothing.
  EXPECT_EQ(e.at("nan_strength").confidence, 0.5f);
  // Raised to the floor, and its score becomes the new confidence.
  EXPECT_NEAR(e.at("zero").confidence, 0.05, kTol);
  EXPECT_NEAR(e.at("zero").score, 0.05, kTol);
  EXPECT_EQ(r.beliefs_touched, 1u);
}

}  // namespace
}  // namespace vesk
