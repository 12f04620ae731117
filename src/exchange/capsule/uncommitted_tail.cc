#include "exchange/capsule/uncommitted_tail.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/sha256.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_header.h"
#include "exchange/capsule/container_reader.h"

namespace vesk {

namespace {

constexpr uint64_t kScanPiece = 1 << 20;

// Whether a generation committed on its own starts at `offset`.
Result<bool> committed_at(ContainerFile& file, uint64_t offset, const ContainerState& state) {
  if (file.size() - offset < kGenerationFrameSize) return false;
  Result<std::string> bytes = file.read(offset, kGenerationFrameSize);
  if (!bytes.ok()) return bytes.status();
  const ContainerGenerationFrame frame = decode_generation_frame(*bytes);
  if (frame.magic != kGenerationMagic || !generation_frame_fields_valid(frame)) return false;
  if (frame.generation <= state.latest.generation) return false;
  uint64_t toc_end = 0, end = 0;
  if (__builtin_add_overflow(frame.toc_offset, frame.toc_length, &toc_end) || toc_end != frame.generation_length ||
      __builtin_add_overflow(offset, frame.generation_length, &end) || end > file.size()) {
    return false;
  }
  Result<std::string> toc = file.read(offset + frame.toc_offset, frame.toc_length);
  if (!toc.ok()) return toc.status();
  return sha256(*toc) == frame.toc_sha256;
}

}  // namespace

Status check_uncommitted_tail(ContainerFile& file, const ContainerState& state) {
  const uint64_t size = file.size();
  const size_t overlap = kGenerationMagic.size() - 1;
  for (uint64_t piece = state.committed_end; piece < size;) {
    const uint64_t n = std::min<uint64_t>(kScanPiece + overlap, size - piece);
    Result<std::string> bytes = file.read(piece, n);
    if (!bytes.ok()) return bytes.status();
    const std::string_view view(*bytes);
    for (size_t at = view.find(kGenerationMagic); at != std::string_view::npos;
         at = view.find(kGenerationMagic, at + 1)) {
      Result<bool> found = committed_at(file, piece + at, state);
      if (!found.ok()) return found.status();
      if (*found) {
        return Status::OS("Vesk container holds a committed generation at offset " + std::to_string(piece + at) +
                          " after damaged data at offset " + std::to_string(state.committed_end) +
                          "; refusing to cut it off");
      }
    }
    if (piece + n >= size) break;
    piece += kScanPiece;
  }
  return Status::Ok();
}

Status cut_uncommitted_tail(File& file, const fs::path& path, const ContainerState& state, Env& env) {
  Result<uint64_t> size = file.size();
  if (!size.ok()) return container_io_error(size.status());
  if (*size == state.committed_end) return Status::Ok();
  // The reader saw the file at its size then; the tail is judged as it is now.
  Result<ContainerFile> now = ContainerFile::open(path, env);
  if (!now.ok()) return now.status();
  VESK_RETURN_IF_ERROR(check_uncommitted_tail(*now, state));
  return container_io_error(file.truncate(state.committed_end));
}

}  // namespace vesk
