#include "index/sdr_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <unordered_map>

namespace vesk {
namespace {

// A store in miniature: records, the record log's SDRs, the id map.
class SdrFixture : public ::testing::Test {
 protected:
  void store(const std::string& id, const std::string& content, std::string ns = "default",
             Level level = Level::Working, StringMap metadata = {}) {
    Record r;
    r.id = id;
    r.content = content;
    r.level = level;
    r.namespace_ = std::move(ns);
    r.metadata = std::move(metadata);
    records[id] = r;
    auto sdr = std::make_shared<const Sdr>(encode_sdr(enc, content, sdr_range_for_level(level), SdrCase::Fold));
    log[id] = sdr;
    index.insert(id, sdr);
  }
  RankedList search(std::string_view q, size_t top_k, std::vector<std::string> ns = {"default"},
                    std::vector<SdrSearchPass>* trace = nullptr) {
    SdrLookup sdrs = [this](std::string_view id) -> const Sdr* {
      auto it = log.find(std::string(id));
      return it == log.end() ? nullptr : it->second.get();
    };
    IdMapLookup ids = [this](std::string_view k) -> const std::string* {
      auto it = id_map.find(std::string(k));
      return it == id_map.end() ? nullptr : &it->second;
    };
    return collect_sdr(enc, index, sdrs, ids, record_lookup(records), q, top_k, ns, trace);
  }
  static bool has(const RankedList& l, const std::string& id) {
    return std::any_of(l.begin(), l.end(), [&](const auto& p) { return p.first == id; });
  }

  SdrEncoder enc;
  SdrIndex index;
  std::unordered_map<std::string, Record> records;
  std::unordered_map<std::string, SharedSdr> log;
  std::unordered_map<std::string, std::string> id_map;
};

TEST_F(SdrFixture, FindsByOverlapAndScoresTanimoto) {
  store("a", "the cat sat on the mat");
  store("b", "a cat sat on a warm mat today");
  store("c", "quarterly revenue projections");
  RankedList exact = search("the cat sat on the mat", 5);
  ASSERT_FALSE(exact.empty());
  EXPECT_EQ(exact[0], (std::pair<std::string, float>{"a", 1.0f}));
  // A short query counts all its bitmaps: both cats come first; the report
  // shares only the 2-gram "on".
  RankedList hits = search("sat on", 5);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[2].first, "c");
  Sdr q = encode_sdr(enc, "sat on", SdrRange::General, SdrCase::Fold);
  ASSERT_LE(q.size(), 128u);
  for (const auto& [id, s] : hits) {
    const Sdr& stored = *log[id];
    float c = static_cast<float>(sdr_overlap(q, stored));
    EXPECT_EQ(s, c / (static_cast<float>(q.size()) + static_cast<float>(stored.size()) - c)) << id;
    EXPECT_TRUE(s > 0.0f && s < 1.0f);
  }
  EXPECT_GT(hits[0].second, hits[1].second);
  EXPECT_FALSE(has(search("zzzz qqqq", 5), "a"));
}

TEST_F(SdrFixture, EmptyCases) {
  store("a", "hello world");
  EXPECT_TRUE(search("hello world", 0).empty());
  EXPECT_TRUE(search(" \t\n", 5).empty());
  EXPECT_TRUE(search("hello world", 5, {}).empty());
  SdrIndex empty;
  EXPECT_TRUE(collect_sdr(enc, empty, [](std::string_view) { return nullptr; }, nullptr, record_lookup(records),
                          "hello world", 5, std::vector<std::string>{"default"})
                  .empty());
}

TEST_F(SdrFixture, BudgetBoundsBitmapsAndCandidates) {
  std::mt19937 rng(7);
  const char* words[] = {"alpha", "beta", "gamma", "delta", "omega", "sigma", "kappa", "theta", "zeta", "iota"};
  for (int i = 0; i < 700; ++i) {
    std::string t;
    for (int w = 0; w < 12; ++w) t += std::string(words[rng() % 10]) + std::to_string(rng() % 50) + " ";
    store("r" + std::to_string(i), t);
  }
  const std::string query = "alpha1 beta2 gamma3 delta4 omega5 sigma6 kappa7 theta8 zeta9 iota10 alpha11 beta12";
  struct Case {
    size_t top_k, budget, bitmaps, candidates;
  };
  for (Case c : {Case{5, 10, 128, 100}, Case{10, 20, 256, 200}, Case{30, 60, 512, 500}}) {
    std::vector<SdrSearchPass> trace;
    RankedList hits = search(query, c.top_k, {"default"}, &trace);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace[0].budget, c.budget);
    EXPECT_EQ(trace[0].bitmaps, c.bitmaps);
    EXPECT_EQ(trace[0].candidates, c.candidates);
    EXPECT_EQ(hits.size(), c.top_k);
  }
}

