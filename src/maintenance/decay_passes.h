// The stand-alone decay passes over the record map, outside the maintenance
// cycle. Each changes the map in place (the caller holds its write lock and
// journals the result as one batch):
//
//   level decay        every unpinned record's strength times its level
//                      factor; weak, unprotected records archived (removed
//                      from the map, their deletion journalled); links that
//                      are weak or point at an archived record dropped, the
//                      rest faded by 0.99.
//   route-state decay  every strength times its route-state factor
//                      (route_state_decay.h); weak, unprotected records
//                      demoted (removed from the map, nothing journalled for
//                      them, so the journal keeps them); only links to a
//                      demoted record dropped, nothing fades.
//
// The level factor, in 32-bit floats:
//   pull   = min(activation_count / 10, 1)
//   r      = min(rate + (0.999 - rate) * pull, 0.999)     rate: Level decay
//   factor = min(r + 0.03 * clamp(salience, 0, 1), 0.999)
// so use and salience pull a record's factor towards 0.999 and every unpinned
// record loses at least a thousandth. A salience that is not a number counts
// as 0.
//
// Weak means a strength below 0.05 or not a number; protection is
// is_archive_protected with the taxonomy's archive-protected tags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

inline constexpr float kDecayCeiling = 0.999f;
inline constexpr float kWeakStrength = 0.05f;
inline constexpr float kWeakLink = 0.05f;
inline constexpr float kLinkFade = 0.99f;

float level_decay_factor(const Record& record);

struct DecayPass {
  uint64_t decayed = 0;  // records in the map when the pass began
  // Archived (level decay) or demoted (route-state decay) ids, in map order;
  // none of them is in the map any more.
  std::vector<std::string> removed;
};

DecayPass decay_by_level(RecordMap& records, const StringSet& protected_tags);
DecayPass decay_by_route(RecordMap& records, const StringSet& protected_tags);

}  // namespace vesk
