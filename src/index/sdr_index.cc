#include "index/sdr_index.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <unordered_set>

#include "index/index_manifest.h"
#include "index/roaring_portable.h"
#include "index/sdr_index_format.h"

namespace vesk {

namespace {
constexpr uint32_t kPositions = 65536;
// Pending document numbers per position; with the bitmap pointer and the
// buffer's shared high half a slot fills one 64-byte cache line.
constexpr int kPending = 25;
}  // namespace

// All zero bytes is an absent position: the slots are calloc'ed, so an index
// costs no memory for positions never posted.
struct SdrIndex::Slot {
  roaring_bitmap_t* bm;
  uint32_t pending_high;  // the high 16 bits shared by the pending numbers
  uint16_t npending;
  uint16_t pending[kPending];

  void flush() {
    if (!npending) return;
    uint32_t v[kPending];
    for (int i = 0; i < npending; ++i) v[i] = pending_high | pending[i];
    roaring_bitmap_add_many(bm, npending, v);
    npending = 0;
  }
  // d is larger than every number in this slot.
  void append_new(uint32_t d) {
    const uint32_t high = d & 0xffff0000u;
    if (npending && high != pending_high) flush();
    if (!npending) pending_high = high;
    pending[npending++] = static_cast<uint16_t>(d);
    if (npending == kPending) flush();
  }
  int pending_index(uint32_t d) const {
    if (!npending || (d & 0xffff0000u) != pending_high) return -1;
    for (int i = 0; i < npending; ++i)
      if (pending[i] == static_cast<uint16_t>(d)) return i;
    return -1;
  }
  void add(uint32_t d) {
    if (pending_index(d) < 0) roaring_bitmap_add(bm, d);
  }
  void remove(uint32_t d) {
    int i = pending_index(d);
    if (i >= 0) {
      std::memmove(pending + i, pending + i + 1, sizeof(uint16_t) * static_cast<size_t>(npending - i - 1));
      --npending;
      return;
    }
    roaring_bitmap_remove(bm, d);
  }
  uint64_t cardinality() const { return roaring_bitmap_get_cardinality(bm) + npending; }
  template <class F>
  void for_each(F&& f) const {
    roaring_uint32_iterator_t it;
    roaring_init_iterator(bm, &it);
    uint32_t buf[256];
    for (;;) {
      uint32_t n = roaring_read_uint32_iterator(&it, buf, 256);
      for (uint32_t i = 0; i < n; ++i) f(buf[i]);
      if (n < 256) break;
    }
    for (int i = 0; i < npending; ++i) f(pending_high | pending[i]);
  }
  // The portable bytes of bitmap and buffer together.
  void encode(std::string& out) const {
    if (!npending) return encode_roaring_portable(bm, out);
    roaring_bitmap_t* merged = roaring_bitmap_copy(bm);
    uint32_t v[kPending];
    for (int i = 0; i < npending; ++i) v[i] = pending_high | pending[i];
    roaring_bitmap_add_many(merged, npending, v);
    encode_roaring_portable(merged, out);
    roaring_bitmap_free(merged);
  }
  void reset() {
    if (!bm) return;  // leave untouched slots unwritten
    roaring_bitmap_free(bm);
    bm = nullptr;
    npending = 0;
  }
};

static_assert(sizeof(SdrIndex::Slot) == 64);
static_assert(std::is_trivial_v<SdrIndex::Slot>);

template <class F>
void SdrIndex::for_each_present(F&& f) const {
  for (uint32_t w = 0; w < kPositions / 64; ++w)
    for (uint64_t bits = present_[w]; bits; bits &= bits - 1)
      f(static_cast<uint16_t>(w * 64 + static_cast<uint32_t>(std::countr_zero(bits))));
}

void SdrIndex::FreeSlots::operator()(Slot* s) const { std::free(s); }

SdrIndex::SdrIndex(std::string index_dir) : SdrIndex(std::move(index_dir), Env::Default()) {}

SdrIndex::SdrIndex(std::string index_dir, Env& env)
    : dir_(std::move(index_dir)), env_(&env), slots_(static_cast<Slot*>(std::calloc(kPositions, sizeof(Slot)))) {
  if (!slots_) throw std::bad_alloc();
}

SdrIndex::~SdrIndex() {
  for_each_present([this](uint16_t p) { slots_[p].reset(); });
}

SdrIndex::Slot& SdrIndex::slot_for_insert(uint16_t p) {
  Slot& s = slots_[p];
  if (!s.bm) {
    s.bm = roaring_bitmap_create();
    present_[p >> 6] |= uint64_t{1} << (p & 63);
  }
  return s;
}

void SdrIndex::clear_locked() {
  id_map_.clear();
  reverse_.clear();
  for_each_present([this](uint16_t p) { slots_[p].reset(); });
  std::fill(std::begin(present_), std::end(present_), 0);
  next_doc_id_ = 0;
  doc_limit_ = 0;
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

SharedSdr union_of(const SharedSdr& a, const SharedSdr& b) {
  if (!a || a->empty() || a == b) return b;
  if (!b || b->empty()) return a;
  auto u = std::make_shared<Sdr>();
  u->reserve(a->size() + b->size());
  std::set_union(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(*u));
  return u;
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
    DocEntry& e = reverse_[d];
    // A document read from the files has no known SDR: its removal scans.
    if (e.sdr) e.sdr = union_of(e.sdr, sdr);
  } else {
    // Document numbers are never reused; once all 2^32 - 1 have been handed
    // out a new id is not indexed.
    if (next_doc_id_ == UINT32_MAX) return;
    d = next_doc_id_++;
    fresh = true;
    auto [pos, ok] = id_map_.emplace(std::string(id), d);
    reverse_[d] = DocEntry{&pos->first, sdr ? sdr : std::make_shared<const Sdr>()};
  }
  std::unique_lock bl(bitmaps_mu_);
  if (!sdr) return;
  const uint16_t* p = sdr->data();
  const size_t n = sdr->size();
  for (size_t i = 0; i < n; ++i) {
    if (i + 8 < n) __builtin_prefetch(&slots_[p[i + 8]], 1);
    Slot& s = slot_for_insert(p[i]);
    if (fresh) {
      s.append_new(d);
    } else {
      s.add(d);
    }
  }
  if (n && d >= doc_limit_) doc_limit_ = d + 1;
}

void SdrIndex::remove(std::string_view id) {
  std::unique_lock ids(ids_mu_);
  auto it = id_map_.find(id);
  if (it == id_map_.end()) return;
  const uint32_t d = it->second;
  SharedSdr sdr;
  if (auto r = reverse_.find(d); r != reverse_.end()) {
    sdr = std::move(r->second.sdr);
    reverse_.erase(r);
  }
  id_map_.erase(it);
  std::unique_lock bl(bitmaps_mu_);
  if (sdr) {
    for (uint16_t p : *sdr)
      if (slots_[p].bm) slots_[p].remove(d);
  } else {
    for_each_present([this, d](uint16_t p) { slots_[p].remove(d); });
  }
}

Status SdrIndex::save_to(ByteSink& manifest, ByteSink& sdr_idx) const {
  std::shared_lock ids(ids_mu_);
  std::shared_lock bl(bitmaps_mu_);
  IndexManifest m;
  m.next_doc_id = next_doc_id_;
  m.id_map.reserve(id_map_.size());
  for (const auto& [id, d] : id_map_) m.id_map.emplace_back(id, d);
  VESK_RETURN_IF_ERROR(manifest.append(encode_index_manifest(m)));
  std::string bitmap, record;
  Status st;
  for_each_present([&](uint16_t p) {
    if (!st.ok()) return;
    const Slot& s = slots_[p];
    bitmap.clear();
    s.encode(bitmap);
    record.clear();
    append_sdr_idx_header(record, p, bitmap.size());
    record += bitmap;
    st = sdr_idx.append(record);
  });
  return st;
}

Status SdrIndex::save() const {
  Env& env = *env_;
  const fs::path dir(dir_), manifest_path = dir / kIndexManifestFile, sdr_path = dir / kSdrIdxFile;
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
  return (*manifest)->publish();
}

Status SdrIndex::load() {
  Env& env = *env_;
  const fs::path dir(dir_), manifest_path = dir / kIndexManifestFile, sdr_path = dir / kSdrIdxFile;
  if (!env.exists(manifest_path) || !env.exists(sdr_path)) return Status::Ok();
  auto manifest = env.read_file(manifest_path);
  if (!manifest.ok()) return manifest.status();
  auto sdr = FileSource::open(sdr_path, env);
  if (!sdr.ok()) return sdr.status();
  return load_from(*manifest, **sdr);
}

Status SdrIndex::load_from(std::string_view manifest_bytes, ByteSource& sdr_idx) {
  auto parsed = parse_index_manifest(manifest_bytes);
  if (!parsed.ok()) return parsed.status();
  const IndexManifest& m = *parsed;
  std::unique_lock ids(ids_mu_);
  std::unique_lock bl(bitmaps_mu_);
  clear_locked();
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
    reverse_[d] = DocEntry{&pos->first, nullptr};
  }
  SdrIdxReader reader(sdr_idx);
  std::string bytes;
  uint16_t position;
  for (;;) {
    auto more = reader.next(position, bytes);
    if (!more.ok()) return more.status();
    if (!*more) return Status::Ok();
    auto bm = decode_roaring_portable(bytes);
    if (!bm.ok()) return Status::Runtime("sdr.idx: position " + std::to_string(position) + ": " + bm.status().message());
    if (!roaring_bitmap_is_empty(*bm)) {
      const uint32_t max = roaring_bitmap_maximum(*bm);
      if (max >= next_doc_id_) {
        roaring_bitmap_free(*bm);
        clear_locked();
        return Status::Runtime("sdr.idx: position " + std::to_string(position) + " holds document number " +
                               std::to_string(max) + ", not below next_doc_id");
      }
      doc_limit_ = std::max(doc_limit_, max + 1);
    }
    Slot& s = slot_for_insert(position);
    roaring_bitmap_free(s.bm);
    s.npending = 0;
    s.bm = *bm;
  }
}

