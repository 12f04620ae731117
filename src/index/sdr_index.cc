#include "index/sdr_index.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <unordered_set>

#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include "base/trace.h"
#include "index/index_manifest.h"
#include "index/overlap_counts.h"
#include "index/sdr_index_format.h"

namespace vesk {

namespace {
constexpr uint32_t kPositions = 65536;
// How many positions ahead an insert prefetches its posting lists.
constexpr size_t kAhead = 16;
}  // namespace

template <class F>
void SdrIndex::for_each_present(F&& f) const {
  for (uint32_t w = 0; w < kPositions / 64; ++w)
    for (uint64_t bits = present_[w]; bits; bits &= bits - 1)
      f(static_cast<uint16_t>(w * 64 + static_cast<uint32_t>(std::countr_zero(bits))));
}

void SdrIndex::FreeLists::operator()(PostingList* l) const { std::free(l); }

void SdrIndex::FreeBuckets::operator()(QueueBucket* b) const {
  for (size_t h = 0; h < 256; ++h) std::free(b[h].entries);
  delete[] b;
}

SdrIndex::QueueBatch::QueueBatch() : buckets(new QueueBucket[256]) { docs.reserve(kQueueMax); }

SdrIndex::SdrIndex()
    : lists_(static_cast<PostingList*>(std::calloc(kPositions, sizeof(PostingList)))) {
  if (!lists_) throw std::bad_alloc();
}

SdrIndex::SdrIndex(std::string index_dir, Env& env)
    : dir_(std::move(index_dir)),
      env_(&env),
      lists_(static_cast<PostingList*>(std::calloc(kPositions, sizeof(PostingList)))) {
  if (!lists_) throw std::bad_alloc();
}

SdrIndex::~SdrIndex() {
  {
    std::lock_guard q(queue_mu_);
    stopping_ = true;
  }
  poster_wake_.notify_all();
  if (poster_.joinable()) poster_.join();
  for_each_present([this](uint16_t p) { lists_[p].release(memory_); });
}

std::vector<uint32_t> SdrIndex::postings(uint16_t p) const {
  post_queued();
  std::shared_lock bl(bitmaps_mu_);
  std::vector<uint32_t> docs;
  if (present(p)) lists_[p].for_each([&docs](uint32_t d) { docs.push_back(d); });
  return docs;
}

void SdrIndex::clear() {
  std::unique_lock ids(ids_mu_);
  std::unique_lock bl(bitmaps_mu_);
  clear_locked();
}

void SdrIndex::clear_locked() {
  id_map_.clear();
  reverse_.clear();
  for_each_present([this](uint16_t p) { lists_[p].release(memory_); });
  std::fill(std::begin(present_), std::end(present_), 0);
  {
    // The poster waits for bitmaps_mu_, held here: it finds nothing sealed.
    std::lock_guard q(queue_mu_);
    filling_.clear();
    sealed_.clear();
    unposted_.store(0, std::memory_order_release);
  }
  next_doc_id_ = 0;
  ++version_;
  ++edits_;
}

namespace {

bool strictly_ascending(const Sdr& s) {
  for (size_t i = 1; i < s.size(); ++i)
    if (s[i] <= s[i - 1]) return false;
  return true;
}

SharedSdr normalised(const SharedSdr& sdr) {
  if (!sdr || strictly_ascending(*sdr)) return sdr;
  auto copy = std::make_shared<Sdr>(*sdr);
  std::sort(copy->begin(), copy->end());
  copy->erase(std::unique(copy->begin(), copy->end()), copy->end());
  return copy;
}

}  // namespace

void SdrIndex::insert(std::string_view id, const SharedSdr& given) {
  const SharedSdr sdr = normalised(given);
  std::unique_lock ids(ids_mu_);
  uint32_t d;
  bool fresh;
  auto it = id_map_.find(id);
  if (it != id_map_.end()) {
    d = it->second;
    fresh = false;
  } else {
    // Document numbers are never reused; once all 2^32 - 1 have been handed
    // out a new id is not indexed.
    if (next_doc_id_ == UINT32_MAX) return;
    d = next_doc_id_++;
    fresh = true;
    auto [pos, ok] = id_map_.emplace(std::string(id), d);
    reverse_[d] = &pos->first;
  }
  if (fresh || (sdr && !sdr->empty())) ++edits_;
  if (!sdr || sdr->empty()) return;
  if (fresh) {
    std::unique_lock q(queue_mu_);
    filling_.push_back(Queued{d, sdr});
    unposted_.fetch_add(1, std::memory_order_release);
    if (filling_.size() < kPostBatch) return;
    if (sealed_.empty() && poster_running_locked()) {
      std::swap(filling_, sealed_);
      q.unlock();
      poster_wake_.notify_one();
      return;
    }
    // The poster is behind (or there is none): past the limit, post here.
    if (filling_.size() < kQueueMax && !poster_failed_) return;
    q.unlock();
    std::unique_lock bl(bitmaps_mu_);
    post_all_locked();
    return;
  }
  std::unique_lock bl(bitmaps_mu_);
  ++version_;
  // Adding to a posted document needs every earlier posting in place.
  post_all_locked();
  const uint16_t* p = sdr->data();
  const size_t n = sdr->size();
  PostingList* lists = lists_.get();
  for (size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) __builtin_prefetch(&lists[p[i + kAhead]], 1);
    list_for_insert(p[i]).add(d, memory_);
  }
}

