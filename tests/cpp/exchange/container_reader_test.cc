#include "exchange/capsule/container_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exchange/capsule/signing_key.h"
#include "exchange/container_builder.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;
using testing::ContainerBuilder;
using testing::GenerationEdits;
using testing::TempDir;

const testing::Files kFiles = {{"brain.vesk", "records"}, {"index/sdr.idx", "index bytes"}};

std::vector<uint64_t> numbers(const ContainerState& state) {
  std::vector<uint64_t> out;
  for (const CapsuleToc& toc : state.generations) out.push_back(toc.generation);
  return out;
}

Result<ContainerState> read_state(const std::string& bytes, const TempDir& dir) {
  const auto path = dir / "c.vesk";
  testing::spit(path, bytes);
  return load_v2_container_state(path, Env::Default());
}

TEST(ContainerReader, TheWalkEndsSilentlyAtTheFirstGenerationThatIsNotCommitted) {
  using Frame = ContainerGenerationFrame;
  const struct {
    const char* rule;
    GenerationEdits edits;
  } cases[] = {
      {"magic", {.frame = [](Frame& f) { f.magic = "VKGX"; }}},
      {"toc offset inside the frame", {.frame = [](Frame& f) { f.toc_offset = 79; }}},
      {"empty toc", {.frame = [](Frame& f) { f.toc_length = 0; }}},
      {"toc too long", {.frame = [](Frame& f) { f.toc_length = kMaxTocLength + 1; }}},
      {"generation shorter than a frame", {.frame = [](Frame& f) { f.generation_length = 79; }}},
      {"generation too long", {.frame = [](Frame& f) { f.generation_length = kMaxGenerationLength + 1; }}},
      {"frame version", {.frame = [](Frame& f) { f.frame_version = 2; }}},
      {"flags", {.frame = [](Frame& f) { f.flags = 1; }}},
      {"number skipped", {.frame = [](Frame& f) { f.generation = 4; }}},
      {"number repeated", {.frame = [](Frame& f) { f.generation = 2; }}},
      {"length disagrees with the toc", {.frame = [](Frame& f) { f.generation_length += 1; }}},
      {"offset overflows",
       {.frame = [](Frame& f) { f.toc_offset = UINT64_MAX; f.generation_length = f.toc_length - 1; }}},
      {"runs past the file", {.frame = [](Frame& f) { f.generation_length = f.toc_offset + (f.toc_length += 1 << 20); }}},
      {"toc digest", {.frame = [](Frame& f) { f.toc_sha256[0] ^= 1; }}},
      {"toc is no json", {.toc_bytes = [](std::string& t) { t[0] = '['; }}},
      {"toc generation differs",
       {.toc = [](CapsuleToc& t) { t.generation = 9; }, .frame = [](Frame& f) { f.generation = 3; }}},
      {"toc created_at differs", {.frame = [](Frame& f) { f.created_at += 1; }}},
      {"toc invalid", {.toc = [](CapsuleToc& t) { t.format = "other"; }}},
  };
  {
    TempDir dir;
    ContainerBuilder b;
    for (int i = 0; i < 4; ++i) b.add({{"brain.vesk", std::to_string(i)}, {"index/sdr.idx", "index bytes"}});
    auto state = read_state(b.bytes(), dir);
    ASSERT_TRUE(state.ok()) << state.status().message();
    EXPECT_THAT(numbers(*state), ElementsAre(1, 2, 3, 4));
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    TempDir dir;
    ContainerBuilder b;
    b.add(kFiles);
    b.add({{"brain.vesk", "more records"}, {"index/sdr.idx", "index bytes"}});
    const uint64_t end_of_second = b.bytes().size();
    b.add({{"brain.vesk", "third"}, {"index/sdr.idx", "index bytes"}}, c.edits);
    b.add({{"brain.vesk", "fourth"}});
    auto state = read_state(b.bytes(), dir);
    ASSERT_TRUE(state.ok()) << state.status().message();
    EXPECT_THAT(numbers(*state), ElementsAre(1, 2));
    EXPECT_EQ(state->latest.generation, 2u);
    EXPECT_EQ(state->committed_end, end_of_second);
  }
}

TEST(ContainerReader, GenerationNumbersRunOnFromTheFirstInTheFile) {
  TempDir dir;
  ContainerBuilder b(7);
  b.add(kFiles, {.toc = [](CapsuleToc& t) { t.holds = {{3, "before the file", 1}, {7, "this one", 2}}; }});
  b.add({{"brain.vesk", "x"}});
  auto state = read_state(b.bytes(), dir);
  ASSERT_TRUE(state.ok()) << state.status().message();
  EXPECT_THAT(numbers(*state), ElementsAre(7, 8));
  EXPECT_EQ(state->latest.holds.size(), 2u);
  EXPECT_EQ(state->committed_end, b.bytes().size());
}

