#include "storage/vesk_storage.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cassert>
#include <chrono>
#include <cstdio>

#include "storage/atomic_file.h"
#include "base/coding.h"
#include "storage/record_log_format.h"
#include "storage/temporal_format.h"
#include "base/utf8.h"

namespace vesk {
namespace {

Status closed_error() { return Status::Runtime("Storage is closed"); }

std::string at_offset(uint64_t offset, const Status& cause) {
  return " at offset " + std::to_string(offset) + ": " + cause.message();
}

// The text kept in the entry cache. A text that cannot be shown is replaced
// by a placeholder so the scan never fails on one bad entry.
std::string scanned_text(uint8_t flag, std::string_view payload, const SecretKey* key) {
  if (flag == kEntryEncrypted) {
    if (!key) return "<encrypted>";
    auto plain = decrypt_payload(payload, *key);
    if (!plain.ok()) return "<decryption failed>";
    return is_valid_utf8(*plain) ? std::move(*plain) : std::string();
  }
  return is_valid_utf8(payload) ? std::string(payload) : std::string();
}

}  // namespace

VeskStorage::VeskStorage(fs::path dir, StoreKey key, Env& env)
    : dir_(std::move(dir)),
      log_path_(dir_ / kLogFileName),
      side_map_path_(dir_ / kSideMapFileName),
      key_(std::move(key)),
      env_(env) {}

VeskStorage::~VeskStorage() {
  Status st = close();
  if (!st.ok()) std::fprintf(stderr, "VeskStorage: failed to close on drop: %s\n", st.message().c_str());
}

Status VeskStorage::create_log_file(const fs::path& path, Env& env) {
  const UtcInstant now = env.now();
  if (now.seconds < 0) return Status::OS("System clock is set before the Unix epoch");
  const double created = unix_seconds(now);

  std::string header;
  header.append(kLogMagic);
  put_le<uint32_t>(&header, kLogVersion);
  put_le<uint64_t>(&header, 0);
  put_le<double>(&header, created);
  header.append(kLogHeaderSize - header.size(), '\0');

  auto file = env.open(path, OpenMode::kWriteTruncate);
  if (!file.ok()) return file.status();
  VESK_RETURN_IF_ERROR((*file)->write_at(0, header));
  return (*file)->close();
}

Result<std::shared_ptr<VeskStorage>> VeskStorage::open(const fs::path& dir, StoreKey key, Env& env) {
  auto s = open_locked(dir, std::move(key), env);
  if (!s.ok()) return s.status();
  // Everything opened so far, the lock included, is released with `s`.
  VESK_RETURN_IF_ERROR((*s)->finish_open());
  return s;
}

Result<std::shared_ptr<VeskStorage>> VeskStorage::open_locked(const fs::path& dir, StoreKey key, Env& env) {
  auto opened = [&]() -> Result<std::shared_ptr<VeskStorage>> {
    VESK_RETURN_IF_ERROR(env.create_dirs(dir));
    std::shared_ptr<VeskStorage> s(new VeskStorage(dir, std::move(key), env));

    auto lock = env.lock(dir / kLockFileName);
    if (!lock.ok()) {
      return Status::OS("Vesk brain at " + dir.string() + " is already open in another process or handle (" +
                        lock.status().message() + ")." + std::string(18, ' ') +
                        "Close it first or use a separate directory.");
    }
    s->lock_ = std::move(lock).value();

    s->fresh_log_ = !env.exists(s->log_path_);
    if (s->fresh_log_) VESK_RETURN_IF_ERROR(create_log_file(s->log_path_, env));

    auto reader = env.open(s->log_path_, OpenMode::kRead);
    if (!reader.ok()) return reader.status();
    auto writer = env.open(s->log_path_, OpenMode::kReadWriteCreate);
    if (!writer.ok()) return writer.status();
    s->reader_ = std::move(reader).value();
    s->pending_writer_ = std::move(writer).value();

    if (!s->fresh_log_) {
      char header[kLogHeaderSize];
      auto got = s->reader_->read_at(0, header, sizeof header);
      if (!got.ok()) return got.status();
      if (*got < 4) return eof_error();
      if (std::string_view(header, 4) != kLogMagic) return Status::OS("Invalid magic bytes");
      if (*got < 8) return eof_error();
      uint32_t version = get_le<uint32_t>(header + 4);
      if (version > kLogVersion) return Status::OS("Unsupported version: " + std::to_string(version));
      // Entries start at 64; a shorter file has no room for them.
      if (*got < kLogHeaderSize) return eof_error();
    }
    return s;
  }();
  // Everything opened so far, the lock included, is released with `s`.
  if (!opened.ok()) return opened.status().as(ErrorKind::OS);
  return opened;
}

Status VeskStorage::finish_open() {
  uint64_t end = kLogHeaderSize;
  if (!fresh_log_) {
    auto scanned = scan();
    if (!scanned.ok()) return scanned.status().as(ErrorKind::OS);
    end = *scanned;
    load_side_map();
  }
  writer_ = std::make_unique<BufferedWriter>(std::move(pending_writer_), end);
  writer_->set_write_behind(BufferedWriter::kWriteBehindBytes);
  return Status::Ok();
}

// The log is read in blocks of whole entries; each block's entries are
// decoded side by side (the SDR buffers and texts are most of the work, and
// most of it is the memory they take), then filed in log order, so a later
// entry for an id replaces an earlier one exactly as a sequential scan does.
Result<uint64_t> VeskStorage::scan() {
  constexpr size_t kBlockBytes = size_t{8} << 20;
  auto file = env_.open(log_path_, OpenMode::kRead);
  if (!file.ok()) return file.status();
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  if (*size < kLogHeaderSize) return eof_error();

  Index fresh;
  uint64_t count = 0;
  uint64_t p = kLogHeaderSize;  // the first entry not yet filed
  std::string block;
  struct Found {
    LogEntryFixed fixed;
    uint64_t offset;
    size_t body;  // where its body starts in the block
  };
  std::vector<Found> found;
  std::vector<std::shared_ptr<CachedLogEntry>> built;
  size_t want = kBlockBytes;
  bool tail = false;  // p is where the whole entries end
  while (p < *size && !tail) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(std::max(want, kBlockBytes), *size - p));
    block.resize(n);
    // A read error is not a torn tail: cutting there could throw away good
    // entries, so the open fails instead and the file stays as it is.
    auto got = (*file)->read_at(p, block.data(), n);
    if (!got.ok()) return got.status();
    // A short read means the file ends here, whatever its size said.
    const bool to_end = *got < n || p + *got >= *size;
    block.resize(*got);
    found.clear();
    want = kBlockBytes;
    size_t q = 0;
    while (true) {
      if (block.size() - q < kEntryFixedSize) {
        tail = to_end;
        break;
      }
      LogEntryFixed f = decode_log_entry_fixed(block.data() + q);
      // Lengths are checked against the bytes left before anything is allocated.
      if (f.body_size() > *size - (p + q + kEntryFixedSize)) {
        tail = true;
        break;
      }
      const uint64_t whole = kEntryFixedSize + f.body_size();
      if (whole > block.size() - q) {
        if (to_end) tail = true;
        // The next block starts with this entry and holds all of it.
        want = static_cast<size_t>(whole);
        break;
      }
      found.push_back(Found{std::move(f), p + q, q + kEntryFixedSize});
      q += static_cast<size_t>(whole);
    }
    built.assign(found.size(), nullptr);
    tbb::parallel_for(tbb::blocked_range<size_t>(0, found.size(), 64), [&](const tbb::blocked_range<size_t>& r) {
      for (size_t i = r.begin(); i != r.end(); ++i) {
        const Found& e = found[i];
        const char* body = block.data() + e.body;
        auto entry = std::make_shared<CachedLogEntry>();
        entry->sdr = make_sdr_positions(decode_sdr_positions(body, e.fixed.sdr_count));
        entry->text = scanned_text(e.fixed.flag,
                                   std::string_view(body + 2 * size_t{e.fixed.sdr_count}, e.fixed.payload_len),
                                   key_.get());
        entry->created_at = e.fixed.created_at;
        entry->strength = e.fixed.strength;
        entry->pin_factor = e.fixed.pin_factor;
        entry->reserved1 = e.fixed.reserved1;
        entry->reserved2 = e.fixed.reserved2;
        entry->id = e.fixed.id;
        entry->tier = e.fixed.tier;
        built[i] = std::move(entry);
      }
    });
    for (size_t i = 0; i < found.size(); ++i) {
      Found& e = found[i];
      const bool user_core = e.fixed.tier == kTierUserCore;
      auto [it, inserted] = fresh.try_emplace(std::move(e.fixed.id), Slot{e.offset, built[i], user_core});
      if (!inserted) it->second = Slot{e.offset, std::move(built[i]), user_core || it->second.user_core};
      ++count;
    }
    p += q;
  }

  if (p < *size) {
    // A torn tail: an entry a crash cut short. Everything before it stays.
    auto rw = env_.open(log_path_, OpenMode::kReadWrite);
    if (!rw.ok()) return rw.status();
    VESK_RETURN_IF_ERROR((*rw)->truncate(p));
    VESK_RETURN_IF_ERROR((*rw)->sync());
    count_dirty_ = true;
  }

  std::unique_lock<std::shared_mutex> g(index_mu_);
  index_.swap(fresh);
  any_links_ = false;
  entry_count_ = count;
  return p;
}

