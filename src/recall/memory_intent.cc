#include "recall/memory_intent.h"

#include <array>
#include <string>

#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr std::array<std::string_view, 8> kMemoryReferenceCues = {
    " previous ", " earlier ", " my ", " our ", " saved ", " memory ", " discussed ", " decided "};
constexpr std::array<std::string_view, 3> kSelfContainedPrefixes = {"calculate ", "translate ", "rewrite "};
constexpr std::array<std::string_view, 8> kTimelineCues = {"when",   "latest", "current", "changed",
                                                           "date",   "budget", "version", "timezone"};
constexpr std::array<std::string_view, 6> kGraphCues = {"related",  "relationship", "leads", "which project",
                                                        "produced", "verified by"};
constexpr std::array<std::string_view, 8> kDocumentaryCues = {"prefer", "preference", "policy",    "codename",
                                                              "error code", "office", "team size", "compliance"};

template <size_t N>
bool contains_any(std::string_view text, const std::array<std::string_view, N>& cues) {
  for (std::string_view cue : cues)
    if (text.find(cue) != std::string_view::npos) return true;
  return false;
}

}  // namespace

MemoryIntent suggest_memory_intent(std::string_view query) {
  const std::string_view trimmed = trim_unicode_white_space(query);
  if (trimmed.empty()) return {false, {}, "empty_query"};
  std::string padded;
  padded.reserve(trimmed.size() + 2);
  padded += ' ';
  for (char c : trimmed) padded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  padded += ' ';
  const std::string_view text = std::string_view(padded).substr(1, trimmed.size());
  if (!contains_any(padded, kMemoryReferenceCues)) {
    for (std::string_view prefix : kSelfContainedPrefixes)
      if (text.starts_with(prefix)) return {false, {}, "self_contained_turn"};
  }
  MemoryIntent intent{true, {}, "query_signal_routes"};
  if (contains_any(text, kTimelineCues)) intent.suggested_routes.push_back("timeline");
  if (contains_any(text, kGraphCues)) intent.suggested_routes.push_back("graph");
  if (contains_any(text, kDocumentaryCues)) intent.suggested_routes.push_back("documentary");
  if (intent.suggested_routes.empty()) {
    intent.suggested_routes = {"timeline", "graph", "documentary"};
    intent.reason = "conservative_all_routes";
  }
  return intent;
}

}  // namespace vesk