SdrIndex::Contents SdrIndex::contents() const {
  std::shared_lock ids(ids_mu_);
  std::shared_lock bl(bitmaps_mu_);
  Contents c;
  c.next_doc_id = next_doc_id_;
  for (const auto& [id, d] : id_map_) c.id_map.emplace(id, d);
  for (const auto& [d, e] : reverse_) c.reverse.emplace(d, *e.id);
  for_each_present([&](uint16_t p) {
    auto& v = c.bitmaps[p];
    slots_[p].for_each([&v](uint32_t d) { v.push_back(d); });
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

// Overlap counters by document number, kept per thread between searches.
// They live in pages of 65,536 allocated on first touch, so their memory
// follows the document numbers actually posted, not next_doc_id (which a
// damaged manifest can set to anything).
struct OverlapCounts {
  std::vector<std::unique_ptr<uint16_t[]>> pages;
  std::vector<uint32_t> touched;

  OverlapCounts() { touched.reserve(128); }
  void prepare(uint32_t doc_limit) {
    const size_t need = (static_cast<size_t>(doc_limit) + 0xffff) >> 16;
    if (pages.size() < need) pages.resize(need);
  }
  void add(uint32_t d) {
    auto& page = pages[d >> 16];
    if (!page) page.reset(new uint16_t[65536]());
    if (page[d & 0xffff]++ == 0) touched.push_back(d);
  }
  uint16_t get(uint32_t d) const { return pages[d >> 16][d & 0xffff]; }
  void reset() {
    for (uint32_t d : touched) pages[d >> 16][d & 0xffff] = 0;
    touched.clear();
  }
};

struct Hit {
  std::string id;
  float score;
  uint64_t hash;
};

// The query's positions as a 65,536-bit set: counting the common positions
// of a stored SDR is then one branch-free test per stored position instead
// of a merge.
struct QueryBits {
  uint64_t words[1024] = {};
  void set(const Sdr& q) {
    for (uint16_t p : q) words[p >> 6] |= uint64_t{1} << (p & 63);
  }
  void clear(const Sdr& q) {
    for (uint16_t p : q) words[p >> 6] = 0;
  }
  size_t overlap(const Sdr& s) const {
    size_t c = 0;
    for (uint16_t p : s) c += (words[p >> 6] >> (p & 63)) & 1;
    return c;
  }
};

size_t bitmap_limit(size_t budget) { return budget <= 10 ? 128 : budget <= 50 ? 256 : 512; }

}  // namespace

class SdrSearch {
 public:
  // One pass; returns the hits and sets `resolved` (R).
  static std::vector<Hit> pass(const SdrIndex& index, const Sdr& q, const QueryBits& qbits, size_t budget,
                               const SdrLookup& log_sdrs,
                               const IdMapLookup& id_map, const RecordLookup& records,
                               std::span<const std::string> namespaces, SdrSearchPass& info) {
    thread_local OverlapCounts counts;
    std::vector<Hit> hits;
    uint32_t n_docs;
    {
      std::shared_lock ids(index.ids_mu_);
      n_docs = index.next_doc_id_;
    }
    std::vector<std::pair<uint16_t, uint32_t>> ranked;  // (count, document)
    {
      std::shared_lock bl(index.bitmaps_mu_);
      std::vector<const SdrIndex::Slot*> kept;
      for (uint16_t p : q)
        if (index.slots_[p].bm) kept.push_back(&index.slots_[p]);
      if (kept.empty()) return hits;
      const size_t limit = bitmap_limit(budget);
      if (kept.size() > limit) {
        std::vector<std::pair<uint64_t, const SdrIndex::Slot*>> by_card;
        by_card.reserve(kept.size());
        for (const auto* s : kept) by_card.emplace_back(s->cardinality(), s);
        std::nth_element(by_card.begin(), by_card.begin() + static_cast<ptrdiff_t>(limit), by_card.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        kept.resize(limit);
        for (size_t i = 0; i < limit; ++i) kept[i] = by_card[i].second;
      }
      info.bitmaps = kept.size();
      counts.prepare(index.doc_limit_);
      for (const auto* s : kept)
        s->for_each([&](uint32_t d) {
          if (d <= n_docs) counts.add(d);
        });
    }
    ranked.reserve(counts.touched.size());
    for (uint32_t d : counts.touched) ranked.emplace_back(counts.get(d), d);
    counts.reset();
    if (ranked.empty()) return hits;
    const size_t take = std::min({10 * budget, ranked.size(), size_t{500}});
    auto order = [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; };
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<ptrdiff_t>(take), ranked.end(), order);
    ranked.resize(take);
    info.candidates = take;
    std::vector<std::string> ids;
    ids.reserve(take);
    {
      std::shared_lock lk(index.ids_mu_);
      for (const auto& [count, d] : ranked) {
        auto it = index.reverse_.find(d);
        if (it != index.reverse_.end()) ids.push_back(*it->second.id);
      }
    }
    info.resolved = ids.size();
    for (const std::string& x : ids) {
      const std::string* mapped = id_map ? id_map(x) : nullptr;
      const std::string& resolved = mapped ? *mapped : x;
      const Record* rec = records(resolved);
      if (!rec || !record_visible(*rec, namespaces)) continue;
      const Sdr* stored = log_sdrs(x);
      if (!stored || stored->empty()) continue;
      const size_t c = qbits.overlap(*stored);
      const float cf = static_cast<float>(c);
      const float score = cf / (static_cast<float>(q.size()) + static_cast<float>(stored->size()) - cf);
      if (score > 0.0f) hits.push_back(Hit{resolved, score, content_hash(rec->content)});
    }
    info.hits = hits.size();
    return hits;
  }
};

RankedList collect_sdr(const SdrEncoder& encoder, const SdrIndex& index, const SdrLookup& log_sdrs,
                       const IdMapLookup& id_map, const RecordLookup& records, std::string_view query, size_t top_k,
                       std::span<const std::string> namespaces, std::vector<SdrSearchPass>* trace) {
  RankedList out;
  if (top_k == 0 || namespaces.empty()) return out;
  const Sdr q = encode_sdr(encoder, query, SdrRange::General, SdrCase::Fold);
  if (q.empty()) return out;
  thread_local QueryBits qbits;
  qbits.set(q);
  size_t budget = 2 * top_k;
  std::vector<Hit> hits;
  for (;;) {
    SdrSearchPass info;
    info.budget = budget;
    hits = SdrSearch::pass(index, q, qbits, budget, log_sdrs, id_map, records, namespaces, info);
    if (trace) trace->push_back(info);
    // Widen while the pass resolved as many candidates as the budget, the
    // budget is below 256 x top_k, and too few visible hits were found.
    if (info.resolved >= budget && budget < top_k * 256) {
      budget *= 4;
      if (hits.size() < top_k) continue;
    }
    break;
  }
  qbits.clear(q);
  std::stable_sort(hits.begin(), hits.end(),
                   [](const Hit& a, const Hit& b) { return recall_order_before(a.score, a.hash, a.id, b.score, b.hash, b.id); });
  if (hits.size() > top_k) hits.resize(top_k);
  out.reserve(hits.size());
  for (Hit& h : hits) out.emplace_back(std::move(h.id), h.score);
  return out;
}

}  // namespace vesk
