#include "storage/buffered_reader.h"

#include <algorithm>
#include <cstring>

namespace vesk {

BufferedReader::BufferedReader(File& file, uint64_t position, size_t capacity)
    : file_(file), pos_(position), capacity_(capacity) {}

Result<size_t> BufferedReader::read(char* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    if (pos_ >= buf_start_ && pos_ < buf_start_ + buf_.size()) {
      size_t at = static_cast<size_t>(pos_ - buf_start_);
      size_t k = std::min(n - done, buf_.size() - at);
      std::memcpy(dst + done, buf_.data() + at, k);
      done += k;
      pos_ += k;
      continue;
    }
    // Large reads skip the buffer.
    if (n - done >= capacity_) {
      auto got = file_.read_at(pos_, dst + done, n - done);
      if (!got.ok()) return got.status();
      done += *got;
      pos_ += *got;
      break;
    }
    buf_.resize(capacity_);
    auto got = file_.read_at(pos_, buf_.data(), capacity_);
    if (!got.ok()) {
      buf_.clear();
      return got.status();
    }
    buf_.resize(*got);
    buf_start_ = pos_;
    if (*got == 0) break;
  }
  return done;
}

}  // namespace vesk
