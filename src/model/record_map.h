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
// each key to its slot. An insertion compacts the slots first when more than
// half are empty.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/record.h"
#include "model/string_hash.h"

namespace vesk {

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
    auto it = index_.find(key);
    return it == index_.end() ? end() : iterator(&slots_, it->second);
  }
  const_iterator find(std::string_view key) const {
    auto it = index_.find(key);
    return it == index_.end() ? end() : const_iterator(&slots_, it->second);
  }
  bool contains(std::string_view key) const { return index_.contains(key); }
  size_t count(std::string_view key) const { return index_.count(key); }

  V& at(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) throw std::out_of_range("OrderedStringMap::at");
    return slots_[it->second]->second;
  }
  const V& at(std::string_view key) const {
    auto it = index_.find(key);
    if (it == index_.end()) throw std::out_of_range("OrderedStringMap::at");
    return slots_[it->second]->second;
  }
  V& operator[](std::string_view key) { return try_emplace(key).first->second; }

  // Inserts when the key is absent; a present key keeps its value and place.
  template <class K, class... Args>
  std::pair<iterator, bool> try_emplace(K&& key, Args&&... args) {
    std::string_view view(key);
    if (auto it = index_.find(view); it != index_.end()) return {iterator(&slots_, it->second), false};
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
    if (auto it = index_.find(view); it != index_.end()) {
      slots_[it->second]->second = std::forward<M>(value);
      return {iterator(&slots_, it->second), false};
    }
    return {append(std::forward<K>(key), std::forward<M>(value)), true};
  }

  size_t erase(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) return 0;
    size_t pos = it->second;
    index_.erase(it);
    slots_[pos].reset();
    return 1;
  }
  iterator erase(const_iterator pos) {
    size_t p = pos.pos_;
    index_.erase(std::string_view(slots_[p]->first));
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
    index_.emplace(std::string_view(node->first), pos);
    try {
      slots_.push_back(std::move(node));
    } catch (...) {
      index_.erase(std::string_view(node->first));
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
        index_.find(std::string_view(slots_[out]->first))->second = out;
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
  // Keys are views of the keys in the nodes.
  std::unordered_map<std::string_view, size_t, StringHash, StringEq> index_;
};

// The in-memory record map of a store: record id -> record.
using RecordMap = OrderedStringMap<Record>;

}  // namespace vesk
