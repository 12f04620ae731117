// Context fragments: the records one store recalled for a query, as a small
// JSON document that another store (or another agent) can read back.
//
// The document is one object whose keys are written in byte order:
//   "format"        "vesk_context"
//   "query"         the query text as given to the export
//   "record_count"  the number of items of "records"
//   "records"       the fragment records, in the recall's order
//   "version"       "1.0"
// and each fragment record, keys again in byte order:
//   "content", "content_type", "created_at" (64-bit seconds, null when not
//   finite), "id", "level" ("WORKING", "DECISIONS", "DOMAIN", "IDENTITY"),
//   "metadata" (text values, keys in byte order, with "shared_score" and
//   "shared_from" set), "namespace", "source_type", "strength" (the 32-bit
//   strength widened to 64 bits: a stored 0.9 reads 0.8999999761581421;
//   null when not finite), "tags" (in the record's order).
// It is written indented, two blanks per level, floats in their shortest
// 64-bit form with ".0" on whole values.
//
// A reader takes only "format", "records" and, per record, "content",
// "level", "tags" and "metadata"; the rest may be absent. What it reads is
// second-hand memory: the reader of one record (read_fragment_record) turns
// it into what the write path is handed, tagged "shared", flagged
// "trust_external", with everything that only captured consequences carry
// taken off so that the write path does not refuse it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "base/string_hash.h"
#include "model/json_value.h"
#include "model/level.h"
#include "model/scored_record.h"

namespace vesk {

inline constexpr std::string_view kContextFragmentFormat = "vesk_context";
inline constexpr std::string_view kContextFragmentVersion = "1.0";

// The fragment of a recall's results; `shared_from` is the exporting store's
// directory as text. Cannot fail.
std::string write_context_fragment(std::string_view query, std::span<const ScoredRecord> results,
                                   std::string_view shared_from);

// "shared_score": the score with exactly four digits after the point.
std::string shared_score_text(float score);

// The "records" array of a fragment text, once the document is checked: the
// JSON reader's message for text that is not JSON, then "Unknown format:
// '{format}'. Expected 'vesk_context'" (format empty when the document is not
// an object or its "format" is not a text), "Missing 'records' field",
// "'records' must be an array". Runtime errors.
Result<JsonValue::Array> read_fragment_records(std::string_view text);

// What one fragment record is stored as.
struct FragmentRecord {
  std::string content;
  Level level = Level::Working;
  std::vector<std::string> tags;
  StringMap metadata;
};

// One item of "records": a Runtime error "Record missing 'content'" when it
// is not an object with a text "content". The level is the "level" text
// upper-cased ("decisions" is Decisions; anything else, a non-text or none is
// Working); the tags are "tags" when every item is a text (otherwise none),
// with "shared" added once and the consequence tags removed; the metadata is
// "metadata" when every value is a text (otherwise empty), with
// "trust_external" set to "true", every "cu_" key removed and "kind" removed
// when it says "consequence_unit".
Result<FragmentRecord> read_fragment_record(const JsonValue& item);

}  // namespace vesk
