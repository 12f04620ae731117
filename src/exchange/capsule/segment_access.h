// Checking and reading single segments of a container by name. Each
// operation opens the container once and reads the TOC and the segment
// bytes from that one file. Only reads; takes no lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

struct SegmentVerification {
  uint64_t segment_count = 0;
  uint64_t total_size = 0;          // the sum of the decoded sizes
  std::vector<std::string> segments;  // the names checked, in order
};

// The named segments of the latest generation, in ascending name order,
// each once (select_container_segments, its messages), each read, decoded
// and checked against its digest ("Checksum mismatch for segment {name}").
// The first failure ends the call. Before those: open_container's errors.
Result<SegmentVerification> verify_container_segments(const fs::path& path, std::vector<std::string> names,
                                                      Env& env);

// The decoded, checked bytes of the first segment named exactly `name` in
// the latest generation, or in `generation` when one is given. The name
// rules (segment_name.h) are checked before the file is opened. A name the
// TOC lacks: "Vesk container segment not found: {name}", or with a
// generation "Vesk container segment not found in generation {n}: {name}".
Result<std::string> read_container_segment(const fs::path& path, std::optional<uint64_t> generation,
                                           std::string_view name, Env& env);

}  // namespace vesk
