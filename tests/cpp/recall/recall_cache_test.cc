#include "recall/recall_cache.h"

#include <gtest/gtest.h>

#include <set>

namespace vesk {
namespace {

using namespace std::chrono_literals;
using Names = std::optional<std::vector<std::string>>;

// A monotonic clock the test moves by hand.
struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  MonotonicClock fn() {
    return [this] { return now; };
  }
};

TEST(StructuredRecallCacheKey, HasItsExactFormAndFoldsOnlyWhatMayBeFolded) {
  EXPECT_EQ(structured_recall_cache_key("  Hello World\n", 20, Names{{"b", "a", "a"}}, 0.1f),
            R"(["hello world",20,1036831949,["a","b"]])");
  EXPECT_EQ(structured_recall_cache_key("q", 5, std::nullopt, 1.0f), R"(["q",5,1065353216,["default"]])");

  const std::string base = structured_recall_cache_key("Query", 20, Names{{"a", "b"}}, 0.1f);
  struct Case {
    std::string key;
    bool same;
  } cases[] = {
      {structured_recall_cache_key(" query\t", 20, Names{{"b", "a", "a"}}, 0.1f), true},
      {structured_recall_cache_key("query", 21, Names{{"a", "b"}}, 0.1f), false},
      {structured_recall_cache_key("query", 20, Names{{"a"}}, 0.1f), false},
      {structured_recall_cache_key("query", 20, Names{{"a", "b"}}, 0.1000001f), false},
      {structured_recall_cache_key("query:true", 20, Names{{"a", "b"}}, 0.1f), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.key == base, c.same) << c.key;

  std::set<std::string> distinct = {
      structured_recall_cache_key("q", 20, std::nullopt, 0.1f),
      structured_recall_cache_key("q", 20, Names{std::vector<std::string>{}}, 0.1f),
      structured_recall_cache_key("q", 20, Names{{"default"}}, 0.0f),
      structured_recall_cache_key("q", 20, Names{{"default"}}, -0.0f),
  };
  EXPECT_EQ(distinct.size(), 4u);
  EXPECT_EQ(structured_recall_cache_key("q", 20, std::nullopt, -0.0f), R"(["q",20,2147483648,["default"]])");
  EXPECT_EQ(structured_recall_cache_key("q", 20, std::nullopt, 0.1f),
            structured_recall_cache_key("q", 20, Names{{"default"}}, 0.1f));
}

TEST(TextRecallCacheKey, LowerCasesAndTrimsTheSourceText) {
  EXPECT_EQ(recall_cache_key("Hello World "), recall_cache_key("hello world"));
  EXPECT_EQ(recall_cache_key("\u2003ÀÉ ΣΑΣ\u00a0"), "àé σας");
  EXPECT_EQ(text_recall_cache_source("provenance", "abc", 8192, 0.1f, true), "provenance:abc:8192:0.1:true");
  struct Case {
    float strength;
    const char* text;
  } cases[] = {{1.0f, "1"}, {0.0f, "0"}, {0.25f, "0.25"}, {1e-7f, "0.0000001"}, {1e20f, "100000000000000000000"},
                 {-0.0f, "-0"}, {123.5f, "123.5"}, {-2.5e-3f, "-0.0025"}};
  for (const auto& c : cases)
    EXPECT_EQ(text_recall_cache_source("p", "s", 1, c.strength, false), std::string("p:s:1:") + c.text + ":false");

  TextRecallCache cache;
  recall_cache_put(cache, "P:Scope:1:0.1:TRUE ", "rendered");
  EXPECT_EQ(recall_cache_get(cache, "p:scope:1:0.1:true"), "rendered");
}

TEST(RecallCache, EntriesExpireAtThreeHundredWholeSeconds) {
  FakeClock clock;
  RecallCache<std::string> cache(clock.fn());
  cache.put("k", "v");
  clock.now += 299s + 999ms;
  EXPECT_EQ(cache.get("k"), "v");
  clock.now += 1ms;  // 300 s
  EXPECT_EQ(cache.get("k"), std::nullopt);
  EXPECT_EQ(cache.size(), 0u);  // a stale hit removes the entry

  cache.put("k", "v2");
  clock.now += 400s;
  cache.put("k", "v3");  // a put refreshes the instant
  clock.now += 299s;
  EXPECT_EQ(cache.get("k"), "v3");
}

TEST(RecallCache, AFullCacheEvictsItsOldestEntryBeforeEveryPut) {
  struct Case {
    const char* name;
    std::string put;
    size_t size_after;
    std::string gone;  // evicted by the put
  } cases[] = {
      {"a 51st key", "k50", 50, "k0"},
      {"an existing key", "k7", 49, "k0"},
      {"the oldest key itself", "k0", 50, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    RecallCache<int> cache(clock.fn());
    for (int i = 0; i < 50; ++i) {
      std::string key(1, 'k');
      cache.put(key += std::to_string(i), i);
      clock.now += 1s;
    }
    clock.now += 1000s;  // stale entries still count towards the capacity
    cache.put(c.put, -1);
    EXPECT_EQ(cache.size(), c.size_after);
    if (!c.gone.empty()) {
      EXPECT_EQ(cache.get(c.gone), std::nullopt);
    }
    EXPECT_EQ(cache.get(c.put), -1);
    EXPECT_EQ(cache.get("k1"), std::nullopt);  // stale: misses, but was not evicted by the put
  }

  FakeClock clock;
  TextRecallCache text(clock.fn());
  StructuredRecallCache structured(clock.fn());
  text.put("a", "x");
  structured.put("a", {ScoredRecord{0.5f, Record{}}});
  clear_recall_caches(text, structured);
  EXPECT_EQ(text.size() + structured.size(), 0u);
}

}  // namespace
}  // namespace vesk
