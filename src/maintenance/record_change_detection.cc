#include "maintenance/record_change_detection.h"

namespace vesk {

// The defaulted comparison of Record is exactly the rule: unordered maps
// compare as sets of entries and floats with ==, under which NaN differs
// from itself. It reaches the numbers only after the link maps, one lookup
// per link, while a pass mostly changes a number: those are looked at first.
bool record_equals(const Record& a, const Record& b) {
  if (!(a.strength == b.strength && a.volatility == b.volatility && a.support_mass == b.support_mass &&
        a.conflict_mass == b.conflict_mass && a.level == b.level && a.activation_count == b.activation_count &&
        a.connections.size() == b.connections.size())) {
    return false;
  }
  return a == b;
}

const Record* next_changed_record(const RecordMap& current, const RecordMap& snapshot,
                                  RecordMap::const_iterator& cursor) {
  while (cursor != current.end()) {
    const Record& r = cursor->second;
    ++cursor;
    const Record* before = snapshot.find_value(r.id);
    if (!before || !record_equals(*before, r)) return &r;
  }
  return nullptr;
}

std::vector<const Record*> changed_records(const RecordMap& current, const RecordMap& snapshot) {
  std::vector<const Record*> out;
  auto cursor = current.begin();
  while (const Record* r = next_changed_record(current, snapshot, cursor)) out.push_back(r);
  return out;
}

std::vector<std::string> removed_record_ids(const RecordMap& snapshot, const RecordMap& current) {
  std::vector<std::string> out;
  for (const auto& [id, record] : snapshot)
    if (!current.contains(id)) out.push_back(id);
  return out;
}

}  // namespace vesk
