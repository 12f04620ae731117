#include "exchange/capsule/signing_key.h"

#include <sodium.h>

#include <cstring>
#include <optional>
#include <utility>

#include "base/hex.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/ed25519_point.h"

namespace vesk {

namespace {

void ensure_sodium() {
  static const bool ready = sodium_init() >= 0;
  (void)ready;
}

std::string_view as_text(const uint8_t* bytes, size_t n) { return {reinterpret_cast<const char*>(bytes), n}; }

// The decoded bytes of a key text (wiped when done with them).
class SecretBytes {
 public:
  explicit SecretBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  ~SecretBytes() {
    if (!bytes_.empty()) sodium_memzero(bytes_.data(), bytes_.size());
  }
  const std::string& get() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace

ContainerSigningKey::ContainerSigningKey(std::span<const uint8_t, 32> seed) {
  ensure_sodium();
  crypto_sign_ed25519_seed_keypair(public_key_.data(), secret_.data(), seed.data());
}

ContainerSigningKey::~ContainerSigningKey() { sodium_memzero(secret_.data(), secret_.size()); }

std::string ContainerSigningKey::public_key_hex() const {
  return hex_encode(as_text(public_key_.data(), public_key_.size()));
}

std::array<uint8_t, 64> ContainerSigningKey::sign(std::string_view message) const {
  std::array<uint8_t, 64> signature;
  crypto_sign_ed25519_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                               message.size(), secret_.data());
  return signature;
}

Result<std::unique_ptr<ContainerSigningKey>> parse_signing_key_hex(std::string_view text) {
  std::optional<std::string> decoded = hex_decode(text);
  if (!decoded) return Status::OS("Vesk container signing key must be 64 hexadecimal characters");
  SecretBytes seed(std::move(*decoded));
  if (seed.get().size() != 32) return Status::OS("Vesk container signing key must encode exactly 32 bytes");
  return std::make_unique<ContainerSigningKey>(
      std::span<const uint8_t, 32>(reinterpret_cast<const uint8_t*>(seed.get().data()), 32));
}

Result<Ed25519PublicKey> parse_public_key_hex(std::string_view text) {
  std::optional<std::string> decoded = hex_decode(text);
  if (!decoded) return Status::OS("Vesk container public key must be 64 hexadecimal characters");
  if (decoded->size() != 32) return Status::OS("Vesk container public key must encode exactly 32 bytes");
  Ed25519PublicKey key;
  std::memcpy(key.data(), decoded->data(), key.size());
  if (!ed25519_point_decompresses(key)) return Status::OS("Invalid Vesk container Ed25519 public key");
  return key;
}

ContainerKeyPair::~ContainerKeyPair() {
  if (!private_key.empty()) sodium_memzero(private_key.data(), private_key.size());
}

Result<ContainerKeyPair> generate_container_signing_key(Env& env) {
  std::array<uint8_t, 32> seed;
  Status drawn = env.random_bytes(seed.data(), seed.size());
  if (!drawn.ok()) {
    sodium_memzero(seed.data(), seed.size());
    return container_io_error(drawn);
  }
  ContainerSigningKey key(seed);
  ContainerKeyPair pair(hex_encode(as_text(seed.data(), seed.size())), key.public_key_hex());
  sodium_memzero(seed.data(), seed.size());
  return Result<ContainerKeyPair>(std::move(pair));
}

}  // namespace vesk
