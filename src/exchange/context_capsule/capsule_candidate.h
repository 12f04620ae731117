// Which records a context capsule considers, in which category, and in
// which order.
//
// Filter: a record of exactly the requested namespace, valid at the
// reference time (no valid_from or a finite one not after it; no valid_until
// or a finite one strictly after it) and readable by an anonymous reader.
//
// Classification, in order: rejected when answer_permission parses to block,
// admission trimmed is "block" (ASCII case ignored), verification_status
// parses to superseded, or a superseded_by entry stands without valid_until.
// Then the first category that holds (tags and semantic type compared
// exactly):
//
//   value name              base priority  rule
//   0     refutation_scar   1000000000     tag "consequence-refute"
//   1     evidence_debt      900000000     tag "consequence-inconclusive"
//                                          and no tag "consequence-support"
//   2     active_goal        800000000     a goal tag, not closed (status, or
//                                          else project_status, ASCII-lower-
//                                          cased untrimmed: done, closed,
//                                          completed, cancelled)
//   3     contradiction      750000000     semantic type or tag "contradiction"
//   4     outcome            650000000     an outcome tag
//   5     decision           600000000     semantic type "decision" or level
//                                          Decisions
//   6     identity           550000000     level Identity
//   7     domain             500000000     level Domain
//   8     purpose_relevant   400000000     at least one purpose term shared
// A record that reaches rule 8 sharing no term is dropped.
//
// Priority = base + min(overlap, 999) x 10000 + S + C, with salience and
// confidence read as 0 when negative or not finite; S = 10000 above 1.0,
// else 10 x round(salience x 1000); C = 1000 above 1.0, else
// round(confidence x 1000); products in 32-bit floats, halves away from
// zero. These terms stay below the smallest gap between two bases.
//
// Order: priority descending, then created_at descending (a NaN compares
// equal), then record id ascending by bytes; ids are unique, so the order is
// total.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/context_capsule/capsule_terms.h"
#include "model/record.h"

namespace vesk {

enum class CapsuleCategory : uint8_t {
  RefutationScar = 0,
  EvidenceDebt = 1,
  ActiveGoal = 2,
  Contradiction = 3,
  Outcome = 4,
  Decision = 5,
  Identity = 6,
  Domain = 7,
  PurposeRelevant = 8,
};

// "refutation_scar", ..., "purpose_relevant".
std::string_view capsule_category_name(CapsuleCategory c);
uint64_t capsule_base_priority(CapsuleCategory c);

// One record that passed classification; lives only during one build, while
// the record map's read lock is held.
struct CapsuleCandidate {
  const Record* record = nullptr;
  uint64_t priority = 0;
  CapsuleCategory category = CapsuleCategory::PurposeRelevant;
  // Purpose terms the record shares.
  uint64_t overlap = 0;
};

// The metadata values the filter and the classification read; null where
// the record has no such entry.
struct CapsuleMetadata {
  const std::string* acl_visibility = nullptr;
  const std::string* answer_permission = nullptr;
  const std::string* admission = nullptr;
  const std::string* verification_status = nullptr;
  const std::string* superseded_by = nullptr;
  const std::string* status = nullptr;
  const std::string* project_status = nullptr;
};

// The keys of CapsuleMetadata: a record that holds none of them reads as the
// empty CapsuleMetadata, so a caller that knows as much (from an index of
// these keys) need not walk the record's metadata.
inline constexpr std::string_view kCapsuleMetadataKeys[] = {
    "acl_visibility", "answer_permission", "admission", "verification_status",
    "superseded_by",  "status",            "project_status",
};

// Found in one walk of the record's metadata.
CapsuleMetadata capsule_metadata(const Record& record);

// The filter above; `metadata` is capsule_metadata of the record.
bool passes_capsule_filter(const Record& record, std::string_view namespace_, double reference_time,
                           const CapsuleMetadata& metadata);
bool passes_capsule_filter(const Record& record, std::string_view namespace_, double reference_time);

// The candidate of a record that passed the filter, or none when it is
// rejected or has no category.
std::optional<CapsuleCandidate> classify_capsule_candidate(const Record& record, const CapsuleTermMatcher& purpose,
                                                           const CapsuleMetadata& metadata);
std::optional<CapsuleCandidate> classify_capsule_candidate(const Record& record, const CapsuleTermMatcher& purpose);

// The reasons a candidate was selected, in order: the category's name;
// "purpose_overlap:{n}" when n >= 1; "salience:{s}" with three decimals when
// the salience is above 0. Built only for the entries placed.
std::vector<std::string> capsule_selection_reasons(const CapsuleCandidate& candidate);

// True when `a` comes before `b` in the capsule order.
bool capsule_candidate_before(const CapsuleCandidate& a, const CapsuleCandidate& b);

}  // namespace vesk
