// Encrypted and sealed payloads: the two forms encrypted bytes take on disk.
//
// Encrypted payload: ChaCha20-Poly1305 (RFC 8439, the IETF variant with a
// 96-bit nonce; block counter 1 onward) under the 32-byte data key, with empty
// associated data. A fresh random nonce is drawn for every encryption. There is
// no length prefix, version or key identifier. n = plaintext length.
//
//   offset  size  field
//   0       12    nonce
//   12      n     ciphertext
//   12 + n  16    Poly1305 tag
//   total n + 28
//
// The record log stores record texts in this form (marked by the entry's
// encrypted flag); the key file wraps the data key in it.
//
// Sealed payload: what every other encrypted store file or frame holds. With a
// key it is the magic "AEF1" followed by an encrypted payload; without a key it
// is the plaintext itself, byte for byte.
//
//   offset  size    field
//   0       4       "AEF1" (0x41 0x45 0x46 0x31)
//   4       n + 28  encrypted payload
//   total n + 32
//
// A keyed store refuses plain bytes and a plain store refuses "AEF1" bytes, so
// neither ever misreads the other (see unseal_payload).
#pragma once

#include <cstddef>
#include <string_view>

namespace vesk {

inline constexpr size_t kDataKeySize = 32;
inline constexpr size_t kNonceSize = 12;
inline constexpr size_t kTagSize = 16;
inline constexpr size_t kEncryptionOverhead = kNonceSize + kTagSize;  // 28
inline constexpr std::string_view kSealMagic = "AEF1";

}  // namespace vesk
