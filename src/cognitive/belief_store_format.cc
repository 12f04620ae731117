#include "cognitive/belief_store_format.h"

#include "cognitive/layer_file_load.h"

namespace vesk {

const JsonStruct<Belief>& JsonCodec<Belief>::fields() {
  using T = Belief;
  static const JsonStruct<T> s("struct Belief",
                               {
                                   json_field<&T::id>("id"),
                                   json_field<&T::key>("key"),
                                   json_field<&T::hypothesis_ids>("hypothesis_ids"),
                                   json_field<&T::winner_id>("winner_id", kJsonDefault),
                                   json_field<&T::state>("state"),
                                   json_field<&T::score>("score"),
                                   json_field<&T::confidence>("confidence"),
                                   json_field<&T::support_mass>("support_mass"),
                                   json_field<&T::conflict_mass>("conflict_mass"),
                                   json_field<&T::stability>("stability"),
                                   json_field<&T::volatility>("volatility", kJsonDefault),
                                   json_field<&T::world_verdict>("world_verdict", kJsonDefault),
                                   json_field<&T::last_updated>("last_updated"),
                               });
  return s;
}

const JsonStruct<Hypothesis>& JsonCodec<Hypothesis>::fields() {
  using T = Hypothesis;
  static const JsonStruct<T> s("struct Hypothesis",
                               {
                                   json_field<&T::id>("id"),
                                   json_field<&T::belief_id>("belief_id"),
                                   json_field<&T::prototype_record_ids>("prototype_record_ids"),
                                   json_field<&T::score>("score"),
                                   json_field<&T::confidence>("confidence"),
                                   json_field<&T::support_mass>("support_mass"),
                                   json_field<&T::conflict_mass>("conflict_mass"),
                                   json_field<&T::recency>("recency"),
                                   json_field<&T::consistency>("consistency"),
                               });
  return s;
}

const JsonStruct<BeliefEngine>& JsonCodec<BeliefEngine>::fields() {
  using T = BeliefEngine;
  static const JsonStruct<T> s(
      "struct BeliefEngine",
      {
          json_field<&T::beliefs>("beliefs"),
          json_field<&T::hypotheses>("hypotheses"),
          json_field<&T::key_index>("key_index"),
          json_field<&T::record_index>("record_index"),
          json_field<&T::coarse_key_mode>("coarse_key_mode", kJsonDefault),
          json_field<&T::claim_similarity_override>("claim_similarity_override", kJsonDefault),
          json_field<&T::embedding_similarity_override>("embedding_similarity_override", kJsonDefault),
      });
  return s;
}

Result<BeliefEngine> parse_belief_engine(std::string_view payload) { return parse_layer_json<BeliefEngine>(payload); }

}  // namespace vesk
