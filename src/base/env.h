// Env: the one door through which the store touches the file system, the
// clock and the random source.
//
// Every file operation of the storage layer (opening, positional reads and
// writes, forcing to stable storage, truncation, rename, removal, directory
// creation, listing and forcing, the advisory directory lock) goes through an
// Env. Production code uses Env::Default(), a thin POSIX layer; tests wrap it to
// inject failed writes, failed syncs, failed renames and torn writes, so every
// durability promise can be checked by breaking the machine on purpose.
//
// The store reads the time only through now() and draws record ids and
// temporary names only through random_bytes(), so a test Env with a fixed
// clock and a fixed random stream makes a store's files repeatable, and
// validity windows, decay and ages testable without sleeping.
//
// I/O failures come back as Status of kind OS carrying the operating system's
// own error text (strerror), nothing added.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "base/utc_instant.h"

namespace vesk {

namespace fs = std::filesystem;

// How a file is opened. Files are created with permission bits 0666 before the
// process umask and are never inherited by child processes.
enum class OpenMode {
  kRead,             // read-only; the file must exist
  kReadWrite,        // read-write; the file must exist
  kReadWriteCreate,  // read-write; created when missing, never truncated
  kWriteTruncate,    // write-only; created when missing, emptied when present
  kWriteCreateNew,   // write-only; fails when the name exists
};

// What a file's metadata tells: its length and the time of its last
// modification, in nanoseconds since the Unix epoch (as
// precise as the file system keeps it).
struct FileStat {
  uint64_t size = 0;
  int64_t modified_ns = 0;

  bool operator==(const FileStat&) const = default;
};

// An open file. Reads and writes are positional, so one handle can be shared by
// a writer that tracks its own end offset and readers that look anywhere; an
// append is a write at the end offset the writer keeps (BufferedWriter).
// Destroying the handle closes it.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `n` bytes at `offset` into `dst`; fewer only at the end of the
  // file. Interrupted reads are retried.
  virtual Result<size_t> read_at(uint64_t offset, char* dst, size_t n) = 0;
  // Writes all of `data` at `offset`, retrying short and interrupted writes;
  // a write that makes no progress fails. On failure a prefix of `data` may
  // have reached the file.
  virtual Status write_at(uint64_t offset, std::string_view data) = 0;
  // Writes `first`, then `second` right behind it, at `offset`: one write
  // where the system takes a list of buffers (the default makes two). On
  // failure a prefix of the two may have reached the file.
  virtual Status write_at(uint64_t offset, std::string_view first, std::string_view second);
  // Forces the file's data and metadata to stable storage (fsync, retried
  // while interrupted).
  virtual Status sync() = 0;
  // Asks the system to start writing [offset, offset + length) to the device
  // now, without waiting for it, so that a later sync() has less left to
  // wait for. Only a hint: durability still needs sync(), failures are the
  // later sync()'s to report, and the default does nothing.
  virtual void start_writeback(uint64_t offset, uint64_t length) {}
  virtual Status truncate(uint64_t size) = 0;
  virtual Result<uint64_t> size() = 0;
  // The length and modification time of the open file. The default fails:
  // a file that cannot tell them leaves its callers to ask by path.
  virtual Result<FileStat> stat();
  // Closes the handle and reports the close error; later calls do nothing.
  virtual Status close() = 0;

  // Reads exactly `n` bytes at `offset`; a short file is an error.
  Status read_exact_at(uint64_t offset, char* dst, size_t n);
};

// A held advisory lock; destroying it releases the lock.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class Env {
 public:
  virtual ~Env() = default;

  // The POSIX environment, shared by the whole process.
  static Env& Default();

  virtual Result<std::unique_ptr<File>> open(const fs::path& path, OpenMode mode) = 0;
  // Moves `from` onto `to`, replacing `to` when it exists.
  virtual Status rename(const fs::path& from, const fs::path& to) = 0;
  virtual Status remove(const fs::path& path) = 0;
  // Creates the directory and every missing parent (0777 before the umask).
  virtual Status create_dirs(const fs::path& dir) = 0;
  // Creates one directory (0777 before the umask); fails when the name exists
  // or its parent is missing. The default is the POSIX call.
  virtual Status create_dir(const fs::path& dir);
  // Removes an empty directory. The default is the POSIX call.
  virtual Status remove_dir(const fs::path& dir);
  // Gives the file `from` the second name `to` (which must not exist). The
  // default is the POSIX call.
  virtual Status hard_link(const fs::path& from, const fs::path& to);
  // Forces a directory's entries (creations, renames) to stable storage.
  virtual Status sync_dir(const fs::path& dir) = 0;
  // Names of the entries of a directory, without "." and "..", in no order.
  virtual Result<std::vector<std::string>> list_dir(const fs::path& dir) = 0;
  // True when the path's metadata can be read.
  virtual bool exists(const fs::path& path) = 0;
  // The length in bytes the path's metadata reports (no need to open it).
  virtual Result<uint64_t> file_size(const fs::path& path) = 0;
  // The length and modification time the path's metadata reports.
  virtual Result<FileStat> file_stat(const fs::path& path) = 0;
  // Opens or creates `path` (read-write, 0666) and takes an exclusive,
  // non-blocking advisory lock on the whole file. The lock is exclusive per
  // holder: a second lock of the same file fails whether it comes from another
  // process or from this one. A lock taken on a file that the path no longer
  // names by then (renamed away or removed) is given up and fails the same
  // way, so a held lock always guards the file the path leads to.
  virtual Result<std::unique_ptr<FileLock>> lock(const fs::path& path) = 0;

  // The wall clock (UTC). The default reads the operating system's clock.
  virtual UtcInstant now();
  // Fills `dst` with `n` bytes from the operating system's random source
  // (getrandom). Record ids and temporary file names come from here; the
  // nonces and salts of encryption do not: the cipher library draws them
  // itself, so no test Env can make them predictable.
  virtual Status random_bytes(void* dst, size_t n);

  // Whole-file read, built on open and read_at.
  Result<std::string> read_file(const fs::path& path);
  // now() as Unix seconds with the fraction; 0 before the epoch.
  double now_seconds() { return unix_seconds(now()); }
  // now() as whole Unix milliseconds; 0 before the epoch.
  uint64_t now_millis() { return unix_millis(now()); }
};

// The OS status for an errno value: the operating system's error text.
Status os_error(int err);
// The OS status for reading past the end of a file.
Status eof_error();

}  // namespace vesk
