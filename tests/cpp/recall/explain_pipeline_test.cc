#include "recall/explain_pipeline.h"

#include <gtest/gtest.h>

#include "model/record_map.h"
#include "recall/trust_multiplier.h"

namespace vesk {
namespace {

constexpr double kNow = 1'700'000'000.0;

struct Pipeline {
  RecordMap records;
  RecordLookup lookup = record_lookup(records);
  TrustConfig trust;
  std::optional<RankedList> embedding;
  std::optional<std::vector<std::string>> namespaces;
  LexicalCollectors collectors;

  Record& add(const std::string& id) {
    Record r;
    r.id = id;
    r.content = "content of " + id;
    records.insert_or_assign(id, std::move(r));
    return records.at(id);
  }
  // A collector that always answers `ids` with falling scores, cut to count.
  static SignalCollector fixed(std::vector<std::string> ids) {
    return [ids](std::string_view, std::span<const std::string>, size_t count) {
      RankedList out;
      for (size_t i = 0; i < ids.size() && i < count; ++i) out.emplace_back(ids[i], 10.0f - static_cast<float>(i));
      return out;
    };
  }
  ExplainPipelineResult explain(size_t k, bool expand = false, float min_strength = 0.1f) {
    RecallPipelineInput in{.query = "q",
                           .top_k = k,
                           .expand_connections = expand,
                           .min_strength = min_strength,
                           .candidates = lookup,
                           .embedding = embedding,
                           .trust = trust,
                           .namespaces = namespaces,
                           .now = kNow};
    return explain_recall_pipeline(in, collectors);
  }
};

TEST(ExplainPipeline, SharesAddUpToTheFusedScoreWhateverTheFusionMode) {
  Pipeline run;
  for (const char* id : {"a", "b", "c", "e"}) run.add(id);
  run.collectors.sdr = Pipeline::fixed({"a", "b"});
  run.collectors.ngram = Pipeline::fixed({"b", "c"});
  run.collectors.tags = Pipeline::fixed({});  // empty: not a fused list
  run.embedding = RankedList{{"e", 0.9f}, {"a", 0.8f}};
  // "embedding_only" would fuse the embedding ranking alone; the explanation
  // fuses every list.
  run.trust.fusion_mode = "embedding_only";

  ExplainPipelineResult out = run.explain(10);
  const float m = 3.0f / 61.0f;  // three non-empty lists
  const CandidateTrace& a = out.traces.at("a");
  EXPECT_EQ(a.record_id, "a");
  ASSERT_TRUE(a.sdr && a.embedding);
  EXPECT_FALSE(a.bm25 || a.ngram || a.tags);
  EXPECT_EQ(*a.sdr, (SignalContribution{.raw_score = 10.0f, .rank = 0, .rrf_share = 1.0f / 61.0f / m}));
  EXPECT_EQ(*a.embedding, (SignalContribution{.raw_score = 0.8f, .rank = 1, .rrf_share = 1.0f / 62.0f / m}));
  EXPECT_EQ(a.rrf_score, a.sdr->rrf_share + a.embedding->rrf_share);

  // rrf_score is the fused score up to the last bits, and the trust stage
  // turns it into the result's score.
  ASSERT_EQ(out.results.size(), 4u);
  for (const ScoredRecord& r : out.results) {
    const CandidateTrace& t = out.traces.at(r.record.id);
    EXPECT_NEAR(t.pre_trust_score, t.rrf_score, 1e-6f) << r.record.id;
    EXPECT_EQ(t.final_score, r.score);
    EXPECT_EQ(r.pre_trust_score, t.pre_trust_score);
  }
  EXPECT_EQ(out.results[0].record.id, "b");  // two lexical lists
}

TEST(ExplainPipeline, TheTrustFactorIsTrustTimesStrength) {
  Pipeline run;
  Record& a = run.add("a");
  a.strength = 0.5f;
  a.source_type = "retrieved";
  run.collectors.bm25 = Pipeline::fixed({"a"});
  ExplainPipelineResult out = run.explain(5);
  const CandidateTrace& t = out.traces.at("a");
  const float factor = trust_multiplier(a.metadata, run.trust, "retrieved", kNow) * 0.5f;
  EXPECT_EQ(t.pre_trust_score, 1.0f);
  EXPECT_EQ(t.trust_multiplier, factor);
  EXPECT_EQ(t.final_score, 1.0f * factor);
  EXPECT_EQ(out.results.at(0).score, t.final_score);
}

TEST(ExplainPipeline, ExpansionsAndFilteredCandidatesAreTraced) {
  Pipeline run;
  run.add("hit").connections["linked"] = 1.0f;
  run.records.at("hit").caused_by_id = "cause";
  run.add("linked");
  run.add("cause");
  run.add("weak").strength = 0.01f;
  run.collectors.sdr = Pipeline::fixed({"hit", "weak", "ghost"});

  ExplainPipelineResult out = run.explain(3, /*expand=*/true);
  // The connection expansion adds at 0.6 of the result, the cause chain at 0.8.
  const float hit = out.traces.at("hit").pre_trust_score;
  EXPECT_EQ(out.traces.at("linked").graph_score, hit * 1.0f * 0.6f);
  EXPECT_EQ(out.traces.at("linked").causal_score, 0.0f);
  EXPECT_EQ(out.traces.at("cause").causal_score, hit * 0.8f);
  EXPECT_EQ(out.traces.at("cause").rrf_score, 0.0f);
  EXPECT_EQ(out.results.size(), 3u);
  // Too weak or unknown at the fusion: traced, never trusted.
  for (const char* id : {"weak", "ghost"}) {
    const CandidateTrace& t = out.traces.at(id);
    EXPECT_GT(t.rrf_score, 0.0f) << id;
    EXPECT_EQ(t.pre_trust_score, 0.0f) << id;
    EXPECT_EQ(t.trust_multiplier, 0.0f) << id;
    EXPECT_EQ(t.final_score, 0.0f) << id;
  }
}

TEST(ExplainPipeline, NoListNoResultAndNoTrace) {
  Pipeline run;
  run.add("a");
  run.collectors.sdr = Pipeline::fixed({});
  run.embedding = RankedList{};
  ExplainPipelineResult out = run.explain(5);
  EXPECT_TRUE(out.results.empty());
  EXPECT_TRUE(out.traces.empty());
}

}  // namespace
}  // namespace vesk
