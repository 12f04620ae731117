#include "base/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// Every length around the block and padding boundaries, and a long input,
// give what the portable implementation gives.
TEST(Sha256, AgreesWithThePortableImplementation) {
  std::string bytes;
  uint32_t x = 2463534242u;
  for (int i = 0; i < 1 << 20; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    bytes.push_back(static_cast<char>(x));
  }
  for (size_t n = 0; n <= 300; ++n) {
    ASSERT_EQ(sha256(std::string_view(bytes).substr(0, n)), sha256_portable(std::string_view(bytes).substr(0, n)))
        << n;
  }
  EXPECT_EQ(sha256(bytes), sha256_portable(bytes));
}

}  // namespace
}  // namespace vesk
