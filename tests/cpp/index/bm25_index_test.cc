#include "index/bm25_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <unordered_map>

#include "index/term_tokenizer.h"

namespace vesk {
namespace {

using Terms = std::vector<std::string>;

TEST(TermTokenizer, Cases) {
  const std::pair<std::string_view, Terms> cases[] = {
      {"Paris PARIS paris", {"paris", "paris", "paris"}},
      {"foo_bar foo-bar", {"foo_bar", "foo", "bar"}},
      {"don't", {"don", "t"}},
      {"café 2024 v1.2", {"café", "2024", "v1", "2"}},
      {"ΟΔΟΣ ΣΑΣ", {"οδος", "σας"}},  // final sigma within each term
      {"Ⅻ½ x²", {"ⅻ½", "x²"}},        // Nl and No are numeric
      {"  ...--!! ", {}},
      {"İstanbul", {"i̇stanbul"}},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(tokenize_terms(text), want) << text;
}

// The views of one scratch reused text after text (ASCII or not, longer or
// shorter than the last) are the terms tokenize_terms gives.
TEST(TermTokenizer, ViewsAreTheTerms) {
  const std::vector<std::string> pieces = {"a", "Q", "7", "_", " ", "-", "'", ".", "é", "Σ", "ς", "½", "İ", "中", "😀"};
  std::mt19937 rng(12);
  TermViews views;
  for (int t = 0; t < 2000; ++t) {
    std::string text;
    const bool ascii = t % 2 == 0;
    for (int k = 0, n = static_cast<int>(rng() % 80); k < n; ++k) text += pieces[rng() % (ascii ? 8 : pieces.size())];
    tokenize_term_views(text, views);
    EXPECT_EQ(Terms(views.terms.begin(), views.terms.end()), tokenize_terms(text)) << text;
  }
}

class Bm25Fixture : public ::testing::Test {
 protected:
  void add(const std::string& id, const std::string& content, const std::string& ns = "default") {
    Record r;
    r.id = id;
    r.content = content;
    r.namespace_ = ns;
    records[id] = r;
    index.insert(id, content, ns);
  }
  RankedList search(std::string_view q, size_t top_k = 10, std::vector<std::string> ns = {"default"}) {
    return collect_bm25(index, record_lookup(records), q, top_k, ns);
  }
  static float score_of(const RankedList& l, const std::string& id) {
    for (const auto& [i, s] : l)
      if (i == id) return s;
    return NAN;
  }
  Bm25Index index;
  std::unordered_map<std::string, Record> records;
};

// The formula in 32-bit floats, for one term.
float bm25(float tf, float dl, float avgdl, float n, float df) {
  const float idf = std::log((n - df + 0.5f) / (df + 0.5f) + 1.0f);
  return (tf * 2.2f) / (((dl / avgdl) * 0.75f + 0.25f) * 1.2f + tf) * idf;
}

TEST_F(Bm25Fixture, ScoresUseTheListedNamespacesStatistics) {
  add("a", "apple banana apple");
  add("b", "banana cherry");
  add("c", "apple apple apple apple apple apple", "other");
  RankedList hits = search("apple");
  ASSERT_EQ(hits.size(), 1u);
  // N = 2 and avgdl = 2.5 over "default" only; df(apple) = 1.
  EXPECT_EQ(hits[0].second, bm25(2, 3, 2.5f, 2, 1));
  RankedList both = search("apple", 10, {"default", "other"});
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(score_of(both, "a"), bm25(2, 3, 11.0f / 3, 3, 2));
  EXPECT_EQ(search("apple", 10, {"default", "default"}), hits);  // a repeated namespace counts once
  // Two terms add up in ascending term order.
  const float want = bm25(1, 3, 2.5f, 2, 2) + bm25(2, 3, 2.5f, 2, 1);
  EXPECT_EQ(score_of(search("banana apple"), "a"), want);
  EXPECT_EQ(search("apple apple APPLE banana"), search("apple banana"));
  // A term in every document still has a positive idf.
  EXPECT_GT(score_of(search("banana"), "b"), 0.0f);
  // Shorter documents score higher for the same tf.
  RankedList ban = search("banana");
  EXPECT_EQ(ban[0].first, "b");
}

TEST_F(Bm25Fixture, EmptyCases) {
  EXPECT_TRUE(search("apple").empty());
  add("a", "apple");
  EXPECT_TRUE(search("apple", 0).empty());
  EXPECT_TRUE(search("... --").empty());
  EXPECT_TRUE(search("apple", 10, {}).empty());
  EXPECT_TRUE(search("apple", 10, {"nowhere"}).empty());
  add("p", "?!");
  EXPECT_EQ(index.size(), 1u);
  EXPECT_EQ(index.namespace_document_count("default"), 1u);
}

TEST_F(Bm25Fixture, MissingRecordsCountButAreNotReturned) {
  add("a", "solar panel output");
  add("b", "solar panel maintenance");
  index.insert("ghost", "solar power", "default");  // indexed, not in the records map
  RankedList hits = search("solar");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(score_of(hits, "a"), bm25(1, 3, 8.0f / 3, 3, 3));
  // A record whose live namespace is not listed is not scored either.
  records["b"].namespace_ = "moved";
  hits = search("solar");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].first, "a");
}

TEST_F(Bm25Fixture, ReinsertLeavesNoTrace) {
  add("a", "old words here");
  add("b", "other text");
  add("a", "fresh content", "work");
  Bm25Index fresh;
  fresh.insert("b", "other text", "default");
  fresh.insert("a", "fresh content", "work");
  for (const char* ns : {"default", "work"}) {
    EXPECT_EQ(index.namespace_document_count(ns), fresh.namespace_document_count(ns)) << ns;
    EXPECT_EQ(index.namespace_total_length(ns), fresh.namespace_total_length(ns)) << ns;
  }
  for (const char* t : {"old", "words", "fresh", "other"}) EXPECT_EQ(index.posting_count(t), fresh.posting_count(t)) << t;
  index.remove("a");
  index.remove("a");
  EXPECT_EQ(index.namespace_document_count("work"), 0u);
  EXPECT_EQ(index.posting_count("fresh"), 0u);
}

TEST_F(Bm25Fixture, TiesGoByContentHashThenId) {
  add("b", "same words");
  add("a", "same words");
  add("c", "words same");
  RankedList hits = search("same");
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0].second, hits[2].second);
  const bool same_first = content_hash("same words") < content_hash("words same");
  EXPECT_EQ(hits[same_first ? 0 : 1].first, "a");
  EXPECT_EQ(hits[same_first ? 1 : 2].first, "b");
  EXPECT_EQ(hits[same_first ? 2 : 0].first, "c");
  EXPECT_EQ(search("same", 1).size(), 1u);
  auto built = bm25_index_from_records(records);
  EXPECT_EQ(collect_bm25(built, record_lookup(records), "same", 10, std::vector<std::string>{"default"}), hits);
}

