// CRC-32 with the IEEE polynomial, exactly as zlib computes it (the checksum
// of journal frames and index files).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string_view>

namespace vesk {

inline uint32_t crc32_ieee(std::string_view bytes) {
  return static_cast<uint32_t>(
      ::crc32_z(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<z_size_t>(bytes.size())));
}

}  // namespace vesk