void VeskStorage::load_side_map() {
  // A missing or damaged side map is dropped silently; the next flush
  // rewrites it from the (then empty) links.
  if (!env_.exists(side_map_path_)) return;
  auto bytes = env_.read_file(side_map_path_);
  if (!bytes.ok()) return;
  auto pairs = parse_temporal_map(*bytes);
  if (!pairs) return;
  remap_cached_entries(*pairs);
}

Status VeskStorage::writer_unavailable() const {
  return writer_failure_.ok() ? closed_error() : writer_failure_;
}

Result<uint64_t> VeskStorage::append(const LogEntry& entry) {
  WriterLock w(writer_mu_);
  if (!writer_) return writer_unavailable();
  uint64_t offset = writer_->position();
  scratch_.clear();
  VESK_RETURN_IF_ERROR(encode_log_entry(entry, key_.get(), &scratch_));
  Status st = writer_->write(scratch_);
  if (!st.ok()) {
    Status cut = writer_->rollback(offset);
    if (!cut.ok()) {
      // The file may now end in a partial entry, which the next open cuts away
      // together with anything appended behind it. Refuse further appends.
      writer_failure_ = Status::Runtime("Storage is closed: a failed append could not be cut back (" +
                                        cut.message() + ")");
      writer_.reset();
    }
    return st;
  }

  auto cached = std::make_shared<CachedLogEntry>();
  cached->id = entry.id;
  cached->tier = entry.tier;
  cached->sdr = entry.sdr ? entry.sdr : make_sdr_positions({});
  cached->text = entry.content;
  cached->created_at = entry.created_at;
  cached->strength = entry.strength;
  cached->pin_factor = entry.pin_factor;
  cached->reserved1 = entry.reserved1;
  cached->reserved2 = entry.reserved2;
  bool user_core = entry.tier == kTierUserCore;
  // Set before the offset is published, so a reader that finds the offset also
  // sees that the bytes may still sit in the buffer.
  unflushed_appends_ = true;
  {
    std::unique_lock<std::shared_mutex> g(index_mu_);
    auto [it, inserted] = index_.try_emplace(entry.id, Slot{offset, cached, user_core});
    if (!inserted) it->second = Slot{offset, std::move(cached), user_core || it->second.user_core};
  }
  ++entry_count_;
  count_dirty_ = true;
  return offset;
}

