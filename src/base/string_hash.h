// StringHash: the hash function of every text-keyed map and set of the model.
//
// Keys are hashed with XXH3-64 under a seed drawn once per process from the
// operating system's random source, so the iteration order of a map differs
// from one run to the next and crafted keys cannot force collisions. Nothing
// may rely on that order; outputs that list a map's entries follow it as is.
//
// The hash is transparent: a map keyed by std::string can be searched with a
// std::string_view or a C string without building a temporary string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vesk {

// The per-process seed (drawn on first use).
uint64_t string_hash_seed();
uint64_t hash_string(std::string_view s);

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return static_cast<size_t>(hash_string(s)); }
};

struct StringEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};

template <typename V>
using StringKeyMap = std::unordered_map<std::string, V, StringHash, StringEq>;
using StringMap = StringKeyMap<std::string>;
using StringSet = std::unordered_set<std::string, StringHash, StringEq>;

}  // namespace vesk
