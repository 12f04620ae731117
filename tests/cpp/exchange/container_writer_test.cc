#include "exchange/capsule/container_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
#include "exchange/capsule/generation_writer.h"
#include "exchange/capsule/segment_reader.h"
#include "exchange/capsule/signature_chain.h"
#include "exchange/capsule/signing_key.h"
#include "exchange/container_builder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using ::testing::ElementsAre;
using testing::FixedEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

std::unique_ptr<ContainerSigningKey> key_of(char digit) { return parse_signing_key_hex(std::string(64, digit)).value(); }

// Every segment of a container's latest generation, decoded by the reader.
std::map<std::string, std::string> read_back(const fs::path& container) {
  auto opened = open_container(container, Env::Default());
  EXPECT_TRUE(opened.ok()) << opened.status().message();
  std::map<std::string, std::string> out;
  if (!opened.ok()) return out;
  for (const CapsuleSegment& s : opened->state.latest.segments) out[s.name] = read_segment_bytes(opened->file, s).value();
  return out;
}

std::map<std::string, SegmentCodec> codecs(const fs::path& container) {
  std::map<std::string, SegmentCodec> out;
  const CapsuleToc toc = open_latest_generation(container, Env::Default()).value();
  for (const CapsuleSegment& s : toc.segments) out[s.name] = s.codec;
  return out;
}

struct Store {
  TempDir dir;
  fs::path src = dir / "store";
  fs::path out = dir / "backup.ctr";
  FixedEnv env;

  Store() {
    fs::create_directories(src / "index");
    put("brain.vesk", "records");
    put("index/sdr.idx", std::string(4096, '\0'));
  }
  void put(const std::string& name, const std::string& bytes) {
    fs::create_directories((src / name).parent_path());
    spit(src / name, bytes);
  }
  Result<ContainerExportReport> export_(const ContainerSigningKey* key = nullptr) {
    return export_container_file(src, out, key, env);
  }
  Result<ContainerWriteReport> append(const ContainerSigningKey* key = nullptr) {
    return append_container_generation(src, out, key, env);
  }
};

