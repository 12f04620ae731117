#include "recall/recall_pipeline.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <utility>

#include "base/trace.h"
#include "recall/trust_multiplier.h"
#include "write/provenance.h"

namespace vesk {
namespace {

using ScoreById = std::unordered_map<std::string_view, float, StringHash, StringEq>;
using IdSet = std::unordered_set<std::string_view, StringHash, StringEq>;

// The reciprocal-rank term of rank r.
float rrf_term(size_t rank) { return 1.0f / (static_cast<float>(rank) + (kRrfConstant + 1.0f)); }

size_t saturating_mul(size_t a, size_t b) {
  if (a != 0 && b > std::numeric_limits<size_t>::max() / a) return std::numeric_limits<size_t>::max();
  return a * b;
}

// A record that may be returned: present, strong enough, visible.
const Record* returnable(const RecordLookup& candidates, std::string_view id, float min_strength,
                         std::span<const std::string> namespaces) {
  const Record* r = candidates(id);
  if (!r || !(r->strength >= min_strength) || !record_visible(*r, namespaces)) return nullptr;
  return r;
}

std::string sorted_tags(const Record& record) {
  std::vector<std::string_view> tags(record.tags.begin(), record.tags.end());
  std::sort(tags.begin(), tags.end());
  std::string out;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (i) out += ',';
    out += tags[i];
  }
  return out;
}

bool first_hand(const Record& record) { return effective_source_type(record) == "recorded"; }

// (score, id) pairs of a map in the recall order.
RankedList sorted_pairs(const ScoreById& scores, const RecordLookup& candidates) {
  RankedList list;
  list.reserve(scores.size());
  for (const auto& [id, score] : scores) list.emplace_back(std::string(id), score);
  sort_ranked_list(list, candidates);
  return list;
}

}  // namespace

std::vector<std::string> recall_namespaces(const std::optional<std::vector<std::string>>& namespaces) {
  if (namespaces) return *namespaces;
  return {"default"};
}

std::optional<std::string> diversity_key(const Record& record) {
  if (first_hand(record)) return std::nullopt;
  std::string key = record.namespace_;
  key += '|';
  key += sorted_tags(record);
  key += '|';
  key += record.source_type;
  key += '|';
  if (auto it = record.metadata.find("channel"); it != record.metadata.end()) key += it->second;
  return key;
}

std::string namespace_tags_key(const Record& record) {
  std::string key = record.namespace_;
  key += '|';
  key += sorted_tags(record);
  return key;
}

RankedList collect_with_diversity_cap(const std::function<RankedList(size_t count)>& collector, size_t k,
                                      const RecordLookup& candidates) {
  RankedList hits = collector(k);
  if (hits.empty()) return hits;

  bool crowded = false;
  {
    StringKeyMap<size_t> counts;
    for (const auto& [id, score] : hits) {
      const Record* r = candidates(id);
      if (!r) continue;
      std::optional<std::string> key = diversity_key(*r);
      if (key && ++counts[*key] >= 3) {
        crowded = true;
        break;
      }
    }
  }
  if (!crowded) return hits;

  RankedList more = collector(std::max(saturating_mul(3, k), k));
  if (more.size() <= k) return more;

  // The kept pairs with their keys; a pair whose record is missing has none.
  struct Kept {
    std::pair<std::string, float> pair;
    bool found = false;
    std::string ns_tags;
    std::optional<std::string> diversity;
  };
  std::vector<Kept> kept;
  kept.reserve(k);
  for (size_t i = 0; i < k; ++i) {
    Kept e{more[i], false, {}, std::nullopt};
    if (const Record* r = candidates(e.pair.first)) {
      e.found = true;
      e.ns_tags = namespace_tags_key(*r);
      e.diversity = diversity_key(*r);
    }
    kept.push_back(std::move(e));
  }

  for (size_t i = k; i < more.size(); ++i) {
    const Record* r = candidates(more[i].first);
    if (!r || !first_hand(*r)) continue;
    const std::string key = namespace_tags_key(*r);
    StringKeyMap<size_t> counts;
    std::optional<size_t> position;
    for (size_t p = 0; p < kept.size(); ++p) {
      const Kept& e = kept[p];
      if (!e.found || !e.diversity || e.ns_tags != key) continue;
      if (++counts[*e.diversity] >= 3) position = p;
    }
    if (!position) continue;
    kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(*position));
    kept.push_back(Kept{more[i], true, key, std::nullopt});
  }

  RankedList out;
  out.reserve(kept.size());
  for (Kept& e : kept) out.push_back(std::move(e.pair));
  return out;
}

