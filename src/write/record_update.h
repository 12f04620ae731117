// The rules of an in-place record update that need no store: which source
// types a caller may move to, which tags and metadata keys survive a
// replacement, and the confidence a record is left with.
//
// An update keeps what the ingress stamps and the consequence capture wrote:
// a caller can lower a record's source type but never raise it; the stamped
// provenance keys stay, a differing caller value surviving under "claimed_"
// + key; audit entity keys, consequence-unit keys and tags stay whatever the
// caller passes. A record's supersession mark and its access-control keys
// stay too unless the caller's map names them, so that a metadata rewrite
// neither reopens a closed version nor makes a restricted record public.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "base/string_hash.h"
#include "model/record.h"

namespace vesk {

// The fields an update may change; each absent one stays as it is.
struct RecordUpdate {
  std::optional<std::string> content;
  std::optional<Level> level;
  std::optional<std::vector<std::string>> tags;
  std::optional<float> strength;
  std::optional<StringMap> metadata;
  std::optional<std::string> source_type;
};

// "generated" 0 < "inferred" 1 < "retrieved" 2 < "recorded" 3; any other
// text (only possible for a stored value) ranks 2.
int source_type_rank(std::string_view source_type);

// "cannot raise source_type from {stored} to {given} via update" when the
// given type ranks above the stored one, else success.
Status check_source_type_not_raised(std::string_view stored, std::string_view given);

// The caller's tags in the caller's order, followed by each consequence tag
// ("consequence-unit", "-refute", "-support", "-inconclusive") the stored
// list holds and the caller's lacks, in stored order.
std::vector<std::string> updated_tags(const std::vector<std::string>& stored, std::vector<std::string> given);

// The metadata a record holds after the caller's map replaces `stored`:
//   - "source", "verified", "trust_score" are taken out of the caller's map;
//     a caller value that differs from the stored one (or has none stored)
//     is kept as "claimed_" + key;
//   - the kept system keys of `stored` override the caller's values: keys
//     beginning "vesk.audit.v1." or "cu_", "kind" = "consequence_unit",
//     "source", "verified", "timestamp", "trust_score", "claim_certainty",
//     "relayed_by_model";
//   - "superseded_by" and the "acl_" keys of `stored` stay unless the
//     caller's map gives them;
//   - every other stored key is gone.
StringMap updated_metadata(const StringMap& stored, StringMap given);

// The base confidence of the source type (0.9 recorded, 0.75 retrieved, 0.6
// inferred, 0.5 otherwise) times the factor of the metadata's
// "claim_certainty" when it parses.
float updated_confidence(const Record& record);

// ---- Feedback counters ----

inline constexpr std::string_view kFeedbackPositiveKey = "feedback_positive";
inline constexpr std::string_view kFeedbackNegativeKey = "feedback_negative";
inline constexpr std::string_view kFeedbackLastKey = "feedback_last";

// A counter as stored: an unsigned 32-bit decimal with an optional leading
// "+"; absent, empty, any other character or an overflow reads 0.
uint32_t read_feedback_counter(const StringMap& metadata, std::string_view key);

// One verdict: the counter of its kind up by one, "feedback_last" set to
// `now` with three decimals, the strength up 0.1 (capped at 1) for a useful
// record or down 0.15 (floored at 0) for a useless one.
void apply_feedback(Record& record, bool useful, double now);

}  // namespace vesk
