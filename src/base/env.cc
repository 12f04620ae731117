#include "base/env.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

namespace vesk {

Status os_error(int err) { return Status::System(err, std::strerror(err)); }

Status eof_error() { return Status::OS("unexpected end of file"); }

Result<FileStat> File::stat() { return Status::OS("file metadata unavailable"); }

Status File::read_exact_at(uint64_t offset, char* dst, size_t n) {
  auto got = read_at(offset, dst, n);
  if (!got.ok()) return got.status();
  if (*got < n) return eof_error();
  return Status::Ok();
}

Result<std::string> Env::read_file(const fs::path& path) {
  auto file = open(path, OpenMode::kRead);
  if (!file.ok()) return file.status();
  std::string out;
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  // The size is a hint only: read until the file really ends.
  out.resize(static_cast<size_t>(*size) + 1);
  size_t have = 0;
  for (;;) {
    if (have == out.size()) out.resize(out.size() * 2);
    auto got = (*file)->read_at(have, out.data() + have, out.size() - have);
    if (!got.ok()) return got.status();
    if (*got == 0) break;
    have += *got;
  }
  out.resize(have);
  return out;
}

Status Env::create_dir(const fs::path& dir) {
  if (::mkdir(dir.c_str(), 0777) != 0) return os_error(errno);
  return Status::Ok();
}

Status Env::remove_dir(const fs::path& dir) {
  if (::rmdir(dir.c_str()) != 0) return os_error(errno);
  return Status::Ok();
}

Status Env::hard_link(const fs::path& from, const fs::path& to) {
  if (::link(from.c_str(), to.c_str()) != 0) return os_error(errno);
  return Status::Ok();
}

UtcInstant Env::now() { return system_utc_now(); }

Status Env::random_bytes(void* dst, size_t n) {
  auto* out = static_cast<unsigned char*>(dst);
  size_t got = 0;
  while (got < n) {
    ssize_t r = getrandom(out + got, n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      return os_error(errno);
    }
    got += static_cast<size_t>(r);
  }
  return Status::Ok();
}

Status File::write_at(uint64_t offset, std::string_view first, std::string_view second) {
  VESK_RETURN_IF_ERROR(write_at(offset, first));
  return write_at(offset + first.size(), second);
}

namespace {

FileStat file_stat_of(const struct stat& st) {
  return FileStat{static_cast<uint64_t>(st.st_size),
                  static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  Result<size_t> read_at(uint64_t offset, char* dst, size_t n) override {
    if (fd_ < 0) return os_error(EBADF);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, dst + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return os_error(errno);
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return done;
  }

  Status write_at(uint64_t offset, std::string_view data) override {
    if (fd_ < 0) return os_error(EBADF);
    size_t done = 0;
    while (done < data.size()) {
      ssize_t w = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return os_error(errno);
      }
      if (w == 0) return Status::OS("failed to write whole buffer");
      done += static_cast<size_t>(w);
    }
    return Status::Ok();
  }

  Status write_at(uint64_t offset, std::string_view first, std::string_view second) override {
    if (fd_ < 0) return os_error(EBADF);
    iovec parts[2] = {{const_cast<char*>(first.data()), first.size()}, {const_cast<char*>(second.data()), second.size()}};
    iovec* part = parts;
    int left = 2;
    while (left > 0) {
      if (part->iov_len == 0) {
        ++part;
        --left;
        continue;
      }
      ssize_t w = ::pwritev(fd_, part, left, static_cast<off_t>(offset));
      if (w < 0) {
        if (errno == EINTR) continue;
        return os_error(errno);
      }
      if (w == 0) return Status::OS("failed to write whole buffer");
      offset += static_cast<uint64_t>(w);
      // Step over what was written: whole parts, then into the next.
      size_t done = static_cast<size_t>(w);
      while (left > 0 && done >= part->iov_len) {
        done -= part->iov_len;
        ++part;
        --left;
      }
      if (left > 0) {
        part->iov_base = static_cast<char*>(part->iov_base) + done;
        part->iov_len -= done;
      }
    }
    return Status::Ok();
  }

  Status sync() override {
    if (fd_ < 0) return os_error(EBADF);
    while (::fsync(fd_) != 0) {
      if (errno != EINTR) return os_error(errno);
    }
    return Status::Ok();
  }

  void start_writeback(uint64_t offset, uint64_t length) override {
#ifdef __linux__
    if (fd_ >= 0 && length > 0) {
      (void)::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
    }
#endif
  }

  Status truncate(uint64_t size) override {
    if (fd_ < 0) return os_error(EBADF);
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return os_error(errno);
    }
    return Status::Ok();
  }

