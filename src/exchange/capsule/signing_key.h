// Container signing keys: the Ed25519 key texts, their parsing and the
// making of a new key pair.
//
// A signing key text is the 32-byte Ed25519 secret key (the seed) as 64
// hexadecimal characters; a public key text is the 32-byte compressed curve
// point as 64 hexadecimal characters. Parsing takes digits of either case;
// every key text the system writes is lower-case.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

using Ed25519PublicKey = std::array<uint8_t, 32>;

// A parsed signing key: the seed expanded into the signing library's secret
// key (seed and public key). It lives for one operation; its secret bytes
// are overwritten with zeros when it dies.
class ContainerSigningKey {
 public:
  // Every 32-byte value is a valid seed.
  explicit ContainerSigningKey(std::span<const uint8_t, 32> seed);
  ~ContainerSigningKey();
  ContainerSigningKey(const ContainerSigningKey&) = delete;
  ContainerSigningKey& operator=(const ContainerSigningKey&) = delete;

  const Ed25519PublicKey& public_key() const { return public_key_; }
  // Lower-case hexadecimal of the public key.
  std::string public_key_hex() const;
  // The 64-byte Ed25519 signature of `message` (deterministic, SHA-512).
  std::array<uint8_t, 64> sign(std::string_view message) const;

 private:
  std::array<uint8_t, 64> secret_;  // the library's form: seed, then public key
  Ed25519PublicKey public_key_;
};

// Parses a signing key text, first failure wins:
//   not hexadecimal, or of odd length:
//     "Vesk container signing key must be 64 hexadecimal characters"
//   other than 32 bytes: "Vesk container signing key must encode exactly 32 bytes"
// The decoded copy of the secret is wiped.
Result<std::unique_ptr<ContainerSigningKey>> parse_signing_key_hex(std::string_view text);

// Parses a public key text, first failure wins:
//   "Vesk container public key must be 64 hexadecimal characters"
//   "Vesk container public key must encode exactly 32 bytes"
//   not a point of the curve: "Invalid Vesk container Ed25519 public key"
Result<Ed25519PublicKey> parse_public_key_hex(std::string_view text);

// A new key pair as lower-case texts: 32 bytes from the operating system's
// random source (through `env`) become the secret key; the secret bytes are
// wiped once its text is made, and the text when the pair dies.
struct ContainerKeyPair {
  ContainerKeyPair(std::string private_key_text, std::string public_key_text)
      : private_key(std::move(private_key_text)), public_key(std::move(public_key_text)) {}
  // A moved-from text has handed its buffer over (a key text is too long to
  // be kept inside the string object).
  ContainerKeyPair(ContainerKeyPair&&) noexcept = default;
  ContainerKeyPair(const ContainerKeyPair&) = delete;
  ContainerKeyPair& operator=(const ContainerKeyPair&) = delete;
  ~ContainerKeyPair();

  std::string private_key;
  std::string public_key;
};
Result<ContainerKeyPair> generate_container_signing_key(Env& env);

}  // namespace vesk
