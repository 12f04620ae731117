#include "model/metadata_value_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

const std::vector<std::string> kValues = {"a", "b", "c", ""};

std::vector<std::string> ids_of(const std::vector<const Record*>& records) {
  std::vector<std::string> ids;
  for (const Record* r : records) ids.push_back(r->id);
  return ids;
}

// What a walk of the whole map finds.
std::vector<std::string> scan(const RecordMap& map, std::string_view key, const std::string* value) {
  std::vector<std::string> ids;
  for (const auto& [id, r] : map) {
    auto it = r.metadata.find(key);
    if (it != r.metadata.end() && (!value || it->second == *value)) ids.push_back(id);
  }
  return ids;
}

void expect_same_as_scan(const MetadataValueIndex& index, const RecordMap& map, std::string_view key) {
  EXPECT_EQ(ids_of(index.records_with_key(map, key)), scan(map, key, nullptr)) << key;
  for (const std::string& v : kValues) {
    const std::vector<std::string> want = scan(map, key, &v);
    EXPECT_EQ(ids_of(index.records_with_value(map, key, v)), want) << key << "=" << v;
    const Record* first = index.first_with_value(map, key, v);
    EXPECT_EQ(first ? first->id : "", want.empty() ? "" : want.front()) << key << "=" << v;
  }
}

// Insertions, replacements that add, change or drop the keys, and erasures,
// with the map compacting on the way: every answer stays what a scan gives,
// in map order, for an indexed key and for one that is not.
TEST(MetadataValueIndex, AnswersAsAWalkOfTheMapWould) {
  const std::string_view keys[] = {"k1", "k2"};
  MetadataValueIndex index(keys);
  RecordMap map;
  std::mt19937 rng(5);
  auto random_metadata = [&] {
    StringMap m;
    for (const char* key : {"k1", "k2", "k3"}) {
      if (rng() % 3) m[key] = kValues[rng() % kValues.size()];
    }
    return m;
  };
  int next_id = 0;
  for (int step = 0; step < 3000; ++step) {
    const int op = map.empty() ? 0 : static_cast<int>(rng() % 3);
    if (op == 0) {
      Record r;
      r.id = "r" + std::to_string(next_id++);
      r.metadata = random_metadata();
      index.note_insert(r);
      std::string id = r.id;
      map.insert_or_assign(std::move(id), std::move(r));
    } else {
      // A random present record: walk to it.
      auto it = map.begin();
      for (size_t n = rng() % map.size(); n > 0; --n) ++it;
      if (op == 1) {
        Record next = it->second;
        next.metadata = random_metadata();
        index.note_replace(it->second, next);
        it->second = std::move(next);
      } else {
        index.note_remove(it->second);
        map.erase(it);
      }
    }
    if (step % 100 == 0) {
      for (std::string_view key : {"k1", "k2", "k3"}) expect_same_as_scan(index, map, key);
    }
  }
  MetadataValueIndex rebuilt(keys);
  rebuilt.rebuild(map);
  for (std::string_view key : {"k1", "k2"}) {
    expect_same_as_scan(index, map, key);
    expect_same_as_scan(rebuilt, map, key);
  }
  EXPECT_TRUE(index.indexes("k1"));
  EXPECT_FALSE(index.indexes("k3"));
}

}  // namespace
}  // namespace vesk