// Small top_k looks up only the best candidates; the result must still be
// the head of the full ranking, with ties and unlisted records around.
TEST_F(Bm25Fixture, TopKIsTheHeadOfTheFullRanking) {
  std::mt19937 rng(3);
  const char* words[] = {"red", "green", "blue", "fast", "slow", "cat", "dog", "sun"};
  for (int i = 0; i < 400; ++i) {
    std::string text;
    for (int w = 0, n = 1 + static_cast<int>(rng() % 6); w < n; ++w) text += std::string(words[rng() % 8]) + " ";
    add("r" + std::to_string(i), i % 7 == 0 ? "red cat" : text, i % 3 == 0 ? "other" : "default");
    if (i % 5 == 0) records.erase("r" + std::to_string(i));
  }
  const RankedList full = search("red cat sun", 1000);
  ASSERT_GT(full.size(), 100u);
  for (size_t k : {1, 3, 10, 40, 150}) EXPECT_EQ(search("red cat sun", k), RankedList(full.begin(), full.begin() + k)) << k;
}

// Batches of new ids are filed in parallel: the state must be exactly what
// one insert per entry leaves (document and term numbers, posting order,
// free numbers reused), on an index that already holds terms and has freed
// some, with entries without terms and a batch that names an indexed id.
TEST(Bm25BulkInsert, ParallelFilingLeavesTheSequentialState) {
  std::mt19937 rng(4);
  auto text = [&rng] {
    std::string t;
    for (int k = 0, n = static_cast<int>(rng() % 40); k < n; ++k) t += "t" + std::to_string(rng() % (k % 3 ? 50 : 30000)) + " ";
    return t;
  };
  Bm25Index one_by_one, bulk;
  for (Bm25Index* index : {&one_by_one, &bulk}) {
    std::mt19937 same(9);
    for (int i = 0; i < 3000; ++i) index->insert("old" + std::to_string(i), "t" + std::to_string(same() % 20000) + " t1", "work");
    for (int i = 0; i < 3000; i += 3) index->remove("old" + std::to_string(i));
  }
  std::vector<std::string> ids, texts, spaces;
  for (int i = 0; i < 30000; ++i) {
    ids.push_back(i == 25000 ? "old1" : "new" + std::to_string(i));  // the last batch names an indexed id
    texts.push_back(i % 101 == 0 ? "?!" : text());
    spaces.push_back(i % 7 ? "default" : i % 2 ? "work" : "personal");
  }
  std::vector<Bm25Index::Entry> entries;
  for (size_t i = 0; i < ids.size(); ++i) {
    one_by_one.insert(ids[i], texts[i], spaces[i]);
    entries.push_back({ids[i], texts[i], spaces[i]});
  }
  bulk.insert_all(entries);
  EXPECT_TRUE(bulk.contents() == one_by_one.contents());
  EXPECT_EQ(bulk.contents().free_terms, one_by_one.contents().free_terms);
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// Bulk insertion leaves the index one insert() per entry would: later entries
// for an id replace earlier ones across batch boundaries, and entries without
// terms stay out.
TEST(Bm25BulkInsert, MatchesInsertingOneByOne) {
  std::vector<std::string> ids, texts, spaces;
  for (int i = 0; i < 20000; ++i) {
    ids.push_back("id" + std::to_string(i % 9000));
    texts.push_back(i % 97 == 0 ? "-- !" : "word" + std::to_string(i % 31) + " shared w" + std::to_string(i));
    spaces.push_back(i % 3 ? "default" : "work");
  }
  Bm25Index one_by_one, bulk;
  std::vector<Bm25Index::Entry> entries;
  for (size_t i = 0; i < ids.size(); ++i) {
    one_by_one.insert(ids[i], texts[i], spaces[i]);
    entries.push_back({ids[i], texts[i], spaces[i]});
  }
  bulk.insert_all(entries);
  EXPECT_EQ(bulk.size(), one_by_one.size());
  for (const char* ns : {"default", "work"}) {
    EXPECT_EQ(bulk.namespace_document_count(ns), one_by_one.namespace_document_count(ns));
    EXPECT_EQ(bulk.namespace_total_length(ns), one_by_one.namespace_total_length(ns));
  }
  for (const char* term : {"shared", "word7", "w19999", "w5"}) {
    EXPECT_EQ(bulk.posting_count(term), one_by_one.posting_count(term)) << term;
  }
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// Every record scored by the formula, ranked in the recall order: the search
// must return its head whether the query's postings cover most documents or
// few of them, with a listed and an unlisted namespace and missing records.
TEST_F(Bm25Fixture, MatchesAFullScoringModel) {
  struct Doc {
    std::string id, ns;
    Terms terms;
  };
  std::vector<Doc> docs;
  std::mt19937 rng(11);
  for (int i = 0; i < 600; ++i) {
    std::string text = "common";
    for (int w = 0, n = 2 + static_cast<int>(rng() % 8); w < n; ++w) text += " w" + std::to_string(rng() % 300);
    docs.push_back(Doc{"r" + std::to_string(i), i % 4 == 0 ? "other" : "default", tokenize_terms(text)});
    add(docs.back().id, text, docs.back().ns);
    if (i % 9 == 0) records.erase(docs.back().id);  // indexed and counted, never returned
  }
  auto model = [&](const std::string& query, size_t top_k, const std::vector<std::string>& ns) {
    Terms q = tokenize_terms(query);
    std::sort(q.begin(), q.end());
    q.erase(std::unique(q.begin(), q.end()), q.end());
    std::vector<const Doc*> listed;
    float length = 0;
    std::map<std::string, float> df;
    for (const Doc& d : docs) {
      if (std::find(ns.begin(), ns.end(), d.ns) == ns.end()) continue;
      listed.push_back(&d);
      length += static_cast<float>(d.terms.size());
      for (const std::string& t : std::set<std::string>(d.terms.begin(), d.terms.end())) df[t] += 1;
    }
    const float n = static_cast<float>(listed.size());
    std::vector<RecallHit> hits;
    for (const Doc* d : listed) {
      if (!records.count(d->id)) continue;
      float score = 0;
      bool matched = false;
      for (const std::string& t : q) {
        const float tf = static_cast<float>(std::count(d->terms.begin(), d->terms.end(), t));
        if (tf == 0) continue;
        matched = true;
        score += bm25(tf, static_cast<float>(d->terms.size()), std::max(length / n, 1.0f), n, df[t]);
      }
      if (matched) hits.push_back(RecallHit{score, content_hash(records.at(d->id).content), &d->id});
    }
    return top_hits_in_recall_order(hits, top_k);
  };
  const std::vector<std::string> queries = {"common", "common w7", "w3 w250", "w12", "w5 w5 w99 nothing"};
  for (const std::string& q : queries)
    for (const std::vector<std::string>& ns : {std::vector<std::string>{"default"}, {"default", "other"}})
      for (size_t k : {1, 5, 20, 100})
        EXPECT_EQ(search(q, k, ns), model(q, k, ns)) << q << " k=" << k << " namespaces=" << ns.size();
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// The vector path must give the scalar path's floats bit for bit, across
// lengths that leave a tail, unusual document lengths and large frequencies.
TEST(Bm25PostingWeights, VectorAndPortableAgree) {
  std::mt19937 rng(17);
  std::vector<float> doc_length(5000);
  for (float& dl : doc_length) dl = static_cast<float>(1 + rng() % 400);
  doc_length[7] = 1e30f;
  doc_length[9] = 1e-30f;
  for (size_t n : {0, 1, 7, 8, 9, 1001}) {
    std::vector<std::pair<uint32_t, uint32_t>> postings;
    for (size_t i = 0; i < n; ++i) postings.emplace_back(static_cast<uint32_t>(rng() % 5000), 1 + rng() % 40);
    if (n > 3) postings[3] = {7, 100000}, postings[2] = {9, 1};
    for (float avgdl : {1.0f, 37.5f, 3e7f}) {
      std::vector<float> scalar(n + 1, -1.0f), vector(n + 1, -1.0f);
      bm25_posting_weights(postings, doc_length.data(), avgdl, 0.37f, scalar.data(), false);
      bm25_posting_weights(postings, doc_length.data(), avgdl, 0.37f, vector.data(), true);
      ASSERT_EQ(std::memcmp(scalar.data(), vector.data(), sizeof(float) * (n + 1)), 0) << n << " " << avgdl;
    }
  }
}

}  // namespace
}  // namespace vesk
