// Encoding and parsing of the side map (format in temporal_format.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vesk {

using LinkPairs = std::vector<std::pair<std::string, std::string>>;

std::string encode_temporal_map(const LinkPairs& pairs);
// The pairs of a side map (a repeated key keeps its last value), or none when
// the bytes are not one: wrong magic, a flag other than 1, a length running past
// the end, ill-formed UTF-8. Bytes after the last pair are ignored.
std::optional<std::unordered_map<std::string, std::string>> parse_temporal_map(std::string_view bytes);

}  // namespace vesk
