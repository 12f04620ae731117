#include "index/doc_ids.h"

#include <bit>

#include "base/string_hash.h"
#include "model/backward_shift.h"

namespace vesk {

uint32_t DocIds::hash_of(std::string_view id) { return static_cast<uint32_t>(hash_string(id) >> 32); }

size_t DocIds::slot_of(std::string_view id, uint32_t hash) const {
  for (size_t i = home(hash);; i = (i + 1) & mask_) {
    const Slot& s = table_[i];
    if (s.doc == kEmpty || (s.hash == hash && ids_[s.doc] == id)) return i;
  }
}

void DocIds::grow() {
  std::vector<Slot> old = std::move(table_);
  const size_t capacity = old.empty() ? 16 : old.size() * 2;
  table_.assign(capacity, Slot{0, kEmpty});
  mask_ = capacity - 1;
  shift_ = 32 - std::countr_zero(capacity);
  for (const Slot& s : old) {
    if (s.doc == kEmpty) continue;
    size_t i = home(s.hash);
    while (table_[i].doc != kEmpty) i = (i + 1) & mask_;
    table_[i] = s;
  }
}

uint32_t DocIds::intern(std::string_view id) {
  if ((used_ + 1) * 4 > table_.size() * 3) grow();
  const uint32_t hash = hash_of(id);
  Slot& slot = table_[slot_of(id, hash)];
  if (slot.doc != kEmpty) return slot.doc;
  uint32_t doc;
  if (!free_.empty()) {
    doc = free_.back();
    free_.pop_back();
  } else {
    doc = static_cast<uint32_t>(ids_.size());
    ids_.emplace_back();
    in_use_.push_back(0);
  }
  ids_[doc].assign(id);
  in_use_[doc] = 1;
  slot = Slot{hash, doc};
  ++used_;
  return doc;
}

std::optional<uint32_t> DocIds::find(std::string_view id) const {
  if (table_.empty()) return std::nullopt;
  const Slot& slot = table_[slot_of(id, hash_of(id))];
  if (slot.doc == kEmpty) return std::nullopt;
  return slot.doc;
}

void DocIds::release(uint32_t doc) {
  const size_t i = slot_of(ids_[doc], hash_of(ids_[doc]));
  erase_by_backward_shift(
      table_.data(), mask_, i, [](const Slot& s) { return s.doc == kEmpty; },
      [this](const Slot& s) { return home(s.hash); }, [](Slot& s) { s = Slot{0, kEmpty}; });
  --used_;
  // The string keeps its buffer for the next id given this number.
  ids_[doc].clear();
  in_use_[doc] = 0;
  free_.push_back(doc);
}

}  // namespace vesk
