// SHA-256 of a byte string, and its lower-case hexadecimal text (the form in
// which digests are stored and compared).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vesk {

using Sha256Digest = std::array<uint8_t, 32>;

// Uses the processor's SHA instructions where it has them.
Sha256Digest sha256(std::string_view bytes);
// The portable implementation alone (the reference the fast one is tested
// against).
Sha256Digest sha256_portable(std::string_view bytes);
// 64 lower-case hexadecimal characters.
std::string digest_hex(const Sha256Digest& digest);
std::string sha256_hex(std::string_view bytes);

}  // namespace vesk
