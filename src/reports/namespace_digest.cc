#include "reports/namespace_digest.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/string_hash.h"
#include "model/unicode_case.h"
#include "model/unicode_text.h"
#include "model/word_normalization.h"

namespace vesk {
namespace {

constexpr size_t kFeatureWords = 4;
constexpr float kHighVolatility = 0.2f;

using TextSet = StringSet;

// The set's members ascending by bytes (std::string compares as unsigned
// bytes, a prefix first).
std::vector<std::string> sorted(TextSet&& set) {
  std::vector<std::string> out;
  out.reserve(set.size());
  for (auto it = set.begin(); it != set.end();) {
    auto node = set.extract(it++);
    out.push_back(std::move(node.value()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// normalize_words of each text, empties dropped, distinct, ascending, the
// first four, joined by "+".
std::string joined_feature_words(TextSet&& words) {
  std::vector<std::string> list = sorted(std::move(words));
  if (list.size() > kFeatureWords) list.resize(kFeatureWords);
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i) out.push_back('+');
    out += list[i];
  }
  return out;
}

void add_word(TextSet& words, std::string_view text) {
  std::string word = normalize_words(text);
  if (!word.empty()) words.insert(std::move(word));
}

std::string_view concept_state_text(ConceptState state) {
  switch (state) {
    case ConceptState::Candidate:
      return "candidate";
    case ConceptState::Stable:
      return "stable";
    case ConceptState::Rejected:
      return "rejected";
  }
  return "";
}

// What one namespace gathers while the maps are walked.
struct Accumulator {
  TextSet tags;
  TextSet structural;
  TextSet concept_signatures;
  TextSet causal_signatures;
  std::vector<const ConceptCandidate*> concepts;
  NamespaceBeliefSummary beliefs;
  float volatility_sum = 0.0f;
  uint64_t belief_count = 0;
  uint64_t corrections = 0;
};

// Namespace name -> its position in the caller's list.
using NameIndex = std::unordered_map<std::string_view, size_t, StringHash, std::equal_to<>>;

// Calls `hit` with the position of every listed namespace N such that `text`
// begins with N followed by ':' (one call per such N).
template <class F>
void for_each_colon_prefix(std::string_view text, const NameIndex& index, F&& hit) {
  for (size_t p = text.find(':'); p != std::string_view::npos; p = text.find(':', p + 1)) {
    if (auto it = index.find(text.substr(0, p)); it != index.end()) hit(it->second);
  }
}

}  // namespace

std::vector<std::string> record_feature_words(const std::vector<std::string>& record_ids, const RecordMap& records) {
  TextSet words;
  for (const std::string& id : record_ids) {
    auto it = records.find(id);
    if (it == records.end()) continue;
    const Record& record = it->second;
    for (const std::string& tag : record.tags) add_word(words, tag);
    add_word(words, record.content_type);
    add_word(words, record.semantic_type);
  }
  std::vector<std::string> list = sorted(std::move(words));
  if (list.size() > kFeatureWords) list.resize(kFeatureWords);
  return list;
}

std::string concept_signature(const ConceptCandidate& concept_candidate) {
  TextSet words;
  for (const std::string& term : concept_candidate.core_terms) add_word(words, term);
  for (const std::string& tag : concept_candidate.tags) add_word(words, tag);
  return concept_candidate.semantic_type + ":" + joined_feature_words(std::move(words));
}

std::string causal_signature(const CausalPattern& pattern, const RecordMap& records) {
  auto side = [&](const std::vector<std::string>& ids) {
    std::string out;
    const std::vector<std::string> words = record_feature_words(ids, records);
    for (size_t i = 0; i < words.size(); ++i) {
      if (i) out.push_back('+');
      out += words[i];
    }
    return out;
  };
  return side(pattern.cause_record_ids) + "=>" + side(pattern.effect_record_ids);
}

std::vector<std::string> select_digest_namespaces(const RecordMap& records,
                                                  const std::optional<std::vector<std::string>>& filter,
                                                  uint64_t min_record_count) {
  std::unordered_map<std::string_view, uint64_t, StringHash, std::equal_to<>> counts;
  for (const auto& [id, record] : records) ++counts[record.namespace_];
  std::unordered_set<std::string_view, StringHash, std::equal_to<>> wanted;
  if (filter) wanted.insert(filter->begin(), filter->end());
  std::vector<std::string> names;
  for (const auto& [name, count] : counts) {
    if (filter && !wanted.contains(name)) continue;
    if (count < min_record_count) continue;
    names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<NamespaceDigestEntry> build_namespace_digest_entries(const std::vector<std::string>& names,
                                                                 const CrossNamespaceDigestParams& params,
                                                                 const std::vector<CorrectionLogEntry>* corrections,
                                                                 const RecordMap& records, const BeliefEngine* beliefs,
                                                                 const ConceptEngine& concepts,
                                                                 const CausalEngine& causal) {
  NameIndex index;
  size_t longest_name = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    index.emplace(names[i], i);
    longest_name = std::max(longest_name, names[i].size());
  }
  std::vector<NamespaceDigestEntry> entries(names.size());
  std::vector<Accumulator> acc(names.size());
  for (size_t i = 0; i < names.size(); ++i) entries[i].namespace_ = names[i];
  if (names.empty()) return entries;

  const bool lists = !params.compact_summary;
  const bool want_tags = lists && params.tags;
  const bool want_structural = lists && params.structural;
  const bool want_concepts = lists && params.concepts;
  const bool want_causal = lists && params.causal;

  // Records: counts, lower-cased tags (not trimmed: "ops " stays), and the
  // structural relation types exactly as stored. A store has far fewer
  // distinct tags than tag assignments, and the full Unicode lower-casing is
  // the costly step, so each distinct tag is lower-cased once.
  StringMap lowered_tags;
  auto lower_tag = [&](const std::string& tag) -> const std::string& {
    auto it = lowered_tags.find(tag);
    if (it == lowered_tags.end()) it = lowered_tags.emplace(tag, unicode_lower(tag)).first;
    return it->second;
  };
  for (const auto& [id, record] : records) {
    auto it = index.find(std::string_view(record.namespace_));
    if (it == index.end()) continue;
    const size_t i = it->second;
    ++entries[i].record_count;
    if (want_tags) {
      for (const std::string& tag : record.tags) {
        const std::string& lower = lower_tag(tag);
        if (!acc[i].tags.contains(lower)) acc[i].tags.insert(lower);
      }
    }
    if (want_structural) {
      for (const auto& [target, type] : record.connection_types) {
        if (is_structural_relation_type(type)) acc[i].structural.insert(type);
      }
    }
  }

  // Concepts in any state.
  for (const auto& [id, candidate] : concepts.concepts) {
    auto it = index.find(std::string_view(candidate.namespace_));
    if (it == index.end()) continue;
    const size_t i = it->second;
    ++entries[i].concept_count;
    if (candidate.state == ConceptState::Stable) ++entries[i].stable_concept_count;
    if (want_concepts) {
      acc[i].concepts.push_back(&candidate);
      acc[i].concept_signatures.insert(concept_signature(candidate));
    }
  }

  // Causal patterns in any state, Rejected and Invalidated included.
  if (want_causal) {
    for (const auto& [id, pattern] : causal.patterns) {
      auto it = index.find(std::string_view(pattern.namespace_));
      if (it == index.end()) continue;
      acc[it->second].causal_signatures.insert(causal_signature(pattern, records));
    }
  }

  // Beliefs whose key begins with the name and ':'; a key with several
  // colons can belong to several listed names, once to each.
  if (params.belief_states && beliefs) {
    for (const auto& [id, belief] : beliefs->beliefs) {
      for_each_colon_prefix(belief.key, index, [&](size_t i) {
        NamespaceBeliefSummary& s = acc[i].beliefs;
        switch (belief.state) {
          case BeliefState::Resolved:
            ++s.resolved;
            break;
          case BeliefState::Unresolved:
            ++s.unresolved;
            break;
          case BeliefState::Singleton:
            ++s.singleton;
            break;
          case BeliefState::Empty:
            ++s.empty;
            break;
        }
        if (belief.volatility >= kHighVolatility) ++s.high_volatility_count;
        acc[i].volatility_sum += belief.volatility;
        ++acc[i].belief_count;
      });
    }
  }

  // Corrections: an entry counts once for each listed name N that its target
  // begins with followed by ':', or that its lower-cased target contains
  // followed by '-' (N as given). The second test looks at every '-' of the
  // target and the texts that end right before it, no longer than the
  // longest name, so the log is read once whatever the number of names.
  if (corrections) {
    std::vector<size_t> hits;
    for (const CorrectionLogEntry& entry : *corrections) {
      hits.clear();
      for_each_colon_prefix(entry.target_id, index, [&](size_t i) { hits.push_back(i); });
      const std::string lower = unicode_lower(entry.target_id);
      const std::string_view text(lower);
      for (size_t p = text.find('-'); p != std::string_view::npos; p = text.find('-', p + 1)) {
        const size_t shortest_start = p > longest_name ? p - longest_name : 0;
        for (size_t s = shortest_start; s <= p; ++s) {
          if (auto it = index.find(text.substr(s, p - s)); it != index.end()) hits.push_back(it->second);
        }
      }
      std::sort(hits.begin(), hits.end());
      hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
      for (size_t i : hits) ++acc[i].corrections;
    }
  }

  const size_t top_limit = static_cast<size_t>(std::clamp<uint64_t>(params.top_concepts_limit, 1, 10));
  for (size_t i = 0; i < entries.size(); ++i) {
    NamespaceDigestEntry& e = entries[i];
    Accumulator& a = acc[i];
    e.tags = sorted(std::move(a.tags));
    e.structural_relation_types = sorted(std::move(a.structural));
    e.concept_signatures = sorted(std::move(a.concept_signatures));
    e.causal_signatures = sorted(std::move(a.causal_signatures));
    if (want_concepts) {
      // Confidence descending, then key ascending; confidences that do not
      // compare (NaN) count as equal. The stable sort stays sound under that
      // order, which is not a strict weak one when a NaN is present.
      std::stable_sort(a.concepts.begin(), a.concepts.end(),
                       [](const ConceptCandidate* x, const ConceptCandidate* y) {
                         if (x->confidence > y->confidence) return true;
                         if (x->confidence < y->confidence) return false;
                         return x->key < y->key;
                       });
      const size_t n = std::min(top_limit, a.concepts.size());
      e.top_concepts.reserve(n);
      for (size_t k = 0; k < n; ++k) {
        const ConceptCandidate& c = *a.concepts[k];
        e.top_concepts.push_back(NamespaceTopConcept{c.id, c.key, c.confidence, std::string(concept_state_text(c.state)),
                                                     c.record_ids.size(), c.belief_ids.size()});
      }
    }
    if (params.belief_states) {
      NamespaceBeliefSummary s = a.beliefs;
      s.avg_volatility = a.belief_count ? a.volatility_sum / static_cast<float>(a.belief_count) : 0.0f;
      e.belief_state_summary = s;
    }
    if (corrections) {
      e.correction_count = a.corrections;
      e.correction_density =
          e.record_count ? static_cast<float>(a.corrections) / static_cast<float>(e.record_count) : 0.0f;
    }
  }
  return entries;
}

namespace {

// One dimension's lists as ranks into the sorted union of every entry's
// list, so a pair's intersection compares integers; ranks keep the byte
// order, so a rank list is ascending like the texts.
struct RankedDimension {
  std::vector<std::string> texts;           // distinct, ascending
  std::vector<std::vector<uint32_t>> lists;  // per entry
};

RankedDimension rank_dimension(const std::vector<NamespaceDigestEntry>& entries,
                               std::vector<std::string> NamespaceDigestEntry::*field) {
  RankedDimension d;
  for (const NamespaceDigestEntry& e : entries) d.texts.insert(d.texts.end(), (e.*field).begin(), (e.*field).end());
  std::sort(d.texts.begin(), d.texts.end());
  d.texts.erase(std::unique(d.texts.begin(), d.texts.end()), d.texts.end());
  d.lists.reserve(entries.size());
  for (const NamespaceDigestEntry& e : entries) {
    std::vector<uint32_t> ranks;
    ranks.reserve((e.*field).size());
    for (const std::string& text : e.*field) {
      ranks.push_back(static_cast<uint32_t>(std::lower_bound(d.texts.begin(), d.texts.end(), text) - d.texts.begin()));
    }
    d.lists.push_back(std::move(ranks));
  }
  return d;
}

size_t intersection_size(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  size_t n = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++n, ++i, ++j;
    }
  }
  return n;
}

std::vector<std::string> intersection_texts(const RankedDimension& d, size_t a, size_t b) {
  std::vector<std::string> out;
  const auto& x = d.lists[a];
  const auto& y = d.lists[b];
  for (size_t i = 0, j = 0; i < x.size() && j < y.size();) {
    if (x[i] < y[j]) {
      ++i;
    } else if (y[j] < x[i]) {
      ++j;
    } else {
      out.push_back(d.texts[x[i]]);
      ++i, ++j;
    }
  }
  return out;
}

// |A ∩ B| / |A ∪ B| with both counts as 32-bit floats; 0.0 for two empty
// lists.
float jaccard(size_t shared, size_t a, size_t b) {
  const size_t all = a + b - shared;
  return all ? static_cast<float>(shared) / static_cast<float>(all) : 0.0f;
}

}  // namespace

std::vector<NamespacePairSimilarity> namespace_pair_similarities(const std::vector<NamespaceDigestEntry>& entries,
                                                                 const CrossNamespaceDigestParams& params) {
  std::vector<NamespacePairSimilarity> pairs;
  if (entries.size() < 2) return pairs;
  // Order of the four: concept signatures, tags, structural, causal.
  const RankedDimension dims[4] = {
      rank_dimension(entries, &NamespaceDigestEntry::concept_signatures),
      rank_dimension(entries, &NamespaceDigestEntry::tags),
      rank_dimension(entries, &NamespaceDigestEntry::structural_relation_types),
      rank_dimension(entries, &NamespaceDigestEntry::causal_signatures),
  };
  const bool on[4] = {params.concepts, params.tags, params.structural, params.causal};
  const bool shared_lists = !params.compact_summary;
  const float threshold = params.pairwise_similarity_threshold;
  for (size_t a = 0; a < entries.size(); ++a) {
    for (size_t b = a + 1; b < entries.size(); ++b) {
      float similarity[4];
      float best = 0.0f;
      for (int k = 0; k < 4; ++k) {
        const size_t shared = intersection_size(dims[k].lists[a], dims[k].lists[b]);
        similarity[k] = jaccard(shared, dims[k].lists[a].size(), dims[k].lists[b].size());
        best = std::max(best, similarity[k]);
      }
      if (!std::isnan(threshold) && !(best >= threshold)) continue;
      NamespacePairSimilarity pair;
      pair.namespace_a = entries[a].namespace_;
      pair.namespace_b = entries[b].namespace_;
      std::vector<std::string>* shared_out[4] = {&pair.shared_concept_signatures, &pair.shared_tags,
                                                 &pair.shared_structural_relation_types,
                                                 &pair.shared_causal_signatures};
      for (int k = 0; k < 4; ++k) {
        if (on[k] && shared_lists) *shared_out[k] = intersection_texts(dims[k], a, b);
      }
      pair.concept_signature_similarity = similarity[0];
      pair.tag_jaccard = similarity[1];
      pair.structural_similarity = similarity[2];
      pair.causal_signature_similarity = similarity[3];
      pairs.push_back(std::move(pair));
    }
  }
  return pairs;
}

std::vector<std::string> included_digest_dimensions(const CrossNamespaceDigestParams& params) {
  std::vector<std::string> out;
  if (params.concepts) out.emplace_back("concepts");
  if (params.tags) out.emplace_back("tags");
  if (params.structural) out.emplace_back("structural");
  if (params.causal) out.emplace_back("causal");
  if (params.belief_states) out.emplace_back("belief_states");
  if (params.corrections) out.emplace_back("corrections");
  return out;
}

void apply_digest_dimension_names(const std::vector<std::string>& names, CrossNamespaceDigestParams& params) {
  params.concepts = params.tags = params.structural = params.causal = params.belief_states = params.corrections =
      false;
  for (const std::string& raw : names) {
    std::string name(trim_unicode_white_space(raw));
    for (char& c : name) c = ascii_lower(c);
    if (name == "concepts") {
      params.concepts = true;
    } else if (name == "tags") {
      params.tags = true;
    } else if (name == "structural") {
      params.structural = true;
    } else if (name == "causal") {
      params.causal = true;
    } else if (name == "beliefs" || name == "belief_state" || name == "belief_states") {
      params.belief_states = true;
    } else if (name == "corrections" || name == "correction_density") {
      params.corrections = true;
    }
  }
}

}  // namespace vesk
