// EvidenceSource: one registered revision of a source document, named by its
// ids and pinned by the SHA-256 digest and the length of its complete bytes.
//
// Research findings and retrieval episodes build one from their arguments
// and later compare the digest and length with those of the source bytes
// they are given again: a difference means the source changed since it was
// registered. It lives in memory only; nothing stores or returns it whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vesk {

struct EvidenceSource {
  std::string document_id;  // the logical document
  std::string revision_id;  // its revision
  std::string uri;          // where the document lives
  std::string source_hash;   // SHA-256 of the registered bytes, 64 lower-case hex digits
  uint64_t byte_length = 0;  // number of registered bytes

  bool operator==(const EvidenceSource&) const = default;
};

// Copies the three texts as given (they are not checked) and digests the
// bytes. Cannot fail.
EvidenceSource evidence_source_new(std::string_view document_id, std::string_view revision_id, std::string_view uri,
                                   std::string_view source_bytes);

}  // namespace vesk
