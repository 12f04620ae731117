#include <gtest/gtest.h>

#include <regex>

#include "base/fixed_env.h"
#include "cognitive/recall_replay_format.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::TempDir;

constexpr double kStart = 1'750'000'000.0;

struct StoreFixture {
  TempDir dir;
  FixedEnv env;
  std::unique_ptr<Vesk> store;

  StoreFixture() {
    auto v = Vesk::open(dir.path(), std::nullopt, env);
    EXPECT_TRUE(v.ok()) << v.status().message();
    store = std::move(v).value();
  }
  std::string add(std::string content, std::optional<double> valid_from = std::nullopt) {
    StoreRequest r;
    r.content = std::move(content);
    r.auto_promote = false;
    r.valid_from = valid_from;
    auto stored = store->store_with_channel_and_validity(std::move(r));
    EXPECT_TRUE(stored.ok()) << stored.status().message();
    return stored.ok() ? stored->id : "";
  }
  Record& edit(const std::string& id) { return VeskTestAccess::records(*store).records.unguarded().at(id); }
  RecallExplanation explain(std::string_view query, std::optional<uint64_t> top_k = std::nullopt,
                            std::optional<std::vector<std::string>> namespaces = std::nullopt) {
    Result<RecallExplanation> e = store->explain_recall(query, top_k, std::nullopt, std::nullopt, namespaces);
    EXPECT_TRUE(e.ok()) << e.status().message();
    return e.ok() ? std::move(e).value() : RecallExplanation{};
  }
  std::vector<RecallReplayBaseline> saved_history() {
    auto text = env.read_file(dir.path() / kRecallReplayFile);
    EXPECT_TRUE(text.ok()) << text.status().message();
    auto history = parse_recall_replay(text.ok() ? *text : "");
    EXPECT_TRUE(history.ok()) << history.status().message();
    return history.ok() ? *history : std::vector<RecallReplayBaseline>{};
  }
};

const RejectedCandidate* rejected(const RecallExplanation& e, std::string_view id) {
  for (const RejectedCandidate& r : e.rejected_candidates)
    if (r.record_id == id) return &r;
  return nullptr;
}

std::vector<std::string> item_ids(const RecallExplanation& e) {
  std::vector<std::string> out;
  for (const ExplainedRecallItem& i : e.items) out.push_back(i.record_id);
  return out;
}

TEST(ExplainRecall, AnEmptyStoreSavesABaselineWithNothingRanked) {
  StoreFixture f;
  RecallExplanation e = f.explain("anything at all");
  EXPECT_TRUE(std::regex_match(e.trace_id, std::regex("^mem_[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{15}$")))
      << e.trace_id;
  EXPECT_EQ(e.evaluated_at, kStart);
  EXPECT_EQ(e.top_k, 20u);
  EXPECT_TRUE(e.items.empty());
  EXPECT_TRUE(e.rejected_candidates.empty());
  EXPECT_EQ(e.decision_summary, DecisionSummary{});
  EXPECT_EQ(e.belief_rerank_mode, "limited");
  EXPECT_EQ(e.concept_surface_mode, "inspect");
  EXPECT_EQ(e.causal_rerank_mode, "limited");
  EXPECT_EQ(e.policy_rerank_mode, "limited");

  const std::vector<RecallReplayBaseline> saved = f.saved_history();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0], (RecallReplayBaseline{.trace_id = e.trace_id, .query = "anything at all", .top_k = 20,
                                            .min_strength = 0.1f, .expand_connections = true,
                                            .namespaces = {"default"}, .ranked = {}}));
}

TEST(ExplainRecall, TheReplayHistoryKeepsTheLast128) {
  StoreFixture f;
  const std::string id = f.add("the lighthouse lamp is lit at dusk");
  std::vector<std::string> trace_ids;
  for (int i = 0; i < 130; ++i) trace_ids.push_back(f.explain("lighthouse lamp", 5).trace_id);
  const std::vector<RecallReplayBaseline> saved = f.saved_history();
  ASSERT_EQ(saved.size(), 128u);
  EXPECT_EQ(saved.front().trace_id, trace_ids[2]);
  EXPECT_EQ(saved.back().trace_id, trace_ids.back());
  EXPECT_EQ(saved.back().ranked.size(), 1u);
  EXPECT_EQ(saved.back().ranked[0].first, id);
  EXPECT_EQ(f.store->recall_state().recall_replay.copy(), saved);
  // Explaining changed no record.
  EXPECT_EQ(f.store->get(id)->activation_count, 0u);
}

