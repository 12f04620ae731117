// The cognitive journal "brain.cog": every change of the record map, as one
// checksummed frame per change, appended in order.
//
// The file starts with a 5-byte header; frames follow back to back up to the
// end of the file. Integers are little-endian. A store with a data key seals
// every payload (sealed_format.h) and says so in the flags byte; the store's
// keyed state must match the flags at open.
//
// Header:
//
//   offset  size  field
//   0       4     magic "COG1"
//   4       1     flags: 0x02 without a key, 0x03 with one
//                 (bit 0: payloads sealed; bit 1: always set)
//
// Frame (N = stored payload length):
//
//   offset  size  field
//   0       1     kind, 1 to 6
//   1       4     N, u32
//   5       4     CRC-32 (IEEE, as zlib computes it) of the N stored bytes
//   9       N     payload: sealed when keyed, else the plain bytes
//
// Kinds (payload after unsealing) and their effect when replayed into the
// record map:
//
//   1  one record as a JSON object    insert, replacing a record with that id
//   2  one record as a JSON object    same as 1 (whole-record writes)
//   3  a record id: its first 12      remove that id; bytes after the twelfth
//      bytes, lossy UTF-8             are ignored
//   4  a JSON array of records        each inserted in order, as kind 1
//   5  a JSON array of RecordPatch    the patch list, all or nothing
//   6  one CognitiveMutationBatch     deletions, then upserts
//
// Kinds 1 and 2 are appended without forcing; 4, 5 and 6 are forced to stable
// storage before the append returns. Compaction rewrites the journal as one
// kind-1 frame per live record.
//
// Replay reads front to back up to the length the file had when it started.
// A frame whose head or payload runs past that length is a torn tail: replay
// stops there. A frame whose CRC does not match, an unknown kind, a kind-3
// payload shorter than 12 bytes, or a payload that does not read as its
// kind's JSON form (whitespace may follow it, nothing else) is skipped, and
// replay goes on with the next frame. Only a payload that does not unseal
// fails the replay. Opening the journal for appending first cuts it back to
// the end of its last whole frame, so a frame appended after a torn tail is
// never swallowed by the torn frame's length at the next replay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kJournalFileName = "brain.cog";
// Compaction's scratch file: the journal's name with its extension "tmp".
inline constexpr std::string_view kJournalTempFileName = "brain.tmp";

inline constexpr std::string_view kJournalMagic = "COG1";
inline constexpr uint8_t kJournalFlagsPlain = 0x02;
inline constexpr uint8_t kJournalFlagsKeyed = 0x03;
inline constexpr size_t kJournalHeaderSize = 5;

inline constexpr size_t kFrameHeadSize = 9;
inline constexpr size_t kFrameIdSize = 12;  // the id bytes of a kind-3 payload

enum class FrameKind : uint8_t {
  kRecordInsert = 1,
  kRecordWrite = 2,
  kRecordRemove = 3,
  kRecordBatch = 4,
  kRecordPatches = 5,
  kMutationBatch = 6,
};

inline constexpr uint8_t journal_flags(bool keyed) { return keyed ? kJournalFlagsKeyed : kJournalFlagsPlain; }

}  // namespace vesk
