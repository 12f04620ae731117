#include "base/status.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

Result<int> half(int x) {
  if (x % 2) return Status::Value("odd");
  return x / 2;
}

TEST(Status, ResultCarriesValueOrFailure) {
  auto a = half(4);
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(*a, 2);
  auto b = half(3);
  ASSERT_FALSE(b.ok());
  EXPECT_EQ(b.status().kind(), ErrorKind::Value);
  EXPECT_EQ(b.status().message(), "odd");
}

}  // namespace
}  // namespace vesk