TEST_F(SdrFixture, InvisibleRecordsAreNeverReturnedAndTheSearchWidensPastThem) {
  const std::string text = "meeting notes about the launch plan";
  for (int i = 0; i < 40; ++i) {
    store("hidden" + std::to_string(i), text, "default", Level::Working, {{"acl_visibility", "restricted"}});
    store("odd" + std::to_string(i), text, "default", Level::Working, {{"acl_visibility", "secret"}});
    store("other" + std::to_string(i), text, "work");
  }
  store("visible", "meeting notes about the launch plans");
  std::vector<SdrSearchPass> trace;
  RankedList hits = search(text, 1, {"default"}, &trace);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].first, "visible");
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace[0].budget, 2u);
  EXPECT_EQ(trace[1].budget, 8u);
  for (const auto& [id, s] : search(text, 200, {"default"})) EXPECT_EQ(id, "visible");
  EXPECT_EQ(search(text, 200, {"work"}).size(), 40u);
}

TEST_F(SdrFixture, RemovedIdsAreGoneAndReinsertGetsANewNumber) {
  store("a", "remember the milk");
  store("b", "remember the bread");
  const uint32_t old = *index.doc_of("a");
  index.remove("a");
  index.remove("never-indexed");
  EXPECT_FALSE(has(search("remember the milk", 5), "a"));
  for (const auto& [pos, docs] : index.contents().bitmaps)
    EXPECT_EQ(std::count(docs.begin(), docs.end(), old), 0) << pos;
  index.insert("a", log["a"]);
  EXPECT_GT(*index.doc_of("a"), *index.doc_of("b"));
  EXPECT_TRUE(has(search("remember the milk", 5), "a"));
  EXPECT_EQ(index.contents().next_doc_id, 3u);
}

TEST_F(SdrFixture, IdMapResolvesIndexedIds) {
  store("v1", "quarterly planning review");
  store("v2", "quarterly planning review notes");
  store("real", "something else entirely");
  id_map["v1"] = "real";
  id_map["v2"] = "real";
  RankedList hits = search("quarterly planning review", 5);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0], (std::pair<std::string, float>{"real", 1.0f}));  // scored with v1's SDR
  EXPECT_EQ(hits[1].first, "real");
  EXPECT_LT(hits[1].second, 1.0f);
}

TEST_F(SdrFixture, CoreRangeRecordsMatchOnlyThroughLowPositions) {
  store("core", "my name is Ada Lovelace", "default", Level::Identity);
  for (uint16_t p : *log["core"]) ASSERT_LT(p, 4096);
  RankedList hits = search("my name is Ada Lovelace", 5);
  for (const auto& [id, s] : hits) EXPECT_LT(s, 0.5f);
}

// The pending buffers and the bitmaps together must hold exactly the
// postings a plain set model holds, across flushes, key changes (document
// numbers past 65,535), removals and re-inserts.
TEST(SdrIndexPostings, MatchAPlainModel) {
  SdrIndex index;
  std::map<uint16_t, std::set<uint32_t>> model;
  std::map<std::string, Sdr> sdrs;
  std::mt19937 rng(11);
  auto post = [&](const std::string& id, Sdr s) {
    index.insert(id, std::make_shared<const Sdr>(s));
    uint32_t d = *index.doc_of(id);
    for (uint16_t p : s) model[p].insert(d);
    auto& all = sdrs[id];
    Sdr u;
    std::set_union(all.begin(), all.end(), s.begin(), s.end(), std::back_inserter(u));
    all = u;
  };
  for (int i = 0; i < 70000; ++i) {
    std::set<uint16_t> ps;
    for (int k = 0; k < 3; ++k) ps.insert(static_cast<uint16_t>(rng() % 40));
    post("d" + std::to_string(i), Sdr(ps.begin(), ps.end()));
    if (i % 97 == 0) {  // remove one of the recent ones, still pending
      std::string id = "d" + std::to_string(i - (i % 5));
      if (auto d = index.doc_of(id)) {
        for (uint16_t p : sdrs[id]) model[p].erase(*d);
        sdrs.erase(id);
        index.remove(id);
      }
    }
    if (i % 1001 == 0) post("d" + std::to_string(i / 2), Sdr{41, 42});  // re-insert with new positions
  }
  auto c = index.contents();
  for (const auto& [p, docs] : model) {
    std::vector<uint32_t> want(docs.begin(), docs.end());
    EXPECT_EQ(c.bitmaps[p], want) << p;
  }
}

}  // namespace
}  // namespace vesk
