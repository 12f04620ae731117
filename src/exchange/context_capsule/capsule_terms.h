// The words a context capsule matches a purpose by.
//
// A text is split at every character that is not alphanumeric in the Unicode
// sense (Alphabetic, or a number): underscores, hyphens, punctuation and
// white space all split. Pieces of fewer than 2 code points are dropped; the
// others are lower-cased with the full Unicode mapping. The terms of a text
// are the distinct pieces in UTF-8 byte order.
//
// A capsule build computes the purpose's terms once and then only asks, per
// record, how many of them the record shares: CapsuleTermMatcher answers
// that in one pass over the record's texts without building the record's own
// term set, reading ASCII a byte at a time and lower-casing only the pieces
// that could match.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The distinct terms of `text`, sorted by bytes.
std::vector<std::string> capsule_terms(std::string_view text);

class CapsuleTermMatcher {
 public:
  explicit CapsuleTermMatcher(std::string_view purpose);

  // The purpose's terms, sorted by bytes.
  const std::vector<std::string>& terms() const { return terms_; }

  // The number of purpose terms among the terms of the content, the tags and
  // the semantic type together (as if joined by blanks, which always split).
  // Not for two threads at once: it keeps its marks in the matcher.
  uint64_t shared_terms(std::string_view content, std::span<const std::string> tags,
                        std::string_view semantic_type) const;

 private:
  // Marks the term equal to `lowered` (whose hash is `hash`) as seen;
  // returns true the first time in this pass.
  bool mark(std::string_view lowered, uint64_t hash) const;

  std::vector<std::string> terms_;
  // Open addressing over the terms by hash: (hash, index + 1), 0 empty; at
  // most half full.
  std::vector<std::pair<uint64_t, uint32_t>> table_;
  // Per first byte of an ASCII-only term: bit n set when such a term has n
  // bytes (n < 64), bit 0 when one is longer. An ASCII piece is looked up
  // only when its lower-cased first byte and its length fit.
  std::array<uint64_t, 128> ascii_lengths_{};
  // Per term, the pass that last saw it; a pass is one shared_terms call.
  mutable std::vector<uint64_t> seen_;
  mutable uint64_t pass_ = 0;
};

}  // namespace vesk
