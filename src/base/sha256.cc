#include "base/sha256.h"

#include <sodium.h>

#include "base/hex.h"

namespace vesk {

Sha256Digest sha256(std::string_view bytes) {
  Sha256Digest out;
  crypto_hash_sha256(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return out;
}

std::string digest_hex(const Sha256Digest& digest) {
  return hex_encode(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

std::string sha256_hex(std::string_view bytes) { return digest_hex(sha256(bytes)); }

}  // namespace vesk
