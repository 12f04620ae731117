// BufferedWriter: a write buffer in front of a positional File.
//
// The writer owns the file and tracks its own position: everything before
// base() is in the file, the buffer holds the bytes from base() on. A failed
// write-out keeps the buffer, so a retry rewrites the same range; rollback()
// takes back everything from a mark, in the buffer and in the file, so a failed
// record never stays behind the last good one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/status.h"
#include "base/env.h"

namespace vesk {

class BufferedWriter {
 public:
  static constexpr size_t kDefaultCapacity = 8192;

  // Writes will land at `position` onwards.
  BufferedWriter(std::unique_ptr<File> file, uint64_t position, size_t capacity = kDefaultCapacity);

  // File offset of the next byte written.
  uint64_t position() const { return base_ + buf_.size(); }
  bool has_buffered() const { return !buf_.empty(); }
  File& file() { return *file_; }

  // Buffers `data`; writes the buffer out first when `data` does not fit, and
  // writes data at least as large as the buffer directly.
  Status write(std::string_view data);
  // Writes the buffered bytes out. On failure they stay buffered (part of them
  // may have reached the file and is overwritten by the retry).
  Status flush_buffer();
  // Forgets every byte from `mark` (<= position()) on: drops them from the
  // buffer and cuts the file back, so the file holds nothing beyond what was
  // written out successfully before `mark`.
  Status rollback(uint64_t mark);
  // Moves the write position to `position`; the buffer must be empty.
  void reposition(uint64_t position);

 private:
  std::unique_ptr<File> file_;
  uint64_t base_;
  std::string buf_;
  size_t capacity_;
};

}  // namespace vesk
