// FixedEnv: an Env whose clock and random stream the test holds.
//
// Files go to a base Env (the POSIX one by default); now() reads a clock the
// test sets and moves, and random_bytes() gives a seeded stream, so a store
// opened on it writes the same ids and times on every run, and a validity
// window or an age can be crossed without sleeping.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/env.h"

namespace vesk::testing {

class FixedEnv : public Env {
 public:
  explicit FixedEnv(UtcInstant start = {1'750'000'000, 0}, uint64_t seed = 1, Env& files = Env::Default())
      : files_(files), now_(start), state_(seed) {}

  void set_now(UtcInstant t) {
    std::lock_guard<std::mutex> g(mu_);
    now_ = t;
  }
  // Moves the clock by a (possibly fractional, possibly negative) number of
  // seconds.
  void advance(double seconds) {
    std::lock_guard<std::mutex> g(mu_);
    int64_t ns = now_.seconds * 1'000'000'000 + now_.nanos + static_cast<int64_t>(std::llround(seconds * 1e9));
    now_.seconds = ns / 1'000'000'000;
    now_.nanos = static_cast<uint32_t>(ns % 1'000'000'000);
  }

  UtcInstant now() override {
    std::lock_guard<std::mutex> g(mu_);
    return now_;
  }
  // splitmix64: a fixed stream per seed.
  Status random_bytes(void* dst, size_t n) override {
    std::lock_guard<std::mutex> g(mu_);
    auto* out = static_cast<unsigned char*>(dst);
    for (size_t i = 0; i < n; ++i) {
      if (left_ == 0) {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        word_ = z ^ (z >> 31);
        left_ = 8;
      }
      out[i] = static_cast<unsigned char>(word_);
      word_ >>= 8;
      --left_;
    }
    return Status::Ok();
  }

  Result<std::unique_ptr<File>> open(const fs::path& p, OpenMode m) override { return files_.open(p, m); }
  Status rename(const fs::path& from, const fs::path& to) override { return files_.rename(from, to); }
  Status remove(const fs::path& p) override { return files_.remove(p); }
  Status create_dirs(const fs::path& d) override { return files_.create_dirs(d); }
  Status create_dir(const fs::path& d) override { return files_.create_dir(d); }
  Status remove_dir(const fs::path& d) override { return files_.remove_dir(d); }
  Status sync_dir(const fs::path& d) override { return files_.sync_dir(d); }
  Result<std::vector<std::string>> list_dir(const fs::path& d) override { return files_.list_dir(d); }
  bool exists(const fs::path& p) override { return files_.exists(p); }
  Result<uint64_t> file_size(const fs::path& p) override { return files_.file_size(p); }
  Result<FileStat> file_stat(const fs::path& p) override { return files_.file_stat(p); }
  Result<std::unique_ptr<FileLock>> lock(const fs::path& p) override { return files_.lock(p); }

 private:
  Env& files_;
  std::mutex mu_;
  UtcInstant now_;
  uint64_t state_;
  uint64_t word_ = 0;
  int left_ = 0;
};

}  // namespace vesk::testing
