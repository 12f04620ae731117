#include <gtest/gtest.h>

#include "store/vesk.h"
#include "store/vesk_test_access.h"

#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::TempDir;

class RecordAclTest : public ::testing::Test {
 protected:
  void open_store() {
    auto opened = Vesk::open(dir_.path(), std::nullopt, env_);
    ASSERT_TRUE(opened.ok()) << opened.status().message();
    store_ = std::move(*opened);
  }
  void SetUp() override {
    open_store();
    Record r;
    r.id = "aaaaaaaaaaaa";
    r.content = "restricted text";
    r.metadata = {{"acl_read_groups", "old"}, {"acl_policy_version", "v0"}, {"k", "v"}};
    (*VeskTestAccess::records(*store_).records.write())[r.id] = r;
  }
  const StringMap& metadata() { return store_->record_state().records.read()->at("aaaaaaaaaaaa").metadata; }

  TempDir dir_;
  FaultEnv env_;
  std::unique_ptr<Vesk> store_;
};

TEST_F(RecordAclTest, WritesNormalisedListsDurably) {
  RecordAclChange change{"restricted", {" Admin ", "ops", "admin", ""}, {}, {}, std::nullopt};
  auto changed = store_->set_record_acl("aaaaaaaaaaaa", change);
  ASSERT_TRUE(changed.ok()) << changed.status().message();
  ASSERT_TRUE(changed->has_value());
  const StringMap want = {{"acl_visibility", "restricted"}, {"acl_read_roles", "admin,ops"}, {"k", "v"}};
  EXPECT_EQ((*changed)->metadata, want);

  // The change is in the journal: it survives a reopen.
  ASSERT_TRUE(store_->close().ok());
  store_.reset();
  open_store();
  EXPECT_EQ(metadata(), want);

  struct Case {
    AccessRequest subject;
    bool allowed;
    std::string_view reason;
  };
  const Case cases[] = {
      {{std::nullopt, {"ADMIN"}, {}}, true, "allow_list_match"},
      {{std::nullopt, {" admin "}, {}}, false, "restricted_no_match"},
      {{}, false, "restricted_no_match"},
  };
  for (const Case& c : cases) {
    auto d = store_->check_record_access("aaaaaaaaaaaa", c.subject);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->allowed, c.allowed);
    EXPECT_EQ(d->reason, c.reason);
    EXPECT_EQ(d->policy_version, std::nullopt);
  }
  EXPECT_FALSE(store_->check_record_access("bbbbbbbbbbbb", {}));
}

TEST_F(RecordAclTest, BlankOnlyListsAndPublicVisibility) {
  ASSERT_TRUE(store_->set_record_acl("aaaaaaaaaaaa", {"public", {" "}, {"G"}, {}, "p1"}).ok());
  const StringMap want = {{"acl_visibility", "public"}, {"acl_read_roles", ""}, {"acl_read_groups", "g"},
                          {"acl_policy_version", "p1"}, {"k", "v"}};
  EXPECT_EQ(metadata(), want);
  auto d = store_->check_record_access("aaaaaaaaaaaa", {});
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->allowed);
  EXPECT_EQ(d->reason, "public_or_legacy");
  EXPECT_EQ(d->policy_version, "p1");
}

TEST_F(RecordAclTest, RefusalsChangeNothing) {
  const StringMap before = metadata();
  for (const char* visibility : {"Public", "restricted ", ""}) {
    auto r = store_->set_record_acl("aaaaaaaaaaaa", {visibility, {"x"}, {}, {}, std::nullopt});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().kind(), ErrorKind::Value);
    EXPECT_EQ(r.status().message(), "visibility must be 'public' or 'restricted'");
  }
  EXPECT_EQ(metadata(), before);
  auto unknown = store_->set_record_acl("bbbbbbbbbbbb", {"public", {}, {}, {}, std::nullopt});
  ASSERT_TRUE(unknown.ok());
  EXPECT_FALSE(unknown->has_value());
}

// The change is journaled before the record map is touched: a failed
// append is reported and leaves the record as it was.
TEST_F(RecordAclTest, AFailedJournalAppendChangesNothing) {
  const StringMap before = metadata();
  env_.tear_writes_after("brain.cog", 0);
  auto r = store_->set_record_acl("aaaaaaaaaaaa", {"restricted", {}, {}, {"Alice"}, std::nullopt});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().kind(), ErrorKind::Runtime);
  EXPECT_EQ(metadata(), before);
  env_.clear();
}

}  // namespace
}  // namespace vesk