TEST(ExplainRecall, RejectedCandidatesCarryTheirReasons) {
  StoreFixture f;
  const std::string now_a = f.add("harbour crane inspection report alpha");
  const std::string now_b = f.add("harbour crane inspection report beta");
  const std::string later = f.add("harbour crane inspection report gamma", kStart + 3600);
  const std::string later_weak = f.add("harbour crane inspection report delta", kStart + 3600);
  f.edit(later_weak).strength = 0.05f;
  const std::string hidden = f.add("harbour crane inspection report restricted");
  f.edit(hidden).metadata["acl_visibility"] = "restricted";

  RecallExplanation e = f.explain("harbour crane inspection report", 1);
  ASSERT_EQ(e.items.size(), 1u);
  const std::string& selected = e.items[0].record_id;
  ASSERT_TRUE(selected == now_a || selected == now_b);
  const RejectedCandidate* cut = rejected(e, selected == now_a ? now_b : now_a);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->reasons, std::vector<std::string>{"outside_top_k"});
  ASSERT_TRUE(rejected(e, later));
  EXPECT_EQ(rejected(e, later)->reasons, std::vector<std::string>{"not_yet_valid"});
  ASSERT_TRUE(rejected(e, later_weak));
  EXPECT_EQ(rejected(e, later_weak)->reasons,
            (std::vector<std::string>{"not_yet_valid", "below_strength_threshold"}));
  EXPECT_EQ(rejected(e, later)->valid_from, kStart + 3600);

  // The restricted record is neither listed nor counted.
  EXPECT_FALSE(rejected(e, hidden));
  const DecisionSummary& s = e.decision_summary;
  EXPECT_EQ(s.rejected_count, 3u);
  EXPECT_EQ(s.reported_rejected_count, 3u);
  EXPECT_EQ(s.selected_count, 1u);
  EXPECT_EQ(s.evaluated_candidate_count, 4u);
  EXPECT_EQ(s.rejection_counts, (std::map<std::string, uint64_t>{
                                    {"below_strength_threshold", 1}, {"not_yet_valid", 2}, {"outside_top_k", 1}}));
  EXPECT_EQ(e.result_count, 1u);
}

TEST(ExplainRecall, TopKZeroSelectsNothingWhileTheWiderRunTraces) {
  StoreFixture f;
  const std::string a = f.add("orchard apple harvest schedule");
  f.add("an unrelated note about lunch");
  RecallExplanation e = f.explain("orchard apple harvest", 0);
  EXPECT_TRUE(e.items.empty());
  ASSERT_EQ(e.rejected_candidates.size(), 1u);
  EXPECT_EQ(e.rejected_candidates[0].record_id, a);
  EXPECT_EQ(e.rejected_candidates[0].reasons, std::vector<std::string>{"outside_top_k"});
  EXPECT_TRUE(f.saved_history().back().ranked.empty());

  // A given but empty namespace list sees nothing; another namespace, not
  // the default one.
  RecallExplanation none = f.explain("orchard apple harvest", 5, std::vector<std::string>{});
  EXPECT_TRUE(none.items.empty() && none.rejected_candidates.empty());
  RecallExplanation work = f.explain("orchard apple harvest", 5, std::vector<std::string>{"work"});
  EXPECT_TRUE(work.items.empty() && work.rejected_candidates.empty());
  EXPECT_EQ(f.saved_history().back().namespaces, std::vector<std::string>{"work"});
}

TEST(ExplainRecall, TheResultsAreTheRecallsResultsExplained) {
  StoreFixture f;
  for (int i = 0; i < 30; ++i) f.add("garden gate hinge repair note number " + std::to_string(i));
  VeskTestAccess::flags(*f.store).concept_surface = ConceptSurfaceMode::Off;
  VeskTestAccess::flags(*f.store).causal_rerank = CausalRerankMode::Off;
  RecallRequest request;
  request.query = "garden gate hinge repair";
  request.top_k = 5;
  request.expand_connections = true;
  request.min_strength = 0.1f;
  const std::vector<ScoredRecord> recalled = f.store->recall_ranked(request, kStart);
  RecallExplanation e = f.explain("garden gate hinge repair", 5);
  std::vector<std::string> recalled_ids;
  for (const ScoredRecord& r : recalled) recalled_ids.push_back(r.record.id);
  EXPECT_EQ(item_ids(e), recalled_ids);
  for (size_t i = 0; i < e.items.size(); ++i) {
    EXPECT_EQ(e.items[i].rank, i + 1);
    EXPECT_TRUE(e.items[i].trace.sdr || e.items[i].trace.bm25 || e.items[i].trace.ngram) << i;
    EXPECT_EQ(e.items[i].trace.final_score, e.items[i].score);
  }
  // Every record the lists found is evaluated: 5 selected, the rest rejected.
  EXPECT_EQ(e.decision_summary.evaluated_candidate_count, 30u);
  EXPECT_EQ(e.decision_summary.rejection_counts, (std::map<std::string, uint64_t>{{"outside_top_k", 25}}));
  EXPECT_EQ(e.concept_surface_mode, "off");
  EXPECT_EQ(e.causal_rerank_mode, "off");
}

