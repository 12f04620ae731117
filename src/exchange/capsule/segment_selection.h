// select_container_segments: the segment records of a TOC that a caller
// names, in byte order of the names, each once.
//
// No name: "At least one Vesk container segment must be selected". Each
// requested name must be safe (segment_name.h, its messages) and be a
// segment's exact name: else "Vesk container segment not found: {name}".
#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "model/capsule_toc.h"

namespace vesk {

Result<std::vector<CapsuleSegment>> select_container_segments(const std::vector<CapsuleSegment>& segments,
                                                               std::vector<std::string> names);

}  // namespace vesk
