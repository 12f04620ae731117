#include "model/debug_text.h"

#include <cstdio>

namespace vesk {

std::string quote_debug(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (u < 0x20 || u == 0x7f) {
          char buf[12];
          std::snprintf(buf, sizeof buf, "\\u{%x}", u);
          out += buf;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string quote_debug_list(std::span<const std::string_view> items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    out += quote_debug(items[i]);
  }
  out += "]";
  return out;
}

}  // namespace vesk
