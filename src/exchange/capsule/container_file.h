// ContainerFile: a container opened for reading, and the error form of the
// container operations.
//
// Every failure of a container operation is an OS error carrying one text.
// A failure of the operating system reads "{its text} (os error {number})",
// e.g. "No such file or directory (os error 2)"; container_io_error() gives
// that form to a failed file call. A read that the file cannot fill fails
// with "failed to fill whole buffer".
//
// Lengths and offsets read from a container are untrusted: read() checks a
// range against the file's size before it allocates anything, so no number
// in a damaged or hostile file can make it reserve more than the file holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

// A failure of a file call as the container operations report it: the OS
// text with its number when the failure came from a system call, and of the
// OS family in any case.
Status container_io_error(const Status& failure);

// The failure of a read that runs past the end of the file.
Status short_read_error();

// Fails when a path argument holds a NUL byte: a file call would stop at it
// and act on another path. Checked before any file call sees the path.
Status check_path_argument(const fs::path& path);

// The file that replacing `path` by a rename must replace: the path itself,
// or, when it is a symbolic link, the canonical path of its target, so that
// the rename replaces the target and leaves the link in place. A temporary
// file is built beside the result.
fs::path file_behind_link(const fs::path& path);

class ContainerFile {
 public:
  // Opens read-only (the path checked first) and reads the size once.
  static Result<ContainerFile> open(const fs::path& path, Env& env);

  ContainerFile(ContainerFile&&) = default;
  ContainerFile& operator=(ContainerFile&&) = default;

  // The size when the file was opened.
  uint64_t size() const { return size_; }
  // Exactly `n` bytes at `offset`; a range past the size read at open, or a
  // file that ends early, fails with "failed to fill whole buffer".
  Result<std::string> read(uint64_t offset, uint64_t n);

 private:
  ContainerFile(std::unique_ptr<File> file, uint64_t size) : file_(std::move(file)), size_(size) {}

  std::unique_ptr<File> file_;
  uint64_t size_ = 0;
};

}  // namespace vesk
