#include "recall/provenance_rank.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vesk {
namespace {

using C = ProvenanceClass;

TEST(ProvenanceRank, CuProvenanceLines) {
  struct Case {
    const char* value;
    std::optional<C> want;
  } cases[] = {
      {"Tool: ran the linter", C::LivedConsequence},   // head, any case
      {"  TOOL  : x", C::LivedConsequence},            // head trimmed
      {"toolbox: x", C::ExternalSource},               // a head is whole
      {"ran exec on the box", C::LivedConsequence},    // lived token
      {"cargo/test|fetch", C::LivedConsequence},
      {"llm", C::ModelGenerated},                      // model token only
      {"LLM summary of notes", C::ModelGenerated},     // a model token taints its line
      {"a colleague told me", C::ExternalSource},      // tokens, none listed
      {"", std::nullopt},
      {" \n\t\r\n  ", std::nullopt},                   // blank lines only
      {":: // ||", C::ModelGenerated},                 // separators only: no tokens
      {"model output\nan article", C::ExternalSource}, // second line external
      {"model output\ngenerated again", C::ModelGenerated},
      {"an article\r\nworld: observed", C::LivedConsequence},
      {"a\u00a0exec", C::LivedConsequence},            // split at Unicode white space
      {"EXECUTE", C::ExternalSource},                  // tokens are whole
  };
  for (const Case& c : cases) EXPECT_EQ(classify_cu_provenance(c.value), c.want) << c.value;
}

TEST(ProvenanceRank, RulesInOrder) {
  Record tagged;
  tagged.source_type = "generated";
  tagged.tags = {"x", "consequence-support"};
  tagged.metadata["cu_provenance"] = "llm";
  EXPECT_EQ(classify_provenance(tagged), C::LivedConsequence);

  Record with_lines;
  with_lines.source_type = "inferred";
  with_lines.metadata["cu_provenance"] = "an article";
  EXPECT_EQ(classify_provenance(with_lines), C::ExternalSource);
  with_lines.metadata["cu_provenance"] = "  \n";  // blank: the source type decides
  EXPECT_EQ(classify_provenance(with_lines), C::ModelGenerated);

  struct Case {
    const char* source_type;
    C want;
  } cases[] = {{"inferred", C::ModelGenerated}, {"generated", C::ModelGenerated}, {"recorded", C::ExternalSource},
               {"retrieved", C::ExternalSource}, {"Generated", C::ExternalSource}};
  for (const Case& c : cases) {
    Record r;
    r.source_type = c.source_type;
    EXPECT_EQ(classify_provenance(r), c.want) << c.source_type;
  }
}

TEST(ProvenanceRank, WeighsClampsAndSortsStably) {
  auto scored = [](const char* id, float score, const char* source_type, const char* tag = nullptr) {
    ScoredRecord r;
    r.score = score;
    r.record.id = id;
    r.record.source_type = source_type;
    if (tag) r.record.tags = {tag};
    return r;
  };
  std::vector<ScoredRecord> answer = {
      scored("a", 0.5f, "inferred"),                           // 0.35
      scored("b", 0.4f, "retrieved"),                          // 0.4
      scored("c", 0.9f, "recorded", "consequence-refute"),     // 1.17, clamped
      scored("d", 0.5f, "recorded", "consequence-refute"),     // 0.65
      scored("e", 0.4f, "recorded"),                           // ties with b, stays after it
  };
  const std::vector<ProvenanceRankedEntry> ranked = rank_by_provenance(answer);
  std::string order;
  for (const ProvenanceRankedEntry& e : ranked) order += e.record.id;
  EXPECT_EQ(order, "cdbea");
  EXPECT_EQ(ranked[0].effective_score, 1.0f);
  EXPECT_EQ(ranked[0].base_score, 0.9f);
  EXPECT_EQ(ranked[1].effective_score, 1.3f * 0.5f);
  EXPECT_EQ(ranked[4].effective_score, 0.7f * 0.5f);

  const JsonObject item = provenance_ranked_item(ranked[4]);
  std::vector<std::string> keys;
  for (const auto& [k, v] : item) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{"id", "content", "score", "effective_score", "base_score", "provenance",
                                            "level", "strength", "tags", "source_type"}));
}

}  // namespace
}  // namespace vesk
