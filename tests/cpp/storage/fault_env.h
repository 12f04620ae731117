// FaultEnv: an Env that breaks on command, for durability tests.
//
// It forwards to a base Env and injects, for files whose path contains a given
// text: a torn write (the write that crosses a chosen byte count lands only up
// to that byte, then fails, and so does every later write to a matching
// file), a refused open for writing (as a write-protected file would be, which
// chmod cannot arrange for a root test run), a failed read (anywhere, or from
// a chosen byte on), a failed sync (or one failed sync, the disk then working
// again), a failed rename (matched on the target, or on the source) or a
// failed truncate. clear() heals the machine.
#pragma once

#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "base/env.h"

namespace vesk::testing {

class FaultEnv : public Env {
 public:
  explicit FaultEnv(Env& base = Env::Default()) : base_(base) {}

  // Writes to matching files land up to `bytes` more bytes from now, then fail.
  // 0 makes the next write fail with nothing written.
  void tear_writes_after(std::string match, uint64_t bytes) {
    std::lock_guard<std::mutex> g(mu_);
    write_match_ = std::move(match);
    write_budget_ = bytes;
  }
  // Opens of matching files in any mode but kRead fail with EACCES.
  void fail_open_for_write(std::string match) { set(open_write_match_, std::move(match)); }
  // Reads of matching files fail: all of them, or with `from` those that
  // reach byte `from` or beyond.
  void fail_reads(std::string match, uint64_t from = 0) {
    std::lock_guard<std::mutex> g(mu_);
    read_match_ = std::move(match);
    read_from_ = from;
  }
  void fail_sync(std::string match) { set(sync_match_, std::move(match)); }
  // Only the next sync of a matching file fails.
  void fail_sync_once(std::string match) { set(sync_once_match_, std::move(match)); }
  void fail_rename(std::string match) { set(rename_match_, std::move(match)); }
  void fail_rename_from(std::string match) { set(rename_from_match_, std::move(match)); }
  void fail_truncate(std::string match) { set(truncate_match_, std::move(match)); }
  void clear() {
    std::lock_guard<std::mutex> g(mu_);
    write_match_.reset();
    open_write_match_.reset();
    read_match_.reset();
    sync_match_.reset();
    sync_once_match_.reset();
    rename_match_.reset();
    rename_from_match_.reset();
    truncate_match_.reset();
  }

  Result<std::unique_ptr<File>> open(const fs::path& path, OpenMode mode) override {
    if (mode != OpenMode::kRead && hits(open_write_match_, path.string())) return os_error(EACCES);
    auto f = base_.open(path, mode);
    if (!f.ok()) return f.status();
    return std::unique_ptr<File>(new FaultFile(this, path.string(), std::move(f).value()));
  }
  Status rename(const fs::path& from, const fs::path& to) override {
    if (hits(rename_match_, to.string()) || hits(rename_from_match_, from.string()))
      return Status::OS("injected rename failure");
    return base_.rename(from, to);
  }
  Status remove(const fs::path& p) override { return base_.remove(p); }
  Status create_dirs(const fs::path& d) override { return base_.create_dirs(d); }
  Status create_dir(const fs::path& d) override { return base_.create_dir(d); }
  Status remove_dir(const fs::path& d) override { return base_.remove_dir(d); }
  Status sync_dir(const fs::path& d) override { return base_.sync_dir(d); }
  Result<std::vector<std::string>> list_dir(const fs::path& d) override { return base_.list_dir(d); }
  bool exists(const fs::path& p) override { return base_.exists(p); }
  Result<uint64_t> file_size(const fs::path& p) override { return base_.file_size(p); }
  Result<FileStat> file_stat(const fs::path& p) override { return base_.file_stat(p); }
  // A lock file is opened for writing: a refused open refuses the lock.
  Result<std::unique_ptr<FileLock>> lock(const fs::path& p) override {
    if (hits(open_write_match_, p.string())) return os_error(EACCES);
    return base_.lock(p);
  }
  UtcInstant now() override { return base_.now(); }
  Status random_bytes(void* dst, size_t n) override { return base_.random_bytes(dst, n); }

 private:
  class FaultFile : public File {
   public:
    FaultFile(FaultEnv* env, std::string path, std::unique_ptr<File> base)
        : env_(env), path_(std::move(path)), base_(std::move(base)) {}
    Result<size_t> read_at(uint64_t o, char* d, size_t n) override {
      if (env_->read_fails(path_, o + n)) return Status::OS("injected read failure");
      return base_->read_at(o, d, n);
    }
    Status write_at(uint64_t offset, std::string_view data) override {
      size_t allowed = env_->write_allowance(path_, data.size());
      if (allowed == data.size()) return base_->write_at(offset, data);
      if (allowed) (void)base_->write_at(offset, data.substr(0, allowed));
      return Status::OS("injected write failure");
    }
    // Two writes, so that an injected failure can cut between or inside them.
    Status write_at(uint64_t offset, std::string_view first, std::string_view second) override {
      return File::write_at(offset, first, second);
    }
    Status sync() override {
      if (env_->hits(env_->sync_match_, path_) || env_->hits_once(env_->sync_once_match_, path_)) {
        return Status::OS("injected sync failure");
      }
      return base_->sync();
    }
    Status truncate(uint64_t size) override {
      if (env_->hits(env_->truncate_match_, path_)) return Status::OS("injected truncate failure");
      return base_->truncate(size);
    }
    void start_writeback(uint64_t offset, uint64_t length) override { base_->start_writeback(offset, length); }
    Result<uint64_t> size() override { return base_->size(); }
    Result<FileStat> stat() override { return base_->stat(); }
    Status close() override { return base_->close(); }

   private:
    FaultEnv* env_;
    std::string path_;
    std::unique_ptr<File> base_;
  };

  void set(std::optional<std::string>& slot, std::string match) {
    std::lock_guard<std::mutex> g(mu_);
    slot = std::move(match);
  }
  bool hits(const std::optional<std::string>& slot, const std::string& path) {
    std::lock_guard<std::mutex> g(mu_);
    return slot && path.find(*slot) != std::string::npos;
  }
  bool read_fails(const std::string& path, uint64_t end) {
    std::lock_guard<std::mutex> g(mu_);
    return read_match_ && path.find(*read_match_) != std::string::npos && (read_from_ == 0 || end > read_from_);
  }
  // hits(), and a hit clears the slot.
  bool hits_once(std::optional<std::string>& slot, const std::string& path) {
    std::lock_guard<std::mutex> g(mu_);
    if (!slot || path.find(*slot) == std::string::npos) return false;
    slot.reset();
    return true;
  }
  // How many of `n` bytes a write to `path` may put down.
  size_t write_allowance(const std::string& path, size_t n) {
    std::lock_guard<std::mutex> g(mu_);
    if (!write_match_ || path.find(*write_match_) == std::string::npos) return n;
    size_t allowed = n <= write_budget_ ? n : static_cast<size_t>(write_budget_);
    write_budget_ -= allowed;
    return allowed;
  }

  Env& base_;
  std::mutex mu_;
  std::optional<std::string> write_match_, open_write_match_, read_match_, sync_match_, sync_once_match_,
      rename_match_, rename_from_match_, truncate_match_;
  uint64_t write_budget_ = 0;
  uint64_t read_from_ = 0;
};

}  // namespace vesk::testing
