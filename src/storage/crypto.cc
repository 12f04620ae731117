#include "storage/crypto.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace vesk {
namespace {

// libsodium must be initialised once before use; it picks its fastest code
// paths and opens the random source. A failure leaves no safe way on.
void ensure_sodium() {
  static const bool ready = [] {
    if (sodium_init() < 0) std::abort();
    return true;
  }();
  (void)ready;
}

const unsigned char* u8(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

}  // namespace

SecretKey::SecretKey() { bytes_.fill(0); }
SecretKey::SecretKey(const SecretKey& other) : bytes_(other.bytes_) {}
SecretKey& SecretKey::operator=(const SecretKey& other) {
  bytes_ = other.bytes_;
  return *this;
}
SecretKey::~SecretKey() { sodium_memzero(bytes_.data(), bytes_.size()); }

SecretKey SecretKey::random() {
  SecretKey k;
  random_bytes(k.data(), k.size());
  return k;
}

bool SecretKey::operator==(const SecretKey& other) const {
  ensure_sodium();
  return sodium_memcmp(bytes_.data(), other.bytes_.data(), bytes_.size()) == 0;
}

void wipe(std::string& bytes) {
  if (!bytes.empty()) sodium_memzero(bytes.data(), bytes.size());
}

void random_bytes(void* dst, size_t n) {
  ensure_sodium();
  randombytes_buf(dst, n);
}

Status append_encrypted_payload(std::string_view plaintext, const SecretKey& key, std::string* out) {
  ensure_sodium();
  if (plaintext.size() > crypto_aead_chacha20poly1305_ietf_MESSAGEBYTES_MAX) {
    return Status::Runtime("Encryption failed: message too long");
  }
  size_t start = out->size();
  out->resize(start + plaintext.size() + kEncryptionOverhead);
  auto* nonce = reinterpret_cast<unsigned char*>(out->data() + start);
  randombytes_buf(nonce, kNonceSize);
  unsigned long long written = 0;
  if (crypto_aead_chacha20poly1305_ietf_encrypt(nonce + kNonceSize, &written, u8(plaintext), plaintext.size(),
                                                nullptr, 0, nullptr, nonce, key.data()) != 0) {
    out->resize(start);
    return Status::Runtime("Encryption failed: cipher error");
  }
  return Status::Ok();
}

Result<std::string> encrypt_payload(std::string_view plaintext, const SecretKey& key) {
  std::string out;
  VESK_RETURN_IF_ERROR(append_encrypted_payload(plaintext, key, &out));
  return out;
}

Result<std::string> decrypt_payload(std::string_view payload, const SecretKey& key) {
  ensure_sodium();
  if (payload.size() < kEncryptionOverhead) return Status::Runtime("Encrypted data too short");
  std::string plain(payload.size() - kEncryptionOverhead, '\0');
  unsigned long long written = 0;
  // The tag is checked in constant time before any plaintext is released.
  if (crypto_aead_chacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char*>(plain.data()), &written, nullptr,
                                                u8(payload) + kNonceSize, payload.size() - kNonceSize, nullptr, 0,
                                                u8(payload), key.data()) != 0) {
    return Status::Runtime("Decryption failed - invalid key or corrupted data");
  }
  return plain;
}

Result<std::string> seal_payload(const SecretKey* key, std::string_view bytes) {
  if (!key) return std::string(bytes);
  std::string out;
  out.reserve(kSealMagic.size() + bytes.size() + kEncryptionOverhead);
  out.append(kSealMagic);
  VESK_RETURN_IF_ERROR(append_encrypted_payload(bytes, *key, &out));
  return out;
}

Result<std::string> unseal_payload(const SecretKey* key, std::string_view stored) {
  bool sealed = stored.substr(0, kSealMagic.size()) == kSealMagic;
  if (key) {
    if (!sealed) return Status::Runtime("Plaintext payload in encrypted memory; explicit migration required");
    return decrypt_payload(stored.substr(kSealMagic.size()), *key);
  }
  if (sealed) return Status::Runtime("Password required for encrypted memory");
  return std::string(stored);
}

Result<std::string_view> unseal_payload_view(const SecretKey* key, std::string_view stored, std::string& plaintext) {
  if (!key && stored.substr(0, kSealMagic.size()) != kSealMagic) return stored;
  auto text = unseal_payload(key, stored);
  if (!text.ok()) return text.status();
  plaintext = std::move(*text);
  return std::string_view(plaintext);
}

Result<SecretKey> derive_key_encryption_key(std::string_view password, std::string_view salt) {
  ensure_sodium();
  if (salt.size() != crypto_pwhash_SALTBYTES) return Status::Runtime("Key derivation failed: salt must be 16 bytes");
  SecretKey kek;
  if (crypto_pwhash(kek.data(), kek.size(), password.data(), password.size(), u8(salt), kArgon2Passes,
                    kArgon2MemoryKiB * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return Status::Runtime("Key derivation failed: out of memory");
  }
  return kek;
}

}  // namespace vesk
