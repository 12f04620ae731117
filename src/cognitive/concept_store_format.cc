#include "cognitive/concept_store_format.h"

#include <utility>

#include "cognitive/layer_file_load.h"

namespace vesk {

const JsonStruct<ConceptCandidate>& JsonCodec<ConceptCandidate>::fields() {
  using T = ConceptCandidate;
  static const JsonStruct<T> s("struct ConceptCandidate",
                               {
                                   json_field<&T::id>("id"),
                                   json_field<&T::key>("key"),
                                   json_field<&T::namespace_>("namespace"),
                                   json_field<&T::semantic_type>("semantic_type"),
                                   json_field<&T::belief_ids>("belief_ids"),
                                   json_field<&T::record_ids>("record_ids"),
                                   json_field<&T::core_terms>("core_terms"),
                                   json_field<&T::shell_terms>("shell_terms"),
                                   json_field<&T::tags>("tags"),
                                   json_field<&T::support_mass>("support_mass"),
                                   json_field<&T::confidence>("confidence"),
                                   json_field<&T::stability>("stability"),
                                   json_field<&T::cohesion>("cohesion"),
                                   json_field<&T::abstraction_score>("abstraction_score"),
                                   json_field<&T::state>("state"),
                                   json_field<&T::last_updated>("last_updated"),
                               });
  return s;
}

const JsonStruct<ConceptEngine>& JsonCodec<ConceptEngine>::fields() {
  using T = ConceptEngine;
  static const JsonStruct<T> s("struct ConceptEngine",
                               {
                                   json_field<&T::concepts>("concepts"),
                                   json_field<&T::key_index>("key_index"),
                                   json_field<&T::seed_mode>("seed_mode", kJsonDefault),
                                   json_field<&T::similarity_mode>("similarity_mode", kJsonDefault),
                                   json_field<&T::partition_mode>("partition_mode", kJsonDefault),
                                   json_field<&T::union_mode>("union_mode", kJsonDefault),
                               });
  return s;
}

Result<ConceptEngine> parse_concept_engine(std::string_view payload) {
  // An absent member keeps what the target holds: the file's defaults, which
  // differ from a fresh engine's in the similarity mode.
  ConceptEngine defaults;
  defaults.similarity_mode = ConceptSimilarityMode::SdrTanimoto;
  return parse_layer_json(payload, std::move(defaults));
}

}  // namespace vesk
