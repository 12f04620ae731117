#include "index/bm25_index.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include <immintrin.h>
#include <tbb/parallel_for.h>
#include <tbb/task_group.h>

#include "base/trace.h"
#include "index/prefetch.h"
#include "index/term_tokenizer.h"

namespace vesk {
namespace {

constexpr float kK1 = 1.2f;
constexpr float kB = 0.75f;

// A text's distinct terms, from its sorted terms: the place of the first,
// the count, the hash; `t` is for the caller.
struct DistinctTerm {
  uint32_t first, tf, hash, t;
};
template <class Terms>
void distinct_terms(const Terms& terms, std::vector<DistinctTerm>& out) {
  out.clear();
  for (size_t i = 0; i < terms.size();) {
    size_t j = i;
    while (j < terms.size() && terms[j] == terms[i]) ++j;
    out.push_back(DistinctTerm{static_cast<uint32_t>(i), static_cast<uint32_t>(j - i), TermTable::hash_of(terms[i]),
                               TermTable::kNone});
    i = j;
  }
}

}  // namespace

std::optional<uint32_t> Bm25Index::namespace_of(std::string_view ns) const {
  for (uint32_t i = 0; i < namespaces_.size(); ++i)
    if (namespaces_[i].name == ns) return i;
  return std::nullopt;
}

void Bm25Index::insert(std::string_view id, std::string_view content, std::string_view ns) {
  // Views into a buffer kept by the thread: no string per term, and the sort
  // moves 16-byte views.
  thread_local TermViews tokens;
  tokenize_term_views(content, tokens);
  std::sort(tokens.terms.begin(), tokens.terms.end());
  insert_sorted_terms(id, tokens.terms, ns);
}

// The entries are tokenised in batches on the thread pool, each batch while
// the one before it is filed in entry order on this thread.
void Bm25Index::insert_all(std::span<const Entry> entries) {
  static constexpr size_t kBatch = 8192;
  auto tokenize = [&entries](size_t start, std::vector<std::vector<std::string>>& terms) {
    const size_t n = std::min(kBatch, entries.size() - start);
    terms.assign(n, {});
    tbb::parallel_for(size_t{0}, n, [&](size_t i) {
      terms[i] = tokenize_terms(entries[start + i].content);
      std::sort(terms[i].begin(), terms[i].end());
    });
  };
  std::vector<std::vector<std::string>> current, next;
  if (!entries.empty()) tokenize(0, current);
  for (size_t start = 0; start < entries.size(); start += kBatch) {
    tbb::task_group ahead;
    if (start + kBatch < entries.size()) ahead.run([&] { tokenize(start + kBatch, next); });
    file_batch(entries.subspan(start, current.size()), current);
    ahead.wait();
    std::swap(current, next);
  }
}

// A batch of new ids (none indexed, none repeated) is filed in parallel, to
// the very state one insert per entry leaves: the same document and term
// numbers, postings in entry order. The terms are split into shards by hash,
// so that each term is handled by one task: first its number (an indexed
// term's, or a place among the shard's new terms), then, once the new terms
// have been numbered in order of first appearance, its postings.
void Bm25Index::file_batch(std::span<const Entry> batch, std::vector<std::vector<std::string>>& terms) {
  const size_t n = batch.size();
  bool fresh_ids = true;
  {
    std::unordered_set<std::string_view> seen;
    seen.reserve(n);
    for (const Entry& e : batch) fresh_ids = fresh_ids && !ids_.find(e.id) && seen.insert(e.id).second;
  }
  if (!fresh_ids) {
    std::vector<std::string_view> views;
    for (size_t i = 0; i < n; ++i) {
      views.assign(terms[i].begin(), terms[i].end());
      insert_sorted_terms(batch[i].id, views, batch[i].ns);
    }
    return;
  }
  // Documents in entry order, as insert_sorted_terms numbers and counts them.
  constexpr uint32_t kNone = TermTable::kNone;
  std::vector<uint32_t> doc(n, kNone);
  for (size_t i = 0; i < n; ++i)
    if (!terms[i].empty()) doc[i] = add_document(batch[i].id, terms[i].size(), batch[i].ns);
  std::vector<std::vector<DistinctTerm>> distinct(n);
  tbb::parallel_for(size_t{0}, n, [&](size_t i) { distinct_terms(terms[i], distinct[i]); });
  // Per shard: the known terms' numbers, and the new terms by first
  // appearance (entry, place among its distinct terms); a new term's `t`
  // holds its place in the shard's list for now.
  constexpr uint32_t kShards = 16;
  struct Place {
    uint32_t entry, place;  // an entry and the place of one of its distinct terms
  };
  std::vector<std::vector<Place>> by_shard(kShards);  // in entry order
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < distinct[i].size(); ++j)
      by_shard[(distinct[i][j].hash >> 7) % kShards].push_back(
          Place{static_cast<uint32_t>(i), static_cast<uint32_t>(j)});
  std::vector<std::vector<Place>> new_terms(kShards);  // by first appearance
  tbb::parallel_for(uint32_t{0}, kShards, [&](uint32_t s) {
    std::unordered_map<std::string_view, uint32_t> places;
    for (const Place& at : by_shard[s]) {
      DistinctTerm& e = distinct[at.entry][at.place];
      const std::string& text = terms[at.entry][e.first];
      e.t = term_number(e.hash, text);
      if (e.t != kNone) continue;
      auto [it, added] = places.try_emplace(text, static_cast<uint32_t>(new_terms[s].size()));
      if (added) new_terms[s].push_back(at);
      e.t = kNone - 1 - it->second;  // a place, counted down from the top
    }
  });
  // Number the new terms in order of first appearance, as one insert after
  // another would.
  std::vector<std::pair<Place, uint32_t>> order;  // (first appearance, shard)
  for (uint32_t s = 0; s < kShards; ++s)
    for (const Place& t : new_terms[s]) order.emplace_back(t, s);
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.first.entry != b.first.entry ? a.first.entry < b.first.entry : a.first.place < b.first.place;
  });
  std::vector<std::vector<uint32_t>> numbers(kShards);
  for (uint32_t s = 0; s < kShards; ++s) numbers[s].resize(new_terms[s].size());
  for (const auto& [first, s] : order) {
    const DistinctTerm& e = distinct[first.entry][first.place];
    numbers[s][kNone - 1 - e.t] = add_term(std::move(terms[first.entry][e.first]), e.hash);
  }
  // Postings shard by shard (a term's list is only ever touched by its own
  // shard), in entry order; then each document's term numbers.
  tbb::parallel_for(uint32_t{0}, kShards, [&](uint32_t s) {
    for (const Place& at : by_shard[s]) {
      DistinctTerm& e = distinct[at.entry][at.place];
      if (e.t >= kNone - new_terms[s].size()) e.t = numbers[s][kNone - 1 - e.t];
      terms_[e.t].postings.emplace_back(doc[at.entry], e.tf);
    }
  });
  tbb::parallel_for(size_t{0}, n, [&](size_t i) {
    if (doc[i] == kNone) return;
    std::vector<uint32_t>& ts = docs_[doc[i]].terms;
    ts.reserve(distinct[i].size());
    for (const DistinctTerm& e : distinct[i]) ts.push_back(e.t);
  });
}

