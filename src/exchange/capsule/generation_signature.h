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

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
  // `public_key` decoded; a later generation naming the same text reuses it
  // instead of decoding and checking the point again.
  Ed25519PublicKey key{};
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

// The same checks over the generations of one walk, with the Ed25519 checks
// (e) put off and run in parallel a batch at a time; the outcome is the one
// the checks in order would give. A walk calls `check` on each generation in
// file order; when it stops early with an error of its own it reports
// `first_error(its error)`, and when it ends normally it reports `finish()`.
// A generation whose signature fails outranks everything found after it:
// every reported error is the first one the in-order checks would meet.
class SignatureBatch {
 public:
  // Checks a..g of `toc` except e, whose check is queued; runs the queue
  // when it is full. An error here is already the first in order.
  Status check(const CapsuleToc& toc, size_t position, std::optional<SignatureChainState>& chain);
  // Runs the queued checks; the error of the first generation that fails.
  Status finish();
  // The first in-order error of a walk that stopped with `walk_error` at a
  // generation after the queued ones: a queued failure, else `walk_error`.
  Status first_error(Status walk_error);

 private:
  struct Pending {
    uint64_t generation;
    std::string manifest;
    std::array<uint8_t, 64> signature;
    Ed25519PublicKey key;
  };
  std::vector<Pending> pending_;
};

// Whether a generation may be added to a container whose state was just
// read, signed with `key` or (null) unsigned:
//   latest unsigned: yes
//   latest signed, no key: "Vesk container generation {} is signed; use a signed mutation API"
//   latest signed, another key: "Vesk container signing key does not match the active signature chain"
Status check_signing_key_chain(const ContainerState& state, const ContainerSigningKey* key);

}  // namespace vesk
