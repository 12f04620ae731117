// The shapes recall results travel in, their one deterministic order, and
// the test of whether a record may appear in a recall at all.
//
// Recall order: higher score first (NaN after every number); then the smaller
// XXH3-64 (seed 0) hash of the record's content; then the smaller record id
// in byte order (a proper prefix first).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/record.h"

namespace vesk {

struct ScoredRecord {
  ScoredRecord() = default;
  ScoredRecord(float s, Record r) : score(s), record(std::move(r)) {}

  float score = 0.0f;
  Record record;
  // The result's score as it entered the trust stage of the pipeline (its
  // fused and expanded relevance); none until then. Never stored.
  std::optional<float> pre_trust_score;
};

// (record id, score) pairs; the position of a pair is its rank.
using RankedList = std::vector<std::pair<std::string, float>>;

// Read access to the records of a recall: the record with an id, or null.
// The owner keeps the records unchanged (it holds the records map's read
// lock) while the lookup is in use.
using RecordLookup = std::function<const Record*(std::string_view id)>;

template <class Map>
RecordLookup record_lookup(const Map& records) {
  return [&records](std::string_view id) -> const Record* {
    if constexpr (requires { records.find_value(id); }) return records.find_value(id);
    auto it = [&] {
      if constexpr (requires { records.find(id); })
        return records.find(id);
      else
        return records.find(std::string(id));
    }();
    return it == records.end() ? nullptr : &it->second;
  };
}

uint64_t content_hash(std::string_view content);
// The content hash of the record with that id, or 0 when there is none.
uint64_t content_hash_of(const RecordLookup& records, std::string_view id);

// True when a scores before b. A NaN score ties with NaN and comes after
// every number, which keeps the order a strict weak order.
inline bool score_before(float a, float b) {
  if (a != a) return false;
  if (b != b) return true;
  return a > b;
}

// The recall order on its three keys.
inline bool recall_order_before(float score_a, uint64_t hash_a, std::string_view id_a, float score_b,
                                uint64_t hash_b, std::string_view id_b) {
  if (score_before(score_a, score_b)) return true;
  if (score_before(score_b, score_a)) return false;
  if (hash_a != hash_b) return hash_a < hash_b;
  return id_a < id_b;
}

// A collector's hit before ranking. The id points at a string that outlives
// the ranking (the index's id or the records map's key).
struct RecallHit {
  float score;
  uint64_t hash;  // content_hash of the record
  const std::string* id;
};

// The best top_k hits in the recall order, as a ranked list; reorders `hits`.
RankedList top_hits_in_recall_order(std::vector<RecallHit>& hits, size_t top_k);

// Stable sorts in the recall order.
void sort_scored_records(std::vector<ScoredRecord>& results);
void sort_ranked_list(RankedList& list, const RecordLookup& candidates);

// True when the namespace list names the record's namespace exactly and the
// record is readable by an anonymous request (no access metadata, or public).
bool record_visible(const Record& record, std::span<const std::string> namespaces);

}  // namespace vesk
