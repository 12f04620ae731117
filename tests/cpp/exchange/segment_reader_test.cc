#include "exchange/capsule/segment_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zstd.h>

#include <string>
#include <vector>

#include "base/sha256.h"
#include "exchange/capsule/segment_selection.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using ::testing::ElementsAre;
using testing::TempDir;

std::string zstd_frame(const std::string& content) {
  std::string out(ZSTD_compressBound(content.size()), '\0');
  out.resize(ZSTD_compress(out.data(), out.size(), content.data(), content.size(), 3));
  return out;
}

CapsuleSegment segment(SegmentCodec codec, uint64_t original_size, uint64_t offset = 64, uint64_t stored_size = 0) {
  return CapsuleSegment{"index/x", offset, stored_size, original_size, codec, ""};
}

TEST(SegmentReader, DecodesToExactlyTheRecordedSize) {
  const std::string text(100000, 'q');
  const std::string frame = zstd_frame(text);
  const std::string two_frames = zstd_frame("ab") + zstd_frame("cd");
  const std::string kMismatch = "Decoded size mismatch for segment index/x";
  const struct {
    std::string stored;
    SegmentCodec codec;
    uint64_t original_size;
    std::string expect;  // the decoded bytes, or the error
    bool ok;
  } cases[] = {
      {"raw bytes", SegmentCodec::Raw, 9, "raw bytes", true},
      {"raw bytes", SegmentCodec::Raw, 8, kMismatch, false},
      {frame, SegmentCodec::Zstd, text.size(), text, true},
      {two_frames, SegmentCodec::Zstd, 4, "abcd", true},
      {"", SegmentCodec::Zstd, 0, "", true},
      // Decoding stops one byte past the recorded size.
      {frame, SegmentCodec::Zstd, text.size() - 1, kMismatch, false},
      {frame, SegmentCodec::Zstd, 0, kMismatch, false},
      {frame, SegmentCodec::Zstd, text.size() + 1, kMismatch, false},
      {frame.substr(0, frame.size() - 1), SegmentCodec::Zstd, text.size(), "Incomplete Zstandard frame", false},
      {"not a frame", SegmentCodec::Zstd, 11, "Unknown frame descriptor", false},
      {frame + "x", SegmentCodec::Zstd, text.size(), "", false},
  };
  for (const auto& c : cases) {
    auto decoded = decode_container_segment(c.stored, segment(c.codec, c.original_size));
    ASSERT_EQ(decoded.ok(), c.ok) << c.expect;
    if (c.ok) {
      EXPECT_EQ(*decoded, c.expect);
    } else {
      EXPECT_EQ(decoded.status().kind(), ErrorKind::OS);
      if (!c.expect.empty()) {
        EXPECT_EQ(decoded.status().message(), c.expect);
      }
    }
  }
}

TEST(SegmentReader, ARangeTheFileCannotFillFails) {
  TempDir dir;
  testing::spit(dir / "c", std::string(64, 'h') + "0123456789");
  auto file = ContainerFile::open(dir / "c", Env::Default());
  ASSERT_TRUE(file.ok());
  auto bytes = read_segment_bytes(*file, segment(SegmentCodec::Raw, 10, 64, 10));
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(*bytes, "0123456789");
  for (const CapsuleSegment& s : {segment(SegmentCodec::Raw, 11, 64, 11), segment(SegmentCodec::Raw, 1, 75, 1),
                                  segment(SegmentCodec::Zstd, 1, UINT64_MAX, 1)}) {
    auto short_read = read_segment_bytes(*file, s);
    ASSERT_FALSE(short_read.ok());
    EXPECT_EQ(short_read.status().message(), "failed to fill whole buffer");
  }
}

TEST(SegmentSelection, SortedOnceEachAndSafe) {
  const std::vector<CapsuleSegment> segments = {{"b", 64, 0, 0, SegmentCodec::Raw, ""},
                                                {"a", 64, 0, 0, SegmentCodec::Raw, ""},
                                                {"c/d", 64, 0, 0, SegmentCodec::Raw, ""}};
  auto picked = select_container_segments(segments, {"b", "a", "b"});
  ASSERT_TRUE(picked.ok());
  std::vector<std::string> names;
  for (const CapsuleSegment& s : *picked) names.push_back(s.name);
  EXPECT_THAT(names, ElementsAre("a", "b"));

  const struct {
    std::vector<std::string> names;
    std::string error;
  } refused[] = {
      {{}, "At least one Vesk container segment must be selected"},
      {{"a", "e"}, "Vesk container segment not found: e"},
      {{"c//d"}, "Vesk container segment not found: c//d"},
      {{"a", "../a"}, "Unsafe Vesk container segment path: ../a"},
  };
  for (const auto& c : refused) {
    auto r = select_container_segments(segments, c.names);
    ASSERT_FALSE(r.ok()) << c.error;
    EXPECT_EQ(r.status().message(), c.error);
  }
}

}  // namespace
}  // namespace vesk
