// The recall pipeline: from a query to an ordered list of scored records.
//
//   1. the four lexical collectors (SDR, BM25, n-gram, tags), one after
//      another, each capped so that one provenance group cannot crowd the
//      first-hand records out of its list;
//   2. reciprocal-rank fusion (constant 60) of the lists the fusion mode
//      chooses, with the embedding ranking when there is one, normalised so
//      that an id ranked first everywhere scores 1.0;
//   3. optionally, expansion along record connections (two hops, at most 30
//      records) and cause chains (at most three causes per result);
//   4. the trust stage: score x strength x trust_multiplier;
//   5. the diversity penalty: second-hand results that echo a first-hand
//      result's namespace and tags are damped from the third one of a key on;
//   6. the recall order, the first k.
//
// The pipeline is a pure computation over state its caller holds locked (the
// records, the indexes behind the collectors, the trust model): it changes
// nothing, takes no lock and reports no error. Records are read through a
// RecordLookup, so a caller restricts the candidates (records valid now, of
// one entity, stored before a time) by filtering its lookup, without copying
// the record map; only the records of results are copied.
//
// Every sort here is the recall order (recall_result.h). Maps keyed by id
// live for one call and their order never reaches the output.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/config_trust.h"
#include "model/record.h"
#include "model/scored_record.h"

namespace vesk {

inline constexpr float kRrfConstant = 60.0f;
inline constexpr size_t kMaxConnectionExpansion = 30;
inline constexpr size_t kMaxCausesPerResult = 3;

// One lexical signal: at most `count` hits for the query among the candidate
// records of the namespaces, in the recall order. The caller binds the index
// and the candidates; an empty function counts as a signal that finds nothing.
using SignalCollector =
    std::function<RankedList(std::string_view query, std::span<const std::string> namespaces, size_t count)>;

struct LexicalCollectors {
  SignalCollector sdr;
  SignalCollector bm25;
  SignalCollector ngram;
  SignalCollector tags;
};

struct RecallPipelineInput {
  std::string_view query;
  size_t top_k = 0;  // k: the number of results wanted
  bool expand_connections = false;
  float min_strength = 0.0f;  // weaker records are never returned
  // The records that may be recalled; every lookup goes here.
  const RecordLookup& candidates;
  // The query's cosine ranking over the candidates' stored embeddings, when
  // there is one.
  const std::optional<RankedList>& embedding;
  const TrustConfig& trust;
  // None means the one namespace "default"; an empty list sees nothing.
  const std::optional<std::vector<std::string>>& namespaces;
  // Wall-clock Unix seconds for the trust stage (0.0 before the epoch).
  double now = 0.0;
};

// The whole pipeline: at most k results in the recall order.
std::vector<ScoredRecord> recall_pipeline(const RecallPipelineInput& in, const LexicalCollectors& collectors);

// A pipeline result before its record is copied: a pointer into the records
// the caller holds locked. A record with its connections and metadata is
// dozens of allocations to copy, so a caller that cuts the results further
// copies only those it keeps.
struct ScoredRecordRef {
  float score = 0.0f;
  const Record* record = nullptr;
  std::optional<float> pre_trust_score;
};

// The whole pipeline, its results as pointers (valid while the caller holds
// the records): the same results as recall_pipeline in the same order.
std::vector<ScoredRecordRef> recall_pipeline_refs(const RecallPipelineInput& in, const LexicalCollectors& collectors);

// ---- Stages, shared with the explained recall and the recall variants -------

// The namespaces a recall sees: the given list, or {"default"}.
std::vector<std::string> recall_namespaces(const std::optional<std::vector<std::string>>& namespaces);

// None for a first-hand record (effective source type "recorded"); otherwise
// "namespace|sorted tags joined by ,|source_type|metadata channel".
std::optional<std::string> diversity_key(const Record& record);
// "namespace|sorted tags joined by ,".
std::string namespace_tags_key(const Record& record);

// The collector's list for k, or, when three of its hits share a diversity
// key, a refill: its list for 3k whose first k pairs stay, except that each
// first-hand pair further down takes the place of the third (or later)
// second-hand pair echoing its namespace and tags, appended at the end.
RankedList collect_with_diversity_cap(const std::function<RankedList(size_t count)>& collector, size_t k,
                                      const RecordLookup& candidates);

// The lists to fuse under the trust model's fusion mode: "family" fuses the
// lexical lists into one family list first and pairs it with the embedding
// ranking; "embedding_only" takes the embedding ranking alone;
// "bm25_embedding" pairs the BM25 list with it; "equal" and any other text
// take every list. Without a non-empty embedding ranking every mode takes the
// non-empty lexical lists. `lexical` holds the lists in collector order
// (SDR, BM25, n-gram, tags), empty ones included; they are moved from.
std::vector<RankedList> choose_fusion_lists(std::string_view fusion_mode, std::vector<RankedList> lexical,
                                            const std::optional<RankedList>& embedding,
                                            const RecordLookup& candidates);

// Reciprocal-rank fusion: each pair at rank r adds 1 / (r + 61); the sums are
// divided by n / 61 for n lists. Ids whose record is missing, weaker than
// min_strength or not visible to the namespaces are dropped; the first k in
// the recall order are returned, each with a copy of its record.
std::vector<ScoredRecord> rrf_fuse(const RecordLookup& candidates, std::span<const RankedList> lists, size_t k,
                                   float min_strength, std::span<const std::string> namespaces);

// Follows the connections of the results for at most two hops, adding at most
// 30 records in all, each scored score x weight x 0.6 (at least 0.05) from
// the result that reached it.
void expand_along_connections(std::vector<ScoredRecord>& results, const RecordLookup& candidates,
                              float min_strength, std::span<const std::string> namespaces);

// Adds up to three causes per result along caused_by_id, scored 0.8, 0.72
// and 0.648 of the result; a cause already present ends the chain there.
void expand_cause_chains(std::vector<ScoredRecord>& results, const RecordLookup& candidates, float min_strength,
                         std::span<const std::string> namespaces);

// Notes each result's pre-trust score, then multiplies the score by the
// record's strength and trust_multiplier (of the record's own source_type).
void apply_trust_stage(std::vector<ScoredRecord>& results, const TrustConfig& trust, double now);

// Damps the third and later second-hand results of one diversity key whose
// namespace-tags key matches a first-hand result's: x0.5, x0.25, ... in the
// recall order of their current scores. Nothing changes without a first-hand
// result.
void apply_diversity_penalty(std::vector<ScoredRecord>& results);

// Sorts in the recall order and keeps the first k.
void keep_best(std::vector<ScoredRecord>& results, size_t k);

}  // namespace vesk
