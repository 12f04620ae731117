// Exact duplicates: a text stored again is touched instead of stored twice.
//
// A record is the twin of a new text content when it has the same namespace,
// byte-identical content, content type "text", the same source and semantic
// type, equal validity bounds (both absent or both present and equal; a NaN
// never equals) and causal parent, is readable by an anonymous subject, and
// carries every caller metadata pair with the same value. Level, tags, pin
// and strength play no part. Of several twins the first in the record map's
// iteration order is the one.
//
// DuplicateIndex finds the candidates without a scan: it keeps the ids of
// the records that can be twins at all (content type "text", content of at
// least 20 bytes) under the XXH3-64 hash of their content. It is kept beside
// the record map, under the same lock, and every writer that inserts a
// record, removes one or changes a record's content or content type keeps
// it in step (note_insert / note_remove). A candidate is always checked
// against the record itself, so a hash collision never makes a false twin.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/flat_map.h"
#include "model/record.h"
#include "base/string_hash.h"

namespace vesk {

// What a new record would be, as far as the twin rule looks.
struct DuplicateProbe {
  std::string_view namespace_;
  std::string_view content;
  std::string_view source_type;
  std::string_view semantic_type;
  std::optional<double> valid_from;
  std::optional<double> valid_until;
  const std::optional<std::string>* caused_by_id = nullptr;  // null: none
  const StringMap* caller_metadata = nullptr;               // null or empty: any
};

bool is_exact_duplicate(const Record& candidate, const DuplicateProbe& probe);

// Touches a twin found for a new store: activation velocity, strength +0.2
// (at most 1.0), one more activation, last activation now, pinned when the
// new call pins, and every tag of the new call that the twin lacks appended
// in the call's order. `now` is Unix seconds.
void touch_duplicate(Record& twin, double now, bool pin, std::span<const std::string> tags);

class DuplicateIndex {
 public:
  // Whether a record with this content type and content can be a twin.
  static bool indexable(std::string_view content_type, std::string_view content);

  // The record's id under its content, when it can be a twin.
  void note_insert(const Record& record);
  // Takes the id out from under the content it was indexed with.
  void note_remove(std::string_view id, std::string_view content);
  // note_remove for the old form, note_insert for the new (content or
  // content type changed; namespace and the other fields do not matter).
  void note_replace(const Record& before, const Record& after);

  // The ids indexed under the content's hash (a superset of the twins).
  std::span<const std::string> candidates(std::string_view content) const;

  size_t size() const { return size_; }
  void clear();

 private:
  // The ids under one content hash: nearly always one, held inline; all of
  // them in `many` once there are two or more.
  struct Ids {
    std::string one;
    bool has_one = false;
    std::vector<std::string> many;
    std::span<const std::string> all() const {
      if (has_one) return std::span<const std::string>(&one, 1);
      return many;
    }
  };
  FlatHashMap<Ids> by_hash_;
  size_t size_ = 0;
};

}  // namespace vesk
