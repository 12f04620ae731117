// The concept phase: seeds, partitions, clustering, candidates, then the
// new candidates replace the engine's content wholesale (its modes stay).
//
// Per-seed data is computed once and looked up by position, so the phase
// costs O(records + seeds log seeds) beside the pair work, which the
// partition cap bounds at 3160 pairs per partition.
#include <algorithm>
#include <span>
#include <utility>

#include "cognitive/concept_candidates.h"
#include "cognitive/concept_clustering.h"
#include "cognitive/concept_seeds.h"
#include "maintenance/layer_phases.h"

namespace vesk {

ConceptPhaseReport discover_concepts(ConceptEngine& engine, const BeliefEngine& beliefs, const CycleSnapshot& snapshot,
                                     const CycleSdrMap& sdrs, Env& env) {
  ConceptPhaseReport report;
  std::vector<ConceptSeed> seeds = choose_concept_seeds(beliefs, engine.seed_mode, sdrs);
  report.seeds_found = seeds.size();
  if (seeds.size() < 2) {
    engine.concepts.clear();
    engine.key_index.clear();
    index_concept_records(engine);
    return report;
  }

  float centroid_positions = 0.0f;
  for (const ConceptSeed& s : seeds) {
    if (s.centroid.empty()) continue;
    ++report.centroids_built;
    centroid_positions += static_cast<float>(s.centroid.size());
  }
  if (report.centroids_built)
    report.avg_centroid_size = centroid_positions / static_cast<float>(report.centroids_built);

  StringKeyMap<std::vector<size_t>> partitions;
  for (size_t i = 0; i < seeds.size(); ++i)
    partitions[concept_partition_key(seeds[i], engine.partition_mode)].push_back(i);

  const bool with_features = engine.similarity_mode == ConceptSimilarityMode::CanonicalFeature;
  for (ConceptSeed& s : seeds) describe_concept_seed(s, snapshot, with_features);
  if (with_features)
    report.centroids_built = static_cast<uint64_t>(
        std::count_if(seeds.begin(), seeds.end(), [](const ConceptSeed& s) { return !s.features.empty(); }));

  ConceptPairStats pairs;
  std::vector<std::vector<size_t>> clusters;
  for (auto& [key, members] : partitions) {
    if (members.size() < 2) continue;
    report.seeds_capped += cap_concept_partition(members, seeds);
    ++report.partitions_with_multiple_seeds;
    report.multi_seed_partition_sizes.push_back(members.size());
    for (std::vector<size_t>& cluster : cluster_concept_seeds(engine, members, seeds, pairs)) {
      report.cluster_sizes.push_back(cluster.size());
      if (cluster.size() > 1) ++report.clusters_with_multiple_beliefs;
      report.largest_cluster_size = std::max<uint64_t>(report.largest_cluster_size, cluster.size());
      clusters.push_back(std::move(cluster));
    }
  }

  report.pairwise_comparisons = pairs.similarities.size();
  report.pairwise_above_threshold = pairs.above_threshold;
  if (!pairs.similarities.empty()) {
    std::sort(pairs.similarities.begin(), pairs.similarities.end());
    float sum = 0.0f;
    for (float s : pairs.similarities) sum += s;
    report.tanimoto_min = pairs.similarities.front();
    report.tanimoto_max = pairs.similarities.back();
    report.tanimoto_avg = sum / static_cast<float>(pairs.similarities.size());
  }

  StringKeyMap<ConceptCandidate> concepts;
  StringMap key_index;
  const double now = env.now_seconds();
  std::vector<const ConceptSeed*> members;
  for (const std::vector<size_t>& cluster : clusters) {
    if (cluster.size() < 2) continue;
    members.clear();
    for (size_t i : cluster) members.push_back(&seeds[i]);
    std::optional<ConceptCandidate> c = build_concept_candidate(members, snapshot, now);
    if (!c) continue;
    if (c->state == ConceptState::Stable) ++report.stable_count;
    if (c->state == ConceptState::Rejected) ++report.rejected_count;
    key_index[c->key] = c->id;
    std::string id = c->id;
    concepts[std::move(id)] = std::move(*c);
  }

  engine.concepts = std::move(concepts);
  engine.key_index = std::move(key_index);
  index_concept_records(engine);
  report.candidates_found = engine.concepts.size();
  if (!engine.concepts.empty()) {
    float sum = 0.0f;
    for (const auto& [id, c] : engine.concepts) sum += c.abstraction_score;
    report.avg_abstraction_score = sum / static_cast<float>(engine.concepts.size());
  }
  return report;
}

}  // namespace vesk
