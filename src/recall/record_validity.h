// Validity windows as recall sees them: which records are valid at a time,
// and whether a recall's namespaces hold any record with a window at all
// (such namespaces are never answered from a recall cache).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/record.h"

namespace vesk {

// True when a set valid_from is finite and not later than t, and a set
// valid_until is finite and later than t. False for every record when t is
// not finite.
bool record_valid_at(const Record& record, double t);

// A new map of copies of the records valid at t (empty when t is not finite).
// The caller holds the records map's read lock.
template <class Map>
Map records_valid_at(const Map& records, double t) {
  Map out;
  for (const auto& [id, record] : records)
    if (record_valid_at(record, t)) out.emplace(id, record);
  return out;
}

// True when the record lies in one of the namespaces (none means the one
// namespace "default") and has valid_from or valid_until set.
bool has_validity_window_in(const Record& record, const std::optional<std::vector<std::string>>& namespaces);

// Whether any record of the namespaces carries a validity window. The caller
// holds the records map's read lock.
template <class Map>
bool has_temporal_validity(const Map& records, const std::optional<std::vector<std::string>>& namespaces) {
  for (const auto& [id, record] : records)
    if (has_validity_window_in(record, namespaces)) return true;
  return false;
}

}  // namespace vesk