TEST(ContainerWriter, ExportIsReadBackByteForByte) {
  Store s;
  s.put("versions/a/b.json", "0123456789");
  s.put("embeddings.log", std::string(100, 'e'));
  s.put("memory.key", "secret");         // never captured
  s.put("brain.audit.1", "rotated");     // never captured
  s.put("stray.txt", "not a store file");
  auto report = s.export_();
  ASSERT_TRUE(report.ok()) << report.status().message();
  EXPECT_EQ(report->segment_count, 4u);
  EXPECT_EQ(report->original_size, 7u + 4096 + 10 + 100);
  EXPECT_EQ(report->compressed_segment_count, 2u);
  EXPECT_EQ(report->generation, 1u);
  EXPECT_EQ(report->container_size, fs::file_size(s.out));
  EXPECT_FALSE(fs::exists(s.dir / "backup.vesk.tmp"));
  const std::map<std::string, std::string> files = read_back(s.out);
  EXPECT_EQ(files, (std::map<std::string, std::string>{{"brain.vesk", "records"},
                                                        {"embeddings.log", std::string(100, 'e')},
                                                        {"index/sdr.idx", std::string(4096, '\0')},
                                                        {"versions/a/b.json", "0123456789"}}));
  EXPECT_TRUE(verify_latest_generation(s.out, Env::Default()).ok());
  auto toc = open_latest_generation(s.out, Env::Default()).value();
  EXPECT_EQ(toc.created_at, 1'750'000'000u);
  std::vector<std::string> names;
  for (const auto& seg : toc.segments) names.push_back(seg.name);
  EXPECT_THAT(names, ElementsAre("brain.vesk", "embeddings.log", "index/sdr.idx", "versions/a/b.json"));
}

// A segment is stored compressed only when that saves more than 32 bytes.
TEST(ContainerWriter, CompressesOnlyWhenItSavesMoreThanThirtyTwoBytes) {
  // Random bytes do not compress; a run of zeros after them does, by about
  // its length. Find the runs that save exactly 32 and 33 bytes.
  std::string noise;
  uint64_t x = 88172645463325252ull;
  for (int i = 0; i < 300; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    noise.push_back(static_cast<char>(x));
  }
  std::map<int64_t, std::string> by_saving;
  for (size_t zeros = 0; zeros < 200; ++zeros) {
    const std::string content = noise + std::string(zeros, '\0');
    const int64_t saving = static_cast<int64_t>(content.size()) -
                           static_cast<int64_t>(zstd_compress_segment(content).value().size());
    by_saving.emplace(saving, content);
  }
  ASSERT_TRUE(by_saving.contains(32) && by_saving.contains(33));
  Store s;
  s.put("brain.cog", by_saving[32]);
  s.put("brain.snap", by_saving[33]);
  s.put("brain.vesk", "0123456789");
  s.put("temporal.bin", "");
  ASSERT_TRUE(s.export_().ok());
  EXPECT_EQ(codecs(s.out), (std::map<std::string, SegmentCodec>{{"brain.cog", SegmentCodec::Raw},
                                                                 {"brain.snap", SegmentCodec::Zstd},
                                                                 {"brain.vesk", SegmentCodec::Raw},
                                                                 {"index/sdr.idx", SegmentCodec::Zstd},
                                                                 {"temporal.bin", SegmentCodec::Raw}}));
  EXPECT_EQ(read_back(s.out)["brain.snap"], by_saving[33]);
}

TEST(ContainerWriter, ExportRefusalsLeaveNothingBehind) {
  Store s;
  spit(s.out, "mine");
  auto refused = s.export_();
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.status().message(), "Refusing to overwrite existing container: " + s.out.native());
  EXPECT_EQ(slurp(s.out), "mine");
  fs::remove(s.out);

  testing::FaultEnv faults;
  faults.fail_rename("backup.ctr");
  auto failed = export_container_file(s.src, s.out, nullptr, faults);
  ASSERT_FALSE(failed.ok());
  EXPECT_FALSE(fs::exists(s.out));
  EXPECT_FALSE(fs::exists(s.dir / "backup.vesk.tmp"));

  auto empty = export_container_file(s.dir / "nothing", s.out, nullptr, s.env);
  EXPECT_EQ(empty.status().message(), "Vesk source directory does not exist: " + (s.dir / "nothing").native());
}

// backup.ctr and backup.bak hold different mutation locks but share one
// temporary file: an export that finds it in use fails and leaves it alone.
TEST(ContainerWriter, AnExportDoesNotWriteIntoAnotherExportsTemporaryFile) {
  Store s;
  const fs::path temp = s.dir / "backup.vesk.tmp";
  EXPECT_EQ(container_export_temp_path(s.out), temp);
  EXPECT_EQ(container_export_temp_path(s.dir / "backup"), temp);
  spit(temp, "another export's bytes");
  auto held = Env::Default().lock(temp);
  ASSERT_TRUE(held.ok());
  auto refused = s.export_();
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.status().message(), "Vesk container temporary file is in use by another export: " + temp.native());
  EXPECT_EQ(slurp(temp), "another export's bytes");
  EXPECT_FALSE(fs::exists(s.out));
  held->reset();
  EXPECT_TRUE(s.export_().ok());  // a leftover with no holder is simply reused
}

