#include "index/doc_ids.h"

namespace vesk {

uint32_t DocIds::intern(std::string_view id) {
  auto it = map_.find(id);
  if (it != map_.end()) return it->second;
  uint32_t doc;
  if (!free_.empty()) {
    doc = free_.back();
    free_.pop_back();
  } else {
    doc = static_cast<uint32_t>(ids_.size());
    ids_.push_back(nullptr);
  }
  auto pos = map_.emplace(std::string(id), doc).first;
  ids_[doc] = &pos->first;
  return doc;
}

std::optional<uint32_t> DocIds::find(std::string_view id) const {
  auto it = map_.find(id);
  if (it == map_.end()) return std::nullopt;
  return it->second;
}

void DocIds::release(uint32_t doc) {
  const std::string* id = ids_[doc];
  ids_[doc] = nullptr;
  free_.push_back(doc);
  map_.erase(map_.find(*id));
}

}  // namespace vesk
