// The causal layer's record -> patterns index: built by a load, kept in step
// by the purge, and equal engines compare equal whether indexed or not.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cognitive/causal_record_index.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/layer_removal.h"
#include "cognitive/layer_file_save.h"

namespace vesk {
namespace {

CausalPattern pattern(const std::string& id, std::vector<std::string> causes, std::vector<std::string> effects) {
  CausalPattern p;
  p.id = id;
  p.key = "default:" + id;
  p.namespace_ = "default";
  p.cause_record_ids = std::move(causes);
  p.effect_record_ids = std::move(effects);
  p.support_count = 1;
  return p;
}

CausalEngine engine_of(const std::vector<CausalPattern>& patterns) {
  CausalEngine e;
  for (const CausalPattern& p : patterns) {
    e.patterns[p.id] = p;
    e.key_index[p.key] = p.id;
  }
  return e;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(CausalRecordIndex, ALoadIndexesAndAPurgeReindexes) {
  const CausalEngine built = engine_of({pattern("p1", {"a"}, {"b"}), pattern("p2", {"a", "c"}, {"a"})});
  Result<CausalEngine> loaded = parse_causal_engine(layer_json(built));
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  EXPECT_EQ(*loaded, built);  // the index takes no part in equality

  const CausalRecordLinks* a = causal_links_for_record(*loaded, "a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(sorted(a->as_cause), (std::vector<std::string>{"p1", "p2"}));
  EXPECT_EQ(a->as_effect, std::vector<std::string>{"p2"});
  EXPECT_EQ(causal_links_for_record(*loaded, "b")->as_effect, std::vector<std::string>{"p1"});
  EXPECT_EQ(causal_links_for_record(*loaded, "z"), nullptr);

  remove_causal_patterns(*loaded, "c", RemovedLayerIds{});
  EXPECT_EQ(causal_links_for_record(*loaded, "c"), nullptr);
  EXPECT_EQ(causal_links_for_record(*loaded, "a")->as_cause, std::vector<std::string>{"p1"});
  EXPECT_TRUE(causal_links_for_record(*loaded, "a")->as_effect.empty());
}

}  // namespace
}  // namespace vesk
