// The two fixed-size structures of a container file, the 64-byte header and
// the 80-byte generation frame (layouts in container_format.h), as values,
// with their byte encodings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/sha256.h"

namespace vesk {

struct ContainerHeader {
  std::string magic;  // four bytes
  uint16_t version = 0;
  uint16_t flags = 0;
  uint64_t created_at = 0;
  // Layout 1 only; reserved (zero) in layout 2.
  uint64_t toc_offset = 0;
  uint64_t toc_length = 0;
  Sha256Digest toc_sha256{};
};

struct ContainerGenerationFrame {
  std::string magic;  // four bytes
  uint16_t frame_version = 0;
  uint16_t flags = 0;
  uint64_t generation = 0;
  uint64_t created_at = 0;
  uint64_t generation_length = 0;
  uint64_t toc_offset = 0;
  uint64_t toc_length = 0;
  Sha256Digest toc_sha256{};
};

// `bytes` holds exactly 64 (header) or 80 (frame) bytes.
ContainerHeader decode_container_header(std::string_view bytes);
ContainerGenerationFrame decode_generation_frame(std::string_view bytes);

// 64 and 80 bytes; a magic of other than four bytes is cut or zero-padded.
std::string encode_container_header(const ContainerHeader& header);
std::string encode_generation_frame(const ContainerGenerationFrame& frame);

}  // namespace vesk
