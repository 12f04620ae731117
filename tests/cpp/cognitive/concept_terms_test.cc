// The word handling of the concept phase: the feature tokenizer with its
// canonical table and suffix rules, and the record terms of candidates.
#include "cognitive/concept_terms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

std::vector<std::string> features(std::string_view content) {
  StringSet set;
  add_concept_feature_terms(content, set);
  std::vector<std::string> out(set.begin(), set.end());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ConceptTerms, StemRules) {
  const struct {
    const char* token;
    const char* stem;
  } cases[] = {
      {"operations", "oper"}, {"copies", "copy"},     {"walked", "walk"},   {"boss", "boss"},
      {"station", "st"},      {"nation", "nation"},   {"payments", "pay"},  {"payment", "payment"},
      {"agreement", "agree"}, {"darkness", "dark"},   {"running", "runn"},  {"string", "string"},
      {"applied", "apply"},   {"quickly", "quick"},   {"servers", "server"}, {"classes", "class"},
      {"glass", "glass"},     {"to-do", "to-do"},     {"hours", "hours"},
  };
  for (const auto& c : cases) EXPECT_EQ(stem_concept_term(c.token), c.stem) << c.token;
}

TEST(ConceptTerms, CanonicalTableCoversItsInputsAndNothingElse) {
  EXPECT_EQ(canonical_concept_term("mysql"), "database");
  EXPECT_EQ(canonical_concept_term("post-deploy"), "deploy");
  EXPECT_EQ(canonical_concept_term("vi"), "vim");
  EXPECT_EQ(canonical_concept_term("deployments"), "deploy");
  EXPECT_EQ(canonical_concept_term("Mysql"), std::nullopt);
  EXPECT_EQ(canonical_concept_term("databasex"), std::nullopt);
  EXPECT_EQ(canonical_concept_term(""), std::nullopt);
}

TEST(ConceptTerms, FeaturesTrimMapStemAndDropShortOrStopTokens) {
  // "mysql," maps to the table; "(db)" is 2 bytes once trimmed and dropped;
  // "to-do" keeps its inner hyphen; "station" stems to "st" and stays; "the"
  // and "between" are stop words; "operations" stems to "oper".
  EXPECT_EQ(features("The MYSQL, (db) to-do station between operations Ünïcode"),
            (std::vector<std::string>{"database", "oper", "st", "to-do", "ünïcode"}));
  // A stem is mapped again ("metricses" -> "metrics" -> "metric"), else kept.
  EXPECT_EQ(features("metricses walked dbs"), (std::vector<std::string>{"dbs", "metric", "walk"}));
}

TEST(ConceptTerms, RecordTermsDropShortPiecesBeforeTrimmingAndCountOnce) {
  // "(a)" is 3 bytes before trimming, so its one-letter term stays; "to" is
  // dropped; "with" is a term stop word; "Port" and "port." are one term.
  EXPECT_EQ(concept_record_terms("Port to (a) port. with ... Staging"),
            (std::vector<std::string>{"port", "a", "staging"}));
}

}  // namespace
}  // namespace vesk
