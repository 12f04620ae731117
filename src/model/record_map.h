// RecordMap: the in-memory record map of a store, record id -> record, that
// iterates in insertion order.
//
// Operations that list "in map order" (the duplicate check of the store
// road, load-time repairs, reports) follow this order, so it must be fixed
// and cheap to compare: a record keeps the place of its first insertion
// until it is erased, replacing its value keeps that place, and a record
// inserted later comes later. Journal replay inserts in the order the
// journal holds, so a reopened store iterates as the running one did.
//
// The interface is the subset of std::unordered_map the store uses, with the
// same guarantees: references to elements stay valid until the element is
// erased; iterators stay valid across erasures of other elements, and an
// insertion may invalidate iterators (not references). `order(it)` ranks an
// element: of two elements, the one with the smaller rank comes first. Ranks
// change when the map compacts (on insertion) but their order does not.
//
// Layout: the elements live in their own heap nodes; a slot vector holds
// them in insertion order (null where one was erased) and a hash index maps
// each key to its slot and node. An insertion compacts the slots first when
// more than half are empty.
//
// The index is an open-addressing table (linear probing, backward-shift
// deletion, at most three quarters full) of (hash, node, slot) entries: a
// lookup reads one entry, skips other keys by their full hash, and then
// reads the node it was looking for, so a recall that looks up hundreds of
// records pays about two cache misses for each instead of four.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/backward_shift.h"
#include "model/record.h"
#include "base/string_hash.h"

namespace vesk {

// The hash index of an OrderedStringMap (see the top of the file). Node is
// the map's element type; its `first` is the key.
template <class Node>
class SlotIndex {
 public:
  struct Entry {
    uint64_t hash = 0;
    Node* node = nullptr;  // null: an empty entry
    size_t pos = 0;
  };

  SlotIndex() = default;
  SlotIndex(const SlotIndex&) = delete;
  SlotIndex& operator=(const SlotIndex&) = delete;
  SlotIndex(SlotIndex&& other) noexcept { swap(other); }
  SlotIndex& operator=(SlotIndex&& other) noexcept {
    if (this != &other) {
      clear();
      swap(other);
    }
    return *this;
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  Entry* find(std::string_view key) {
    if (table_.empty()) return nullptr;
    const uint64_t h = hash_of(key);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      Entry& e = table_[i];
      if (!e.node) return nullptr;
      if (e.hash == h && std::string_view(e.node->first) == key) return &e;
    }
  }
  const Entry* find(std::string_view key) const { return const_cast<SlotIndex*>(this)->find(key); }
  // Where a lookup of the key starts reading, or null for an empty index: a
  // caller about to look up several keys fetches these lines first.
  const void* probe_start(std::string_view key) const {
    return table_.empty() ? nullptr : &table_[hash_of(key) & mask_];
  }

  // The node's key must not be in the index yet.
  void insert(Node* node, size_t pos) {
    if ((size_ + 1) * 4 > table_.size() * 3) rebuild(std::max<size_t>(16, table_.size() * 2));
    place(Entry{hash_of(node->first), node, pos});
    ++size_;
  }

  // `e` must come from find() with no change to the index since.
  void erase(Entry* e) {
    erase_by_backward_shift(
        table_.data(), mask_, static_cast<size_t>(e - table_.data()), [](const Entry& x) { return !x.node; },
        [this](const Entry& x) { return x.hash & mask_; }, [](Entry& x) { x = Entry{}; });
    --size_;
  }

  void clear() {
    table_.clear();
    mask_ = 0;
    size_ = 0;
  }
  void reserve(size_t n) {
    size_t capacity = 16;
    while (capacity * 3 < n * 4) capacity *= 2;
    if (capacity > table_.size()) rebuild(capacity);
  }
  void swap(SlotIndex& other) noexcept {
    table_.swap(other.table_);
    std::swap(mask_, other.mask_);
    std::swap(size_, other.size_);
  }

 private:
  static uint64_t hash_of(std::string_view key) { return StringHash{}(key); }
  void place(const Entry& in) {
    for (size_t i = in.hash & mask_;; i = (i + 1) & mask_) {
      if (!table_[i].node) {
        table_[i] = in;
        return;
      }
    }
  }
  // capacity: a power of two above the entries held.
  void rebuild(size_t capacity) {
    std::vector<Entry> old(capacity);
    old.swap(table_);
    mask_ = capacity - 1;
    for (const Entry& e : old)
      if (e.node) place(e);
  }

