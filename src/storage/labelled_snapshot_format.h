// Labelled snapshot files: "{stem}_snapshot_{label}.json" beside the store
// directory (where, and the stem: snapshot_files.h).
//
// A whole copy of the records a store holds in memory when it is taken; not
// part of the store directory, never read at open.
//
//   store    content
//   plain    UTF-8 JSON, one compact array of record objects (record_json.h,
//            all 27 keys): "[", the objects separated by ",", "]"; no
//            whitespace, no final newline; "[]" for no records
//   keyed    the same bytes as one sealed payload (sealed_format.h: "AEF1",
//            nonce, ciphertext, tag)
//
// The records follow the record map's iteration order (not sorted); records
// the open kept out of memory are not in it. A file is written whole by the
// atomic write (atomic_file.h), so a later snapshot of a label replaces the
// earlier one completely. Reading takes the array as it comes: an id given
// twice is two entries, the later one winning where records are keyed by id.
//
// Labels (checked when a snapshot is taken):
//
//   rule                                              message when broken
//   1 to 64 characters (Unicode scalar values)        "Label must be 1-64 characters"
//   each '-', '_', or alphanumeric: an ASCII letter   "Label must contain only
//   or digit, Alphabetic, or of category Nd, Nl, No   alphanumeric, dash, or
//                                                     underscore characters"
//
// The length is tested first. Labels read back (rollback, diff) are not held
// to these rules, since list_snapshots finds files whose labels break them,
// but a label holding a path separator or NUL names no snapshot file: it
// could only reach a file elsewhere.
#pragma once

#include <cstddef>
#include <string_view>

namespace vesk {

inline constexpr size_t kMaxSnapshotLabelChars = 64;

inline constexpr std::string_view kSnapshotLabelLengthError = "Label must be 1-64 characters";
inline constexpr std::string_view kSnapshotLabelCharsError =
    "Label must contain only alphanumeric, dash, or underscore characters";

}  // namespace vesk