uint32_t Bm25Index::add_document(std::string_view id, uint64_t length, std::string_view ns) {
  const uint32_t d = ids_.intern(id);
  if (docs_.size() <= d) {
    docs_.resize(d + 1);
    doc_ns_.resize(d + 1);
    doc_length_.resize(d + 1);
  }
  docs_[d].length = length;
  docs_[d].terms.clear();
  auto n = namespace_of(ns);
  if (!n) {
    n = static_cast<uint32_t>(namespaces_.size());
    namespaces_.push_back(Namespace{std::string(ns), 0, 0});
  }
  doc_ns_[d] = *n;
  doc_length_[d] = static_cast<float>(length);
  namespaces_[*n].documents += 1;
  namespaces_[*n].total_length += length;
  return d;
}

uint32_t Bm25Index::add_term(std::string text, uint32_t hash) {
  uint32_t t;
  if (!free_terms_.empty()) {
    t = free_terms_.back();
    free_terms_.pop_back();
  } else {
    t = static_cast<uint32_t>(terms_.size());
    terms_.emplace_back();
  }
  terms_[t].text = std::move(text);
  term_ids_.insert(hash, t);
  return t;
}

void Bm25Index::insert_sorted_terms(std::string_view id, std::span<const std::string_view> terms, std::string_view ns) {
  remove(id);
  if (terms.empty()) return;
  const uint32_t d = add_document(id, terms.size(), ns);
  Doc& doc = docs_[d];
  // The distinct terms and their frequencies, then their lookups in stages
  // across all of them (table slots, then the terms, then the ends of their
  // posting lists are fetched ahead), so that the cache misses of one term
  // overlap those of the others instead of following each other.
  thread_local std::vector<DistinctTerm> distinct;
  distinct_terms(terms, distinct);
  for (const DistinctTerm& e : distinct) term_ids_.prefetch(e.hash);
  for (DistinctTerm& e : distinct) {
    e.t = term_number(e.hash, terms[e.first]);
    if (e.t != TermTable::kNone) prefetch_line(&terms_[e.t]);
  }
  for (const DistinctTerm& e : distinct) {
    if (e.t == TermTable::kNone) continue;
    const auto& p = terms_[e.t].postings;
    if (!p.empty()) prefetch_line(p.data() + p.size());
  }
  doc.terms.reserve(distinct.size());
  for (const DistinctTerm& e : distinct) {
    const uint32_t t = e.t == TermTable::kNone ? add_term(std::string(terms[e.first]), e.hash) : e.t;
    terms_[t].postings.emplace_back(d, e.tf);
    doc.terms.push_back(t);
  }
}

