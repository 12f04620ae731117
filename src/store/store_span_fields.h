// Helpers shared by the write operations that open a store span and write an
// audit entry: the text preview and the tags field.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "model/unicode_text.h"

namespace vesk {

// The first 50 characters (not bytes) of a text: the audit entry's preview.
inline std::string text_preview(std::string_view text) { return std::string(first_chars(text, 50)); }

// The tags argument as a span field: the list as written, absent when not
// given.
inline trace::Field tags_field(const std::optional<std::vector<std::string>>& tags) {
  if (!tags) return trace::empty("tags");
  std::string text = "[";
  for (size_t i = 0; i < tags->size(); ++i) {
    if (i) text += ", ";
    text += '"';
    text += (*tags)[i];
    text += '"';
  }
  text += ']';
  return trace::field("tags", text);
}

}  // namespace vesk
