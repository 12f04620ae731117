#include "index/ngram_index.h"

#include <gtest/gtest.h>
#include <xxhash.h>

#include <map>
#include <random>
#include <set>
#include <unordered_map>

#include "index/signature_buckets.h"

namespace vesk {
namespace {

class NgramFixture : public ::testing::Test {
 protected:
  void add(const std::string& id, const std::string& text, std::string ns = "default", StringMap metadata = {}) {
    Record r;
    r.id = id;
    r.content = text;
    r.namespace_ = std::move(ns);
    r.metadata = std::move(metadata);
    records[id] = r;
    index.insert(id, text);
  }
  RankedList collect(std::string_view q, size_t top_k, std::vector<std::string> ns = {"default"},
                     std::vector<size_t>* limits = nullptr) {
    return collect_ngram(index, record_lookup(records), q, top_k, ns, limits);
  }
  NgramIndex index;
  std::unordered_map<std::string, Record> records;
};

TEST_F(NgramFixture, NormalisedTextsMatchExactly) {
  add("a", "Hello, World!");
  add("b", "quarterly revenue report for the board");
  for (std::string_view q : {"hello world", "  HELLO   world ", "Hello, World!"}) {
    RankedList hits = collect(q, 5);
    ASSERT_EQ(hits.size(), 1u) << q;
    EXPECT_EQ(hits[0], (std::pair<std::string, float>{"a", 1.0f}));
  }
  EXPECT_TRUE(collect("!!! ...", 5).empty());
  EXPECT_TRUE(collect("hello world", 0).empty());
  EXPECT_TRUE(collect("hello world", 5, {}).empty());
  add("p", " ,;; ");
  EXPECT_EQ(index.size(), 2u);  // no shingles, not indexed
}

TEST_F(NgramFixture, ScoresAreMultiplesOfOneOver128AndTiesGoByTextHash) {
  add("x1", "the meeting moved to thursday afternoon");
  add("x2", "the meeting moved to thursday morning");
  add("y", "the meeting moved to thursday afternoon");
  add("z", "the meeting moved to thursday afternoon");
  RankedList hits = index.query("the meeting moved to thursday afternoon", 10);
  ASSERT_EQ(hits.size(), 4u);
  for (const auto& [id, s] : hits) EXPECT_EQ(s * 128.0f, std::floor(s * 128.0f)) << id;
  // Three equal texts at 1.0: equal hashes, so by id.
  EXPECT_EQ(hits[0].first, "x1");
  EXPECT_EQ(hits[1].first, "y");
  EXPECT_EQ(hits[2].first, "z");
  EXPECT_EQ(hits[3].first, "x2");
  EXPECT_LT(hits[3].second, 1.0f);
  // Equal scores, different texts: by the hash of the indexed text.
  NgramIndex two;
  two.insert("b", "abc");
  two.insert("a", "ABC!");  // same shingles, another text hash
  RankedList t = two.query("abc", 5);
  ASSERT_EQ(t.size(), 2u);
  const bool b_first = XXH3_64bits("abc", 3) < XXH3_64bits("ABC!", 4);
  EXPECT_EQ(t[0].first, b_first ? "b" : "a");
}

TEST_F(NgramFixture, RemoveAndReplace) {
  add("a", "pick up the dry cleaning");
  add("b", "pick up the dry cleaning today");
  index.remove("a");
  index.remove("unknown");
  for (const auto& [id, s] : collect("pick up the dry cleaning", 10)) EXPECT_NE(id, "a");
  // Re-inserting replaces the old signature: queries see exactly what a
  // fresh index with the new text sees.
  index.insert("b", "water the plants");
  NgramIndex fresh;
  fresh.insert("b", "water the plants");
  for (std::string_view q : {"pick up the dry cleaning today", "water the plants", "the plan"})
    EXPECT_EQ(collect(q, 10), collect_ngram(fresh, record_lookup(records), q, 10, std::vector<std::string>{"default"})) << q;
}

TEST_F(NgramFixture, InvisibleHitsAreSkippedAndTheLimitWidens) {
  const std::string text = "standup notes for the platform team";
  for (int i = 0; i < 1300; ++i) add("o" + std::to_string(i), text, "other");
  add("restricted", text, "default", {{"acl_visibility", "restricted"}});
  index.insert("ghost", text);  // indexed, but not in the records map
  std::vector<size_t> limits;
  EXPECT_TRUE(collect(text, 5, {"default"}, &limits).empty());
  EXPECT_EQ(limits, (std::vector<size_t>{20, 80, 320, 1280}));
  add("v", "standup notes for the platform team!");
  limits.clear();
  RankedList hits = collect(text, 5, {"default"}, &limits);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].first, "v");
  limits.clear();
  EXPECT_EQ(collect(text, 5, {"other"}, &limits).size(), 5u);
  EXPECT_EQ(limits, std::vector<size_t>{20});
}

