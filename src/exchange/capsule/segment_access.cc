#include "exchange/capsule/segment_access.h"

#include <utility>

#include "base/sha256.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
#include "exchange/capsule/segment_name.h"
#include "exchange/capsule/segment_reader.h"
#include "exchange/capsule/segment_selection.h"

namespace vesk {

Result<SegmentVerification> verify_container_segments(const fs::path& path, std::vector<std::string> names,
                                                      Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  Result<std::vector<CapsuleSegment>> chosen =
      select_container_segments(opened->state.latest.segments, std::move(names));
  if (!chosen.ok()) return chosen.status();
  SegmentVerification out;
  for (const CapsuleSegment& segment : *chosen) {
    VESK_RETURN_IF_ERROR(verify_segment(opened->file, segment));
    ++out.segment_count;
    out.total_size += segment.original_size;  // the decoded length, checked by the read
    out.segments.push_back(segment.name);
  }
  return out;
}

Result<std::string> read_container_segment(const fs::path& path, std::optional<uint64_t> generation,
                                           std::string_view name, Env& env) {
  VESK_RETURN_IF_ERROR(validate_segment_name(name));
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  Result<CapsuleToc> toc =
      generation ? select_generation(*opened, *generation) : Result<CapsuleToc>(opened->state.latest);
  if (!toc.ok()) return toc.status();
  for (const CapsuleSegment& segment : toc->segments) {
    if (segment.name != name) continue;
    Result<std::string> bytes = read_segment_bytes(opened->file, segment);
    if (!bytes.ok()) return bytes.status();
    if (sha256_hex(*bytes) != segment.sha256) return Status::OS("Checksum mismatch for segment " + segment.name);
    return bytes;
  }
  if (generation) {
    return Status::OS("Vesk container segment not found in generation " + std::to_string(*generation) + ": " +
                      std::string(name));
  }
  return Status::OS("Vesk container segment not found: " + std::string(name));
}

}  // namespace vesk
