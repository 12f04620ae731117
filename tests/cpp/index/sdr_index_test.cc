#include "index/sdr_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>
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
    // The record log hands out its SDRs packed.
    std::unordered_map<std::string, PackedSdrBuffer> packed;
    for (const auto& [id, sdr] : log) packed.emplace(id, PackedSdrBuffer(*sdr));
    SdrLookup sdrs = [&packed](std::string_view id) -> const PackedSdr* {
      auto it = packed.find(std::string(id));
      return it == packed.end() ? nullptr : &it->second.get();
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

// The search as its rules read, done the plain way on the index's contents:
// a counter per document, a full sort of the counted documents, the stored
// SDRs compared by merging. The fast search must give the same hits, scores
// and order, and use the same bitmaps and candidates in each pass.
struct ReferenceSearch {
  const SdrIndex::Contents c;  // the index, unchanged while the searches run
  const std::unordered_map<std::string, SharedSdr>& log;
  const std::unordered_map<std::string, std::string>& id_map;
  const std::unordered_map<std::string, Record>& records;
  struct Hit {
    std::string id;
    float score;
  };

  RankedList run(std::string_view query, size_t top_k, const std::vector<std::string>& ns,
                 std::vector<SdrSearchPass>& trace) const {
    if (top_k == 0 || ns.empty()) return {};
    const Sdr q = encode_sdr(SdrEncoder{}, query, SdrRange::General, SdrCase::Fold);
    if (q.empty()) return {};
    std::vector<Hit> hits;
    for (size_t budget = 2 * top_k;;) {
      SdrSearchPass info;
      info.budget = budget;
      hits = pass(q, budget, ns, info);
      trace.push_back(info);
      if (info.resolved >= budget && budget < top_k * 256) {
        budget *= 4;
        if (hits.size() < top_k) continue;
      }
      break;
    }
    auto hash = [&](const std::string& id) { return content_hash(records.at(id).content); };
    std::stable_sort(hits.begin(), hits.end(), [&](const Hit& a, const Hit& b) {
      if (a.score != b.score) return a.score > b.score;
      if (hash(a.id) != hash(b.id)) return hash(a.id) < hash(b.id);
      return a.id < b.id;
    });
    RankedList out;
    for (size_t i = 0; i < hits.size() && i < top_k; ++i) out.emplace_back(hits[i].id, hits[i].score);
    return out;
  }

  std::vector<Hit> pass(const Sdr& q, size_t budget, const std::vector<std::string>& ns,
                        SdrSearchPass& info) const {
    std::vector<std::pair<uint64_t, uint16_t>> kept;  // (cardinality, position) in query order
    for (uint16_t p : q)
      if (auto it = c.bitmaps.find(p); it != c.bitmaps.end()) kept.emplace_back(it->second.size(), p);
    if (kept.empty()) return {};
    const size_t limit = budget <= 10 ? 128 : budget <= 50 ? 256 : 512;
    if (kept.size() > limit) {
      // The index's own choice among equally rare bitmaps at the limit.
      std::nth_element(kept.begin(), kept.begin() + static_cast<ptrdiff_t>(limit), kept.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      kept.resize(limit);
    }
    info.bitmaps = kept.size();
    std::vector<uint32_t> counts(size_t{c.next_doc_id} + 1);
    for (const auto& [card, p] : kept)
      for (uint32_t d : c.bitmaps.at(p))
        if (d <= c.next_doc_id) ++counts[d];
    std::vector<std::pair<uint32_t, uint32_t>> ranked;  // (count, document)
    for (uint32_t d = 0; d <= c.next_doc_id; ++d)
      if (counts[d]) ranked.emplace_back(counts[d], d);
    if (ranked.empty()) return {};
    std::sort(ranked.begin(), ranked.end(),
              [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
    ranked.resize(std::min({10 * budget, ranked.size(), size_t{500}}));
    info.candidates = ranked.size();
    std::vector<Hit> hits;
    for (const auto& [count, d] : ranked) {
      auto r = c.reverse.find(d);
      if (r == c.reverse.end()) continue;
      ++info.resolved;
      const std::string& x = r->second;
      auto m = id_map.find(x);
      const std::string& resolved = m == id_map.end() ? x : m->second;
      auto rec = records.find(resolved);
      if (rec == records.end() || !record_visible(rec->second, ns)) continue;
      auto stored = log.find(x);
      if (stored == log.end() || stored->second->empty()) continue;
      const float cf = static_cast<float>(sdr_overlap(q, *stored->second));
      const float score = cf / (static_cast<float>(q.size()) + static_cast<float>(stored->second->size()) - cf);
      if (score > 0.0f) hits.push_back(Hit{resolved, score});
    }
    info.hits = hits.size();
    return hits;
  }
};

// A store of 70,000 documents whose SDRs are drawn from the queries' own
// positions with a skew, so that posting lists range from a handful of
// documents to bitset chunks, across two chunk keys; with records in
// other namespaces or restricted, ids the id map redirects, indexed ids
// without a record, log SDRs that are missing, empty or differ from the
// postings, removals and re-inserts.
TEST(SdrSearch, MatchesThePlainSearch) {
  const std::vector<std::string> queries = {"quarterly planning review of the launch", "zebra", "ab",
                                            "notes about memory and recall in agents", "1234 5678"};
  std::set<uint16_t> pool_set;
  for (const auto& q : queries)
    for (uint16_t p : encode_sdr(SdrEncoder{}, q, SdrRange::General, SdrCase::Fold)) pool_set.insert(p);
  std::mt19937 rng(23);
  while (pool_set.size() < 1200) pool_set.insert(static_cast<uint16_t>(rng()));
  std::vector<uint16_t> pool(pool_set.begin(), pool_set.end());
  std::shuffle(pool.begin(), pool.end(), rng);

  SdrIndex index;
  std::unordered_map<std::string, SharedSdr> log;
  std::unordered_map<std::string, std::string> id_map;
  std::unordered_map<std::string, Record> records;
  auto random_sdr = [&] {
    std::set<uint16_t> s;
    for (size_t n = 1 + rng() % 40; s.size() < n;) {
      const size_t a = rng() % pool.size(), b = rng() % pool.size();
      s.insert(pool[a * b / pool.size()]);  // skewed to the front of the pool
    }
    return std::make_shared<const Sdr>(s.begin(), s.end());
  };
  const int n = 70000;
  for (int i = 0; i < n; ++i) {
    const std::string id = "r" + std::to_string(i);
    SharedSdr sdr = random_sdr();
    index.insert(id, sdr);
    const int kind = static_cast<int>(rng() % 100);
    if (kind < 3) continue;  // indexed, no record, no log entry
    Record r;
    r.id = id;
    r.content = "content " + std::to_string(rng() % 5000);  // repeated contents tie on their hash
    r.namespace_ = kind < 20 ? "other" : "default";
    if (kind >= 20 && kind < 24) r.metadata["acl_visibility"] = "restricted";
    records[id] = r;
    log[id] = kind == 30 ? std::make_shared<const Sdr>() : kind == 31 ? random_sdr() : sdr;
    if (kind == 32) log.erase(id);
    if (kind == 33) id_map[id] = "r" + std::to_string(rng() % (i + 1));
    if (kind == 34 && i > 10) index.remove("r" + std::to_string(i - 10));
    if (kind == 35) index.insert("r" + std::to_string(rng() % (i + 1)), random_sdr());
  }
  ReferenceSearch ref{index.contents(), log, id_map, records};
  std::unordered_map<std::string, PackedSdrBuffer> packed;
  for (const auto& [id, sdr] : log) packed.emplace(id, PackedSdrBuffer(*sdr));
  SdrLookup sdrs = [&](std::string_view id) -> const PackedSdr* {
    auto it = packed.find(std::string(id));
    return it == packed.end() ? nullptr : &it->second.get();
  };
  IdMapLookup ids = [&](std::string_view k) -> const std::string* {
    auto it = id_map.find(std::string(k));
    return it == id_map.end() ? nullptr : &it->second;
  };
  const std::vector<std::vector<std::string>> scopes = {{"default"}, {"other"}, {"default", "other"}, {"nobody"}};
  size_t widened = 0;
  for (const auto& q : queries)
    for (size_t top_k : {1, 4, 10, 20, 60})
      for (const auto& ns : scopes) {
        if (ns[0] == "nobody" && top_k > 4) continue;  // widens to the end: slow for the plain search
        std::vector<SdrSearchPass> want_trace, got_trace;
        const RankedList want = ref.run(q, top_k, ns, want_trace);
        const RankedList got = collect_sdr(SdrEncoder{}, index, sdrs, ids, record_lookup(records), q, top_k, ns, &got_trace);
        const std::string where = q + " / " + std::to_string(top_k) + " / " + ns[0];
        ASSERT_EQ(got.size(), want.size()) << where;
        for (size_t i = 0; i < got.size(); ++i) {
          EXPECT_EQ(got[i].first, want[i].first) << where << " #" << i;
          EXPECT_EQ(std::bit_cast<uint32_t>(got[i].second), std::bit_cast<uint32_t>(want[i].second)) << where << " #" << i;
        }
        ASSERT_EQ(got_trace.size(), want_trace.size()) << where;
        for (size_t i = 0; i < got_trace.size(); ++i) {
          EXPECT_EQ(got_trace[i].budget, want_trace[i].budget) << where;
          EXPECT_EQ(got_trace[i].bitmaps, want_trace[i].bitmaps) << where;
          EXPECT_EQ(got_trace[i].candidates, want_trace[i].candidates) << where;
          EXPECT_EQ(got_trace[i].resolved, want_trace[i].resolved) << where;
          EXPECT_EQ(got_trace[i].hits, want_trace[i].hits) << where;
        }
        widened += got_trace.size() > 1;
      }
  EXPECT_GT(widened, 5u);
}

// The pending buffers and the bitmaps together must hold exactly the
// postings a plain set model holds, across flushes, queued new documents,
// key changes (document numbers past 65,535), removals and re-inserts.
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
    if (i % 4099 == 0) {  // a reader in between sees every insert so far, queued ones included
      EXPECT_EQ(index.postings(5), std::vector<uint32_t>(model[5].begin(), model[5].end())) << i;
    }
  }
  auto c = index.contents();
  for (const auto& [p, docs] : model) {
    std::vector<uint32_t> want(docs.begin(), docs.end());
    EXPECT_EQ(c.bitmaps[p], want) << p;
  }
}

// New documents are posted by the index's own thread while inserts go on. A
// reader running meanwhile sees every insert that returned before it read,
// in ascending order, and the end state matches the model; closing the
// index with a batch in flight is clean.
TEST(SdrIndexPostings, ReadersSeeEveryReturnedInsertWhileBatchesArePosted) {
  constexpr uint32_t kDocs = 20000;
  std::vector<Sdr> sdrs(kDocs);
  std::mt19937 rng(5);
  for (Sdr& s : sdrs) {
    std::set<uint16_t> ps{7};
    while (ps.size() < 60) ps.insert(static_cast<uint16_t>(rng() % 3000));
    s.assign(ps.begin(), ps.end());
  }
  std::map<uint16_t, std::vector<uint32_t>> model;
  for (uint32_t d = 0; d < kDocs; ++d)
    for (uint16_t p : sdrs[d]) model[p].push_back(d);
  auto index = std::make_unique<SdrIndex>();
  std::atomic<uint32_t> returned{0};
  std::thread reader([&] {
    uint32_t checks = 0;
    while (returned.load() < kDocs) {
      const uint32_t before = returned.load();
      const uint16_t p = static_cast<uint16_t>(checks++ % 2 ? 7 : 1 + checks % 2999);
      const std::vector<uint32_t> got = index->postings(p);
      const std::vector<uint32_t>& all = model[p];
      const auto upto = std::lower_bound(all.begin(), all.end(), before);
      ASSERT_GE(got.size(), static_cast<size_t>(upto - all.begin())) << p;
      ASSERT_TRUE(std::equal(all.begin(), upto, got.begin())) << p;
      ASSERT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << p;
    }
  });
  for (uint32_t d = 0; d < kDocs; ++d) {
    index->insert("d" + std::to_string(d), std::make_shared<const Sdr>(sdrs[d]));
    returned.store(d + 1);
  }
  reader.join();
  auto c = index->contents();
  for (const auto& [p, docs] : model) EXPECT_EQ(c.bitmaps[p], docs) << p;
  for (uint32_t d = 0; d < 3 * SdrIndex::kPostBatch + 5; ++d)
    index->insert("e" + std::to_string(d), std::make_shared<const Sdr>(sdrs[d]));
  index.reset();
}

}  // namespace
}  // namespace vesk
