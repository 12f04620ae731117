// Startup validation: what opening a store found on each persisted surface.
//
// Every load step of the open appends one event per surface (two for the
// manifest when it fell back, none for the topology); the open then folds the
// list into a report that stays unchanged for the life of the store. Loading
// never fails the open, so the events are the only trace of a file that was
// missing, empty or unusable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Event statuses, compared byte for byte by the report.
inline constexpr std::string_view kLoadedStatus = "loaded";
inline constexpr std::string_view kMissingFallbackStatus = "missing_fallback";
inline constexpr std::string_view kEmptyFallbackStatus = "empty_fallback";
inline constexpr std::string_view kLoadErrorFallbackStatus = "load_error_fallback";
inline constexpr std::string_view kReadErrorFallbackStatus = "read_error_fallback";
inline constexpr std::string_view kVersionMismatchStatus = "version_mismatch";
inline constexpr std::string_view kExcludedFromActiveIndexesStatus = "excluded_from_active_indexes";
// Counted by the report but produced by no loader.
inline constexpr std::string_view kDerivedSkippedStatus = "derived_skipped";

struct StartupValidationEvent {
  std::string surface;  // "belief", "persistence_manifest", "records", ...
  std::string path;     // the file (or directory) as displayed, invalid UTF-8 replaced
  std::string status;   // one of the statuses above
  std::optional<std::string> detail;
  // True when the store started with something other than what the file
  // should have held (a fallback or a normalisation).
  bool recovered = false;

  bool operator==(const StartupValidationEvent&) const = default;
};

struct StartupValidationReport {
  uint64_t loaded_surfaces = 0;      // "loaded"
  uint64_t missing_fallbacks = 0;    // "missing_fallback" and "empty_fallback"
  uint64_t recovered_fallbacks = 0;  // "load_error_fallback" only
  uint64_t derived_skips = 0;        // "derived_skipped"
  bool has_recovery_warnings = false;  // some event has `recovered` set
  std::vector<StartupValidationEvent> events;  // in the order appended

  // Counts the events in one pass and keeps them. "read_error_fallback",
  // "version_mismatch" and "excluded_from_active_indexes" count nowhere, but
  // their `recovered` flag still raises the warning.
  static StartupValidationReport from_events(std::vector<StartupValidationEvent> events);

  bool operator==(const StartupValidationReport&) const = default;
};

}  // namespace vesk
