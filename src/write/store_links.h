// The links a new record gets on the store road: to its causal parent, and
// to the records that share its tags (associative links).
//
// Both run under the record map's write lock (the associative links with the
// tag index's read lock inside it), before the new record is in the map. They
// set the new record's own connections at once, and leave the other half of
// each link, on records already in the map, in a BackLinks list: the
// record-change seam journals that list with the new record and applies it to
// the map (store/record_changes.h), so both halves reach the journal in the
// same store call.
//
// Associative links: for each other record, its count is the number of the
// new record's tag occurrences (a tag listed twice counts twice) under which
// the tag index files it; the weight is min(0.2 + 0.15 * count, 0.8) in 32-bit
// floats and the type "associative". Candidates are visited once each, in no
// particular order, and the visit stops before any candidate once the new
// record holds kMaxConnections connections. A candidate of another namespace
// is skipped; one the map does not hold is linked from the new record only;
// any other gets the link back when it holds fewer than kMaxConnections.
// A popular tag's id set is walked only as far as the visit goes, and a
// candidate's count is taken by membership tests on its own tags.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "index/tag_index.h"
#include "model/journal_patch.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

inline constexpr float kCausalLinkWeight = 0.7f;
inline constexpr std::string_view kCausalRelation = "causal";
inline constexpr std::string_view kAssociativeRelation = "associative";
// Connections of any type a record may hold before the associative links
// pass it by.
inline constexpr size_t kMaxConnections = 50;

// The connections to set on records of the map towards one new record, one
// per record (a later one for the same record replaces the earlier).
class BackLinks {
 public:
  explicit BackLinks(std::string new_record_id) : new_id_(std::move(new_record_id)) {}

  void set(std::string_view record_id, float weight, std::string_view relation);
  // How many connections `held` (a record of the map) would hold once the
  // links noted so far are applied.
  size_t connection_count(const Record& held) const;
  bool empty() const { return patches_.empty(); }
  // One patch per record, each with its one typed connection.
  const std::vector<RecordPatch>& patches() const { return patches_; }

 private:
  std::string new_id_;
  std::vector<RecordPatch> patches_;
};

// The causal link: the new record to its parent ("causal", 0.7) in any case,
// the parent back when the map holds it.
void link_causal_parent(Record& record, const RecordMap& map, BackLinks& back);

// The associative links of the new record (see the top of the file). A
// record without tags links to nothing.
void link_associative_records(Record& record, const TagIndex& tags, const RecordMap& map, BackLinks& back);

// Sets every back link on the records of `map` (the ids must be held).
void apply_back_links(RecordMap& map, const std::vector<RecordPatch>& patches);

}  // namespace vesk
