#include "exchange/capsule/generation_signature.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/hex.h"
#include "base/sha256.h"
#include "exchange/capsule/ed25519_point.h"
#include "exchange/capsule/generation_manifest.h"
#include "exchange/capsule/signing_key.h"
#include "base/fixed_env.h"

namespace vesk {
namespace {

// RFC 8032, test 1: the key pair and the signature of the empty message.
constexpr char kRfcSecret[] = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
constexpr char kRfcPublic[] = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
constexpr char kRfcSignature[] =
    "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24"
    "655141438e7a100b";

std::unique_ptr<ContainerSigningKey> key_of(uint8_t fill) {
  return parse_signing_key_hex(std::string(64, "0123456789abcdef"[fill & 15])).value();
}

std::string hex_of(const std::array<uint8_t, 64>& bytes) {
  return hex_encode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

TEST(SigningKey, ParsesEitherCaseAndDerivesTheStandardKey) {
  std::string upper = kRfcSecret;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& text : {std::string(kRfcSecret), upper}) {
    auto key = parse_signing_key_hex(text);
    ASSERT_TRUE(key.ok()) << key.status().message();
    EXPECT_EQ((*key)->public_key_hex(), kRfcPublic);
    EXPECT_EQ(hex_of((*key)->sign("")), kRfcSignature);
  }
  const struct {
    std::string text;
    std::string error;
  } refused[] = {
      {"0g", "Vesk container signing key must be 64 hexadecimal characters"},
      {"abc", "Vesk container signing key must be 64 hexadecimal characters"},
      {" " + std::string(kRfcSecret), "Vesk container signing key must be 64 hexadecimal characters"},
      {"00", "Vesk container signing key must encode exactly 32 bytes"},
      {std::string(kRfcSecret) + "00", "Vesk container signing key must encode exactly 32 bytes"},
  };
  for (const auto& c : refused) {
    auto key = parse_signing_key_hex(c.text);
    ASSERT_FALSE(key.ok()) << c.text;
    EXPECT_EQ(key.status().message(), c.error);
  }
}

TEST(SigningKey, PublicKeysMustDecompressToACurvePoint) {
  const std::string kCurve = "Invalid Vesk container Ed25519 public key";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {kRfcPublic, ""},
      {"D75A980182B10AB7D54BFED3C964073A0EE172F3DAA62325AF021A68F707511A", ""},
      // The base point (y = 4/5), and the identity (y = 1, x = 0): a point of
      // small order still decompresses.
      {"5866666666666666666666666666666666666666666666666666666666666666", ""},
      {"0100000000000000000000000000000000000000000000000000000000000000", ""},
      // x = 0 has no negative form; y = 2 has no x; y = p is not reduced.
      {"0100000000000000000000000000000000000000000000000000000000000080", kCurve},
      {"0200000000000000000000000000000000000000000000000000000000000000", kCurve},
      {"edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", kCurve},
      {"zz", "Vesk container public key must be 64 hexadecimal characters"},
      {"abcd", "Vesk container public key must encode exactly 32 bytes"},
  };
  for (const auto& c : cases) {
    auto key = parse_public_key_hex(c.text);
    if (c.error.empty()) {
      EXPECT_TRUE(key.ok()) << c.text << ": " << key.status().message();
    } else {
      ASSERT_FALSE(key.ok()) << c.text;
      EXPECT_EQ(key.status().message(), c.error);
    }
  }
  // Every small y against Euler's criterion, worked out beside the code.
  const std::set<int> no_root = {2, 7, 8, 11};
  for (int y = 0; y < 12; ++y) {
    std::array<uint8_t, 32> bytes{};
    bytes[0] = static_cast<uint8_t>(y);
    EXPECT_EQ(ed25519_point_decompresses(bytes), !no_root.count(y)) << y;
  }
}

TEST(SigningKey, NewKeyPairsComeFromTheRandomSource) {
  testing::FixedEnv env;
  auto a = generate_container_signing_key(env);
  auto b = generate_container_signing_key(env);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_NE(a->private_key, b->private_key);
  for (const ContainerKeyPair* pair : {&*a, &*b}) {
    EXPECT_EQ(pair->private_key.size(), 64u);
    EXPECT_EQ(pair->private_key, hex_encode(*hex_decode(pair->private_key)));  // lower case
    EXPECT_EQ(parse_signing_key_hex(pair->private_key).value()->public_key_hex(), pair->public_key);
  }
  testing::FixedEnv same;
  EXPECT_EQ(generate_container_signing_key(same)->private_key, a->private_key);
}

CapsuleToc toc_numbered(uint64_t generation) {
  CapsuleToc toc;
  toc.format = "vesk-portable-container";
  toc.version = 2;
  toc.generation = generation;
  toc.created_at = 1700000000 + generation;
  toc.segments = {{"brain.vesk", 144, 3, 3, SegmentCodec::Raw, sha256_hex("abc")}};
  toc.original_size = toc.stored_size = 3;
  toc.holds = {{1, "first", 1700000000}};
  return toc;
}

TEST(GenerationSignature, TheManifestIsTheSignedSubsetOfTheToc) {
  CapsuleToc toc = toc_numbered(2);
  EXPECT_EQ(build_generation_manifest(toc, "ab"),
            R"({"domain":"ed25519-vesk-manifest-v1","format":"vesk-portable-container","version":2,"generation":2,)"
            R"("created_at":1700000002,"original_size":3,"segments":[{"name":"brain.vesk","original_size":3,)"
            R"("sha256":")" + sha256_hex("abc") +
                R"("}],"holds":[{"generation":1,"label":"first","created_at":1700000000}],)"
                R"("previous_manifest_sha256":"ab"})");
  // Moving or recoding a segment keeps the manifest; anything else changes it.
  CapsuleToc moved = toc;
  moved.segments[0].offset = 999;
  moved.segments[0].codec = SegmentCodec::Zstd;
  moved.segments[0].stored_size = moved.stored_size = 1;
  EXPECT_EQ(build_generation_manifest(moved, std::nullopt), build_generation_manifest(toc, std::nullopt));
}

