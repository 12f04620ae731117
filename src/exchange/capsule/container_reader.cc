#include "exchange/capsule/container_reader.h"

#include <optional>
#include <string>
#include <utility>

#include "base/sha256.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/generation_signature.h"
#include "exchange/capsule/toc_validation.h"

namespace vesk {

namespace {

Status unsupported_flags(uint16_t flags) {
  return Status::OS("Unsupported Vesk container flags: " + std::to_string(flags));
}

// Rule 8: a hold names this generation, one before the file's first, or a
// committed one earlier in the file (numbers run on from the first, so that
// is every number up to this one).
bool holds_name_known_generations(const CapsuleToc& toc, uint64_t first_generation) {
  for (const CapsuleGenerationHold& hold : toc.holds) {
    const bool known = hold.generation == toc.generation || hold.generation < first_generation ||
                       (hold.generation >= first_generation && hold.generation < toc.generation);
    if (!known) return false;
  }
  return true;
}

}  // namespace

bool generation_frame_fields_valid(const ContainerGenerationFrame& f) {
  return f.toc_offset >= kGenerationFrameSize && f.toc_length >= 1 && f.toc_length <= kMaxTocLength &&
         f.generation_length >= kGenerationFrameSize && f.generation_length <= kMaxGenerationLength &&
         f.frame_version == kGenerationFrameVersion && f.flags == 0;
}

Result<ContainerHeader> read_container_header(ContainerFile& file) {
  if (file.size() < kContainerHeaderSize) return Status::OS("Vesk container is shorter than its header");
  Result<std::string> bytes = file.read(0, kContainerHeaderSize);
  if (!bytes.ok()) return bytes.status();
  ContainerHeader header = decode_container_header(*bytes);
  if (header.magic != kContainerMagic) return Status::OS("Invalid Vesk container magic");
  return header;
}

Result<CapsuleToc> open_v1_container(ContainerFile& file, const ContainerHeader& header) {
  if (header.version != kContainerLayoutV1) return Status::OS("Not a v1 Vesk container");
  if (header.flags != 0) return unsupported_flags(header.flags);
  if (header.toc_offset < kContainerHeaderSize || header.toc_length < 1 || header.toc_length > kMaxTocLength) {
    return Status::OS("Invalid Vesk container TOC bounds");
  }
  uint64_t end = 0;
  if (__builtin_add_overflow(header.toc_offset, header.toc_length, &end) || end != file.size()) {
    return Status::OS("Vesk container TOC does not terminate at end of file");
  }
  Result<std::string> bytes = file.read(header.toc_offset, header.toc_length);
  if (!bytes.ok()) return bytes.status();
  if (sha256(*bytes) != header.toc_sha256) return Status::OS("Vesk container TOC checksum mismatch");
  Result<CapsuleToc> toc = parse_capsule_toc(*bytes);
  if (!toc.ok()) return toc.status().as(ErrorKind::OS);
  VESK_RETURN_IF_ERROR(validate_container_toc(*toc, header.toc_offset, kContainerLayoutV1));
  if (toc->created_at != header.created_at) return Status::OS("Vesk container creation timestamp mismatch");
  return toc;
}

Result<ContainerState> read_container_generations(ContainerFile& file, const ContainerHeader& header) {
  if (header.flags != 0) return unsupported_flags(header.flags);
  const uint64_t size = file.size();
  if (size < kSmallestWalkedContainer) return Status::OS("Vesk v2 container has no committed generation");

  ContainerState state;
  std::optional<SignatureChainState> chain;
  SignatureBatch signatures;
  uint64_t offset = kContainerHeaderSize;
  while (size - offset >= kGenerationFrameSize) {
    Result<std::string> frame_bytes = file.read(offset, kGenerationFrameSize);
    if (!frame_bytes.ok()) return signatures.first_error(frame_bytes.status());
    const ContainerGenerationFrame frame = decode_generation_frame(*frame_bytes);
    if (frame.magic != kGenerationMagic || !generation_frame_fields_valid(frame)) break;
    const bool numbered = state.generations.empty()
                              ? frame.generation >= 1
                              : state.generations.back().generation != UINT64_MAX &&
                                    frame.generation == state.generations.back().generation + 1;
    if (!numbered) break;
    uint64_t toc_end = 0, generation_end = 0;
    if (__builtin_add_overflow(frame.toc_offset, frame.toc_length, &toc_end) ||
        toc_end != frame.generation_length ||
        __builtin_add_overflow(offset, frame.generation_length, &generation_end) || generation_end > size) {
      break;
    }
    const uint64_t toc_start = offset + frame.toc_offset;
    Result<std::string> toc_bytes = file.read(toc_start, frame.toc_length);
    if (!toc_bytes.ok()) return signatures.first_error(toc_bytes.status());
    if (sha256(*toc_bytes) != frame.toc_sha256) break;
    Result<CapsuleToc> toc = parse_capsule_toc(*toc_bytes);
    if (!toc.ok() || toc->generation != frame.generation || toc->created_at != frame.created_at) break;
    if (!validate_container_toc(*toc, toc_start, kContainerLayoutV2).ok()) break;
    const uint64_t first = state.generations.empty() ? toc->generation : state.generations.front().generation;
    if (!holds_name_known_generations(*toc, first)) break;

    VESK_RETURN_IF_ERROR(signatures.check(*toc, state.generations.size(), chain));
    state.generations.push_back(std::move(toc).value());
    offset = generation_end;
  }
  VESK_RETURN_IF_ERROR(signatures.finish());
  if (state.generations.empty()) return Status::OS("Vesk v2 container has no committed generation");
  state.latest = state.generations.back();
  state.committed_end = offset;
  return state;
}

Result<OpenedContainer> open_container(const fs::path& path, Env& env) {
  Result<ContainerFile> file = ContainerFile::open(path, env);
  if (!file.ok()) return file.status();
  Result<ContainerHeader> header = read_container_header(*file);
  if (!header.ok()) return header.status();
  OpenedContainer opened{std::move(file).value(), header->version, {}};
  if (header->version == kContainerLayoutV1) {
    Result<CapsuleToc> toc = open_v1_container(opened.file, *header);
    if (!toc.ok()) return toc.status();
    opened.state.generations.push_back(*toc);
    opened.state.latest = std::move(toc).value();
    opened.state.committed_end = opened.file.size();
  } else if (header->version == kContainerLayoutV2) {
    Result<ContainerState> state = read_container_generations(opened.file, *header);
    if (!state.ok()) return state.status();
    opened.state = std::move(state).value();
  } else {
    return Status::OS("Unsupported Vesk container version: " + std::to_string(header->version));
  }
  return opened;
}

Result<OpenedContainer> open_v2_container(const fs::path& path, Env& env) {
  Result<ContainerFile> file = ContainerFile::open(path, env);
  if (!file.ok()) return file.status();
  Result<ContainerHeader> header = read_container_header(*file);
  if (!header.ok()) return header.status();
  if (header->version != kContainerLayoutV2) {
    return Status::OS("Incremental append requires an Vesk v2 container; found version " +
                      std::to_string(header->version));
  }
  Result<ContainerState> state = read_container_generations(*file, *header);
  if (!state.ok()) return state.status();
  return OpenedContainer{std::move(file).value(), header->version, std::move(state).value()};
}

Result<ContainerState> load_v2_container_state(const fs::path& path, Env& env) {
  Result<OpenedContainer> opened = open_v2_container(path, env);
  if (!opened.ok()) return opened.status();
  return std::move(opened->state);
}

Result<CapsuleToc> open_latest_generation(const fs::path& path, Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  return std::move(opened->state.latest);
}

Result<CapsuleToc> select_generation(const OpenedContainer& opened, uint64_t generation) {
  if (opened.version == kContainerLayoutV1) {
    if (generation != 0) return Status::OS("Legacy Vesk containers expose generation 0 only");
    return opened.state.latest;
  }
  for (const CapsuleToc& toc : opened.state.generations) {
    if (toc.generation == generation) return toc;
  }
  return Status::OS("Vesk container generation not found: " + std::to_string(generation));
}

Result<CapsuleToc> select_container_generation(const fs::path& path, uint64_t generation, Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  return select_generation(*opened, generation);
}

}  // namespace vesk
