// Interning of record ids as 32-bit document numbers inside an in-memory
// index. Postings then hold 4-byte numbers instead of id strings, and each id
// string is kept once. Numbers freed by a removal are handed out again.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
  // The id of a number in use.
  const std::string& id(uint32_t doc) const { return *ids_[doc]; }
  bool in_use(uint32_t doc) const { return doc < ids_.size() && ids_[doc]; }
  // Forgets the id of a number in use; the number becomes free.
  void release(uint32_t doc);
  // Above every number in use.
  uint32_t limit() const { return static_cast<uint32_t>(ids_.size()); }
  size_t size() const { return map_.size(); }

 private:
  std::unordered_map<std::string, uint32_t, TransparentStringHash, std::equal_to<>> map_;
  std::vector<const std::string*> ids_;  // by number; null when free
  std::vector<uint32_t> free_;
};

}  // namespace vesk