void SdrIndex::post_queued() const {
  if (unposted_.load(std::memory_order_acquire) == 0) return;
  std::unique_lock bl(bitmaps_mu_);
  post_all_locked();
}

void SdrIndex::post_all_locked() const {
  std::lock_guard q(queue_mu_);
  for (std::vector<Queued>* pending : {&sealed_, &filling_}) {
    if (pending->empty()) continue;
    post_batch_locked(*pending);
    pending->clear();
  }
  unposted_.store(0, std::memory_order_release);
}

bool SdrIndex::poster_running_locked() {
  if (poster_.joinable()) return true;
  if (poster_failed_) return false;
  try {
    poster_ = std::thread([this] { poster_loop(); });
  } catch (const std::system_error&) {
    poster_failed_ = true;
  }
  return poster_.joinable();
}

void SdrIndex::poster_loop() {
  for (;;) {
    {
      std::unique_lock q(queue_mu_);
      poster_wake_.wait(q, [this] { return stopping_ || !sealed_.empty(); });
      if (stopping_) return;
    }
    std::unique_lock bl(bitmaps_mu_);
    {
      // A reader may have posted it meanwhile.
      std::lock_guard q(queue_mu_);
      if (sealed_.empty()) continue;
    }
    post_batch_locked(sealed_);
    std::lock_guard q(queue_mu_);
    unposted_.fetch_sub(static_cast<uint32_t>(sealed_.size()), std::memory_order_release);
    sealed_.clear();
  }
}

void SdrIndex::QueueBatch::add(uint32_t doc, const Sdr& sdr) {
  const uint16_t place = static_cast<uint16_t>(docs.size() << 8);
  docs.push_back(doc);
  const uint16_t* p = sdr.data();
  const size_t n = sdr.size();
  for (size_t i = 0; i < n;) {
    const uint32_t h = p[i] >> 8;
    size_t j = i + 1;
    while (j < n && (p[j] >> 8) == h) ++j;
    QueueBucket& b = buckets[h];
    const uint32_t need = b.size + static_cast<uint32_t>(j - i);
    if (need > b.cap) {
      const uint32_t cap = std::max({need, b.cap * 2, 256u});
      void* grown = std::realloc(b.entries, size_t{cap} * 2);
      if (!grown) throw std::bad_alloc();
      b.entries = static_cast<uint16_t*>(grown);
      b.cap = cap;
    }
    uint16_t* out = b.entries + b.size;
    for (size_t k = i; k < j; ++k) *out++ = static_cast<uint16_t>(place | (p[k] & 0xff));
    b.size = need;
    i = j;
  }
}

