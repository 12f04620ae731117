#include "cognitive/surface_load_support.h"

#include <utility>

#include "storage/utf8.h"

namespace vesk {

namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

std::string display_path(const fs::path& path) { return decode_utf8_lossy(path.native()); }

void append_surface_event(std::vector<StartupValidationEvent>& events, std::string_view surface, const fs::path& path,
                          std::string_view status, std::string detail) {
  StartupValidationEvent e;
  e.surface = surface;
  e.path = display_path(path);
  e.status = status;
  e.detail = std::move(detail);
  e.recovered = status != kLoadedStatus;
  events.push_back(std::move(e));
}

bool is_blank_text(std::string_view text) {
  if (!is_valid_utf8(text)) return false;
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t c;
    size_t len;
    if (b < 0x80) {
      c = b;
      len = 1;
    } else if (b < 0xE0) {
      c = b & 0x1F;
      len = 2;
    } else if (b < 0xF0) {
      c = b & 0x0F;
      len = 3;
    } else {
      c = b & 0x07;
      len = 4;
    }
    for (size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if (!is_white_space(c)) return false;
    i += len;
  }
  return true;
}

}  // namespace vesk
