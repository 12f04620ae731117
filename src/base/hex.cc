#include "base/hex.h"

namespace vesk {

namespace {

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string hex_encode(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(bytes.size() * 2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[2 * i] = kDigits[b >> 4];
    out[2 * i + 1] = kDigits[b & 15];
  }
  return out;
}

std::optional<std::string> hex_decode(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string out(text.size() / 2, '\0');
  for (size_t i = 0; i < out.size(); ++i) {
    const int hi = digit_value(text[2 * i]);
    const int lo = digit_value(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out[i] = static_cast<char>((hi << 4) | lo);
  }
  return out;
}

}  // namespace vesk
