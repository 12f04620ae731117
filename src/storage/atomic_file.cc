#include "storage/atomic_file.h"

#include <cerrno>
#include <cstdint>

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
  if (published_) return;
  writer_.reset();  // closes the handle before the name goes
  (void)env_.remove(temp_);
}

Status StagedFile::append(std::string_view bytes) {
  if (!writer_) return os_error(EBADF);
  return writer_->write(bytes);
}

Status StagedFile::finish() {
  if (!writer_) return os_error(EBADF);
  Status st = writer_->flush_buffer();
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

Status write_file_atomic(const SecretKey* key, const fs::path& target, std::string_view bytes, Env& env) {
  auto sealed = seal_payload(key, bytes);
  if (!sealed.ok()) return sealed.status();
  Result<std::string> uuid = random_uuid_v4(env);
  if (!uuid.ok()) return uuid.status();
  return write_through_temp(atomic_temp_path(target, *uuid), target, *sealed, OpenMode::kWriteCreateNew, env);
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
