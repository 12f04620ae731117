// Planning, compaction and holds on containers built byte by byte, with the
// machine broken on purpose where a promise is about durability.
#include "exchange/capsule/container_retention.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "exchange/capsule/container_compaction.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/generation_holds.h"
#include "exchange/capsule/retention_plan.h"
#include "exchange/container_builder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::ContainerBuilder;
using testing::FaultEnv;
using testing::Files;
using testing::FixedEnv;
using testing::slurp;
using testing::TempDir;

// Files that change, stay and come back, so that generations share some
// segments with the one before them and not others.
Files files_of(int n) {
  return {{"brain.vesk", "records " + std::to_string(n % 4)},
          {"index/sdr.idx", std::string(100 + 10 * (n % 3), 'i')},
          {"temporal.bin", n % 2 ? "odd" : "even, longer"}};
}

fs::path build(const TempDir& dir, int count, const std::string& name = "c.vesk") {
  ContainerBuilder b;
  for (int n = 1; n <= count; ++n) b.add(files_of(n));
  const fs::path p = dir / name;
  b.write(p);
  return p;
}

std::vector<uint64_t> numbers(const fs::path& p) {
  std::vector<uint64_t> out;
  for (const CapsuleToc& toc : load_v2_container_state(p, Env::Default()).value().generations) {
    out.push_back(toc.generation);
  }
  return out;
}

// The plan's estimate, computed once for all lengths, is the estimate of the
// kept TOCs taken one by one; and compaction lands within the digits the new
// offsets change.
TEST(RetentionPlan, EstimateForEveryKeepMatchesTheKeptGenerations) {
  TempDir dir;
  const fs::path p = build(dir, 12);
  const std::vector<CapsuleToc> tocs = load_v2_container_state(p, Env::Default()).value().generations;
  for (uint64_t keep = 1; keep <= tocs.size(); ++keep) {
    RetentionPolicy policy;
    policy.max_generations = keep;
    const RetentionPlan plan = plan_retention(p, policy, Env::Default()).value();
    const std::vector<CapsuleToc> kept(tocs.end() - keep, tocs.end());
    EXPECT_EQ(plan.estimated_compacted_size, estimate_compacted_size(kept).value()) << keep;
  }
  const uint64_t estimate = estimate_compacted_size({tocs.end() - 3, tocs.end()}).value();
  const CompactionReport report = compact_container_generations(p, 3, Env::Default()).value();
  EXPECT_NEAR(static_cast<double>(report.compacted_size), static_cast<double>(estimate), 3 * 3 * 3);
}

