#include "exchange/capsule/generation_signature.h"

#include <sodium.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <cstring>
#include <utility>

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

namespace {

// Queue of put-off Ed25519 checks: enough work per batch to share out over
// the pool, little enough memory (a manifest is a few KB).
constexpr size_t kSignatureBatch = 512;

// What check e needs: the manifest, the signature and the key.
struct SignatureCheck {
  bool due = false;  // a..d passed, so e comes next in order
  std::string manifest;
  std::string signature;
  Ed25519PublicKey key{};
};

// Checks a..g in order; e runs at once when `verify_now`, else it is left in
// `e` for the caller to run.
Status check_signature(const CapsuleToc& toc, size_t position, std::optional<SignatureChainState>& chain,
                       bool verify_now, SignatureCheck& e) {
  std::string& manifest = e.manifest;
  std::string& signature = e.signature;
  Ed25519PublicKey& key = e.key;
  const uint64_t g = toc.generation;
  if (!toc.authenticity) {
    if (chain) return Status::OS(numbered("Vesk generation ", g, " is unsigned after a signed generation"));
    return Status::Ok();
  }
  const CapsuleGenerationAuthenticity& a = *toc.authenticity;
  if (a.algorithm != kManifestSignatureAlgorithm) {
    return Status::OS("Unsupported Vesk generation signature algorithm: " + a.algorithm);
  }
  if (chain && a.public_key == chain->public_key) {
    key = chain->key;  // the same text decoded and checked before
  } else {
    Result<Ed25519PublicKey> public_key = parse_public_key_hex(a.public_key);
    if (!public_key.ok()) return public_key.status();
    key = *public_key;
  }
  std::optional<std::string> decoded = hex_decode(a.signature);
  if (!decoded) return Status::OS("Vesk generation signature is not valid hexadecimal");
  if (decoded->size() != 64) return Status::OS("Vesk generation signature must encode exactly 64 bytes");
  signature = std::move(*decoded);

  manifest = build_generation_manifest(toc, a.previous_manifest_sha256);
  const std::string digest = sha256_hex(manifest);
  if (digest != a.manifest_sha256) {
    return Status::OS(numbered("Vesk generation ", g, " signed manifest digest mismatch (expected ") +
                      a.manifest_sha256 + ", got " + digest + ")");
  }
  e.due = true;
  if (verify_now && !verify_signature(signature, manifest, key)) {
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
  chain = SignatureChainState{a.manifest_sha256, a.public_key, key};
  return Status::Ok();
}

}  // namespace

Status check_generation_signature(const CapsuleToc& toc, size_t position,
                                  std::optional<SignatureChainState>& chain) {
  SignatureCheck e;
  return check_signature(toc, position, chain, true, e);
}

Status SignatureBatch::check(const CapsuleToc& toc, size_t position, std::optional<SignatureChainState>& chain) {
  SignatureCheck e;
  Status checked = check_signature(toc, position, chain, false, e);
  if (e.due) {
    // e comes before whatever check after it this generation failed, so it
    // joins the queue either way.
    Pending& p = pending_.emplace_back();
    p.generation = toc.generation;
    p.manifest = std::move(e.manifest);
    std::memcpy(p.signature.data(), e.signature.data(), p.signature.size());
    p.key = e.key;
  }
  if (!checked.ok()) return first_error(std::move(checked));
  if (pending_.size() >= kSignatureBatch) return finish();
  return Status::Ok();
}

Status SignatureBatch::finish() {
  std::vector<Pending> batch = std::move(pending_);
  pending_.clear();
  std::vector<uint8_t> valid(batch.size(), 0);
  // Isolated: a pool thread waiting here takes no unrelated job that could
  // want a lock the caller holds.
  tbb::this_task_arena::isolate([&] {
    tbb::parallel_for(tbb::blocked_range<size_t>(0, batch.size(), 16), [&](const tbb::blocked_range<size_t>& r) {
      for (size_t i = r.begin(); i != r.end(); ++i) {
        const Pending& p = batch[i];
        valid[i] = verify_signature(as_text(p.signature.data(), p.signature.size()), p.manifest, p.key);
      }
    });
  });
  for (size_t i = 0; i < batch.size(); ++i) {
    if (!valid[i]) {
      return Status::OS(numbered("Vesk generation ", batch[i].generation, " signature verification failed"));
    }
  }
  return Status::Ok();
}

Status SignatureBatch::first_error(Status walk_error) {
  Status queued = finish();
  return queued.ok() ? walk_error : queued;
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
