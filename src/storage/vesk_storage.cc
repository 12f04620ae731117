#include "storage/vesk_storage.h"

#include <cerrno>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_group.h>

#include <cassert>
#include <chrono>
#include <cstdio>

#include "storage/atomic_file.h"
#include "base/coding.h"
#include "storage/record_log_format.h"
#include "storage/temporal_format.h"
#include "base/trace.h"
#include "base/utf8.h"

namespace vesk {
namespace {

Status closed_error() { return Status::Runtime("Storage is closed"); }

std::string at_offset(uint64_t offset, const Status& cause) {
  return " at offset " + std::to_string(offset) + ": " + cause.message();
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
      // Held by someone else is one thing; a lock file that cannot even be
      // created or opened (a read-only directory, a full disk) is another.
      if (lock.status().message() != os_error(EWOULDBLOCK).message()) {
        return Status::OS("Vesk brain at " + dir.string() + " cannot be opened for writing (" +
                          lock.status().message() + "): the store directory must be writable");
      }
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
// cached side by side (packing the SDRs is most of the work), then filed in
// log order, so a later entry for an id replaces an earlier one exactly as a
// sequential scan does. The next block is read meanwhile: reading and
// caching take about as long as each other. The texts are not decoded:
// nothing in memory keeps them.
Result<uint64_t> VeskStorage::scan() {
  static constexpr size_t kBlockBytes = size_t{8} << 20;
  auto file = env_.open(log_path_, OpenMode::kRead);
  if (!file.ok()) return file.status();
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  if (*size < kLogHeaderSize) return eof_error();

  struct Block {
    std::string bytes;
    bool to_end = false;  // the bytes reach the end of the file
    Status read;
  };
  // At least `want` bytes (a whole entry that did not fit the last block)
  // from offset `at`.
  auto read_block = [&file, size = *size](Block& b, uint64_t at, size_t want) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(std::max(want, kBlockBytes), size - at));
    b.bytes.resize(n);
    auto got = (*file)->read_at(at, b.bytes.data(), n);
    if (!got.ok()) {
      b.read = got.status();
      return;
    }
    b.read = Status::Ok();
    // A short read means the file ends here, whatever its size said.
    b.to_end = *got < n || at + *got >= size;
    b.bytes.resize(*got);
  };

  Index fresh;
  uint64_t count = 0;
  uint64_t p = kLogHeaderSize;  // the first entry not yet filed
  Block block, next;
  struct Found {
    LogEntryFixed fixed;
    uint64_t offset;
    size_t body;  // where its body starts in the block
  };
  std::vector<Found> found;
  std::vector<CachedEntryPtr> built;
  bool tail = false;  // p is where the whole entries end
  // Damage, not a torn tail: an entry that runs past the end while more
  // than one entry's worth of bytes follows (a crash tears at most the entry
  // being appended), or one with no id at all (zeroed bytes). The log has no
  // checksum to find the next whole entry by, so everything from there on
  // goes, after a copy of the whole file is kept.
  bool damaged = false;
  // One entry's worth: the largest entry seen so far, or the largest a store
  // writes before any was seen.
  uint64_t largest = kEntryFixedSize + 2 * uint64_t{65535} + kLargestPayload;
  if (p < *size) read_block(block, p, kBlockBytes);
  while (p < *size && !tail) {
    // A read error is not a torn tail: cutting there could throw away good
    // entries, so the open fails instead and the file stays as it is.
    if (!block.read.ok()) return block.read;
    const std::string& bytes = block.bytes;
    found.clear();
    size_t want = kBlockBytes;
    size_t q = 0;
    while (true) {
      if (bytes.size() - q < kEntryFixedSize) {
        tail = block.to_end;
        break;
      }
      LogEntryFixed f = decode_log_entry_fixed(bytes.data() + q);
      // Lengths are checked against the bytes left before anything is allocated.
      if (f.id.empty() || f.body_size() > *size - (p + q + kEntryFixedSize)) {
        tail = true;
        damaged = f.id.empty() || *size - (p + q) > largest;
        break;
      }
      const uint64_t whole = kEntryFixedSize + f.body_size();
      largest = found.empty() && count == 0 ? whole : std::max(largest, whole);
      if (whole > bytes.size() - q) {
        if (block.to_end) tail = true;
        // The next block starts with this entry and holds all of it.
        want = static_cast<size_t>(whole);
        break;
      }
      found.push_back(Found{std::move(f), p + q, q + kEntryFixedSize});
      q += static_cast<size_t>(whole);
    }
    const uint64_t after = p + q;
    tbb::task_group reading;
    if (after < *size && !tail) reading.run([&read_block, &next, after, want] { read_block(next, after, want); });
    built.assign(found.size(), nullptr);
    tbb::parallel_for(tbb::blocked_range<size_t>(0, found.size(), 64), [&](const tbb::blocked_range<size_t>& r) {
      for (size_t i = r.begin(); i != r.end(); ++i) {
        const Found& e = found[i];
        built[i] = CachedLogEntry::make(e.fixed, bytes.data() + e.body);
      }
    });
    for (size_t i = 0; i < found.size(); ++i) {
      Found& e = found[i];
      const bool user_core = e.fixed.tier == kTierUserCore;
      auto [it, inserted] = fresh.try_emplace(std::move(e.fixed.id), Slot{e.offset, built[i], user_core});
      if (!inserted) it->second = Slot{e.offset, std::move(built[i]), user_core || it->second.user_core};
      ++count;
    }
    reading.wait();
    p = after;
    std::swap(block, next);
  }

