#include "recall/recall_settings.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

template <class T>
std::string error_of(const Result<T>& r) {
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.status().kind(), ErrorKind::Value);
  return r.status().message();
}

TEST(RecallSettings, ExactCaseSensitiveMatch) {
  EXPECT_EQ(*parse_belief_rerank_mode("shadow"), BeliefRerankMode::Shadow);
  EXPECT_EQ(*parse_concept_surface_mode("inspect"), ConceptSurfaceMode::Inspect);
  EXPECT_EQ(*parse_causal_rerank_mode("off"), CausalRerankMode::Off);
  EXPECT_EQ(*parse_policy_rerank_mode("limited"), PolicyRerankMode::Limited);
  EXPECT_EQ(*parse_context_date_mode("first_hand"), ContextDateMode::FirstHand);

  EXPECT_EQ(error_of(parse_belief_rerank_mode("Limited")),
            "unknown mode \"Limited\"; expected one of off, shadow, limited");
  EXPECT_EQ(error_of(parse_concept_surface_mode("shadow")),
            "unknown mode \"shadow\"; expected one of off, inspect, limited");
  EXPECT_EQ(error_of(parse_causal_rerank_mode(" off")), "unknown mode \" off\"; expected one of off, limited");
  EXPECT_EQ(error_of(parse_policy_rerank_mode("a\"b\n")), "unknown mode \"a\\\"b\\n\"; expected one of off, limited");
  EXPECT_EQ(error_of(parse_context_date_mode("none")),
            "unknown context date mode \"none\"; expected one of [\"off\", \"first_hand\", \"all\"]");
}

}  // namespace
}  // namespace vesk
