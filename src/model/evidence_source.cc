#include "model/evidence_source.h"

#include <sodium.h>

#include "base/hex.h"

namespace vesk {

EvidenceSource evidence_source_new(std::string_view document_id, std::string_view revision_id, std::string_view uri,
                                   std::string_view source_bytes) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(source_bytes.data()), source_bytes.size());
  return EvidenceSource{
      .document_id = std::string(document_id),
      .revision_id = std::string(revision_id),
      .uri = std::string(uri),
      .source_hash = hex_encode(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest)),
      .byte_length = source_bytes.size(),
  };
}

}  // namespace vesk
