#include "audit/consequence_readout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

TEST(ConsequenceReadout, PolarityFromTrustThenWording) {
  struct Case {
    int32_t trust;
    std::string consequence;
    ConsequencePolarity want;
  };
  const std::vector<Case> cases = {
      {1, "failed", ConsequencePolarity::Supports},         // trust first
      {-1, " OK\n", ConsequencePolarity::Supports},         // a support word beats a negative trust
      {-1, "anything", ConsequencePolarity::Refutes},
      {0, "Supported", ConsequencePolarity::Supports},
      {0, "\u00a0panic\u00a0", ConsequencePolarity::Refutes},  // Unicode white space trimmed
      {0, "tests passed", ConsequencePolarity::Inconclusive},  // the whole text must be the word
      {0, "", ConsequencePolarity::Inconclusive},
      {0, "FAİL", ConsequencePolarity::Inconclusive},        // only ASCII letters are lower-cased
  };
  for (const Case& c : cases) {
    ConsequenceUnit u;
    u.trust = c.trust;
    u.consequence = c.consequence;
    EXPECT_EQ(classify_consequence_outcome(u), c.want) << c.trust << " " << c.consequence;
  }
}

TEST(ConsequenceReadout, ReadoutLine) {
  ConsequenceUnit u;
  u.situation = "s";
  u.action = "a";
  u.consequence = "c";
  u.trust = -7;
  EXPECT_EQ(consequence_unit_readout(u), "state `s` action `a` consequence `c` trust -7 scope []");
  u.scope = {"x", "y z"};
  EXPECT_EQ(consequence_unit_readout(u), "state `s` action `a` consequence `c` trust -7 scope [x, y z]");
}

}  // namespace
}  // namespace vesk