TEST(ContainerWriter, AppendWritesOnlyWhatChanged) {
  Store s;
  s.put("brain.cog", std::string(2000, 'c'));
  ASSERT_TRUE(s.export_().ok());
  const auto size = fs::file_size(s.out);

  auto same = s.append();
  ASSERT_TRUE(same.ok()) << same.status().message();
  EXPECT_EQ(same->generation, 1u);
  EXPECT_EQ(same->changed_segment_count, 0u);
  EXPECT_EQ(same->reused_segment_count, 3u);
  EXPECT_EQ(same->appended_bytes, 0u);
  EXPECT_EQ(fs::file_size(s.out), size);

  s.put("brain.vesk", "records and more");
  fs::remove(s.src / "brain.cog");
  auto changed = s.append();
  ASSERT_TRUE(changed.ok());
  EXPECT_EQ(changed->generation, 2u);
  EXPECT_EQ(changed->segment_count, 2u);
  EXPECT_EQ(changed->changed_segment_count, 1u);
  EXPECT_EQ(changed->reused_segment_count, 1u);
  EXPECT_EQ(changed->removed_segment_count, 1u);
  EXPECT_EQ(changed->container_size, size + changed->appended_bytes);
  EXPECT_EQ(changed->appended_bytes, kGenerationFrameSize + 16 +
                                         serialize_capsule_toc(open_latest_generation(s.out, s.env).value()).size());
  EXPECT_EQ(read_back(s.out), (std::map<std::string, std::string>{{"brain.vesk", "records and more"},
                                                                   {"index/sdr.idx", std::string(4096, '\0')}}));
}

TEST(ContainerWriter, SignedGenerationsFormOneChain) {
  Store s;
  auto key = key_of('1'), other = key_of('2');
  ASSERT_TRUE(s.export_().ok());
  // An unchanged store still gets a signed generation to start the chain.
  auto first_signed = s.append(key.get());
  ASSERT_TRUE(first_signed.ok());
  EXPECT_EQ(first_signed->generation, 2u);
  EXPECT_EQ(first_signed->reused_segment_count, 2u);
  s.put("brain.vesk", "more");
  ASSERT_TRUE(s.append(key.get()).ok());

  const std::string before = slurp(s.out);
  EXPECT_EQ(s.append().status().message(), "Vesk container generation 3 is signed; use a signed mutation API");
  EXPECT_EQ(s.append(other.get()).status().message(),
            "Vesk container signing key does not match the active signature chain");
  EXPECT_EQ(slurp(s.out), before);

  auto report = verify_signature_chain(s.out, key->public_key_hex(), false, Env::Default());
  ASSERT_TRUE(report.ok()) << report.status().message();
  EXPECT_EQ(report->signed_generation_count, 2u);
  EXPECT_EQ(report->chain_start_generation, 2u);
  EXPECT_FALSE(report->detached_prefix);
  auto generations = load_v2_container_state(s.out, Env::Default()).value().generations;
  EXPECT_FALSE(generations[1].authenticity->previous_manifest_sha256);
  EXPECT_EQ(generations[2].authenticity->previous_manifest_sha256, generations[1].authenticity->manifest_sha256);
}

// What an append finds after the committed generations, and what it does.
TEST(ContainerWriter, AppendCutsATornTailButNotIntactGenerations) {
  Store s;
  ASSERT_TRUE(s.export_().ok());
  const std::string committed = slurp(s.out);

  // A torn append: the placeholder and part of a segment.
  testing::FaultEnv torn;
  s.put("brain.vesk", std::string(5000, 'x'));
  torn.tear_writes_after("backup.ctr", 200);
  ASSERT_FALSE(append_container_generation(s.src, s.out, nullptr, torn).ok());
  ASSERT_GT(fs::file_size(s.out), committed.size());
  EXPECT_EQ(read_back(s.out)["brain.vesk"], "records");

  // Garbage of every length, then the next append.
  for (size_t garbage : {size_t{7}, size_t{80}, size_t{300}}) {
    spit(s.out, committed + std::string(garbage, '\x5a'));
    EXPECT_EQ(read_back(s.out)["brain.vesk"], "records");
    auto report = s.append();
    ASSERT_TRUE(report.ok()) << report.status().message();
    EXPECT_EQ(report->generation, 2u);
    EXPECT_EQ(report->container_size, committed.size() + report->appended_bytes);
  }
}

