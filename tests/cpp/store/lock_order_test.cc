// Every test of the store object runs with the lock order checked, so an
// operation that takes two of its parts the wrong way round fails the run
// (the default handler aborts with both names).
#include "store/lock_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

class CheckLockOrder : public ::testing::Environment {
 public:
  void SetUp() override { lock_rank::set_checking(true); }
};
::testing::Environment* const kCheckLockOrder = ::testing::AddGlobalTestEnvironment(new CheckLockOrder);

std::vector<std::string> seen;
void note(const LockRank& taken, const LockRank& held) { seen.push_back(std::string(taken.name) + " after " + held.name); }

TEST(LockOrder, TheStoreObjectsPartsAreChecked) {
  testing::TempDir dir;
  auto v = Vesk::open(dir.path(), std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  lock_rank::set_violation_handler(&note);
  {
    auto tags = (*v)->indexes().tags.read();
    auto records = (*v)->record_state().records.read();
  }
  lock_rank::set_violation_handler(nullptr);
  EXPECT_EQ(seen, std::vector<std::string>{"records after tag index"});
}

}  // namespace
}  // namespace vesk