TEST(ContainerReader, ASignatureFailureFailsTheWholeRead) {
  TempDir dir;
  uint8_t seed[32] = {1};
  ContainerSigningKey key(seed);
  ContainerBuilder b;
  b.add(kFiles, {.key = &key});
  b.add({{"brain.vesk", "unsigned"}});
  auto state = read_state(b.bytes(), dir);
  ASSERT_FALSE(state.ok());
  EXPECT_EQ(state.status().message(), "Vesk generation 2 is unsigned after a signed generation");
}

TEST(ContainerReader, LayoutOneReaderChecksItsHeaderAndTableInOrder) {
  using Header = ContainerHeader;
  const struct {
    std::function<void(CapsuleToc&)> toc;
    std::function<void(Header&)> header;
    std::string error;
  } cases[] = {
      {nullptr, nullptr, ""},
      {nullptr, [](Header& h) { h.flags = 4; }, "Unsupported Vesk container flags: 4"},
      {nullptr, [](Header& h) { h.toc_offset = 63; }, "Invalid Vesk container TOC bounds"},
      {nullptr, [](Header& h) { h.toc_length = 0; }, "Invalid Vesk container TOC bounds"},
      {nullptr, [](Header& h) { h.toc_length = kMaxTocLength + 1; }, "Invalid Vesk container TOC bounds"},
      {nullptr, [](Header& h) { h.toc_length -= 1; }, "Vesk container TOC does not terminate at end of file"},
      {nullptr, [](Header& h) { h.toc_offset = UINT64_MAX; }, "Vesk container TOC does not terminate at end of file"},
      {nullptr, [](Header& h) { h.toc_sha256[31] ^= 1; }, "Vesk container TOC checksum mismatch"},
      {[](CapsuleToc& t) { t.generation = 1; }, nullptr, "Invalid Vesk container generation"},
      {[](CapsuleToc& t) { t.segments[1].offset = 10; }, nullptr, "Vesk container segment has invalid bounds"},
      {nullptr, [](Header& h) { h.created_at += 1; }, "Vesk container creation timestamp mismatch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    TempDir dir;
    testing::spit(dir / "c.vesk", testing::build_v1_container(kFiles, c.toc, c.header));
    auto toc = open_latest_generation(dir / "c.vesk", Env::Default());
    if (c.error.empty()) {
      ASSERT_TRUE(toc.ok()) << toc.status().message();
      EXPECT_EQ(toc->segments.size(), 2u);
    } else {
      ASSERT_FALSE(toc.ok());
      EXPECT_EQ(toc.status().message(), c.error);
      EXPECT_EQ(toc.status().kind(), ErrorKind::OS);
    }
  }
  // A layout-1 table that does not parse reports the JSON reader's error.
  TempDir dir;
  std::string bytes = testing::build_v1_container(kFiles);
  const size_t toc_start = bytes.rfind("{\"format\"");
  bytes.replace(toc_start + 2, 6, "formax");
  ContainerHeader h = decode_container_header(std::string_view(bytes).substr(0, 64));
  h.toc_sha256 = sha256(std::string_view(bytes).substr(toc_start));
  bytes.replace(0, 64, encode_container_header(h));
  testing::spit(dir / "c.vesk", bytes);
  auto toc = open_latest_generation(dir / "c.vesk", Env::Default());
  ASSERT_FALSE(toc.ok());
  EXPECT_THAT(toc.status().message(), StartsWith("missing field `format`"));
}

TEST(ContainerReader, GenerationsAreChosenByNumberInEitherLayout) {
  TempDir dir;
  ContainerBuilder b;
  b.add(kFiles);
  b.add({{"brain.vesk", "second"}});
  b.write(dir / "v2.vesk");
  testing::spit(dir / "v1.vesk", testing::build_v1_container(kFiles));
  const struct {
    const char* file;
    uint64_t generation;
    std::string error;
  } cases[] = {
      {"v2.vesk", 1, ""},
      {"v2.vesk", 2, ""},
      {"v2.vesk", 3, "Vesk container generation not found: 3"},
      {"v1.vesk", 0, ""},
      {"v1.vesk", 1, "Legacy Vesk containers expose generation 0 only"},
      {"missing.vesk", 0, "No such file or directory (os error 2)"},
  };
  for (const auto& c : cases) {
    auto toc = select_container_generation(dir / c.file, c.generation, Env::Default());
    if (c.error.empty()) {
      ASSERT_TRUE(toc.ok()) << c.file << " " << c.generation << ": " << toc.status().message();
      EXPECT_EQ(toc->generation, c.generation);
    } else {
      ASSERT_FALSE(toc.ok()) << c.file << " " << c.generation;
      EXPECT_EQ(toc.status().message(), c.error);
    }
  }
  auto state = load_v2_container_state(dir / "v1.vesk", Env::Default());
  ASSERT_FALSE(state.ok());
  EXPECT_EQ(state.status().message(), "Incremental append requires an Vesk v2 container; found version 1");
}

}  // namespace
}  // namespace vesk
