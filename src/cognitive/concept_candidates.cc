#include "cognitive/concept_candidates.h"

#include <xxhash.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "cognitive/concept_terms.h"
#include "cognitive/hashed_id.h"

namespace vesk {
namespace {

std::string join(std::span<const std::string> parts, size_t most, char sep) {
  std::string out;
  for (size_t i = 0; i < parts.size() && i < most; ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

}  // namespace

std::vector<std::string> belief_key_tags(std::span<const std::string_view> keys) {
  StringKeyMap<size_t> counts;
  for (std::string_view key : keys) {
    const size_t first = key.find(':');
    if (first == std::string_view::npos) continue;
    size_t second = key.find(':', first + 1);
    if (second == std::string_view::npos) second = key.size();
    const std::string_view field = key.substr(first + 1, second - first - 1);
    for (size_t start = 0;;) {
      const size_t comma = field.find(',', start);
      const size_t length = comma == std::string_view::npos ? std::string_view::npos : comma - start;
      ++counts[std::string(field.substr(start, length))];
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  const size_t needed = (keys.size() + 1) / 2;
  std::vector<std::string> tags;
  for (const auto& [tag, n] : counts)
    if (n >= needed) tags.push_back(tag);
  std::sort(tags.begin(), tags.end());
  return tags;
}

float concept_abstraction_score(float cohesion, float s, float c, float m) {
  const float mass = std::min(std::log(1.0f + m), 1.0f);
  return 0.2f * cohesion + (0.2f * s / (s + 3.0f) + (0.25f * c + 0.35f * mass));
}

ConceptState concept_state_for(float score) {
  if (score >= 0.75f) return ConceptState::Stable;
  if (score >= 0.5f) return ConceptState::Candidate;
  return ConceptState::Rejected;
}

std::string concept_sdr_part(const Sdr& positions) {
  std::string bytes;
  bytes.reserve(positions.size() * 2);
  for (uint16_t p : positions) {
    bytes.push_back(static_cast<char>(p & 0xff));
    bytes.push_back(static_cast<char>(p >> 8));
  }
  const uint64_t h = XXH3_64bits(bytes.data(), bytes.size());
  char text[9];
  std::snprintf(text, sizeof text, "%08" PRIx32, static_cast<uint32_t>(h));
  return std::string(text, 8);
}

std::optional<ConceptCandidate> build_concept_candidate(std::span<const ConceptSeed* const> members,
                                                        const RecordMap& snapshot, double now) {
  ConceptCandidate c;
  for (const ConceptSeed* m : members)
    c.record_ids.insert(c.record_ids.end(), m->record_ids.begin(), m->record_ids.end());
  std::sort(c.record_ids.begin(), c.record_ids.end());
  c.record_ids.erase(std::unique(c.record_ids.begin(), c.record_ids.end()), c.record_ids.end());
  if (c.record_ids.empty() || snapshot.empty()) return std::nullopt;

  // Core and shell terms: the share of member records using each term.
  StringKeyMap<size_t> term_records;
  size_t n_records = 0;
  for (const std::string& rid : c.record_ids) {
    auto it = snapshot.find(rid);
    if (it == snapshot.end()) continue;
    ++n_records;
    for (std::string& term : concept_record_terms(it->second.content)) ++term_records[std::move(term)];
  }
  if (n_records == 0) return std::nullopt;
  for (const auto& [term, count] : term_records) {
    const double share = static_cast<double>(count) / static_cast<double>(n_records);
    if (share >= 0.7)
      c.core_terms.push_back(term);
    else if (share >= 0.2)
      c.shell_terms.push_back(term);
  }
  std::sort(c.core_terms.begin(), c.core_terms.end());
  std::sort(c.shell_terms.begin(), c.shell_terms.end());

  std::vector<std::string_view> keys;
  keys.reserve(members.size());
  for (const ConceptSeed* m : members) keys.push_back(m->belief->key);
  c.tags = belief_key_tags(keys);

  const std::string_view smallest = *std::min_element(keys.begin(), keys.end());
  const BeliefKeyParts parts = split_belief_key(smallest);
  c.namespace_ = parts.namespace_;
  c.semantic_type = parts.semantic_type;

  const float n = static_cast<float>(members.size());
  float confidence = 0.0f, stability = 0.0f;
  for (const ConceptSeed* m : members) {
    c.support_mass += m->belief->support_mass;
    confidence += m->belief->confidence;
    stability += m->belief->stability;
  }
  c.confidence = confidence / n;
  c.stability = stability / n;

  // Members with a centroid, in cluster order.
  std::vector<const Sdr*> centroids;
  for (const ConceptSeed* m : members)
    if (!m->centroid.empty()) centroids.push_back(&m->centroid);
  const size_t with_centroid = centroids.size();
  const CentroidTanimoto tanimoto(std::move(centroids));
  float tanimoto_sum = 0.0f;
  size_t pairs = 0;
  for (size_t i = 0; i < with_centroid; ++i) {
    for (size_t j = i + 1; j < with_centroid; ++j) {
      tanimoto_sum += tanimoto(i, j);
      ++pairs;
    }
  }
  c.cohesion = pairs ? tanimoto_sum / static_cast<float>(pairs) : 0.0f;
  c.abstraction_score = concept_abstraction_score(c.cohesion, c.stability, c.confidence, c.support_mass);
  c.state = concept_state_for(c.abstraction_score);

  SdrUnion all_positions;
  for (const ConceptSeed* m : members) all_positions.add(m->centroid);
  const Sdr positions = all_positions.take();

  c.key = c.namespace_;
  c.key += ':';
  c.key += join(c.tags, c.tags.size(), ',');
  c.key += ':';
  c.key += c.semantic_type;
  c.key += ':';
  c.key += join(c.core_terms, 5, ',');
  c.key += ':';
  c.key += concept_sdr_part(positions);
  c.id = "c-" + hashed_id_hex(c.key);

  c.belief_ids.reserve(members.size());
  for (const ConceptSeed* m : members) c.belief_ids.push_back(m->belief->id);
  c.last_updated = now > 0.0 ? now : 0.0;
  return c;
}

}  // namespace vesk
