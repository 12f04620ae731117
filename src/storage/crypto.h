// Encryption at rest: the data key, payload encryption and sealing.
//
// Everything here is stateless; callers pass the store key, or nullptr for a
// plain store. Byte strings travel as std::string. Failures are Runtime errors
// with the exact texts below; open paths re-label them as OS.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/status.h"
#include "storage/sealed_format.h"

namespace vesk {

// A 32-byte secret. Every copy is overwritten with zeros when it dies, so a key
// never lingers in freed memory.
class SecretKey {
 public:
  SecretKey();
  SecretKey(const SecretKey& other);
  SecretKey& operator=(const SecretKey& other);
  ~SecretKey();

  // A key from the operating-system random source.
  static SecretKey random();

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  static constexpr size_t size() { return kDataKeySize; }
  bool operator==(const SecretKey& other) const;  // constant time

 private:
  std::array<uint8_t, kDataKeySize> bytes_;
};

// The store key: one shared, immutable copy of the data key handed to every
// reader and writer of store files; null for a plain store.
using StoreKey = std::shared_ptr<const SecretKey>;

// Overwrites a buffer with zeros in a way the compiler cannot drop.
void wipe(std::string& bytes);

// Nonce, ciphertext and tag of `plaintext` under `key` (plaintext length + 28).
// Fails with "Encryption failed: {}" beyond the cipher's message limit.
Result<std::string> encrypt_payload(std::string_view plaintext, const SecretKey& key);
// The same, appended to `out` (no intermediate buffer).
Status append_encrypted_payload(std::string_view plaintext, const SecretKey& key, std::string* out);
// Plaintext of an encrypted payload: "Encrypted data too short" below 28 bytes,
// "Decryption failed - invalid key or corrupted data" when the tag does not
// verify.
Result<std::string> decrypt_payload(std::string_view payload, const SecretKey& key);

// "AEF1" and the encrypted payload with a key; a copy of the bytes without.
Result<std::string> seal_payload(const SecretKey* key, std::string_view bytes);
// The inverse, deciding by the key and the first four bytes:
//   key,    starts with "AEF1" -> decrypt the rest
//   key,    anything else      -> "Plaintext payload in encrypted memory; explicit migration required"
//   no key, starts with "AEF1" -> "Password required for encrypted memory"
//   no key, anything else      -> the bytes unchanged
Result<std::string> unseal_payload(const SecretKey* key, std::string_view stored);
// The same without copying a plain payload: the stored bytes themselves, or
// the plaintext, kept in `plaintext`.
Result<std::string_view> unseal_payload_view(const SecretKey* key, std::string_view stored, std::string& plaintext);

// Argon2id v0x13, 19456 KiB, 2 passes, 1 lane, 32-byte output, no secret and
// no associated data. Fails with "Key derivation failed: {}".
inline constexpr uint64_t kArgon2Passes = 2;
inline constexpr size_t kArgon2MemoryKiB = 19456;
Result<SecretKey> derive_key_encryption_key(std::string_view password, std::string_view salt);

// Bytes from the operating-system random source.
void random_bytes(void* dst, size_t n);

}  // namespace vesk
