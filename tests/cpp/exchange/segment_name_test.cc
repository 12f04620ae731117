#include "exchange/capsule/segment_name.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

TEST(SegmentName, SafeNamesAndWhereTheyRestore) {
  const struct {
    std::string name;
    std::string restores_to;
  } safe[] = {
      {"index/sdr.idx", "index/sdr.idx"}, {"a//b", "a/b"},   {"a/./b", "a/b"},
      {"a/", "a"},                        {".vesk.learned", ".vesk.learned"},
      {"a/.", "a"},                       {"..a/b..", "..a/b.."}, {std::string(512, 'x'), std::string(512, 'x')},
  };
  for (const auto& c : safe) {
    EXPECT_TRUE(validate_segment_name(c.name).ok()) << c.name;
    EXPECT_EQ(segment_restore_path(c.name), c.restores_to);
  }
}

TEST(SegmentName, UnsafeNamesAreRefusedWithTheirRule) {
  const std::string kName = "Unsafe Vesk container segment name";
  const std::string kPath = "Unsafe Vesk container segment path: ";
  const struct {
    std::string name;
    std::string error;
  } unsafe[] = {
      {"", kName},
      {std::string(513, 'x'), kName},
      {"a\\b", kName},
      {std::string("..\0x", 4), kName},  // a file call would stop at the NUL and see ".."
      {std::string("a\0", 2), kName},
      {"/a", kPath + "/a"},
      {"./a", kPath + "./a"},
      {".", kPath + "."},
      {"../a", kPath + "../a"},
      {"a/../b", kPath + "a/../b"},
      {"a/..", kPath + "a/.."},
  };
  for (const auto& c : unsafe) {
    Status s = validate_segment_name(c.name);
    ASSERT_FALSE(s.ok()) << c.name;
    EXPECT_EQ(s.message(), c.error);
    EXPECT_EQ(s.kind(), ErrorKind::OS);
  }
}

}  // namespace
}  // namespace vesk
