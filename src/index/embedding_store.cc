#include "index/embedding_store.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <utility>

#include "index/embedding_format.h"
#include "model/json_codec.h"
#include "model/json_struct.h"
#include "base/string_hash.h"
#include "storage/atomic_file.h"
#include "base/coding.h"

namespace vesk {

namespace {

struct LogFrame {
  std::string id;
  std::vector<float> v;
};

}  // namespace

template <>
struct JsonCodec<LogFrame> : JsonStructCodec<LogFrame> {
  static const JsonStruct<LogFrame>& fields() {
    static const JsonStruct<LogFrame> s("struct LogFrame",
                                        {json_field<&LogFrame::id>("id"), json_field<&LogFrame::v>("v")});
    return s;
  }
};

namespace {

using StagedVectors = StringKeyMap<std::vector<float>>;

uint32_t crc32_of(std::string_view bytes) {
  return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

void write_vector(JsonWriter& w, std::span<const float> v) {
  w.begin_array();
  for (float x : v) w.f32(x);
  w.end_array();
}

Status check_finite(std::span<const float> v) {
  if (v.empty()) return Status::Value(std::string(kEmbeddingNotFiniteMessage));
  for (float x : v)
    if (!std::isfinite(x)) return Status::Value(std::string(kEmbeddingNotFiniteMessage));
  return Status::Ok();
}

// The invariants every stored set of vectors keeps.
Status check_vectors(const StagedVectors& vectors) {
  for (const auto& [id, v] : vectors) VESK_RETURN_IF_ERROR(check_finite(v));
  size_t dim = 0;
  for (const auto& [id, v] : vectors) {
    if (dim == 0) dim = v.size();
    if (v.size() != dim) return Status::Value(std::string(kEmbeddingDimensionMessage));
  }
  return Status::Ok();
}

// The applied frames of a log and the end of the last one.
struct Replay {
  uint64_t frames = 0;
  uint64_t end = 0;
};

// The frames are found by their headers, decoded side by side, then applied
// in log order up to the first that fails its checksum, its unsealing or its
// parse: exactly where a frame-by-frame replay stops.
Replay replay_log(std::string_view log, const SecretKey* key, StagedVectors& vectors) {
  struct Frame {
    size_t pos;
    uint32_t n, crc;
  };
  std::vector<Frame> frames;
  for (size_t pos = 0; log.size() - pos >= kEmbeddingFrameHeaderSize;) {
    const uint32_t n = get_le<uint32_t>(log.data() + pos);
    const uint32_t crc = get_le<uint32_t>(log.data() + pos + 4);
    if (n > log.size() - pos - kEmbeddingFrameHeaderSize) break;
    frames.push_back(Frame{pos, n, crc});
    pos += kEmbeddingFrameHeaderSize + n;
  }
  std::vector<LogFrame> decoded(frames.size());
  std::vector<uint8_t> ok(frames.size(), 0);
  tbb::parallel_for(tbb::blocked_range<size_t>(0, frames.size(), 64), [&](const tbb::blocked_range<size_t>& r) {
    for (size_t i = r.begin(); i != r.end(); ++i) {
      std::string_view payload = log.substr(frames[i].pos + kEmbeddingFrameHeaderSize, frames[i].n);
      if (crc32_of(payload) != frames[i].crc) continue;
      auto text = unseal_payload(key, payload);
      if (!text.ok()) continue;
      JsonReader reader(*text);
      ok[i] = JsonCodec<LogFrame>::read(reader, decoded[i]) && reader.end();
    }
  });
  Replay r;
  for (size_t i = 0; i < frames.size() && ok[i]; ++i) {
    vectors.insert_or_assign(std::move(decoded[i].id), std::move(decoded[i].v));
    ++r.frames;
    r.end = frames[i].pos + kEmbeddingFrameHeaderSize + frames[i].n;
  }
  return r;
}

// The snapshot's object of vectors. A large one is cut into runs of whole
// members where a member ends ("],\"" before the next key) and the runs are
// parsed side by side, each as an object of its own, then merged in order (a
// later member for an id wins, as in one pass). A cut in the wrong place (the
// pattern inside a key) makes its run fail: a run can only parse when the
// one before it ended on a member. Whenever a run fails, the whole text is
// parsed again in one pass, so damaged text gets that pass's error.
Status parse_snapshot(std::string_view text, StagedVectors& out) {
  constexpr size_t kRunBytes = size_t{4} << 20;
  std::vector<size_t> starts{0};  // where each run begins; later runs at a key
  for (size_t from = kRunBytes; from < text.size(); from = starts.back() + kRunBytes) {
    const size_t at = text.find("],\"", from);
    if (at == std::string_view::npos) break;
    starts.push_back(at + 2);
  }
  if (starts.size() > 1) {
    std::vector<StagedVectors> runs(starts.size());
    std::atomic<bool> failed{false};
    tbb::parallel_for(tbb::blocked_range<size_t>(0, starts.size(), 1), [&](const tbb::blocked_range<size_t>& r) {
      for (size_t c = r.begin(); c != r.end() && !failed.load(std::memory_order_relaxed); ++c) {
        const bool last = c + 1 == starts.size();
        // Without the comma that ends the run; with braces of its own.
        const size_t end = last ? text.size() : starts[c + 1] - 1;
        std::string doc;
        doc.reserve(end - starts[c] + 2);
        if (c > 0) doc += '{';
        doc.append(text.substr(starts[c], end - starts[c]));
        if (!last) doc += '}';
        JsonReader reader(doc);
        if (!JsonCodec<StagedVectors>::read(reader, runs[c]) || !reader.end()) failed.store(true);
      }
    });
    if (!failed.load()) {
      out.clear();
      for (StagedVectors& run : runs)
        for (auto& [id, v] : run) out.insert_or_assign(id, std::move(v));
      return Status::Ok();
    }
  }
  JsonReader reader(text);
  out.clear();
  if (!JsonCodec<StagedVectors>::read(reader, out) || !reader.end()) return reader.status();
  return Status::Ok();
}

// Cuts a log back to `size` and forces it, so the dropped frames cannot come
// back and nothing appended later sits behind them.
Status cut_log(Env& env, const fs::path& path, uint64_t size) {
  auto file = env.open(path, OpenMode::kReadWrite);
  if (!file.ok()) return file.status();
  VESK_RETURN_IF_ERROR((*file)->truncate(size));
  VESK_RETURN_IF_ERROR((*file)->sync());
  return (*file)->close();
}

}  // namespace

EmbeddingStore::EmbeddingStore(const fs::path& dir, StoreKey key, Env& env)
    : path_(dir / kEmbeddingSnapshotFileName),
      log_path_(dir / kEmbeddingLogFileName),
      key_(std::move(key)),
      env_(env) {}

size_t EmbeddingStore::size() const {
  std::shared_lock lock(mu_);
  return vectors_.rows();
}

size_t EmbeddingStore::dimension() const {
  std::shared_lock lock(mu_);
  return vectors_.dim();
}

std::optional<std::vector<float>> EmbeddingStore::vector(std::string_view id) const {
  std::shared_lock lock(mu_);
  auto row = vectors_.find(id);
  if (!row) return std::nullopt;
  return vectors_.row(*row);
}

uint64_t EmbeddingStore::log_frames() const {
  std::lock_guard lock(log_mu_);
  return log_frames_;
}

Result<EmbeddingStoreLoad> load_embedding_store(const fs::path& dir, StoreKey key,
                                                const std::function<bool(std::string_view)>& record_exists,
                                                Env& env) {
  auto read = read_embedding_files(dir, std::move(key), env);
  if (!read.ok()) return read.status();
  return finish_embedding_load(std::move(read).value(), record_exists, env);
}

Result<EmbeddingFilesRead> read_embedding_files(const fs::path& dir, StoreKey key, Env& env) {
  EmbeddingFilesRead out;
  out.store.reset(new EmbeddingStore(dir, std::move(key), env));
  const EmbeddingStore& store = *out.store;
  const SecretKey* k = store.key_.get();
  StagedVectors& staged = out.vectors;
  if (env.exists(store.path_)) {
    auto bytes = env.read_file(store.path_);
    if (!bytes.ok()) return bytes.status();
    auto text = unseal_payload(k, *bytes);
    Status st = text.status();
    if (st.ok()) st = parse_snapshot(*text, staged);
    if (!st.ok()) {
      // The vectors are derived data: a damaged snapshot costs them, not the
      // store. Start over from the log.
      staged.clear();
      out.recovered_error = st.message();
    }
  }
  if (env.exists(store.log_path_)) {
    auto bytes = env.read_file(store.log_path_);
    if (!bytes.ok()) return bytes.status();
    const Replay replay = replay_log(*bytes, k, staged);
    out.frames = replay.frames;
    out.log_end = replay.end;
    out.log_size = bytes->size();
  }
  return out;
}

Result<EmbeddingStoreLoad> finish_embedding_load(EmbeddingFilesRead read,
                                                 const std::function<bool(std::string_view)>& record_exists,
                                                 Env& env) {
  EmbeddingStoreLoad out;
  std::unique_ptr<EmbeddingStore> store = std::move(read.store);
  StagedVectors& staged = read.vectors;
  out.recovered_error = std::move(read.recovered_error);
  if (read.log_end != read.log_size) {
    VESK_RETURN_IF_ERROR(cut_log(env, store->log_path_, read.log_end));
    out.log_cut = true;
  }
  Replay replay{read.frames, read.log_end};

  std::erase_if(staged, [&](const auto& entry) { return !record_exists(entry.first); });
  if (Status st = check_vectors(staged); !st.ok()) {
    staged.clear();
    out.recovered_error = st.message();
  }
  // Move the vectors into the matrix a slice at a time, so the load never
  // holds two full copies of them.
  if (!staged.empty()) store->vectors_.reserve(staged.size(), staged.begin()->second.size());
  std::vector<StagedVectors::iterator> slice;
  std::vector<std::pair<std::string_view, std::span<const float>>> rows;
  while (!staged.empty()) {
    slice.clear();
    rows.clear();
    for (auto it = staged.begin(); it != staged.end() && slice.size() < 8192; ++it) {
      slice.push_back(it);
      rows.emplace_back(it->first, it->second);
    }
    store->vectors_.set_all(rows);
    for (auto it : slice) staged.erase(it);
  }
  store->log_end_ = replay.end;
  store->log_frames_ = replay.frames;
  out.replayed_frames = replay.frames;

  if (replay.frames > 0) {
    std::unique_lock lock(store->mu_);
    VESK_RETURN_IF_ERROR(store->compact(std::nullopt));
  }
  out.store = std::move(store);
  return out;
}

Status EmbeddingStore::append_frame(std::string_view frame) {
  if (!log_file_) {
    auto file = env_.open(log_path_, OpenMode::kReadWriteCreate);
    if (!file.ok()) return file.status();
    log_file_ = std::move(file).value();
    // Appends land right behind the last good frame. Bytes beyond it (a failed
    // append whose cut-back failed too) are dropped first, so no acknowledged
    // frame ever follows bytes that the next open would stop at.
    auto size = log_file_->size();
    if (size.ok() && *size < log_end_) log_end_ = *size;
    if (size.ok() && *size > log_end_) (void)log_file_->truncate(log_end_);
  }
  Status st = log_file_->write_at(log_end_, frame);
  if (!st.ok()) {
    // Part of the frame may be in the file. Cut it back; should that fail
    // too, the next append overwrites the same range from log_end_.
    (void)log_file_->truncate(log_end_);
    return st;
  }
  log_end_ += frame.size();
  return Status::Ok();
}

Status EmbeddingStore::compact(std::optional<std::string_view> skip) {
  std::lock_guard log_lock(log_mu_);
  if (log_file_) {
    (void)log_file_->close();
    log_file_.reset();
  }
  // Rows are written as objects of their own, a block of rows per task, and
  // the members joined: the bytes one writer over all rows would give.
  const size_t rows = vectors_.rows();
  const size_t dim = vectors_.dim();
  constexpr size_t kRowsPerBlock = 1024;
  std::vector<std::string> blocks((rows + kRowsPerBlock - 1) / kRowsPerBlock);
  tbb::parallel_for(size_t{0}, blocks.size(), [&](size_t b) {
    std::string& out = blocks[b];
    const size_t end = std::min(rows, (b + 1) * kRowsPerBlock);
    out.reserve((end - b * kRowsPerBlock) * (dim * 11 + 20));
    std::vector<float> row(dim);
    JsonWriter w(out);
    w.begin_object();
    for (size_t r = b * kRowsPerBlock; r < end; ++r) {
      if (skip && vectors_.id(r) == *skip) continue;
      vectors_.copy_row(r, row.data());
      w.key(vectors_.id(r));
      write_vector(w, row);
    }
    w.end_object();
  });
  std::string text = "{";
  size_t total = 2;
  for (const std::string& b : blocks) total += b.size();
  text.reserve(total);
  for (std::string& b : blocks) {
    if (b.size() <= 2) continue;  // "{}": every row of the block skipped
    if (text.size() > 1) text += ',';
    text.append(b, 1, b.size() - 2);
    std::string().swap(b);
  }
  text += '}';
  VESK_RETURN_IF_ERROR(write_file_atomic(key_.get(), path_, text, env_));
  if (env_.exists(log_path_)) VESK_RETURN_IF_ERROR(env_.remove(log_path_));
  log_end_ = 0;
  log_frames_ = 0;
  return Status::Ok();
}

Status embedding_store_put(EmbeddingStore& store, std::string_view id, std::span<const float> vector) {
  VESK_RETURN_IF_ERROR(check_finite(vector));
  std::unique_lock lock(store.mu_);
  if (!store.vectors_.empty() && vector.size() != store.vectors_.dim())
    return Status::Value(std::string(kEmbeddingDimensionMessage));

  std::string text;
  {
    JsonWriter w(text);
    w.begin_object();
    w.key("id");
    w.string(id);
    w.key("v");
    write_vector(w, vector);
    w.end_object();
  }
  auto payload = seal_payload(store.key_.get(), text);
  if (!payload.ok()) return payload.status();
  // The frame header holds a 32-bit length.
  if (payload->size() > UINT32_MAX) return Status::Value("Embedding too large for one log frame");
  std::string frame;
  frame.reserve(kEmbeddingFrameHeaderSize + payload->size());
  put_le<uint32_t>(&frame, static_cast<uint32_t>(payload->size()));
  put_le<uint32_t>(&frame, crc32_of(*payload));
  frame.append(*payload);

  uint64_t frames;
  {
    std::lock_guard log_lock(store.log_mu_);
    VESK_RETURN_IF_ERROR(store.append_frame(frame));
    frames = ++store.log_frames_;
  }
  store.vectors_.set(id, vector);
  if (frames > std::max<uint64_t>(kEmbeddingCompactionMinFrames, store.vectors_.rows())) {
    return store.compact(std::nullopt);
  }
  return Status::Ok();
}

Status embedding_store_remove(EmbeddingStore& store, std::string_view id) {
  std::unique_lock lock(store.mu_);
  if (!store.vectors_.find(id)) return Status::Ok();
  VESK_RETURN_IF_ERROR(store.compact(id));
  store.vectors_.erase(id);
  return Status::Ok();
}

std::optional<RankedList> embedding_scores(const EmbeddingStore& store, const std::optional<std::vector<float>>& query,
                                           size_t n) {
  if (!query) return std::nullopt;
  std::shared_lock lock(store.mu_);
  const EmbeddingMatrix& m = store.vectors_;
  if (m.empty()) return std::nullopt;
  RankedList out;
  if (query->empty() || query->size() != m.dim() || n == 0) return out;

  std::vector<std::pair<float, uint32_t>> hits;
  hits.reserve(m.rows());
  m.positive_cosines(*query, hits);
  // Every kept score is above 0, so none is NaN and plain comparisons order
  // them strictly; equal scores fall back to the id.
  auto before = [&m](const std::pair<float, uint32_t>& a, const std::pair<float, uint32_t>& b) {
    if (a.first != b.first) return a.first > b.first;
    return m.id(a.second) < m.id(b.second);
  };
  if (hits.size() > n) {
    std::nth_element(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(n), hits.end(), before);
    hits.resize(n);
  }
  std::sort(hits.begin(), hits.end(), before);
  out.reserve(hits.size());
  for (const auto& [score, row] : hits) out.emplace_back(m.id(row), score);
  return out;
}

}  // namespace vesk
