#include "index/embedding_store.h"

#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <utility>

#include "index/embedding_file_reader.h"
#include "index/embedding_format.h"
#include "index/embedding_text.h"
#include "model/json_writer.h"
#include "base/string_hash.h"
#include "storage/atomic_file.h"
#include "base/coding.h"

namespace vesk {

namespace {

using StagedVectors = StringKeyMap<std::vector<float>>;

// A snapshot being written is forced each time this much more is written.
constexpr uint64_t kForceEvery = uint64_t{64} << 20;

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

// Fills the matrix of a store being loaded while every vector read keeps
// the invariants (a JSON number read as a 32-bit float is always finite, so
// that is: nonempty, and of one length). The first vector that does not
// moves all of them to a map, where they wait for the record filter before
// they are checked: a vector of a record the open drops cannot fail the
// load.
class LoadSink : public VectorRunSink {
 public:
  LoadSink(EmbeddingMatrix& matrix, std::optional<StagedVectors>& staged) : matrix_(matrix), staged_(staged) {}

  void apply(const VectorRun& run) override {
    if (!staged_) {
      if (fits(run)) {
        rows_.clear();
        for (size_t i = 0; i < run.size(); ++i) rows_.emplace_back(run.id(i), run.vector(i));
        matrix_.set_all(rows_);
        return;
      }
      staged_.emplace();
      staged_->reserve(matrix_.rows() + run.size());
      for (size_t r = 0; r < matrix_.rows(); ++r) staged_->emplace(matrix_.id(r), matrix_.row(r));
      matrix_.clear();
    }
    for (size_t i = 0; i < run.size(); ++i) {
      const std::span<const float> v = run.vector(i);
      staged_->insert_or_assign(std::string(run.id(i)), std::vector<float>(v.begin(), v.end()));
    }
  }

  void reset() override {
    matrix_.clear();
    staged_.reset();
  }

 private:
  bool fits(const VectorRun& run) const {
    size_t dim = matrix_.dim();
    for (size_t i = 0; i < run.size(); ++i) {
      const size_t n = run.vector(i).size();
      if (n == 0 || (dim != 0 && n != dim)) return false;
      dim = n;
    }
    return true;
  }

