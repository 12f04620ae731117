// The reflection pass over the record map: the epistemic update
// (epistemic_update.h), then promotion, then archival.
//
// Promotion. The bar: level Working, Decisions or Domain, activation_count
// at least 5 and strength at least 0.7 (and, in reflect(), valid now). A
// Working record that meets it moves up whatever its evidence. A move into
// the durable tiers is refused, first matching reason counted:
//
//   blocked_conflict            a "contradiction" record, or conflict_mass > 0
//   blocked_volatility          volatility at least 0.2
//   blocked_identity_threshold  Domain without activation_count >= 20 and
//                               strength >= 0.9
//
// Candidates are chosen before any level changes, so a record moves one level
// per pass; Identity records are never counted or moved.
//
// Archival. Records whose strength is below 0.05 (or not a number) and that
// is_archive_protected does not protect leave the map.
//
// Two forms: reflect() tests the validity window at `now` and drops every
// link to an archived record; the maintenance cycle does neither.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/string_hash.h"
#include "maintenance/phase_reports.h"
#include "model/record_map.h"

namespace vesk {

struct ReflectionForm {
  // Promotion needs the record valid at this time (seconds since the epoch);
  // none: no validity test.
  std::optional<double> now;
  // Remaining records lose their links to the archived ones.
  bool drop_links_to_archived = false;
};

struct PromotionAndArchival {
  ReflectReport report;
  std::vector<std::string> archived;  // in map order, gone from the map
};

PromotionAndArchival promote_and_archive(RecordMap& records, const StringSet& protected_tags,
                                         const ReflectionForm& form);

struct ReflectionPass {
  EpistemicPhaseReport epistemic;
  PromotionAndArchival reflection;
};

// The whole pass in the form of reflect(): the update, then promotion and
// archival valid at `now`, links to archived records dropped.
ReflectionPass run_reflection_pass(RecordMap& records, const StringSet& protected_tags, double now);

}  // namespace vesk
