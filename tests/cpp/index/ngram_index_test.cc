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

// The threshold question answers exactly what the best query hit says, for
// every bound, on texts whose neighbours score on both sides of it.
TEST(NgramIndex, MatchBoundAgreesWithTheBestHit) {
  std::mt19937 rng(11);
  std::vector<std::string> words(200);
  for (std::string& w : words) {
    for (int i = 0; i < 4 + static_cast<int>(rng() % 4); ++i) w += static_cast<char>('a' + rng() % 26);
  }
  auto sentence = [&] {
    std::string t;
    for (int i = 0; i < 4 + static_cast<int>(rng() % 6); ++i) t += words[rng() % words.size()] + " ";
    return t;
  };
  NgramIndex index;
  for (int i = 0; i < 300; ++i) index.insert("d" + std::to_string(i), sentence());
  for (int i = 0; i < 300; i += 3) index.remove("d" + std::to_string(i));
  int near = 0, far = 0;
  for (int i = 0; i < 200; ++i) {
    const std::string q = sentence();
    RankedList best = index.query(q, 1);
    const int count = best.empty() ? 0 : static_cast<int>(best[0].second * 128.0f + 0.5f);
    (count >= 26 ? near : far)++;
    for (int bound : {1, 13, 26, 64, 128}) {
      for (size_t budget : {size_t{0}, size_t{1}, size_t{40}, NgramIndex::kCompareBudget}) {
        EXPECT_EQ(index.has_match_of_at_least(q, bound, budget), count >= bound) << q << " bound " << bound;
      }
    }
  }
  EXPECT_GT(near, 20);
  EXPECT_GT(far, 20);
  EXPECT_FALSE(NgramIndex().has_match_of_at_least("anything at all", 26));
  EXPECT_FALSE(index.has_match_of_at_least("", 1));
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

namespace vesk {
namespace {

// The query against a model that compares every indexed signature with the
// query's: a short query over a small alphabet meets most documents, a
// query over a large one few; both must give the head of the model's ranking.
TEST(NgramQuery, MatchesComparingEverySignature) {
  struct Corpus {
    std::string name;
    int alphabet;
  };
  for (const Corpus& c : {Corpus{"dense", 3}, Corpus{"sparse", 26}}) {
    NgramIndex index;
    std::map<std::string, std::string> texts;
    std::mt19937 rng(5);
    for (int i = 0; i < 400; ++i) {
      std::string t;
      for (int j = 0; j < 30; ++j) t += static_cast<char>('a' + rng() % c.alphabet);
      const std::string id = "d" + std::to_string(i);
      texts[id] = t;
      index.insert(id, t);
    }
    for (int i = 0; i < 400; i += 9) {
      index.remove("d" + std::to_string(i));
      texts.erase("d" + std::to_string(i));
    }
    for (const std::string& q : {texts.begin()->second.substr(0, 8), texts.begin()->second}) {
      CompactSignature qs;
      compact_signature(shingle_text(q), qs);
      std::vector<std::tuple<float, std::optional<uint64_t>, std::string>> model;
      for (const auto& [id, t] : texts) {
        CompactSignature s;
        compact_signature(shingle_text(t), s);
        int same = 0;
        for (int p = 0; p < kMinHashPermutations; ++p) same += s[p] == qs[p];
        if (same) model.emplace_back(static_cast<float>(same) / kMinHashPermutations, index.content_hash(id), id);
      }
      std::sort(model.begin(), model.end(), [](const auto& a, const auto& b) {
        return ngram_hit_order(std::get<0>(a), std::get<1>(a), std::get<2>(a), std::get<0>(b), std::get<1>(b),
                               std::get<2>(b));
      });
      for (size_t limit : {1, 10, 50, 1000}) {
        RankedList want;
        for (size_t i = 0; i < std::min(limit, model.size()); ++i)
          want.emplace_back(std::get<2>(model[i]), std::get<0>(model[i]));
        EXPECT_EQ(index.query(q, limit), want) << c.name << " query " << q << " limit " << limit;
      }
    }
  }
}

}  // namespace
}  // namespace vesk
