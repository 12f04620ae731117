#include "model/flat_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

// Random insertions, assignments, lookups and erasures over a few thousand
// keys (enough for the index to grow several times, for runs of collisions
// to form and be shifted back, and for erasures to move the last entry)
// leave the contents a plain map holds.
TEST(FlatStringMap, BehavesAsAPlainMap) {
  std::mt19937 rng(6);
  FlatStringMap<std::string> map;
  std::map<std::string, std::string> plain;
  std::vector<std::string> keys;
  for (int i = 0; i < 4000; ++i) keys.push_back(i % 5 == 0 ? std::string(20 + i % 30, 'k') + std::to_string(i) : "id" + std::to_string(i));
  keys.push_back("");
  for (int step = 0; step < 80000; ++step) {
    const std::string& key = keys[rng() % keys.size()];
    const std::string value = "v" + std::to_string(step);
    switch (rng() % 5) {
      case 0:
      case 1:
        EXPECT_EQ(map.insert_or_assign(key, value), !plain.contains(key));
        plain[key] = value;
        break;
      case 2:
        map[key] += "+";
        plain[key] += "+";
        break;
      case 3: {
        const std::string* got = map.find(key);
        auto it = plain.find(key);
        ASSERT_EQ(got != nullptr, it != plain.end()) << "step " << step;
        if (got) ASSERT_EQ(*got, it->second);
        break;
      }
      case 4:
        ASSERT_EQ(map.erase(key), plain.erase(key) == 1) << "step " << step;
        break;
    }
    ASSERT_EQ(map.size(), plain.size());
  }
  std::map<std::string, std::string> held(map.entries().begin(), map.entries().end());
  EXPECT_EQ(held, plain);
  map.clear();
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.find(keys[0]), nullptr);
}

}  // namespace
}  // namespace vesk
