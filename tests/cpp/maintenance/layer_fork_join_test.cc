#include "maintenance/layer_fork_join.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace vesk {
namespace {

TEST(LayerForkJoin, BothSidesEndBeforeAFailureReachesTheCaller) {
  struct Case {
    const char* name;
    bool concept_throws;
    bool causal_throws;
    std::optional<std::string> caught;
  };
  const Case cases[] = {
      {"no failure", false, false, std::nullopt},
      {"causal side fails", false, true, "causal failed"},
      {"concept side fails", true, false, "concept failed"},
      {"both fail: the concept side's", true, true, "concept failed"},
  };
  for (const Case& c : cases) {
    std::atomic<bool> concept_ended{false}, causal_ended{false};
    std::optional<std::string> caught;
    std::thread::id concept_thread;
    try {
      run_concept_and_causal_phases(
          [&] {
            concept_thread = std::this_thread::get_id();
            concept_ended = true;
            if (c.concept_throws) throw std::runtime_error("concept failed");
          },
          [&] {
            causal_ended = true;
            if (c.causal_throws) throw std::runtime_error("causal failed");
          });
    } catch (const std::runtime_error& e) {
      caught = e.what();
      // Both sides ended before the failure came through.
      EXPECT_TRUE(concept_ended && causal_ended) << c.name;
    }
    EXPECT_EQ(caught, c.caught) << c.name;
    EXPECT_TRUE(concept_ended && causal_ended) << c.name;
    EXPECT_EQ(concept_thread, std::this_thread::get_id()) << c.name << ": the concept side runs on the caller";
  }
}

}  // namespace
}  // namespace vesk
