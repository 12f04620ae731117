#include "storage/buffered_writer.h"

#include <algorithm>

namespace vesk {

BufferedWriter::BufferedWriter(std::unique_ptr<File> file, uint64_t position, size_t capacity)
    : file_(std::move(file)), base_(position), capacity_(capacity) {
  buf_.reserve(capacity_);
}

Status BufferedWriter::write(std::string_view data) {
  if (buf_.size() + data.size() > capacity_) {
    if (data.size() >= capacity_) {
      // The buffered bytes and the data go out together, in one write; on
      // failure the buffer stays as it was.
      VESK_RETURN_IF_ERROR(buf_.empty() ? file_->write_at(base_, data) : file_->write_at(base_, buf_, data));
      base_ += buf_.size() + data.size();
      buf_.clear();
      wrote_out();
      return Status::Ok();
    }
    VESK_RETURN_IF_ERROR(flush_buffer());
  }
  buf_.append(data);
  return Status::Ok();
}

Status BufferedWriter::flush_buffer() {
  if (buf_.empty()) return Status::Ok();
  VESK_RETURN_IF_ERROR(file_->write_at(base_, buf_));
  base_ += buf_.size();
  buf_.clear();
  wrote_out();
  return Status::Ok();
}

Status BufferedWriter::rollback(uint64_t mark) {
  if (mark >= base_) {
    // The bytes before `mark` are still owed to the file; keep them buffered.
    buf_.resize(static_cast<size_t>(mark - base_));
  } else {
    buf_.clear();
    base_ = mark;
    written_back_ = std::min(written_back_, base_);
  }
  // Anything at or past base_ on disk is left over from a failed write-out.
  return file_->truncate(base_);
}

void BufferedWriter::reposition(uint64_t position) {
  buf_.clear();
  base_ = position;
  written_back_ = position;
}

void BufferedWriter::set_write_behind(uint64_t bytes) {
  write_behind_ = bytes;
  written_back_ = base_;
}

void BufferedWriter::wrote_out() {
  if (write_behind_ == 0 || base_ - written_back_ < write_behind_) return;
  // Whole pages only: the page the next write goes on to fill is left
  // alone.
  const uint64_t end = base_ & ~uint64_t{4095};
  if (end <= written_back_) return;
  file_->start_writeback(written_back_, end - written_back_);
  written_back_ = end;
}

}  // namespace vesk
