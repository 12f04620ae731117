// Byte streams for the index files, and the file operations behind them.
//
// The index file codecs write to a ByteSink and read from a ByteSource, so
// they run the same against memory (tests) and files. The file versions here
// are this module's own stop-gap until the store's Env seam and shared atomic
// writer are in the tree: a buffered writer to a temporary file that is
// forced to stable storage before the caller renames it over the target, and
// a buffered reader. Swap them for the Env seam when it lands.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/status.h"

namespace vesk {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual Status append(std::string_view bytes) = 0;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes into dst; fewer only at the end of the data.
  virtual Result<size_t> read(char* dst, size_t n) = 0;
  // The number of bytes left to read.
  virtual uint64_t remaining() const = 0;
};

class StringSink final : public ByteSink {
 public:
  explicit StringSink(std::string* out) : out_(out) {}
  Status append(std::string_view bytes) override {
    out_->append(bytes);
    return Status::Ok();
  }

 private:
  std::string* out_;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view data) : data_(data) {}
  Result<size_t> read(char* dst, size_t n) override;
  uint64_t remaining() const override { return data_.size() - pos_; }

 private:
  std::string_view data_;
  size_t pos_ = 0;
};

// Writes a new file (created or truncated, mode 0666 before the umask)
// through an 8 KB buffer. finish() flushes, forces the file to stable
// storage and closes it; a sink dropped without finish() is closed unsynced.
class FileSink final : public ByteSink {
 public:
  static Result<std::unique_ptr<FileSink>> create(const std::string& path);
  ~FileSink() override;
  Status append(std::string_view bytes) override;
  Status finish();

 private:
  FileSink(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  Status flush_buffer();
  int fd_;
  std::string path_;
  std::string buf_;
};

class FileSource final : public ByteSource {
 public:
  static Result<std::unique_ptr<FileSource>> open(const std::string& path);
  ~FileSource() override;
  Result<size_t> read(char* dst, size_t n) override;
  uint64_t remaining() const override { return size_ - consumed_; }

 private:
  FileSource(int fd, std::string path, uint64_t size) : fd_(fd), path_(std::move(path)), size_(size) {}
  int fd_;
  std::string path_;
  uint64_t size_;
  uint64_t consumed_ = 0;
  std::string buf_;
  size_t buf_pos_ = 0;
};

bool path_exists(const std::string& path);
Status create_directories(const std::string& dir);
Status rename_path(const std::string& from, const std::string& to);
Result<std::string> read_file(const std::string& path);

}  // namespace vesk
