// FlatMap: a map with no allocation per entry, for the store's large side
// tables (one insertion per new record): FlatStringMap keyed by text (record
// ids), FlatHashMap keyed by a 64-bit hash the caller computed.
//
// The entries (key, value) live side by side in one vector, in no particular
// order: an erase moves the last entry into the gap. They are found through
// an open-addressing index of (32-bit hash, entry number) pairs: linear
// probing, backward-shift deletion, at most three quarters full, grown by
// doubling without rehashing a key (the hash is kept). A lookup reads one
// index line and then the entry it names; a key that is absent costs the
// index line alone.
//
// Pointers to values stay valid until the next insertion or erase.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/string_hash.h"
#include "model/backward_shift.h"

namespace vesk {

// How a FlatMap holds and finds its keys: the stored Key, the Lookup form
// that searches take, the 32 bits of hash the index keeps.
struct StringKeys {
  using Key = std::string;
  using Lookup = std::string_view;
  static uint32_t hash(Lookup key) { return static_cast<uint32_t>(hash_string(key) >> 32); }
};
// Keys that are hashes already (well mixed): their high half is the index's.
struct HashKeys {
  using Key = uint64_t;
  using Lookup = uint64_t;
  static uint32_t hash(Lookup key) { return static_cast<uint32_t>(key >> 32); }
};

template <class Keys, class V>
class FlatMap {
 public:
  using Key = typename Keys::Key;
  using Lookup = typename Keys::Lookup;
  using value_type = std::pair<Key, V>;

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  V* find(Lookup key) {
    const size_t i = slot_of(key, hash_of(key));
    return i == kNoSlot || index_[i].entry == kEmpty ? nullptr : &entries_[index_[i].entry].second;
  }
  const V* find(Lookup key) const { return const_cast<FlatMap*>(this)->find(key); }
  bool contains(Lookup key) const { return find(key) != nullptr; }
  // Starts loading the index line a lookup of the key begins with, so that
  // a find() issued a little later does not wait for memory.
  void prefetch(Lookup key) const {
    if (!index_.empty()) __builtin_prefetch(&index_[home(hash_of(key))]);
  }
  // The key's value; std::out_of_range when absent.
  const V& at(Lookup key) const {
    if (const V* v = find(key)) return *v;
    throw std::out_of_range("FlatMap::at");
  }

  // Sets the key's value, adding the key when it is absent. True when added.
  template <class T>
  bool insert_or_assign(Lookup key, T&& value) {
    auto [v, added] = slot_for_insert(key);
    *v = std::forward<T>(value);
    return added;
  }
  // The key's value, added default-constructed when absent.
  V& operator[](Lookup key) { return *slot_for_insert(key).first; }

  // True when the key was there.
  bool erase(Lookup key) {
    const size_t i = slot_of(key, hash_of(key));
    if (i == kNoSlot || index_[i].entry == kEmpty) return false;
    const uint32_t gone = index_[i].entry;
    erase_by_backward_shift(
        index_.data(), mask_, i, [](const Slot& s) { return s.entry == kEmpty; },
        [this](const Slot& s) { return home(s.hash); }, [](Slot& s) { s = Slot{0, kEmpty}; });
    const uint32_t last = static_cast<uint32_t>(entries_.size() - 1);
    if (gone != last) {
      // The last entry moves into the gap; its index slot follows it.
      const uint32_t h = hash_of(Lookup(entries_[last].first));
      size_t j = home(h);
      while (index_[j].entry != last) j = (j + 1) & mask_;
      index_[j].entry = gone;
      entries_[gone] = std::move(entries_[last]);
    }
    entries_.pop_back();
    return true;
  }

  void clear() {
    index_.clear();
    entries_.clear();
    mask_ = 0;
    shift_ = 32;
  }

  // The entries, in no particular order.
  const std::vector<value_type>& entries() const { return entries_; }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  static constexpr uint32_t kEmpty = 0xffffffffu;
  static constexpr size_t kNoSlot = ~size_t{0};
  struct Slot {
    uint32_t hash;
    uint32_t entry;  // kEmpty: an empty slot
  };

  static uint32_t hash_of(Lookup key) { return Keys::hash(key); }
  size_t home(uint32_t hash) const { return (hash * 0x9e3779b1u) >> shift_; }

  // The key's slot, or the empty slot where it would go; kNoSlot while the
  // index is empty.
  size_t slot_of(Lookup key, uint32_t hash) const {
    if (index_.empty()) return kNoSlot;
    for (size_t i = home(hash);; i = (i + 1) & mask_) {
      const Slot& s = index_[i];
      if (s.entry == kEmpty || (s.hash == hash && Lookup(entries_[s.entry].first) == key)) return i;
    }
  }

  std::pair<V*, bool> slot_for_insert(Lookup key) {
    if ((entries_.size() + 1) * 4 > index_.size() * 3) grow();
    const uint32_t hash = hash_of(key);
    Slot& s = index_[slot_of(key, hash)];
    if (s.entry != kEmpty) return {&entries_[s.entry].second, false};
    s = Slot{hash, static_cast<uint32_t>(entries_.size())};
    entries_.emplace_back(Key(key), V{});
    return {&entries_.back().second, true};
  }

  void grow() {
    std::vector<Slot> old = std::move(index_);
    const size_t capacity = old.empty() ? 16 : old.size() * 2;
    index_.assign(capacity, Slot{0, kEmpty});
    mask_ = capacity - 1;
    shift_ = 32 - std::countr_zero(capacity);
    for (const Slot& s : old) {
      if (s.entry == kEmpty) continue;
      size_t i = home(s.hash);
      while (index_[i].entry != kEmpty) i = (i + 1) & mask_;
      index_[i] = s;
    }
  }

  std::vector<Slot> index_;  // empty, or a power of two of slots
  size_t mask_ = 0;
  int shift_ = 32;
  std::vector<value_type> entries_;
};

template <class V>
using FlatStringMap = FlatMap<StringKeys, V>;
template <class V>
using FlatHashMap = FlatMap<HashKeys, V>;

}  // namespace vesk