Result<std::optional<LogEntry>> VeskStorage::read_entry(std::string_view id) {
  uint64_t offset;
  {
    std::shared_lock<std::shared_mutex> g(index_mu_);
    auto it = index_.find(id);
    if (it == index_.end()) return std::optional<LogEntry>();
    offset = it->second.offset;
  }
  if (unflushed_appends_) {
    WriterLock w(writer_mu_);
    if (!writer_) return writer_unavailable();
    VESK_RETURN_IF_ERROR(writer_->flush_buffer());
    unflushed_appends_ = false;
  }

  std::lock_guard<std::mutex> r(reader_mu_);
  if (!reader_) return closed_error();
  char fixed[kEntryFixedSize];
  auto got = reader_->read_at(offset, fixed, sizeof fixed);
  if (!got.ok()) return Status::OS("Failed to read ID" + at_offset(offset, got.status()));
  if (*got < kEntryIdSize) return Status::OS("Failed to read ID" + at_offset(offset, eof_error()));
  if (*got < kEntryFixedSize) return eof_error();
  LogEntryFixed f = decode_log_entry_fixed(fixed);

  auto size = reader_->size();
  if (!size.ok()) return size.status();
  uint64_t start = offset + kEntryFixedSize;
  std::string body;
  size_t have = 0;
  Status read_error = eof_error();
  // Lengths are checked against the file before the body is allocated.
  if (f.body_size() <= (*size > start ? *size - start : 0)) {
    body.resize(static_cast<size_t>(f.body_size()));
    auto r = reader_->read_at(start, body.data(), body.size());
    if (r.ok()) {
      have = *r;
    } else {
      read_error = r.status();
    }
  } else {
    have = static_cast<size_t>(*size > start ? *size - start : 0);
  }
  size_t sdr_bytes = 2 * size_t{f.sdr_count};
  if (have < sdr_bytes) {
    return Status::OS("Failed to read SDR bit " + std::to_string(have / 2) + at_offset(offset, read_error));
  }
  if (have < f.body_size()) {
    return Status::OS("Failed to read text of len " + std::to_string(f.payload_len) + at_offset(offset, read_error));
  }

  LogEntry e;
  std::string_view payload = std::string_view(body).substr(sdr_bytes);
  if (f.flag == kEntryEncrypted) {
    if (key_) {
      auto plain = decrypt_payload(payload, *key_);
      if (!plain.ok()) return Status::Runtime("Decryption failed for record " + f.id + ": " + plain.status().message());
      e.content = is_valid_utf8(*plain) ? std::move(*plain) : std::string("<decryption error>");
    } else {
      e.content = "<encrypted - no key>";
    }
  } else {
    e.content = is_valid_utf8(payload) ? std::string(payload) : std::string("<invalid utf8>");
  }
  e.sdr = make_sdr_positions(decode_sdr_positions(body.data(), f.sdr_count));
  e.id = std::move(f.id);
  e.tier = std::move(f.tier);
  e.created_at = f.created_at;
  e.offset = offset;
  e.strength = f.strength;
  e.pin_factor = f.pin_factor;
  e.reserved1 = f.reserved1;
  e.reserved2 = f.reserved2;
  return std::optional<LogEntry>(std::move(e));
}

