// The state filter of belief listings.
#include "store/belief_queries.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(BeliefQueries, StateFilterKeepsTheNamedStateAndAnythingElseKeepsAll) {
  struct Case {
    std::optional<std::string_view> filter;
    BeliefState state;
    bool kept;
  } cases[] = {
      {std::nullopt, BeliefState::Empty, true},        {"resolved", BeliefState::Resolved, true},
      {"resolved", BeliefState::Singleton, false},     {"unresolved", BeliefState::Unresolved, true},
      {"singleton", BeliefState::Singleton, true},     {"empty", BeliefState::Empty, true},
      {"empty", BeliefState::Resolved, false},         {"Resolved", BeliefState::Unresolved, true},
      {"", BeliefState::Singleton, true},
  };
  for (const Case& c : cases) {
    Belief b;
    b.state = c.state;
    EXPECT_EQ(filter_beliefs_by_state(b, c.filter), c.kept) << c.filter.value_or("none");
  }
}

}  // namespace
}  // namespace vesk