  if (p < *size) {
    if (damaged) VESK_RETURN_IF_ERROR(keep_damaged_copy(*size, p));
    // A torn tail (an entry a crash cut short), or damage already copied.
    // Everything before it stays.
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

Status VeskStorage::keep_damaged_copy(uint64_t size, uint64_t cut_at) {
  auto bytes = env_.read_file(log_path_);
  if (!bytes.ok()) return bytes.status();
  const std::string stem = log_path_.filename().string() + ".damaged-" + std::to_string(env_.now().seconds);
  fs::path copy = dir_ / stem;
  for (int i = 1; env_.exists(copy); ++i) copy = dir_ / (stem + "-" + std::to_string(i));
  auto out = env_.open(copy, OpenMode::kWriteCreateNew);
  if (!out.ok()) return out.status();
  VESK_RETURN_IF_ERROR((*out)->write_at(0, *bytes));
  VESK_RETURN_IF_ERROR((*out)->sync());
  VESK_RETURN_IF_ERROR((*out)->close());
  VESK_RETURN_IF_ERROR(env_.sync_dir(dir_));
  repair_ = Repair{copy, cut_at, size};
  return Status::Ok();
}

void VeskStorage::for_each_id(const std::function<void(std::string_view)>& f) const {
  std::shared_lock<std::shared_mutex> g(index_mu_);
  for (const auto& [id, slot] : index_) f(id);
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
  VESK_SPAN(span, "append", "vesk::storage", trace::Level::Info);
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

  CachedEntryPtr cached = CachedLogEntry::make(entry);
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
  return read_entry_at(offset);
}

Result<std::optional<LogEntry>> VeskStorage::read_entry(std::string_view id, const WriterLock& held) {
  assert(held.owns_lock() && held.mutex() == &writer_mu_);
  uint64_t offset;
  {
    std::shared_lock<std::shared_mutex> g(index_mu_);
    auto it = index_.find(id);
    if (it == index_.end()) return std::optional<LogEntry>();
    offset = it->second.offset;
  }
  // The writer slot is already held: pending appends are written out here,
  // not by taking the slot again.
  if (unflushed_appends_ && writer_) {
    VESK_RETURN_IF_ERROR(writer_->flush_buffer());
    unflushed_appends_ = false;
  }
  return read_entry_at(offset);
}

Result<std::optional<LogEntry>> VeskStorage::read_entry_at(uint64_t offset) {
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
  VESK_SPAN(span, "flush", "vesk::storage", trace::Level::Info);
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

CachedEntryPtr VeskStorage::cached_entry(std::string_view id) const {
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

void VeskStorage::close_handles(const WriterLock& held) {
  assert(held.owns_lock() && held.mutex() == &writer_mu_);
  {
    std::lock_guard<std::mutex> r(reader_mu_);
    reader_.reset();
  }
  if (writer_) {
    (void)writer_->flush_buffer();
    (void)writer_->file().close();
    writer_.reset();
  }
  unflushed_appends_ = false;
}

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
