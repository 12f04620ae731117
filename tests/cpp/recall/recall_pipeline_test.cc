#include "recall/recall_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "model/record_map.h"

namespace vesk {
namespace {

constexpr double kNow = 1'700'000'000.0;
const std::vector<std::string> kDefault = {"default"};

Record rec(std::string id, std::string source_type = "recorded", std::vector<std::string> tags = {},
           std::string ns = "default") {
  Record r;
  r.id = id;
  r.content = std::string("content of ").append(id);
  r.source_type = std::move(source_type);
  r.tags = std::move(tags);
  r.namespace_ = std::move(ns);
  return r;
}

struct Store {
  RecordMap records;
  RecordLookup lookup = record_lookup(records);
  void add(Record r) { records.insert_or_assign(r.id, std::move(r)); }
  Record& operator[](const std::string& id) { return records.at(id); }
};

RankedList ranked(std::initializer_list<const char*> ids) {
  RankedList l;
  for (const char* id : ids) l.emplace_back(id, 1.0f);
  return l;
}

std::vector<std::string> ids_of(const std::vector<ScoredRecord>& results) {
  std::vector<std::string> out;
  for (const auto& r : results) out.push_back(r.record.id);
  return out;
}

std::vector<std::string> ids_of(const RankedList& list) {
  std::vector<std::string> out;
  for (const auto& [id, s] : list) out.push_back(id);
  return out;
}

float score_of(const std::vector<ScoredRecord>& results, std::string_view id) {
  for (const auto& r : results)
    if (r.record.id == id) return r.score;
  ADD_FAILURE() << "no result " << id;
  return -1.0f;
}

TEST(RrfFuse, ScoresAreNormalisedReciprocalRanks) {
  Store s;
  for (const char* id : {"a", "b", "c", "d"}) s.add(rec(id));
  std::vector<RankedList> one = {ranked({"a", "b", "c", "d"})};
  auto results = rrf_fuse(s.lookup, one, 10, 0.0f, kDefault);
  ASSERT_EQ(ids_of(results), (std::vector<std::string>{"a", "b", "c", "d"}));
  for (size_t r = 0; r < results.size(); ++r) EXPECT_FLOAT_EQ(results[r].score, 61.0f / (61.0f + r)) << r;
  EXPECT_EQ(results[0].score, 1.0f);

  // First of one list out of two: 0.5; first of both: 1.0. k cuts the list.
  std::vector<RankedList> two = {ranked({"a", "b"}), ranked({"a", "c"})};
  results = rrf_fuse(s.lookup, two, 2, 0.0f, kDefault);
  ASSERT_EQ(ids_of(results), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(results[0].score, 1.0f);
  EXPECT_FLOAT_EQ(results[1].score, 0.5f * 61.0f / 62.0f);
}

TEST(RrfFuse, DropsMissingWeakInvisibleAndForeignRecords) {
  Store s;
  s.add(rec("ok"));
  s.add(rec("weak"));
  s["weak"].strength = 0.05f;
  s.add(rec("restricted"));
  s["restricted"].metadata["acl_visibility"] = "restricted";
  s.add(rec("work", "recorded", {}, "work"));
  std::vector<RankedList> lists = {ranked({"missing", "weak", "restricted", "work", "ok"})};
  EXPECT_EQ(ids_of(rrf_fuse(s.lookup, lists, 10, 0.1f, kDefault)), std::vector<std::string>{"ok"});
  const std::vector<std::string> work = {"work"}, none = {};
  EXPECT_EQ(ids_of(rrf_fuse(s.lookup, lists, 10, 0.1f, work)), std::vector<std::string>{"work"});
  EXPECT_TRUE(rrf_fuse(s.lookup, lists, 10, 0.1f, none).empty());
}

TEST(ChooseFusionLists, ModesPickTheirLists) {
  Store s;
  for (const char* id : {"s1", "b1", "n1", "e1"}) s.add(rec(id));
  const std::vector<RankedList> lexical = {ranked({"s1"}), ranked({"b1"}), {}, ranked({"n1", "s1"})};
  const std::vector<RankedList> no_bm25 = {ranked({"s1"}), {}, {}, {}};
  const std::optional<RankedList> emb = ranked({"e1"}), empty_emb = RankedList{}, absent;
  auto heads = [](const std::vector<RankedList>& lists) {
    std::vector<std::string> out;
    for (const auto& l : lists) out.push_back(l.empty() ? "" : l.front().first + "/" + std::to_string(l.size()));
    return out;
  };
  using V = std::vector<std::string>;
  struct Case {
    const char* mode;
    const std::vector<RankedList>& lexical;
    const std::optional<RankedList>& embedding;
    V want;
  };
  const V all_lexical = {"s1/1", "b1/1", "n1/2"};
  const Case cases[] = {
      {"family", lexical, emb, {"s1/3", "e1/1"}},  // s1 is in two lists: first of the family list
      {"family", no_bm25, emb, {"s1/1", "e1/1"}},
      {"embedding_only", lexical, emb, {"e1/1"}},
      {"bm25_embedding", lexical, emb, {"b1/1", "e1/1"}},
      {"bm25_embedding", no_bm25, emb, {"e1/1"}},
      {"equal", lexical, emb, {"s1/1", "b1/1", "n1/2", "e1/1"}},
      {"Family", lexical, emb, {"s1/1", "b1/1", "n1/2", "e1/1"}},  // unknown texts fuse like "equal"
      {"family", lexical, absent, all_lexical},
      {"embedding_only", lexical, empty_emb, all_lexical},
      {"bm25_embedding", lexical, absent, all_lexical},
  };
  for (const Case& c : cases)
    EXPECT_EQ(heads(choose_fusion_lists(c.mode, c.lexical, c.embedding, s.lookup)), c.want) << c.mode;
  const std::vector<RankedList> nothing(4);
  EXPECT_EQ(heads(choose_fusion_lists("family", nothing, emb, s.lookup)), V{"e1/1"});
  EXPECT_TRUE(choose_fusion_lists("family", nothing, absent, s.lookup).empty());
}

TEST(DiversityKeys, KeysFromNamespaceTagsSourceAndChannel) {
  Record r = rec("r", "retrieved", {"b", "a"}, "work");
  r.metadata["channel"] = "mail";
  EXPECT_EQ(diversity_key(r), "work|a,b|retrieved|mail");
  EXPECT_EQ(namespace_tags_key(r), "work|a,b");
  Record plain = rec("p", "recorded", {}, "work");
  EXPECT_EQ(diversity_key(plain), std::nullopt);
  EXPECT_EQ(namespace_tags_key(plain), "work|");
  // A relayed "recorded" record is second-hand, keyed by its own source type.
  plain.metadata["relayed_by_model"] = "true";
  EXPECT_EQ(diversity_key(plain), "work||recorded|");
}

// A collector over a fixed ranking that notes every count it is asked for.
struct FixedCollector {
  RankedList ranking;
  std::vector<size_t> asked;
  RankedList operator()(size_t count) {
    asked.push_back(count);
    return RankedList(ranking.begin(), ranking.begin() + std::min(count, ranking.size()));
  }
};

TEST(CollectWithDiversityCap, RefillMovesFirstHandRecordsPastTheThirdEcho) {
  Store s;
  for (const char* id : {"A", "B", "D"}) s.add(rec(id, "retrieved", {"t"}));
  s.add(rec("C", "recorded", {"t"}));
  s.add(rec("E", "retrieved", {"other"}));
  s.add(rec("F", "recorded", {"t"}));
  s.add(rec("G", "recorded", {"t"}));
  s.add(rec("X", "retrieved", {"t"}, "elsewhere"));
  FixedCollector c{ranked({"A", "B", "C", "D", "E", "X", "F", "G"}), {}};
  RankedList got = collect_with_diversity_cap(std::ref(c), 5, s.lookup);
  EXPECT_EQ(c.asked, (std::vector<size_t>{5, 15}));
  // F removes D (third of A, B, D) and is appended; G then finds only two.
  EXPECT_EQ(ids_of(got), (std::vector<std::string>{"A", "B", "C", "E", "F"}));

  // Fewer than three of a key in the first k: one call, hits unchanged.
  FixedCollector calm{ranked({"A", "B", "C", "E", "F", "D"}), {}};
  EXPECT_EQ(ids_of(collect_with_diversity_cap(std::ref(calm), 5, s.lookup)),
            (std::vector<std::string>{"A", "B", "C", "E", "F"}));
  EXPECT_EQ(calm.asked, std::vector<size_t>{5});

  // A refill no longer than k is used as it is.
  FixedCollector short_refill{ranked({"A", "B", "D"}), {}};
  EXPECT_EQ(ids_of(collect_with_diversity_cap(std::ref(short_refill), 3, s.lookup)),
            (std::vector<std::string>{"A", "B", "D"}));
  EXPECT_EQ(short_refill.asked, (std::vector<size_t>{3, 9}));
}

TEST(DiversityPenalty, HalvesFromTheThirdEchoOfAFirstHandKey) {
  std::vector<ScoredRecord> results;
  results.push_back({2.0f, rec("first", "recorded", {"t"})});
  for (int i = 0; i < 5; ++i) results.push_back({1.0f - 0.1f * i, rec(std::string("echo").append(std::to_string(i)), "retrieved", {"t"})});
  results.push_back({0.4f, rec("otherkey", "retrieved", {"u"})});
  std::vector<ScoredRecord> without_first(results.begin() + 1, results.end());

  apply_diversity_penalty(results);
  const float keep[] = {1.0f, 1.0f, 0.5f, 0.25f, 0.125f};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(score_of(results, std::string("echo").append(std::to_string(i))), (1.0f - 0.1f * i) * keep[i]);
  EXPECT_FLOAT_EQ(score_of(results, "first"), 2.0f);
  EXPECT_FLOAT_EQ(score_of(results, "otherkey"), 0.4f);

  auto before = without_first;
  apply_diversity_penalty(without_first);
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(without_first[i].score, before[i].score);
}

TEST(ConnectionExpansion, TwoHopsAtMostThirtyAndNothingTwice) {
  Store s;
  // A chain root -> h1 -> h2 -> h3, a link back to the root, and a fan of 40.
  for (const char* id : {"root", "h1", "h2", "h3"}) s.add(rec(id));
  s["root"].connections["h1"] = 1.0f;
  s["h1"].connections["h2"] = 1.0f;
  s["h1"].connections["root"] = 1.0f;
  s["h2"].connections["h3"] = 1.0f;
  std::vector<ScoredRecord> results = {{1.0f, s["root"]}};
  expand_along_connections(results, s.lookup, 0.0f, kDefault);
  ASSERT_EQ(ids_of(results), (std::vector<std::string>{"root", "h1", "h2"}));
  EXPECT_FLOAT_EQ(results[1].score, 0.6f);
  EXPECT_FLOAT_EQ(results[2].score, 0.36f);

  s.add(rec("hub"));
  for (int i = 0; i < 40; ++i) {
    std::string id = std::string("f").append(std::to_string(i));
    s.add(rec(id));
    s["hub"].connections[id] = 0.5f + i / 100.0f;
  }
  // A link too weak to follow: 1.0 x 0.08 x 0.6 < 0.05.
  s.add(rec("faint"));
  s["hub"].connections["faint"] = 0.08f;
  results = {{1.0f, s["hub"]}};
  expand_along_connections(results, s.lookup, 0.0f, kDefault);
  ASSERT_EQ(results.size(), 31u);
  // The strongest 30 links win, in the recall order.
  EXPECT_EQ(results[1].record.id, "f39");
  EXPECT_EQ(results[30].record.id, "f10");
}

// A hub with 15 links of weight 0.9 and 30 of weight 0.5, some to records
// that may not be returned (another namespace, too weak); the links are set
// in the given order.
std::vector<std::string> expand_equal_fan(bool reversed) {
  Store s;
  s.add(rec("hub"));
  std::vector<std::string> targets;
  for (int i = 0; i < 45; ++i) {
    std::string id = std::string("t").append(std::to_string(i));
    Record r = rec(id, "recorded", {}, i % 9 == 0 ? "work" : "default");
    if (i % 7 == 0) r.strength = 0.05f;
    s.add(std::move(r));
    targets.push_back(id);
  }
  if (reversed) std::reverse(targets.begin(), targets.end());
  for (const std::string& id : targets) s["hub"].connections[id] = std::stoi(id.substr(1)) < 15 ? 0.9f : 0.5f;
  std::vector<ScoredRecord> results = {{1.0f, s["hub"]}};
  expand_along_connections(results, s.lookup, 0.1f, kDefault);
  return ids_of(results);
}

TEST(ConnectionExpansion, EqualLinksAreTakenInTheRecallOrderWhateverTheMapOrder) {
  // 11 returnable targets score 0.54 and 23 score 0.3: all of the first are
  // added, then the first 19 of the others; ties go in content hash, then id,
  // order.
  std::vector<std::tuple<bool, uint64_t, std::string>> returnable;
  for (int i = 0; i < 45; ++i) {
    if (i % 9 == 0 || i % 7 == 0) continue;
    std::string id = std::string("t").append(std::to_string(i));
    returnable.emplace_back(i >= 15, content_hash(rec(id).content), id);
  }
  std::sort(returnable.begin(), returnable.end());
  std::vector<std::string> expected = {"hub"};
  for (size_t i = 0; i < 30; ++i) expected.push_back(std::get<2>(returnable[i]));

  for (bool reversed : {false, true}) EXPECT_EQ(expand_equal_fan(reversed), expected) << reversed;
}

TEST(CauseChainExpansion, ThreeCausesAtMostWithDecayingScores) {
  Store s;
  for (const char* id : {"A", "B", "C", "D", "E"}) s.add(rec(id));
  s["A"].caused_by_id = "B";
  s["B"].caused_by_id = "C";
  s["C"].caused_by_id = "D";
  s["D"].caused_by_id = "E";
  std::vector<ScoredRecord> results = {{0.5f, s["A"]}};
  expand_cause_chains(results, s.lookup, 0.0f, kDefault);
  ASSERT_EQ(ids_of(results), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_FLOAT_EQ(results[1].score, 0.5f * 0.8f);
  EXPECT_FLOAT_EQ(results[2].score, 0.5f * 0.72f);
  EXPECT_FLOAT_EQ(results[3].score, 0.5f * 0.648f);

  // A cause already among the results ends the walk.
  results = {{0.5f, s["A"]}, {0.1f, s["C"]}};
  expand_cause_chains(results, s.lookup, 0.0f, kDefault);
  EXPECT_EQ(ids_of(results), (std::vector<std::string>{"A", "C", "B", "D", "E"}));
  EXPECT_FLOAT_EQ(score_of(results, "D"), 0.1f * 0.8f);
}

// The pipeline over fixed collectors, with the defaults of a store.
struct PipelineFixture {
  Store store;
  TrustConfig trust;
  std::optional<RankedList> embedding;
  std::map<std::string, RankedList> lists;  // "sdr", "bm25", "ngram", "tags"
  std::vector<std::vector<std::string>> namespaces_seen;

  SignalCollector collector(const char* name) {
    return [this, name](std::string_view, std::span<const std::string> ns, size_t count) {
      namespaces_seen.emplace_back(ns.begin(), ns.end());
      const RankedList& l = lists[name];
      return RankedList(l.begin(), l.begin() + std::min(count, l.size()));
    };
  }
  std::vector<ScoredRecord> run(size_t k, bool expand, std::optional<std::vector<std::string>> ns = std::nullopt) {
    RecallPipelineInput in{.query = "q",
                           .top_k = k,
                           .expand_connections = expand,
                           .min_strength = 0.1f,
                           .candidates = store.lookup,
                           .embedding = embedding,
                           .trust = trust,
                           .namespaces = ns,
                           .now = kNow};
    return recall_pipeline(in, {collector("sdr"), collector("bm25"), collector("ngram"), collector("tags")});
  }
};

TEST(RecallPipeline, NothingFoundMeansNothingReturnedAndNoExpansion) {
  PipelineFixture f;
  f.store.add(rec("a"));
  f.store.add(rec("b"));
  f.store["a"].connections["b"] = 1.0f;
  EXPECT_TRUE(f.run(10, true).empty());
  EXPECT_EQ(f.namespaces_seen.size(), 4u);
  EXPECT_EQ(f.namespaces_seen[0], kDefault);
}

TEST(RecallPipeline, NamespacesDefaultToDefaultAndAnEmptyListSeesNothing) {
  PipelineFixture f;
  f.store.add(rec("d"));
  f.store.add(rec("w", "recorded", {}, "work"));
  f.lists["bm25"] = ranked({"w", "d"});
  EXPECT_EQ(ids_of(f.run(10, false)), std::vector<std::string>{"d"});
  EXPECT_EQ(ids_of(f.run(10, false, std::vector<std::string>{"work"})), std::vector<std::string>{"w"});
  EXPECT_TRUE(f.run(10, false, std::vector<std::string>{}).empty());
}

TEST(RecallPipeline, EndToEndWeighsTrustAndKeepsK) {
  PipelineFixture f;
  for (const char* id : {"a", "b", "c", "cause"}) f.store.add(rec(id));
  f.store["b"].strength = 0.5f;
  f.store["a"].caused_by_id = "cause";
  f.lists["sdr"] = ranked({"a", "b", "c"});
  f.embedding = ranked({"ghost", "a"});  // "ghost" is no candidate and never returned
  auto results = f.run(10, true);
  ASSERT_EQ(ids_of(results), (std::vector<std::string>{"a", "cause", "c", "b"}));
  // family mode: a = (1/61 + 1/62) / (2/61), times the trust of a bare record.
  const float a = (1.0f / 61 + 1.0f / 62) / (2.0f / 61);
  EXPECT_FLOAT_EQ(*results[0].pre_trust_score, a);
  EXPECT_FLOAT_EQ(results[0].score, a * 0.425f);
  EXPECT_FLOAT_EQ(score_of(results, "cause"), a * 0.8f * 0.425f);
  EXPECT_FLOAT_EQ(score_of(results, "b"), (1.0f / 62) / (2.0f / 61) * 0.5f * 0.425f);
  EXPECT_EQ(f.run(2, true).size(), 2u);
  EXPECT_TRUE(f.run(0, true).empty());
}

}  // namespace
}  // namespace vesk
