// Signed generations and the signed manifest chain.
//
// A signed generation's authenticity record holds the algorithm
// "ed25519-vesk-manifest-v1", the signer's public key, the SHA-256 of the
// generation manifest (generation_manifest.h), the manifest digest of the
// signed generation before it (null at the start of a chain) and the Ed25519
// signature over the manifest bytes, every text lower-case hexadecimal.
// The signed generations of a container form one chain, one key from its
// first link to its last: a container may begin with unsigned generations,
// but once one is signed every later one is signed too, with that key.
//
// Stored texts are compared exactly: a digest or key stored in upper case
// does not equal its lower-case form.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "base/status.h"
#include "exchange/capsule/container_state.h"
#include "exchange/capsule/signing_key.h"
#include "model/capsule_toc.h"

namespace vesk {

// Builds the manifest of the finished TOC (every field but the storage ones
// filled) with `predecessor`, signs it and sets the TOC's authenticity.
void sign_generation_manifest(CapsuleToc& toc, const std::optional<std::string>& predecessor,
                              const ContainerSigningKey& key);

// What the walk over a file's generations remembers of the last signed
// generation it accepted.
struct SignatureChainState {
  std::string manifest_sha256;
  std::string public_key;
};

// The checks on generation `toc` at `position` (0 for the file's first),
// given the chain state of the generations before it, which is updated.
// First failure wins:
//   unsigned after a signed one: "Vesk generation {} is unsigned after a signed generation"
//   a. "Unsupported Vesk generation signature algorithm: {stored text}"
//   b. the public key parses (signing_key.h, its messages)
//   c. "Vesk generation signature is not valid hexadecimal",
//      "Vesk generation signature must encode exactly 64 bytes"
//   d. the rebuilt manifest's digest equals the stored text:
//      "Vesk generation {} signed manifest digest mismatch (expected {stored}, got {computed})"
//   e. "Vesk generation {} signature verification failed"
//   f. inside a chain: "Vesk generation {} signature chain predecessor mismatch",
//      "Vesk generation {} changes signing identity inside one chain"
//   g. a chain that starts after unsigned generations has no predecessor:
//      "Vesk generation {} starts a signature epoch with an unexpected predecessor"
//      (the file's first generation may name one: its chain began in
//      generations that are no longer in the file)
Status check_generation_signature(const CapsuleToc& toc, size_t position,
                                  std::optional<SignatureChainState>& chain);

// Whether a generation may be added to a container whose state was just
// read, signed with `key` or (null) unsigned:
//   latest unsigned: yes
//   latest signed, no key: "Vesk container generation {} is signed; use a signed mutation API"
//   latest signed, another key: "Vesk container signing key does not match the active signature chain"
Status check_signing_key_chain(const ContainerState& state, const ContainerSigningKey* key);

}  // namespace vesk
