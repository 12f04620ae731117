#include "exchange/capsule/container_verify.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "exchange/capsule/container_reader.h"
#include "exchange/container_builder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::ContainerBuilder;
using testing::TempDir;

// Counts the bytes read from every file it opens.
class CountingEnv : public testing::FaultEnv {
 public:
  Result<std::unique_ptr<File>> open(const fs::path& path, OpenMode mode) override {
    auto f = FaultEnv::open(path, mode);
    if (!f.ok()) return f.status();
    return std::unique_ptr<File>(new Counted(std::move(f).value(), bytes_read));
  }
  uint64_t bytes_read = 0;

 private:
  class Counted : public File {
   public:
    Counted(std::unique_ptr<File> base, uint64_t& counter) : base_(std::move(base)), counter_(counter) {}
    Result<size_t> read_at(uint64_t o, char* d, size_t n) override {
      auto got = base_->read_at(o, d, n);
      if (got.ok()) counter_ += *got;
      return got;
    }
    Status write_at(uint64_t o, std::string_view data) override { return base_->write_at(o, data); }
    Status sync() override { return base_->sync(); }
    Status truncate(uint64_t size) override { return base_->truncate(size); }
    Result<uint64_t> size() override { return base_->size(); }
    Status close() override { return base_->close(); }

   private:
    std::unique_ptr<File> base_;
    uint64_t& counter_;
  };
};

TEST(ContainerVerify, EachStoredRangeIsReadOnce) {
  TempDir dir;
  const std::string shared(1000, 's');
  ContainerBuilder b;
  b.add({{"a", std::string(100, '1')}, {"shared", shared}});
  b.add({{"a", std::string(200, '2')}, {"shared", shared}});
  b.add({{"a", std::string(300, '3')}, {"shared", shared}});
  b.write(dir / "c.vesk");
  auto state = load_v2_container_state(dir / "c.vesk", Env::Default());
  ASSERT_TRUE(state.ok());

  CountingEnv env;
  ASSERT_TRUE(verify_generation_segments(dir / "c.vesk", state->generations, env).ok());
  EXPECT_EQ(env.bytes_read, 100u + 200u + 300u + 1000u);
}

TEST(ContainerVerify, DigestsCompareAsExactText) {
  TempDir dir;
  ContainerBuilder b;
  b.add({{"a", "one"}, {"b", "two"}});
  // An upper-case digest is a valid digest text, but not the one computed.
  b.add({{"a", "one"}, {"b", "three"}},
        {.toc = [](CapsuleToc& t) {
          for (char& c : t.segments[1].sha256) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }});
  b.write(dir / "c.vesk");
  auto toc = verify_latest_generation(dir / "c.vesk", Env::Default());
  ASSERT_FALSE(toc.ok());
  EXPECT_EQ(toc.status().message(), "Checksum mismatch for segment b");

  auto state = load_v2_container_state(dir / "c.vesk", Env::Default());
  ASSERT_TRUE(state.ok());
  EXPECT_TRUE(verify_generation_segments(dir / "c.vesk", {state->generations[0]}, Env::Default()).ok());
  EXPECT_EQ(verify_generation_segments(dir / "c.vesk", state->generations, Env::Default()).message(),
            "Checksum mismatch for segment b");

  testing::spit(dir / "v1.vesk", testing::build_v1_container({{"x", "legacy"}}));
  auto v1 = verify_latest_generation(dir / "v1.vesk", Env::Default());
  ASSERT_TRUE(v1.ok()) << v1.status().message();
  EXPECT_EQ(v1->version, 1);
}

}  // namespace
}  // namespace vesk
