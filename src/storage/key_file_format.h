// The key file "memory.key": the store's data key wrapped under the password.
//
// A keyed store encrypts with a random 32-byte data key. The password never
// encrypts data; it only unlocks this file. The key-encryption key is derived
// from the password's UTF-8 bytes and the salt by Argon2id (version 0x13,
// 19456 KiB, 2 passes, 1 lane, 32-byte output, no secret, no associated data).
// Bytes 16 to 75 are one encrypted payload (see sealed_format.h, without the
// "AEF1" magic) whose plaintext is the data key. No magic, no version: a wrong
// password shows only as a tag that does not verify.
//
//   offset  size  field
//   0       16    salt, random, drawn when the file is created
//   16      12    nonce of the wrapped data key
//   28      32    the data key encrypted under the key-encryption key
//   60      16    Poly1305 tag
//   total 76
//
// The file is written once, when a password is first given for an empty
// directory, and never rewritten.
#pragma once

#include <cstddef>
#include <string_view>

#include "storage/sealed_format.h"

namespace vesk {

inline constexpr std::string_view kKeyFileName = "memory.key";
inline constexpr size_t kKeyFileSaltSize = 16;
inline constexpr size_t kKeyFileSize = kKeyFileSaltSize + kEncryptionOverhead + kDataKeySize;  // 76

}  // namespace vesk
