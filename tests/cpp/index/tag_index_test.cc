#include "index/tag_index.h"

#include <gtest/gtest.h>

#include <unordered_map>

namespace vesk {
namespace {

class TagFixture : public ::testing::Test {
 protected:
  void add(const std::string& id, std::vector<std::string> tags, std::string content = "", std::string ns = "default",
           StringMap metadata = {}) {
    Record r;
    r.id = id;
    r.content = content.empty() ? id : content;
    r.tags = tags;
    r.namespace_ = std::move(ns);
    r.metadata = std::move(metadata);
    records[id] = r;
    index.add(id, tags);
  }
  RankedList search(std::string_view q, size_t top_k = 10, std::vector<std::string> ns = {"default"}) {
    return collect_tags(index, record_lookup(records), q, top_k, ns);
  }
  TagIndex index;
  std::unordered_map<std::string, Record> records;
};

TEST_F(TagFixture, JaccardOfQueryWordsAndTags) {
  add("r", {"travel", "budget"});
  add("cap", {"Travel"});
  add("both", {"travel", "Travel"});
  add("ml", {"machine learning"});
  struct Case {
    std::string_view query;
    RankedList want;
  };
  const Case cases[] = {
      {"travel", {{"both", 1.0f}, {"r", 0.5f}}},
      {"Travel TRAVEL travel", {{"both", 1.0f}, {"r", 0.5f}}},
      {"travel budget hotel", {{"r", 2.0f / 3.0f}, {"both", 1.0f / 3.0f}}},
      {"travel,", {}},
      {"machine learning", {}},
      {"  \u3000 ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(search(c.query), c.want) << c.query;
  EXPECT_TRUE(search("travel", 0).empty());
  EXPECT_EQ(search("travel", 1).size(), 1u);
}

TEST_F(TagFixture, InvisibleRecordsAndRemoval) {
  add("out", {"travel"}, "", "work");
  add("locked", {"travel"}, "", "default", {{"acl_visibility", "restricted"}});
  add("odd", {"travel"}, "", "default", {{"acl_visibility", "friends"}});
  index.add("ghost", {"travel"});
  EXPECT_TRUE(search("travel").empty());
  EXPECT_EQ(search("travel", 10, {"work"}), (RankedList{{"out", 1.0f}}));
  index.remove("out");
  index.remove("unknown");
  EXPECT_TRUE(search("travel", 10, {"work"}).empty());
  EXPECT_EQ(index.ids_with("travel").size(), 3u);
}

TEST_F(TagFixture, TiesGoByContentHashThenId) {
  add("b", {"x"}, "same");
  add("a", {"x"}, "same");
  add("c", {"x"}, "different");
  RankedList got = search("x");
  ASSERT_EQ(got.size(), 3u);
  const bool same_first = content_hash("same") < content_hash("different");
  EXPECT_EQ(got[same_first ? 0 : 1].first, "a");
  EXPECT_EQ(got[same_first ? 1 : 2].first, "b");
}

}  // namespace
}  // namespace vesk
