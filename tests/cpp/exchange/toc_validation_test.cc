#include "exchange/capsule/toc_validation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace vesk {
namespace {

const std::string kDigest(64, 'a');
constexpr uint64_t kTocStart = 1000;

// Two raw segments back to back after the header, one hold.
CapsuleToc valid_toc() {
  CapsuleToc toc;
  toc.format = "vesk-portable-container";
  toc.version = 2;
  toc.generation = 5;
  toc.segments = {{"a", 64, 10, 10, SegmentCodec::Raw, kDigest}, {"b/c", 74, 20, 90, SegmentCodec::Zstd, kDigest}};
  toc.original_size = 100;
  toc.stored_size = 30;
  toc.holds = {{5, "release", 1}};
  return toc;
}

TEST(TocValidation, EachRuleHasItsMessage) {
  using Edit = std::function<void(CapsuleToc&)>;
  const struct {
    std::string error;  // empty: valid
    Edit edit;
  } cases[] = {
      {"", [](CapsuleToc&) {}},
      {"", [](CapsuleToc& t) { t.segments[0].sha256 = std::string(64, 'F'); }},
      {"", [](CapsuleToc& t) { t.segments[1].stored_size = 95; t.stored_size = 105; t.segments[0].offset = 64; t.segments[1].offset = 74; }},
      {"", [](CapsuleToc& t) { t.holds[0].label = std::string(256, 'x'); }},
      {"", [](CapsuleToc& t) { t.holds[0].label = "non\u00a0breaking"; }},
      {"", [](CapsuleToc& t) { t.segments[0].stored_size = t.segments[0].original_size = 0; t.segments[1].offset = 64; t.original_size = 90; t.stored_size = 20; }},
      {"", [](CapsuleToc& t) { t.segments[1].offset = kTocStart - 20; }},
      {"Invalid Vesk container TOC identity", [](CapsuleToc& t) { t.format = "vesk-portable-containers"; }},
      {"Invalid Vesk container TOC identity", [](CapsuleToc& t) { t.version = 1; t.generation = 0; }},
      {"Invalid Vesk container generation", [](CapsuleToc& t) { t.generation = 0; }},
      {"Vesk container has too many generation holds",
       [](CapsuleToc& t) { t.holds.assign(4097, CapsuleGenerationHold{1, "x", 0}); }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds[0].generation = 6; }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds[0].generation = 0; }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds.push_back(t.holds[0]); }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds[0].label = ""; }},
      {"Vesk container has invalid generation hold metadata",
       [](CapsuleToc& t) { t.holds[0].label = std::string(257, 'x'); }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds[0].label = "a\tb"; }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds[0].label = "a\x7f"; }},
      {"Vesk container has invalid generation hold metadata", [](CapsuleToc& t) { t.holds[0].label = "a\u0085"; }},
      {"Invalid Vesk container segment count", [](CapsuleToc& t) { t.segments.clear(); }},
      {"Invalid Vesk container segment count",
       [](CapsuleToc& t) { t.segments.assign(4097, CapsuleSegment{"a", 64, 0, 0, SegmentCodec::Raw, kDigest}); }},
      {"Unsafe Vesk container segment path: ../a", [](CapsuleToc& t) { t.segments[1].name = "../a"; }},
      {"Duplicate Vesk container segment: a", [](CapsuleToc& t) { t.segments[1].name = "a"; }},
      {"Vesk container segment exceeds size limit",
       [](CapsuleToc& t) { t.segments[1].original_size = (512ull << 20) + 1; }},
      {"Raw Vesk container segment has inconsistent size", [](CapsuleToc& t) { t.segments[0].stored_size = 9; }},
      {"Vesk container segment has invalid SHA-256 digest", [](CapsuleToc& t) { t.segments[0].sha256.pop_back(); }},
      {"Vesk container segment has invalid SHA-256 digest", [](CapsuleToc& t) { t.segments[0].sha256[3] = 'g'; }},
      {"Vesk container segment range overflow", [](CapsuleToc& t) { t.segments[1].offset = UINT64_MAX - 10; }},
      {"Vesk container segment has invalid bounds", [](CapsuleToc& t) { t.segments[0].offset = 63; }},
      {"Vesk container segment has invalid bounds", [](CapsuleToc& t) { t.segments[1].offset = kTocStart - 19; }},
      {"Vesk container original size mismatch", [](CapsuleToc& t) { t.original_size = 99; }},
      {"Vesk container stored size mismatch", [](CapsuleToc& t) { t.stored_size = 31; }},
      {"Vesk container segments overlap", [](CapsuleToc& t) { t.segments[1].offset = 73; }},
  };
  for (const auto& c : cases) {
    CapsuleToc toc = valid_toc();
    c.edit(toc);
    Status s = validate_container_toc(toc, kTocStart, 2);
    if (c.error.empty()) {
      EXPECT_TRUE(s.ok()) << s.message();
    } else {
      EXPECT_EQ(s.message(), c.error);
    }
  }
}

TEST(TocValidation, TotalsAreLimitedAndLayoutOneWantsGenerationZero) {
  // 17 segments of 512 MiB: more than 8 GiB in all, each within its limit.
  CapsuleToc toc = valid_toc();
  toc.segments.clear();
  for (int i = 0; i < 17; ++i) {
    toc.segments.push_back({"s" + std::to_string(i), 64, 0, 512ull << 20, SegmentCodec::Zstd, kDigest});
  }
  toc.original_size = 17 * (512ull << 20);
  toc.stored_size = 0;
  EXPECT_EQ(validate_container_toc(toc, kTocStart, 2).message(), "Vesk container original size mismatch");
  // Layout 1 wants generation 0.
  CapsuleToc v1 = valid_toc();
  v1.version = 1;
  v1.holds.clear();
  EXPECT_EQ(validate_container_toc(v1, kTocStart, 1).message(), "Invalid Vesk container generation");
  v1.generation = 0;
  EXPECT_TRUE(validate_container_toc(v1, kTocStart, 1).ok());
}

}  // namespace
}  // namespace vesk
