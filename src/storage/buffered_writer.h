// BufferedWriter: a write buffer in front of a positional File.
//
// The writer owns the file and tracks its own position: everything before
// base() is in the file, the buffer holds the bytes from base() on. A failed
// write-out keeps the buffer, so a retry rewrites the same range; rollback()
// takes back everything from a mark, in the buffer and in the file, so a failed
// record never stays behind the last good one.
//
// Write-behind: an owner whose file grows by many megabytes between its
// forces (the record log, the journal, a large staged file) asks the writer
// to start the device writes of every further `bytes` written out
// (File::start_writeback), so the disk works while the owner goes on and its
// next sync() has little left to wait for. The bytes in the file are the
// same either way.
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
  // The write-behind step of the store's large files.
  static constexpr uint64_t kWriteBehindBytes = uint64_t{1} << 20;

  // Writes will land at `position` onwards.
  BufferedWriter(std::unique_ptr<File> file, uint64_t position, size_t capacity = kDefaultCapacity);

  // File offset of the next byte written.
  uint64_t position() const { return base_ + buf_.size(); }
  bool has_buffered() const { return !buf_.empty(); }
  File& file() { return *file_; }

  // Buffers `data`; writes the buffer out first when `data` does not fit, and
  // writes data at least as large as the buffer directly, in one write
  // together with the buffered bytes before it. On failure the buffered
  // bytes stay buffered (part of them may have reached the file).
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
  // Starts the device writes of each further `bytes` written out (0: never,
  // the default). Bytes already in the file when it is set are left to the
  // system.
  void set_write_behind(uint64_t bytes);

 private:
  // Called whenever base_ moved forward.
  void wrote_out();

  std::unique_ptr<File> file_;
  uint64_t base_;
  std::string buf_;
  size_t capacity_;
  uint64_t write_behind_ = 0;  // 0: off
  uint64_t written_back_ = 0;  // where the next write-behind request starts
};

}  // namespace vesk
