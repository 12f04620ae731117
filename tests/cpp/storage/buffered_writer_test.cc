#include "storage/buffered_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "storage/test_dir.h"

namespace vesk {
namespace {

// A file in memory that notes the write-behind requests it receives and how
// far the data had reached when each came.
class MemoryFile final : public File {
 public:
  struct Request {
    uint64_t offset, length, size_then;
  };
  std::string data;
  std::vector<Request> requests;

  Result<size_t> read_at(uint64_t offset, char* dst, size_t n) override {
    const size_t k = offset >= data.size() ? 0 : std::min<size_t>(n, data.size() - offset);
    data.copy(dst, k, offset);
    return k;
  }
  Status write_at(uint64_t offset, std::string_view bytes) override {
    if (data.size() < offset + bytes.size()) data.resize(offset + bytes.size());
    data.replace(offset, bytes.size(), bytes);
    return Status::Ok();
  }
  Status sync() override { return Status::Ok(); }
  void start_writeback(uint64_t offset, uint64_t length) override {
    requests.push_back({offset, length, data.size()});
  }
  Status truncate(uint64_t size) override {
    data.resize(size);
    return Status::Ok();
  }
  Result<uint64_t> size() override { return data.size(); }
  Status close() override { return Status::Ok(); }
};

// Random appends, some larger than the buffer, some taken back: the file
// holds exactly the kept bytes, and the write-behind requests cover written
// bytes only, in order, in whole pages, each starting where the last one
// ended (or where a rollback cut the file back).
TEST(BufferedWriter, WriteBehindAsksForWrittenBytesInSteps) {
  for (uint64_t step : {uint64_t{0}, uint64_t{1}, uint64_t{100}, uint64_t{1000}}) {
    auto owned = std::make_unique<MemoryFile>();
    MemoryFile& file = *owned;
    file.data = "head";
    BufferedWriter w(std::move(owned), 4, 64);
    w.set_write_behind(step);
    std::mt19937 rng(static_cast<uint32_t>(step));
    std::string kept = "head";
    uint64_t floor = 4;  // no request may start before this
    for (int i = 0; i < 1500; ++i) {
      if (rng() % 10 == 0 && kept.size() > 4) {
        // Back by up to 300 bytes: what a failed append takes back.
        const uint64_t mark = kept.size() - std::min<uint64_t>(kept.size() - 4, 1 + rng() % 300);
        ASSERT_TRUE(w.rollback(mark).ok());
        kept.resize(mark);
        floor = std::min(floor, mark);
        continue;
      }
      std::string bytes(rng() % 3 == 0 ? 40 + rng() % 200 : 1 + rng() % 30, static_cast<char>('a' + i % 26));
      const size_t before = file.requests.size();
      ASSERT_TRUE(w.write(bytes).ok());
      kept += bytes;
      for (size_t r = before; r < file.requests.size(); ++r) {
        const MemoryFile::Request& q = file.requests[r];
        EXPECT_GE(q.offset, 4u);
        EXPECT_LE(q.offset, floor) << "a request starts where the last one ended";
        EXPECT_GT(q.length, 0u);
        EXPECT_EQ((q.offset + q.length) % 4096, 0u) << "up to a page boundary";
        EXPECT_LE(q.offset + q.length, q.size_then) << "only bytes already in the file";
        floor = q.offset + q.length;
      }
    }
    ASSERT_TRUE(w.flush_buffer().ok());
    EXPECT_EQ(file.data, kept);
    if (step == 0) {
      EXPECT_TRUE(file.requests.empty());
    } else {
      EXPECT_FALSE(file.requests.empty());
    }
  }
}

// Through a real file: small writes that fill the buffer, large ones that go
// out together with the buffered bytes (one vectored write), and rollbacks;
// the file holds exactly the kept bytes.
TEST(BufferedWriter, RealFileHoldsTheKeptBytes) {
  testing::TempDir dir;
  auto file = Env::Default().open(dir / "log", OpenMode::kReadWriteCreate);
  ASSERT_TRUE(file.ok());
  BufferedWriter w(std::move(file).value(), 0, 256);
  std::mt19937 rng(8);
  std::string kept;
  for (int i = 0; i < 3000; ++i) {
    if (rng() % 12 == 0 && !kept.empty()) {
      const uint64_t mark = kept.size() - std::min<uint64_t>(kept.size(), 1 + rng() % 500);
      ASSERT_TRUE(w.rollback(mark).ok());
      kept.resize(mark);
      continue;
    }
    std::string bytes(rng() % 4 == 0 ? 256 + rng() % 3000 : 1 + rng() % 100, static_cast<char>('a' + i % 26));
    ASSERT_TRUE(w.write(bytes).ok());
    kept += bytes;
    ASSERT_EQ(w.position(), kept.size());
  }
  ASSERT_TRUE(w.flush_buffer().ok());
  EXPECT_EQ(testing::slurp(dir / "log"), kept);
}

}  // namespace
}  // namespace vesk
