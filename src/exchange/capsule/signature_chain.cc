#include "exchange/capsule/signature_chain.h"

#include <vector>

#include "base/hex.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/signing_key.h"

namespace vesk {

Result<ContainerAuthenticityReport> verify_signature_chain(const fs::path& path,
                                                           std::optional<std::string_view> trusted_public_key,
                                                           bool require_all_signed, Env& env) {
  Result<ContainerFile> file = ContainerFile::open(path, env);
  if (!file.ok()) return file.status();
  Result<ContainerHeader> header = read_container_header(*file);
  if (!header.ok()) return header.status();
  if (header->version != kContainerLayoutV2) {
    return Status::OS("Authenticity verification requires an Vesk v2 container");
  }
  Result<ContainerState> state = read_container_generations(*file, *header);
  if (!state.ok()) return state.status();
  return verify_signature_chain(*state, path, trusted_public_key, require_all_signed);
}

Result<ContainerAuthenticityReport> verify_signature_chain(const ContainerState& state, const fs::path& path,
                                                           std::optional<std::string_view> trusted_public_key,
                                                           bool require_all_signed) {
  std::vector<const CapsuleToc*> signed_tocs;
  for (const CapsuleToc& toc : state.generations) {
    if (toc.authenticity) signed_tocs.push_back(&toc);
  }
  const uint64_t total = state.generations.size();
  const uint64_t signed_count = signed_tocs.size();
  const uint64_t unsigned_count = total - signed_count;
  if (require_all_signed && unsigned_count > 0) {
    return Status::OS("Vesk container has " + std::to_string(unsigned_count) + " unsigned retained generation(s)");
  }
  if (trusted_public_key) {
    Result<Ed25519PublicKey> trusted = parse_public_key_hex(*trusted_public_key);
    if (!trusted.ok()) return trusted.status().as(ErrorKind::OS);
    if (signed_tocs.empty()) {
      return Status::OS("Vesk container has no signed generations to verify against the trusted key");
    }
    const std::string trusted_hex(hex_encode({reinterpret_cast<const char*>(trusted->data()), trusted->size()}));
    if (signed_tocs.front()->authenticity->public_key != trusted_hex) {
      return Status::OS("Vesk container signing identity does not match the trusted public key");
    }
  }

  ContainerAuthenticityReport report;
  report.path = path.native();
  report.generation_count = total;
  report.signed_generation_count = signed_count;
  report.unsigned_generation_count = unsigned_count;
  report.all_generations_signed = signed_count == total;
  if (!signed_tocs.empty()) {
    const CapsuleGenerationAuthenticity& first = *signed_tocs.front()->authenticity;
    report.chain_start_generation = signed_tocs.front()->generation;
    report.detached_prefix = first.previous_manifest_sha256.has_value();
    report.public_key = first.public_key;
    report.latest_manifest_sha256 = signed_tocs.back()->authenticity->manifest_sha256;
  }
  return report;
}

}  // namespace vesk
