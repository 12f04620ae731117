// The bucket map of one MinHash signature position: value -> documents.
//
// A flat open-addressing table (linear probing, backward-shift deletion) of
// 8-byte entries. Nearly every value belongs to one document, which the entry
// holds inline; a value shared by several documents (near-duplicate texts)
// points to a list kept aside. No allocation per value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "index/prefetch.h"

namespace vesk {

class SignatureBuckets {
 public:
  // Document numbers must be below 2^31.
  void add(uint32_t value, uint32_t doc);
  // Removes every occurrence of the document under the value.
  void remove(uint32_t value, uint32_t doc);

  template <class F>
  void for_each(uint32_t value, F&& f) const {
    if (table_.empty()) return;
    for (size_t i = home(value);; i = (i + 1) & mask_) {
      const Entry& e = table_[i];
      if (e.value == kEmpty) return;
      if (e.value != value) continue;
      if (e.ref & kList) {
        for (uint32_t d : lists_[e.ref & ~kList]) f(d);
      } else {
        f(e.ref);
      }
      return;
    }
  }

  // The documents under a value (empty when none), valid until the next
  // change of the buckets.
  std::span<const uint32_t> documents(uint32_t value) const {
    if (table_.empty()) return {};
    for (size_t i = home(value);; i = (i + 1) & mask_) {
      const Entry& e = table_[i];
      if (e.value == kEmpty) return {};
      if (e.value != value) continue;
      if (e.ref & kList) return lists_[e.ref & ~kList];
      return std::span<const uint32_t>(&e.ref, 1);
    }
  }

  size_t values() const { return used_; }

  // Asks for the cache line where a lookup or add of the value starts: the
  // callers touch one value in each of 128 tables, so issuing all 128
  // before the first lookup overlaps their cache misses.
  void prefetch(uint32_t value) const {
    if (!table_.empty()) prefetch_line(&table_[home(value)]);
  }
  // The next stage for a value that has a list (most values of a large
  // index are shared by several documents): its list's record. Looks the
  // value up in the table, whose line prefetch() fetched.
  void prefetch_list(uint32_t value) const {
    if (const Entry* e = listed(value)) prefetch_line(&lists_[e->ref & ~kList]);
  }

  // An add in stages, for a caller that adds to many tables at once and
  // overlaps their cache misses: make_room() first (it may grow the table),
  // then prefetch(value); slot_of(value) once that line has landed (it
  // fetches the value's list record); prefetch_list_end(slot) once that has
  // landed; add_at(slot, value, doc) last. The slot holds until the next
  // change of the table. add() is the same in one call.
  void make_room() {
    if ((used_ + 1) * 4 > table_.size() * 3) grow();  // load factor at most 3/4
  }
  size_t slot_of(uint32_t value) const {
    const size_t i = find_slot(value);
    const Entry& e = table_[i];
    if (e.value != kEmpty && (e.ref & kList)) prefetch_line(&lists_[e.ref & ~kList]);
    return i;
  }
  void prefetch_list_end(size_t slot) const {
    const Entry& e = table_[slot];
    if (e.value == kEmpty || !(e.ref & kList)) return;
    const std::vector<uint32_t>& list = lists_[e.ref & ~kList];
    prefetch_line(list.data() + list.size());
  }
  void add_at(size_t slot, uint32_t value, uint32_t doc);

 private:
  struct Entry {
    uint32_t value;
    uint32_t ref;  // a document, or kList | index into lists_
  };
  static constexpr uint32_t kEmpty = 0xffffffffu;  // signature values are below 2^31 - 1
  static constexpr uint32_t kList = 0x80000000u;

  size_t home(uint32_t value) const { return (value * 0x9e3779b1u) >> shift_; }
  // The value's entry when it points to a list, else null.
  const Entry* listed(uint32_t value) const {
    if (table_.empty()) return nullptr;
    for (size_t i = home(value);; i = (i + 1) & mask_) {
      const Entry& e = table_[i];
      if (e.value == kEmpty) return nullptr;
      if (e.value == value) return (e.ref & kList) ? &e : nullptr;
    }
  }
  // The value's slot, or its empty slot.
  size_t find_slot(uint32_t value) const {
    size_t i = home(value);
    while (table_[i].value != kEmpty && table_[i].value != value) i = (i + 1) & mask_;
    return i;
  }
  void grow();
  void erase_slot(size_t i);

  std::vector<Entry> table_;
  size_t mask_ = 0;
  int shift_ = 32;
  size_t used_ = 0;
  std::vector<std::vector<uint32_t>> lists_;
  std::vector<uint32_t> free_lists_;
};

}  // namespace vesk
