#include "model/capsule_toc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

using ::testing::StartsWith;

const std::string kDigest(64, 'a');

CapsuleToc sample_toc() {
  CapsuleToc toc;
  toc.format = "vesk-portable-container";
  toc.version = 2;
  toc.generation = 3;
  toc.created_at = 1700000000;
  toc.segments = {{"brain.vesk", 144, 10, 10, SegmentCodec::Raw, kDigest},
                  {"index/sdr.idx", 154, 7, 90, SegmentCodec::Zstd, kDigest}};
  toc.original_size = 100;
  toc.stored_size = 17;
  return toc;
}

TEST(CapsuleToc, WrittenFormsKeepTheirKeyOrder) {
  CapsuleToc unsigned_toc = sample_toc();
  const std::string segments =
      R"("segments":[{"name":"brain.vesk","offset":144,"stored_size":10,"original_size":10,"codec":"raw","sha256":")" +
      kDigest +
      R"("},{"name":"index/sdr.idx","offset":154,"stored_size":7,"original_size":90,"codec":"zstd","sha256":")" +
      kDigest + R"("}])";
  const std::string head = R"({"format":"vesk-portable-container","version":2,"generation":3,"created_at":1700000000,)";
  EXPECT_EQ(serialize_capsule_toc(unsigned_toc),
            head + segments + R"(,"original_size":100,"stored_size":17,"holds":[]})");

  CapsuleToc signed_toc = sample_toc();
  signed_toc.holds = {{2, "keep \"me\"\n", 1700000001}};
  signed_toc.authenticity = CapsuleGenerationAuthenticity{"ed25519-vesk-manifest-v1", "pk", "ms", std::nullopt, "sig"};
  EXPECT_EQ(serialize_capsule_toc(signed_toc),
            head + segments +
                R"(,"original_size":100,"stored_size":17,"holds":[{"generation":2,"label":"keep \"me\"\n","created_at":1700000001}],)"
                R"("authenticity":{"algorithm":"ed25519-vesk-manifest-v1","public_key":"pk","manifest_sha256":"ms",)"
                R"("previous_manifest_sha256":null,"signature":"sig"}})");

  for (const CapsuleToc& toc : {unsigned_toc, signed_toc}) {
    auto back = parse_capsule_toc(serialize_capsule_toc(toc));
    ASSERT_TRUE(back.ok()) << back.status().message();
    EXPECT_EQ(*back, toc);
  }
}

TEST(CapsuleToc, ReadingFillsDefaultsAndRefusesWhatTheFormDoesNot) {
  const std::string seg = R"({"name":"a","offset":64,"stored_size":1,"original_size":1,"codec":"raw","sha256":"x"})";
  const std::string base = R"("format":"f","version":1,"created_at":5,"segments":[)" + seg +
                           R"(],"original_size":1,"stored_size":1)";

  // Absent optional members take their defaults; null reads as absent;
  // unknown members are skipped; white space may surround the object.
  for (const std::string& text : {"{" + base + "}", " \n{" + base + R"(,"authenticity":null,"comment":[1,{"a":2}]} )",
                                  "{" + base + R"(,"generation":0,"holds":[]})"}) {
    auto toc = parse_capsule_toc(text);
    ASSERT_TRUE(toc.ok()) << text << ": " << toc.status().message();
    EXPECT_EQ(toc->generation, 0u);
    EXPECT_TRUE(toc->holds.empty());
    EXPECT_FALSE(toc->authenticity);
  }
  const std::string auth_head = R"(,"authenticity":{"algorithm":"a","public_key":"p","manifest_sha256":"m",)";
  for (const std::string& prev : {std::string(), std::string(R"("previous_manifest_sha256":null,)")}) {
    auto toc = parse_capsule_toc("{" + base + auth_head + prev + R"("signature":"s"}})");
    ASSERT_TRUE(toc.ok()) << toc.status().message();
    ASSERT_TRUE(toc->authenticity);
    EXPECT_FALSE(toc->authenticity->previous_manifest_sha256);
  }
  // The positional form: a record as the array of its values.
  auto positional =
      parse_capsule_toc(R"(["f",1,0,5,[["a",64,1,1,{"zstd":null},"x"]],1,1,[[1,"l",2]]])");
  ASSERT_TRUE(positional.ok()) << positional.status().message();
  EXPECT_EQ(positional->segments[0].codec, SegmentCodec::Zstd);
  EXPECT_EQ(positional->holds[0].label, "l");

  const struct {
    std::string text;
    std::string error;
  } refused[] = {
      {R"({"format":"f","version":1,"segments":[],"original_size":1,"stored_size":1})",
       "missing field `created_at`"},
      {"{" + base + R"(,"version":2})", "duplicate field `version`"},
      {R"({"format":"f","version":65536,"created_at":5,"segments":[],"original_size":1,"stored_size":1})",
       "invalid value"},
      {R"({"format":"f","version":1,"created_at":-1,"segments":[],"original_size":1,"stored_size":1})",
       "invalid value"},
      {"{" + base + R"(,"generation":1.5})", "invalid type"},
      {R"({"format":"f","version":1,"created_at":5,"segments":[{"name":"a","offset":64,"stored_size":1,)"
       R"("original_size":1,"codec":"Zstd","sha256":"x"}],"original_size":1,"stored_size":1})",
       "unknown variant `Zstd`"},
      {R"({"format":"f","version":1,"created_at":5,"segments":[{"name":"a","offset":64,"stored_size":1,)"
       R"("original_size":1,"codec":"raw"}],"original_size":1,"stored_size":1})",
       "missing field `sha256`"},
      {"{" + base + "} x", "trailing characters"},
  };
  for (const auto& c : refused) {
    auto toc = parse_capsule_toc(c.text);
    ASSERT_FALSE(toc.ok()) << c.text;
    EXPECT_THAT(toc.status().message(), StartsWith(c.error)) << c.text;
  }
}

}  // namespace
}  // namespace vesk
