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

TEST(Status, AWrappedFailureShowsItsOwnMessageAndKeepsTheCause) {
  Status inner = Status::OS("No space left on device");
  Status outer = Status::Wrap(ErrorKind::Runtime, "topology::save: write /s/topology.cog", inner);
  EXPECT_EQ(outer.message(), "topology::save: write /s/topology.cog");
  EXPECT_EQ(outer.kind(), ErrorKind::Runtime);
  ASSERT_NE(outer.cause(), nullptr);
  EXPECT_EQ(outer.cause()->message(), "No space left on device");
  EXPECT_EQ(outer.cause()->kind(), ErrorKind::OS);
  // Copies share the cause; a success is no cause.
  Status copy = outer.as(ErrorKind::OS);
  EXPECT_EQ(copy.cause(), outer.cause());
  EXPECT_EQ(Status::Wrap(ErrorKind::Runtime, "outer", Status::Ok()).cause(), nullptr);
  EXPECT_EQ(inner.cause(), nullptr);
}

}  // namespace
}  // namespace vesk
