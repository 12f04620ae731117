#include "entities/user_profile.h"

#include <algorithm>
#include <vector>

namespace vesk {

std::string render_user_profile(const StringMap& fields) {
  std::string text = "User Profile:";
  auto add = [&](std::string_view key, const std::string& value) {
    if (value.empty()) return;
    text.append("\n  ").append(key).append(": ").append(value);
  };
  for (std::string_view key : kKnownProfileKeys)
    if (auto it = fields.find(key); it != fields.end()) add(key, it->second);
  // The map has no order of its own; the other keys go by key so that the
  // same fields always render the same text.
  std::vector<const StringMap::value_type*> others;
  for (const auto& entry : fields)
    if (std::find(kKnownProfileKeys.begin(), kKnownProfileKeys.end(), entry.first) == kKnownProfileKeys.end())
      others.push_back(&entry);
  std::sort(others.begin(), others.end(), [](auto* a, auto* b) { return a->first < b->first; });
  for (const auto* entry : others) add(entry->first, entry->second);
  return text;
}

}  // namespace vesk