// A batch is posted bucket by bucket: each appends to its 256 lists, whose
// heads (32 KB) stay in cache meanwhile; batch order keeps every list's
// appends ascending. The memory a list's buffer moves into is scattered over
// the heap: while one bucket is appended, the lists of the next are read,
// marked present, and the chunk ends their buffers will move into are
// prefetched.
void SdrIndex::post_batch_locked(const std::vector<Queued>& queued) const {
  static_assert(kQueueMax <= 256);
  ++version_;
  QueueBatch& batch = batch_;
  batch.docs.clear();
  for (const Queued& q : queued) batch.add(q.doc, *q.sdr);
  PostingList* const lists = lists_.get();
  const uint32_t* const docs = batch.docs.data();
  const uint32_t first_doc = docs[0];
  auto prepare = [&](uint32_t h) {
    const QueueBucket& b = batch.buckets[h];
    std::array<uint16_t, 256> appends{};
    for (uint32_t k = 0; k < b.size; ++k) ++appends[b.entries[k] & 0xff];
    PostingList* base = lists + (h << 8);
    uint64_t* present = present_ + h * 4;
    for (uint32_t lo = 0; lo < 256; ++lo) {
      if (!appends[lo]) continue;
      present[lo >> 6] |= uint64_t{1} << (lo & 63);
      if (base[lo].appends_flush(appends[lo])) base[lo].prefetch_append_target(first_doc);
    }
  };
  prepare(0);
  for (uint32_t h = 0; h < 256; ++h) {
    if (h + 1 < 256) prepare(h + 1);
    QueueBucket& b = batch.buckets[h];
    PostingList* base = lists + (h << 8);
    for (uint32_t k = 0; k < b.size; ++k) {
      const uint16_t e = b.entries[k];
      base[e & 0xff].append(docs[e >> 8], memory_);
    }
    b.size = 0;
  }
}

void SdrIndex::remove(std::string_view id) {
  std::unique_lock ids(ids_mu_);
  auto it = id_map_.find(id);
  if (it == id_map_.end()) return;
  const uint32_t d = it->second;
  reverse_.erase(d);
  id_map_.erase(it);
  ++edits_;
  std::unique_lock bl(bitmaps_mu_);
  ++version_;
  post_all_locked();
  // The index keeps no record's positions: every list is asked, in groups
  // whose memory is fetched together, a step of the lookup at a time (the
  // chunk tables, the skip entries, the blocks).
  constexpr size_t kGroup = 32;
  uint16_t group[kGroup];
  size_t n = 0;
  auto remove_group = [&] {
    for (int step = 0; step < 3; ++step)
      for (size_t i = 0; i < n; ++i) lists_[group[i]].prefetch_lookup(d, step);
    for (size_t i = 0; i < n; ++i) lists_[group[i]].remove(d, memory_);
    n = 0;
  };
  for_each_present([&](uint16_t p) {
    group[n++] = p;
    if (n == kGroup) remove_group();
  });
  remove_group();
}

void SdrIndex::clear_positions(std::string_view id, std::span<const uint16_t> positions) {
  std::unique_lock ids(ids_mu_);
  auto it = id_map_.find(id);
  if (it == id_map_.end()) return;
  const uint32_t d = it->second;
  ++edits_;
  std::unique_lock bl(bitmaps_mu_);
  ++version_;
  // A record still queued is posted first, so its lists can be asked.
  post_all_locked();
  for (uint16_t p : positions)
    if (present(p)) lists_[p].remove(d, memory_);
}

