#include "cognitive/startup_validation.h"

#include <gtest/gtest.h>

#include <vector>

#include "store/cold_records.h"

namespace vesk {
namespace {

StartupValidationEvent ev(const char* status, bool recovered) {
  return {"belief", "/s/beliefs.cog", status, "d", recovered};
}

TEST(StartupValidationReport, CountsStatusesByExactText) {
  struct Case {
    const char* name;
    std::vector<StartupValidationEvent> events;
    uint64_t loaded, missing, recovered, derived;
    bool warnings;
  };
  const Case cases[] = {
      {"none", {}, 0, 0, 0, 0, false},
      {"every status",
       {ev("loaded", false), ev("missing_fallback", true), ev("empty_fallback", true),
        ev("load_error_fallback", true), ev("read_error_fallback", true), ev("version_mismatch", true),
        ev("derived_skipped", false), ev("loaded", false)},
       2, 2, 1, 1, true},
      // Counted nowhere, but they still warn.
      {"read error", {ev("read_error_fallback", true)}, 0, 0, 0, 0, true},
      {"version mismatch", {ev("loaded", false), ev("version_mismatch", true)}, 1, 0, 0, 0, true},
      // The warning follows the flag, not the status.
      {"cold records", {cold_records_event("/s/brain.cog", "kept 3 demoted records in the durable journal")},
       0, 0, 0, 0, false},
      {"flag only", {ev("loaded", true)}, 1, 0, 0, 0, true},
      // Byte-for-byte: near misses count nowhere.
      {"near misses", {ev("Loaded", false), ev("loaded ", false), ev("missing", true)}, 0, 0, 0, 0, true},
  };
  for (const Case& c : cases) {
    auto r = StartupValidationReport::from_events(c.events);
    EXPECT_EQ(r.loaded_surfaces, c.loaded) << c.name;
    EXPECT_EQ(r.missing_fallbacks, c.missing) << c.name;
    EXPECT_EQ(r.recovered_fallbacks, c.recovered) << c.name;
    EXPECT_EQ(r.derived_skips, c.derived) << c.name;
    EXPECT_EQ(r.has_recovery_warnings, c.warnings) << c.name;
    EXPECT_EQ(r.events, c.events) << c.name;
  }
}

}  // namespace
}  // namespace vesk
