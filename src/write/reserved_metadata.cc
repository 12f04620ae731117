#include "write/reserved_metadata.h"

namespace vesk {

bool is_reserved_consequence_tag(std::string_view tag) {
  return tag == "consequence-unit" || tag == "consequence-refute" || tag == "consequence-support" ||
         tag == "consequence-inconclusive";
}

Status check_reserved_consequence_metadata(std::span<const std::string> tags, const StringMap* metadata) {
  for (const std::string& tag : tags) {
    if (is_reserved_consequence_tag(tag)) {
      return Status::Runtime("tag " + tag + " is reserved for captured consequences; use capture_consequence()");
    }
  }
  if (metadata) {
    for (const auto& [key, value] : *metadata) {
      if (key.starts_with("cu_") || (key == "kind" && value == "consequence_unit")) {
        return Status::Runtime("metadata key " + key +
                               " is reserved for captured consequences; use capture_consequence()");
      }
    }
  }
  return Status::Ok();
}

}  // namespace vesk
