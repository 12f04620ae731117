#include "storage/labelled_snapshot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "storage/atomic_file.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::TempDir;

TEST(LabelledSnapshot, LabelRules) {
  const std::string length = "Label must be 1-64 characters";
  const std::string chars = "Label must contain only alphanumeric, dash, or underscore characters";
  std::string accented64;
  for (int i = 0; i < 64; ++i) accented64 += "\xC3\xA9";  // é: 128 bytes in all
  struct Case {
    std::string label;
    std::string error;  // empty: accepted
  } cases[] = {
      {"nightly", ""},
      {std::string(64, 'a'), ""},
      {accented64, ""},
      {"caf\xC3\xA9-2024_v\xC2\xB2", ""},  // accented letter, digits, '-', '_', superscript two
      {"", length},
      {std::string(65, 'a'), length},
      {accented64 + "\xC3\xA9", length},
      {std::string(65, '.'), length},  // the length is tested first
      {"a.b", chars},
      {"a/b", chars},
      {"a b", chars},
      {"..", chars},
      {"50%", chars},
  };
  for (const Case& c : cases) {
    Status s = check_snapshot_label(c.label);
    EXPECT_EQ(s.ok() ? "" : s.message(), c.error) << c.label;
    if (!s.ok()) EXPECT_EQ(s.kind(), ErrorKind::Runtime);
  }
}

Record rec(std::string id, std::string content, float strength = 1.0f, Level level = Level::Working) {
  Record r;
  r.id = std::move(id);
  r.content = std::move(content);
  r.strength = strength;
  r.level = level;
  return r;
}

TEST(LabelledSnapshot, DiffComparesContentStrengthAndLevelOnly) {
  const float nan = std::nanf("");
  RecordMap a = snapshot_records_by_id({rec("same", "x"), rec("tags", "x"), rec("text", "x"), rec("weaker", "x"),
                                        rec("nan", "x", nan), rec("level", "x"), rec("gone", "x")});
  Record tagged = rec("tags", "x");
  tagged.tags = {"new"};
  tagged.pinned = true;
  tagged.metadata["k"] = "v";
  RecordMap b = snapshot_records_by_id({rec("same", "x"), tagged, rec("text", "y"), rec("weaker", "x", 0.5f),
                                        rec("nan", "x", nan), rec("level", "x", 1.0f, Level::Domain),
                                        rec("new", "x")});
  const SnapshotDiff d = diff_snapshots(a, b);
  EXPECT_EQ(d.added, std::vector<std::string>{"new"});
  EXPECT_EQ(d.removed, std::vector<std::string>{"gone"});
  EXPECT_EQ(d.modified, (std::vector<std::string>{"text", "weaker", "nan", "level"}));
  EXPECT_EQ(diff_snapshots(a, a), (SnapshotDiff{{}, {}, {"nan"}}));

  // Keyed by id in file order: the later entry of an id wins.
  RecordMap twice = snapshot_records_by_id({rec("r", "first"), rec("r", "second")});
  ASSERT_EQ(twice.size(), 1u);
  EXPECT_EQ(twice.at("r").content, "second");
}

TEST(LabelledSnapshot, FilesAreCompactArraysAndALabelNamesNoOtherFile) {
  TempDir dir;
  const fs::path store = dir / "mem.db";
  EXPECT_EQ(labelled_snapshot_json(RecordMap{}), "[]");
  RecordMap records = snapshot_records_by_id({rec("b", "second"), rec("a", "first")});
  const std::string json = labelled_snapshot_json(records);
  ASSERT_TRUE(write_file_atomic(nullptr, dir / "mem_snapshot_x.json", json, Env::Default()).ok());
  Result<std::vector<Record>> read = read_labelled_snapshot(nullptr, store, "x", Env::Default());
  ASSERT_TRUE(read.ok()) << read.status().message();
  ASSERT_EQ(read->size(), 2u);
  EXPECT_EQ((*read)[0].id, "b");  // map order, not sorted

  // A file that is there but is no record array fails with the reader's message.
  testing::spit(dir / "mem_snapshot_bad.json", "{}");
  Result<std::vector<Record>> bad = read_labelled_snapshot(nullptr, store, "bad", Env::Default());
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.status().message().find("line 1 column"), std::string::npos) << bad.status().message();

  // "a/../x" would reach mem_snapshot_x.json through a directory named
  // mem_snapshot_a; no label with a separator or NUL names a file.
  fs::create_directory(dir / "mem_snapshot_a");
  testing::spit(dir / "x.json", json);
  for (const std::string& label : std::vector<std::string>{"missing", "a/../x", "a/../../x", std::string("x\0y", 3)}) {
    Result<std::vector<Record>> refused = read_labelled_snapshot(nullptr, store, label, Env::Default());
    ASSERT_FALSE(refused.ok()) << label;
    EXPECT_EQ(refused.status().message(), "Snapshot '" + label + "' not found");
  }
}

}  // namespace
}  // namespace vesk
