// Verifying a whole container against its signatures.
//
// Every committed generation is read with the per-generation signature
// checks (generation_signature.h); the signed and unsigned generations are
// counted and, with a trusted public key, the chain must be signed with it.
// Only reads; takes no lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_state.h"

namespace vesk {

struct ContainerAuthenticityReport {
  std::string path;  // as given
  bool verified = true;  // a failed check is an error, never a report
  uint64_t generation_count = 0;
  uint64_t signed_generation_count = 0;
  uint64_t unsigned_generation_count = 0;
  bool all_generations_signed = false;
  // From the first signed generation; none when nothing is signed.
  std::optional<uint64_t> chain_start_generation;
  bool detached_prefix = false;  // the first signed generation names a predecessor
  std::optional<std::string> public_key;  // as stored
  // From the last signed generation.
  std::optional<std::string> latest_manifest_sha256;
};

// First failure wins: the file's own errors and the header's; "Authenticity
// verification requires an Vesk v2 container"; the generation reader's (the
// signature checks included); with `require_all_signed`, "Vesk container has
// {n} unsigned retained generation(s)"; with a trusted key, its parsing
// (signing_key.h), "Vesk container has no signed generations to verify
// against the trusted key", "Vesk container signing identity does not match
// the trusted public key" (the key is compared in lower case).
Result<ContainerAuthenticityReport> verify_signature_chain(const fs::path& path,
                                                           std::optional<std::string_view> trusted_public_key,
                                                           bool require_all_signed, Env& env);

// The checks after the reading, over the generations of a layout-2
// container already read; `path` goes into the report.
Result<ContainerAuthenticityReport> verify_signature_chain(const ContainerState& state, const fs::path& path,
                                                           std::optional<std::string_view> trusted_public_key,
                                                           bool require_all_signed);

}  // namespace vesk