// A small limit must give the head of the full ranking, ties included.
TEST(NgramQuery, LimitIsTheHeadOfTheFullRanking) {
  NgramIndex index;
  std::mt19937 rng(9);
  const char* words[] = {"alpha", "beta", "gamma", "delta", "echo", "fox"};
  for (int i = 0; i < 500; ++i) {
    std::string t;
    for (int w = 0; w < 4; ++w) t += std::string(words[rng() % 6]) + " ";
    index.insert("n" + std::to_string(i), t);
  }
  const RankedList full = index.query("alpha beta gamma delta", 100000);
  ASSERT_GT(full.size(), 300u);
  for (size_t k : {1, 7, 20, 150}) EXPECT_EQ(index.query("alpha beta gamma delta", k), RankedList(full.begin(), full.begin() + k)) << k;
  for (size_t i = 1; i < full.size(); ++i) {
    const auto& a = full[i - 1];
    const auto& b = full[i];
    EXPECT_TRUE(ngram_hit_order(a.second, index.content_hash(a.first), a.first, b.second, index.content_hash(b.first), b.first)) << i;
  }
}

// The novelty check's shortcut must agree with the first hit of a full
// query at every floor: stores of random texts and of near copies, with
// queries far from everything, near a stored text, and equal to one.
TEST(NgramQuery, AnyAtLeastAgreesWithTheFirstHit) {
  std::mt19937 rng(31);
  std::vector<std::string> vocab;
  for (int i = 0; i < 3000; ++i) {
    std::string w;
    for (int k = 0, n = 3 + static_cast<int>(rng() % 6); k < n; ++k) w += static_cast<char>('a' + rng() % 26);
    vocab.push_back(w);
  }
  auto text = [&](int words) {
    std::string t;
    for (int w = 0; w < words; ++w) t += vocab[rng() % vocab.size()] + " ";
    return t;
  };
  NgramIndex index;
  std::vector<std::string> stored;
  for (int i = 0; i < 4000; ++i) {
    std::string t = i % 10 == 0 && !stored.empty() ? stored[rng() % stored.size()] + text(2) : text(4 + static_cast<int>(rng() % 25));
    index.insert("t" + std::to_string(i), t);
    stored.push_back(std::move(t));
  }
  for (int i = 0; i < 300; ++i) {
    std::string q;
    switch (i % 3) {
      case 0: q = text(20); break;
      case 1: q = stored[rng() % stored.size()] + text(1 + static_cast<int>(rng() % 6)); break;
      default: q = stored[rng() % stored.size()];
    }
    const RankedList head = index.query(q, 1);
    for (float floor : {0.2f, 0.01f, 0.5f, 1.0f}) {
      EXPECT_EQ(index.any_at_least(q, floor), !head.empty() && head[0].second >= floor) << i << " floor " << floor;
    }
  }
  EXPECT_FALSE(index.any_at_least("!!!", 0.2f));
  EXPECT_FALSE(NgramIndex().any_at_least("hello", 0.2f));
}

// The flat buckets must agree with a plain multimap through adds, shared
// values, removals and the table's growth.
TEST(SignatureBuckets, MatchAPlainModel) {
  SignatureBuckets b;
  std::map<uint32_t, std::multiset<uint32_t>> model;
  std::mt19937 rng(5);
  for (int step = 0; step < 60000; ++step) {
    const uint32_t v = rng() % 3000 * 7919 % 2147483647, d = rng() % 400;
    if (rng() % 3) {
      b.add(v, d);
      model[v].insert(d);
    } else {
      b.remove(v, d);
      if (auto it = model.find(v); it != model.end()) {
        it->second.erase(d);
        if (it->second.empty()) model.erase(it);
      }
    }
  }
  size_t values = 0;
  for (uint32_t v = 0; v < 3000; ++v) {
    const uint32_t value = v * 7919 % 2147483647;
    std::multiset<uint32_t> got;
    b.for_each(value, [&](uint32_t d) { got.insert(d); });
    auto it = model.find(value);
    EXPECT_EQ(got, it == model.end() ? std::multiset<uint32_t>{} : it->second) << value;
    values += !got.empty();
  }
  EXPECT_EQ(b.values(), values);
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// Bulk insertion answers every query as one insert() per entry would: later
// entries for an id replace earlier ones, texts without shingles stay out,
// and ids indexed before the call are replaced too.
TEST(NgramBulkInsert, MatchesInsertingOneByOne) {
  std::mt19937 rng(3);
  const char* words[] = {"alpha", "beta", "gamma", "delta", "omega", "sigma", "kappa", "rho"};
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 600; ++i) {
    std::string text;
    for (int w = 0; w < 6; ++w) text += std::string(words[rng() % 8]) + " ";
    entries.emplace_back("id" + std::to_string(rng() % 400), i % 50 == 0 ? "  !! " : text);
  }
  NgramIndex one_by_one, bulk;
  for (NgramIndex* idx : {&one_by_one, &bulk}) {
    idx->insert("id1", "kept from before the call unless replaced");
    idx->insert("old", "kept from before the call");
  }
  for (const auto& [id, text] : entries) one_by_one.insert(id, text);
  std::vector<NgramIndex::Entry> views;
  for (const auto& [id, text] : entries) views.push_back({id, text});
  bulk.insert_all(views);

  ASSERT_EQ(bulk.size(), one_by_one.size());
  for (const auto& [id, text] : entries) EXPECT_EQ(bulk.content_hash(id), one_by_one.content_hash(id)) << id;
  std::vector<std::string> queries = {"kept from before the call", "alpha beta gamma", "omega sigma kappa rho"};
  for (int i = 0; i < 20; ++i) queries.push_back(entries[rng() % entries.size()].second);
  for (const std::string& q : queries) EXPECT_EQ(bulk.query(q, 1000), one_by_one.query(q, 1000)) << q;
}

}  // namespace
}  // namespace vesk