// A chain of three signed generations after one unsigned one.
std::vector<CapsuleToc> signed_chain(const ContainerSigningKey& key) {
  std::vector<CapsuleToc> tocs;
  tocs.push_back(toc_numbered(1));
  std::optional<std::string> predecessor;
  for (uint64_t g = 2; g <= 4; ++g) {
    CapsuleToc toc = toc_numbered(g);
    sign_generation_manifest(toc, predecessor, key);
    predecessor = toc.authenticity->manifest_sha256;
    tocs.push_back(toc);
  }
  return tocs;
}

Status check_in_order(const std::vector<CapsuleToc>& tocs) {
  std::optional<SignatureChainState> chain;
  for (size_t i = 0; i < tocs.size(); ++i) VESK_RETURN_IF_ERROR(check_generation_signature(tocs[i], i, chain));
  return Status::Ok();
}

Status check_batched(const std::vector<CapsuleToc>& tocs) {
  std::optional<SignatureChainState> chain;
  SignatureBatch batch;
  for (size_t i = 0; i < tocs.size(); ++i) VESK_RETURN_IF_ERROR(batch.check(tocs[i], i, chain));
  return batch.finish();
}

// Both ways of checking a walk give the same outcome.
Status check_all(const std::vector<CapsuleToc>& tocs) {
  Status in_order = check_in_order(tocs);
  Status batched = check_batched(tocs);
  EXPECT_EQ(batched.ok(), in_order.ok());
  EXPECT_EQ(batched.message(), in_order.message());
  return in_order;
}