Status SdrIndex::save_to(ByteSink& manifest, ByteSink& sdr_idx) const {
  // While the id map is held no insert can queue anything, so the queue
  // posted here stays empty: a saved id always has its postings, and
  // searches go on during the save.
  std::shared_lock ids(ids_mu_);
  post_queued();
  std::shared_lock bl(bitmaps_mu_);
  IndexManifest m;
  m.next_doc_id = next_doc_id_;
  m.id_map.reserve(id_map_.size());
  for (const auto& [id, d] : id_map_) m.id_map.emplace_back(id, d);
  VESK_RETURN_IF_ERROR(manifest.append(encode_index_manifest(m)));
  // The lists are encoded on several threads and written in position order
  // by this one.
  std::vector<uint16_t> positions;
  for_each_present([&](uint16_t p) { positions.push_back(p); });
  struct Batch {
    size_t begin = 0, end = 0;  // into `positions`
    std::string records;
  };
  // Enough postings per batch that a thread's share of the work outweighs
  // handing it over.
  constexpr uint64_t kBatchPostings = uint64_t{1} << 18;
  size_t next = 0;
  Status st;
  std::atomic<bool> failed{false};
  auto take = [&](tbb::flow_control& fc) -> std::shared_ptr<Batch> {
    if (next == positions.size() || failed.load(std::memory_order_relaxed)) {
      fc.stop();
      return nullptr;
    }
    auto batch = std::make_shared<Batch>();
    batch->begin = next;
    for (uint64_t postings = 0; next < positions.size() && postings < kBatchPostings; ++next)
      postings += lists_[positions[next]].cardinality() + 1;
    batch->end = next;
    return batch;
  };
  auto encode = [&](std::shared_ptr<Batch> batch) {
    std::string bitmap;
    for (size_t i = batch->begin; i < batch->end; ++i) {
      bitmap.clear();
      lists_[positions[i]].encode_portable(bitmap);
      append_sdr_idx_header(batch->records, positions[i], bitmap.size());
      batch->records += bitmap;
    }
    return batch;
  };
  auto write = [&](std::shared_ptr<Batch> batch) {
    if (!st.ok()) return;
    st = sdr_idx.append(batch->records);
    if (!st.ok()) failed.store(true, std::memory_order_relaxed);
  };
  // Isolated: while it waits, this thread (which holds the index's locks)
  // runs only the save's own work.
  tbb::this_task_arena::isolate([&] {
    tbb::parallel_pipeline(2 * static_cast<size_t>(tbb::this_task_arena::max_concurrency()),
                           tbb::make_filter<void, std::shared_ptr<Batch>>(tbb::filter_mode::serial_in_order, take) &
                               tbb::make_filter<std::shared_ptr<Batch>, std::shared_ptr<Batch>>(
                                   tbb::filter_mode::parallel, encode) &
                               tbb::make_filter<std::shared_ptr<Batch>, void>(tbb::filter_mode::serial_in_order, write));
  });
  return st;
}

Status SdrIndex::save() const {
  if (!env_) return Status::Runtime("the SDR index has no directory");
  Env& env = *env_;
  const fs::path dir(dir_), manifest_path = dir / kIndexManifestFile, sdr_path = dir / kSdrIdxFile;
  // A session that changed nothing (a read-only one) leaves the files as
  // they are: at a million records they are gigabytes.
  uint64_t edits;
  {
    std::shared_lock ids(ids_mu_);
    edits = edits_;
    if (files_edits_.load() == edits && env.exists(manifest_path) && env.exists(sdr_path)) return Status::Ok();
  }
  VESK_RETURN_IF_ERROR(env.create_dirs(dir));
  auto manifest = StagedFile::open(dir / (std::string(kIndexManifestFile) + ".tmp"), manifest_path,
                                   OpenMode::kWriteTruncate, env);
  if (!manifest.ok()) return manifest.status();
  auto sdr = StagedFile::open(dir / (std::string(kSdrIdxFile) + ".tmp"), sdr_path, OpenMode::kWriteTruncate, env);
  if (!sdr.ok()) return sdr.status();
  StagedFileSink manifest_sink(**manifest), sdr_sink(**sdr);
  VESK_RETURN_IF_ERROR(save_to(manifest_sink, sdr_sink));
  // Both temporaries are complete and on stable storage before either
  // target is replaced.
  VESK_RETURN_IF_ERROR((*manifest)->finish());
  VESK_RETURN_IF_ERROR((*sdr)->finish());
  VESK_RETURN_IF_ERROR((*sdr)->publish());
  VESK_RETURN_IF_ERROR((*manifest)->publish());
  // Changes made while the files were written may or may not be in them.
  std::shared_lock ids(ids_mu_);
  files_edits_.store(edits_ == edits ? edits : kFilesDiffer);
  return Status::Ok();
}

