#include "model/record_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

using Map = OrderedStringMap<int>;

std::vector<std::string> keys(const Map& m) {
  std::vector<std::string> out;
  for (const auto& [k, v] : m) out.push_back(k);
  return out;
}

TEST(OrderedStringMap, IteratesInFirstInsertionOrderThroughChurn) {
  Map m;
  std::vector<std::string> expected;
  for (int i = 0; i < 200; ++i) {
    m.insert_or_assign(std::to_string(i), i);
    expected.push_back(std::to_string(i));
  }
  // Replacing keeps the place; erasing most of the map and inserting again
  // compacts the slots without reordering the survivors.
  m.insert_or_assign(std::string("5"), -5);
  m["7"] = -7;
  EXPECT_FALSE(m.try_emplace("9", 99).second);
  for (int i = 0; i < 200; ++i) {
    if (i % 10 != 0) m.erase(std::to_string(i));
  }
  std::erase_if(expected, [](const std::string& k) { return std::stoi(k) % 10 != 0; });
  int& kept = m.at("50");
  for (int i = 200; i < 260; ++i) {
    m.emplace(std::to_string(i), i);
    expected.push_back(std::to_string(i));
  }
  EXPECT_EQ(&kept, &m.at("50"));  // references survive compaction
  EXPECT_EQ(keys(m), expected);
  EXPECT_EQ(m.size(), expected.size());

  // Ranks follow the iteration order.
  EXPECT_LT(m.order(m.find("0")), m.order(m.find("190")));
  EXPECT_LT(m.order(m.find("190")), m.order(m.find("200")));

  // A copy and a reordered map with the same contents are equal.
  Map copy = m;
  EXPECT_EQ(keys(copy), expected);
  Map reversed;
  for (auto it = expected.rbegin(); it != expected.rend(); ++it) reversed.emplace(*it, m.at(*it));
  EXPECT_EQ(reversed, m);
  reversed["0"] = 1;
  EXPECT_NE(reversed, m);
}

TEST(OrderedStringMap, EraseWhileIterating) {
  Map m{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}};
  EXPECT_EQ(erase_if(m, [](const auto& kv) { return kv.second % 2 == 0; }), 2u);
  EXPECT_EQ(keys(m), (std::vector<std::string>{"a", "c"}));
  for (auto it = m.begin(); it != m.end();) it = m.erase(it);
  EXPECT_TRUE(m.empty());
  EXPECT_EQ(m.begin(), m.end());
  EXPECT_EQ(m.erase("a"), 0u);
  EXPECT_EQ(m.find("a"), m.end());
  m["a"] = 9;  // an erased key comes back at the end
  EXPECT_EQ(keys(m), (std::vector<std::string>{"a"}));
}

// Random churn against a plain model: every key, present or erased, is found
// (or not) with its value through the index's growth, deletions that shift
// probe runs back, compactions, a move and a swap.
TEST(OrderedStringMap, LookupsMatchAPlainModelThroughChurn) {
  Map m;
  std::map<std::string, int> model;
  std::vector<std::string> order;  // the model's iteration order
  std::mt19937 rng(23);
  auto check = [&](const std::string& step) {
    ASSERT_EQ(m.size(), model.size()) << step;
    for (int k = 0; k < 3000; ++k) {
      const std::string key = "k" + std::to_string(k);
      auto it = model.find(key);
      const int* v = m.find_value(key);
      if (it == model.end()) {
        ASSERT_EQ(v, nullptr) << step << " " << key;
        ASSERT_EQ(m.find(key), m.end()) << step << " " << key;
        ASSERT_FALSE(m.contains(key));
      } else {
        ASSERT_NE(v, nullptr) << step << " " << key;
        ASSERT_EQ(*v, it->second) << step << " " << key;
        ASSERT_EQ(&m.find(key)->second, v) << step << " " << key;
        ASSERT_EQ(m.count(key), 1u);
      }
    }
    ASSERT_EQ(keys(m), order) << step;
  };
  for (int round = 0; round < 6; ++round) {
    for (int i = 0; i < 1500; ++i) {
      const std::string key = "k" + std::to_string(rng() % 3000);
      const int value = static_cast<int>(rng());
      if (rng() % 3 == 0) {
        if (m.erase(key)) std::erase(order, key);
        model.erase(key);
      } else {
        if (!model.contains(key)) order.push_back(key);
        m.insert_or_assign(key, value);
        model[key] = value;
      }
    }
    check("round " + std::to_string(round));
  }
  Map moved = std::move(m);
  m = Map();
  m.swap(moved);
  check("moved and swapped");
  m.clear();
  model.clear();
  order.clear();
  check("cleared");
  m["k1"] = 1;
  model["k1"] = 1;
  order.push_back("k1");
  check("reused");
}

}  // namespace
}  // namespace vesk
