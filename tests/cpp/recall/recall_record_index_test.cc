#include "recall/recall_record_index.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/record_map.h"
#include "recall/record_validity.h"

namespace vesk {
namespace {

using Names = std::optional<std::vector<std::string>>;

Record rec(std::string id, std::string ns, Level level, std::optional<double> from = std::nullopt,
           std::optional<double> until = std::nullopt) {
  Record r;
  r.id = std::move(id);
  r.content = "content of " + r.id;
  r.namespace_ = std::move(ns);
  r.level = level;
  r.valid_from = from;
  r.valid_until = until;
  return r;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// The index must answer as a scan of the map does after every change.
void expect_matches_scan(const RecordMap& map, const RecallRecordIndex& index, const std::string& step) {
  const Names queries[] = {std::nullopt, Names{{"default"}}, Names{{"work"}}, Names{{"home", "work"}},
                           Names{{"other"}}, Names{std::vector<std::string>{}}};
  for (const Names& q : queries) {
    EXPECT_EQ(index.has_validity_window_in(q), has_temporal_validity(map, q))
        << step << " namespaces " << (q ? std::to_string(q->size()) : "none");
  }
  std::vector<std::string> scanned;
  for (const auto& [id, r] : map)
    if (r.level == Level::Identity) scanned.push_back(id);
  EXPECT_EQ(sorted({index.identity_ids().begin(), index.identity_ids().end()}), sorted(scanned)) << step;

  const std::vector<std::string> lists[] = {{"default"}, {"work"}, {"home", "work"}, {"work", "home", "work"},
                                            {"other"}, {}};
  for (const std::vector<std::string>& names : lists) {
    std::vector<std::string> members, listed;
    for (const auto& [id, r] : map)
      if (std::find(names.begin(), names.end(), r.namespace_) != names.end()) members.push_back(id);
    index.for_each_record_in(names, [&](const std::string& id) { listed.push_back(id); });
    EXPECT_EQ(sorted(listed), sorted(members)) << step << " namespaces " << names.size();
    EXPECT_EQ(index.record_count_in(names), members.size()) << step << " namespaces " << names.size();
    for (const std::string& ns : names)
      EXPECT_EQ(index.has_validity_window_in(ns), has_temporal_validity(map, Names{{ns}})) << step << " " << ns;
  }
}

TEST(RecallRecordIndex, FollowsInsertsReplacementsAndRemovals) {
  enum class Op { Insert, Replace, Remove };
  struct Step {
    std::string name;
    Op op;
    Record record;
  };
  const std::vector<Step> steps = {
      {"plain record", Op::Insert, rec("a", "default", Level::Working)},
      {"windowed in work", Op::Insert, rec("b", "work", Level::Working, 10.0)},
      {"second windowed in work", Op::Insert, rec("c", "work", Level::Identity, std::nullopt, 20.0)},
      {"identity in default", Op::Insert, rec("d", "default", Level::Identity)},
      {"window added in default", Op::Replace, rec("a", "default", Level::Working, 1.0, 2.0)},
      {"moved to home, promoted", Op::Replace, rec("b", "home", Level::Identity, 10.0)},
      {"window dropped, demoted", Op::Replace, rec("c", "work", Level::Domain)},
      {"last windowed of default gone", Op::Remove, rec("a", "default", Level::Working, 1.0, 2.0)},
      {"identity gone", Op::Remove, rec("d", "default", Level::Identity)},
      {"last windowed of home gone", Op::Remove, rec("b", "home", Level::Identity, 10.0)},
  };
  RecordMap map;
  RecallRecordIndex index;
  for (const Step& s : steps) {
    switch (s.op) {
      case Op::Insert:
        map.insert_or_assign(s.record.id, s.record);
        index.note_insert(s.record);
        break;
      case Op::Replace: {
        Record& held = map.at(s.record.id);
        index.note_replace(held, s.record);
        held = s.record;
        break;
      }
      case Op::Remove:
        index.note_remove(map.at(s.record.id));
        map.erase(s.record.id);
        break;
    }
    expect_matches_scan(map, index, s.name);
    // A rebuild from the map gives the same answers.
    expect_matches_scan(map, recall_record_index_from(map), s.name + " (rebuilt)");
  }
  EXPECT_TRUE(index.identity_ids().empty());
  index.note_insert(rec("e", "work", Level::Identity, 5.0));
  index.clear();
  EXPECT_FALSE(index.has_validity_window_in(Names{{"work"}}));
  EXPECT_TRUE(index.identity_ids().empty());
  EXPECT_EQ(index.record_count_in(std::vector<std::string>{"work"}), 0u);
}

}  // namespace
}  // namespace vesk
