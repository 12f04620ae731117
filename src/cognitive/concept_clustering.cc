#include "cognitive/concept_clustering.h"

#include "cognitive/claim_clusters.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

size_t common_count(const StringSet& a, const StringSet& b) {
  const StringSet& small = a.size() <= b.size() ? a : b;
  const StringSet& large = a.size() <= b.size() ? b : a;
  size_t n = 0;
  for (const std::string& s : small) n += large.contains(s) ? 1 : 0;
  return n;
}

bool is_decision_fact_pair(std::string_view a, std::string_view b) {
  return (a == "decision" && b == "fact") || (a == "fact" && b == "decision");
}

// Finds the root of x, pointing every visited entry at its grandparent.
size_t find_root(std::vector<size_t>& parent, size_t x) {
  while (parent[x] != x) {
    parent[x] = parent[parent[x]];
    x = parent[x];
  }
  return x;
}

}  // namespace

float term_set_jaccard(const StringSet& a, const StringSet& b) {
  if (a.empty() && b.empty()) return 0.0f;
  const size_t common = common_count(a, b);
  return static_cast<float>(common) / static_cast<float>(a.size() + b.size() - common);
}

StringSet key_tag_set(std::string_view field) {
  StringSet out;
  size_t start = 0;
  while (start <= field.size()) {
    size_t comma = field.find(',', start);
    if (comma == std::string_view::npos) comma = field.size();
    std::string_view piece = field.substr(start, comma - start);
    piece = trim_unicode_white_space(piece);
    if (!piece.empty()) {
      std::string tag(piece);
      for (char& c : tag) c = ascii_lower(c);
      out.insert(std::move(tag));
    }
    start = comma + 1;
  }
  return out;
}

float concept_similarity_threshold(ConceptSimilarityMode mode) {
  return mode == ConceptSimilarityMode::CanonicalFeature ? 0.12f : 0.10f;
}

std::optional<float> concept_seed_similarity(const ConceptSeed& a, const ConceptSeed& b, ConceptSimilarityMode mode) {
  if (mode == ConceptSimilarityMode::CanonicalFeature) {
    if (a.features.empty() || b.features.empty()) return std::nullopt;
    return term_set_jaccard(a.features, b.features);
  }
  if (a.centroid.empty() || b.centroid.empty()) return std::nullopt;
  return claim_tanimoto(a.centroid, b.centroid);
}

bool concept_pair_passes_gates(const ConceptSeed& i, const ConceptSeed& j, ConceptPartitionMode partition_mode,
                               ConceptUnionMode union_mode) {
  const size_t shared = common_count(i.record_tags, j.record_tags);
  if (shared == 0 && !i.record_tags.empty() && !j.record_tags.empty()) return false;
  if (partition_mode != ConceptPartitionMode::NamespaceOnly) return true;

  const std::string_view fi = i.key_tag_field, fj = j.key_tag_field;
  if (!fi.empty() && !fj.empty() && fi != fj) {
    const StringSet ki = key_tag_set(fi), kj = key_tag_set(fj);
    const size_t common = common_count(ki, kj);
    const bool no_alerts = fi != "alerts" && fj != "alerts";
    const bool flag = ki.size() >= 2 && kj.size() >= 2 && shared > 0 && common > 0 && no_alerts;
    const bool bridge = union_mode == ConceptUnionMode::SingleTagFactDecisionBridge && ki.size() == 1 &&
                        kj.size() == 1 && shared >= 2 && no_alerts;
    if (!flag && !(bridge && is_decision_fact_pair(i.semantic_type, j.semantic_type))) return false;
  }
  return !(fi == "alerts" && shared < 2);
}

std::vector<std::vector<size_t>> cluster_concept_seeds(const ConceptEngine& modes, std::span<const size_t> partition,
                                                       std::span<const ConceptSeed> seeds, ConceptPairStats& stats) {
  const float threshold = concept_similarity_threshold(modes.similarity_mode);
  const size_t n = partition.size();
  std::vector<size_t> parent(n);
  for (size_t i = 0; i < n; ++i) parent[i] = i;

  // SdrTanimoto mode compares centroids through one comparer per partition.
  const bool by_centroid = modes.similarity_mode == ConceptSimilarityMode::SdrTanimoto;
  std::vector<const Sdr*> centroids;
  if (by_centroid)
    for (size_t i : partition) centroids.push_back(&seeds[i].centroid);
  const CentroidTanimoto tanimoto(by_centroid ? std::move(centroids) : std::vector<const Sdr*>{});

  for (size_t i = 0; i < n; ++i) {
    const ConceptSeed& a = seeds[partition[i]];
    for (size_t j = i + 1; j < n; ++j) {
      const ConceptSeed& b = seeds[partition[j]];
      std::optional<float> sim;
      if (!by_centroid)
        sim = concept_seed_similarity(a, b, modes.similarity_mode);
      else if (!a.centroid.empty() && !b.centroid.empty())
        sim = tanimoto(i, j);
      if (!sim) continue;
      stats.similarities.push_back(*sim);
      const bool similar = *sim >= threshold;  // false for NaN
      if (similar) ++stats.above_threshold;
      if (!similar || !concept_pair_passes_gates(a, b, modes.partition_mode, modes.union_mode)) continue;
      const size_t ri = find_root(parent, i), rj = find_root(parent, j);
      if (ri != rj) parent[ri] = rj;
    }
  }

  // Groups in the order their first member appears.
  std::vector<std::vector<size_t>> clusters;
  std::vector<size_t> slot_of_root(n, SIZE_MAX);
  for (size_t i = 0; i < n; ++i) {
    const size_t root = find_root(parent, i);
    if (slot_of_root[root] == SIZE_MAX) {
      slot_of_root[root] = clusters.size();
      clusters.emplace_back();
    }
    clusters[slot_of_root[root]].push_back(partition[i]);
  }
  return clusters;
}

}  // namespace vesk
