// Lexical index benchmarks: encoding, per-index insert cost, collector
// latency at 10k and 100k records, and the memory each index holds per
// record. Texts are synthetic 200-character sentences over a Zipf-distributed
// vocabulary of made-up words, so n-grams repeat as in natural text.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <unordered_map>

#include "index/bm25_index.h"
#include "index/minhash.h"
#include "index/ngram_index.h"
#include "index/sdr_encoder.h"
#include "index/sdr_index.h"
#include "index/substring_index.h"
#include "model/unicode_case.h"
#include "index/tag_index.h"

namespace vesk {
namespace {

size_t heap_bytes() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

class TextGen {
 public:
  explicit TextGen(uint64_t seed) : rng_(seed) {
    static const char* syl[] = {"ka", "ri", "to", "men", "sa", "lo", "ver", "an", "di", "ur", "pe", "tho", "ne",
                                "gra", "li", "mo", "str", "en", "ba", "qui", "el", "ta", "son", "re", "vi", "or",
                                "fa", "ch", "in", "de", "pa", "us", "co", "ly", "mi", "ge", "ho", "st", "ra", "be"};
    std::mt19937_64 wr(7);
    for (int i = 0; i < 30000; ++i) {
      std::string w;
      for (int k = 0, n = 1 + static_cast<int>(wr() % 4); k < n; ++k) w += syl[wr() % 40];
      words_.push_back(w);
    }
    double sum = 0;
    for (int i = 0; i < 30000; ++i) cdf_.push_back(sum += 1.0 / std::pow(i + 1, 1.07));
    for (double& c : cdf_) c /= sum;
  }
  std::string word() {
    double u = std::uniform_real_distribution<double>(0, 1)(rng_);
    return words_[std::lower_bound(cdf_.begin(), cdf_.end(), u) - cdf_.begin()];
  }
  std::string text(size_t len = 200) {
    std::string t;
    while (t.size() < len) {
      if (!t.empty()) t += (rng_() % 12 == 0) ? ", " : " ";
      t += (rng_() % 25 == 0) ? std::to_string(rng_() % 3000) : word();
      if (t.size() == word_len_first_) t[0] = static_cast<char>(t[0] - 32);
    }
    t.resize(len);
    t[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
    return t;
  }
  std::mt19937_64& rng() { return rng_; }

 private:
  std::mt19937_64 rng_;
  std::vector<std::string> words_;
  std::vector<double> cdf_;
  size_t word_len_first_ = 0;
};

struct Corpus {
  size_t n = 0;
  std::unordered_map<std::string, Record> records;
  std::unordered_map<std::string, PackedSdrBuffer> log;  // the record log's SDRs, packed as it keeps them
  std::vector<SharedSdr> sdrs;  // record i's SDR as a list (shared with the SDR index)
  std::unordered_map<std::string, std::string> id_map;
  SdrIndex sdr;
  NgramIndex ngram;
  Bm25Index bm25;
  TagIndex tags;
  std::vector<std::string> queries;
  std::vector<std::string> tag_queries;
};

std::string rid(size_t i) {
  char b[16];
  std::snprintf(b, sizeof b, "%012llx", static_cast<unsigned long long>(i * 2654435761u % 0xffffffffffffULL));
  return b;
}

Corpus& corpus(size_t n) {
  static std::map<size_t, std::unique_ptr<Corpus>> cache;
  auto& slot = cache[n];
  if (slot) return *slot;
  slot = std::make_unique<Corpus>();
  Corpus& c = *slot;
  c.n = n;
  TextGen gen(n);
  std::vector<std::string> texts(n);
  std::vector<std::vector<std::string>> tags(n);
  for (size_t i = 0; i < n; ++i) {
    texts[i] = gen.text();
    for (int k = 0, m = 1 + static_cast<int>(gen.rng()() % 3); k < m; ++k)
      tags[i].push_back("tag" + std::to_string(gen.rng()() % 200));
  }
  for (size_t i = 0; i < n; ++i) {
    Record r;
    r.id = rid(i);
    r.content = texts[i];
    r.tags = tags[i];
    c.records.emplace(r.id, std::move(r));
  }
  using clock = std::chrono::steady_clock;
  auto secs = [](clock::duration d) { return std::chrono::duration<double>(d).count(); };
  size_t m0 = heap_bytes();
  auto t0 = clock::now();
  std::vector<SharedSdr> sdrs(n);
  for (size_t i = 0; i < n; ++i)
    sdrs[i] = std::make_shared<const Sdr>(encode_sdr(SdrEncoder{}, texts[i], SdrRange::General, SdrCase::Fold));
  auto t1 = clock::now();
  size_t m1 = heap_bytes();
  size_t postings = 0;
  for (size_t i = 0; i < n; ++i) {
    c.sdr.insert(rid(i), sdrs[i]);
    postings += sdrs[i]->size();
  }
  auto t2 = clock::now();
  size_t m2 = heap_bytes();
  for (size_t i = 0; i < n; ++i) c.ngram.insert(rid(i), texts[i]);
  auto t3 = clock::now();
  size_t m3 = heap_bytes();
  for (size_t i = 0; i < n; ++i) c.bm25.insert(rid(i), texts[i], "default");
  auto t4 = clock::now();
  size_t m4 = heap_bytes();
  for (size_t i = 0; i < n; ++i) c.tags.add(rid(i), tags[i]);
  auto t5 = clock::now();
  size_t m5 = heap_bytes();
  for (size_t i = 0; i < n; ++i) c.log.emplace(rid(i), PackedSdrBuffer(*sdrs[i]));
  // The SDR index's id maps alone: the same ids with empty SDRs.
  size_t m6 = heap_bytes();
  {
    SdrIndex ids_only;
    for (size_t i = 0; i < n; ++i) ids_only.insert(rid(i), nullptr);
    m6 = heap_bytes() - m6;
  }
  const double dn = static_cast<double>(n);
  std::printf("\n== %zu records of 200 characters ==\n", n);
  std::printf("insert cost per record: encode_sdr %.1f us | sdr index %.1f us (%.1f ns/posting, %.0f postings) | "
              "n-gram %.1f us | bm25 %.1f us | tags %.2f us\n",
              secs(t1 - t0) / dn * 1e6, secs(t2 - t1) / dn * 1e6, secs(t2 - t1) / static_cast<double>(postings) * 1e9,
              static_cast<double>(postings) / dn, secs(t3 - t2) / dn * 1e6, secs(t4 - t3) / dn * 1e6,
              secs(t5 - t4) / dn * 1e6);
  const double total = static_cast<double>(m5 - m0) / dn;
  std::printf("memory per record: SDR buffers %.0f B | SDR index %.0f B | n-gram %.0f B | bm25 %.0f B | tags %.0f B "
              "| total %.0f B\n",
              static_cast<double>(m1 - m0) / dn, static_cast<double>(m2 - m1) / dn, static_cast<double>(m3 - m2) / dn,
              static_cast<double>(m4 - m3) / dn, static_cast<double>(m5 - m4) / dn, total);
  std::printf("  of which: SDR index id maps %.0f B, postings %.0f B; n-gram signatures and text hashes %.0f B, "
              "buckets and ids %.0f B\n",
              static_cast<double>(m6) / dn, static_cast<double>(m2 - m1 - m6) / dn,
              static_cast<double>(sizeof(CompactSignature) + sizeof(uint64_t)),
              static_cast<double>(m3 - m2) / dn - static_cast<double>(sizeof(CompactSignature) + sizeof(uint64_t)));
  for (int i = 0; i < 64; ++i) {
    const std::string& base = texts[gen.rng()() % n];
    c.queries.push_back(i % 2 ? base.substr(20, 60) : gen.text(48));
    c.tag_queries.push_back("tag" + std::to_string(gen.rng()() % 200) + " plans tag" + std::to_string(gen.rng()() % 200));
  }
  c.sdrs = std::move(sdrs);
  return c;
}

const std::vector<std::string> kDefault = {"default"};

void BM_EncodeSdr(benchmark::State& state) {
  TextGen gen(1);
  std::vector<std::string> texts;
  for (int i = 0; i < 256; ++i) texts.push_back(gen.text());
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(encode_sdr(SdrEncoder{}, texts[i++ & 255], SdrRange::General, SdrCase::Fold));
}
BENCHMARK(BM_EncodeSdr);

void BM_MinHashSignature(benchmark::State& state) {
  TextGen gen(2);
  std::vector<std::vector<uint64_t>> shingles;
  for (int i = 0; i < 256; ++i) shingles.push_back(shingle_text(gen.text()));
  size_t i = 0;
  CompactSignature sig;
  for (auto _ : state) {
    compact_signature(shingles[i++ & 255], sig);
    benchmark::DoNotOptimize(sig);
  }
}
BENCHMARK(BM_MinHashSignature);

// Inserting more records into a full index, one call per record. The records
// stay (a removal would take back the pending postings before they are ever
// moved into their bitmaps), so the iterations are capped.
void BM_SdrInsert(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  TextGen gen(3);
  std::vector<SharedSdr> extra;
  for (int i = 0; i < 64; ++i)
    extra.push_back(std::make_shared<const Sdr>(encode_sdr(SdrEncoder{}, gen.text(), SdrRange::General, SdrCase::Fold)));
  static size_t serial = 0;
  for (auto _ : state) {
    c.sdr.insert("extra" + std::to_string(serial), extra[serial & 63]);
    ++serial;
  }
}
BENCHMARK(BM_SdrInsert)->Arg(10000)->Arg(100000)->Iterations(3000)->Unit(benchmark::kMicrosecond);

void BM_CollectSdr(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  SdrLookup sdrs = [&c](std::string_view id) -> const PackedSdr* {
    auto it = c.log.find(std::string(id));
    return it == c.log.end() ? nullptr : &it->second.get();
  };
  IdMapLookup ids = [](std::string_view) -> const std::string* { return nullptr; };
  auto records = record_lookup(c.records);
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(collect_sdr(SdrEncoder{}, c.sdr, sdrs, ids, records, c.queries[i++ & 63], 10, kDefault));
}
BENCHMARK(BM_CollectSdr)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The search's rescoring step alone: 500 records drawn at random (out of
// cache, as the search's candidates are) counted against a query's bit set,
// the stored SDRs as plain lists (form 0) or packed as the record log keeps
// them (form 1).
void BM_CountPositions(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  const bool packed = state.range(1) == 1;
  std::vector<const Sdr*> lists(c.n);
  std::vector<const PackedSdr*> packs(c.n);
  for (size_t i = 0; i < c.n; ++i) {
    lists[i] = c.sdrs[i].get();
    packs[i] = &c.log.at(rid(i)).get();
  }
  std::vector<std::vector<uint64_t>> queries;
  for (const std::string& q : c.queries) {
    std::vector<uint64_t>& bits = queries.emplace_back(1024);
    for (uint16_t p : encode_sdr(SdrEncoder{}, q, SdrRange::General, SdrCase::Fold)) bits[p >> 6] |= uint64_t{1} << (p & 63);
  }
  std::mt19937_64 rng(9);
  size_t total = 0, round = 0;
  for (auto _ : state) {
    const uint64_t* bits = queries[round++ % queries.size()].data();
    for (int k = 0; k < 500; ++k) {
      const size_t i = rng() % c.n;
      total += packed ? count_positions_in(bits, *packs[i]) : count_positions_in(bits, *lists[i]);
    }
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 500);
}
BENCHMARK(BM_CountPositions)
    ->ArgNames({"records", "packed"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_CollectNgram(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  auto records = record_lookup(c.records);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(collect_ngram(c.ngram, records, c.queries[i++ & 63], 10, kDefault));
}
BENCHMARK(BM_CollectNgram)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The store road's novelty check: a new text against the whole store, one
// like the stored texts (range 1 = 0) or of random letters (1), unlike them.
void BM_NgramNovelty(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  TextGen gen(5);
  std::mt19937_64 rng(5);
  std::vector<std::string> texts;
  for (int i = 0; i < 64; ++i) {
    if (state.range(1) == 0) {
      texts.push_back(gen.text());
      continue;
    }
    std::string t;
    while (t.size() < 200) {
      for (int k = 0, n = 3 + static_cast<int>(rng() % 7); k < n; ++k) t += static_cast<char>('a' + rng() % 26);
      t += ' ';
    }
    texts.push_back(t);
  }
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(c.ngram.has_match_of_at_least(texts[i++ & 63], 26));
}
BENCHMARK(BM_NgramNovelty)
    ->ArgNames({"records", "unlike"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_CollectBm25(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  auto records = record_lookup(c.records);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(collect_bm25(c.bm25, records, c.queries[i++ & 63], 10, kDefault));
}
BENCHMARK(BM_CollectBm25)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_CollectTags(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  auto records = record_lookup(c.records);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(collect_tags(c.tags, records, c.tag_queries[i++ & 63], 10, kDefault));
}
BENCHMARK(BM_CollectTags)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The substring index of full recall, built as an open builds it (all texts at
// once), with the heap it holds per record; then one direct-match query of a
// record's three words.
void BM_SubstringBuild(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  std::vector<SubstringIndex::Entry> entries;
  for (const auto& [id, r] : c.records) entries.push_back({id, r.content});
  double bytes = 0;
  for (auto _ : state) {
    const size_t before = heap_bytes();
    SubstringIndex index;
    index.insert_all(entries);
    bytes = static_cast<double>(heap_bytes() - before);
    state.PauseTiming();
    index = SubstringIndex();
    state.ResumeTiming();
  }
  state.counters["heap_B_per_record"] = bytes / static_cast<double>(entries.size());
}
BENCHMARK(BM_SubstringBuild)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SubstringQuery(benchmark::State& state) {
  Corpus& c = corpus(static_cast<size_t>(state.range(0)));
  std::vector<SubstringIndex::Entry> entries;
  for (const auto& [id, r] : c.records) entries.push_back({id, r.content});
  SubstringIndex index;
  index.insert_all(entries);
  size_t i = 0, found = 0;
  for (auto _ : state) {
    const std::string q = to_lower_full(c.queries[i++ % c.queries.size()].substr(0, 20));
    found += index.docs_containing(q).size();
  }
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SubstringQuery)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vesk

int main(int argc, char** argv) {
  // Build both corpora first so that their reports come before the timings.
  vesk::corpus(10000);
  vesk::corpus(100000);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
