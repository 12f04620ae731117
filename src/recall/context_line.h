// Context lines: the text an agent reads for one recalled record.
//
// A plain record is one line, "  - " then the content, then the markers:
//
//   "  - x [retrieved] {decision} [a, b]"
//
// a source marker (" [inferred]", " [retrieved]", " [generated]"; none for
// "recorded" or any other text), a semantic marker (" {trend}",
// " {decision}", " {preference}", " {serendipity}", " {contradiction}";
// none otherwise) and the tags in stored order. A "json" or "code" record is
// a header ("  - [JSON]" / "  - [CODE]" with the markers) and the content in
// a fenced block ("json", or the "language" metadata, after the opening
// fence). Types and markers compare exactly, case included. The content goes
// in as stored. When the record's cause may be shown (same namespace, valid
// now, readable anonymously) a second line follows:
//
//   "\n    ^ because: " + the first 120 characters of the cause's content
//
// No trailing line break; the caller joins lines. The records map is only
// read, under the caller's read lock.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/record.h"
#include "model/scored_record.h"

namespace vesk {

inline constexpr size_t kCauseLineChars = 120;

// One context line of a record; its cause is shown when visible at `now`.
std::string format_recall_line(const Record& record, const RecordLookup& records, double now);

// The semantic marker of a semantic type (" {decision}", ...), empty for
// any other text.
std::string_view semantic_marker(std::string_view semantic_type);

// The record named by caused_by_id when it may be shown beside the record:
// present, in the same namespace, valid at the wall-clock time now (a
// `valid_until` equal to now is past), and allowed to an anonymous reader.
const Record* visible_cause_record(const Record& record, const RecordLookup& records, double now);

// The record's event date "YYYY-MM-DD HH:MM" from its "timestamp" metadata,
// in the offset the text carries; none without a parsable RFC 3339 stamp.
std::optional<std::string> format_context_date(const Record& record);

// A one-line, bracket-free copy of an untrusted text: "[" -> "(", "]" -> ")",
// "===" escaped, then every CR and LF a blank.
std::string sanitize_untrusted_text(std::string_view text);

// Every "===" (left to right, not overlapping) becomes "= = =".
std::string escape_triple_equals(std::string_view text);

}  // namespace vesk
