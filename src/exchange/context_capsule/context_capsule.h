// Context capsules: a deterministic, token-budgeted and hashed selection of
// one namespace's records for a stated purpose, handed to an agent.
//
// A build only reads: it runs under the record map's read lock held by the
// caller, visits the map once, and copies nothing of a record but the cut
// text of the entries it places. Candidates (capsule_candidate.h) are
// ordered and taken while the remaining budget R is at least 25: each takes
// its text cut to R - 16 tokens (capsule_tokens.h) and costs that text's
// estimate plus 16; a blank cut text is skipped. The capsule hash
// (capsule_hash.h) covers every value but the hash and the compaction.
//
// The compacted capsule places the compacted text (capsule_compaction.h) of
// an eligible candidate (content type "text/markdown", "text/plain" or
// "text", and not an active goal) instead of its content, so more records
// may fit; it reports how many entries the plain capsule holds for the same
// arguments. The plain and the compacted fill share one candidate list: the
// candidates, their order and the counters are the same for both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/context_capsule/capsule_candidate.h"
#include "model/level.h"
#include "model/metadata_value_index.h"
#include "model/record_map.h"

namespace vesk {

// Budgets are clamped into [1, kMaxCapsuleTokenBudget].
inline constexpr uint64_t kMaxCapsuleTokenBudget = 32768;
// What an entry costs beyond its text's estimate.
inline constexpr uint64_t kCapsuleEntryOverhead = 16;
// Filling stops once fewer tokens than this remain.
inline constexpr uint64_t kCapsuleMinRemaining = 25;

struct CapsuleEntry {
  std::string record_id;
  CapsuleCategory category = CapsuleCategory::PurposeRelevant;
  // The record's content (or its compacted text) cut to the budget.
  std::string content;
  std::string source_type;
  std::string semantic_type;
  Level level = Level::Working;
  // The record's values; a value that is not finite becomes 0.0.
  float confidence = 0.0f;
  float strength = 0.0f;
  float salience = 0.0f;
  // The text's estimate plus 16.
  uint64_t estimated_tokens = 0;
  std::vector<std::string> selection_reasons;

  bool operator==(const CapsuleEntry&) const = default;
};

// What compaction changed; present only in a compacted capsule.
struct CapsuleCompaction {
  uint64_t baseline_entry_count = 0;
  uint64_t output_entry_count = 0;
  uint64_t additional_entry_count = 0;
  // Per entry, the estimate of the record's full content plus 16.
  uint64_t original_equivalent_tokens = 0;
  uint64_t compacted_tokens = 0;
  uint64_t saved_tokens = 0;
  // saved / original in 32 bits; 0.0 without original tokens.
  float reduction_ratio = 0.0f;
  uint64_t transformed_entry_count = 0;
  uint64_t protected_entry_count = 0;
  bool originals_unchanged = true;

  bool operator==(const CapsuleCompaction&) const = default;
};

struct ContextCapsule {
  std::string namespace_;
  // As the caller passed it, untrimmed.
  std::string purpose;
  // After the clamp.
  uint64_t token_budget = 0;
  uint64_t estimated_tokens = 0;
  // Records that passed the filter, classified or not.
  uint64_t source_record_count = 0;
  // Candidates that got no entry.
  uint64_t omitted_count = 0;
  // Candidates (not entries) of categories 0, 1 and 3.
  uint64_t refutation_count = 0;
  uint64_t evidence_debt_count = 0;
  uint64_t contradiction_count = 0;
  // 64 lower-case hex digits.
  std::string capsule_hash;
  std::vector<CapsuleEntry> entries;
  std::optional<CapsuleCompaction> compaction;
};

// The budget clamped into [1, 32768].
uint64_t clamp_capsule_token_budget(uint64_t token_budget);

// The capsule of the records of `records` in `namespace_` for `purpose` at
// `reference_time` (Unix seconds). The caller holds the map's read lock for
// the whole call. `index`, when given, describes `records` and indexes
// kCapsuleMetadataKeys (capsule_candidate.h): the metadata of records that
// hold none of those keys is then not read. Cannot fail.
ContextCapsule assemble_context_capsule(const RecordMap& records, std::string_view namespace_,
                                        std::string_view purpose, double reference_time, uint64_t token_budget,
                                        const MetadataValueIndex* index = nullptr);

// The same with compacted texts and the compaction record.
ContextCapsule assemble_compacted_context_capsule(const RecordMap& records, std::string_view namespace_,
                                                  std::string_view purpose, double reference_time,
                                                  uint64_t token_budget, const MetadataValueIndex* index = nullptr);

}  // namespace vesk
