#include "index/index_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vesk {
namespace {

constexpr size_t kBufferSize = 8192;

Status os_error(const char* what, const std::string& path, int err) {
  return Status::OS(std::string(what) + " " + path + ": " + std::strerror(err));
}

}  // namespace

Result<size_t> MemorySource::read(char* dst, size_t n) {
  size_t k = std::min(n, data_.size() - pos_);
  std::memcpy(dst, data_.data() + pos_, k);
  pos_ += k;
  return k;
}

Result<std::unique_ptr<FileSink>> FileSink::create(const std::string& path) {
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return os_error("cannot create", path, errno);
  return std::unique_ptr<FileSink>(new FileSink(fd, path));
}

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
}

Status FileSink::flush_buffer() {
  size_t off = 0;
  while (off < buf_.size()) {
    ssize_t n = ::write(fd_, buf_.data() + off, buf_.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      return os_error("cannot write", path_, errno);
    }
    off += static_cast<size_t>(n);
  }
  buf_.clear();
  return Status::Ok();
}

Status FileSink::append(std::string_view bytes) {
  if (fd_ < 0) return Status::OS("cannot write " + path_ + ": file is closed");
  if (buf_.size() + bytes.size() > kBufferSize) VESK_RETURN_IF_ERROR(flush_buffer());
  if (bytes.size() >= kBufferSize) {
    buf_.assign(bytes);
    return flush_buffer();
  }
  buf_.append(bytes);
  return Status::Ok();
}

Status FileSink::finish() {
  if (fd_ < 0) return Status::OS("cannot write " + path_ + ": file is closed");
  Status st = flush_buffer();
  if (st.ok()) {
    int rc;
    do rc = ::fsync(fd_);
    while (rc < 0 && errno == EINTR);
    if (rc < 0) st = os_error("cannot sync", path_, errno);
  }
  int rc = ::close(fd_);
  fd_ = -1;
  if (st.ok() && rc < 0 && errno != EINTR) st = os_error("cannot close", path_, errno);
  return st;
}

Result<std::unique_ptr<FileSource>> FileSource::open(const std::string& path) {
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return os_error("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    return os_error("cannot stat", path, err);
  }
  return std::unique_ptr<FileSource>(new FileSource(fd, path, static_cast<uint64_t>(st.st_size)));
}

FileSource::~FileSource() { ::close(fd_); }

Result<size_t> FileSource::read(char* dst, size_t n) {
  size_t got = 0;
  while (got < n) {
    if (buf_pos_ == buf_.size()) {
      buf_.resize(kBufferSize);
      ssize_t r;
      do r = ::read(fd_, buf_.data(), kBufferSize);
      while (r < 0 && errno == EINTR);
      if (r < 0) return os_error("cannot read", path_, errno);
      buf_.resize(static_cast<size_t>(r));
      buf_pos_ = 0;
      if (r == 0) break;
    }
    size_t k = std::min(n - got, buf_.size() - buf_pos_);
    std::memcpy(dst + got, buf_.data() + buf_pos_, k);
    buf_pos_ += k;
    got += k;
  }
  consumed_ = std::min(size_, consumed_ + got);
  return got;
}

bool path_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

Status create_directories(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) return Status::OS("cannot create directory " + dir + ": " + ec.message());
  return Status::Ok();
}

Status rename_path(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return os_error("cannot rename", from + " to " + to, errno);
  return Status::Ok();
}

Result<std::string> read_file(const std::string& path) {
  auto src = FileSource::open(path);
  if (!src.ok()) return src.status();
  std::string out(static_cast<size_t>((*src)->remaining()), '\0');
  auto n = (*src)->read(out.data(), out.size());
  if (!n.ok()) return n.status();
  out.resize(*n);
  return out;
}

}  // namespace vesk
