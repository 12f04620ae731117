#include "index/substring_index.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <utility>

#include "model/unicode_case.h"

namespace vesk {
namespace {

// Intersecting more sets than this rarely removes a candidate that the
// substring test would not: the rarest few sets decide.
constexpr size_t kMaxIntersected = 6;

}  // namespace

std::vector<uint32_t> text_trigrams(std::string_view text) {
  std::vector<uint32_t> grams;
  if (text.size() < SubstringIndex::kGram) return grams;
  grams.reserve(text.size() - 2);
  for (size_t i = 0; i + 2 < text.size(); ++i) {
    grams.push_back(uint32_t{static_cast<uint8_t>(text[i])} << 16 | uint32_t{static_cast<uint8_t>(text[i + 1])} << 8 |
                    uint32_t{static_cast<uint8_t>(text[i + 2])});
  }
  std::sort(grams.begin(), grams.end());
  grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
  return grams;
}

void SubstringIndex::post(uint32_t doc, std::string_view lowered) {
  for (uint32_t g : text_trigrams(lowered)) postings_[g].add(doc);
}

void SubstringIndex::unpost(uint32_t doc, std::string_view lowered) {
  for (uint32_t g : text_trigrams(lowered)) {
    auto it = postings_.find(g);
    if (it == postings_.end()) continue;
    it->second.remove(doc);
    if (it->second.isEmpty()) postings_.erase(it);
  }
}

void SubstringIndex::insert(std::string_view id, std::string_view content) {
  remove(id);
  const uint32_t doc = ids_.intern(id);
  if (lowered_.size() <= doc) lowered_.resize(doc + 1);
  lowered_[doc] = to_lower_full(content);
  post(doc, lowered_[doc]);
}

void SubstringIndex::remove(std::string_view id) {
  const std::optional<uint32_t> doc = ids_.find(id);
  if (!doc) return;
  unpost(*doc, lowered_[*doc]);
  std::string().swap(lowered_[*doc]);
  ids_.release(*doc);
}

void SubstringIndex::insert_all(std::span<const Entry> entries) {
  std::vector<std::string> texts(entries.size());
  tbb::parallel_for(size_t{0}, entries.size(), [&](size_t i) { texts[i] = to_lower_full(entries[i].text); });
  for (size_t i = 0; i < entries.size(); ++i) {
    const uint32_t doc = ids_.intern(entries[i].id);
    if (lowered_.size() <= doc) lowered_.resize(doc + 1);
    lowered_[doc] = std::move(texts[i]);
  }
  // Each share files its trigrams in ascending document number, so every add
  // goes to the end of a bitmap; adding a document twice changes nothing.
  constexpr uint32_t kShareBits = 4;
  std::vector<std::unordered_map<uint32_t, Roaring>> shares(size_t{1} << kShareBits);
  tbb::parallel_for(size_t{0}, shares.size(), [&](size_t share) {
    std::unordered_map<uint32_t, Roaring>& mine = shares[share];
    for (uint32_t doc = 0; doc < ids_.limit(); ++doc) {
      if (!ids_.in_use(doc)) continue;
      const std::string& t = lowered_[doc];
      for (size_t i = 0; i + 2 < t.size(); ++i) {
        const uint32_t g = uint32_t{static_cast<uint8_t>(t[i])} << 16 | uint32_t{static_cast<uint8_t>(t[i + 1])} << 8 |
                           uint32_t{static_cast<uint8_t>(t[i + 2])};
        if (((g * 0x9e3779b1u) >> (32 - kShareBits)) == share) mine[g].add(doc);
      }
    }
  });
  for (auto& share : shares) {
    for (auto& [g, set] : share) postings_.emplace(g, std::move(set));
  }
}

std::vector<uint32_t> SubstringIndex::docs_containing(std::string_view lowered_query) const {
  std::vector<uint32_t> docs;
  auto verified = [&](uint32_t doc) {
    if (lowered_[doc].find(lowered_query) != std::string::npos) docs.push_back(doc);
  };
  if (lowered_query.size() < kGram) {
    for (uint32_t doc = 0; doc < ids_.limit(); ++doc)
      if (ids_.in_use(doc)) verified(doc);
    return docs;
  }
  std::vector<const Roaring*> sets;
  for (uint32_t g : text_trigrams(lowered_query)) {
    auto it = postings_.find(g);
    if (it == postings_.end()) return docs;  // a trigram no record holds
    sets.push_back(&it->second);
  }
  std::sort(sets.begin(), sets.end(),
            [](const Roaring* a, const Roaring* b) { return a->cardinality() < b->cardinality(); });
  if (sets.size() > kMaxIntersected) sets.resize(kMaxIntersected);
  Roaring candidates = *sets.front();
  for (size_t i = 1; i < sets.size() && !candidates.isEmpty(); ++i) candidates &= *sets[i];
  for (uint32_t doc : candidates) verified(doc);
  return docs;
}

size_t SubstringIndex::memory_bytes() const {
  size_t bytes = lowered_.capacity() * sizeof(std::string);
  for (const std::string& s : lowered_)
    if (s.capacity() > 15) bytes += s.capacity() + 1;  // beyond the small-string buffer
  // A map node: the key, the bitmap's header, the links and the bucket.
  bytes += postings_.bucket_count() * sizeof(void*);
  for (const auto& [g, set] : postings_) bytes += sizeof(g) + sizeof(set) + 2 * sizeof(void*) + set.getSizeInBytes(false);
  bytes += ids_.limit() * (sizeof(std::string) + 8);  // the id table
  return bytes;
}

}  // namespace vesk
