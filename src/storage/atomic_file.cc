#include "storage/atomic_file.h"

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/utf8.h"

namespace vesk {

fs::path atomic_temp_path(const fs::path& target, std::string_view uuid) {
  std::string name = target.filename().string();
  size_t dot = name.rfind('.');
  std::string stem = (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
  std::string temp = stem + "." + std::string(uuid) + ".tmp";
  return target.parent_path() / temp;
}

Result<std::string> random_uuid_v4(Env& env) {
  uint8_t b[16];
  VESK_RETURN_IF_ERROR(env.random_bytes(b, sizeof b));
  b[6] = static_cast<uint8_t>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3f) | 0x80);
  static const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(hex[b[i] >> 4]);
    out.push_back(hex[b[i] & 15]);
  }
  return out;
}

// The helper thread of force_along(): forces the file whenever the
// appending thread has asked for it since the last force. The thread starts
// with the first request, so a small file never has one.
class StagedFile::Forcer {
 public:
  Forcer(File& file, uint64_t every) : file_(file), every_(every) {}

  // Called by the appending thread with the bytes appended so far.
  void appended(uint64_t bytes) {
    if (bytes < asked_ + every_) return;
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    std::lock_guard lock(mu_);
    asked_ = bytes;
    wake_.notify_one();
  }
  Status stop() {
    if (!thread_.joinable()) return Status::Ok();
    {
      std::lock_guard lock(mu_);
      stopping_ = true;
      wake_.notify_one();
    }
    thread_.join();
    return status_;
  }

 private:
  void run() {
    std::unique_lock lock(mu_);
    uint64_t forced = 0;
    for (;;) {
      // A request made before the stop is still served.
      wake_.wait(lock, [&] { return stopping_ || asked_ > forced; });
      if (asked_ == forced) return;
      forced = asked_;
      lock.unlock();
      Status st = file_.sync();
      lock.lock();
      if (!st.ok() && status_.ok()) status_ = st;
    }
  }

  File& file_;
  const uint64_t every_;
  std::mutex mu_;
  std::condition_variable wake_;
  uint64_t asked_ = 0;
  bool stopping_ = false;
  Status status_;
  std::thread thread_;
};

StagedFile::StagedFile(Env& env, fs::path temp, fs::path target, std::unique_ptr<File> file)
    : env_(env), temp_(std::move(temp)), target_(std::move(target)) {
  writer_.emplace(std::move(file), 0, kStagedBufferBytes);
  writer_->set_write_behind(BufferedWriter::kWriteBehindBytes);
}

Result<std::unique_ptr<StagedFile>> StagedFile::open(const fs::path& temp, const fs::path& target, OpenMode mode,
                                                     Env& env) {
  auto file = env.open(temp, mode);
  if (!file.ok()) return file.status();
  return std::unique_ptr<StagedFile>(new StagedFile(env, temp, target, std::move(file).value()));
}

StagedFile::~StagedFile() {
  (void)stop_forcing();
  if (published_) return;
  writer_.reset();  // closes the handle before the name goes
  (void)env_.remove(temp_);
}

Status StagedFile::append(std::string_view bytes) {
  if (!writer_) return os_error(EBADF);
  Status st = writer_->write(bytes);
  if (st.ok() && forcer_) forcer_->appended(writer_->position());
  return st;
}

void StagedFile::force_along(uint64_t every) {
  if (writer_ && !forcer_) forcer_ = std::make_unique<Forcer>(writer_->file(), every);
}

Status StagedFile::stop_forcing() {
  if (!forcer_) return Status::Ok();
  Status st = forcer_->stop();
  forcer_.reset();
  return st;
}

Status StagedFile::finish() {
  if (!writer_) return os_error(EBADF);
  Status st = writer_->flush_buffer();
  Status forced = stop_forcing();
  if (st.ok()) st = forced;
  if (st.ok()) st = writer_->file().sync();
  Status closed = writer_->file().close();
  writer_.reset();
  if (st.ok()) st = closed;
  finished_ = st.ok();
  return st;
}

Status StagedFile::publish() {
  if (!finished_ || published_) return os_error(EBADF);
  VESK_RETURN_IF_ERROR(env_.rename(temp_, target_));
  published_ = true;
  // The rename is durable only once the directory entry is.
  return env_.sync_dir(target_.parent_path());
}

namespace {

Status write_through_temp(const fs::path& temp, const fs::path& target, std::string_view bytes, OpenMode mode,
                          Env& env) {
  auto staged = StagedFile::open(temp, target, mode, env);
  if (!staged.ok()) return staged.status();
  VESK_RETURN_IF_ERROR((*staged)->append(bytes));
  VESK_RETURN_IF_ERROR((*staged)->finish());
  return (*staged)->publish();
}

}  // namespace

Result<std::unique_ptr<StagedFile>> stage_file_atomic(const fs::path& target, Env& env) {
  Result<std::string> uuid = random_uuid_v4(env);
  if (!uuid.ok()) return uuid.status();
  return StagedFile::open(atomic_temp_path(target, *uuid), target, OpenMode::kWriteCreateNew, env);
}

Status write_file_atomic(const SecretKey* key, const fs::path& target, std::string_view bytes, Env& env) {
  auto sealed = seal_payload(key, bytes);
  if (!sealed.ok()) return sealed.status();
  auto staged = stage_file_atomic(target, env);
  if (!staged.ok()) return staged.status();
  VESK_RETURN_IF_ERROR((*staged)->append(*sealed));
  VESK_RETURN_IF_ERROR((*staged)->finish());
  return (*staged)->publish();
}

Status replace_file_via(const fs::path& temp, const fs::path& target, std::string_view bytes, Env& env) {
  return write_through_temp(temp, target, bytes, OpenMode::kWriteTruncate, env);
}

Result<std::string> read_sealed_text_file(const SecretKey* key, const fs::path& path, Env& env) {
  auto stored = env.read_file(path);
  if (!stored.ok()) return stored.status();
  auto text = unseal_payload(key, *stored);
  if (!text.ok()) return text.status();
  if (auto bad = utf8_error_offset(*text)) {
    return Status::Runtime("invalid UTF-8 at byte " + std::to_string(*bad) + " of " + path.string());
  }
  return text;
}

void fsync_path_full(const fs::path& path, Env& env) {
  fs::path parent = path.parent_path();
  if (parent.empty()) return;
  (void)env.sync_dir(parent);
}

}  // namespace vesk
