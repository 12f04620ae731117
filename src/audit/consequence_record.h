// The consequence-unit record convention: how a unit is held by one ordinary
// record of the store, and how it is read back.
//
// A unit of namespace N is one record with
//   content   "[CONSEQUENCE] situation={} | action={} | consequence={} |
//             trust={} | scope={}" (one line; the scope entries as given,
//             joined with ",")
//   tags      "consequence-unit", "outcome", the polarity tag
//             ("consequence-support" / "-refute" / "-inconclusive"), then
//             "scope:" + each scope entry trimmed, empty ones left out
//   content type "json" (the content is the plain text above), source type
//   "recorded", semantic type "decision", level Decisions, namespace N
//   metadata  kind            "consequence_unit"
//             cu_situation, cu_action, cu_consequence   as given
//             cu_trust        decimal, "-" when negative
//             cu_scope        entries as given, joined with "\n"
//             cu_provenance   entries joined with "\n"
//             cu_captured_at  decimal with exactly six digits after the point
//             cu_links        compact JSON object target -> relation type,
//                             only when there are links
// Only consequence capture may write the reserved tags and keys
// (write/reserved_metadata.h). A record is a unit when it carries the tag
// "consequence-unit" and its `kind` is exactly "consequence_unit".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/consequence_unit.h"
#include "base/string_hash.h"
#include "model/record.h"

namespace vesk {

inline constexpr std::string_view kConsequenceUnitTag = "consequence-unit";

struct ConsequenceRecordFields {
  std::string content;
  std::vector<std::string> tags;
  StringMap metadata;
};

// The content, tags and metadata that hold `unit` (its record id unused).
ConsequenceRecordFields consequence_record_fields(const ConsequenceUnit& unit);

// The unit a record holds, or none when the record is not a unit. Lenient
// field by field: a malformed trust reads 0, a malformed time the record's
// creation time, malformed links as none; scope and provenance entries are
// trimmed and empty ones dropped. The content is not read.
std::optional<ConsequenceUnit> build_consequence_unit(const Record& record);

// Trimmed (Unicode white space) with ASCII letters lower-cased: the form in
// which situations, actions and queries are compared.
std::string consequence_match_text(std::string_view text);

}  // namespace vesk
