#include "storage/audit_journal.h"

#include <algorithm>

#include "audit/audit_entry.h"
#include "base/utc_time.h"
#include "base/hex.h"

namespace vesk {

namespace {

// The length of the file up to and including its last line feed: what is
// left when a torn last line is cut away.
Result<uint64_t> whole_lines_end(File& file, uint64_t size) {
  constexpr size_t kChunk = 64 * 1024;
  std::string chunk;
  uint64_t end = size;
  while (end > 0) {
    const uint64_t start = end > kChunk ? end - kChunk : 0;
    chunk.resize(static_cast<size_t>(end - start));
    VESK_RETURN_IF_ERROR(file.read_exact_at(start, chunk.data(), chunk.size()));
    const size_t lf = chunk.rfind('\n');
    if (lf != std::string::npos) return start + lf + 1;
    end = start;
  }
  return uint64_t{0};
}

}  // namespace

AuditJournal::AuditJournal(const fs::path& dir, StoreKey key, Env& env, AuditJournalOptions options)
    : dir_(dir), path_(dir / kAuditFileName), env_(env), options_(std::move(options)) {
  if (key) key_.emplace(*key);
  session_id_ = "session_" + std::to_string(now_ms());
}

AuditJournal::~AuditJournal() { (void)close(); }

Status AuditJournal::close() {
  if (!enabled_.load()) return Status::Ok();
  Status st = append_audit_entry(AuditAction::Close{});
  enabled_.store(false);
  std::lock_guard<std::mutex> g(writer_mu_);
  if (writer_) {
    (void)writer_->flush_buffer();
    (void)writer_->file().close();
    writer_.reset();
  }
  return st;
}

uint64_t AuditJournal::now_ms() const { return env_.now_millis(); }

Status AuditJournal::open_writer_locked() {
  Env& env = env_;
  auto file = env.open(path_, OpenMode::kReadWriteCreate);
  if (!file.ok()) return file.status();
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  auto end = whole_lines_end(**file, *size);
  if (!end.ok()) return end.status();
  if (*end < *size) VESK_RETURN_IF_ERROR((*file)->truncate(*end));
  if (writer_) (void)writer_->file().close();
  writer_ = std::make_unique<BufferedWriter>(std::move(file).value(), *end, BufferedWriter::kDefaultCapacity);
  return Status::Ok();
}

Result<std::unique_ptr<AuditJournal>> open_audit_session(const fs::path& dir, StoreKey key, Env& env,
                                                         AuditJournalOptions options) {
  std::unique_ptr<AuditJournal> j(new AuditJournal(dir, std::move(key), env, std::move(options)));
  {
    std::lock_guard<std::mutex> g(j->writer_mu_);
    VESK_RETURN_IF_ERROR(j->open_writer_locked());
  }
  j->enabled_ = true;
  return j;
}

Status AuditJournal::append_audit_entry(AuditAction action, std::optional<std::string> context) {
  if (!enabled_) return Status::Ok();
  const uint64_t ts = now_ms();
  AuditEntry entry{ts, time_iso(ts / 1000), std::move(action), std::move(context), session_id_};
  std::string json = serialize_audit_entry(entry);
  std::string line;
  if (key_) {
    auto sealed = seal_payload(&*key_, json);
    if (!sealed.ok()) return sealed.status();
    line.reserve(kAuditSealedPrefix.size() + 2 * sealed->size() + 1);
    line.append(kAuditSealedPrefix);
    line.append(hex_encode(*sealed));
    wipe(json);
  } else {
    line = std::move(json);
  }
  line.push_back('\n');

  std::lock_guard<std::mutex> g(writer_mu_);
  if (!writer_ && !open_writer_locked().ok()) return Status::Runtime("audit writer is temporarily unavailable");
  const uint64_t mark = writer_->position();
  Status st = writer_->write(line);
  if (st.ok()) st = writer_->flush_buffer();
  if (!st.ok()) {
    // A partial line would run into the next one; take it back.
    (void)writer_->rollback(mark);
    return st;
  }
  if (writer_->position() > options_.rotate_bytes) return rotate_locked();
  return Status::Ok();
}

Status AuditJournal::rotate_locked() {
  Env& env = env_;
  // Two rotations in one millisecond must not share a name: the second
  // rename would replace the first rotated file.
  fs::path target;
  for (uint64_t ms = now_ms();; ++ms) {
    target = dir_ / (std::string(kAuditFileName) + "." + std::to_string(ms));
    if (!env.exists(target)) break;
  }
  // On a failed rename the writer stays on the old file: auditing goes on
  // there and the next append tries the rotation again.
  VESK_RETURN_IF_ERROR(env.rename(path_, target));
  // When the fresh file cannot be opened, the next append tries again.
  (void)writer_->file().close();
  writer_.reset();
  return open_writer_locked();
}

Result<std::string> audit_line_json(const SecretKey* key, std::string_view line) {
  if (!line.starts_with(kAuditSealedPrefix)) return unseal_payload(key, line);
  auto sealed = hex_decode(line.substr(kAuditSealedPrefix.size()));
  if (!sealed) return Status::Runtime("Invalid hexadecimal in sealed audit line");
  return unseal_payload(key, *sealed);
}

}  // namespace vesk
