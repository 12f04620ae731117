#include "index/ngram_index.h"

#include <xxhash.h>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <limits>

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
    const std::vector<uint64_t> shingles = shingle_text(text);
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
  hash(d) = XXH3_64bits(text.data(), text.size());
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].add(s[i], d);
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
    for (size_t i = r.begin(); i != r.end(); ++i) {
      if (doc_of[i] == kNone) continue;
      const std::vector<uint64_t> shingles = shingle_text(entries[i].text);
      if (shingles.empty()) continue;
      compact_signature(shingles, sig(doc_of[i]));
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
  std::vector<uint32_t> candidates;
};
// Out of line so that the thread-local address is taken once per query,
// not inside the counting loops (it is a call in a shared library).
[[gnu::noinline]] QueryCounts& thread_query_counts() {
  static thread_local QueryCounts c;
  return c;
}

}  // namespace

// The bucket lists are counted shortest first, and the answer is known as
// soon as one document reaches the floor count. Otherwise, once r lists are
// left, a document can still gain at most r, so only documents already
// counted at least floor_count - r can reach it (none unseen, once r is
// below floor_count). When those are few against the documents the
// remaining lists hold, they are finished by comparing their signatures at
// the remaining positions instead. A text near something stored stops early;
// for a text unlike the store the longest lists (the query's commonest
// minimum values, which hold most postings) are never read.
bool NgramIndex::any_at_least(std::string_view text, float floor) const {
  CompactSignature q;
  if (!signature_of(text, q)) return false;
  uint32_t need = 1;  // the smallest count whose score reaches the floor
  while (need <= kMinHashPermutations && static_cast<float>(need) / static_cast<float>(kMinHashPermutations) < floor)
    ++need;
  if (need > kMinHashPermutations) return false;

  struct List {
    std::span<const uint32_t> docs;
    int position;
  };
  std::array<List, kMinHashPermutations> lists;
  for (int i = 0; i < kMinHashPermutations; ++i) lists[i] = List{buckets_[i].docs(q[i]), i};
  std::sort(lists.begin(), lists.end(), [](const List& a, const List& b) { return a.docs.size() < b.docs.size(); });
  std::array<size_t, kMinHashPermutations + 1> after{};  // postings in lists[k..]
  for (int k = kMinHashPermutations - 1; k >= 0; --k) after[k] = after[k + 1] + lists[k].docs.size();

  QueryCounts& qc = thread_query_counts();
  std::vector<uint8_t>& counts = qc.counts;
  std::vector<uint32_t>& touched = qc.touched;
  if (counts.size() < ids_.limit()) counts.resize(ids_.limit());
  // touched[0..nt) are the documents counted so far; the vector is kept
  // long enough for a whole list to be written without checks (a branch
  // on each first count would be mispredicted half the time).
  size_t nt = 0;
  auto room_for = [&](size_t n) {
    if (touched.size() < nt + n) touched.resize(nt + n);
    return touched.data();
  };
  bool found = false;
  // A document near the text usually leads the counts early: at a few
  // checkpoints the leaders (up to eight documents holding the highest count
  // so far) are compared with the text at all positions, which settles the
  // answer long before the long lists when one of them is near enough.
  auto full_count = [&](uint32_t d) {
    const CompactSignature& s = sig(d);
    uint32_t c = 0;
    for (int i = 0; i < kMinHashPermutations; ++i) c += s[i] == q[i];
    return c;
  };
  std::array<uint32_t, 8> leaders;
  size_t nleaders = 0;
  uint32_t lead = 0;
  // Up to here every document may still reach the floor: plain counting.
  const int first_check = kMinHashPermutations - static_cast<int>(need) + 1;
  int k = 0;
  for (; k < first_check && !found; ++k) {
    if (k + 1 < kMinHashPermutations) __builtin_prefetch(lists[k + 1].docs.data());
    uint32_t* t = room_for(lists[k].docs.size());
    for (uint32_t d : lists[k].docs) {
      const uint32_t c = ++counts[d];
      t[nt] = d;
      nt += c == 1;
      if (c >= lead) {
        if (c > lead) {
          lead = c;
          nleaders = 0;
        }
        if (nleaders < leaders.size()) leaders[nleaders++] = d;
      }
    }
    if (lead >= need) found = true;
    if ((k + 1) % 16 == 0 && !found) {
      for (size_t i = 0; i < nleaders && !found; ++i) found = full_count(leaders[i]) >= need;
      nleaders = 0;  // checked: only documents reaching a higher count are looked at again
    }
  }
  if (!found) {
    // reached[c]: documents counted at least c, kept from here on.
    std::array<uint32_t, kMinHashPermutations + 2> reached{};
    for (size_t i = 0; i < nt; ++i) ++reached[counts[touched[i]]];
    for (int c = kMinHashPermutations; c >= 1; --c) reached[c] += reached[c + 1];
    for (; k < kMinHashPermutations && !found; ++k) {
      const uint32_t at_least = need - static_cast<uint32_t>(kMinHashPermutations - k);
      if (reached[at_least] == 0) break;  // nobody can reach the floor
      if (size_t{reached[at_least]} * 256 <= after[k]) {
        // Finishing a candidate by its signature (cache misses on scattered
        // values) costs about as much as counting a few hundred postings.
        std::vector<uint32_t>& cands = qc.candidates;
        cands.clear();
        for (size_t i = 0; i < nt; ++i)
          if (counts[touched[i]] >= at_least) cands.push_back(touched[i]);
        // Each candidate reads scattered values of its signature: the
        // signatures of the next few are fetched meanwhile.
        auto prefetch_sig = [&](uint32_t d) {
          const char* p = reinterpret_cast<const char*>(sig(d).data());
          for (size_t line = 0; line < sizeof(CompactSignature); line += 64) __builtin_prefetch(p + line);
        };
        constexpr size_t kAheadSigs = 4;
        for (size_t i = 0; i < std::min(kAheadSigs, cands.size()); ++i) prefetch_sig(cands[i]);
        for (size_t i = 0; i < cands.size() && !found; ++i) {
          if (i + kAheadSigs < cands.size()) prefetch_sig(cands[i + kAheadSigs]);
          const uint32_t d = cands[i];
          uint32_t c = counts[d];
          const CompactSignature& s = sig(d);
          for (int j = k; j < kMinHashPermutations; ++j) c += s[lists[j].position] == q[lists[j].position];
          found = c >= need;
        }
        break;
      }
      if (k + 1 < kMinHashPermutations) __builtin_prefetch(lists[k + 1].docs.data());
      uint32_t* t = room_for(lists[k].docs.size());
      for (uint32_t d : lists[k].docs) {
        const uint32_t c = ++counts[d];
        t[nt] = d;
        nt += c == 1;
        ++reached[c];
        if (c >= need) found = true;
      }
    }
  }
  for (size_t i = 0; i < nt; ++i) counts[touched[i]] = 0;
  return found;
}