Status SdrIndex::load() {
  if (!env_) return Status::Runtime("the SDR index has no directory");
  Env& env = *env_;
  const fs::path dir(dir_), manifest_path = dir / kIndexManifestFile, sdr_path = dir / kSdrIdxFile;
  if (!env.exists(manifest_path) || !env.exists(sdr_path)) return Status::Ok();
  auto manifest = env.read_file(manifest_path);
  if (!manifest.ok()) return manifest.status();
  auto sdr = FileSource::open(sdr_path, env);
  if (!sdr.ok()) return sdr.status();
  VESK_RETURN_IF_ERROR(load_from(*manifest, **sdr));
  std::shared_lock ids(ids_mu_);
  files_edits_.store(edits_);
  return Status::Ok();
}

Status SdrIndex::load_from(std::string_view manifest_bytes, ByteSource& sdr_idx) {
  auto parsed = parse_index_manifest(manifest_bytes);
  if (!parsed.ok()) return parsed.status();
  const IndexManifest& m = *parsed;
  std::unique_lock ids(ids_mu_);
  std::unique_lock bl(bitmaps_mu_);
  clear_locked();
  ++version_;
  {
    std::unordered_set<uint32_t> seen;
    seen.reserve(m.id_map.size());
    for (const auto& [id, d] : m.id_map) {
      if (d >= m.next_doc_id)
        return Status::Runtime("index manifest: document number " + std::to_string(d) + " of '" + id +
                               "' is not below next_doc_id");
      if (!seen.insert(d).second)
        return Status::Runtime("index manifest: document number " + std::to_string(d) + " is given twice");
    }
  }
  next_doc_id_ = m.next_doc_id;
  id_map_.reserve(m.id_map.size());
  reverse_.reserve(m.id_map.size());
  for (const auto& [id, d] : m.id_map) {
    auto [pos, ok] = id_map_.emplace(id, d);
    reverse_[d] = &pos->first;
  }
  // The bitmaps are decoded on several threads while the file is read on
  // this one; they are taken into the lists in file order, so a damaged
  // record stops the load exactly where a plain loop would.
  SdrIdxReader reader(sdr_idx);
  struct Bitmap {
    uint16_t position = 0;
    std::string bytes;
    Status decoded;
    std::vector<PostingList::Chunk> chunks;
  };
  struct Batch {
    std::vector<Bitmap> bitmaps;
    Status read;  // the error that ended the reading after these bitmaps
    ~Batch() {
      for (const Bitmap& b : bitmaps) PostingList::release_chunks(b.chunks);
    }
  };
  // Enough bitmaps per batch that a thread's share of the work outweighs
  // handing it over.
  constexpr size_t kBatchBytes = size_t{1} << 20;
  bool reading = true;
  std::atomic<bool> failed{false};
  Status result;
  auto read = [&](tbb::flow_control& fc) -> std::shared_ptr<Batch> {
    if (!reading || failed.load(std::memory_order_relaxed)) {
      fc.stop();
      return nullptr;
    }
    auto batch = std::make_shared<Batch>();
    for (size_t bytes = 0; bytes < kBatchBytes;) {
      Bitmap b;
      auto more = reader.next(b.position, b.bytes);
      if (!more.ok()) batch->read = more.status();
      if (!more.ok() || !*more) {
        reading = false;
        break;
      }
      bytes += b.bytes.size() + 64;
      batch->bitmaps.push_back(std::move(b));
    }
    return batch;
  };
  auto decode = [&](std::shared_ptr<Batch> batch) {
    for (Bitmap& b : batch->bitmaps) {
      if (failed.load(std::memory_order_relaxed)) break;
      b.decoded = PostingList::decode_chunks(b.bytes, b.chunks);
      std::string().swap(b.bytes);
    }
    return batch;
  };
  auto take = [&](std::shared_ptr<Batch> batch) {
    for (Bitmap& b : batch->bitmaps) {
      if (!result.ok()) return;
      if (!b.decoded.ok()) {
        result = Status::Runtime("sdr.idx: position " + std::to_string(b.position) + ": " + b.decoded.message());
        failed.store(true, std::memory_order_relaxed);
        return;
      }
      PostingList decoded;
      std::memset(static_cast<void*>(&decoded), 0, sizeof decoded);
      decoded.adopt(b.chunks, memory_);
      b.chunks.clear();
      if (!decoded.empty()) {
        const uint32_t max = decoded.maximum();
        if (max >= next_doc_id_) {
          decoded.release(memory_);
          clear_locked();
          result = Status::Runtime("sdr.idx: position " + std::to_string(b.position) + " holds document number " +
                                   std::to_string(max) + ", not below next_doc_id");
          failed.store(true, std::memory_order_relaxed);
          return;
        }
      }
      PostingList& l = list_for_insert(b.position);
      l.release(memory_);
      l = decoded;
    }
    if (!batch->read.ok() && result.ok()) result = batch->read;
  };
  // Isolated: while it waits, this thread (which holds the index's locks)
  // runs only the load's own work.
  tbb::this_task_arena::isolate([&] {
    tbb::parallel_pipeline(2 * static_cast<size_t>(tbb::this_task_arena::max_concurrency()),
                           tbb::make_filter<void, std::shared_ptr<Batch>>(tbb::filter_mode::serial_in_order, read) &
                               tbb::make_filter<std::shared_ptr<Batch>, std::shared_ptr<Batch>>(
                                   tbb::filter_mode::parallel, decode) &
                               tbb::make_filter<std::shared_ptr<Batch>, void>(tbb::filter_mode::serial_in_order, take));
  });
  return result;
}

