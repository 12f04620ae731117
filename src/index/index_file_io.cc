#include "index/index_file_io.h"

#include <algorithm>
#include <cstring>

namespace vesk {

Result<size_t> MemorySource::read(char* dst, size_t n) {
  size_t k = std::min(n, data_.size() - pos_);
  std::memcpy(dst, data_.data() + pos_, k);
  pos_ += k;
  return k;
}

FileSource::FileSource(std::unique_ptr<File> file, uint64_t size)
    : file_(std::move(file)), reader_(*file_, 0, 8192), size_(size) {}

Result<std::unique_ptr<FileSource>> FileSource::open(const fs::path& path, Env& env) {
  auto file = env.open(path, OpenMode::kRead);
  if (!file.ok()) return file.status();
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  return std::unique_ptr<FileSource>(new FileSource(std::move(file).value(), *size));
}

Result<size_t> FileSource::read(char* dst, size_t n) { return reader_.read(dst, n); }

uint64_t FileSource::remaining() const { return size_ - std::min(size_, reader_.position()); }

}  // namespace vesk
