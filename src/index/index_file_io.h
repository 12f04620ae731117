// Byte streams for the index files.
//
// The index file codecs write to a ByteSink and read from a ByteSource, so
// they run the same against memory (tests) and files. The file versions go
// through the Env seam: a sink that stages a whole-file replacement
// (storage/atomic_file.h) and a buffered source over an open file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/status.h"
#include "storage/atomic_file.h"
#include "storage/buffered_reader.h"
#include "base/env.h"

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

// Appends to a staged replacement of a file; the owner finishes and
// publishes it.
class StagedFileSink final : public ByteSink {
 public:
  explicit StagedFileSink(StagedFile& file) : file_(file) {}
  Status append(std::string_view bytes) override { return file_.append(bytes); }

 private:
  StagedFile& file_;
};

// Reads a whole file from its start through an 8 KB buffer. remaining()
// counts against the size the file had when it was opened.
class FileSource final : public ByteSource {
 public:
  static Result<std::unique_ptr<FileSource>> open(const fs::path& path, Env& env);
  Result<size_t> read(char* dst, size_t n) override;
  uint64_t remaining() const override;

 private:
  FileSource(std::unique_ptr<File> file, uint64_t size);
  std::unique_ptr<File> file_;
  BufferedReader reader_;
  uint64_t size_;
};

}  // namespace vesk
