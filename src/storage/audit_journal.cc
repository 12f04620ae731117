#include "storage/audit_journal.h"

#include <algorithm>
#include <variant>

#include "audit/audit_entry.h"
#include "base/utc_time.h"
#include "base/hex.h"
#include "storage/audit_files.h"

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

  const auto* receipt = std::get_if<AuditAction::OutcomeReceipt>(&entry.action.value);

  std::lock_guard<std::mutex> g(writer_mu_);
  // The receipt index follows only the file it accounts for: the state
  // before the line is taken before a lost writer creates the file anew.
  const bool noted = receipts_.wants_notes();
  std::optional<FileStat> before;
  if (noted) before = current_stat();
  if (!writer_ && !open_writer_locked().ok()) {
    receipts_.note_lost();
    return Status::Runtime("audit writer is temporarily unavailable");
  }
  const uint64_t mark = writer_->position();
  Status st = writer_->write(line);
  if (st.ok()) st = writer_->flush_buffer();
  if (!st.ok()) {
    // A partial line would run into the next one; take it back.
    (void)writer_->rollback(mark);
    receipts_.note_lost();
    return st;
  }
  if (noted) {
    receipts_.note_append(before, {mark, writer_->position()}, current_stat(), receipt ? &receipt->receipt : nullptr);
  }
  if (writer_->position() > options_.rotate_bytes) return rotate_locked();
  return Status::Ok();
}

std::optional<FileStat> AuditJournal::current_stat() {
  // The open file's own metadata costs no path lookup. Should the name no
  // longer lead to it, the next load's look at the directory sees that.
  Result<FileStat> stat = Status::OS("no writer");
  if (writer_) stat = writer_->file().stat();
  if (!stat.ok()) stat = env_.file_stat(path_);
  if (!stat.ok()) return std::nullopt;
  return *stat;
}

Status AuditJournal::load_outcome_receipts(const std::function<void(const OutcomeReceiptSet&)>& use) {
  std::unique_lock<std::mutex> g(writer_mu_);
  // Every append writes its line out before it returns; a buffer left by a
  // failed write-out is written now, as a reader of the file expects.
  if (writer_ && writer_->has_buffered()) VESK_RETURN_IF_ERROR(writer_->flush_buffer());
  for (;;) {
    Result<std::vector<AuditFileState>> files = audit_file_states(dir_, env_);
    if (!files.ok()) return files.status();
    if (receipts_.accounts_for(*files)) break;
    if (receipts_.reading()) {
      read_done_.wait(g);
      continue;
    }
    // The current file is opened while its state is fresh: a rotation
    // renames it, but this handle keeps reading the bytes counted.
    std::unique_ptr<File> current;
    if (!files->empty() && files->back().name == kAuditFileName) {
      Result<std::unique_ptr<File>> opened = env_.open(path_, OpenMode::kRead);
      if (!opened.ok()) return opened.status();
      current = std::move(opened).value();
    }
    receipts_.begin_read();
    g.unlock();
    Result<OutcomeReceiptRead> read =
        read_outcome_receipts(dir_, *files, current.get(), key_ ? &*key_ : nullptr, env_);
    g.lock();
    if (!read.ok()) {
      receipts_.abandon_read();
      read_done_.notify_all();
      return read.status();
    }
    receipts_.install(std::move(files).value(), std::move(read).value());
    read_done_.notify_all();
    // Dropped when the files changed behind the journal's back meanwhile:
    // then they are read again.
    if (receipts_.built()) break;
  }
  VESK_RETURN_IF_ERROR(receipts_.failure());
  use(receipts_.receipts());
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
  Status opened = open_writer_locked();
  receipts_.note_rotation(target.filename().string(), opened.ok() ? current_stat() : std::nullopt);
  return opened;
}

Result<std::string> audit_line_json(const SecretKey* key, std::string_view line) {
  if (!line.starts_with(kAuditSealedPrefix)) return unseal_payload(key, line);
  auto sealed = hex_decode(line.substr(kAuditSealedPrefix.size()));
  if (!sealed) return Status::Runtime("Invalid hexadecimal in sealed audit line");
  return unseal_payload(key, *sealed);
}

}  // namespace vesk
