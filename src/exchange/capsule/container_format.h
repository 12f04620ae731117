// The portable container file: one ordinary file that carries copies of a
// store directory's files in numbered generations.
//
// All integers are unsigned little-endian; magics are four ASCII bytes in
// file order; offsets are in bytes. Each generation is a snapshot of the
// store's files, one segment per file (stored "raw" or as one Zstandard
// frame), described by a table of contents (the TOC: compact JSON, see
// model/capsule_toc.h). A generation may point at the stored bytes of an
// earlier one for files that did not change.
//
// Header, 64 bytes at offset 0:
//
//   offset  size  layout 2 (written)             layout 1 (read only)
//   0       4     magic "VKPC"                   magic "VKPC"
//   4       2     version = 2                    version = 1
//   6       2     flags = 0                      flags = 0
//   8       8     created_at, Unix seconds       created_at, equal to the TOC's
//   16      8     reserved, zero                 toc_offset (absolute)
//   24      8     reserved, zero                 toc_length
//   32      32    reserved, zero                 SHA-256 of the TOC bytes
//
// In layout 2 a reader checks magic, version and flags only; created_at and
// the reserved bytes are written but never read.
//
// Layout 1: the header, the stored segment bytes, then the one TOC, which
// ends exactly at the end of the file.
//
// Layout 2: the header, then generations back to back from offset 64, each:
// an 80-byte frame, the stored bytes of the segments this generation wrote
// (in TOC order), then its TOC. A generation may write no segment bytes.
//
// Generation frame, 80 bytes:
//
//   offset  size  field
//   0       4     magic "VKGN"
//   4       2     frame_version = 1
//   6       2     flags = 0
//   8       8     generation, at least 1; each next one is the previous + 1
//   16      8     created_at, equal to the TOC's
//   24      8     generation_length: from the frame's first byte to the
//                 TOC's last (= toc_offset + toc_length)
//   32      8     toc_offset, relative to the frame (at least 80)
//   40      8     toc_length, 1 to 16 MiB
//   48      32    SHA-256 of the TOC bytes, raw
//
// A generation becomes visible (committed) when its frame is written, after
// its TOC has reached stable storage; a writer first puts 80 zero bytes where
// the frame goes. A reader walks the generations from offset 64 and stops,
// silently, at the first one that fails a commit rule (container_reader.h);
// the bytes from there on are an uncommitted tail.
//
// Segment offsets in a TOC are absolute; the "sha256" of a segment is the
// SHA-256 of the decoded bytes, whatever the codec. A segment lies between
// the header and its own TOC, anywhere (reused segments lie in earlier
// generations); the ranges of one TOC do not overlap.
#pragma once

#include <cstdint>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kContainerMagic = "VKPC";
inline constexpr std::string_view kGenerationMagic = "VKGN";
inline constexpr std::string_view kContainerFormat = "vesk-portable-container";

inline constexpr uint16_t kContainerLayoutV1 = 1;
inline constexpr uint16_t kContainerLayoutV2 = 2;
inline constexpr uint16_t kGenerationFrameVersion = 1;

inline constexpr uint64_t kContainerHeaderSize = 64;
inline constexpr uint64_t kGenerationFrameSize = 80;
// A shorter layout-2 file holds no generation (a generation needs 145 bytes:
// header, frame and a TOC of at least one byte).
inline constexpr uint64_t kSmallestWalkedContainer = kContainerHeaderSize + kGenerationFrameSize;

inline constexpr uint64_t kMaxTocLength = 16ull << 20;
inline constexpr uint64_t kMaxSegmentSize = 512ull << 20;
inline constexpr uint64_t kMaxTotalSize = 8ull << 30;
inline constexpr uint64_t kMaxGenerationLength = kGenerationFrameSize + kMaxTotalSize + kMaxTocLength;
inline constexpr size_t kMaxSegmentCount = 4096;
inline constexpr size_t kMaxHoldCount = 4096;
inline constexpr size_t kMaxSegmentNameLength = 512;
inline constexpr size_t kMaxHoldLabelLength = 256;

}  // namespace vesk
