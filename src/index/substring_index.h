// Substring index: which records' contents contain a text, case folded,
// answered without lower-casing and searching every record per query.
//
// The index keeps each record's content lower-cased by the full Unicode
// mapping (to_lower_full), and for every 3-byte sequence (trigram) of those
// lower-cased bytes the set of records holding it, as a Roaring bitmap of
// document numbers (doc_ids.h). A query of at least 3 bytes intersects the
// sets of a few of its trigrams, the rarest first, and checks each record
// left by a real substring test; a shorter query (the empty text included,
// which every content contains) is tested against every record. Bytes, not
// characters, are the unit: the test is a byte substring test of UTF-8
// texts, and a trigram may straddle characters.
//
// Answers come in ascending document number: a stable order that the index
// does not promise to relate to insertion order (numbers of removed records
// are reused).
//
// The index lives in memory only and is rebuilt at every open. It has no
// lock: the store's substring-index lock guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <roaring/roaring.hh>

#include "index/doc_ids.h"

namespace vesk {

class SubstringIndex {
 public:
  static constexpr size_t kGram = 3;

  // Indexes a record under its content; an id indexed before is replaced.
  void insert(std::string_view id, std::string_view content);
  // An id that is not indexed is left alone.
  void remove(std::string_view id);
  // Fills an empty index with entries of distinct ids. The lower-casing runs
  // in parallel, and so does the filing: each task files the trigrams of one
  // share of the trigram space, walking every text in document order.
  struct Entry {
    std::string_view id;
    std::string_view text;
  };
  void insert_all(std::span<const Entry> entries);

  // The documents whose lower-cased content contains `lowered_query` (a text
  // already lower-cased with to_lower_full), in ascending number.
  std::vector<uint32_t> docs_containing(std::string_view lowered_query) const;
  std::optional<uint32_t> doc_of(std::string_view id) const { return ids_.find(id); }
  // Of a document number in use.
  const std::string& id(uint32_t doc) const { return ids_.id(doc); }
  const std::string& lowered(uint32_t doc) const { return lowered_[doc]; }

  size_t size() const { return ids_.size(); }
  // An estimate of the heap bytes held: the lower-cased texts, the bitmaps
  // and the tables.
  size_t memory_bytes() const;

 private:
  void post(uint32_t doc, std::string_view lowered);
  void unpost(uint32_t doc, std::string_view lowered);

  DocIds ids_;
  std::vector<std::string> lowered_;  // by document number
  std::unordered_map<uint32_t, Roaring> postings_;
};

// The distinct trigrams of a text as 24-bit keys, ascending.
std::vector<uint32_t> text_trigrams(std::string_view text);

}  // namespace vesk
