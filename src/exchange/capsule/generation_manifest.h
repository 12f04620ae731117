// The generation manifest: the bytes that a generation's signature covers
// and whose SHA-256 is its "manifest_sha256".
//
// One compact JSON object (the TOC's JSON form), built from a TOC and the
// predecessor digest, keys in this order:
//
//   "domain"                    "ed25519-vesk-manifest-v1"
//   "format"                    the TOC's "format"
//   "version"                   the TOC's "version"
//   "generation"                the TOC's "generation"
//   "created_at"                the TOC's "created_at"
//   "original_size"             the TOC's "original_size"
//   "segments"                  per TOC segment, in order: {"name",
//                               "original_size", "sha256"}
//   "holds"                     the TOC's holds, as the TOC writes them
//   "previous_manifest_sha256"  the predecessor digest text, or null
//
// Where and how the segments are stored ("offset", "stored_size", "codec")
// and the TOC's "stored_size" are left out, so a generation whose segments
// are moved or stored otherwise keeps its manifest and its signature. The
// bytes must come out exactly so, since their digest is compared.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/capsule_toc.h"

namespace vesk {

inline constexpr std::string_view kManifestSignatureAlgorithm = "ed25519-vesk-manifest-v1";

std::string build_generation_manifest(const CapsuleToc& toc, const std::optional<std::string>& predecessor);

}  // namespace vesk
