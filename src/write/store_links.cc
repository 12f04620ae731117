#include "write/store_links.h"

#include <algorithm>
#include <array>
#include <span>

#include "index/prefetch.h"

namespace vesk {

void BackLinks::set(std::string_view record_id, float weight, std::string_view relation) {
  TypedConnectionPatch link{new_id_, weight, std::string(relation)};
  for (RecordPatch& p : patches_) {
    if (p.record_id == record_id) {
      p.connections.front() = std::move(link);
      return;
    }
  }
  RecordPatch p;
  p.record_id = std::string(record_id);
  p.connections.push_back(std::move(link));
  patches_.push_back(std::move(p));
}

size_t BackLinks::connection_count(const Record& held) const {
  size_t n = held.connections.size();
  if (held.connections.contains(new_id_)) return n;
  for (const RecordPatch& p : patches_)
    if (p.record_id == held.id) return n + 1;
  return n;
}

void link_causal_parent(Record& record, const RecordMap& map, BackLinks& back) {
  if (!record.caused_by_id) return;
  const std::string& parent = *record.caused_by_id;
  if (map.contains(parent)) back.set(parent, kCausalLinkWeight, kCausalRelation);
  record.set_connection(parent, kCausalLinkWeight, kCausalRelation);
}

namespace {

// Candidates are looked up this many at a time: the map lines, records and
// tag lists of a batch are fetched together, so their cache misses overlap
// instead of following one another.
constexpr size_t kVisitBatch = 16;

struct Candidate {
  std::string_view id;
  const Record* held = nullptr;
};

void fetch(std::span<Candidate> batch, const RecordMap& map) {
  for (const Candidate& c : batch)
    if (const void* p = map.probe_start(c.id)) prefetch_line(p);
  for (Candidate& c : batch) {
    c.held = map.find_value(c.id);
    if (!c.held) continue;
    prefetch_line(&c.held->tags);
    prefetch_line(&c.held->connections);
    prefetch_line(&c.held->namespace_);
  }
  for (const Candidate& c : batch)
    if (c.held && !c.held->tags.empty()) prefetch_line(c.held->tags.data());
}

}  // namespace

void link_associative_records(Record& record, const TagIndex& tags, const RecordMap& map, BackLinks& back) {
  if (record.tags.empty()) return;
  const std::vector<std::string>& mine = record.tags;
  // One candidate found under tag occurrence i; false once the record is full.
  auto visit = [&](size_t i, const Candidate& c) {
    // Whether the index files the candidate under a tag: asked of its own
    // tags when the map holds it (the index describes the same records),
    // else of the index.
    auto filed_under = [&](const std::string& tag) {
      return c.held ? std::find(c.held->tags.begin(), c.held->tags.end(), tag) != c.held->tags.end()
                    : tags.holds(c.id, tag);
    };
    // A candidate under an earlier tag occurrence was visited there.
    for (size_t j = 0; j < i; ++j)
      if (filed_under(mine[j])) return true;
    if (record.connections.size() >= kMaxConnections) return false;
    if (c.held && c.held->namespace_ != record.namespace_) return true;
    int count = 0;
    for (const std::string& t : mine) count += filed_under(t) ? 1 : 0;
    const float weight = std::min(0.2f + 0.15f * static_cast<float>(count), 0.8f);
    record.set_connection(c.id, weight, kAssociativeRelation);
    // Most records a popular tag names are full long before this one came.
    if (c.held && c.held->connections.size() < kMaxConnections && back.connection_count(*c.held) < kMaxConnections) {
      back.set(c.id, weight, kAssociativeRelation);
    }
    return true;
  };

  std::array<Candidate, kVisitBatch> batch;
  for (size_t i = 0; i < mine.size(); ++i) {
    size_t n = 0;
    bool full = false;
    auto run = [&] {
      fetch(std::span(batch.data(), n), map);
      for (size_t k = 0; k < n && !full; ++k) full = !visit(i, batch[k]);
      n = 0;
    };
    tags.visit_ids_with(mine[i], [&](std::string_view id) {
      if (id == record.id) return true;
      batch[n++] = Candidate{id};
      if (n == kVisitBatch) run();
      return !full;
    });
    if (n > 0 && !full) run();
    if (full) return;
  }
}

void apply_back_links(RecordMap& map, const std::vector<RecordPatch>& patches) {
  for (const RecordPatch& p : patches) {
    Record* held = map.find_value(p.record_id);
    if (!held) continue;
    for (const TypedConnectionPatch& c : p.connections) held->set_connection(c.target_id, c.weight, c.relation);
  }
}

}  // namespace vesk
