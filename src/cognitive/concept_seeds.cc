#include "cognitive/concept_seeds.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "base/merge_sort.h"
#include "cognitive/claim_clusters.h"
#include "cognitive/concept_terms.h"
#include "model/unicode_case.h"

namespace vesk {
namespace {

struct SeedMinimums {
  float stability;
  float confidence;
};

SeedMinimums seed_minimums(ConceptSeedMode mode) {
  switch (mode) {
    case ConceptSeedMode::Warmup: return {1.0f, 0.55f};
    case ConceptSeedMode::Relaxed: return {1.0f, 0.40f};
    default: return {2.0f, 0.55f};
  }
}

// Calls `f` with every prototype record id of the belief's hypotheses, in
// hypothesis order; hypotheses missing from the engine are skipped.
template <class F>
void for_each_prototype(const BeliefEngine& beliefs, const Belief& belief, F&& f) {
  for (const std::string& hid : belief.hypothesis_ids) {
    auto it = beliefs.hypotheses.find(hid);
    if (it == beliefs.hypotheses.end()) continue;
    for (const std::string& rid : it->second.prototype_record_ids) f(rid);
  }
}

}  // namespace

void SdrUnion::add(const Sdr& positions) {
  if (positions.empty()) return;
  for (uint16_t p : positions) words_[p >> 6] |= uint64_t{1} << (p & 63);
  low_ = std::min<size_t>(low_, positions.front() >> 6);  // an Sdr is ascending
  high_ = std::max<size_t>(high_, (positions.back() >> 6) + 1);
}

Sdr SdrUnion::take() {
  Sdr out;
  for (size_t w = low_; w < high_; ++w) {
    for (uint64_t bits = words_[w]; bits; bits &= bits - 1)
      out.push_back(static_cast<uint16_t>((w << 6) | static_cast<size_t>(std::countr_zero(bits))));
    words_[w] = 0;
  }
  low_ = words_.size();
  high_ = 0;
  return out;
}

namespace {
// Above this many positions a bitmap of 1024 words compares faster than a
// merge of the two lists.
constexpr size_t kBitmapCentroid = 1024;
}  // namespace

CentroidTanimoto::CentroidTanimoto(std::vector<const Sdr*> centroids)
    : centroids_(std::move(centroids)), bits_(centroids_.size()) {
  for (size_t i = 0; i < centroids_.size(); ++i) {
    if (centroids_[i]->size() < kBitmapCentroid) continue;
    bits_[i].assign(1024, 0);
    for (uint16_t p : *centroids_[i]) bits_[i][p >> 6] |= uint64_t{1} << (p & 63);
  }
}

float CentroidTanimoto::operator()(size_t i, size_t j) const {
  const Sdr &a = *centroids_[i], &b = *centroids_[j];
  if (bits_[i].empty() || bits_[j].empty()) return claim_tanimoto(a, b);
  size_t shared = 0;
  for (size_t w = 0; w < 1024; ++w) shared += static_cast<size_t>(std::popcount(bits_[i][w] & bits_[j][w]));
  const size_t denominator = a.size() + b.size() - shared;
  return denominator == 0 ? 0.0f : static_cast<float>(shared) / static_cast<float>(denominator);
}

BeliefKeyParts split_belief_key(std::string_view key) {
  BeliefKeyParts parts;
  const size_t first = key.find(':');
  parts.namespace_ = first == std::string_view::npos ? key : key.substr(0, first);
  const size_t last = key.rfind(':');
  std::string_view type = last == std::string_view::npos ? key : key.substr(last + 1);
  if (const size_t hash = type.find('#'); hash != std::string_view::npos) type = type.substr(0, hash);
  parts.semantic_type = type;
  return parts;
}

std::string_view belief_key_tag_field(std::string_view key) {
  const size_t first = key.find(':');
  if (first == std::string_view::npos) return {};
  const size_t second = key.find(':', first + 1);
  if (second == std::string_view::npos) return {};
  return key.substr(first + 1, second - first - 1);
}

bool is_concept_seed(const Belief& belief, ConceptSeedMode mode) {
  if (belief.state != BeliefState::Resolved && belief.state != BeliefState::Singleton) return false;
  const SeedMinimums min = seed_minimums(mode);
  return belief.stability >= min.stability && belief.confidence >= min.confidence;
}

std::vector<ConceptSeed> choose_concept_seeds(const BeliefEngine& beliefs, ConceptSeedMode mode,
                                              const StringKeyMap<SharedSdr>& sdrs) {
  std::vector<ConceptSeed> seeds;
  SdrUnion centroid;
  for (const auto& [id, belief] : beliefs.beliefs) {
    if (!is_concept_seed(belief, mode)) continue;
    ConceptSeed& seed = seeds.emplace_back();
    seed.belief = &belief;
    for_each_prototype(beliefs, belief, [&](const std::string& rid) {
      seed.record_ids.push_back(rid);
      if (auto it = sdrs.find(rid); it != sdrs.end() && it->second) centroid.add(*it->second);
    });
    std::sort(seed.record_ids.begin(), seed.record_ids.end());
    seed.record_ids.erase(std::unique(seed.record_ids.begin(), seed.record_ids.end()), seed.record_ids.end());
    seed.centroid = centroid.take();
  }
  return seeds;
}

void describe_concept_seed(ConceptSeed& seed, const RecordMap& snapshot, bool with_features) {
  seed.key_tag_field = belief_key_tag_field(seed.belief->key);
  seed.semantic_type = split_belief_key(seed.belief->key).semantic_type;
  for (const std::string& rid : seed.record_ids) {
    auto it = snapshot.find(rid);
    if (it == snapshot.end()) continue;
    const Record& r = it->second;
    for (const std::string& tag : r.tags) seed.record_tags.insert(tag);
    if (!with_features) continue;
    add_concept_feature_terms(r.content, seed.features);
    for (const std::string& tag : r.tags) seed.features.insert(unicode_lower(tag));
  }
}

std::string concept_partition_key(const ConceptSeed& seed, ConceptPartitionMode mode) {
  const BeliefKeyParts parts = split_belief_key(seed.belief->key);
  std::string key(parts.namespace_);
  if (mode == ConceptPartitionMode::Standard) {
    key += ':';
    key += parts.semantic_type;
  }
  return key;
}

uint64_t cap_concept_partition(std::vector<size_t>& partition, std::span<const ConceptSeed> seeds) {
  if (partition.size() <= MAX_PARTITION_SIZE) return 0;
  const uint64_t excess = partition.size() - MAX_PARTITION_SIZE;
  merge_sort(partition, [&](size_t a, size_t b) {
    const float sa = seeds[a].belief->stability, sb = seeds[b].belief->stability;
    if (sa > sb) return true;
    if (sb > sa) return false;
    return seeds[a].belief->id < seeds[b].belief->id;
  });
  partition.resize(MAX_PARTITION_SIZE);
  return excess;
}

}  // namespace vesk
