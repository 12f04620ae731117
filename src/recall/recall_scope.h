// The recall scope key: which question a recall answers, as the text and
// structured recalls key their caches.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// 64 lower-case hex digits: the SHA-256 of the compact JSON array
// [query trimmed of Unicode white space and fully lower-cased, namespaces
// sorted by bytes without repeats]. No list counts as ["default"]; an empty
// list stays empty (and so gives another key).
std::string recall_scope_key(std::string_view query, const std::optional<std::vector<std::string>>& namespaces);

}  // namespace vesk