RankedList NgramIndex::query(std::string_view text, size_t limit) const {
  RankedList out;
  CompactSignature q;
  if (limit == 0 || !signature_of(text, q)) return out;
  QueryCounts& qc = thread_query_counts();
  std::vector<uint8_t>& counts = qc.counts;
  std::vector<uint32_t>& touched = qc.touched;
  if (counts.size() < ids_.limit()) counts.resize(ids_.limit());
  uint8_t* cnt = counts.data();
  size_t nt = 0;
  for (int i = 0; i < kMinHashPermutations; ++i) {
    const std::span<const uint32_t> docs = buckets_[i].docs(q[i]);
    if (touched.size() < nt + docs.size()) touched.resize(nt + docs.size());
    uint32_t* t = touched.data();
    for (uint32_t d : docs) {
      t[nt] = d;
      nt += cnt[d]++ == 0;
    }
  }
  // Scores are count / 128, so the count orders hits as the score does.
  // Only the hits that can make the first `limit` (all sharing the
  // limit-th best count, ties included) are kept, found from a histogram
  // of the counts, and only they need their text hash.
  std::array<uint32_t, kMinHashPermutations + 1> with{};  // documents by count
  for (size_t i = 0; i < nt; ++i) ++with[cnt[touched[i]]];
  uint32_t boundary = 1;
  for (size_t above = 0, c = kMinHashPermutations; c >= 1; --c) {
    above += with[c];
    if (above >= limit) {
      boundary = static_cast<uint32_t>(c);
      break;
    }
  }
  struct Hit {
    uint32_t count;
    uint32_t doc;
    uint64_t hash;
  };
  std::vector<Hit> hits;
  for (size_t i = 0; i < nt; ++i) {
    const uint32_t d = touched[i];
    if (cnt[d] >= boundary) hits.push_back(Hit{cnt[d], d, 0});
    cnt[d] = 0;
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

RankedList collect_ngram(const NgramIndex& index, const RecordLookup& records, std::string_view query, size_t top_k,
                         std::span<const std::string> namespaces, std::vector<size_t>* limits) {
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
