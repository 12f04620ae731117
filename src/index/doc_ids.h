// Interning of record ids as 32-bit document numbers inside an in-memory
// index. Postings then hold 4-byte numbers instead of id strings, and each id
// string is kept once. Numbers freed by a removal are handed out again, the
// last freed first.
//
// The ids are found through a flat open-addressing table (linear probing,
// backward-shift deletion, at most three quarters full) of 8-byte entries:
// 32 bits of the id's hash and its number. A store looks up every new id in
// each index before adding it; for an id that is not there, that is one read
// of the table, with no node to follow.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

struct TransparentStringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class DocIds {
 public:
  // The id's number, assigning one when the id is new.
  uint32_t intern(std::string_view id);
  std::optional<uint32_t> find(std::string_view id) const;
  // The id of a number in use (valid until the next intern).
  const std::string& id(uint32_t doc) const { return ids_[doc]; }
  bool in_use(uint32_t doc) const { return doc < in_use_.size() && in_use_[doc]; }
  // Forgets the id of a number in use; the number becomes free.
  void release(uint32_t doc);
  // Above every number in use.
  uint32_t limit() const { return static_cast<uint32_t>(ids_.size()); }
  size_t size() const { return used_; }

 private:
  static constexpr uint32_t kEmpty = 0xffffffffu;
  struct Slot {
    uint32_t hash;
    uint32_t doc;  // kEmpty: an empty slot
  };
  static uint32_t hash_of(std::string_view id);
  size_t home(uint32_t hash) const { return (hash * 0x9e3779b1u) >> shift_; }
  // The slot holding the id, or the empty slot where it would go.
  size_t slot_of(std::string_view id, uint32_t hash) const;
  void grow();

  std::vector<Slot> table_;  // empty, or a power of two of slots
  size_t mask_ = 0;
  int shift_ = 32;
  size_t used_ = 0;
  std::vector<std::string> ids_;  // by number; empty when free
  std::vector<uint8_t> in_use_;   // by number
  std::vector<uint32_t> free_;
};

}  // namespace vesk
