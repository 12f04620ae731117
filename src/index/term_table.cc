#include "index/term_table.h"

#include <xxhash.h>

#include <bit>

#include "model/backward_shift.h"

namespace vesk {

uint32_t TermTable::hash_of(std::string_view term) {
  return static_cast<uint32_t>(XXH3_64bits(term.data(), term.size()));
}

void TermTable::grow() {
  std::vector<Slot> old = std::move(slots_);
  const size_t cap = old.empty() ? 64 : old.size() * 2;
  slots_.assign(cap, Slot{0, kNone});
  mask_ = cap - 1;
  shift_ = 32 - std::countr_zero(cap);
  for (const Slot& s : old) {
    if (s.term == kNone) continue;
    size_t i = home(s.hash);
    while (slots_[i].term != kNone) i = (i + 1) & mask_;
    slots_[i] = s;
  }
}

void TermTable::insert(uint32_t hash, uint32_t term) {
  if ((used_ + 1) * 4 > slots_.size() * 3) grow();  // load factor at most 3/4
  size_t i = home(hash);
  while (slots_[i].term != kNone) i = (i + 1) & mask_;
  slots_[i] = Slot{hash, term};
  ++used_;
}

void TermTable::erase(uint32_t hash, uint32_t term) {
  if (slots_.empty()) return;
  size_t i = home(hash);
  for (;; i = (i + 1) & mask_) {
    if (slots_[i].term == kNone) return;
    if (slots_[i].term == term) break;
  }
  erase_by_backward_shift(
      slots_.data(), mask_, i, [](const Slot& s) { return s.term == kNone; },
      [this](const Slot& s) { return home(s.hash); }, [](Slot& s) { s = Slot{0, kNone}; });
  --used_;
}

}  // namespace vesk