void VeskStorage::remove_entry(std::string_view id) {
  std::unique_lock<std::shared_mutex> g(index_mu_);
  auto it = index_.find(id);
  if (it == index_.end()) return;
  index_.erase(it);
  if (any_links_) {
    for (auto& [other, slot] : index_) {
      if (slot.entry->has_link_to(id)) slot.entry->set_linked_id(std::nullopt);
    }
  }
  uint64_t n = entry_count_.load();
  while (n > 0 && !entry_count_.compare_exchange_weak(n, n - 1)) {
  }
  count_dirty_ = true;
}

Status VeskStorage::flush() {
  WriterLock w(writer_mu_);
  return flush_locked();
}

Status VeskStorage::flush_locked() {
  // Cleanly closed: nothing to do. Closed by a failure: say so every time.
  if (!writer_) return writer_failure_;
  VESK_RETURN_IF_ERROR(writer_->flush_buffer());
  unflushed_appends_ = false;
  if (count_dirty_.exchange(false)) {
    std::string count;
    put_le<uint64_t>(&count, entry_count_.load());
    Status st = writer_->file().write_at(kLogCountOffset, count);
    if (!st.ok()) {
      count_dirty_ = true;
      return st;
    }
  }
  Status st = writer_->file().sync();
  if (!st.ok()) {
    count_dirty_ = true;
    return st;
  }
  return write_temporal_sidecar();
}