SdrIndex::Contents SdrIndex::contents() const {
  std::shared_lock ids(ids_mu_);
  post_queued();
  std::shared_lock bl(bitmaps_mu_);
  Contents c;
  c.next_doc_id = next_doc_id_;
  for (const auto& [id, d] : id_map_) c.id_map.emplace(id, d);
  for (const auto& [d, id] : reverse_) c.reverse.emplace(d, *id);
  for_each_present([&](uint16_t p) {
    auto& v = c.bitmaps[p];
    lists_[p].for_each([&v](uint32_t d) { v.push_back(d); });
    std::sort(v.begin(), v.end());
  });
  return c;
}

std::optional<uint32_t> SdrIndex::doc_of(std::string_view id) const {
  std::shared_lock ids(ids_mu_);
  auto it = id_map_.find(id);
  if (it == id_map_.end()) return std::nullopt;
  return it->second;
}

size_t SdrIndex::size() const {
  std::shared_lock ids(ids_mu_);
  return id_map_.size();
}

// ---------------------------------------------------------------------------
// Search

namespace {

struct Hit {
  std::string_view id;  // the resolved id: an id map value or the search's own copy
  float score;
  const Record* rec;
  uint64_t hash = 0;  // content_hash of the record, for the hits that need it
};

struct QueryBits {
  alignas(64) uint64_t words[1024] = {};
  void set(const Sdr& q) {
    for (uint16_t p : q) words[p >> 6] |= uint64_t{1} << (p & 63);
  }
  void clear(const Sdr& q) {
    for (uint16_t p : q) words[p >> 6] = 0;
  }
  // The stored positions set in the query (sdr_count.h).
  size_t overlap(const PackedSdr& s) const { return count_positions_in(words, s); }
};

// What one search keeps from pass to pass, and what a thread keeps from
// search to search (the buffers).
struct SearchState {
  OverlapCounts counts;
  QueryBits qbits;
  // The posting lists in `counts` and the index state they were read in.
  std::vector<uint16_t> counted;  // positions, ascending
  bool valid = false;
  uint64_t version = 0;
  uint32_t n_docs = 0;
  // Per pass.
  std::vector<std::pair<uint32_t, uint32_t>> ranked;  // (document, count)
  std::string id_bytes;
  std::vector<std::pair<size_t, size_t>> id_spans;  // into id_bytes
  struct Visible {
    std::string_view x, resolved;
    const Record* rec;
    const PackedSdr* stored;
  };
  std::vector<Visible> visible;
};

size_t bitmap_limit(size_t budget) { return budget <= 10 ? 128 : budget <= 50 ? 256 : 512; }

// The calling thread's search state. Out of line so that the compiler takes
// the reference once instead of recomputing the thread-local address (a call
// in a shared library) inside the loops that use it.
[[gnu::noinline]] SearchState& thread_search_state() {
  static thread_local SearchState state;
  return state;
}

}  // namespace

