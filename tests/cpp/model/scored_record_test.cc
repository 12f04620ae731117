#include "model/scored_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unordered_map>

namespace vesk {
namespace {

Record rec(std::string id, std::string content, std::string ns = "default") {
  Record r;
  r.id = std::move(id);
  r.content = std::move(content);
  r.namespace_ = std::move(ns);
  return r;
}

TEST(RecallOrder, ScoreThenContentHashThenId) {
  std::unordered_map<std::string, Record> records;
  for (auto r : {rec("b", "same"), rec("ab", "same"), rec("a", "same"), rec("x", "alpha"), rec("y", "beta")})
    records[r.id] = r;
  RankedList list = {{"b", 0.5f}, {"y", 0.5f}, {"ab", 0.5f}, {"x", 0.5f}, {"a", 0.5f}, {"missing", 0.5f}, {"top", 0.9f}};
  sort_ranked_list(list, record_lookup(records));
  // Equal scores: by content hash (a missing record hashes as 0), then id.
  std::vector<std::pair<uint64_t, std::string>> want_tail;
  for (const char* id : {"b", "y", "ab", "x", "a", "missing"})
    want_tail.push_back({content_hash_of(record_lookup(records), id), id});
  std::sort(want_tail.begin(), want_tail.end());
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[0].first, "top");
  EXPECT_EQ(list[1].first, "missing");
  for (size_t i = 0; i < want_tail.size(); ++i) EXPECT_EQ(list[i + 1].first, want_tail[i].second);
  // Ids with equal content are ordered as bytes, a proper prefix first.
  auto pos = [&](const char* id) { return std::find_if(list.begin(), list.end(), [&](auto& p) { return p.first == id; }) - list.begin(); };
  EXPECT_LT(pos("a"), pos("ab"));
  EXPECT_LT(pos("ab"), pos("b"));
}

std::string numbered(std::string prefix, int i) { return prefix.append(std::to_string(i)); }

TEST(RecallOrder, NaNScoresSortLastAndDoNotBreakTheSort) {
  std::vector<ScoredRecord> v;
  const float nan = std::nanf("");
  const float scores[] = {nan, 0.1f, -INFINITY, nan, 2.0f, 0.0f, -0.0f, nan, 1.0f, INFINITY};
  for (int i = 0; i < 10; ++i) v.push_back({scores[i], rec(numbered("id", i), numbered("c", i % 3))});
  for (int i = 0; i < 200; ++i) v.push_back({(i % 7) ? float(i % 5) : nan, rec(numbered("z", i), "same")});
  sort_scored_records(v);
  size_t first_nan = 0;
  while (first_nan < v.size() && !std::isnan(v[first_nan].score)) ++first_nan;
  for (size_t i = first_nan; i < v.size(); ++i) EXPECT_TRUE(std::isnan(v[i].score));
  for (size_t i = 1; i < first_nan; ++i) EXPECT_GE(v[i - 1].score, v[i].score);
  EXPECT_EQ(v[0].score, INFINITY);
}

TEST(RecordVisible, NamespaceAndAccess) {
  const std::vector<std::string> work = {"work"}, none = {};
  Record r = rec("r", "x", "work");
  EXPECT_TRUE(record_visible(r, work));
  EXPECT_FALSE(record_visible(r, none));
  EXPECT_FALSE(record_visible(rec("r", "x", "Work"), work));
  r.metadata["acl_visibility"] = "public";
  EXPECT_TRUE(record_visible(r, work));
  r.metadata["acl_visibility"] = "restricted";
  r.metadata["acl_read_roles"] = "admin";
  EXPECT_FALSE(record_visible(r, work));
  r.metadata["acl_visibility"] = "hidden";
  EXPECT_FALSE(record_visible(r, work));
}

}  // namespace
}  // namespace vesk
