// BufferedReader: sequential reads through a buffer over a positional File.
#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"
#include "base/env.h"

namespace vesk {

class BufferedReader {
 public:
  static constexpr size_t kDefaultCapacity = 64 * 1024;

  // Reads from `position` on; the file must outlive the reader.
  BufferedReader(File& file, uint64_t position, size_t capacity = kDefaultCapacity);

  // File offset of the next byte read.
  uint64_t position() const { return pos_; }
  // Reads up to `n` bytes; fewer only at the end of the file.
  Result<size_t> read(char* dst, size_t n);

 private:
  File& file_;
  uint64_t pos_;                 // next byte handed out
  uint64_t buf_start_ = 0;       // file offset of buf_[0]
  std::string buf_;
  size_t capacity_;
};

}  // namespace vesk
