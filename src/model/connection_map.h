// ConnectionMap: a record's connections, target record id -> value (the
// weight, or the relation type), held as one sorted vector.
//
// A store holds tens of connections per record (the associative links of
// the store road alone reach 50), so the per-entry cost decides much of the
// store's memory: an entry here is its 16-byte key and its value side by
// side, with no node, no bucket and no per-entry allocation for keys of up
// to 15 bytes. Lookups are binary searches; an insertion or erase moves the
// entries after it, which at these sizes is a few cache lines.
//
// The interface is the subset of a standard map the store uses. Unlike a
// node map, references and iterators are invalidated by any insertion or
// erase. Iteration is in ascending byte order of the target ids, so every
// listing of a record's connections (its JSON form included) is the same
// from one run to the next.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <tuple>
#include <string_view>
#include <utility>
#include <vector>

#include "base/compact_string.h"

namespace vesk {

template <class V>
class ConnectionMap {
 public:
  using key_type = CompactString;
  using mapped_type = V;
  using value_type = std::pair<CompactString, V>;
  using iterator = typename std::vector<value_type>::iterator;
  using const_iterator = typename std::vector<value_type>::const_iterator;

  ConnectionMap() = default;
  ConnectionMap(std::initializer_list<std::pair<std::string_view, V>> init) {
    for (const auto& [k, v] : init) insert_or_assign(k, v);
  }

  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  const_iterator cbegin() const { return entries_.begin(); }
  const_iterator cend() const { return entries_.end(); }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void clear() { entries_.clear(); }
  void swap(ConnectionMap& other) noexcept { entries_.swap(other.entries_); }
  void reserve(size_t n) { entries_.reserve(n); }
  // Gives back the capacity beyond the entries (after a bulk load).
  void shrink_to_fit() { entries_.shrink_to_fit(); }

  iterator find(std::string_view key) {
    auto it = lower(key);
    return it != entries_.end() && it->first == key ? it : entries_.end();
  }
  const_iterator find(std::string_view key) const { return const_cast<ConnectionMap*>(this)->find(key); }
  bool contains(std::string_view key) const { return find(key) != end(); }
  size_t count(std::string_view key) const { return contains(key) ? 1 : 0; }
  const V& at(std::string_view key) const {
    auto it = find(key);
    if (it == end()) throw std::out_of_range("ConnectionMap::at");
    return it->second;
  }
  V& at(std::string_view key) {
    auto it = find(key);
    if (it == end()) throw std::out_of_range("ConnectionMap::at");
    return it->second;
  }

  // The key's value, added default-constructed when absent.
  V& operator[](std::string_view key) { return try_emplace(key).first->second; }

  // Adds the key with a value built from args unless it is there; the
  // existing value is left alone. True when added.
  template <class... Args>
  std::pair<iterator, bool> try_emplace(std::string_view key, Args&&... args) {
    auto it = lower(key);
    if (it != entries_.end() && it->first == key) return {it, false};
    it = entries_.emplace(it, std::piecewise_construct, std::forward_as_tuple(key),
                          std::forward_as_tuple(std::forward<Args>(args)...));
    return {it, true};
  }
  template <class T>
  std::pair<iterator, bool> emplace(std::string_view key, T&& value) {
    return try_emplace(key, std::forward<T>(value));
  }
  // Sets the key's value, adding the key when absent. True when added.
  template <class T>
  std::pair<iterator, bool> insert_or_assign(std::string_view key, T&& value) {
    auto it = lower(key);
    if (it != entries_.end() && it->first == key) {
      it->second = std::forward<T>(value);
      return {it, false};
    }
    it = entries_.emplace(it, std::piecewise_construct, std::forward_as_tuple(key),
                          std::forward_as_tuple(std::forward<T>(value)));
    return {it, true};
  }

  // The number of entries removed (0 or 1).
  size_t erase(std::string_view key) {
    auto it = find(key);
    if (it == entries_.end()) return 0;
    entries_.erase(it);
    return 1;
  }
  iterator erase(const_iterator it) { return entries_.erase(it); }
  iterator erase(iterator it) { return entries_.erase(it); }

  template <class Pred>
  friend size_t erase_if(ConnectionMap& map, Pred pred) {
    return std::erase_if(map.entries_, [&](const value_type& e) { return pred(e); });
  }

  friend bool operator==(const ConnectionMap&, const ConnectionMap&) = default;

 private:
  iterator lower(std::string_view key) {
    return std::lower_bound(entries_.begin(), entries_.end(), key,
                            [](const value_type& e, std::string_view k) { return e.first.view() < k; });
  }

  std::vector<value_type> entries_;  // ascending by key, keys unique
};

}  // namespace vesk
