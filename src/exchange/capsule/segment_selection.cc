#include "exchange/capsule/segment_selection.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "exchange/capsule/segment_name.h"

namespace vesk {

Result<std::vector<CapsuleSegment>> select_container_segments(const std::vector<CapsuleSegment>& segments,
                                                               std::vector<std::string> names) {
  if (names.empty()) return Status::OS("At least one Vesk container segment must be selected");
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::unordered_map<std::string_view, const CapsuleSegment*> by_name;
  for (const CapsuleSegment& segment : segments) by_name.emplace(segment.name, &segment);
  std::vector<CapsuleSegment> selected;
  selected.reserve(names.size());
  for (const std::string& name : names) {
    VESK_RETURN_IF_ERROR(validate_segment_name(name));
    auto it = by_name.find(name);
    if (it == by_name.end()) return Status::OS("Vesk container segment not found: " + name);
    selected.push_back(*it->second);
  }
  return selected;
}

}  // namespace vesk