// Every "big" record lies nearer the query than any "small" one: the
// explanation of an embedding recall in "small" still ranks all of its own
// records, nearest first, as the recall does.
TEST(ExplainRecall, AnEmbeddingRecallInASmallNamespaceRanksItsOwnRecords) {
  StoreFixture f;
  // "big n" and "small n" lie at growing angles from the query's vector.
  f.store->set_embedding_fn(std::make_shared<const EmbeddingFn>([](std::string_view text) {
    const size_t space = text.find(' ');
    const float n = space == std::string_view::npos ? 0.0f : std::stof(std::string(text.substr(space + 1)));
    const float y = text.starts_with("big") ? 0.001f * n : text.starts_with("small") ? 1.0f + n : 0.0f;
    return std::optional<std::vector<float>>(std::vector<float>{1.0f, y});
  }));
  auto add = [&](const std::string& ns, int n) {
    StoreRequest r;
    r.content = ns + " " + std::to_string(n);
    r.namespace_ = ns;
    r.auto_promote = false;
    auto stored = f.store->store_with_channel_and_validity(std::move(r));
    EXPECT_TRUE(stored.ok()) << stored.status().message();
    return stored.ok() ? stored->id : "";
  };
  for (int i = 0; i < 60; ++i) add("big", i);
  std::vector<std::string> small;
  for (int i = 0; i < 3; ++i) small.push_back(add("small", i));
  ASSERT_TRUE(f.store->set_recall_fusion_mode("embedding_only").ok());

  RecallExplanation e = f.explain("query", 3, std::vector<std::string>{"small"});
  EXPECT_EQ(item_ids(e), small);
  RecallRequest request;
  request.query = "query";
  request.top_k = 3;
  request.namespaces = std::vector<std::string>{"small"};
  std::vector<std::string> recalled;
  for (const ScoredRecord& r : f.store->recall_ranked(request, kStart)) recalled.push_back(r.record.id);
  EXPECT_EQ(recalled, small);
}

// The correction log is read only when a result names a causal pattern, and
// then lists that pattern's corrections from the audit journal.
TEST(ExplainRecall, ACausalPatternOfAResultCarriesItsCorrections) {
  StoreFixture f;
  const std::string cause = f.add("kettle descaling fixes the whistle");
  f.add("kettle descaling schedule for the office");
  VeskTestAccess::layers(*f.store).causal.unguarded().patterns["p"] = {
      .id = "p", .key = "descale->whistle", .cause_record_ids = {cause}};
  ASSERT_TRUE(f.store->invalidate_causal_pattern("p", "refuted by a later test").ok());

  RecallExplanation e = f.explain("kettle descaling", 2);
  ASSERT_EQ(e.items.size(), 2u);
  for (const ExplainedRecallItem& item : e.items) {
    if (item.record_id != cause) {
      EXPECT_TRUE(item.causal_patterns.empty());
      continue;
    }
    ASSERT_EQ(item.causal_patterns.size(), 1u);
    const CausalReference& p = item.causal_patterns[0];
    EXPECT_EQ(p.state, "invalidated");
    ASSERT_EQ(p.corrections.size(), 1u);
    EXPECT_EQ(p.corrections[0].target_id, "p");
    EXPECT_EQ(p.corrections[0].operation, "invalidate");
    EXPECT_EQ(p.corrections[0].reason, "refuted by a later test");
  }
}

TEST(ExplainRecall, AFailedSaveIsIgnored) {
  StoreFixture f;
  // The history is saved through this scratch name: a directory there makes
  // every save fail.
  fs::create_directory(f.dir.path() / (std::string(kRecallReplayFile) + ".tmp"));
  Result<RecallExplanation> e = f.store->explain_recall("anything");
  ASSERT_TRUE(e.ok()) << e.status().message();
  EXPECT_FALSE(fs::exists(f.dir.path() / kRecallReplayFile));
  const auto history = f.store->recall_state().recall_replay.copy();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].trace_id, e->trace_id);
}

TEST(ReflectionSummaries, NewestFirstWithinTheWindow) {
  StoreFixture f;
  {
    auto summaries = VeskTestAccess::maintenance(*f.store).reflection_summaries.write();
    for (int i = 0; i < 40; ++i) summaries->push_back({.timestamp = std::to_string(i)});
  }
  struct Case {
    std::optional<uint64_t> limit;
    size_t count;
  } cases[] = {{std::nullopt, 8}, {0, 1}, {3, 3}, {32, 32}, {100, 32}};
  for (const Case& c : cases) {
    const std::vector<ReflectionSummary> got = f.store->get_reflection_summaries(c.limit);
    ASSERT_EQ(got.size(), c.count) << c.limit.value_or(999);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].timestamp, std::to_string(39 - i));
  }
}

}  // namespace
}  // namespace vesk
