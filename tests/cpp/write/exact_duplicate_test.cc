#include "write/exact_duplicate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vesk {
namespace {

Record twin_record() {
  Record r;
  r.id = "aaaaaaaaaaaa";
  r.content = "remember to buy oat milk";
  r.metadata = {{"a", "1"}, {"b", "2"}};
  return r;
}

TEST(ExactDuplicate, EveryConditionDecides) {
  const std::optional<std::string> no_parent;
  const std::optional<std::string> parent = "bbbbbbbbbbbb";
  struct Case {
    std::string name;
    std::function<void(Record&)> edit_twin;
    StringMap caller;
    bool twin;
  };
  const std::vector<Case> cases = {
      {"same", [](Record&) {}, {}, true},
      {"level, tags, pin and strength do not matter",
       [](Record& r) {
         r.level = Level::Identity;
         r.tags = {"x"};
         r.pinned = true;
         r.strength = 0.1f;
       },
       {},
       true},
      {"metadata subset", [](Record&) {}, {{"a", "1"}}, true},
      {"metadata value differs", [](Record&) {}, {{"a", "2"}}, false},
      {"metadata key missing", [](Record&) {}, {{"c", "1"}}, false},
      {"namespace", [](Record& r) { r.namespace_ = "work"; }, {}, false},
      {"content", [](Record& r) { r.content += " "; }, {}, false},
      {"content type", [](Record& r) { r.content_type = "text/plain"; }, {}, false},
      {"source type", [](Record& r) { r.source_type = "inferred"; }, {}, false},
      {"semantic type", [](Record& r) { r.semantic_type = "trend"; }, {}, false},
      {"valid_from present on one side", [](Record& r) { r.valid_from = 1.0; }, {}, false},
      {"caused_by_id", [](Record& r) { r.caused_by_id = "bbbbbbbbbbbb"; }, {}, false},
      {"restricted", [](Record& r) { r.metadata["acl_visibility"] = "restricted"; }, {}, false},
      {"public", [](Record& r) { r.metadata["acl_visibility"] = "public"; }, {}, true},
  };
  for (const Case& c : cases) {
    Record r = twin_record();
    c.edit_twin(r);
    DuplicateProbe probe{"default", "remember to buy oat milk", "recorded", "fact", std::nullopt, std::nullopt,
                         &no_parent, &c.caller};
    EXPECT_EQ(is_exact_duplicate(r, probe), c.twin) << c.name;
  }

  // Bounds compare by value; a NaN never equals.
  Record r = twin_record();
  r.valid_until = 5.0;
  r.caused_by_id = parent;
  DuplicateProbe probe{"default", r.content, "recorded", "fact", std::nullopt, 5.0, &parent, nullptr};
  EXPECT_TRUE(is_exact_duplicate(r, probe));
  r.valid_until = std::nan("");
  probe.valid_until = r.valid_until;
  EXPECT_FALSE(is_exact_duplicate(r, probe));
}

TEST(ExactDuplicate, TouchStrengthensAndMergesTags) {
  Record r = twin_record();
  r.strength = 0.9f;
  r.last_activated = 1000.0;
  r.activation_velocity = 1.0f;
  r.tags = {"a"};
  touch_duplicate(r, 1000.0 + 86400.0 * 2, true, std::vector<std::string>{"b", "a", "c"});
  EXPECT_EQ(r.strength, 1.0f);
  EXPECT_EQ(r.activation_count, 1u);
  EXPECT_EQ(r.last_activated, 1000.0 + 86400.0 * 2);
  EXPECT_TRUE(r.pinned);
  EXPECT_EQ(r.tags, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(r.activation_velocity, 1.0f * 0.7f + 0.5f * 0.3f);

  // Touched again at once: the instant rate is capped at 100 per day.
  touch_duplicate(r, r.last_activated, false, {});
  EXPECT_EQ(r.activation_velocity, (1.0f * 0.7f + 0.5f * 0.3f) * 0.7f + 100.0f * 0.3f);
  EXPECT_TRUE(r.pinned);
}

TEST(DuplicateIndex, KeepsOnlyPossibleTwinsInStep) {
  DuplicateIndex index;
  Record a = twin_record(), b = twin_record(), shortr = twin_record(), typed = twin_record();
  b.id = "bbbbbbbbbbbb";
  shortr.id = "cccccccccccc";
  shortr.content = "only nineteen bytes";
  typed.id = "dddddddddddd";
  typed.content_type = "image";
  for (const Record* r : {&a, &b, &shortr, &typed, &a}) index.note_insert(*r);
  EXPECT_EQ(index.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(index.candidates(a.content).begin(), index.candidates(a.content).end()),
            (std::vector<std::string>{a.id, b.id}));
  EXPECT_TRUE(index.candidates("only nineteen bytes").empty());

  Record changed = b;
  changed.content = "a different text of some length";
  index.note_replace(b, changed);
  EXPECT_EQ(index.candidates(a.content).size(), 1u);
  EXPECT_EQ(index.candidates(changed.content).size(), 1u);
  index.note_remove(a.id, a.content);
  index.note_remove(a.id, a.content);
  EXPECT_TRUE(index.candidates(a.content).empty());
  EXPECT_EQ(index.size(), 1u);
}

// Random inserts and removals over a few contents shared by many ids (one
// id, then several, then one again under a content) leave the candidates a
// plain map of content to ids holds.
TEST(DuplicateIndex, CandidatesFollowAPlainMap) {
  std::mt19937 rng(13);
  DuplicateIndex index;
  std::map<std::string, std::set<std::string>> plain;
  size_t held = 0;
  for (int step = 0; step < 20000; ++step) {
    Record r = twin_record();
    r.id = "id" + std::to_string(rng() % 40);
    r.content = "a content long enough to be indexed, number " + std::to_string(rng() % 25);
    if (rng() % 3) {
      index.note_insert(r);
      held += plain[r.content].insert(r.id).second;
    } else {
      index.note_remove(r.id, r.content);
      held -= plain[r.content].erase(r.id);
    }
    ASSERT_EQ(index.size(), held) << "step " << step;
    auto got = index.candidates(r.content);
    ASSERT_EQ(std::set<std::string>(got.begin(), got.end()), plain[r.content]) << "step " << step;
  }
}

}  // namespace
}  // namespace vesk
