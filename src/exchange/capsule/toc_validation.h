// validate_container_toc: whether a parsed TOC describes a generation that
// can be read, checked in this order, the first failure returned:
//   1. "format" is "vesk-portable-container" and "version" the expected one:
//      "Invalid Vesk container TOC identity"
//   2. "generation" is 0 in layout 1 and at least 1 otherwise:
//      "Invalid Vesk container generation"
//   3. at most 4,096 holds: "Vesk container has too many generation holds"
//   4. each hold names a generation in 1..this one, no generation twice, and
//      has a label of 1 to 256 bytes without control characters (code
//      points below 32 and 127 to 159):
//      "Vesk container has invalid generation hold metadata"
//   5. 1 to 4,096 segments: "Invalid Vesk container segment count"
//   6. each segment in order: its name is safe (segment_name.h); not seen
//      before ("Duplicate Vesk container segment: {name}"); both sizes at
//      most 512 MiB ("Vesk container segment exceeds size limit"); a raw
//      one stores its original size ("Raw Vesk container segment has
//      inconsistent size"); "sha256" is 64 hexadecimal digits of either case
//      ("Vesk container segment has invalid SHA-256 digest"); offset +
//      stored size does not overflow ("Vesk container segment range
//      overflow") and lies in [64, toc_start] ("Vesk container segment has
//      invalid bounds"); the running totals do not overflow ("Vesk container
//      size overflow", "Vesk container stored size overflow")
//   7. the totals are at most 8 GiB and equal "original_size" ("Vesk
//      container original size mismatch") and "stored_size" ("Vesk
//      container stored size mismatch")
//   8. the stored ranges do not overlap: "Vesk container segments overlap"
//      (ranges of different TOCs may be shared).
// `toc_start` is the TOC's absolute offset, the end of the area where its
// segments may lie.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/status.h"
#include "model/capsule_toc.h"

namespace vesk {

// Rule 4's label check: 1 to 256 bytes, no code point below 32 or from 127
// to 159. `label` is UTF-8.
bool valid_hold_label(std::string_view label);

Status validate_container_toc(const CapsuleToc& toc, uint64_t toc_start, uint16_t expected_version);

}  // namespace vesk