std::vector<RankedList> choose_fusion_lists(std::string_view fusion_mode, std::vector<RankedList> lexical,
                                            const std::optional<RankedList>& embedding,
                                            const RecordLookup& candidates) {
  std::vector<RankedList> lists;
  auto take_nonempty_lexical = [&] {
    for (RankedList& list : lexical)
      if (!list.empty()) lists.push_back(std::move(list));
  };
  if (!embedding || embedding->empty()) {
    take_nonempty_lexical();
    return lists;
  }
  if (fusion_mode == "family") {
    ScoreById family;
    for (const RankedList& list : lexical)
      for (size_t r = 0; r < list.size(); ++r) family[list[r].first] += rrf_term(r);
    if (!family.empty()) lists.push_back(sorted_pairs(family, candidates));
  } else if (fusion_mode == "embedding_only") {
    // the embedding ranking alone
  } else if (fusion_mode == "bm25_embedding") {
    if (lexical.size() > 1 && !lexical[1].empty()) lists.push_back(std::move(lexical[1]));
  } else {
    take_nonempty_lexical();
  }
  lists.push_back(*embedding);
  return lists;
}

// ---- Stages over either result shape ------------------------------------------
//
// The stages run on copies of the records (ScoredRecord) when called one by
// one, and on pointers into the caller's locked records (ScoredRecordRef)
// inside the whole pipeline, which copies nothing: the fusion and the
// expansion meet far more records than a recall keeps.
namespace {

const Record& record_of(const ScoredRecord& r) { return r.record; }
const Record& record_of(const ScoredRecordRef& r) { return *r.record; }

template <class T>
T scored(float score, const Record& record);
template <>
ScoredRecord scored<ScoredRecord>(float score, const Record& record) {
  return {score, record};
}
template <>
ScoredRecordRef scored<ScoredRecordRef>(float score, const Record& record) {
  return {score, &record, std::nullopt};
}

template <class T>
std::vector<T> rrf_fuse_as(const RecordLookup& candidates, std::span<const RankedList> lists, size_t k,
                           float min_strength, std::span<const std::string> namespaces) {
  VESK_SPAN(span, "rrf_fuse", "vesk::recall", trace::Level::Info, trace::field("top_k", k));
  ScoreById fused;
  for (const RankedList& list : lists)
    for (size_t r = 0; r < list.size(); ++r) fused[list[r].first] += rrf_term(r);
  const float norm = static_cast<float>(lists.size()) / (kRrfConstant + 1.0f);

  struct Entry {
    float score;
    uint64_t hash;
    std::string_view id;
    const Record* record;
  };
  std::vector<Entry> entries;
  entries.reserve(fused.size());
  for (const auto& [id, sum] : fused) {
    const Record* r = returnable(candidates, id, min_strength, namespaces);
    if (!r) continue;
    entries.push_back({norm > 0.0f ? sum / norm : sum, content_hash(r->content), id, r});
  }
  auto before = [](const Entry& a, const Entry& b) {
    return recall_order_before(a.score, a.hash, a.id, b.score, b.hash, b.id);
  };
  const size_t n = std::min(k, entries.size());
  std::partial_sort(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(n), entries.end(), before);

  std::vector<T> results;
  results.reserve(n);
  for (size_t i = 0; i < n; ++i) results.push_back(scored<T>(entries[i].score, *entries[i].record));
  return results;
}

template <class T>
void expand_along_connections_of(std::vector<T>& results, const RecordLookup& candidates, float min_strength,
                                 std::span<const std::string> namespaces) {
  StringSet seen;
  std::vector<std::pair<float, std::string>> frontier;
  for (const T& r : results) {
    seen.insert(record_of(r).id);
    frontier.emplace_back(r.score, record_of(r).id);
  }
  // A target reached in a pass that may be added: its best score, and the
  // keys of the recall order.
  struct Reached {
    float score;
    uint64_t hash;
    std::string_view id;
    const Record* record;
  };
  auto before = [](const Reached& a, const Reached& b) {
    return recall_order_before(a.score, a.hash, a.id, b.score, b.hash, b.id);
  };
  size_t added = 0;
  for (int pass = 0; pass < 2 && !frontier.empty(); ++pass) {
    // Every target's best score first; the targets already seen are dropped
    // after, once per target rather than once per link.
    ScoreById noted;
    for (const auto& [score, id] : frontier) {
      const Record* from = candidates(id);
      if (!from) continue;
      for (const auto& [target, weight] : from->connections) {
        const float c = score * weight * 0.6f;
        if (!(c >= 0.05f)) continue;  // too weak (or NaN)
        auto [it, inserted] = noted.try_emplace(target, c);
        if (!inserted && c > it->second) it->second = c;
      }
    }
    // The first returnable targets in the recall order, as many as may still
    // be added. Targets are put in score order first; a record is looked up
    // (returnable? its content hash?) only for the scores that can still
    // place, one group of equal scores at a time, ties within a group in
    // content hash, then id, order.
    std::vector<std::pair<float, std::string_view>> by_score;
    by_score.reserve(noted.size());
    for (const auto& [target, score] : noted)
      if (!seen.contains(target)) by_score.emplace_back(score, target);
    std::sort(by_score.begin(), by_score.end(),
              [](const auto& a, const auto& b) { return score_before(a.first, b.first); });
    std::vector<Reached> group;
    std::vector<std::pair<float, std::string>> next;
    for (size_t i = 0; i < by_score.size() && added < kMaxConnectionExpansion;) {
      size_t j = i + 1;
      while (j < by_score.size() && !score_before(by_score[i].first, by_score[j].first)) ++j;
      group.clear();
      for (size_t g = i; g < j; ++g) {
        const auto& [score, target] = by_score[g];
        if (const Record* r = returnable(candidates, target, min_strength, namespaces))
          group.push_back({score, content_hash(r->content), target, r});
      }
      std::sort(group.begin(), group.end(), before);
      for (size_t g = 0; g < group.size() && added < kMaxConnectionExpansion; ++g) {
        const Reached& e = group[g];
        results.push_back(scored<T>(e.score, *e.record));
        next.emplace_back(e.score, std::string(e.id));
        ++added;
      }
      i = j;
    }
    for (const auto& [score, id] : next) seen.insert(id);
    frontier = std::move(next);
  }
}

template <class T>
void expand_cause_chains_of(std::vector<T>& results, const RecordLookup& candidates, float min_strength,
                            std::span<const std::string> namespaces) {
  StringSet seen;
  for (const T& r : results) seen.insert(record_of(r).id);
  std::vector<T> additions;
  for (const T& result : results) {
    const Record* current = &record_of(result);
    float decay = 1.0f;  // 0.9 to the power of the chain depth
    for (size_t depth = 0; depth < kMaxCausesPerResult; ++depth) {
      if (!current->caused_by_id || seen.contains(*current->caused_by_id)) break;
      const Record* cause = returnable(candidates, *current->caused_by_id, min_strength, namespaces);
      if (!cause) break;
      additions.push_back(scored<T>((result.score * 0.8f) * decay, *cause));
      seen.insert(cause->id);
      current = cause;
      decay *= 0.9f;
    }
  }
  for (T& a : additions) results.push_back(std::move(a));
}

template <class T>
void apply_trust_stage_to(std::vector<T>& results, const TrustConfig& trust, double now) {
  for (T& r : results) {
    const Record& record = record_of(r);
    r.pre_trust_score = r.score;
    r.score = r.score * record.strength * trust_multiplier(record.metadata, trust, record.source_type, now);
  }
}

template <class T>
void apply_diversity_penalty_to(std::vector<T>& results) {
  StringSet first_hand_keys;
  for (const T& r : results)
    if (first_hand(record_of(r))) first_hand_keys.insert(namespace_tags_key(record_of(r)));
  if (first_hand_keys.empty()) return;

  // Visit in the recall order of the current scores.
  std::vector<std::pair<uint64_t, size_t>> order(results.size());
  for (size_t i = 0; i < results.size(); ++i) order[i] = {content_hash(record_of(results[i]).content), i};
  std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    const T& x = results[a.second];
    const T& y = results[b.second];
    return recall_order_before(x.score, a.first, record_of(x).id, y.score, b.first, record_of(y).id);
  });
  StringKeyMap<size_t> seen_per_key;
  for (const auto& [hash, i] : order) {
    T& r = results[i];
    if (!first_hand_keys.contains(namespace_tags_key(record_of(r)))) continue;
    std::optional<std::string> key = diversity_key(record_of(r));
    if (!key) continue;
    size_t& c = seen_per_key[*key];
    for (size_t halvings = c > 0 ? c - 1 : 0; halvings > 0; --halvings) r.score *= 0.5f;
    ++c;
  }
}

