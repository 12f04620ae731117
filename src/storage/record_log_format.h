// The record log "brain.vesk" and its lock file "brain.lock".
//
// brain.lock is created empty (0666 before the umask) and never written,
// truncated or removed. Holding an exclusive advisory lock on it is what makes
// a store directory open; a second holder, in this process or another, is
// refused.
//
// brain.vesk keeps one entry per stored record version, appended in order and
// never rewritten in place (only a purge replaces the whole file). All integers
// and floats are little-endian. There is no checksum: an open scans the entries
// from offset 64 and cuts the file back at the first entry that runs past the
// end of the file (a torn tail left by a crash). When more than one entry's
// worth of bytes follows such an entry, or an entry has no id, that is
// damage, not a crash: the whole file is copied to "brain.vesk.damaged-<unix
// seconds>" before it is cut there.
//
// Header, 64 bytes:
//
//   offset  size  field
//   0       4     magic "VESK"
//   4       4     format version, u32; written as 3, versions 0 to 3 are read
//   8       8     entry count, u64; informational (an open recounts), rewritten
//                 by a flush when it changed
//   16      8     creation time of the file, f64 Unix seconds with fraction
//   24      40    reserved, zeros, never read
//
// Entry, back to back from offset 64, no alignment (b = number of SDR
// positions, n = payload length); 79 + 2b + n bytes:
//
//   offset  size  field
//   0       32    id: UTF-8, zero-filled (cut to 32 bytes when longer)
//   32      16    tier: "general" or "user_core", zero-filled (cut to 16)
//   48      8     created_at, f64 Unix seconds
//   56      4     strength, f32
//   60      4     pin factor, f32: 100.0 for a record pinned when stored, else 1.0
//   64      4     reserved, u32, written as 0
//   68      4     reserved, u32, written as 0
//   72      2     b, u16
//   74      4     n, u32
//   78      1     encrypted flag: 1 = the payload is an encrypted payload
//                 (sealed_format.h, without "AEF1"; n = text length + 28);
//                 any other value = plain UTF-8 text; writers write 0 or 1
//   79      2b    SDR positions, b u16 values in the order given
//   79+2b   n     payload: the content text, or its encrypted payload
//
// Id and tier are read back as UTF-8 with ill-formed bytes replaced by U+FFFD
// and NUL characters stripped from both ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kLockFileName = "brain.lock";
inline constexpr std::string_view kLogFileName = "brain.vesk";

inline constexpr std::string_view kLogMagic = "VESK";
inline constexpr uint32_t kLogVersion = 3;
inline constexpr size_t kLogHeaderSize = 64;
inline constexpr size_t kLogCountOffset = 8;

inline constexpr size_t kEntryIdSize = 32;
inline constexpr size_t kEntryTierSize = 16;
inline constexpr size_t kEntryFixedSize = 79;
inline constexpr uint8_t kEntryEncrypted = 1;

inline constexpr std::string_view kTierGeneral = "general";
inline constexpr std::string_view kTierUserCore = "user_core";
inline constexpr float kPinnedPinFactor = 100.0f;

// The largest payload a store writes: a content of 102,400 bytes, sealed
// (28 bytes more).
inline constexpr size_t kLargestPayload = 102400 + 28;

}  // namespace vesk