  Result<uint64_t> size() override {
    if (fd_ < 0) return os_error(EBADF);
    struct stat st;
    if (::fstat(fd_, &st) != 0) return os_error(errno);
    return static_cast<uint64_t>(st.st_size);
  }

  Result<FileStat> stat() override {
    if (fd_ < 0) return os_error(EBADF);
    struct stat st;
    if (::fstat(fd_, &st) != 0) return os_error(errno);
    return file_stat_of(st);
  }

  Status close() override {
    if (fd_ < 0) return Status::Ok();
    int fd = std::exchange(fd_, -1);
    // The descriptor is gone after close() even when it reports EINTR, so a
    // retry could close someone else's descriptor.
    if (::close(fd) != 0 && errno != EINTR) return os_error(errno);
    return Status::Ok();
  }

 private:
  int fd_;
};

// flock() conflicts between two descriptions of one file even inside one
// process, but fcntl() locks do not, and a file system may emulate one by the
// other. The registry makes "one holder per file" hold in this process
// whatever the platform does; flock() covers other processes. Files are known
// by device and inode, so two spellings of one path are one file.
std::mutex g_lock_mu;
std::set<std::pair<dev_t, ino_t>> g_locked_files;

class PosixFileLock final : public FileLock {
 public:
  PosixFileLock(int fd, std::pair<dev_t, ino_t> id) : fd_(fd), id_(id) {}
  ~PosixFileLock() override {
    std::lock_guard<std::mutex> g(g_lock_mu);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    g_locked_files.erase(id_);
  }

 private:
  int fd_;
  std::pair<dev_t, ino_t> id_;
};

class PosixEnv final : public Env {
 public:
  Result<std::unique_ptr<File>> open(const fs::path& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kReadWriteCreate: flags |= O_RDWR | O_CREAT; break;
      case OpenMode::kWriteTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
      case OpenMode::kWriteCreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return os_error(errno);
    return std::unique_ptr<File>(new PosixFile(fd));
  }

  Status rename(const fs::path& from, const fs::path& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return os_error(errno);
    return Status::Ok();
  }

  Status remove(const fs::path& path) override {
    if (::unlink(path.c_str()) != 0) return os_error(errno);
    return Status::Ok();
  }

  Status create_dirs(const fs::path& dir) override {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return Status::System(ec.value(), ec.message());
    return Status::Ok();
  }

  Status sync_dir(const fs::path& dir) override {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return os_error(errno);
    int rc;
    while ((rc = ::fsync(fd)) != 0 && errno == EINTR) {
    }
    // Some file systems cannot force a directory; there is nothing more to do.
    int err = (rc != 0 && errno != EINVAL && errno != ENOTSUP) ? errno : 0;
    ::close(fd);
    return err ? os_error(err) : Status::Ok();
  }

  Result<std::vector<std::string>> list_dir(const fs::path& dir) override {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return os_error(errno);
    std::vector<std::string> names;
    for (;;) {
      errno = 0;
      struct dirent* e = ::readdir(d);
      if (!e) {
        int err = errno;
        ::closedir(d);
        if (err) return os_error(err);
        return names;
      }
      std::string_view name(e->d_name);
      if (name != "." && name != "..") names.emplace_back(name);
    }
  }

  bool exists(const fs::path& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  Result<uint64_t> file_size(const fs::path& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return os_error(errno);
    return static_cast<uint64_t>(st.st_size);
  }

  Result<FileStat> file_stat(const fs::path& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return os_error(errno);
    return file_stat_of(st);
  }

  Result<std::unique_ptr<FileLock>> lock(const fs::path& path) override {
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return os_error(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      int err = errno;
      ::close(fd);
      return os_error(err);
    }
    std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
    std::lock_guard<std::mutex> g(g_lock_mu);
    if (g_locked_files.count(id)) {
      ::close(fd);
      return os_error(EWOULDBLOCK);
    }
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      int err = errno;
      ::close(fd);
      return os_error(err);
    }
    // The lock is on the file the path named when it was opened. When the
    // path names another file by now (the locked one was renamed away or
    // removed by the holder before this one got it), the lock guards
    // nothing that the path leads to: it counts as held by another.
    struct stat now;
    if (::stat(path.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
      ::flock(fd, LOCK_UN);
      ::close(fd);
      return os_error(EWOULDBLOCK);
    }
    g_locked_files.insert(id);
    return std::unique_ptr<FileLock>(new PosixFileLock(fd, id));
  }
};

}  // namespace

Env& Env::Default() {
  static PosixEnv* env = new PosixEnv();  // never destroyed: used until exit
  return *env;
}

}  // namespace vesk
