#include <gtest/gtest.h>

#include "model/config_maintenance.h"
#include "model/config_taxonomy.h"
#include "model/config_trust.h"

namespace vesk {
namespace {

TEST(Config, TaxonomyDefaults) {
  const TagTaxonomy t = tag_taxonomy_default();
  const StringSet* sets[] = {&t.identity_tags,           &t.stable_tags,            &t.volatile_tags,
                             &t.non_identity_tags,       &t.consolidation_skip_tags, &t.archive_protected_tags,
                             &t.sensitive_tags};
  const size_t sizes[] = {2, 5, 4, 15, 11, 6, 3};
  const bool has_identity[] = {true, true, false, false, true, true, false};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(sets[i]->size(), sizes[i]) << i;
    EXPECT_EQ(sets[i]->count("identity") == 1, has_identity[i]) << i;
    EXPECT_EQ(sets[i]->count("Identity"), 0u);
  }
  EXPECT_TRUE(t.non_identity_tags.contains("autonomous-goal"));
  EXPECT_TRUE(t.archive_protected_tags.contains("relationship"));
  EXPECT_TRUE(t.sensitive_tags.contains("wallet"));
}

TEST(Config, TrustDefaults) {
  const TrustConfig t = trust_config_default();
  EXPECT_EQ(t.source_trust.size(), 6u);
  EXPECT_EQ(t.source_authority.size(), 10u);
  EXPECT_EQ(t.source_authority.at("agent-inference"), 0.65f);
  EXPECT_FALSE(t.source_trust.contains("agent-inference"));
  for (const char* s : {"user-telegram", "user-desktop", "user-voice"}) {
    EXPECT_EQ(t.source_authority.at(s), 1.2f);
    EXPECT_FALSE(t.source_trust.contains(s));
  }
  EXPECT_EQ(t.source_trust.at("user-confirmed"), 1.0f);
  EXPECT_EQ(t.source_authority.at("user-confirmed"), 1.2f);
  EXPECT_EQ(t.source_trust.at("agent-worker"), 0.35f);
  EXPECT_EQ(t.recency_boost_max, 0.2f);
  EXPECT_EQ(t.recency_half_life_days, 7.0f);
  EXPECT_EQ(t.fusion_mode, "family");
}

TEST(Config, MaintenanceDefaults) {
  const MaintenanceConfig m = maintenance_config_default();
  EXPECT_TRUE(m.decay_enabled && m.reflect_enabled && m.insights_enabled && m.consolidation_enabled &&
              m.synthesis_enabled && m.archival_enabled);
  EXPECT_EQ(m.level_fix_interval, 10u);
  EXPECT_EQ(m.max_clusters_per_run, 3u);
  ASSERT_EQ(m.archival_rules.size(), 10u);
  EXPECT_EQ(m.archival_rules.front(), (ArchivalRule{"web-search-cache", 1, 0}));
  EXPECT_EQ(m.archival_rules[7], (ArchivalRule{"consolidated-meta", 90, 200}));
  EXPECT_EQ(m.archival_rules.back(), (ArchivalRule{"feedback-signal", 14, 50}));
  EXPECT_EQ(m.completed_archival_rules,
            (std::vector<CompletedArchivalRule>{{"todo-item", 30}, {"scheduled-task", 30}}));
  EXPECT_EQ(m.task_tag, "scheduled-task");
}

}  // namespace
}  // namespace vesk
