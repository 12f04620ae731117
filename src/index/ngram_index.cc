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
