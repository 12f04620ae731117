#include "model/evidence_source.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(EvidenceSource, DigestAndLengthOfTheRegisteredBytes) {
  const EvidenceSource empty = evidence_source_new("doc", "rev-1", "https://example.org/doc", "");
  EXPECT_EQ(empty.document_id, "doc");
  EXPECT_EQ(empty.revision_id, "rev-1");
  EXPECT_EQ(empty.uri, "https://example.org/doc");
  EXPECT_EQ(empty.source_hash, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(empty.byte_length, 0u);

  const std::string bytes("abc\0def", 7);  // every byte counts, a NUL too
  const EvidenceSource a = evidence_source_new("a", "1", "", bytes);
  const EvidenceSource b = evidence_source_new("b", "2", "elsewhere", bytes);
  EXPECT_EQ(a.byte_length, 7u);
  EXPECT_EQ(a.source_hash, b.source_hash);
  EXPECT_NE(a.source_hash, evidence_source_new("a", "1", "", "abc").source_hash);
  EXPECT_EQ(evidence_source_new("a", "1", "", "abc").source_hash,
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace vesk
