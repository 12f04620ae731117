#include "base/string_hash.h"

#include <sys/random.h>
#include <xxhash.h>

#include <cerrno>
#include <chrono>

namespace vesk {

namespace {

uint64_t draw_seed() {
  uint64_t seed = 0;
  unsigned char* p = reinterpret_cast<unsigned char*>(&seed);
  size_t got = 0;
  while (got < sizeof seed) {
    ssize_t n = getrandom(p + got, sizeof seed - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      // Without a random source the order is still valid, only predictable.
      return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    got += static_cast<size_t>(n);
  }
  return seed;
}

}  // namespace

uint64_t string_hash_seed() {
  static const uint64_t seed = draw_seed();
  return seed;
}

uint64_t hash_string(std::string_view s) {
  static const uint64_t seed = string_hash_seed();
  return XXH3_64bits_withSeed(s.data(), s.size(), seed);
}

}  // namespace vesk
