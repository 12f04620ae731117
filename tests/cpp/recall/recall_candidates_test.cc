#include "recall/recall_candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "recall/record_validity.h"

namespace vesk {
namespace {

constexpr double kNow = 1000.0;

Record rec(std::string id, std::string ns, std::optional<double> from = std::nullopt,
           std::optional<double> until = std::nullopt) {
  Record r;
  r.id = std::move(id);
  r.content = "content of " + r.id;
  r.namespace_ = std::move(ns);
  r.valid_from = from;
  r.valid_until = until;
  return r;
}

struct Store {
  RecordMap map;
  RecallRecordIndex index;
  explicit Store(const std::vector<Record>& records) {
    for (const Record& r : records) {
      map.insert_or_assign(r.id, r);
      index.note_insert(r);
    }
  }
};

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Every view answers as a scan of the map does: the records valid now, and
// of those the ones in the namespaces, tested one by one or listed.
TEST(RecallCandidates, AreTheRecordsValidNowInTheNamespaces) {
  const Store s({rec("a", "work"), rec("b", "work", kNow + 1), rec("c", "work", std::nullopt, kNow),
                 rec("d", "home", kNow), rec("e", "home"), rec("f", "default")});
  const std::vector<std::vector<std::string>> lists = {
      {"work"}, {"home"}, {"work", "home", "work"}, {"default"}, {"elsewhere"}, {}};
  for (const auto& names : lists) {
    const RecallCandidates view(s.map, s.index, names, kNow);
    std::vector<std::string> want, tested, listed;
    for (const auto& [id, r] : s.map) {
      const bool valid = record_valid_at(r, kNow);
      EXPECT_EQ(view.lookup()(id) != nullptr, valid) << id;
      if (valid && std::find(names.begin(), names.end(), r.namespace_) != names.end()) want.push_back(id);
      if (view.in_namespaces(id)) tested.push_back(id);
    }
    view.for_each_in_namespaces([&](std::string_view id) { listed.emplace_back(id); });
    EXPECT_EQ(sorted(tested), sorted(want)) << names.size();
    EXPECT_EQ(sorted(listed), sorted(want)) << names.size();
    EXPECT_GE(view.in_namespaces_at_most(), want.size());
    EXPECT_FALSE(view.in_namespaces("missing"));
  }
}

// The whole store can be ranked as it stands only when the namespaces hold
// every record and none of them has a validity window.
TEST(RecallCandidates, CoverEveryRecordOnlyWhenNothingIsLeftOut) {
  const std::vector<Record> plain = {rec("a", "default"), rec("b", "default")};
  const std::vector<Record> two_namespaces = {rec("a", "default"), rec("b", "work")};
  const std::vector<Record> windowed = {rec("a", "default"), rec("b", "default", kNow - 1)};
  const struct {
    std::string name;
    std::vector<Record> records;
    std::vector<std::string> names;
    double now;
    bool covers;
  } cases[] = {
      {"one namespace", plain, {"default"}, kNow, true},
      {"named twice", plain, {"default", "default"}, kNow, true},
      {"another namespace left out", two_namespaces, {"default"}, kNow, false},
      {"both namespaces", two_namespaces, {"work", "default"}, kNow, true},
      {"a validity window, even one that holds", windowed, {"default"}, kNow, false},
      {"no namespace", plain, {}, kNow, false},
      {"a time that is not finite", plain, {"default"}, std::numeric_limits<double>::quiet_NaN(), false},
      {"an empty store", {}, {"default"}, kNow, true},
  };
  for (const auto& c : cases) {
    const Store s(c.records);
    EXPECT_EQ(RecallCandidates(s.map, s.index, c.names, c.now).covers_every_record(), c.covers) << c.name;
  }
}

}  // namespace
}  // namespace vesk
