#include "audit/world_fact.h"

namespace vesk {
namespace {

std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool any_marker_in(std::span<const std::string> markers, const std::string& out, const std::string& err) {
  for (const std::string& marker : markers) {
    std::string m = ascii_lower(marker);
    if (out.find(m) != std::string::npos || err.find(m) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

ConsequencePolarity world_fact_from_output(int32_t exit_code, std::string_view stdout_text,
                                           std::string_view stderr_text,
                                           std::span<const std::string> success_markers,
                                           std::span<const std::string> failure_markers) {
  std::string out = ascii_lower(stdout_text), err = ascii_lower(stderr_text);
  if (any_marker_in(failure_markers, out, err)) return ConsequencePolarity::Refutes;
  if (any_marker_in(success_markers, out, err)) return ConsequencePolarity::Supports;
  return exit_code != 0 ? ConsequencePolarity::Refutes : ConsequencePolarity::Inconclusive;
}

}  // namespace vesk
