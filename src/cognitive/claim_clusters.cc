#include "cognitive/claim_clusters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "index/embedding_store.h"

namespace vesk {
namespace {

// Union-find over the records of one group.
class UnionFind {
 public:
  explicit UnionFind(size_t n) : parent_(n) {
    for (size_t i = 0; i < n; ++i) parent_[i] = i;
  }
  size_t find(size_t x) {
    while (parent_[x] != x) {
      parent_[x] = parent_[parent_[x]];
      x = parent_[x];
    }
    return x;
  }
  // Points the representative of a at that of b.
  void join(size_t a, size_t b) {
    const size_t ra = find(a), rb = find(b);
    if (ra != rb) parent_[ra] = rb;
  }

 private:
  std::vector<size_t> parent_;
};

// Branch-free merge count of the positions two ascending lists share.
size_t shared_positions(const Sdr& a, const Sdr& b) {
  const uint16_t* x = a.data();
  const uint16_t* y = b.data();
  size_t i = 0, j = 0, n = 0;
  const size_t na = a.size(), nb = b.size();
  while (i < na && j < nb) {
    const uint16_t u = x[i], v = y[j];
    n += u == v;
    i += u <= v;
    j += v <= u;
  }
  return n;
}

// The Tanimoto of two SDRs when it can reach `threshold`; 0 when the sizes
// alone rule that out (the Tanimoto is at most min / max of the sizes, and
// float division keeps that order), which the caller counts as skipped.
std::optional<float> tanimoto_reaching(const Sdr& a, const Sdr& b, float threshold) {
  const size_t lo = std::min(a.size(), b.size()), hi = std::max(a.size(), b.size());
  if (hi != 0 && static_cast<float>(lo) / static_cast<float>(hi) < threshold) return std::nullopt;
  return claim_tanimoto(a, b);
}

const Sdr* sdr_of(const ClaimSdrMap& sdrs, const std::string& id) {
  auto it = sdrs.find(id);
  return it == sdrs.end() || !it->second ? nullptr : it->second.get();
}

// Runs the pair rule `joined(i, j)` over a group and gathers the clusters in
// the order their first record appears.
template <class PairRule>
std::vector<ClaimGroup> union_clusters(const ClaimGroup& group, ClaimPairCounts* counts, PairRule joined) {
  const size_t n = group.size();
  UnionFind sets(n);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      if (sets.find(i) == sets.find(j)) {
        if (counts) ++counts->skipped;
        continue;
      }
      if (joined(i, j)) sets.join(i, j);
    }
  }
  std::vector<ClaimGroup> clusters;
  std::vector<size_t> slot(n, SIZE_MAX);
  for (size_t i = 0; i < n; ++i) {
    const size_t r = sets.find(i);
    if (slot[r] == SIZE_MAX) {
      slot[r] = clusters.size();
      clusters.emplace_back();
    }
    clusters[slot[r]].push_back(group[i]);
  }
  return clusters;
}

// The SDR part of a pair rule: Tanimoto of two (possibly missing) SDRs at
// least `threshold`, a missing SDR scoring 0.
bool sdr_pair_reaches(const Sdr* a, const Sdr* b, float threshold, ClaimPairCounts* counts) {
  if (!a || !b) return 0.0f >= threshold;
  std::optional<float> t = tanimoto_reaching(*a, *b, threshold);
  if (counts) ++(t ? counts->measured : counts->skipped);
  return t && *t >= threshold;
}

std::vector<ClaimGroup> split_shared_tag(const ClaimGroup& group, const ClaimSdrMap& sdrs, float threshold,
                                         bool canonical, ClaimPairCounts* counts) {
  std::vector<const Sdr*> sdr(group.size());
  std::vector<StringSet> tags(group.size());
  for (size_t i = 0; i < group.size(); ++i) {
    sdr[i] = sdr_of(sdrs, group[i]->id);
    if (canonical) {
      for (std::string& t : canonical_claim_tags(group[i]->tags)) tags[i].insert(std::move(t));
    } else {
      tags[i].insert(group[i]->tags.begin(), group[i]->tags.end());
    }
  }
  return union_clusters(group, counts, [&](size_t i, size_t j) {
    if (!sdr[i] || (!canonical && group[i]->tags.empty())) return false;
    const StringSet& small = tags[i].size() <= tags[j].size() ? tags[i] : tags[j];
    const StringSet& large = &small == &tags[i] ? tags[j] : tags[i];
    bool shared = false;
    for (const std::string& t : small)
      if (large.contains(t)) {
        shared = true;
        break;
      }
    return shared && sdr_pair_reaches(sdr[i], sdr[j], threshold, counts);
  });
}

std::vector<ClaimGroup> split_tag_sdr_pool(const ClaimGroup& group, const ClaimSdrMap& sdrs, float threshold,
                                           ClaimPairCounts* counts) {
  std::vector<const Sdr*> sdr(group.size());
  std::vector<Sdr> tag_sdr(group.size());
  for (size_t i = 0; i < group.size(); ++i) {
    sdr[i] = sdr_of(sdrs, group[i]->id);
    std::string text;
    for (const std::string& t : normalized_claim_tags(group[i]->tags)) {
      if (!text.empty()) text += ' ';
      text += t;
    }
    if (!text.empty()) tag_sdr[i] = encode_sdr(SdrEncoder{}, text, SdrRange::General, SdrCase::Preserve);
  }
  return union_clusters(group, counts, [&](size_t i, size_t j) {
    if (!sdr[i]) return false;
    std::optional<float> tags = tanimoto_reaching(tag_sdr[i], tag_sdr[j], 0.08f);
    if (!tags || !(*tags >= 0.08f)) return false;
    return sdr_pair_reaches(sdr[i], sdr[j], threshold, counts);
  });
}

