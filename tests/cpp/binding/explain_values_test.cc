// The dict of a signal contribution, as a score trace's signal slots hold it.
#include "explain_values.h"

#include <gtest/gtest.h>

#include "binding/embedded_python.h"

namespace vesk::py {
namespace {

class ExplainValuesTest : public EmbeddedPython {};

TEST_F(ExplainValuesTest, SignalContributionDictKeysInOrderAndExactWidths) {
  bind("c", SignalContribution{.raw_score = 0.1f, .rank = 3, .rrf_share = 0.5f});
  EXPECT_EQ(eval("c"), "{'raw_score': 0.10000000149011612, 'rank': 3, 'rrf_share': 0.5}");
  bind("top", SignalContribution{.raw_score = 2.0f, .rank = UINT64_MAX, .rrf_share = 0.0f});
  EXPECT_EQ(eval("top['rank'] == 2**64 - 1"), "True");
}

}  // namespace
}  // namespace vesk::py