void Bm25Index::remove(std::string_view id) {
  const auto d = ids_.find(id);
  if (!d) return;
  Doc& doc = docs_[*d];
  Namespace& ns = namespaces_[doc_ns_[*d]];
  ns.documents = ns.documents <= 1 ? 0 : ns.documents - 1;
  ns.total_length = ns.total_length <= doc.length ? 0 : ns.total_length - doc.length;
  for (uint32_t t : doc.terms) {
    Term& term = terms_[t];
    auto& p = term.postings;
    auto it = std::find_if(p.begin(), p.end(), [&](const auto& e) { return e.first == *d; });
    if (it != p.end()) {
      *it = p.back();
      p.pop_back();
    }
    if (p.empty()) {
      term_ids_.erase(TermTable::hash_of(term.text), t);
      term = Term{};
      free_terms_.push_back(t);
    }
  }
  doc = Doc{};
  ids_.release(*d);
}

uint64_t Bm25Index::namespace_document_count(std::string_view ns) const {
  auto n = namespace_of(ns);
  return n ? namespaces_[*n].documents : 0;
}

uint64_t Bm25Index::namespace_total_length(std::string_view ns) const {
  auto n = namespace_of(ns);
  return n ? namespaces_[*n].total_length : 0;
}

Bm25Index::Contents Bm25Index::contents() const {
  Contents c;
  for (const Term& t : terms_) c.terms.emplace_back(t.text, t.postings);
  for (uint32_t d = 0; d < docs_.size(); ++d) {
    if (!ids_.in_use(d)) {
      c.docs.emplace_back();
      continue;
    }
    c.docs.emplace_back(ids_.id(d), docs_[d].length, doc_ns_[d], docs_[d].terms);
  }
  for (const Namespace& n : namespaces_) c.namespaces.emplace_back(n.name, n.documents, n.total_length);
  c.free_terms = free_terms_;
  return c;
}

