#include "storage/crypto.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vesk {
namespace {

std::string hex(std::string_view bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(d[c >> 4]);
    out.push_back(d[c & 15]);
  }
  return out;
}

TEST(Crypto, Argon2idMatchesTheReferenceVector) {
  auto kek = derive_key_encryption_key("password", "somesaltsomesalt");
  ASSERT_TRUE(kek.ok()) << kek.status().message();
  EXPECT_EQ(hex({reinterpret_cast<const char*>(kek->data()), kek->size()}),
            "2b5dc4054886ec957ef59c73b661c54dd6fb274590b278f657c6d96aac8fa6d1");
}

TEST(Crypto, SealRoundTripsWithFreshNonces) {
  SecretKey key = SecretKey::random();
  for (std::string plain : {std::string(), std::string("hello"), std::string(5000, 'x')}) {
    auto a = seal_payload(&key, plain);
    auto b = seal_payload(&key, plain);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a->size(), plain.size() + 32);
    EXPECT_EQ(a->substr(0, 4), "AEF1");
    EXPECT_NE(*a, *b) << "every seal draws a new nonce";
    EXPECT_EQ(*unseal_payload(&key, *a), plain);
    EXPECT_EQ(*unseal_payload(&key, *b), plain);
  }
  // Without a key, sealing is the identity.
  EXPECT_EQ(*seal_payload(nullptr, "plain"), "plain");
}

TEST(Crypto, UnsealDecisionTable) {
  SecretKey key = SecretKey::random();
  std::string sealed = *seal_payload(&key, "secret");
  struct Case {
    bool keyed;
    std::string stored;
    std::optional<std::string> result;  // none: expect `error`
    std::string error;
  };
  const Case cases[] = {
      {true, sealed, "secret", ""},
      {true, "AEF1" + std::string(27, 'z'), std::nullopt, "Encrypted data too short"},
      {true, "abc", std::nullopt, "Plaintext payload in encrypted memory; explicit migration required"},
      {true, "", std::nullopt, "Plaintext payload in encrypted memory; explicit migration required"},
      {true, "AEF", std::nullopt, "Plaintext payload in encrypted memory; explicit migration required"},
      {false, sealed, std::nullopt, "Password required for encrypted memory"},
      {false, "AEF1", std::nullopt, "Password required for encrypted memory"},
      {false, "", std::string(), ""},
      {false, "AEF", std::string("AEF"), ""},
      {false, "plain text", std::string("plain text"), ""},
  };
  for (const Case& c : cases) {
    auto r = unseal_payload(c.keyed ? &key : nullptr, c.stored);
    if (c.result) {
      ASSERT_TRUE(r.ok()) << c.stored << ": " << r.status().message();
      EXPECT_EQ(*r, *c.result);
    } else {
      ASSERT_FALSE(r.ok()) << c.stored;
      EXPECT_EQ(r.status().message(), c.error);
    }
  }
}

TEST(Crypto, AnyFlippedBitOrWrongKeyFailsDecryption) {
  SecretKey key = SecretKey::random();
  std::string payload = *encrypt_payload("attack at dawn", key);
  ASSERT_EQ(payload.size(), 14u + 28u);
  for (size_t i = 0; i < payload.size(); ++i) {
    std::string bad = payload;
    bad[i] ^= 0x01;
    auto r = decrypt_payload(bad, key);
    ASSERT_FALSE(r.ok()) << "byte " << i;
    EXPECT_EQ(r.status().message(), "Decryption failed - invalid key or corrupted data");
  }
  EXPECT_FALSE(decrypt_payload(payload, SecretKey::random()).ok());
}

}  // namespace
}  // namespace vesk
