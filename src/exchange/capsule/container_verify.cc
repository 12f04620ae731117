#include "exchange/capsule/container_verify.h"

#include <set>
#include <string>
#include <tuple>

#include "base/sha256.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/segment_reader.h"

namespace vesk {

Status verify_segment(ContainerFile& file, const CapsuleSegment& segment) {
  Result<std::string> decoded = read_segment_bytes(file, segment);
  if (!decoded.ok()) return decoded.status();
  if (sha256_hex(*decoded) != segment.sha256) return Status::OS("Checksum mismatch for segment " + segment.name);
  return Status::Ok();
}

Result<CapsuleToc> verify_latest_generation(const fs::path& path, Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  for (const CapsuleSegment& segment : opened->state.latest.segments) {
    VESK_RETURN_IF_ERROR(verify_segment(opened->file, segment));
  }
  return std::move(opened->state.latest);
}

Result<CapsuleToc> verify_container_generation(const fs::path& path, uint64_t generation, Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  Result<CapsuleToc> toc = select_generation(*opened, generation);
  if (!toc.ok()) return toc.status();
  VESK_RETURN_IF_ERROR(verify_generation_segments(opened->file, std::span<const CapsuleToc>(&*toc, 1)));
  return toc;
}

Status verify_generation_segments(ContainerFile& file, std::span<const CapsuleToc> generations) {
  std::set<std::tuple<uint64_t, uint64_t, std::string>> checked;
  for (const CapsuleToc& toc : generations) {
    for (const CapsuleSegment& segment : toc.segments) {
      if (!checked.emplace(segment.offset, segment.stored_size, segment.sha256).second) continue;
      VESK_RETURN_IF_ERROR(verify_segment(file, segment));
    }
  }
  return Status::Ok();
}

Status verify_generation_segments(const fs::path& path, const std::vector<CapsuleToc>& generations, Env& env) {
  Result<ContainerFile> file = ContainerFile::open(path, env);
  if (!file.ok()) return file.status();
  return verify_generation_segments(*file, generations);
}

}  // namespace vesk