size_t Bm25Index::posting_count(std::string_view term) const {
  const uint32_t t = term_number(TermTable::hash_of(term), term);
  return t == TermTable::kNone ? 0 : terms_[t].postings.size();
}

namespace {

struct Bm25Scratch {
  std::vector<float> scores;   // all 0 between searches
  std::vector<uint8_t> seen;   // all 0 between searches
  std::vector<uint32_t> touched;
  std::vector<float> weights;  // of one term's postings
};
// Out of line so that the thread-local address is taken once per search,
// not in the loops (it is a call in a shared library).
[[gnu::noinline]] Bm25Scratch& thread_bm25_scratch() {
  static thread_local Bm25Scratch s;
  return s;
}

// One posting's weight: the operations in the order the formula gives them,
// each rounded to a float, so that both versions below agree to the bit
// (neither may contract a multiply and an add).
inline float posting_weight(uint32_t tf, float dl, float avgdl, float idf) {
  const float tff = static_cast<float>(tf);
  const float numerator = tff * (kK1 + 1.0f);
  const float denominator = std::max(((dl / avgdl) * kB + (1.0f - kB)) * kK1 + tff, FLT_EPSILON);
  return (numerator / denominator) * idf;
}

static_assert(sizeof(std::pair<uint32_t, uint32_t>) == 8, "postings are read as pairs of 32-bit words");

void posting_weights_portable(const std::pair<uint32_t, uint32_t>* p, size_t n, const float* doc_length, float avgdl,
                              float idf, float* out) {
  for (size_t i = 0; i < n; ++i) out[i] = posting_weight(p[i].second, doc_length[p[i].first], avgdl, idf);
}

// Eight postings at a time: the two divisions dominate the scalar loop.
__attribute__((target("avx2"))) void posting_weights_avx2(const std::pair<uint32_t, uint32_t>* p, size_t n,
                                                          const float* doc_length, float avgdl, float idf,
                                                          float* out) {
  const __m256 v_avgdl = _mm256_set1_ps(avgdl), v_b = _mm256_set1_ps(kB), v_1b = _mm256_set1_ps(1.0f - kB);
  const __m256 v_k1 = _mm256_set1_ps(kK1), v_k1p = _mm256_set1_ps(kK1 + 1.0f), v_eps = _mm256_set1_ps(FLT_EPSILON);
  const __m256 v_idf = _mm256_set1_ps(idf);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    // (d0 t0 d1 t1 | d2 t2 d3 t3) and (d4 t4 d5 t5 | d6 t6 d7 t7) into
    // documents d0..d7 and frequencies t0..t7.
    const __m256 a = _mm256_loadu_ps(reinterpret_cast<const float*>(p + i));
    const __m256 b = _mm256_loadu_ps(reinterpret_cast<const float*>(p + i + 4));
    const __m256i docs = _mm256_permute4x64_epi64(_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                                                  _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i tfs = _mm256_permute4x64_epi64(_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))),
                                                 _MM_SHUFFLE(3, 1, 2, 0));
    const __m256 tff = _mm256_cvtepi32_ps(tfs);  // term frequencies are far below 2^31
    const __m256 dl = _mm256_i32gather_ps(doc_length, docs, 4);
    const __m256 numerator = _mm256_mul_ps(tff, v_k1p);
    const __m256 scaled = _mm256_add_ps(_mm256_mul_ps(_mm256_div_ps(dl, v_avgdl), v_b), v_1b);
    // max(eps, x) returns x when x is NaN, as std::max(x, eps) does.
    const __m256 denominator = _mm256_max_ps(v_eps, _mm256_add_ps(_mm256_mul_ps(scaled, v_k1), tff));
    _mm256_storeu_ps(out + i, _mm256_mul_ps(_mm256_div_ps(numerator, denominator), v_idf));
  }
  for (; i < n; ++i) out[i] = posting_weight(p[i].second, doc_length[p[i].first], avgdl, idf);
}

}  // namespace

