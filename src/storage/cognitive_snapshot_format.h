// The journal snapshot "brain.snap": the whole record map at a known journal
// length, so an open can start there instead of replaying the journal from
// its first frame.
//
// Written only by compaction, right after the journal was rewritten; the
// covered length L is the byte length of "brain.cog" at that moment. Loading
// takes the snapshot's records and replays the journal from offset L. Records
// appear in the iteration order of the map they were written from. Integers
// are little-endian; there is no checksum.
//
//   offset  size  field
//   0       4     magic "CSN1"
//   4       1     flags: the journal's flags byte (written, never examined)
//   5       8     covered journal length L, u64
//   13      4     record count C, u32
//   17      ...   C entries: length M (u32), then M bytes holding one record
//                 as a JSON object, sealed when the store has a key
//
// A snapshot that is missing, foreign (another magic), cut short, does not
// unseal, or covers more than the journal holds (L greater than the journal's
// length: it belongs to an older journal) is ignored as a whole, and the
// journal is replayed from its first frame. An entry whose JSON does not read
// is left out; the others load.
#pragma once

#include <cstddef>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kSnapshotFileName = "brain.snap";
// Compaction's scratch file: the snapshot's name with its extension "snap.tmp".
inline constexpr std::string_view kSnapshotTempFileName = "brain.snap.tmp";

inline constexpr std::string_view kSnapshotMagic = "CSN1";
inline constexpr size_t kSnapshotHeaderSize = 17;

}  // namespace vesk
