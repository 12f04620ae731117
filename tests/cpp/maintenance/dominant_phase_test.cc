#include "maintenance/dominant_phase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "maintenance/phase_clock.h"

namespace vesk {
namespace {

TEST(DominantPhase, TheLongestPhaseWithTiesToTheLaterOne) {
  struct Case {
    const char* name;
    std::function<void(PhaseTimings&)> set;
    std::string phase;
    double ms;
    double share;
  };
  const Case cases[] = {
      {"every timing 0", [](PhaseTimings&) {}, "tasks_archival", 0.0, 0.0},
      {"one phase longest", [](PhaseTimings& t) { t.belief_ms = 4.0, t.decay_ms = 3.0, t.total_ms = 16.0; },
       "belief", 4.0, 0.25},
      {"a tie goes to the later phase",
       [](PhaseTimings& t) { t.level_fix_ms = 2.0, t.causal_ms = 2.0, t.concept_ms = 2.0, t.total_ms = 8.0; },
       "causal", 2.0, 0.25},
      {"the first phase when strictly longest", [](PhaseTimings& t) { t.level_fix_ms = 1.0, t.total_ms = 2.0; },
       "level_fix", 1.0, 0.5},
      {"total_ms not counted as a phase", [](PhaseTimings& t) { t.sdr_build_ms = 1.0, t.total_ms = 1.0; },
       "sdr_build", 1.0, 1.0},
      {"no share without a total", [](PhaseTimings& t) { t.cross_connections_ms = 3.0; }, "cross_connections", 3.0,
       0.0},
  };
  for (const Case& c : cases) {
    PhaseTimings t;
    c.set(t);
    MaintenanceHotspots h;
    fill_dominant_phase(t, h);
    EXPECT_EQ(h.dominant_phase, c.phase) << c.name;
    EXPECT_EQ(h.dominant_phase_ms, c.ms) << c.name;
    EXPECT_EQ(h.dominant_phase_share, c.share) << c.name;
  }
}

TEST(PhaseClock, MillisecondsAndNeverNegative) {
  const PhaseInstant t0 = phase_clock_now();
  EXPECT_DOUBLE_EQ(elapsed_ms(t0, t0 + std::chrono::nanoseconds(1'500'250'000)), 1500.25);
  EXPECT_EQ(elapsed_ms(t0 + std::chrono::milliseconds(3), t0), 0.0);
  EXPECT_EQ(elapsed_ms(t0, t0), 0.0);
}

}  // namespace
}  // namespace vesk
