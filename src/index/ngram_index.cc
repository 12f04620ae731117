#include "index/ngram_index.h"

#include <xxhash.h>

#include <algorithm>

namespace vesk {

NgramIndex::NgramIndex() { (void)minhash_coefficients(); }

void NgramIndex::insert(std::string_view id, std::string_view text) {
  remove(id);
  const std::vector<uint64_t> shingles = shingle_text(text);
  if (shingles.empty()) return;
  const uint32_t d = ids_.intern(id);
  while (chunks_.size() * kChunk <= d) chunks_.push_back(std::make_unique<Chunk>());
  CompactSignature& s = sig(d);
  compact_signature(shingles, s);
  hash(d) = XXH3_64bits(text.data(), text.size());
  for (int i = 0; i < kMinHashPermutations; ++i) buckets_[i].add(s[i], d);
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

RankedList NgramIndex::query(std::string_view text, size_t limit) const {
  RankedList out;
  const std::vector<uint64_t> shingles = shingle_text(text);
  if (shingles.empty() || limit == 0) return out;
  CompactSignature q;
  compact_signature(shingles, q);
  // Counts by document, kept per thread between queries; at most 128 each.
  thread_local std::vector<uint8_t> counts;
  thread_local std::vector<uint32_t> touched;
  if (counts.size() < ids_.limit()) counts.resize(ids_.limit());
  for (int i = 0; i < kMinHashPermutations; ++i)
    buckets_[i].for_each(q[i], [&](uint32_t d) {
      if (counts[d]++ == 0) touched.push_back(d);
    });
  struct Hit {
    float score;
    uint64_t hash;
    uint32_t doc;
  };
  std::vector<Hit> hits;
  hits.reserve(touched.size());
  for (uint32_t d : touched) {
    hits.push_back(Hit{static_cast<float>(counts[d]) / static_cast<float>(kMinHashPermutations), hash(d), d});
    counts[d] = 0;
  }
  touched.clear();
  // Every indexed id has a text hash, so the order is on (score, hash, id).
  auto before = [this](const Hit& a, const Hit& b) {
    return ngram_hit_order(a.score, a.hash, ids_.id(a.doc), b.score, b.hash, ids_.id(b.doc));
  };
  const size_t keep = std::min(limit, hits.size());
  std::partial_sort(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(keep), hits.end(), before);
  out.reserve(keep);
  for (size_t i = 0; i < keep; ++i) out.emplace_back(ids_.id(hits[i].doc), hits[i].score);
  return out;
}

bool NgramIndex::has_match_of_at_least(std::string_view text, int positions, size_t compare_budget) const {
  if (positions <= 0) return ids_.size() > 0;
  if (positions > kMinHashPermutations) return false;
  const std::vector<uint64_t> shingles = shingle_text(text);
  if (shingles.empty()) return false;
  CompactSignature q;
  compact_signature(shingles, q);
  std::array<std::span<const uint32_t>, kMinHashPermutations> lists;
  size_t n = 0;
  for (int i = 0; i < kMinHashPermutations; ++i) {
    std::span<const uint32_t> docs = buckets_[i].documents(q[i]);
    if (!docs.empty()) lists[n++] = docs;
  }
  const size_t need = static_cast<size_t>(positions);
  if (n < need) return false;
  std::sort(lists.begin(), lists.begin() + static_cast<ptrdiff_t>(n),
            [](const auto& a, const auto& b) { return a.size() < b.size(); });

  // Two phases over the lists, shortest first. Phase one compares each new
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
  std::vector<uint8_t>& marks = marks_storage;  // compared: 0xff; else count in phase two
  std::vector<uint32_t>& touched = touched_storage;
  if (marks.size() < ids_.limit()) marks.resize(ids_.limit());
  bool found = false;
  size_t k = 0, compared = 0;
  for (; k < prefix && !found && compared < compare_budget; ++k) {
    for (uint32_t d : lists[k]) {
      if (marks[d]) continue;
      marks[d] = 0xff;
      touched.push_back(d);
      ++compared;
      const CompactSignature& s = sig(d);
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
