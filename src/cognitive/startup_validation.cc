#include "cognitive/startup_validation.h"

#include <utility>

namespace vesk {

StartupValidationReport StartupValidationReport::from_events(std::vector<StartupValidationEvent> events) {
  StartupValidationReport report;
  for (const StartupValidationEvent& e : events) {
    const std::string_view status = e.status;
    if (status == kLoadedStatus)
      ++report.loaded_surfaces;
    else if (status == kMissingFallbackStatus || status == kEmptyFallbackStatus)
      ++report.missing_fallbacks;
    else if (status == kLoadErrorFallbackStatus)
      ++report.recovered_fallbacks;
    else if (status == kDerivedSkippedStatus)
      ++report.derived_skips;
    if (e.recovered) report.has_recovery_warnings = true;
  }
  report.events = std::move(events);
  return report;
}

}  // namespace vesk