  EmbeddingMatrix& matrix_;
  std::optional<StagedVectors>& staged_;
  std::vector<std::pair<std::string_view, std::span<const float>>> rows_;
};

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

// Removes "embeddings.<anything>.tmp" beside the snapshot: the temporary
// names its atomic writes go through (atomic_temp_path).
static void remove_stale_snapshot_temps(const fs::path& snapshot, Env& env) {
  auto names = env.list_dir(snapshot.parent_path());
  if (!names.ok()) return;
  const std::string stem = snapshot.stem().string() + ".";
  for (const std::string& name : *names) {
    if (name.size() > stem.size() + 4 && name.starts_with(stem) && name.ends_with(".tmp")) {
      (void)env.remove(snapshot.parent_path() / name);
    }
  }
}

Result<EmbeddingFilesRead> read_embedding_files(const fs::path& dir, StoreKey key, Env& env) {
  EmbeddingFilesRead out;
  out.store.reset(new EmbeddingStore(dir, std::move(key), env));
  EmbeddingStore& store = *out.store;
  const SecretKey* k = store.key_.get();
  // A snapshot being written under its temporary name when the process died
  // is left behind whole (hundreds of megabytes for a large store). Nothing
  // else can be writing one: the caller holds the directory's lock.
  remove_stale_snapshot_temps(store.path_, env);
  LoadSink sink(store.vectors_, out.staged);
  if (env.exists(store.path_)) {
    // The vectors are derived data: a damaged snapshot costs them, not the
    // store. The load starts over from the log (the sink is empty again).
    auto damage = read_embedding_snapshot(store.path_, k, env, sink);
    if (!damage.ok()) return damage.status();
    out.recovered_error = std::move(*damage);
  }
  if (env.exists(store.log_path_)) {
    auto replay = replay_embedding_log(store.log_path_, k, env, sink);
    if (!replay.ok()) return replay.status();
    out.frames = replay->frames;
    out.log_end = replay->end;
    out.log_size = replay->size;
  }
  // A load that applied frames compacts, and the snapshot it writes is known
  // now unless the record filter drops a vector: it is written and forced
  // here, beside the rest of the open, under its temporary name. The load
  // puts it in place after cutting the log, so the store's files change in
  // the same order.
  if (out.frames > 0 && !out.staged) out.prepared_snapshot = store.stage_snapshot(std::nullopt);
  return out;
}

Result<EmbeddingStoreLoad> finish_embedding_load(EmbeddingFilesRead read,
                                                 const std::function<bool(std::string_view)>& record_exists,
                                                 Env& env) {
  EmbeddingStoreLoad out;
  std::unique_ptr<EmbeddingStore> store = std::move(read.store);
  out.recovered_error = std::move(read.recovered_error);
  if (read.log_end != read.log_size) {
    VESK_RETURN_IF_ERROR(cut_log(env, store->log_path_, read.log_end));
    out.log_cut = true;
  }

  size_t dropped = 0;
  if (!read.staged) {
    // Every vector read keeps the invariants, and so does any subset.
    dropped = store->vectors_.retain(record_exists);
  } else {
    StagedVectors& staged = *read.staged;
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
  }
  store->log_end_ = read.log_end;
  store->log_frames_ = read.frames;
  out.replayed_frames = read.frames;

  if (read.frames > 0) {
    // The staged snapshot holds every vector read: it is the compaction's
    // when none was dropped (and so is a failure to stage it).
    std::unique_ptr<StagedFile> prepared;
    if (read.prepared_snapshot && dropped == 0) {
      if (!read.prepared_snapshot->ok()) return read.prepared_snapshot->status();
      prepared = std::move(*read.prepared_snapshot).value();
    }
    read.prepared_snapshot.reset();
    std::unique_lock lock(store->mu_);
    VESK_RETURN_IF_ERROR(store->compact(std::nullopt, std::move(prepared)));
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

Status EmbeddingStore::compact(std::optional<std::string_view> skip, std::unique_ptr<StagedFile> prepared) {
  std::lock_guard log_lock(log_mu_);
  if (log_file_) {
    (void)log_file_->close();
    log_file_.reset();
  }
  if (!prepared) {
    auto staged = stage_snapshot(skip);
    if (!staged.ok()) return staged.status();
    prepared = std::move(staged).value();
  }
  VESK_RETURN_IF_ERROR(prepared->publish());
  if (env_.exists(log_path_)) VESK_RETURN_IF_ERROR(env_.remove(log_path_));
  log_end_ = 0;
  log_frames_ = 0;
  return Status::Ok();
}

Result<std::unique_ptr<StagedFile>> EmbeddingStore::stage_snapshot(std::optional<std::string_view> skip) {
  std::unique_ptr<StagedFile> file;
  const size_t rows = vectors_.rows();
  if (!key_) {
    auto staged = stage_file_atomic(path_, env_);
    if (!staged.ok()) return staged.status();
    file = std::move(staged).value();
    // Forcing hundreds of megabytes at the end would take about as long
    // again as writing them: force them along the way.
    file->force_along(kForceEvery);
  }
  std::string text;  // the whole text, for sealing
  Status st;
  std::atomic<bool> failed{false};
  auto emit = [&](std::string_view bytes) {
    if (!st.ok()) return;
    if (!file) {
      text.append(bytes);
      return;
    }
    st = file->append(bytes);
    if (!st.ok()) failed = true;
  };

  // Blocks enter and leave the pipeline in order, so the blocks in flight are
  // consecutive and block b can use buffer b % tokens.
  constexpr size_t kRowsPerBlock = 256;
  const size_t blocks = (rows + kRowsPerBlock - 1) / kRowsPerBlock;
  const size_t tokens = 2 * static_cast<size_t>(tbb::this_task_arena::max_concurrency()) + 2;
  struct Block {
    size_t index = 0;
    std::string text;
  };
  std::vector<Block> buffers(tokens);
  size_t next = 0;
  bool any = false;
  emit("{");
  tbb::parallel_pipeline(
      tokens,
      tbb::make_filter<void, Block*>(tbb::filter_mode::serial_in_order,
                                     [&](tbb::flow_control& fc) -> Block* {
                                       if (next == blocks || failed.load(std::memory_order_relaxed)) {
                                         fc.stop();
                                         return nullptr;
                                       }
                                       Block* b = &buffers[next % tokens];
                                       b->index = next++;
                                       return b;
                                     }) &
          tbb::make_filter<Block*, Block*>(tbb::filter_mode::parallel,
                                           [&](Block* b) {
                                             b->text.clear();
                                             const size_t begin = b->index * kRowsPerBlock;
                                             append_snapshot_members(vectors_, begin,
                                                                     std::min(rows, begin + kRowsPerBlock), skip,
                                                                     b->text);
                                             return b;
                                           }) &
          tbb::make_filter<Block*, void>(tbb::filter_mode::serial_in_order, [&](Block* b) {
            if (b->text.empty()) return;  // every row of the block skipped
            if (std::exchange(any, true)) emit(",");
            emit(b->text);
          }));
  emit("}");
  if (!st.ok()) return st;
  if (!file) {
    // Sealed whole, then the same steps as a plain snapshot's.
    auto sealed = seal_payload(key_.get(), text);
    if (!sealed.ok()) return sealed.status();
    std::string().swap(text);
    auto staged = stage_file_atomic(path_, env_);
    if (!staged.ok()) return staged.status();
    file = std::move(staged).value();
    VESK_RETURN_IF_ERROR(file->append(*sealed));
  }
  VESK_RETURN_IF_ERROR(file->finish());
  return file;
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

namespace {

using RowScore = std::pair<float, uint32_t>;

// Listing a candidate costs a lookup of its row (a prefetched probe of the
// flat index), counted generously as the scan's time for this many stored
// floats (the scan reads a float in about 0.3 ns; in bench/embedding_bench,
// 10,000 listed ids stored side by side are looked up and scored in under a
// tenth of the time of the scan of all 100,000).
constexpr size_t kListedIdCostInFloats = 256;

// Whether reading only the listed candidates' vectors costs less than
// scanning every vector, even when each of them lies in a block of its own:
// a block of eight rows is read whole.
bool listing_pays(size_t listed, const EmbeddingMatrix& m) {
  return listed < m.rows() * m.dim() / (EmbeddingMatrix::kLanes * m.dim() + kListedIdCostInFloats);
}

// The order of the ranking. Every kept score is above 0, so none is NaN and
// plain comparisons order them strictly; equal scores fall back to the id.
struct RankBefore {
  const EmbeddingMatrix& m;
  bool operator()(const RowScore& a, const RowScore& b) const {
    if (a.first != b.first) return a.first > b.first;
    return m.id(a.second) < m.id(b.second);
  }
};

// The first n hits in the ranking order, in that order.
void keep_first(std::vector<RowScore>& hits, size_t n, const RankBefore& before) {
  if (hits.size() > n) {
    std::nth_element(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(n), hits.end(), before);
    hits.resize(n);
  }
  std::sort(hits.begin(), hits.end(), before);
}

// The first n hits that `accepts` takes, in the ranking order. The best
// hits are ordered a stretch at a time and tested in that order, the first
// stretch sized for the share of the vectors the candidates hold (`first`),
// each later one twice as long, so that a test runs for about as many hits
// as it takes to find n accepted ones.
void keep_first_accepted(std::vector<RowScore>& hits, size_t n, size_t first, const RankBefore& before,
                         const std::function<bool(std::string_view)>& accepts) {
  size_t kept = 0, begin = 0, stretch = std::max(first, n);
  while (kept < n && begin < hits.size()) {
    const size_t end = hits.size() - begin > stretch ? begin + stretch : hits.size();
    const auto from = hits.begin() + static_cast<ptrdiff_t>(begin);
    const auto to = hits.begin() + static_cast<ptrdiff_t>(end);
    if (to != hits.end()) std::nth_element(from, to, hits.end(), before);
    std::sort(from, to, before);
    for (size_t i = begin; i < end && kept < n; ++i)
      if (accepts(before.m.id(hits[i].second))) hits[kept++] = hits[i];
    begin = end;
    stretch = stretch > SIZE_MAX / 2 ? SIZE_MAX : stretch * 2;
  }
  hits.resize(kept);
}

}  // namespace

std::optional<RankedList> embedding_scores(const EmbeddingStore& store, const std::optional<std::vector<float>>& query,
                                           size_t n, const EmbeddingCandidates* candidates) {
  if (!query) return std::nullopt;
  std::shared_lock lock(store.mu_);
  const EmbeddingMatrix& m = store.vectors_;
  if (m.empty()) return std::nullopt;
  RankedList out;
  if (query->empty() || query->size() != m.dim() || n == 0) return out;

  const RankBefore before{m};
  std::vector<RowScore> hits;
  if (!candidates) {
    hits.reserve(m.rows());
    m.positive_cosines(*query, hits);
    keep_first(hits, n, before);
  } else if (candidates->list && listing_pays(candidates->listed, m)) {
    std::vector<std::string_view> ids;
    ids.reserve(candidates->listed);
    candidates->list([&ids](std::string_view id) { ids.push_back(id); });
    // Each lookup is a cache miss or two: they overlap when every id is
    // prefetched this many lookups ahead.
    constexpr size_t kAhead = 16;
    std::vector<uint8_t> lanes(m.blocks(), 0);
    size_t selected = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (i + kAhead < ids.size()) m.prefetch(ids[i + kAhead]);
      if (std::optional<uint32_t> row = m.find(ids[i])) {
        lanes[*row / EmbeddingMatrix::kLanes] |= static_cast<uint8_t>(1u << (*row % EmbeddingMatrix::kLanes));
        ++selected;
      }
    }
    hits.reserve(selected);
    m.positive_cosines(*query, lanes, hits);
    keep_first(hits, n, before);
  } else {
    hits.reserve(m.rows());
    m.positive_cosines(*query, hits);
    // Candidates holding a fifth of the vectors are found, on average, among
    // the first 5n hits; one more n leaves room for chance.
    size_t first = n;
    if (candidates->listed > 0) {
      const size_t share = m.rows() / candidates->listed + 1;
      first = n > SIZE_MAX / share ? SIZE_MAX : n * share;
    }
    keep_first_accepted(hits, n, first, before, candidates->accepts);
  }
  out.reserve(hits.size());
  for (const auto& [score, row] : hits) out.emplace_back(m.id(row), score);
  return out;
}

}  // namespace vesk