class SdrSearch {
 public:
  // One pass; returns the hits and sets `resolved` (R).
  static void pass(const SdrIndex& index, const Sdr& q, SearchState& st, size_t budget, const SdrLookup& log_sdrs,
                   const IdMapLookup& id_map, const RecordLookup& records, std::span<const std::string> namespaces,
                   std::vector<Hit>& hits, SdrSearchPass& info) {
    hits.clear();
    uint32_t n_docs;
    {
      std::shared_lock ids(index.ids_mu_);
      n_docs = index.next_doc_id_;
    }
    index.post_queued();
    {
      std::shared_lock bl(index.bitmaps_mu_);
      std::vector<uint16_t> kept;
      kept.reserve(q.size());
      for (uint16_t p : q)
        if (index.present(p)) kept.push_back(p);
      if (kept.empty()) return;
      const size_t limit = bitmap_limit(budget);
      if (kept.size() > limit) {
        // The rarest first; which of equally rare bitmaps straddling the
        // limit survive is the selection's own choice.
        std::vector<std::pair<uint64_t, uint16_t>> by_card;
        by_card.reserve(kept.size());
        for (uint16_t p : kept) by_card.emplace_back(index.lists_[p].cardinality(), p);
        std::nth_element(by_card.begin(), by_card.begin() + static_cast<ptrdiff_t>(limit), by_card.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        kept.resize(limit);
        for (size_t i = 0; i < limit; ++i) kept[i] = by_card[i].second;
      }
      info.bitmaps = kept.size();
      std::sort(kept.begin(), kept.end());
      // A wider pass over an unchanged index usually keeps every bitmap the
      // last pass counted: only the new ones are added then.
      const bool reuse = st.valid && st.version == index.version_ && st.n_docs == n_docs &&
                         std::includes(kept.begin(), kept.end(), st.counted.begin(), st.counted.end());
      std::vector<const PostingList*> lists;
      lists.reserve(kept.size());
      if (reuse) {
        auto c = st.counted.begin();
        for (uint16_t p : kept) {
          if (c != st.counted.end() && *c == p) {
            ++c;
          } else {
            lists.push_back(&index.lists_[p]);
          }
        }
      } else {
        st.counts.reset(n_docs);
        for (uint16_t p : kept) lists.push_back(&index.lists_[p]);
      }
      st.counts.add(lists);
      st.counted = std::move(kept);
      st.valid = true;
      st.version = index.version_;
      st.n_docs = n_docs;
    }
    const uint64_t counted = st.counts.counted();
    if (counted == 0) return;
    const size_t take = static_cast<size_t>(std::min<uint64_t>({10 * budget, counted, 500}));
    st.counts.best(take, st.ranked);
    info.candidates = take;
    st.id_bytes.clear();
    st.id_spans.clear();
    {
      std::shared_lock lk(index.ids_mu_);
      for (const auto& [d, count] : st.ranked) {
        auto it = index.reverse_.find(d);
        if (it == index.reverse_.end()) continue;
        st.id_spans.emplace_back(st.id_bytes.size(), it->second->size());
        st.id_bytes += *it->second;
      }
    }
    info.resolved = st.id_spans.size();
    // Visibility first for all candidates, then the stored SDRs: the map
    // lookups of successive candidates overlap in the processor instead of
    // each waiting behind the previous candidate's rescoring.
    st.visible.clear();
    for (const auto& [at, len] : st.id_spans) {
      const std::string_view x(st.id_bytes.data() + at, len);
      const std::string* mapped = id_map ? id_map(x) : nullptr;
      const std::string_view resolved = mapped ? std::string_view(*mapped) : x;
      const Record* rec = records(resolved);
      if (rec && record_visible(*rec, namespaces)) st.visible.push_back(SearchState::Visible{x, resolved, rec, nullptr});
    }
    for (SearchState::Visible& v : st.visible) v.stored = log_sdrs(v.x);
    const float qn = static_cast<float>(q.size());
    for (size_t i = 0; i < st.visible.size(); ++i) {
      const SearchState::Visible& v = st.visible[i];
      // The stored SDRs come from memory once: the header of the candidate
      // after next, then the first kilobyte of the next one's data, which
      // that header locates.
      if (i + 2 < st.visible.size() && st.visible[i + 2].stored) __builtin_prefetch(st.visible[i + 2].stored);
      if (i + 1 < st.visible.size() && st.visible[i + 1].stored) {
        const char* next = static_cast<const char*>(st.visible[i + 1].stored->data());
        for (int line = 0; line < 16; ++line) __builtin_prefetch(next + 64 * line);
      }
      if (!v.stored || v.stored->empty()) continue;
      const float cf = static_cast<float>(st.qbits.overlap(*v.stored));
      const float score = cf / (qn + static_cast<float>(v.stored->size()) - cf);
      if (score > 0.0f) hits.push_back(Hit{v.resolved, score, v.rec});
    }
    info.hits = hits.size();
  }
};

RankedList collect_sdr(const SdrEncoder& encoder, const SdrIndex& index, const SdrLookup& log_sdrs,
                       const IdMapLookup& id_map, const RecordLookup& records, std::string_view query, size_t top_k,
                       std::span<const std::string> namespaces, std::vector<SdrSearchPass>* trace) {
  // `trace` (the search passes) hides the tracing namespace here.
  VESK_SPAN(span, "collect_sdr", "vesk::recall", ::vesk::trace::Level::Info, ::vesk::trace::field("top_k", top_k));
  RankedList out;
  if (top_k == 0 || namespaces.empty()) return out;
  const Sdr q = encode_sdr(encoder, query, SdrRange::General, SdrCase::Fold);
  if (q.empty()) return out;
  SearchState& st = thread_search_state();
  st.valid = false;
  st.qbits.set(q);
  size_t budget = 2 * top_k;
  std::vector<Hit> hits;
  for (;;) {
    SdrSearchPass info;
    info.budget = budget;
    SdrSearch::pass(index, q, st, budget, log_sdrs, id_map, records, namespaces, hits, info);
    if (trace) trace->push_back(info);
    // Widen while the pass resolved as many candidates as the budget, the
    // budget is below 256 x top_k, and too few visible hits were found.
    if (info.resolved >= budget && budget < top_k * 256) {
      budget *= 4;
      if (hits.size() < top_k) continue;
    }
    break;
  }
  st.qbits.clear(q);
  // The first top_k hits in the recall order: every hit scoring above the
  // top_k-th best score, and of those scoring exactly that, the first by
  // content hash and id (in pass order when both are equal). Only hits at or
  // above that score need their content hashed.
  if (hits.size() > top_k) {
    std::vector<float> scores(hits.size());
    for (size_t i = 0; i < hits.size(); ++i) scores[i] = hits[i].score;
    std::nth_element(scores.begin(), scores.begin() + static_cast<ptrdiff_t>(top_k - 1), scores.end(),
                     [](float a, float b) { return a > b; });
    const float kth = scores[top_k - 1];
    hits.erase(std::remove_if(hits.begin(), hits.end(), [kth](const Hit& h) { return h.score < kth; }), hits.end());
  }
  for (Hit& h : hits) h.hash = content_hash(h.rec->content);
  std::stable_sort(hits.begin(), hits.end(),
                   [](const Hit& a, const Hit& b) { return recall_order_before(a.score, a.hash, a.id, b.score, b.hash, b.id); });
  if (hits.size() > top_k) hits.resize(top_k);
  out.reserve(hits.size());
  for (const Hit& h : hits) out.emplace_back(std::string(h.id), h.score);
  return out;
}

}  // namespace vesk
