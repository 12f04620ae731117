// CapsuleToc: the table of contents of one portable container generation,
// and its JSON text.
//
// The table is one compact JSON object (no white space, minimal string
// escaping, integers in decimal), keys written in this order:
//
//   key              type                 written / read
//   "format"         text                 always / required
//   "version"        u16                  always / required
//   "generation"     u64                  always / absent reads 0
//   "created_at"     u64 Unix seconds     always / required
//   "segments"       [CapsuleSegment]     always / required
//   "original_size"  u64                  always / required
//   "stored_size"    u64                  always / required
//   "holds"          [hold]               always, [] when none / absent reads []
//   "authenticity"   authenticity record  only when signed / absent or null: none
//
// CapsuleSegment: "name" (text), "offset", "stored_size", "original_size"
// (u64), "codec" ("raw" or "zstd"; also {"raw":null}), "sha256" (text), all
// required. Hold: "generation" (u64), "label" (text), "created_at" (u64),
// all required. Authenticity: "algorithm", "public_key", "manifest_sha256"
// (texts, required), "previous_manifest_sha256" (text, written as null when
// absent; absent or null reads none), "signature" (text, required).
//
// Reading: members in any order, unknown members skipped, a member given
// twice fails with "duplicate field `{}`", the first absent required member
// (in the order above) fails with "missing field `{}`", integers must fit
// their width; each record may also come as an array of its values in table
// order; white space may surround the object. Errors are the JSON reader's
// own texts. What the values must satisfy is checked by the container's TOC
// validation, not here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "model/json_struct.h"

namespace vesk {

enum class SegmentCodec : uint8_t { Raw = 0, Zstd = 1 };
inline constexpr std::array<std::string_view, 2> kSegmentCodecNames = {"raw", "zstd"};

struct CapsuleSegment {
  std::string name;
  uint64_t offset = 0;
  uint64_t stored_size = 0;
  uint64_t original_size = 0;
  SegmentCodec codec = SegmentCodec::Raw;
  std::string sha256;

  bool operator==(const CapsuleSegment&) const = default;
};

struct CapsuleGenerationHold {
  uint64_t generation = 0;
  std::string label;
  uint64_t created_at = 0;

  bool operator==(const CapsuleGenerationHold&) const = default;
};

struct CapsuleGenerationAuthenticity {
  std::string algorithm;
  std::string public_key;
  std::string manifest_sha256;
  std::optional<std::string> previous_manifest_sha256;
  std::string signature;

  bool operator==(const CapsuleGenerationAuthenticity&) const = default;
};

struct CapsuleToc {
  std::string format;
  uint16_t version = 0;
  uint64_t generation = 0;
  uint64_t created_at = 0;
  std::vector<CapsuleSegment> segments;
  uint64_t original_size = 0;
  uint64_t stored_size = 0;
  std::vector<CapsuleGenerationHold> holds;
  std::optional<CapsuleGenerationAuthenticity> authenticity;

  bool operator==(const CapsuleToc&) const = default;
};

template <>
struct JsonCodec<SegmentCodec> : JsonIndexedEnumCodec<SegmentCodec, kSegmentCodecNames> {};
template <>
struct JsonCodec<CapsuleSegment> : JsonStructCodec<CapsuleSegment> {
  static const JsonStruct<CapsuleSegment>& fields();
};
template <>
struct JsonCodec<CapsuleGenerationHold> : JsonStructCodec<CapsuleGenerationHold> {
  static const JsonStruct<CapsuleGenerationHold>& fields();
};
template <>
struct JsonCodec<CapsuleGenerationAuthenticity> : JsonStructCodec<CapsuleGenerationAuthenticity> {
  static const JsonStruct<CapsuleGenerationAuthenticity>& fields();
};
template <>
struct JsonCodec<CapsuleToc> : JsonStructCodec<CapsuleToc> {
  static const JsonStruct<CapsuleToc>& fields();
};

// The table's compact JSON bytes.
std::string serialize_capsule_toc(const CapsuleToc& toc);
// The member "holds" with its array ("[]" when empty), as the table and the
// generation manifest write it.
void serialize_holds_field(JsonWriter& w, const std::vector<CapsuleGenerationHold>& holds);
// A table from its JSON bytes, or the JSON reader's error.
Result<CapsuleToc> parse_capsule_toc(std::string_view json);

}  // namespace vesk
