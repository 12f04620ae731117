#include "index/ngram_index.h"

#include <xxhash.h>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "base/trace.h"
#include "index/prefetch.h"

namespace vesk {

namespace {

// The signature of the last text a thread signed. The store road signs each
// new text twice (its novelty check, then its insert); the second time is a
// copy.
struct LastSignature {
  std::string text;
  bool valid = false;
  bool has_shingles = false;
  CompactSignature sig;
  std::vector<uint64_t> shingles;  // scratch
};
[[gnu::noinline]] LastSignature& thread_last_signature() {
  static thread_local LastSignature last;
  return last;
}

// The text's signature into `out`; false (and `out` untouched) for a text
// without shingles.
bool signature_of(std::string_view text, CompactSignature& out) {
  LastSignature& last = thread_last_signature();
  if (!last.valid || last.text != text) {
    std::vector<uint64_t>& shingles = last.shingles;
    shingle_hashes(text, shingles);
    last.valid = false;
    last.has_shingles = !shingles.empty();
    if (last.has_shingles) compact_signature(shingles, last.sig);
    last.text.assign(text);
    last.valid = true;
  }
  if (last.has_shingles) out = last.sig;
  return last.has_shingles;
}

}  // namespace

NgramIndex::NgramIndex() { (void)minhash_coefficients(); }

void NgramIndex::insert(std::string_view id, std::string_view text) {
  remove(id);
  CompactSignature signed_text;
  if (!signature_of(text, signed_text)) return;
  const uint32_t d = ids_.intern(id);
  while (chunks_.size() * kChunk <= d) chunks_.push_back(std::make_unique<Chunk>());
  CompactSignature& s = sig(d);
  s = signed_text;
  print_of(s, print(d));
  hash(d) = XXH3_64bits(text.data(), text.size());
  // The adds miss the cache three times each (table entry, list record,
  // list end): each stage is taken for all 128 values before the next, so
  // the misses of the values overlap instead of following each other.
  std::array<size_t, kMinHashPermutations> slots;
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].make_room();
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch(s[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) slots[i] = buckets_[i].slot_of(s[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch_list_end(slots[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].add_at(slots[i], s[i], d);
}

void NgramIndex::prefetch_insert(std::string_view text) const {
  CompactSignature s;
  if (!signature_of(text, s)) return;
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch(s[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch_list(s[i]);
}

void NgramIndex::insert_all(std::span<const Entry> entries) {
  constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  // 1. Number the documents in entry order. A document numbered earlier in
  //    this call for the same id has nothing filed yet and is given up.
  std::vector<uint32_t> doc_of(entries.size(), kNone);
  std::vector<uint32_t> owner;  // by document numbered in this call: its entry, or kNone
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string_view id = entries[i].id;
    if (const auto d = ids_.find(id)) {
      if (*d < owner.size() && owner[*d] != kNone) {
        doc_of[owner[*d]] = kNone;
        owner[*d] = kNone;
        ids_.release(*d);
      } else {
        remove(id);
      }
    }
    const uint32_t d = ids_.intern(id);
    while (chunks_.size() * kChunk <= d) chunks_.push_back(std::make_unique<Chunk>());
    if (owner.size() <= d) owner.resize(d + 1, kNone);
    owner[d] = static_cast<uint32_t>(i);
    doc_of[i] = d;
  }
  // 2. Signatures and text hashes, each task writing its own documents' slots.
  std::vector<uint8_t> indexed(entries.size(), 0);
  tbb::parallel_for(tbb::blocked_range<size_t>(0, entries.size(), 64), [&](const tbb::blocked_range<size_t>& r) {
    std::vector<uint64_t> shingles;
    for (size_t i = r.begin(); i != r.end(); ++i) {
      if (doc_of[i] == kNone) continue;
      shingle_hashes(entries[i].text, shingles);
      if (shingles.empty()) continue;
      compact_signature(shingles, sig(doc_of[i]));
      print_of(sig(doc_of[i]), print(doc_of[i]));
      hash(doc_of[i]) = XXH3_64bits(entries[i].text.data(), entries[i].text.size());
      indexed[i] = 1;
    }
  });
  // 3. A text without shingles is not indexed.
  std::vector<uint32_t> docs;
  docs.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (doc_of[i] == kNone) continue;
    if (indexed[i]) {
      docs.push_back(doc_of[i]);
    } else {
      ids_.release(doc_of[i]);
    }
  }
  // 4. Each signature position's bucket map on its own task.
  tbb::parallel_for(0, kMinHashPermutations, [&](int p) {
    for (uint32_t d : docs) buckets_[p].add(sig(d)[p], d);
  });
}

void NgramIndex::remove(std::string_view id) {
  const auto d = ids_.find(id);
  if (!d) return;
  const CompactSignature& s = sig(*d);
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].remove(s[i], *d);
  ids_.release(*d);
}

std::optional<uint64_t> NgramIndex::content_hash(std::string_view id) const {
  const auto d = ids_.find(id);
  if (!d) return std::nullopt;
  return hash(*d);
}

bool ngram_hit_order(float score_a, std::optional<uint64_t> hash_a, std::string_view id_a, float score_b,
                     std::optional<uint64_t> hash_b, std::string_view id_b) {
  if (score_before(score_a, score_b)) return true;
  if (score_before(score_b, score_a)) return false;
  if (hash_a != hash_b) return hash_a < hash_b;  // none orders before any value
  return id_a < id_b;
}

namespace {

// Counts by document, kept per thread between queries; at most 128 each.
struct QueryCounts {
  std::vector<uint8_t> counts;  // all 0 between queries
  std::vector<uint32_t> touched;  // the counted documents, written without size checks
};
// Out of line so that the thread-local address is taken once per query,
// not inside the counting loops (it is a call in a shared library).
[[gnu::noinline]] QueryCounts& thread_query_counts() {
  static thread_local QueryCounts c;
  return c;
}

}  // namespace

RankedList NgramIndex::query(std::string_view text, size_t limit) const {
  RankedList out;
  CompactSignature q;
  if (limit == 0 || !signature_of(text, q)) return out;
  std::array<std::span<const uint32_t>, kMinHashPermutations> lists;
  size_t postings = 0;
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch(q[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) {
    lists[i] = buckets_[i].documents(q[i]);
    postings += lists[i].size();
  }
  QueryCounts& qc = thread_query_counts();
  std::vector<uint8_t>& counts = qc.counts;
  std::vector<uint32_t>& touched = qc.touched;
  const uint32_t n_docs = ids_.limit();
  // Padded to whole 8-byte words for the dense scan below.
  if (counts.size() < n_docs + 8u) counts.resize(n_docs + 8u);
  uint8_t* cnt = counts.data();
  struct Hit {
    uint32_t count;
    uint32_t doc;
    uint64_t hash;
  };
  std::vector<Hit> hits;
  // Scores are count / 128, so the count orders hits as the score does.
  // Only the hits that can make the first `limit` (all sharing the
  // limit-th best count, ties included) are kept, found from a histogram
  // of the counts, and only they need their text hash.
  auto boundary_of = [limit](const std::array<uint32_t, kMinHashPermutations + 1>& with) {
    uint32_t boundary = 1;
    for (size_t above = 0, c = kMinHashPermutations; c >= 1; --c) {
      above += with[c];
      if (above >= limit) {
        boundary = static_cast<uint32_t>(c);
        break;
      }
    }
    return boundary;
  };
  if (postings >= n_docs / 2) {
    // Most documents are met: count without noting who was met (a list of
    // the met documents costs a dependent load per posting), then read the
    // whole count array once for the histogram and once for the hits.
    for (const std::span<const uint32_t>& docs : lists)
      for (uint32_t d : docs) ++cnt[d];
    std::array<std::array<uint32_t, kMinHashPermutations + 1>, 4> part{};
    uint32_t d = 0;
    for (; d + 4 <= n_docs; d += 4) {
      ++part[0][cnt[d]];
      ++part[1][cnt[d + 1]];
      ++part[2][cnt[d + 2]];
      ++part[3][cnt[d + 3]];
    }
    for (; d < n_docs; ++d) ++part[0][cnt[d]];
    std::array<uint32_t, kMinHashPermutations + 1> with{};
    for (const auto& p : part)
      for (size_t c = 0; c < with.size(); ++c) with[c] += p[c];
    const uint32_t boundary = boundary_of(with);
    // A count is at most 128, so count + (128 - boundary) stays within its
    // byte and has the high bit set exactly when count >= boundary.
    const uint64_t add = 0x0101010101010101ull * (128u - boundary);
    for (uint32_t w = 0; w < n_docs; w += 8) {
      uint64_t word;
      std::memcpy(&word, cnt + w, 8);
      if (word == 0) continue;
      if ((word + add) & 0x8080808080808080ull) {
        for (uint32_t j = w; j < w + 8 && j < n_docs; ++j)
          if (cnt[j] >= boundary) hits.push_back(Hit{cnt[j], j, 0});
      }
      std::memset(cnt + w, 0, 8);
    }
  } else {
    size_t nt = 0;
    for (const std::span<const uint32_t>& docs : lists) {
      if (touched.size() < nt + docs.size()) touched.resize(nt + docs.size());
      uint32_t* t = touched.data();
      for (uint32_t d : docs) {
        t[nt] = d;
        nt += cnt[d]++ == 0;
      }
    }
    std::array<uint32_t, kMinHashPermutations + 1> with{};  // documents by count
    for (size_t i = 0; i < nt; ++i) ++with[cnt[touched[i]]];
    const uint32_t boundary = boundary_of(with);
    for (size_t i = 0; i < nt; ++i) {
      const uint32_t d = touched[i];
      if (cnt[d] >= boundary) hits.push_back(Hit{cnt[d], d, 0});
      cnt[d] = 0;
    }
  }
  for (Hit& h : hits) h.hash = hash(h.doc);
  // Every indexed id has a text hash, so the order is on (score, hash, id);
  // the id strings are read only to break a tie of both.
  auto before = [this](const Hit& a, const Hit& b) {
    if (a.count != b.count) return a.count > b.count;
    if (a.hash != b.hash) return a.hash < b.hash;
    return ids_.id(a.doc) < ids_.id(b.doc);
  };
  const size_t keep = std::min(limit, hits.size());
  std::partial_sort(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(keep), hits.end(), before);
  out.reserve(keep);
  for (size_t i = 0; i < keep; ++i)
    out.emplace_back(ids_.id(hits[i].doc), static_cast<float>(hits[i].count) / static_cast<float>(kMinHashPermutations));
  return out;
}

bool NgramIndex::has_match_of_at_least(std::string_view text, int positions, size_t compare_budget) const {
  if (positions <= 0) return ids_.size() > 0;
  if (positions > kMinHashPermutations) return false;
  CompactSignature q;
  if (!signature_of(text, q)) return false;
  // The lists roughly shortest first: grouped by the bit length of their
  // sizes (a counting sort), in position order within a group. The answer
  // does not depend on the order (see below); short lists first make an
  // early witness likely.
  std::array<std::span<const uint32_t>, kMinHashPermutations> unsorted, lists;
  std::array<uint8_t, kMinHashPermutations> group;
  std::array<uint32_t, 34> starts{};
  size_t n = 0;
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch(q[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].prefetch_list(q[i]);
  for (int i = 0; i < kMinHashPermutations; ++i) {
    std::span<const uint32_t> docs = buckets_[i].documents(q[i]);
    if (docs.empty()) continue;
    group[n] = static_cast<uint8_t>(std::bit_width(docs.size()));
    ++starts[group[n] + 1];
    unsorted[n++] = docs;
  }
  const size_t need = static_cast<size_t>(positions);
  if (n < need) return false;
  for (size_t g = 1; g < starts.size(); ++g) starts[g] += starts[g - 1];
  for (size_t i = 0; i < n; ++i) lists[starts[group[i]]++] = unsorted[i];

  // Two phases over the lists, in that order. Phase one compares each new
  // document with the text position by position: the short lists hold the
  // rare values a close neighbour shares, so a witness turns up early. A
  // document with `need` matches is in one of any n - need + 1 of the lists,
  // so after that many lists nobody unseen can reach the bound. When phase
  // one has compared its budget of documents first, phase two counts the
  // remaining lists instead: a document not met in phase one has all its
  // matches there, so its count is exact (a counted phase-one document is
  // only ever undercounted, and it was compared already).
  const size_t prefix = n - need + 1;
  thread_local std::vector<uint8_t> marks_storage;
  thread_local std::vector<uint32_t> touched_storage;
  std::vector<uint8_t>& marks_vec = marks_storage;
  std::vector<uint32_t>& touched = touched_storage;
  if (marks_vec.size() < ids_.limit()) marks_vec.resize(ids_.limit());
  uint8_t* const marks = marks_vec.data();  // compared: 0xff; else the count of phase two
  bool found = false;
  // Phase one takes whole lists, in order, into a small batch of new
  // documents and compares the batch, prints first, fetching the print of
  // the document a few places ahead: most of these lists hold one document, so
  // prefetching within a list would rarely reach the next comparison. Small
  // batches keep the early stop when a witness comes in the first lists.
  constexpr size_t kBatch = 16, kAhead = 4;
  Print qprint;
  print_of(q, qprint);
  auto prefetch_print = [&](uint32_t d) {
    const char* p = reinterpret_cast<const char*>(print(d).data());
    for (size_t line = 0; line < sizeof(Print); line += 64) prefetch_line(p + line);
  };
  size_t k = 0;
  while (!found && k < prefix && touched.size() < compare_budget) {
    const size_t first = touched.size();
    for (; k < prefix && touched.size() < compare_budget && touched.size() - first < kBatch; ++k) {
      for (uint32_t d : lists[k]) {
        if (marks[d]) continue;
        marks[d] = 0xff;
        touched.push_back(d);
      }
    }
    const size_t end = touched.size();
    for (size_t c = first; c < std::min(first + kAhead, end); ++c) prefetch_print(touched[c]);
    for (size_t c = first; c < end; ++c) {
      if (c + kAhead < end) prefetch_print(touched[c + kAhead]);
      const Print& pr = print(touched[c]);
      int alike = 0;
      for (int i = 0; i < kMinHashPermutations; ++i) alike += pr[i] == qprint[i];
      if (alike < positions) continue;
      const CompactSignature& s = sig(touched[c]);
      int same = 0;
      for (int i = 0; i < kMinHashPermutations; ++i) same += s[i] == q[i];
      if (same >= positions) {
        found = true;
        break;
      }
    }
  }
  if (!found && k < prefix) {
    for (; k < n && !found; ++k) {
      for (uint32_t d : lists[k]) {
        uint8_t& m = marks[d];
        if (m == 0xff) continue;
        if (m == 0) touched.push_back(d);
        if (++m >= need) {
          found = true;
          break;
        }
      }
    }
  }
  for (uint32_t d : touched) marks[d] = 0;
  touched.clear();
  return found;
}

RankedList collect_ngram(const NgramIndex& index, const RecordLookup& records, std::string_view query, size_t top_k,
                         std::span<const std::string> namespaces, std::vector<size_t>* limits) {
  VESK_SPAN(span, "collect_ngram", "vesk::recall", trace::Level::Info, trace::field("top_k", top_k));
  RankedList kept;
  if (top_k == 0) return kept;
  size_t w = top_k;
  for (;;) {
    const size_t limit = 4 * w;
    if (limits) limits->push_back(limit);
    RankedList hits = index.query(query, limit);
    kept.clear();
    for (auto& hit : hits) {
      if (kept.size() == top_k) break;
      const Record* r = records(hit.first);
      if (r && record_visible(*r, namespaces)) kept.push_back(std::move(hit));
    }
    if (limit >= 256 * top_k || hits.size() < limit || kept.size() == top_k) return kept;
    w = limit;
  }
}

}  // namespace vesk
