#include "cognitive/hashed_id.h"

#include <xxhash.h>

#include <cinttypes>
#include <cstdio>

namespace vesk {

std::string hashed_id_hex(std::string_view bytes) {
  const uint64_t h = XXH3_64bits(bytes.data(), bytes.size());
  char text[24];
  const int n = std::snprintf(text, sizeof text, "%012" PRIx64, h);
  return std::string(text, static_cast<size_t>(n));
}

}  // namespace vesk
