#include "exchange/capsule/generation_signature.h"

#include <sodium.h>

#include "base/hex.h"
#include "base/sha256.h"
#include "exchange/capsule/generation_manifest.h"

namespace vesk {

namespace {

bool verify_signature(std::string_view signature, std::string_view message, const Ed25519PublicKey& key) {
  static const bool ready = sodium_init() >= 0;
  (void)ready;
  return crypto_sign_ed25519_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                             reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                                             key.data()) == 0;
}

std::string_view as_text(const uint8_t* bytes, size_t n) { return {reinterpret_cast<const char*>(bytes), n}; }

std::string numbered(std::string_view head, uint64_t generation, std::string_view tail) {
  return std::string(head) + std::to_string(generation) + std::string(tail);
}

}  // namespace

void sign_generation_manifest(CapsuleToc& toc, const std::optional<std::string>& predecessor,
                              const ContainerSigningKey& key) {
  const std::string manifest = build_generation_manifest(toc, predecessor);
  const std::array<uint8_t, 64> signature = key.sign(manifest);
  CapsuleGenerationAuthenticity& a = toc.authenticity.emplace();
  a.algorithm = std::string(kManifestSignatureAlgorithm);
  a.public_key = key.public_key_hex();
  a.manifest_sha256 = sha256_hex(manifest);
  a.previous_manifest_sha256 = predecessor;
  a.signature = hex_encode(as_text(signature.data(), signature.size()));
}

Status check_generation_signature(const CapsuleToc& toc, size_t position,
                                  std::optional<SignatureChainState>& chain) {
  const uint64_t g = toc.generation;
  if (!toc.authenticity) {
    if (chain) return Status::OS(numbered("Vesk generation ", g, " is unsigned after a signed generation"));
    return Status::Ok();
  }
  const CapsuleGenerationAuthenticity& a = *toc.authenticity;
  if (a.algorithm != kManifestSignatureAlgorithm) {
    return Status::OS("Unsupported Vesk generation signature algorithm: " + a.algorithm);
  }
  Result<Ed25519PublicKey> public_key = parse_public_key_hex(a.public_key);
  if (!public_key.ok()) return public_key.status();
  std::optional<std::string> signature = hex_decode(a.signature);
  if (!signature) return Status::OS("Vesk generation signature is not valid hexadecimal");
  if (signature->size() != 64) return Status::OS("Vesk generation signature must encode exactly 64 bytes");

  const std::string manifest = build_generation_manifest(toc, a.previous_manifest_sha256);
  const std::string digest = sha256_hex(manifest);
  if (digest != a.manifest_sha256) {
    return Status::OS(numbered("Vesk generation ", g, " signed manifest digest mismatch (expected ") +
                      a.manifest_sha256 + ", got " + digest + ")");
  }
  if (!verify_signature(*signature, manifest, *public_key)) {
    return Status::OS(numbered("Vesk generation ", g, " signature verification failed"));
  }
  if (chain) {
    if (a.previous_manifest_sha256 != chain->manifest_sha256) {
      return Status::OS(numbered("Vesk generation ", g, " signature chain predecessor mismatch"));
    }
    if (a.public_key != chain->public_key) {
      return Status::OS(numbered("Vesk generation ", g, " changes signing identity inside one chain"));
    }
  } else if (position > 0 && a.previous_manifest_sha256) {
    return Status::OS(numbered("Vesk generation ", g, " starts a signature epoch with an unexpected predecessor"));
  }
  chain = SignatureChainState{a.manifest_sha256, a.public_key};
  return Status::Ok();
}

Status check_signing_key_chain(const ContainerState& state, const ContainerSigningKey* key) {
  const CapsuleToc& latest = state.latest;
  if (!latest.authenticity) return Status::Ok();
  if (!key) {
    return Status::OS(numbered("Vesk container generation ", latest.generation,
                               " is signed; use a signed mutation API"));
  }
  if (key->public_key_hex() != latest.authenticity->public_key) {
    return Status::OS("Vesk container signing key does not match the active signature chain");
  }
  return Status::Ok();
}

}  // namespace vesk