void bm25_posting_weights(std::span<const std::pair<uint32_t, uint32_t>> postings, const float* doc_length, float avgdl,
                          float idf, float* out, bool vector_instructions) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (vector_instructions && avx2) {
    posting_weights_avx2(postings.data(), postings.size(), doc_length, avgdl, idf, out);
  } else {
    posting_weights_portable(postings.data(), postings.size(), doc_length, avgdl, idf, out);
  }
}

RankedList collect_bm25(const Bm25Index& index, const RecordLookup& records, std::string_view query, size_t top_k,
                        std::span<const std::string> namespaces) {
  VESK_SPAN(span, "collect_bm25", "vesk::recall", trace::Level::Info, trace::field("top_k", top_k));
  RankedList out;
  if (top_k == 0 || index.ids_.size() == 0 || namespaces.empty()) return out;
  std::vector<std::string> terms = tokenize_terms(query);
  std::sort(terms.begin(), terms.end());
  terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
  if (terms.empty()) return out;
  // Statistics over the distinct listed namespaces.
  std::vector<char> listed(index.namespaces_.size(), 0);
  uint64_t n_docs = 0, total = 0;
  for (const std::string& ns : namespaces) {
    auto n = index.namespace_of(ns);
    if (!n || listed[*n]) continue;
    listed[*n] = 1;
    n_docs += index.namespaces_[*n].documents;
    total += index.namespaces_[*n].total_length;
  }
  if (n_docs == 0) return out;
  // When every namespace holding documents is listed, df is a posting count.
  bool all_listed = true;
  for (size_t i = 0; i < listed.size(); ++i) all_listed &= listed[i] || index.namespaces_[i].documents == 0;
  const float nf = static_cast<float>(n_docs);
  const float avgdl = std::max(static_cast<float>(total) / nf, 1.0f);

  // The postings of the query's terms, with their idf; their number picks
  // the way the scores are gathered.
  struct TermPostings {
    const std::vector<std::pair<uint32_t, uint32_t>>* postings;
    float idf;
  };
  std::vector<TermPostings> lists;
  lists.reserve(terms.size());
  size_t postings_total = 0;
  const uint32_t* doc_ns = index.doc_ns_.data();
  for (const std::string& t : terms) {
    const uint32_t number = index.term_number(TermTable::hash_of(t), t);
    if (number == TermTable::kNone) continue;
    const auto& postings = index.terms_[number].postings;
    uint64_t df = postings.size();
    if (!all_listed) {
      df = 0;
      for (const auto& [d, tf] : postings) df += listed[doc_ns[d]];
    }
    if (df == 0) continue;
    const float dff = static_cast<float>(df);
    lists.push_back(TermPostings{&postings, std::log((nf - dff + 0.5f) / (dff + 0.5f) + 1.0f)});
    postings_total += postings.size();
  }

  // Scores by document, kept per thread. Whether a document's record is live
  // in a listed namespace is the same for every term, so it is checked at the
  // end; each document's sum still adds up in ascending term order.
  Bm25Scratch& scratch = thread_bm25_scratch();
  const uint32_t doc_limit = index.ids_.limit();
  // Both are padded to whole 8-byte words of `seen` for the dense scan below.
  if (scratch.scores.size() < doc_limit + 8u) scratch.scores.resize(doc_limit + 8u);
  if (scratch.seen.size() < doc_limit + 8u) scratch.seen.resize(doc_limit + 8u);
  float* scores = scratch.scores.data();
  uint8_t* seen = scratch.seen.data();
  const float* doc_length = index.doc_length_.data();
  std::vector<float>& weights = scratch.weights;
  auto score_term = [&](const TermPostings& term, auto&& note_doc) {
    const auto& postings = *term.postings;
    if (weights.size() < postings.size()) weights.resize(postings.size());
    bm25_posting_weights(postings, doc_length, avgdl, term.idf, weights.data());
    const float* weight = weights.data();
    for (size_t i = 0; i < postings.size(); ++i) {
      const uint32_t d = postings[i].first;
      note_doc(d);
      scores[d] += weight[i];
    }
  };
  struct Candidate {
    float score;
    uint32_t doc;
  };
  std::vector<Candidate> candidates;
  if (postings_total >= doc_limit / 2) {
    // Most documents are met: mark them without listing them (a list of the
    // met documents costs a dependent load per posting), then read the marks
    // once, a word at a time. Every document of a word with a mark is
    // written; only the marked ones are kept, without a branch per document.
    for (const TermPostings& term : lists) score_term(term, [seen](uint32_t d) { seen[d] = 1; });
    candidates.resize(doc_limit + 8u);
    Candidate* out = candidates.data();
    size_t kept = 0;
    for (uint32_t w = 0; w < doc_limit; w += 8) {
      uint64_t word;
      std::memcpy(&word, seen + w, 8);
      if (word == 0) continue;
      for (uint32_t d = w; d < w + 8; ++d) {
        out[kept] = Candidate{scores[d], d};
        kept += seen[d];
        seen[d] = 0;
        scores[d] = 0.0f;
      }
    }
    candidates.resize(kept);
  } else {
    std::vector<uint32_t>& touched = scratch.touched;
    if (touched.size() < postings_total) touched.resize(postings_total);
    uint32_t* tp = touched.data();
    size_t nt = 0;
    for (const TermPostings& term : lists) {
      // Every document goes to the scratch list; only a first visit keeps it.
      score_term(term, [&](uint32_t d) {
        tp[nt] = d;
        nt += seen[d] ^ 1;
        seen[d] = 1;
      });
    }
    candidates.reserve(nt);
    for (size_t i = 0; i < nt; ++i) {
      const uint32_t d = tp[i];
      candidates.push_back(Candidate{scores[d], d});
      scores[d] = 0.0f;
      seen[d] = 0;
    }
  }

  // Only the best-scored documents need their record looked up: validate
  // every candidate scoring at least the k-th best score (ties included),
  // and look further down only while fewer than top_k of them qualify.
  std::vector<RecallHit> hits;
  std::vector<float> best;  // a min-heap of the highest scores met
  auto kth_highest = [&best](std::span<const Candidate> rest, size_t k) {
    best.clear();
    for (const Candidate& c : rest) {
      if (best.size() < k) {
        best.push_back(c.score);
        std::push_heap(best.begin(), best.end(), std::greater<>());
      } else if (c.score > best.front()) {
        std::pop_heap(best.begin(), best.end(), std::greater<>());
        best.back() = c.score;
        std::push_heap(best.begin(), best.end(), std::greater<>());
      }
    }
    return best.front();
  };
  size_t done = 0, k = std::min(candidates.size(), std::max<size_t>(4 * top_k, 64));
  for (;;) {
    if (k < candidates.size()) {
      // The candidates from `done` on all score below those before it.
      const std::span<const Candidate> rest(candidates.data() + done, candidates.size() - done);
      const float t = kth_highest(rest, k - done);
      k = static_cast<size_t>(std::partition(candidates.begin() + static_cast<ptrdiff_t>(done), candidates.end(),
                                             [t](const Candidate& c) { return c.score >= t; }) -
                              candidates.begin());
    }
    for (size_t i = done; i < k; ++i) {
      const std::string& id = index.ids_.id(candidates[i].doc);
      const Record* r = records(id);
      if (!r || std::find(namespaces.begin(), namespaces.end(), r->namespace_) == namespaces.end()) continue;
      hits.push_back(RecallHit{candidates[i].score, content_hash(r->content), &id});
    }
    done = k;
    if (hits.size() >= top_k || k == candidates.size()) break;
    k = std::min(candidates.size(), 4 * k);
  }
  return top_hits_in_recall_order(hits, top_k);
}

}  // namespace vesk
