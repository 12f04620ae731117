#include "model/connection_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "base/compact_string.h"
#include "model/json_codec.h"

namespace vesk {
namespace {

TEST(CompactString, HoldsAnyTextAcrossTheInlineLimit) {
  for (size_t n : {0u, 1u, 12u, 14u, 15u, 16u, 17u, 300u}) {
    std::string text(n, 'x');
    if (n > 0) text[n - 1] = '\0';  // an embedded NUL is kept
    if (n > 1) text[0] = 'a';
    CompactString s(text);
    EXPECT_EQ(s.view(), text) << n;
    EXPECT_EQ(s.size(), n);
    CompactString copy = s, moved = std::move(s);
    EXPECT_EQ(copy, moved);
    EXPECT_EQ(moved.view(), text);
    EXPECT_TRUE(s.empty());  // NOLINT: a moved-from text is empty
    copy = CompactString("short");
    EXPECT_EQ(copy, "short");
    moved = copy;
    EXPECT_EQ(moved, std::string("short"));
  }
}

// The map against a std::map fed the same random operations: same entries,
// in the same (ascending) order.
TEST(ConnectionMap, AgreesWithAnOrderedMapOnRandomEdits) {
  std::mt19937 rng(7);
  ConnectionMap<float> m;
  std::map<std::string, float> want;
  for (int step = 0; step < 5000; ++step) {
    // Keys on both sides of the inline limit.
    std::string key(rng() % 2 ? "k" : "a-much-longer-target-id-");
    key.append(std::to_string(rng() % 60));
    const float v = static_cast<float>(rng() % 100);
    switch (rng() % 5) {
      case 0:
        m.insert_or_assign(key, v);
        want.insert_or_assign(key, v);
        break;
      case 1:
        EXPECT_EQ(m.try_emplace(key, v).second, want.try_emplace(key, v).second);
        break;
      case 2:
        EXPECT_EQ(m.erase(key), want.erase(key));
        break;
      case 3:
        m[key] += 1.0f;
        want[key] += 1.0f;
        break;
      default:
        EXPECT_EQ(m.contains(key), want.contains(key));
    }
  }
  ASSERT_EQ(m.size(), want.size());
  auto it = want.begin();
  for (const auto& [k, v] : m) {
    EXPECT_EQ(k.view(), it->first);
    EXPECT_EQ(v, it->second);
    ++it;
  }
  const size_t odd = erase_if(m, [](const auto& e) { return static_cast<int>(e.second) % 2 == 1; });
  const size_t want_odd = std::erase_if(want, [](const auto& e) { return static_cast<int>(e.second) % 2 == 1; });
  EXPECT_EQ(odd, want_odd);
  EXPECT_EQ(m.size(), want.size());
}

TEST(ConnectionMap, JsonFormIsSortedAndARepeatedKeyKeepsItsLastValue) {
  auto read = json_parse<ConnectionMap<CompactString>>(R"({"b":"causal","a":"x","b":"a-relation-type-of-some-length"})");
  ASSERT_TRUE(read.ok()) << read.status().message();
  EXPECT_EQ(read->size(), 2u);
  EXPECT_EQ(read->at("b"), "a-relation-type-of-some-length");
  EXPECT_EQ(json_to_string(*read), R"({"a":"x","b":"a-relation-type-of-some-length"})");
  EXPECT_FALSE(json_parse<ConnectionMap<float>>(R"({"a":"x"})").ok());
}

}  // namespace
}  // namespace vesk