float default_threshold(CoarseKeyMode mode) {
  switch (mode) {
    case CoarseKeyMode::DualKey:
    case CoarseKeyMode::SdrTagPool:
      return 0.1f;
    case CoarseKeyMode::NeighborhoodPool:
      return 0.08f;
    default:
      return 0.15f;
  }
}

bool is_backoff(CoarseKeyMode mode) {
  return mode == CoarseKeyMode::TagFamilyBackoff || mode == CoarseKeyMode::TagFamilyPairBackoff ||
         mode == CoarseKeyMode::TagFamilyDenseBackoff;
}

bool any_pair(const std::vector<ClaimGroup>& clusters) {
  return std::any_of(clusters.begin(), clusters.end(), [](const ClaimGroup& c) { return c.size() >= 2; });
}

}  // namespace

float claim_tanimoto(const Sdr& a, const Sdr& b) {
  if (a.empty() || b.empty()) return 0.0f;
  const size_t shared = shared_positions(a, b);
  const size_t denominator = a.size() + b.size() - shared;
  return denominator == 0 ? 0.0f : static_cast<float>(shared) / static_cast<float>(denominator);
}

float embedding_cosine(std::span<const float> u, std::span<const float> v) {
  if (u.size() != v.size() || u.empty()) return 0.0f;
  float dot = 0.0f, uu = 0.0f, vv = 0.0f;
  for (size_t i = 0; i < u.size(); ++i) {
    dot += u[i] * v[i];
    uu += u[i] * u[i];
    vv += v[i] * v[i];
  }
  if (uu == 0.0f || vv == 0.0f) return 0.0f;
  return dot / (std::sqrt(uu) * std::sqrt(vv));
}

std::vector<ClaimGroup> cluster_claims(const ClaimGroup& group, const ClaimSdrMap& sdrs,
                                       const EmbeddingStore* embeddings, float threshold, float embedding_threshold,
                                       ClaimPairCounts* counts) {
  const bool use_sdr = !sdrs.empty();
  const bool use_embeddings = embeddings && !embeddings->empty();
  std::vector<const Sdr*> sdr(group.size());
  std::vector<std::optional<std::vector<float>>> vec(group.size());
  for (size_t i = 0; i < group.size(); ++i) {
    if (use_sdr) sdr[i] = sdr_of(sdrs, group[i]->id);
    if (use_embeddings) vec[i] = embeddings->vector(group[i]->id);
  }
  return union_clusters(group, counts, [&](size_t i, size_t j) {
    if (use_sdr && sdr[i] && sdr[j] && sdr_pair_reaches(sdr[i], sdr[j], threshold, counts)) return true;
    if (use_embeddings && vec[i] && vec[j]) {
      if (counts) ++counts->measured;
      return embedding_cosine(*vec[i], *vec[j]) >= embedding_threshold;
    }
    return false;
  });
}

ClaimGroups final_claim_groups(const BeliefEngine& engine, const RecordMap& records, const ClaimSdrMap& sdrs,
                               ClaimPairCounts* counts) {
  const CoarseKeyMode mode = engine.coarse_key_mode;
  ClaimGroups keyed;
  for (const auto& [id, record] : records) {
    if (!is_claim_record(record)) continue;
    if (std::optional<std::string> key = claim_key(record, mode)) keyed.add(*key, &record);
  }
  if (mode == CoarseKeyMode::TagFamilyDenseBackoff) keyed = dense_rekey(keyed);

  const EmbeddingStore* embeddings = engine.embedding_similarity_override ? engine.claim_embeddings : nullptr;
  const float embedding_threshold = engine.embedding_similarity_override.value_or(0.0f);
  const bool has_data = !sdrs.empty() || (embeddings && !embeddings->empty());
  const float threshold = engine.claim_similarity_override.value_or(default_threshold(mode));

  ClaimGroups out;
  for (auto& [key, group] : keyed.groups()) {
    if (group.size() < 2 || !has_data) {
      out.add_group(key, std::move(group));
      continue;
    }
    std::vector<ClaimGroup> clusters;
    switch (mode) {
      case CoarseKeyMode::DualKey:
      case CoarseKeyMode::NeighborhoodPool:
        clusters = split_shared_tag(group, sdrs, threshold, false, counts);
        break;
      case CoarseKeyMode::BridgeKey:
        clusters = split_shared_tag(group, sdrs, threshold, true, counts);
        break;
      case CoarseKeyMode::SdrTagPool:
        clusters = split_tag_sdr_pool(group, sdrs, threshold, counts);
        break;
      default:
        clusters = cluster_claims(group, sdrs, embeddings, threshold, embedding_threshold, counts);
        break;
    }
    const bool alerts = claim_key_family(key) == "alerts";
    if (mode == CoarseKeyMode::TagFamilyAdaptive && !any_pair(clusters) && !alerts) {
      clusters = cluster_claims(group, sdrs, embeddings, engine.claim_similarity_override.value_or(0.1f),
                                embedding_threshold, counts);
    }
    if (is_backoff(mode) && !any_pair(clusters) && !alerts) {
      out.add_group(key, std::move(group));
      continue;
    }
    if (clusters.size() == 1) {
      out.add_group(key, std::move(clusters[0]));
    } else {
      for (size_t c = 0; c < clusters.size(); ++c) out.add_group(key + "#" + std::to_string(c), std::move(clusters[c]));
    }
  }
  return out;
}

}  // namespace vesk