// Stable sort of references in the recall order (as sort_scored_records
// sorts copies), keeping the first k.
void keep_best_refs(std::vector<ScoredRecordRef>& results, size_t k) {
  std::vector<std::pair<uint64_t, size_t>> keys(results.size());
  for (size_t i = 0; i < results.size(); ++i) keys[i] = {content_hash(results[i].record->content), i};
  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const ScoredRecordRef& x = results[a.second];
    const ScoredRecordRef& y = results[b.second];
    return recall_order_before(x.score, a.first, x.record->id, y.score, b.first, y.record->id);
  });
  std::vector<ScoredRecordRef> sorted;
  sorted.reserve(std::min(k, keys.size()));
  for (size_t i = 0; i < keys.size() && i < k; ++i) sorted.push_back(results[keys[i].second]);
  results = std::move(sorted);
}

}  // namespace

std::vector<ScoredRecord> rrf_fuse(const RecordLookup& candidates, std::span<const RankedList> lists, size_t k,
                                   float min_strength, std::span<const std::string> namespaces) {
  return rrf_fuse_as<ScoredRecord>(candidates, lists, k, min_strength, namespaces);
}

void expand_along_connections(std::vector<ScoredRecord>& results, const RecordLookup& candidates,
                              float min_strength, std::span<const std::string> namespaces) {
  expand_along_connections_of(results, candidates, min_strength, namespaces);
}

