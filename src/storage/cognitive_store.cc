#include "storage/cognitive_store.h"

#include <algorithm>
#include <limits>

#include "model/record_json.h"
#include "storage/atomic_file.h"
#include "storage/buffered_reader.h"
#include "base/coding.h"
#include "storage/cognitive_snapshot_format.h"
#include "base/crc32.h"
#include "base/utf8.h"

namespace vesk {

namespace {

Status closed_error() { return Status::Runtime("Cognitive store is closed"); }

// A payload whose sealed form would not fit the frame's 32-bit length.
Status check_frame_payload(std::string_view payload) {
  if (payload.size() > std::numeric_limits<uint32_t>::max() - kEncryptionOverhead - kSealMagic.size()) {
    return Status::Runtime("Cognitive frame payload too large");
  }
  return Status::Ok();
}

// The head of a frame: kind, payload length, payload checksum.
void append_frame_head(std::string& out, uint8_t kind, std::string_view stored) {
  out.push_back(static_cast<char>(kind));
  put_le<uint32_t>(&out, static_cast<uint32_t>(stored.size()));
  put_le<uint32_t>(&out, crc32_ieee(stored));
}

// Appends a frame head for `stored` to out, then the stored bytes.
void append_frame(std::string& out, uint8_t kind, std::string_view stored) {
  append_frame_head(out, kind, stored);
  out.append(stored);
}

// The offset just past the last frame that lies wholly inside the first
// `size` bytes, following the heads from the first; it stops early at a head
// no frame can have (an unknown kind, an empty payload). Only the heads are
// read, through a window, so the scan costs one read per 64 KiB of small
// frames and one per large frame. Reaching `size` is the clean case; any
// other end is looked at frame by frame (walk_journal).
Result<uint64_t> whole_frames_end(File& file, uint64_t size) {
  constexpr size_t kWindow = 64 * 1024;
  std::string window;
  uint64_t window_start = 0;
  uint64_t p = kJournalHeaderSize;
  while (p < size && size - p >= kFrameHeadSize) {
    if (p < window_start || p + kFrameHeadSize > window_start + window.size()) {
      window.resize(static_cast<size_t>(std::min<uint64_t>(kWindow, size - p)));
      auto got = file.read_at(p, window.data(), window.size());
      if (!got.ok()) return got.status();
      window.resize(*got);
      window_start = p;
      if (*got < kFrameHeadSize) break;
    }
    const char* head = window.data() + (p - window_start);
    const uint32_t n = get_le<uint32_t>(head + 1);
    if (!journal_kind_known(static_cast<uint8_t>(head[0])) || n == 0) break;
    if (n > size - p - kFrameHeadSize) break;
    p += kFrameHeadSize + n;
  }
  return p;
}

// Applies one unsealed frame to the map; false, changing nothing, for a
// payload that does not read as its kind's form or a short removal: one
// damaged frame must not keep the rest of the journal from loading. Ids that
// removals take out are added to `removed`.
bool apply_frame(RecordMap& records, StringSet& removed, uint8_t kind, std::string_view payload) {
  switch (static_cast<FrameKind>(kind)) {
    case FrameKind::kRecordInsert:
    case FrameKind::kRecordWrite: {
      auto r = decode_record_payload(payload);
      if (!r.ok()) return false;
      std::string id = r->id;
      records.insert_or_assign(std::move(id), std::move(r).value());
      return true;
    }
    case FrameKind::kRecordRemove: {
      if (payload.size() < kFrameIdSize) return false;
      std::string id = decode_utf8_lossy(payload.substr(0, kFrameIdSize));
      records.erase(id);
      removed.insert(std::move(id));
      return true;
    }
    case FrameKind::kRecordBatch: {
      auto list = parse_record_list_json(payload);
      if (!list.ok()) return false;
      for (Record& r : *list) {
        std::string id = r.id;
        records.insert_or_assign(std::move(id), std::move(r));
      }
      return true;
    }
    case FrameKind::kRecordPatches: {
      auto patches = parse_record_patches(payload);
      if (!patches.ok()) return false;
      apply_record_patches(records, *patches);
      return true;
    }
    case FrameKind::kMutationBatch: {
      auto batch = parse_mutation_batch(payload);
      if (!batch.ok()) return false;
      removed.insert(batch->deletions.begin(), batch->deletions.end());
      apply_mutation_batch(records, std::move(batch).value());
      return true;
    }
  }
  return false;
}

}  // namespace

Result<Record> decode_record_payload(std::string_view payload) {
  return deserialize_record_slice(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
}

CognitiveStore::CognitiveStore(const fs::path& dir, StoreKey key, Env& env)
    : dir_(dir),
      journal_path_(dir / kJournalFileName),
      snapshot_path_(dir / kSnapshotFileName),
      key_(std::move(key)),
      env_(env) {}

CognitiveStore::~CognitiveStore() {
  std::lock_guard<std::mutex> g(writer_mu_);
  if (writer_) {
    (void)writer_->flush_buffer();
    (void)writer_->file().close();
  }
}

Result<std::unique_ptr<CognitiveStore>> CognitiveStore::open(const fs::path& dir, StoreKey key, Env& env) {
  std::unique_ptr<CognitiveStore> s(new CognitiveStore(dir, std::move(key), env));
  auto opened = [&]() -> Status {
    const bool keyed = s->key_ != nullptr;
    if (!env.exists(s->journal_path_)) {
      // Created through a scratch file and a rename, so a crash can never
      // leave a journal without its header behind.
      std::string header(kJournalMagic);
      header.push_back(static_cast<char>(journal_flags(keyed)));
      VESK_RETURN_IF_ERROR(replace_file_via(dir / kJournalTempFileName, s->journal_path_, header, env));
    }
    auto file = env.open(s->journal_path_, OpenMode::kReadWrite);
    if (!file.ok()) return file.status();
    char header[kJournalHeaderSize];
    VESK_RETURN_IF_ERROR((*file)->read_exact_at(0, header, sizeof header));
    const auto flags = static_cast<uint8_t>(header[4]);
    if (std::string_view(header, 4) != kJournalMagic ||
        (flags != kJournalFlagsPlain && flags != kJournalFlagsKeyed)) {
      return Status::OS("Unsupported cognitive journal format");
    }
    if ((flags == kJournalFlagsKeyed) != keyed) {
      return Status::OS("Cognitive journal encryption mode mismatch; password or explicit migration required");
    }
    auto size = (*file)->size();
    if (!size.ok()) return size.status();
    auto end = whole_frames_end(**file, *size);
    if (!end.ok()) return end.status();
    uint64_t append_at = *end;
    if (*end < *size) {
      // The heads do not lead to the end: a torn tail, or damage somewhere.
      // Anything left behind the last whole frame must go before appending:
      // replay stops or resynchronises there, and a frame appended behind it
      // could be swallowed by a damaged length.
      auto walk = walk_journal(**file, kJournalHeaderSize, *size, nullptr);
      if (!walk.ok()) return walk.status();
      if (walk->skipped.empty() && walk->tail != JournalWalk::Tail::Damaged) {
        if (walk->good_end < *size) {
          VESK_RETURN_IF_ERROR((*file)->truncate(walk->good_end));
          VESK_RETURN_IF_ERROR((*file)->sync());
        }
        append_at = walk->good_end;
      } else {
        VESK_RETURN_IF_ERROR(s->repair_damage(**file, *size, *walk));
        (void)(*file)->close();
        file = env.open(s->journal_path_, OpenMode::kReadWrite);
        if (!file.ok()) return file.status();
        auto repaired = (*file)->size();
        if (!repaired.ok()) return repaired.status();
        append_at = *repaired;
      }
    }
    s->writer_ = std::make_unique<BufferedWriter>(std::move(file).value(), append_at, kBufferSize);
    s->writer_->set_write_behind(BufferedWriter::kWriteBehindBytes);
    return Status::Ok();
  }();
  if (!opened.ok()) return opened.as(ErrorKind::OS);
  return s;
}

Result<std::string> CognitiveStore::stored_form(std::string_view payload) const {
  VESK_RETURN_IF_ERROR(check_frame_payload(payload));
  return seal_payload(key_.get(), payload);
}

Status CognitiveStore::append_cognitive_frame(FrameKind kind, std::string_view payload, bool force) {
  const Frame frame{kind, payload};
  return append_cognitive_frames(std::span(&frame, 1), force);
}

Status CognitiveStore::append_cognitive_frames(std::span<const Frame> frames, bool force) {
  // A plain payload is written from the caller's bytes: a maintenance batch
  // can be hundreds of megabytes, and each copy of it costs as much as the
  // write. Only a sealed payload is a new string.
  std::vector<std::string> sealed;
  std::vector<std::string_view> stored;
  sealed.reserve(frames.size());
  stored.reserve(frames.size());
  for (const Frame& f : frames) {
    if (key_) {
      auto s = stored_form(f.payload);
      if (!s.ok()) return s.status();
      sealed.push_back(std::move(s).value());
      stored.push_back(sealed.back());
    } else {
      VESK_RETURN_IF_ERROR(check_frame_payload(f.payload));
      stored.push_back(f.payload);
    }
  }
  std::string heads;
  for (size_t i = 0; i < frames.size(); ++i) append_frame_head(heads, static_cast<uint8_t>(frames[i].kind), stored[i]);

  std::lock_guard<std::mutex> g(writer_mu_);
  if (!writer_) return closed_error();
  const uint64_t mark = writer_->position();
  Status st = Status::Ok();
  for (size_t i = 0; i < frames.size() && st.ok(); ++i) {
    st = writer_->write(std::string_view(heads).substr(i * kFrameHeadSize, kFrameHeadSize));
    if (st.ok()) st = writer_->write(stored[i]);
  }
  if (st.ok()) st = writer_->flush_buffer();
  if (st.ok() && force) st = writer_->file().sync();
  if (!st.ok()) {
    // Whatever part of the frames reached the file goes, so a caller that
    // undoes its change on this error never sees it come back at replay.
    if (!writer_->rollback(mark).ok()) {
      (void)writer_->file().close();
      writer_.reset();
    }
  }
  return st;
}

Status CognitiveStore::log_record_batch(std::span<const Record> records) {
  if (records.empty()) return Status::Ok();
  std::string json;
  serialize_record_array(records, json);
  return append_cognitive_frame(FrameKind::kRecordBatch, json, true);
}

Status CognitiveStore::log_record_mutations(std::span<const Record> upserts, std::span<const std::string> deletions) {
  if (upserts.empty() && deletions.empty()) return Status::Ok();
  std::string json;
  serialize_mutation_batch(upserts, deletions, json);
  return append_cognitive_frame(FrameKind::kMutationBatch, json, true);
}

Status CognitiveStore::log_record_mutations_of(std::span<const Record* const> upserts,
                                               std::span<const std::string> deletions) {
  if (upserts.empty() && deletions.empty()) return Status::Ok();
  std::string json;
  serialize_mutation_batch(upserts, deletions, json);
  return append_cognitive_frame(FrameKind::kMutationBatch, json, true);
}

Status CognitiveStore::log_record_patches(std::span<const RecordPatch> patches) {
  if (patches.empty()) return Status::Ok();
  std::string json;
  serialize_record_patches(patches, json);
  return append_cognitive_frame(FrameKind::kRecordPatches, json, true);
}

std::optional<uint64_t> CognitiveStore::load_snapshot(RecordMap& out, uint64_t journal_size) const {
  if (!env_.exists(snapshot_path_)) return std::nullopt;
  auto file = env_.open(snapshot_path_, OpenMode::kRead);
  if (!file.ok()) return std::nullopt;
  auto size = (*file)->size();
  if (!size.ok()) return std::nullopt;
  BufferedReader in(**file, 0, kBufferSize);
  auto read_exact = [&](char* dst, size_t n) {
    auto got = in.read(dst, n);
    return got.ok() && *got == n;
  };

  char head[kSnapshotHeaderSize];
  if (!read_exact(head, sizeof head) || std::string_view(head, 4) != kSnapshotMagic) return std::nullopt;
  const uint64_t covered = get_le<uint64_t>(head + 5);
  const uint32_t count = get_le<uint32_t>(head + 13);
  // A covered length inside the journal header cannot come from a compaction.
  if (covered < kJournalHeaderSize || covered > journal_size) return std::nullopt;

  RecordMap records;
  std::string stored;
  for (uint32_t i = 0; i < count; ++i) {
    char len[4];
    if (!read_exact(len, sizeof len)) return std::nullopt;
    const uint32_t m = get_le<uint32_t>(len);
    // Checked against the bytes left before anything is allocated.
    if (m > *size - in.position()) return std::nullopt;
    stored.resize(m);
    if (!read_exact(stored.data(), m)) return std::nullopt;
    auto plain = unseal_payload(key_.get(), stored);
    if (!plain.ok()) return std::nullopt;
    auto r = decode_record_payload(*plain);
    if (!r.ok()) continue;
    std::string id = r->id;
    records.insert_or_assign(std::move(id), std::move(r).value());
  }
  out = std::move(records);
  return covered;
}

Result<CognitiveStore::LoadedState> CognitiveStore::load_cognitive_state() const {
  uint64_t journal_size;
  {
    auto file = env_.open(journal_path_, OpenMode::kRead);
    if (!file.ok()) return file.status();
    auto size = (*file)->size();
    if (!size.ok()) return size.status();
    journal_size = *size;
  }
  LoadedState state;
  if (auto covered = load_snapshot(state.records, journal_size)) state.offset = *covered;
  VESK_RETURN_IF_ERROR(replay_into(state.records, state.offset, state));
  return state;
}

Status CognitiveStore::replay_cognitive_log(RecordMap& records, uint64_t offset) const {
  LoadedState ignored;
  return replay_into(records, offset, ignored);
}

Status CognitiveStore::replay_into(RecordMap& records, uint64_t offset, LoadedState& report) const {
  auto file = env_.open(journal_path_, OpenMode::kRead);
  if (!file.ok()) return file.status();
  // The length is taken once: frames appended meanwhile are not chased.
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  if (offset >= *size) return Status::Ok();
  // A read error is not damage: stopping there would drop the frames behind
  // it, and a later compaction would make that loss permanent.
  uint64_t unsealed = 0;
  Status unseal_error;
  auto walk = walk_journal(**file, offset, *size, [&](const JournalFrameView& f) {
    bool applied = false;
    if (!key_ && !f.stored.starts_with(kSealMagic)) {
      applied = apply_frame(records, report.removed_ids, f.kind, f.stored);  // plain bytes need no copy
    } else if (auto plain = unseal_payload(key_.get(), f.stored); plain.ok()) {
      ++unsealed;
      applied = apply_frame(records, report.removed_ids, f.kind, *plain);
    } else if (unseal_error.ok()) {
      unseal_error = plain.status();
    }
    if (!applied) report.unreadable_frames.push_back(f.offset);
  });
  if (!walk.ok()) return Status::OS(journal_path_.filename().string() + ": " + walk.status().message());
  // One frame that does not unseal is damage; a journal of which none
  // unseals was sealed under another key (or never sealed): that is no
  // journal of this store, and loading it as empty would hide it.
  if (!unseal_error.ok() && unsealed == 0 && offset == kJournalHeaderSize) return unseal_error;
  report.skipped_ranges = walk->skipped;
  // A tail is cut when the journal is opened; one found here (a frame being
  // appended while this replay reads) is not a frame yet.
  return Status::Ok();
}

Status CognitiveStore::repair_damage(File& file, uint64_t size, const JournalWalk& walk) {
  std::string bytes(static_cast<size_t>(size), '\0');
  VESK_RETURN_IF_ERROR(file.read_exact_at(0, bytes.data(), bytes.size()));

  // The copy first, forced, under a name no earlier copy holds.
  const std::string stem = journal_path_.filename().string() + ".damaged-" + std::to_string(env_.now().seconds);
  fs::path copy = dir_ / stem;
  for (int i = 1; env_.exists(copy); ++i) copy = dir_ / (stem + "-" + std::to_string(i));
  {
    auto out = env_.open(copy, OpenMode::kWriteCreateNew);
    if (!out.ok()) return out.status();
    VESK_RETURN_IF_ERROR((*out)->write_at(0, bytes));
    VESK_RETURN_IF_ERROR((*out)->sync());
    VESK_RETURN_IF_ERROR((*out)->close());
    VESK_RETURN_IF_ERROR(env_.sync_dir(dir_));
  }

  // Every whole frame, in order and byte for byte.
  std::string kept = bytes.substr(0, kJournalHeaderSize);
  uint64_t from = kJournalHeaderSize;
  for (const auto& [start, stop] : walk.skipped) {
    kept.append(bytes, from, start - from);
    from = stop;
  }
  kept.append(bytes, from, walk.good_end - from);
  const fs::path temp = dir_ / kJournalTempFileName;
  {
    auto out = env_.open(temp, OpenMode::kWriteTruncate);
    if (!out.ok()) return out.status();
    VESK_RETURN_IF_ERROR((*out)->write_at(0, kept));
    VESK_RETURN_IF_ERROR((*out)->sync());
    VESK_RETURN_IF_ERROR((*out)->close());
  }
  // A snapshot's covered length counts bytes of the old journal.
  if (!walk.skipped.empty() && env_.exists(snapshot_path_)) {
    VESK_RETURN_IF_ERROR(env_.remove(snapshot_path_));
    VESK_RETURN_IF_ERROR(env_.sync_dir(dir_));
  }
  VESK_RETURN_IF_ERROR(env_.rename(temp, journal_path_));
  fsync_path_full(journal_path_, env_);

  repair_.damaged_copy = copy;
  repair_.removed = walk.skipped;
  if (walk.good_end < size) repair_.removed.emplace_back(walk.good_end, size);
  repair_.old_size = size;
  return Status::Ok();
}

Status CognitiveStore::open_writer_locked(uint64_t position) {
  auto file = env_.open(journal_path_, OpenMode::kReadWrite);
  if (!file.ok()) return file.status();
  writer_ = std::make_unique<BufferedWriter>(std::move(file).value(), position, kBufferSize);
  writer_->set_write_behind(BufferedWriter::kWriteBehindBytes);
  return Status::Ok();
}

Result<RecordMap> CognitiveStore::compact_cognitive_store(std::optional<std::string_view> drop_id) {
  std::lock_guard<std::mutex> g(writer_mu_);
  if (writer_) {
    VESK_RETURN_IF_ERROR(writer_->flush_buffer());
    VESK_RETURN_IF_ERROR(writer_->file().sync());
  }
  return rewrite_locked(drop_id);
}

Result<RecordMap> CognitiveStore::rewrite_locked(std::optional<std::string_view> drop_id) {
  auto loaded = load_cognitive_state();
  if (!loaded.ok()) return loaded.status();
  RecordMap records = std::move(loaded->records);
  if (drop_id) {
    if (auto it = records.find(*drop_id); it != records.end()) records.erase(it);
  }

  // Each record is encoded and sealed once; the journal frame and the
  // snapshot entry hold the same stored bytes, in the same order.
  std::vector<std::string> stored;
  stored.reserve(records.size());
  std::string json;
  for (const auto& [id, r] : records) {
    json.clear();
    serialize_record(r, json);
    auto s = stored_form(json);
    if (!s.ok()) return s.status();
    stored.push_back(std::move(s).value());
  }

  if (writer_) {
    (void)writer_->flush_buffer();
    (void)writer_->file().close();
    writer_.reset();
  }
  const char flags = static_cast<char>(journal_flags(key_ != nullptr));

  const fs::path journal_temp = dir_ / kJournalTempFileName;
  uint64_t journal_size = 0;
  {
    auto file = env_.open(journal_temp, OpenMode::kWriteTruncate);
    if (!file.ok()) return file.status();
    BufferedWriter out(std::move(file).value(), 0, 64 * 1024);
    std::string chunk(kJournalMagic);
    chunk.push_back(flags);
    VESK_RETURN_IF_ERROR(out.write(chunk));
    for (const std::string& s : stored) {
      chunk.clear();
      append_frame(chunk, static_cast<uint8_t>(FrameKind::kRecordInsert), s);
      VESK_RETURN_IF_ERROR(out.write(chunk));
    }
    VESK_RETURN_IF_ERROR(out.flush_buffer());
    VESK_RETURN_IF_ERROR(out.file().sync());
    VESK_RETURN_IF_ERROR(out.file().close());
    journal_size = out.position();
  }

  if (env_.exists(snapshot_path_)) {
    VESK_RETURN_IF_ERROR(env_.remove(snapshot_path_));
    // The old snapshot must be gone for good before the new journal appears:
    // its covered length means nothing in the rewritten journal.
    VESK_RETURN_IF_ERROR(env_.sync_dir(dir_));
  }
  VESK_RETURN_IF_ERROR(env_.rename(journal_temp, journal_path_));
  fsync_path_full(journal_path_, env_);

  const fs::path snapshot_temp = dir_ / kSnapshotTempFileName;
  {
    auto file = env_.open(snapshot_temp, OpenMode::kWriteTruncate);
    if (!file.ok()) return file.status();
    BufferedWriter out(std::move(file).value(), 0, kBufferSize);
    std::string head(kSnapshotMagic);
    head.push_back(flags);
    put_le<uint64_t>(&head, journal_size);
    put_le<uint32_t>(&head, static_cast<uint32_t>(stored.size()));
    VESK_RETURN_IF_ERROR(out.write(head));
    std::string len;
    for (const std::string& s : stored) {
      len.clear();
      put_le<uint32_t>(&len, static_cast<uint32_t>(s.size()));
      VESK_RETURN_IF_ERROR(out.write(len));
      VESK_RETURN_IF_ERROR(out.write(s));
    }
    VESK_RETURN_IF_ERROR(out.flush_buffer());
    VESK_RETURN_IF_ERROR(out.file().sync());
    VESK_RETURN_IF_ERROR(out.file().close());
  }
  VESK_RETURN_IF_ERROR(env_.rename(snapshot_temp, snapshot_path_));
  fsync_path_full(snapshot_path_, env_);

  VESK_RETURN_IF_ERROR(open_writer_locked(journal_size));
  return records;
}

Status CognitiveStore::flush() {
  std::lock_guard<std::mutex> g(writer_mu_);
  if (!writer_) return Status::Ok();
  VESK_RETURN_IF_ERROR(writer_->flush_buffer());
  return writer_->file().sync();
}

Status CognitiveStore::close() {
  std::lock_guard<std::mutex> g(writer_mu_);
  if (!writer_) return Status::Ok();
  VESK_RETURN_IF_ERROR(writer_->flush_buffer());
  VESK_RETURN_IF_ERROR(writer_->file().sync());
  (void)writer_->file().close();
  writer_.reset();
  return Status::Ok();
}

bool CognitiveStore::is_closed() const {
  std::lock_guard<std::mutex> g(writer_mu_);
  return writer_ == nullptr;
}

}  // namespace vesk
