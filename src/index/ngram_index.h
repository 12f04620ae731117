// N-gram index: near-duplicate search by MinHash signatures (minhash.h).
//
// For each of the 128 signature positions a bucket map goes from the value
// at that position to the documents having it; a query scores each document
// by the share of positions where its signature equals the query's, an
// estimate of the Jaccard similarity of the two shingle sets. The index lives
// in memory only and is rebuilt at every open. It has no lock: the store's
// n-gram index lock guards it (queries under its read lock).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/doc_ids.h"
#include "index/minhash.h"
#include "index/signature_buckets.h"
#include "model/scored_record.h"

namespace vesk {

class NgramIndex {
 public:
  NgramIndex();

  // Indexes one record under its text. A text without shingles is not
  // indexed. An id indexed before is replaced: its earlier signature leaves
  // the buckets first, so no id is ever listed twice.
  void insert(std::string_view id, std::string_view text);
  // Asks for the cache lines an insert of the text will touch first (the
  // table entries of its signature's values and their lists' records), so
  // that a caller with other work to do before the insert finds them
  // fetched. Changes nothing.
  void prefetch_insert(std::string_view text) const;
  // An id that is not indexed is left alone.
  void remove(std::string_view id);
  // The same as insert() for each entry in order (a later entry for an id
  // replaces an earlier one), with the signatures computed in parallel on the
  // thread pool and the 128 bucket maps filled side by side: rebuilding the
  // index of a whole store at open is dominated by the signatures.
  struct Entry {
    std::string_view id;
    std::string_view text;
  };
  void insert_all(std::span<const Entry> entries);

  // Hits (id, count / 128) in ngram_hit_order, at most `limit`.
  RankedList query(std::string_view text, size_t limit) const;
  // Whether some indexed document shares at least `positions` signature
  // positions with the text, i.e. whether the best query(text, 1) hit scores
  // at least positions / 128, answered without counting every document that
  // shares a position: the short posting lists are searched first for a
  // witness, comparing at most `compare_budget` documents before the rest
  // are counted (see the .cc).
  static constexpr size_t kCompareBudget = 2048;
  bool has_match_of_at_least(std::string_view text, int positions, size_t compare_budget = kCompareBudget) const;

  size_t size() const { return ids_.size(); }
  // The XXH3-64 hash of the text an id was indexed with.
  std::optional<uint64_t> content_hash(std::string_view id) const;

 private:
  static constexpr size_t kChunk = 256;
  // A document's print: the low byte of each signature value. Two
  // signatures agree at most where their prints agree, so comparing the
  // prints (two cache lines, against eight) rules out most documents.
  using Print = std::array<uint8_t, kMinHashPermutations>;
  struct Chunk {
    CompactSignature sig[kChunk];
    uint64_t hash[kChunk];
    Print print[kChunk];
  };
  Print& print(uint32_t d) { return chunks_[d / kChunk]->print[d % kChunk]; }
  const Print& print(uint32_t d) const { return chunks_[d / kChunk]->print[d % kChunk]; }
  static void print_of(const CompactSignature& s, Print& out) {
    for (int i = 0; i < kMinHashPermutations; ++i) out[i] = static_cast<uint8_t>(s[i]);
  }
  CompactSignature& sig(uint32_t d) { return chunks_[d / kChunk]->sig[d % kChunk]; }
  const CompactSignature& sig(uint32_t d) const { return chunks_[d / kChunk]->sig[d % kChunk]; }
  uint64_t& hash(uint32_t d) { return chunks_[d / kChunk]->hash[d % kChunk]; }
  uint64_t hash(uint32_t d) const { return chunks_[d / kChunk]->hash[d % kChunk]; }

  DocIds ids_;
  std::vector<std::unique_ptr<Chunk>> chunks_;  // signatures and text hashes by document
  std::array<SignatureBuckets, kMinHashPermutations> buckets_;
};

// The order of n-gram hits: score descending, then the hash of the indexed
// text ascending (an id without one first), then id ascending.
bool ngram_hit_order(float score_a, std::optional<uint64_t> hash_a, std::string_view id_a, float score_b,
                     std::optional<uint64_t> hash_b, std::string_view id_b);

// The n-gram search: queries 4 x max(top_k, 1) hits, keeps those whose record
// is in the records map and visible to the namespaces, and asks four times as
// many while the query filled its limit, fewer than top_k hits were kept and
// the limit is below 256 x top_k. `limits`, when given, receives each limit
// asked.
RankedList collect_ngram(const NgramIndex& index, const RecordLookup& records, std::string_view query, size_t top_k,
                         std::span<const std::string> namespaces, std::vector<size_t>* limits = nullptr);

}  // namespace vesk
