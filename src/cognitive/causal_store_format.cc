#include "cognitive/causal_store_format.h"

#include "cognitive/causal_record_index.h"
#include "cognitive/layer_file_load.h"

namespace vesk {

const JsonStruct<CausalPattern>& JsonCodec<CausalPattern>::fields() {
  using T = CausalPattern;
  static const JsonStruct<T> s(
      "struct CausalPattern",
      {
          json_field<&T::id>("id"),
          json_field<&T::key>("key"),
          json_field<&T::namespace_>("namespace"),
          json_field<&T::cause_belief_ids>("cause_belief_ids"),
          json_field<&T::effect_belief_ids>("effect_belief_ids"),
          json_field<&T::cause_record_ids>("cause_record_ids"),
          json_field<&T::effect_record_ids>("effect_record_ids"),
          json_field<&T::support_count>("support_count"),
          json_field<&T::explicit_support_count>("explicit_support_count", kJsonDefault),
          json_field<&T::temporal_support_count>("temporal_support_count", kJsonDefault),
          json_field<&T::unique_temporal_windows>("unique_temporal_windows", kJsonDefault),
          json_field<&T::effect_record_signature_variants>("effect_record_signature_variants", kJsonDefault),
          json_field<&T::positive_effect_signals>("positive_effect_signals", kJsonDefault),
          json_field<&T::negative_effect_signals>("negative_effect_signals", kJsonDefault),
          json_field<&T::counterevidence>("counterevidence"),
          json_field<&T::explicit_support_total_for_cause>("explicit_support_total_for_cause", kJsonDefault),
          json_field<&T::explicit_effect_variants_for_cause>("explicit_effect_variants_for_cause", kJsonDefault),
          json_field<&T::transition_lift>("transition_lift"),
          json_field<&T::temporal_consistency>("temporal_consistency"),
          json_field<&T::outcome_stability>("outcome_stability"),
          json_field<&T::causal_strength>("causal_strength"),
          json_field<&T::state>("state"),
          json_field<&T::invalidation_reason>("invalidation_reason", kJsonDefault),
          json_field<&T::invalidated_at>("invalidated_at", kJsonDefault),
          json_field<&T::last_updated>("last_updated"),
      });
  return s;
}

const JsonStruct<CausalEngine>& JsonCodec<CausalEngine>::fields() {
  using T = CausalEngine;
  static const JsonStruct<T> s("struct CausalEngine",
                               {
                                   json_field<&T::patterns>("patterns"),
                                   json_field<&T::key_index>("key_index"),
                                   json_field<&T::temporal_budget_mode>("temporal_budget_mode"),
                                   json_field<&T::evidence_mode>("evidence_mode"),
                                   json_field<&T::last_corpus_fingerprint>("last_corpus_fingerprint", kJsonDefault),
                                   json_field<&T::last_edges_found>("last_edges_found", kJsonDefault),
                                   json_field<&T::last_explicit_edges_found>("last_explicit_edges_found", kJsonDefault),
                                   json_field<&T::last_temporal_edges_found>("last_temporal_edges_found", kJsonDefault),
                               });
  return s;
}

Result<CausalEngine> parse_causal_engine(std::string_view payload) {
  Result<CausalEngine> engine = parse_layer_json<CausalEngine>(payload);
  if (engine.ok()) index_causal_records(*engine);
  return engine;
}

}  // namespace vesk
