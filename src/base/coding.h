// Little-endian encoding of fixed-width integers and floats for store files.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

namespace vesk {

template <typename T>
inline void put_le(std::string* out, T v) {
  static_assert(std::is_arithmetic_v<T>);
  using U = std::conditional_t<sizeof(T) == 1, uint8_t,
                               std::conditional_t<sizeof(T) == 2, uint16_t,
                                                  std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
  U u = std::bit_cast<U>(v);
  char b[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<char>((u >> (8 * i)) & 0xff);
  out->append(b, sizeof(T));
}

// The values one after another, each as put_le writes it: one copy on a
// little-endian host.
inline void put_le_u16s(std::string* out, std::span<const uint16_t> values) {
  if constexpr (std::endian::native == std::endian::little) {
    out->append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(uint16_t));
  } else {
    for (uint16_t v : values) put_le(out, v);
  }
}

template <typename T>
inline T get_le(const char* p) {
  static_assert(std::is_arithmetic_v<T>);
  using U = std::conditional_t<sizeof(T) == 1, uint8_t,
                               std::conditional_t<sizeof(T) == 2, uint16_t,
                                                  std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
  U u = 0;
  for (size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<uint8_t>(p[i])) << (8 * i);
  return std::bit_cast<T>(u);
}

}  // namespace vesk
