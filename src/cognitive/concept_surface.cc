#include "cognitive/concept_surface.h"

#include <algorithm>

#include "base/merge_sort.h"

namespace vesk {
namespace {

SurfacedConcept surfaced(const ConceptCandidate& c) {
  SurfacedConcept s;
  s.id = c.id;
  s.key = c.key;
  s.state = c.state == ConceptState::Stable ? "stable" : "candidate";
  s.namespace_ = c.namespace_;
  s.semantic_type = c.semantic_type;
  s.core_terms = c.core_terms;
  s.shell_terms = c.shell_terms;
  s.tags = c.tags;
  s.abstraction_score = c.abstraction_score;
  s.confidence = c.confidence;
  s.cluster_size = c.belief_ids.size();
  s.support_mass = c.support_mass;
  s.belief_ids = c.belief_ids;
  s.record_ids = c.record_ids;
  return s;
}

// True when a comes strictly before b; unordered floats fall through.
bool surfaces_before(const ConceptCandidate* a, const ConceptCandidate* b) {
  if (a->abstraction_score > b->abstraction_score) return true;
  if (b->abstraction_score > a->abstraction_score) return false;
  if (a->confidence > b->confidence) return true;
  if (b->confidence > a->confidence) return false;
  if (a->belief_ids.size() != b->belief_ids.size()) return a->belief_ids.size() > b->belief_ids.size();
  const bool a_stable = a->state == ConceptState::Stable, b_stable = b->state == ConceptState::Stable;
  if (a_stable != b_stable) return a_stable;
  return a->key < b->key;
}

}  // namespace

bool is_surfaceable_concept(const ConceptCandidate& c, std::optional<std::string_view> namespace_) {
  if (namespace_ && c.namespace_ != *namespace_) return false;
  if (c.belief_ids.empty() || c.record_ids.empty()) return false;
  if (c.core_terms.empty() && c.tags.empty()) return false;
  if (c.state == ConceptState::Stable) return true;
  return c.state == ConceptState::Candidate && c.abstraction_score >= 0.7f;
}

std::vector<SurfacedConcept> surface_concepts(const StringKeyMap<ConceptCandidate>& concepts,
                                              std::optional<size_t> limit,
                                              std::optional<std::string_view> namespace_) {
  const size_t most = std::min(limit.value_or(kSurfacedConceptLimit), kSurfacedConceptLimit);
  std::vector<SurfacedConcept> out;
  if (most == 0) return out;
  std::vector<const ConceptCandidate*> eligible;
  for (const auto& [id, c] : concepts)
    if (is_surfaceable_concept(c, namespace_)) eligible.push_back(&c);
  merge_sort(eligible, surfaces_before);

  StringSet seen_keys;
  StringKeyMap<size_t> per_namespace;
  for (const ConceptCandidate* c : eligible) {
    if (out.size() >= most) break;
    if (!seen_keys.insert(c->key).second) continue;
    size_t& taken = per_namespace[c->namespace_];
    if (taken >= kSurfacedConceptsPerNamespace) continue;
    ++taken;
    out.push_back(surfaced(*c));
  }
  return out;
}

}  // namespace vesk
