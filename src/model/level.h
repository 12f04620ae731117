// Level: the memory level of a record, stored in one byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vesk {

enum class Level : uint8_t { Working = 1, Decisions = 2, Domain = 3, Identity = 4 };

// The value as stored (1..4).
constexpr uint8_t level_value(Level l) { return static_cast<uint8_t>(l); }

// A level from its numeric value, or none outside 1..4.
constexpr std::optional<Level> level_from_value(int v) {
  if (v < 1 || v > 4) return std::nullopt;
  return static_cast<Level>(v);
}

// Variant name with exact case, as JSON writes it ("Working").
std::string_view level_json_name(Level l);
// Upper-case form for human-readable output ("WORKING").
std::string_view level_display_name(Level l);
// A level from its JSON name (exact case), or none.
std::optional<Level> level_from_json_name(std::string_view name);

// Per-level decay rate: a 32-bit constant; widen it, never re-read 0.8.
constexpr float level_decay_rate(Level l) {
  switch (l) {
    case Level::Working: return 0.80f;
    case Level::Decisions: return 0.90f;
    case Level::Domain: return 0.95f;
    case Level::Identity: return 0.99f;
  }
  return 0.80f;
}

constexpr bool level_is_cognitive(Level l) { return level_value(l) < 3; }
constexpr bool level_is_core(Level l) { return level_value(l) >= 3; }
constexpr std::string_view level_dna(Level l) { return level_is_cognitive(l) ? "general" : "user_core"; }
constexpr std::string_view level_tier(Level l) { return level_is_cognitive(l) ? "cognitive" : "core"; }

}  // namespace vesk