void expand_cause_chains(std::vector<ScoredRecord>& results, const RecordLookup& candidates, float min_strength,
                         std::span<const std::string> namespaces) {
  expand_cause_chains_of(results, candidates, min_strength, namespaces);
}

void apply_trust_stage(std::vector<ScoredRecord>& results, const TrustConfig& trust, double now) {
  apply_trust_stage_to(results, trust, now);
}

void apply_diversity_penalty(std::vector<ScoredRecord>& results) { apply_diversity_penalty_to(results); }

void keep_best(std::vector<ScoredRecord>& results, size_t k) {
  sort_scored_records(results);
  if (results.size() > k) results.resize(k);
}

std::vector<ScoredRecordRef> recall_pipeline_refs(const RecallPipelineInput& in, const LexicalCollectors& collectors) {
  VESK_SPAN(span, "recall_pipeline", "vesk::recall", trace::Level::Info, trace::field("query", in.query),
            trace::field("top_k", in.top_k), trace::field("min_strength", in.min_strength));
  const std::vector<std::string> namespaces = recall_namespaces(in.namespaces);
  const size_t k = in.top_k;

  std::vector<RankedList> lexical;
  lexical.reserve(4);
  for (const SignalCollector* c : {&collectors.sdr, &collectors.bm25, &collectors.ngram, &collectors.tags}) {
    if (!*c) {
      lexical.emplace_back();
      continue;
    }
    auto collect = [&](size_t count) { return (*c)(in.query, namespaces, count); };
    lexical.push_back(collect_with_diversity_cap(collect, k, in.candidates));
  }

  std::vector<RankedList> lists =
      choose_fusion_lists(in.trust.fusion_mode, std::move(lexical), in.embedding, in.candidates);
  if (lists.empty()) return {};

  std::vector<ScoredRecordRef> refs = rrf_fuse_as<ScoredRecordRef>(in.candidates, lists, k, in.min_strength, namespaces);
  if (in.expand_connections) {
    expand_along_connections_of(refs, in.candidates, in.min_strength, namespaces);
    expand_cause_chains_of(refs, in.candidates, in.min_strength, namespaces);
  }
  apply_trust_stage_to(refs, in.trust, in.now);
  apply_diversity_penalty_to(refs);
  keep_best_refs(refs, k);
  return refs;
}

std::vector<ScoredRecord> recall_pipeline(const RecallPipelineInput& in, const LexicalCollectors& collectors) {
  std::vector<ScoredRecord> results;
  for (const ScoredRecordRef& r : recall_pipeline_refs(in, collectors)) {
    ScoredRecord& out = results.emplace_back(r.score, *r.record);
    out.pre_trust_score = r.pre_trust_score;
  }
  return results;
}

}  // namespace vesk
