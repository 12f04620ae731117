// Deletion in a linear-probing hash table without tombstones.
//
// The tables of the indexes (record map index, n-gram buckets, BM25 term
// dictionary) probe linearly in a power-of-two array. Erasing slot `hole`
// pulls each later entry of the same run back into the hole when the hole
// lies on that entry's probe path (between its home slot and its place),
// then empties the last hole. `empty(slot)` tells an empty slot, `home(slot)`
// the home index of a full one; `clear(slot)` empties one.
#pragma once

#include <cstddef>

namespace vesk {

template <class Slot, class IsEmpty, class Home, class Clear>
void erase_by_backward_shift(Slot* slots, size_t mask, size_t hole, IsEmpty empty, Home home, Clear clear) {
  for (size_t j = (hole + 1) & mask; !empty(slots[j]); j = (j + 1) & mask) {
    // Distances along the run, so that a run wrapping past the end needs no
    // special case.
    if (((j - home(slots[j])) & mask) >= ((j - hole) & mask)) {
      slots[hole] = slots[j];
      hole = j;
    }
  }
  clear(slots[hole]);
}

}  // namespace vesk
