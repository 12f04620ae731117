#include "maintenance/archive_protection.h"

#include <gtest/gtest.h>

#include <functional>

namespace vesk {
namespace {

TEST(ArchiveProtection, ProtectsPinnedIdentityClosedAndTaggedRecords) {
  const StringSet protected_tags{"identity", "contact"};
  struct Case {
    const char* name;
    std::function<void(Record&)> change;
    bool want;
  };
  const Case cases[] = {
      {"plain working record", [](Record&) {}, false},
      {"pinned", [](Record& r) { r.pinned = true; }, true},
      {"identity level", [](Record& r) { r.level = Level::Identity; }, true},
      {"domain level", [](Record& r) { r.level = Level::Domain; }, false},
      {"refuted consequence", [](Record& r) { r.tags = {"x", "consequence-refute"}; }, true},
      {"valid_until set", [](Record& r) { r.valid_until = 0.0; }, true},
      {"superseded_at set", [](Record& r) { r.superseded_at = 1.0; }, true},
      {"valid_from only", [](Record& r) { r.valid_from = 1.0; }, false},
      {"protected tag", [](Record& r) { r.tags = {"misc", "contact"}; }, true},
      {"tag differs in case", [](Record& r) { r.tags = {"Contact", "identity "}; }, false},
  };
  for (const Case& c : cases) {
    Record r;
    r.id = "abc";
    c.change(r);
    EXPECT_EQ(is_archive_protected(r, protected_tags), c.want) << c.name;
  }
  Record refuted;
  refuted.tags = {"consequence-refute"};
  EXPECT_TRUE(is_archive_protected(refuted, StringSet{})) << "the refute tag needs no set";
}

}  // namespace
}  // namespace vesk
