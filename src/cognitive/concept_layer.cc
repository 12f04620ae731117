#include "cognitive/concept_layer.h"

#include <optional>
#include <utility>

#include "cognitive/concept_surface.h"

namespace vesk {

void index_concept_records(ConceptEngine& engine) {
  ConceptRecordIndex index;
  for (const auto& [id, c] : engine.concepts) {
    const bool stable = c.state == ConceptState::Stable;
    if (!stable && !(c.state == ConceptState::Candidate && c.abstraction_score >= 0.7f)) continue;
    for (const std::string& r : c.record_ids) {
      auto [it, inserted] = index.strongest_state.try_emplace(r, c.state);
      if (stable) it->second = ConceptState::Stable;
    }
  }
  index.surfaced = surface_concepts(engine.concepts, std::nullopt, std::nullopt);
  index.indexed_concepts = engine.concepts.size();
  index.built = true;
  engine.record_index = std::move(index);
}

const ConceptRecordIndex* concept_record_index(const ConceptEngine& engine) {
  const ConceptRecordIndex& index = engine.record_index;
  return index.built && index.indexed_concepts == engine.concepts.size() ? &index : nullptr;
}

}  // namespace vesk
