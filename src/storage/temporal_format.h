// The side map "temporal.bin": links between record log entries.
//
// A set of (entry id, linked id) pairs kept beside the record log. It is
// rewritten whole on every flush of the log (through "temporal.tmp" and a
// rename), in the iteration order of the in-memory map. A side map that is
// missing, damaged or of another form is ignored at open, never an error; the
// next flush rewrites it. All integers little-endian.
//
//   offset  size  field
//   0       4     magic "TPL1"
//   4       1     flag, 1
//   5       8     pair count c, u64
//   13      ...   c pairs, each:
//                   u64 key length, the key's UTF-8 bytes (entry id),
//                   u64 value length, the value's UTF-8 bytes (linked id)
//
// An empty side map is 13 bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kSideMapFileName = "temporal.bin";
inline constexpr std::string_view kSideMapTempName = "temporal.tmp";
inline constexpr std::string_view kSideMapMagic = "TPL1";
inline constexpr size_t kSideMapHeaderSize = 13;
// Pairs reserved up front at most, whatever count the file claims.
inline constexpr size_t kSideMapReserveLimit = 21845;

}  // namespace vesk
