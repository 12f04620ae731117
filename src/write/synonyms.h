// SynonymMap: words that mean the same, loaded on request from TOML files.
//
// File form: a top-level "groups" array of tables, each with a "words" array
// of strings (either [[groups]] sections or an inline array of inline
// tables):
//
//   [[groups]]
//   words = ["car", "automobile"]
//
// Every two words of one group become each other's synonyms, lower-cased by
// the full Unicode mapping. Groups are not chained: a word in two groups
// collects the synonyms of both, but the words of those groups are not
// linked to each other. The map only grows; it is never persisted, and
// nothing but `empty()` reads it (recall does not expand queries with it).
#pragma once

#include <cstdint>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "base/string_hash.h"
#include "base/env.h"

namespace vesk {

// The groups of a synonym file, each the string elements of its "words" in
// order. No "groups", or "groups" not an array: no groups. Elements that are
// not tables with a "words" array, and words that are not strings, are
// skipped. A TOML syntax error is an OS error carrying the parser's message.
Result<std::vector<std::vector<std::string>>> parse_synonym_groups(std::string_view toml_text,
                                                                    std::string_view source_name);

class SynonymMap {
 public:
  // Reads the file at `path` whole and merges its groups into the map.
  // Returns the number of words read: every string of every group, a lone
  // word and a repeated one included. A missing or unreadable file, text
  // that is not UTF-8 and a TOML syntax error fail as OS errors and leave
  // the map unchanged. The write lock is held throughout, file read included.
  Result<uint64_t> load(Env& env, const fs::path& path);

  // True until some group has linked two words.
  bool empty() const;
  // The synonyms of a (lower-case) word; empty when it has none.
  StringSet synonyms_of(std::string_view word) const;

 private:
  mutable std::shared_mutex mu_;
  StringKeyMap<StringSet> words_;  // guarded by mu_
};

}  // namespace vesk
