// Compaction of one record text for the compacted context capsule: the same
// statements in fewer tokens. The stored record is never changed.
//
//   1. Segments: a segment ends after '.', '!', '?' or ';' when white space
//      (Unicode White_Space) or the end of the text follows, and right after
//      a line feed. Each segment is trimmed; empty ones are dropped. "a.b"
//      stays one segment.
//   2. Every run of white space inside a segment becomes one blank.
//   3. At most one filler prefix is removed, compared ignoring ASCII case and
//      tried in order: "as previously mentioned, ", "for completeness, ",
//      "in other words, ", "it is important to note that "; the rest is
//      trimmed and keeps its case.
//   4. A segment equal byte for byte to one already kept from this text is
//      dropped (repeats across records stay).
//   5. The kept segments are joined with single blanks.
// Compaction never lengthens a text.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

std::string compact_capsule_text(std::string_view text);

}  // namespace vesk
