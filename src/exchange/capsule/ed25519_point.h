// Whether 32 bytes are the standard compressed encoding of a point of the
// Ed25519 curve (RFC 8032, 5.1.3): the low 255 bits are y < p = 2^255 - 19,
// x^2 = (y^2 - 1) / (d y^2 + 1) has a root, and the top bit (the sign of x)
// is clear when that root is 0. Points of small or mixed order decompress
// too; the signature check decides what they may sign.
//
// The signature library checks only stricter properties, so the decoding is
// done here, on public data, in variable time.
#pragma once

#include <cstdint>
#include <span>

namespace vesk {

bool ed25519_point_decompresses(std::span<const uint8_t, 32> encoded);

}  // namespace vesk
