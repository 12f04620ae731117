#include "store/runtime_config.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(RuntimeConfig, RuntimeBlockStartsFromDefaultsAndReplacesWhole) {
  RuntimeConfig c = runtime_config_new("/tmp/store");
  EXPECT_EQ(c.store_path(), "/tmp/store");
  EXPECT_EQ(c.taxonomy(), tag_taxonomy_default());
  EXPECT_EQ(c.trust(), trust_config_default());
  EXPECT_EQ(c.maintenance(), maintenance_config_default());
  EXPECT_EQ(c.breaker_config(), (CircuitBreakerConfig{3, 600, 600}));

  TagTaxonomy t;
  t.identity_tags = {"me"};
  c.set_taxonomy(t);
  EXPECT_EQ(c.read_taxonomy([](const TagTaxonomy& x) { return x.identity_tags.size(); }), 1u);
  c.set_fusion_mode("equal");
  EXPECT_EQ(c.trust().fusion_mode, "equal");
  EXPECT_EQ(c.trust().source_trust, trust_config_default().source_trust);
  // A new block (a reopened store) starts from the defaults again.
  EXPECT_EQ(runtime_config_new("/tmp/store").taxonomy(), tag_taxonomy_default());
}

}  // namespace
}  // namespace vesk
