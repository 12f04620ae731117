// The term dictionary of the BM25 index: term text -> term number.
//
// A flat open-addressing table (linear probing, backward-shift deletion) of
// 8-byte entries: the term's 32-bit hash and its number. The texts live with
// the terms (the caller's `text_of`), so a lookup reads one slot and then the
// term it names, and a caller that knows several hashes ahead can prefetch
// their slots before any lookup (a new record looks up all its terms).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "index/prefetch.h"

namespace vesk {

class TermTable {
 public:
  static constexpr uint32_t kNone = 0xffffffffu;

  static uint32_t hash_of(std::string_view term);

  void prefetch(uint32_t hash) const {
    if (!slots_.empty()) prefetch_line(&slots_[home(hash)]);
  }

  // The number of the term, or kNone. text_of(t) gives the text of term t.
  template <class TextOf>
  uint32_t find(uint32_t hash, std::string_view term, const TextOf& text_of) const {
    if (slots_.empty()) return kNone;
    for (size_t i = home(hash);; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.term == kNone) return kNone;
      if (s.hash == hash && text_of(s.term) == term) return s.term;
    }
  }

  // Adds a term that is not in the table.
  void insert(uint32_t hash, uint32_t term);
  // Removes term number `term`, filed under `hash`.
  void erase(uint32_t hash, uint32_t term);

  size_t size() const { return used_; }

 private:
  struct Slot {
    uint32_t hash;
    uint32_t term;  // kNone: empty
  };
  size_t home(uint32_t hash) const { return (hash * 0x9e3779b1u) >> shift_; }
  void grow();

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  int shift_ = 32;
  size_t used_ = 0;
};

}  // namespace vesk