  std::vector<Entry> table_;  // empty, or a power of two of entries
  size_t mask_ = 0;
  size_t size_ = 0;
};

template <class V>
class OrderedStringMap {
 public:
  using key_type = std::string;
  using mapped_type = V;
  using value_type = std::pair<const std::string, V>;
  using size_type = size_t;
  using difference_type = std::ptrdiff_t;
  using reference = value_type&;
  using const_reference = const value_type&;

 private:
  using Slots = std::vector<std::unique_ptr<value_type>>;

  template <bool kConst>
  class Iter {
    using SlotsPtr = std::conditional_t<kConst, const Slots*, Slots*>;

   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = OrderedStringMap::value_type;
    using difference_type = std::ptrdiff_t;
    using pointer = std::conditional_t<kConst, const value_type*, value_type*>;
    using reference = std::conditional_t<kConst, const value_type&, value_type&>;

    Iter() = default;
    Iter(SlotsPtr slots, size_t pos) : slots_(slots), pos_(pos) { skip(); }
    template <bool kOther, class = std::enable_if_t<kConst && !kOther>>
    Iter(const Iter<kOther>& other) : slots_(other.slots_), pos_(other.pos_) {}

    reference operator*() const { return *(*slots_)[pos_]; }
    pointer operator->() const { return (*slots_)[pos_].get(); }
    Iter& operator++() {
      ++pos_;
      skip();
      return *this;
    }
    Iter operator++(int) {
      Iter old = *this;
      ++*this;
      return old;
    }
    template <bool kOther>
    bool operator==(const Iter<kOther>& other) const {
      return pos_ == other.pos_;
    }

   private:
    friend class OrderedStringMap;
    template <bool>
    friend class Iter;
    void skip() {
      while (slots_ && pos_ < slots_->size() && !(*slots_)[pos_]) ++pos_;
    }
    SlotsPtr slots_ = nullptr;
    size_t pos_ = 0;
  };

 public:
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  OrderedStringMap() = default;
  OrderedStringMap(std::initializer_list<value_type> init) {
    for (const value_type& v : init) try_emplace(v.first, v.second);
  }
  OrderedStringMap(const OrderedStringMap& other) { copy_from(other); }
  OrderedStringMap& operator=(const OrderedStringMap& other) {
    if (this != &other) {
      clear();
      copy_from(other);
    }
    return *this;
  }
  // Moving keeps the nodes, so the index's key views stay valid.
  OrderedStringMap(OrderedStringMap&&) noexcept = default;
  OrderedStringMap& operator=(OrderedStringMap&&) noexcept = default;

  iterator begin() { return iterator(&slots_, 0); }
  iterator end() { return iterator(&slots_, slots_.size()); }
  const_iterator begin() const { return const_iterator(&slots_, 0); }
  const_iterator end() const { return const_iterator(&slots_, slots_.size()); }
  const_iterator cbegin() const { return begin(); }
  const_iterator cend() const { return end(); }

  size_t size() const { return index_.size(); }
  bool empty() const { return index_.empty(); }

  void clear() {
    index_.clear();
    slots_.clear();
  }
  void reserve(size_t n) {
    slots_.reserve(n);
    index_.reserve(n);
  }
  void swap(OrderedStringMap& other) noexcept {
    slots_.swap(other.slots_);
    index_.swap(other.index_);
  }

  iterator find(std::string_view key) {
    auto* e = index_.find(key);
    return e ? iterator(&slots_, e->pos) : end();
  }
  const_iterator find(std::string_view key) const {
    auto* e = index_.find(key);
    return e ? const_iterator(&slots_, e->pos) : end();
  }
  // The value under the key, or null: a lookup that needs no iterator and
  // so never reads the slot vector.
  V* find_value(std::string_view key) {
    auto* e = index_.find(key);
    return e ? &e->node->second : nullptr;
  }
  const V* find_value(std::string_view key) const {
    auto* e = index_.find(key);
    return e ? &e->node->second : nullptr;
  }
  bool contains(std::string_view key) const { return index_.find(key) != nullptr; }
  // The memory a lookup of the key reads first (see SlotIndex::probe_start).
  const void* probe_start(std::string_view key) const { return index_.probe_start(key); }
  size_t count(std::string_view key) const { return contains(key) ? 1 : 0; }

