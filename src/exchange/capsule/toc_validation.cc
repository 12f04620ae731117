#include "exchange/capsule/toc_validation.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "exchange/capsule/container_format.h"
#include "exchange/capsule/segment_name.h"

namespace vesk {

namespace {

bool is_hex_digest(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool checked_add(uint64_t a, uint64_t b, uint64_t& out) { return !__builtin_add_overflow(a, b, &out); }

}  // namespace

// A label is UTF-8 (the JSON reader or the binding made sure), so a C0 control or DEL is
// one byte and a C1 control (U+0080..U+009F) is 0xC2 followed by 0x80..0x9F.
bool valid_hold_label(std::string_view label) {
  if (label.empty() || label.size() > kMaxHoldLabelLength) return false;
  for (size_t i = 0; i < label.size(); ++i) {
    const auto c = static_cast<unsigned char>(label[i]);
    if (c < 0x20 || c == 0x7f) return false;
    if (c == 0xc2 && i + 1 < label.size() && static_cast<unsigned char>(label[i + 1]) <= 0x9f) return false;
  }
  return true;
}

Status validate_container_toc(const CapsuleToc& toc, uint64_t toc_start, uint16_t expected_version) {
  if (toc.format != kContainerFormat || toc.version != expected_version) {
    return Status::OS("Invalid Vesk container TOC identity");
  }
  if (toc.version == kContainerLayoutV1 ? toc.generation != 0 : toc.generation < 1) {
    return Status::OS("Invalid Vesk container generation");
  }
  if (toc.holds.size() > kMaxHoldCount) return Status::OS("Vesk container has too many generation holds");
  std::unordered_set<uint64_t> held;
  for (const CapsuleGenerationHold& hold : toc.holds) {
    if (hold.generation < 1 || hold.generation > toc.generation || !held.insert(hold.generation).second ||
        !valid_hold_label(hold.label)) {
      return Status::OS("Vesk container has invalid generation hold metadata");
    }
  }
  if (toc.segments.empty() || toc.segments.size() > kMaxSegmentCount) {
    return Status::OS("Invalid Vesk container segment count");
  }
  std::unordered_set<std::string_view> names;
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  ranges.reserve(toc.segments.size());
  uint64_t original_total = 0, stored_total = 0;
  for (const CapsuleSegment& segment : toc.segments) {
    VESK_RETURN_IF_ERROR(validate_segment_name(segment.name));
    if (!names.insert(segment.name).second) {
      return Status::OS("Duplicate Vesk container segment: " + segment.name);
    }
    if (segment.original_size > kMaxSegmentSize || segment.stored_size > kMaxSegmentSize) {
      return Status::OS("Vesk container segment exceeds size limit");
    }
    if (segment.codec == SegmentCodec::Raw && segment.stored_size != segment.original_size) {
      return Status::OS("Raw Vesk container segment has inconsistent size");
    }
    if (!is_hex_digest(segment.sha256)) return Status::OS("Vesk container segment has invalid SHA-256 digest");
    uint64_t end = 0;
    if (!checked_add(segment.offset, segment.stored_size, end)) {
      return Status::OS("Vesk container segment range overflow");
    }
    if (segment.offset < kContainerHeaderSize || end > toc_start) {
      return Status::OS("Vesk container segment has invalid bounds");
    }
    if (!checked_add(original_total, segment.original_size, original_total)) {
      return Status::OS("Vesk container size overflow");
    }
    if (!checked_add(stored_total, segment.stored_size, stored_total)) {
      return Status::OS("Vesk container stored size overflow");
    }
    ranges.emplace_back(segment.offset, end);
  }
  if (original_total > kMaxTotalSize || original_total != toc.original_size) {
    return Status::OS("Vesk container original size mismatch");
  }
  if (stored_total > kMaxTotalSize || stored_total != toc.stored_size) {
    return Status::OS("Vesk container stored size mismatch");
  }
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].first < ranges[i - 1].second) return Status::OS("Vesk container segments overlap");
  }
  return Status::Ok();
}

}  // namespace vesk

