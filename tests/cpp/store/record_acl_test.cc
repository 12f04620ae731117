#include "store/record_acl.h"

#include <gtest/gtest.h>

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
    (*store_->records.write())[r.id] = r;
  }
  const StringMap& metadata() { return store_->records.read()->at("aaaaaaaaaaaa").metadata; }

  TempDir dir_;
  FaultEnv env_;
  std::unique_ptr<Vesk> store_;
};

TEST_F(RecordAclTest, WritesNormalisedListsDurably) {
  RecordAclChange change{"restricted", {" Admin ", "ops", "admin", ""}, {}, {}, std::nullopt};
  auto changed = set_record_acl(*store_, "aaaaaaaaaaaa", change);
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
    auto d = check_record_access(*store_, "aaaaaaaaaaaa", c.subject);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->allowed, c.allowed);
    EXPECT_EQ(d->reason, c.reason);
    EXPECT_EQ(d->policy_version, std::nullopt);
  }
  EXPECT_FALSE(check_record_access(*store_, "bbbbbbbbbbbb", {}));
}

TEST_F(RecordAclTest, BlankOnlyListsAndPublicVisibility) {
  ASSERT_TRUE(set_record_acl(*store_, "aaaaaaaaaaaa", {"public", {" "}, {"G"}, {}, "p1"}).ok());
  const StringMap want = {{"acl_visibility", "public"}, {"acl_read_roles", ""}, {"acl_read_groups", "g"},
                          {"acl_policy_version", "p1"}, {"k", "v"}};
  EXPECT_EQ(metadata(), want);
  auto d = check_record_access(*store_, "aaaaaaaaaaaa", {});
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->allowed);
  EXPECT_EQ(d->reason, "public_or_legacy");
  EXPECT_EQ(d->policy_version, "p1");
}

TEST_F(RecordAclTest, RefusalsChangeNothing) {
  const StringMap before = metadata();
  for (const char* visibility : {"Public", "restricted ", ""}) {
    auto r = set_record_acl(*store_, "aaaaaaaaaaaa", {visibility, {"x"}, {}, {}, std::nullopt});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().kind(), ErrorKind::Value);
    EXPECT_EQ(r.status().message(), "visibility must be 'public' or 'restricted'");
  }
  EXPECT_EQ(metadata(), before);
  auto unknown = set_record_acl(*store_, "bbbbbbbbbbbb", {"public", {}, {}, {}, std::nullopt});
  ASSERT_TRUE(unknown.ok());
  EXPECT_FALSE(unknown->has_value());
}

// A failed journal append is reported; the change stays in memory.
TEST_F(RecordAclTest, JournalFailureIsARuntimeError) {
  env_.tear_writes_after("brain.cog", 0);
  auto r = set_record_acl(*store_, "aaaaaaaaaaaa", {"restricted", {}, {}, {"Alice"}, std::nullopt});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().kind(), ErrorKind::Runtime);
  EXPECT_EQ(metadata().at("acl_read_principals"), "alice");
  env_.clear();
}

}  // namespace
}  // namespace vesk