  V& at(std::string_view key) {
    V* v = find_value(key);
    if (!v) throw std::out_of_range("OrderedStringMap::at");
    return *v;
  }
  const V& at(std::string_view key) const {
    const V* v = find_value(key);
    if (!v) throw std::out_of_range("OrderedStringMap::at");
    return *v;
  }
  V& operator[](std::string_view key) { return try_emplace(key).first->second; }

  // Inserts when the key is absent; a present key keeps its value and place.
  template <class K, class... Args>
  std::pair<iterator, bool> try_emplace(K&& key, Args&&... args) {
    std::string_view view(key);
    if (auto* e = index_.find(view)) return {iterator(&slots_, e->pos), false};
    return {append(std::forward<K>(key), std::forward<Args>(args)...), true};
  }
  template <class K, class M>
  std::pair<iterator, bool> emplace(K&& key, M&& value) {
    return try_emplace(std::forward<K>(key), std::forward<M>(value));
  }
  std::pair<iterator, bool> insert(const value_type& v) { return try_emplace(v.first, v.second); }
  std::pair<iterator, bool> insert(value_type&& v) { return try_emplace(v.first, std::move(v.second)); }
  // Replaces the value of a present key in its place, or appends.
  template <class K, class M>
  std::pair<iterator, bool> insert_or_assign(K&& key, M&& value) {
    std::string_view view(key);
    if (auto* e = index_.find(view)) {
      e->node->second = std::forward<M>(value);
      return {iterator(&slots_, e->pos), false};
    }
    return {append(std::forward<K>(key), std::forward<M>(value)), true};
  }

  size_t erase(std::string_view key) {
    auto* e = index_.find(key);
    if (!e) return 0;
    const size_t pos = e->pos;
    index_.erase(e);
    slots_[pos].reset();
    return 1;
  }
  iterator erase(const_iterator pos) {
    size_t p = pos.pos_;
    index_.erase(index_.find(slots_[p]->first));
    slots_[p].reset();
    return iterator(&slots_, p + 1);
  }
  iterator erase(iterator pos) { return erase(const_iterator(pos)); }

  template <class Pred>
  friend size_t erase_if(OrderedStringMap& map, Pred pred) {
    size_t removed = 0;
    for (auto it = map.begin(); it != map.end();) {
      if (pred(static_cast<const value_type&>(*it))) {
        it = map.erase(it);
        ++removed;
      } else {
        ++it;
      }
    }
    return removed;
  }

  // The element's rank in the iteration order (see the top of the file).
  size_t order(const_iterator it) const { return it.pos_; }

  // Equal when both hold the same keys with equal values, in any order.
  friend bool operator==(const OrderedStringMap& a, const OrderedStringMap& b) {
    if (a.size() != b.size()) return false;
    for (const value_type& v : a) {
      auto it = b.find(v.first);
      if (it == b.end() || !(it->second == v.second)) return false;
    }
    return true;
  }

 private:
  template <class K, class... Args>
  iterator append(K&& key, Args&&... args) {
    if (slots_.size() >= 32 && index_.size() * 2 < slots_.size()) compact();
    auto node = std::make_unique<value_type>(std::piecewise_construct, std::forward_as_tuple(std::forward<K>(key)),
                                             std::forward_as_tuple(std::forward<Args>(args)...));
    size_t pos = slots_.size();
    index_.insert(node.get(), pos);
    try {
      slots_.push_back(std::move(node));
    } catch (...) {
      index_.erase(index_.find(node->first));
      throw;
    }
    return iterator(&slots_, pos);
  }

  // Closes the gaps, keeping the order.
  void compact() {
    size_t out = 0;
    for (size_t in = 0; in < slots_.size(); ++in) {
      if (!slots_[in]) continue;
      if (out != in) {
        slots_[out] = std::move(slots_[in]);
        index_.find(slots_[out]->first)->pos = out;
      }
      ++out;
    }
    slots_.resize(out);
  }

  void copy_from(const OrderedStringMap& other) {
    reserve(other.size());
    for (const value_type& v : other) append(v.first, v.second);
  }

  Slots slots_;
  // Keys are read from the nodes.
  SlotIndex<value_type> index_;
};

// The in-memory record map of a store: record id -> record.
using RecordMap = OrderedStringMap<Record>;

}  // namespace vesk
