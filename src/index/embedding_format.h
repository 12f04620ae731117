// The embedding files "embeddings.cog" (snapshot) and "embeddings.log" (log).
//
// Together they hold at most one vector of 32-bit floats per record id. Every
// change is either one frame appended to the log or a rewrite of the snapshot
// (a compaction) followed by the deletion of the log, so the state on disk is
// always "snapshot, then the log's frames in order".
//
// Snapshot. The sealed form (sealed_format.h) of one compact JSON object with
// one member per vector: the member name is the record id, the value a JSON
// array of numbers, each the 32-bit float in its shortest round-trip form
// (json_number.h: 1.0, 0.25, 1e20). Members follow the in-memory order, which
// is unspecified. An empty store is "{}". Readers allow whitespace around the
// object, take any JSON number (narrowed to 32 bits) and let a repeated member
// keep its last value. It is replaced only through write_file_atomic.
//
// Log. No header; frames back to back from offset 0, all integers
// little-endian, n = payload length:
//
//   offset  size  field
//   0       4     n, u32
//   4       4     CRC-32 (zlib's IEEE polynomial) of the n payload bytes, u32
//   8       n     payload: the sealed form of the frame's LogFrame text
//
// LogFrame text: {"id":"<record id>","v":[numbers]} in that member order, the
// numbers as in the snapshot. Readers also take the members in the other
// order, skip further members, and take the array form ["<id>",[numbers]]; a
// missing or repeated member makes the frame invalid. Each frame is one put
// (insert or replace); there is no removal frame, since a removal compacts.
//
// Replay applies frames from offset 0 and stops at the first one that is torn
// (fewer than 8 header bytes or n payload bytes left), fails its CRC, does not
// unseal or is not a valid LogFrame with nothing but whitespace after it; the
// file is then cut back to the end of the last applied frame. Appends are
// not forced to stable storage: a crash may lose the last puts, never an
// earlier one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kEmbeddingSnapshotFileName = "embeddings.cog";
inline constexpr std::string_view kEmbeddingLogFileName = "embeddings.log";
inline constexpr size_t kEmbeddingFrameHeaderSize = 8;

// The log is compacted once it holds more frames than the larger of this and
// the number of stored vectors, so rewriting stays proportional to the puts.
inline constexpr uint64_t kEmbeddingCompactionMinFrames = 1024;

}  // namespace vesk
