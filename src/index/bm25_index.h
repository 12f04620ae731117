// Term index and BM25 search.
//
// An in-memory inverted index of record contents by term (term_tokenizer.h),
// with per-namespace document counts and length sums, so that a search
// computes its collection statistics over the namespaces it may see:
//
//   score(d) = sum over distinct query terms t, in ascending byte order, of
//              idf(t) * tf * (k1 + 1) / (((dl / avgdl) * b + (1 - b)) * k1 + tf)
//   idf(t)   = ln((N - df + 0.5) / (df + 0.5) + 1),   k1 = 1.2, b = 0.75
//
// all in 32-bit floats; N, df and avgdl count the documents indexed under the
// listed namespaces. Rebuilt at every open; the store's term-index lock
// guards it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "index/doc_ids.h"
#include "index/term_table.h"
#include "model/scored_record.h"

namespace vesk {

class Bm25Index {
 public:
  // Indexes one record, replacing what was indexed for the id. A content
  // without terms leaves the id unindexed.
  void insert(std::string_view id, std::string_view content, std::string_view ns);
  // An id that is not indexed is left alone.
  void remove(std::string_view id);
  // The same as insert() for each entry in order, with the texts tokenised
  // in parallel on the thread pool (batch by batch, to bound the memory the
  // terms take meanwhile) and a batch of ids that are all new filed in
  // parallel too.
  struct Entry {
    std::string_view id;
    std::string_view content;
    std::string_view ns;
  };
  void insert_all(std::span<const Entry> entries);

  size_t size() const { return ids_.size(); }
  // The namespace's indexed document count and length sum (0 when absent).
  uint64_t namespace_document_count(std::string_view ns) const;
  uint64_t namespace_total_length(std::string_view ns) const;
  // The number of documents holding the term (any namespace).
  size_t posting_count(std::string_view term) const;

  // The whole state by number, for tests: each term's text and postings
  // (document, frequency) in list order, each document number's id (empty
  // when free), length, namespace and term numbers, the namespaces, the
  // free term numbers.
  struct Contents {
    std::vector<std::pair<std::string, std::vector<std::pair<uint32_t, uint32_t>>>> terms;
    std::vector<std::tuple<std::string, uint64_t, uint32_t, std::vector<uint32_t>>> docs;
    std::vector<std::tuple<std::string, uint64_t, uint64_t>> namespaces;
    std::vector<uint32_t> free_terms;
    bool operator==(const Contents&) const = default;
  };
  Contents contents() const;

 private:
  friend RankedList collect_bm25(const Bm25Index&, const RecordLookup&, std::string_view, size_t,
                                 std::span<const std::string>);
  struct Doc {
    uint64_t length = 0;
    std::vector<uint32_t> terms;  // distinct term numbers
  };
  struct Term {
    std::string text;  // empty when the number is free
    std::vector<std::pair<uint32_t, uint32_t>> postings;  // (document, term frequency)
  };
  struct Namespace {
    std::string name;
    uint64_t documents = 0;
    uint64_t total_length = 0;
  };
  std::optional<uint32_t> namespace_of(std::string_view ns) const;
  // insert() after tokenising: `terms` sorted, their count (with repeats)
  // the document's length.
  void insert_sorted_terms(std::string_view id, std::span<const std::string_view> terms, std::string_view ns);
  // insert_sorted_terms() for each entry of a batch in turn.
  void file_batch(std::span<const Entry> batch, std::vector<std::vector<std::string>>& terms);
  // Numbers a new document (its terms still empty) and counts it in its
  // namespace; returns its number.
  uint32_t add_document(std::string_view id, uint64_t length, std::string_view ns);
  // Numbers a new term (a free number first) and files it in the table.
  uint32_t add_term(std::string text, uint32_t hash);

  DocIds ids_;
  std::vector<Doc> docs_;
  // Read for every posting a search visits, so kept apart and dense.
  std::vector<uint32_t> doc_ns_;
  std::vector<float> doc_length_;
  // The number of a term, or TermTable::kNone.
  uint32_t term_number(uint32_t hash, std::string_view term) const {
    return term_ids_.find(hash, term, [this](uint32_t t) -> std::string_view { return terms_[t].text; });
  }
  TermTable term_ids_;
  std::vector<Term> terms_;
  std::vector<uint32_t> free_terms_;
  std::vector<Namespace> namespaces_;
};

// Every record of the map (its id, content and namespace) in a new index.
template <class Map>
Bm25Index bm25_index_from_records(const Map& records) {
  std::vector<Bm25Index::Entry> entries;
  entries.reserve(records.size());
  for (const auto& [id, r] : records) entries.push_back({r.id, r.content, r.namespace_});
  Bm25Index index;
  index.insert_all(entries);
  return index;
}

// The BM25 search over the listed namespaces: at most top_k hits in the
// recall order. A document is scored only while its record is in the records
// map with a listed namespace; access rules are applied later by the caller.
RankedList collect_bm25(const Bm25Index& index, const RecordLookup& records, std::string_view query, size_t top_k,
                        std::span<const std::string> namespaces);

// The score each (document, term frequency) posting of one term adds:
// idf * tf * (k1 + 1) / max(((dl / avgdl) * b + (1 - b)) * k1 + tf, FLT_EPSILON)
// with dl = doc_length[document], into out[0 .. postings.size()).
// `vector_instructions` allows AVX2 where the processor has it; the floats
// are the same either way (tests compare the two).
void bm25_posting_weights(std::span<const std::pair<uint32_t, uint32_t>> postings, const float* doc_length, float avgdl,
                          float idf, float* out, bool vector_instructions = true);

}  // namespace vesk