TEST(RetentionPlan, SizeLimitStopsAtTheFirstFitAndAgeAtTheFirstOldGeneration) {
  TempDir dir;
  const fs::path p = build(dir, 6);
  const std::vector<CapsuleToc> tocs = load_v2_container_state(p, Env::Default()).value().generations;
  RetentionPolicy size;
  size.max_size_bytes = estimate_compacted_size({tocs.end() - 4, tocs.end()}).value();
  EXPECT_EQ(plan_retention(p, size, Env::Default()).value().selected_keep_last, 4u);

  // The builder stamps generation n at 1,700,000,000 + n.
  FixedEnv env({1'700'000'010, 0});
  RetentionPolicy age;
  age.max_age_seconds = 6;  // cutoff 1,700,000,004: generations 4, 5, 6
  RetentionPlan plan = plan_retention(p, age, env).value();
  EXPECT_EQ(plan.selected_keep_last, 3u);
  EXPECT_EQ(plan.age_cutoff, 1'700'000'004u);
  EXPECT_EQ(plan.reasons, std::vector<std::string>{"max_age_seconds=6"});
  age.min_generations = 5;
  EXPECT_EQ(plan_retention(p, age, env).value().selected_keep_last, 5u);
}

// Every failure of a compaction leaves the container byte-identical and no
// temporary file behind.
TEST(Compaction, AFailureAnywhereLeavesTheContainerAsItWas) {
  struct Case {
    const char* name;
    void (*breaks)(FaultEnv&);
  };
  const Case cases[] = {
      {"torn copy", [](FaultEnv& e) { e.tear_writes_after("compact.tmp", 200); }},
      {"failed sync", [](FaultEnv& e) { e.fail_sync("compact.tmp"); }},
      {"failed rename", [](FaultEnv& e) { e.fail_rename_from("compact.tmp"); }},
      {"failed read back", [](FaultEnv& e) { e.fail_reads("compact.tmp"); }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path p = build(dir, 5);
    const std::string before = slurp(p);
    FaultEnv env;
    c.breaks(env);
    EXPECT_FALSE(compact_container_generations(p, 2, env).ok()) << c.name;
    EXPECT_EQ(slurp(p), before) << c.name;
    EXPECT_FALSE(fs::exists(compaction_temp_path(p))) << c.name;
  }
}

TEST(Compaction, DamagedSegmentIsNotCopied) {
  TempDir dir;
  ContainerBuilder b;
  b.add(files_of(1));
  const CapsuleToc second = b.add(files_of(2));
  b.bytes()[second.segments[0].offset] ^= 0x20;
  const fs::path p = dir / "c.vesk";
  b.write(p);
  EXPECT_EQ(compact_container_generations(p, 1, Env::Default()).status().message(),
            "Checksum mismatch for segment brain.vesk");
  EXPECT_FALSE(fs::exists(compaction_temp_path(p)));
}

TEST(Compaction, UnsignedTocsLoseHoldsOnDroppedGenerations) {
  TempDir dir;
  const fs::path p = build(dir, 4);
  FixedEnv env;
  ASSERT_TRUE(update_generation_holds(p, 2, "old", nullptr, env).ok());
  ASSERT_TRUE(update_generation_holds(p, 4, "new", nullptr, env).ok());  // generation 6: holds 2 and 4
  ASSERT_TRUE(update_generation_holds(p, 2, std::nullopt, nullptr, env).ok());  // generation 7: hold 4
  const CompactionReport report = compact_container_generations(p, 1, env).value();
  EXPECT_EQ(report.kept_generations, (std::vector<uint64_t>{4, 5, 6, 7}));
  const ContainerState state = load_v2_container_state(p, env).value();
  ASSERT_EQ(state.generations[2].generation, 6u);
  ASSERT_EQ(state.generations[2].holds.size(), 1u);
  EXPECT_EQ(state.generations[2].holds[0].generation, 4u);
}

// A control generation cut short leaves a tail the readers ignore; the next
// change cuts it off and commits.
TEST(GenerationHolds, TornControlGenerationIsCutByTheNextChange) {
  TempDir dir;
  const fs::path p = build(dir, 3);
  FaultEnv torn;
  torn.tear_writes_after("c.vesk", 90);
  EXPECT_FALSE(update_generation_holds(p, 1, "x", nullptr, torn).ok());
  EXPECT_EQ(numbers(p), (std::vector<uint64_t>{1, 2, 3}));
  EXPECT_GT(fs::file_size(p), load_v2_container_state(p, Env::Default()).value().committed_end);
  const GenerationHoldReport report = update_generation_holds(p, 1, "x", nullptr, Env::Default()).value();
  EXPECT_EQ(report.control_generation, 4u);
  EXPECT_EQ(fs::file_size(p), load_v2_container_state(p, Env::Default()).value().committed_end);
}

TEST(RetentionApply, PlanFailureChangesNothing) {
  TempDir dir;
  const fs::path p = build(dir, 3);
  const std::string before = slurp(p);
  RetentionPolicy none;
  EXPECT_EQ(apply_container_retention_locked(p, none, Env::Default()).status().message(),
            "Vesk retention policy must define at least one limit");
  EXPECT_EQ(slurp(p), before);
}

}  // namespace
}  // namespace vesk