Status VeskStorage::close() {
  {
    WriterLock w(writer_mu_);
    VESK_RETURN_IF_ERROR(flush_locked());
    writer_.reset();
  }
  {
    std::lock_guard<std::mutex> r(reader_mu_);
    reader_.reset();
  }
  std::lock_guard<std::mutex> l(lock_mu_);
  lock_.reset();
  return Status::Ok();
}

std::shared_ptr<const CachedLogEntry> VeskStorage::cached_entry(std::string_view id) const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : it->second.entry;
}

std::optional<uint64_t> VeskStorage::offset_of(std::string_view id) const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  auto it = index_.find(id);
  if (it == index_.end()) return std::nullopt;
  return it->second.offset;
}

bool VeskStorage::is_user_core(std::string_view id) const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  auto it = index_.find(id);
  return it != index_.end() && it->second.user_core;
}

std::unordered_set<std::string> VeskStorage::user_core_ids() const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  std::unordered_set<std::string> out;
  for (const auto& [id, slot] : index_) {
    if (slot.user_core) out.insert(id);
  }
  return out;
}

LinkPairs VeskStorage::linked_pairs() const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  LinkPairs out;
  if (!any_links_) return out;
  for (const auto& [id, slot] : index_) {
    if (auto link = slot.entry->linked_id()) out.emplace_back(id, std::move(*link));
  }
  return out;
}

size_t VeskStorage::id_count() const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  return index_.size();
}

VeskStorage::WriterLock VeskStorage::lock_writer() { return WriterLock(writer_mu_); }

Status VeskStorage::reopen_handles(const WriterLock& held) {
  assert(held.owns_lock() && held.mutex() == &writer_mu_);
  {
    std::lock_guard<std::mutex> l(lock_mu_);
    if (!lock_) return closed_error();
  }
  auto reader = env_.open(log_path_, OpenMode::kRead);
  if (!reader.ok()) return reader.status();
  auto writer = env_.open(log_path_, OpenMode::kReadWrite);
  if (!writer.ok()) return writer.status();
  auto size = (*writer)->size();
  if (!size.ok()) return size.status();
  {
    std::lock_guard<std::mutex> r(reader_mu_);
    reader_ = std::move(reader).value();
  }
  if (writer_) (void)writer_->flush_buffer();
  writer_ = std::make_unique<BufferedWriter>(std::move(writer).value(), *size);
  writer_->set_write_behind(BufferedWriter::kWriteBehindBytes);
  writer_failure_ = Status::Ok();
  unflushed_appends_ = false;
  return Status::Ok();
}

Status VeskStorage::rebuild_index(const WriterLock& held) {
  assert(held.owns_lock() && held.mutex() == &writer_mu_);
  if (writer_) {
    VESK_RETURN_IF_ERROR(writer_->flush_buffer());
    unflushed_appends_ = false;
  }
  auto end = scan();
  if (!end.ok()) return end.status();
  // A cut tail moves the end of the log; appends continue from there.
  if (writer_ && writer_->position() != *end) writer_->reposition(*end);
  return Status::Ok();
}

void VeskStorage::remap_cached_entries(const std::unordered_map<std::string, std::string>& links) {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  for (const auto& [id, linked] : links) {
    auto it = index_.find(id);
    if (it == index_.end() || !index_.count(linked)) continue;
    it->second.entry->set_linked_id(linked);
    any_links_ = true;
  }
}

Status VeskStorage::write_temporal_sidecar() {
  return replace_file_via(dir_ / kSideMapTempName, side_map_path_, encode_temporal_map(linked_pairs()), env_);
}

}  // namespace vesk
