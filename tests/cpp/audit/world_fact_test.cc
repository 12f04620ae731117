#include "audit/world_fact.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

TEST(WorldFact, FromOutput) {
  using P = ConsequencePolarity;
  using L = std::vector<std::string>;
  struct Case {
    int32_t exit_code;
    std::string out, err;
    L success, failure;
    P want;
  };
  const Case cases[] = {
      {1, "3 PASSED", "", {"passed"}, {"failed"}, P::Supports},        // markers fold ASCII case
      {1, "3 PASSED", "1 FAILED", {"passed"}, {"failed"}, P::Refutes},  // failure wins, found in stderr
      {0, "all good", "", {"passed"}, {"failed"}, P::Inconclusive},
      {2, "all good", "", {"passed"}, {"failed"}, P::Refutes},          // dirty exit, no marker
      {0, "x", "y", {"zzz"}, {""}, P::Refutes},                          // empty failure marker always matches
      {2, "x", "y", {""}, {"zzz"}, P::Supports},                         // empty success marker always matches
      {0, "", "", {}, {}, P::Inconclusive},
      {0, "ÉCHEC", "", {}, {"échec"}, P::Inconclusive},                  // non-ASCII letters are not folded
      {0, "échec", "", {}, {"ÉCHEC"}, P::Inconclusive},
      {0, "an échec here", "", {}, {"ÉCHEC", "échec"}, P::Refutes},
      {0, "ok", "", {"OK"}, {}, P::Supports},                            // markers are folded too
  };
  for (const Case& c : cases) {
    EXPECT_EQ(world_fact_from_output(c.exit_code, c.out, c.err, c.success, c.failure), c.want)
        << c.exit_code << " '" << c.out << "' '" << c.err << "'";
  }
}

}  // namespace
}  // namespace vesk