TEST(GenerationSignature, EachCheckHasItsMessage) {
  auto key = key_of(7);
  auto other = key_of(9);
  const std::vector<CapsuleToc> chain = signed_chain(*key);
  ASSERT_TRUE(check_all(chain).ok());
  const std::string pk = key->public_key_hex();
  EXPECT_EQ(chain[1].authenticity->public_key, pk);
  EXPECT_FALSE(chain[1].authenticity->previous_manifest_sha256);
  EXPECT_EQ(chain[2].authenticity->previous_manifest_sha256, chain[1].authenticity->manifest_sha256);

  using Edit = std::function<void(std::vector<CapsuleToc>&)>;
  auto resign = [](CapsuleToc& toc, std::optional<std::string> predecessor, const ContainerSigningKey& k) {
    sign_generation_manifest(toc, std::move(predecessor), k);
  };
  const struct {
    std::string error;
    Edit edit;
  } cases[] = {
      {"Vesk generation 4 is unsigned after a signed generation", [](auto& t) { t[3].authenticity.reset(); }},
      {"Unsupported Vesk generation signature algorithm: x", [](auto& t) { t[2].authenticity->algorithm = "x"; }},
      {"Vesk container public key must be 64 hexadecimal characters",
       [](auto& t) { t[2].authenticity->public_key = "xy"; }},
      {"Invalid Vesk container Ed25519 public key",
       [](auto& t) { t[2].authenticity->public_key = "02" + std::string(62, '0'); }},
      {"Vesk generation signature is not valid hexadecimal", [](auto& t) { t[2].authenticity->signature[5] = 'q'; }},
      {"Vesk generation signature must encode exactly 64 bytes",
       [](auto& t) { t[2].authenticity->signature.resize(126); }},
      {"Vesk generation 3 signed manifest digest mismatch (expected " + std::string(64, '0') + ", got ",
       [](auto& t) { t[2].authenticity->manifest_sha256 = std::string(64, '0'); }},
      {"Vesk generation 3 signed manifest digest mismatch", [](auto& t) { t[2].holds[0].label = "firsT"; }},
      {"Vesk generation 3 signed manifest digest mismatch",  // stored texts compare exactly
       [](auto& t) {
         for (char& c : t[2].authenticity->manifest_sha256) c = static_cast<char>(std::toupper(c));
       }},
      {"Vesk generation 3 signature verification failed",
       [](auto& t) { t[2].authenticity->signature[0] = t[2].authenticity->signature[0] == '0' ? '1' : '0'; }},
      // A failed signature outranks the failures of its own later checks and of later generations.
      {"Vesk generation 3 signature verification failed",
       [&](auto& t) {
         resign(t[2], std::string(64, 'e'), *key);
         t[2].authenticity->signature[0] = t[2].authenticity->signature[0] == '0' ? '1' : '0';
       }},
      {"Vesk generation 2 signature verification failed",
       [](auto& t) {
         t[1].authenticity->signature[0] = t[1].authenticity->signature[0] == '0' ? '1' : '0';
         t[3].authenticity->algorithm = "x";
       }},
      {"Vesk generation 3 signature chain predecessor mismatch",
       [&](auto& t) { resign(t[2], std::string(64, 'e'), *key); }},
      {"Vesk generation 3 signature chain predecessor mismatch", [&](auto& t) { resign(t[2], std::nullopt, *key); }},
      {"Vesk generation 3 changes signing identity inside one chain",
       [&](auto& t) { resign(t[2], t[1].authenticity->manifest_sha256, *other); }},
      {"Vesk generation 2 starts a signature epoch with an unexpected predecessor",
       [&](auto& t) { resign(t[1], std::string(64, 'e'), *key); }},
      // The file's first generation may continue a chain begun elsewhere.
      {"", [&](auto& t) { t.erase(t.begin(), t.begin() + 2); }},
      {"", [&](auto& t) { t[1].segments[0].offset = 5000; }},
  };
  for (const auto& c : cases) {
    std::vector<CapsuleToc> tocs = chain;
    c.edit(tocs);
    Status s = check_all(tocs);
    if (c.error.empty()) {
      EXPECT_TRUE(s.ok()) << s.message();
    } else {
      EXPECT_EQ(s.message().substr(0, c.error.size()), c.error) << s.message();
    }
  }
}

// A walk longer than one batch: a bad signature is found and ranked first
// whether its batch runs part-way through the walk or at its end.
TEST(GenerationSignature, LongWalksReportTheFirstBadSignature) {
  auto key = key_of(7);
  std::vector<CapsuleToc> tocs;
  std::optional<std::string> predecessor;
  for (uint64_t g = 1; g <= 1200; ++g) {
    CapsuleToc toc = toc_numbered(g);
    sign_generation_manifest(toc, predecessor, *key);
    predecessor = toc.authenticity->manifest_sha256;
    tocs.push_back(toc);
  }
  ASSERT_TRUE(check_all(tocs).ok());
  auto spoil = [](CapsuleToc& toc) {
    char& c = toc.authenticity->signature[0];
    c = c == '0' ? '1' : '0';
  };
  for (const std::vector<size_t>& bad : std::vector<std::vector<size_t>>{{5}, {700, 1100}, {1199}, {300, 1150}}) {
    std::vector<CapsuleToc> spoiled = tocs;
    for (size_t i : bad) spoil(spoiled[i]);
    EXPECT_EQ(check_all(spoiled).message(),
              "Vesk generation " + std::to_string(bad.front() + 1) + " signature verification failed");
  }
}

TEST(GenerationSignature, ASignedContainerTakesOnlyItsOwnKey) {
  auto key = key_of(7);
  auto other = key_of(9);
  ContainerState unsigned_state;
  unsigned_state.latest = toc_numbered(4);
  ContainerState signed_state;
  signed_state.latest = signed_chain(*key).back();
  EXPECT_TRUE(check_signing_key_chain(unsigned_state, nullptr).ok());
  EXPECT_TRUE(check_signing_key_chain(unsigned_state, other.get()).ok());
  EXPECT_TRUE(check_signing_key_chain(signed_state, key.get()).ok());
  EXPECT_EQ(check_signing_key_chain(signed_state, nullptr).message(),
            "Vesk container generation 4 is signed; use a signed mutation API");
  EXPECT_EQ(check_signing_key_chain(signed_state, other.get()).message(),
            "Vesk container signing key does not match the active signature chain");
}

}  // namespace
}  // namespace vesk