TEST(ContainerWriter, AppendRefusesToCutGenerationsAfterADamagedOne) {
  TempDir dir;
  testing::ContainerBuilder b;
  for (int g = 1; g <= 5; ++g) {
    testing::GenerationEdits edits;
    if (g == 3) edits.toc_bytes = [](std::string& toc) { toc[toc.size() / 2] ^= 1; };
    b.add({{"brain.vesk", "generation " + std::to_string(g)}}, edits);
  }
  const fs::path container = dir / "c.vesk";
  b.write(container);
  fs::create_directories(dir / "store");
  spit(dir / "store/brain.vesk", "new");
  FixedEnv env;
  auto refused = append_container_generation(dir / "store", container, nullptr, env);
  ASSERT_FALSE(refused.ok());
  EXPECT_THAT(refused.status().message(), ::testing::StartsWith("Vesk container holds a committed generation at offset "));
  EXPECT_THAT(refused.status().message(), ::testing::EndsWith("; refusing to cut it off"));
  EXPECT_EQ(slurp(container), b.bytes());
}

TEST(ContainerWriter, AContainerInsideTheStoreCapturesNeitherItselfNorItsLock) {
  Store s;
  const fs::path inside = s.src / "index/backup.ctr";
  spit(s.src / "index/backup.ctr.lock", "");
  ASSERT_TRUE(export_container_file(s.src, inside, nullptr, s.env).ok());
  ASSERT_TRUE(append_container_generation(s.src, inside, nullptr, s.env).ok());
  const CapsuleToc toc = open_latest_generation(inside, Env::Default()).value();
  std::vector<std::string> names;
  for (const auto& seg : toc.segments) names.push_back(seg.name);
  EXPECT_THAT(names, ElementsAre("brain.vesk", "index/sdr.idx"));
}

TEST(SignatureChain, CountsAndRefusals) {
  TempDir dir;
  auto key = key_of('1');
  const std::string pub = key->public_key_hex();
  std::string upper = pub;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  testing::ContainerBuilder unsigned3;
  for (int g = 0; g < 3; ++g) unsigned3.add({{"a", std::to_string(g)}});
  testing::ContainerBuilder mixed;
  mixed.add({{"a", "1"}});
  mixed.add({{"a", "2"}});
  mixed.add({{"a", "3"}}, {.key = key.get()});
  mixed.add({{"a", "4"}}, {.key = key.get()});
  const struct {
    testing::ContainerBuilder* container;
    std::optional<std::string> trusted;
    bool require_all;
    std::string error;  // empty: verified
    uint64_t signed_count = 0;
    uint64_t unsigned_count = 0;
    std::optional<uint64_t> chain_start;
  } cases[] = {
      {&unsigned3, std::nullopt, true, "Vesk container has 3 unsigned retained generation(s)"},
      {&unsigned3, std::nullopt, false, "", 0, 3},
      {&unsigned3, pub, false, "Vesk container has no signed generations to verify against the trusted key"},
      {&mixed, upper, false, "", 2, 2, 3},
      {&mixed, std::string(key_of('2')->public_key_hex()), false,
       "Vesk container signing identity does not match the trusted public key"},
      {&mixed, std::nullopt, true, "Vesk container has 2 unsigned retained generation(s)"},
  };
  for (const auto& c : cases) {
    const fs::path path = dir / "c.vesk";
    c.container->write(path);
    auto report = verify_signature_chain(path, c.trusted, c.require_all, Env::Default());
    if (!c.error.empty()) {
      ASSERT_FALSE(report.ok()) << c.error;
      EXPECT_EQ(report.status().message(), c.error);
      continue;
    }
    ASSERT_TRUE(report.ok()) << report.status().message();
    EXPECT_TRUE(report->verified);
    EXPECT_EQ(report->signed_generation_count, c.signed_count);
    EXPECT_EQ(report->unsigned_generation_count, c.unsigned_count);
    EXPECT_EQ(report->all_generations_signed, c.unsigned_count == 0);
    EXPECT_EQ(report->chain_start_generation, c.chain_start);
    EXPECT_EQ(report->public_key.has_value(), c.signed_count > 0);
    EXPECT_FALSE(report->detached_prefix);
  }
}

}  // namespace
}  // namespace vesk
