#include "index/doc_ids.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

// A plain model of the numbering: a map from id to number, numbers freed by
// a release handed out again last freed first, new numbers counting up.
struct PlainIds {
  std::map<std::string, uint32_t> map;
  std::vector<uint32_t> free;
  uint32_t next = 0;
  uint32_t intern(const std::string& id) {
    if (auto it = map.find(id); it != map.end()) return it->second;
    uint32_t d = next;
    if (!free.empty()) {
      d = free.back();
      free.pop_back();
    } else {
      ++next;
    }
    map[id] = d;
    return d;
  }
};

// Random interns, finds and releases over a few thousand ids (enough for
// the table to grow several times and for runs of collisions to form and be
// shifted back on release) give the numbers of the plain model.
TEST(DocIds, NumbersFollowThePlainModel) {
  std::mt19937 rng(9);
  DocIds ids;
  PlainIds plain;
  std::vector<std::string> pool;
  for (int i = 0; i < 3000; ++i) pool.push_back(i % 7 == 0 ? std::string(i % 40, 'x') + std::to_string(i) : "id" + std::to_string(i));
  pool.push_back("");
  for (int step = 0; step < 60000; ++step) {
    const std::string& id = pool[rng() % pool.size()];
    switch (rng() % 4) {
      case 0:
      case 1:
        ASSERT_EQ(ids.intern(id), plain.intern(id)) << "step " << step;
        break;
      case 2: {
        auto it = plain.map.find(id);
        auto got = ids.find(id);
        ASSERT_EQ(got.has_value(), it != plain.map.end()) << "step " << step;
        if (got) ASSERT_EQ(*got, it->second);
        break;
      }
      case 3:
        if (auto it = plain.map.find(id); it != plain.map.end()) {
          ids.release(it->second);
          plain.free.push_back(it->second);
          plain.map.erase(it);
          ASSERT_FALSE(ids.find(id)) << "step " << step;
        }
        break;
    }
    ASSERT_EQ(ids.size(), plain.map.size());
  }
  for (const auto& [id, d] : plain.map) {
    EXPECT_TRUE(ids.in_use(d));
    EXPECT_EQ(ids.id(d), id);
  }
  for (uint32_t d : plain.free) EXPECT_FALSE(ids.in_use(d));
  EXPECT_EQ(ids.limit(), plain.next);
}

}  // namespace
}  // namespace vesk
