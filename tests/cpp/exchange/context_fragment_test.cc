#include "exchange/context_fragment/context_fragment.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace vesk {
namespace {

TEST(ContextFragment, SharedScoreHasExactlyFourDecimals) {
  struct Case {
    float score;
    const char* text;
  };
  for (const Case& c : {Case{0.0f, "0.0000"}, Case{1.0f, "1.0000"}, Case{0.5f, "0.5000"},
                        Case{0.123456f, "0.1235"}, Case{12.75f, "12.7500"}, Case{-0.25f, "-0.2500"}})
    EXPECT_EQ(shared_score_text(c.score), c.text) << c.score;
}

TEST(ContextFragment, NumbersAreWidenedAndNonFiniteOnesAreNull) {
  Record r;
  r.id = "r1";
  r.content = "text";
  r.strength = 0.9f;
  r.created_at = 1700000000.0;
  Record bad = r;
  bad.id = "r2";
  bad.strength = std::numeric_limits<float>::quiet_NaN();
  bad.created_at = std::numeric_limits<double>::infinity();
  std::vector<ScoredRecord> results{ScoredRecord(0.5f, r), ScoredRecord(0.25f, bad)};
  const std::string text = write_context_fragment("q", results, "/stores/a");
  EXPECT_NE(text.find("\"strength\": 0.8999999761581421,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"created_at\": 1700000000.0,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"created_at\": null,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"strength\": null,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"record_count\": 2,"), std::string::npos) << text;
}

}  // namespace
}  // namespace vesk
