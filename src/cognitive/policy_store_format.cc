#include "cognitive/policy_store_format.h"

#include "cognitive/layer_file_load.h"

namespace vesk {

const JsonStruct<PolicyHint>& JsonCodec<PolicyHint>::fields() {
  using T = PolicyHint;
  static const JsonStruct<T> s("struct PolicyHint",
                               {
                                   json_field<&T::id>("id"),
                                   json_field<&T::key>("key"),
                                   json_field<&T::namespace_>("namespace"),
                                   json_field<&T::domain>("domain"),
                                   json_field<&T::action_kind>("action_kind"),
                                   json_field<&T::recommendation>("recommendation"),
                                   json_field<&T::trigger_causal_ids>("trigger_causal_ids"),
                                   json_field<&T::trigger_concept_ids>("trigger_concept_ids"),
                                   json_field<&T::trigger_belief_ids>("trigger_belief_ids"),
                                   json_field<&T::supporting_record_ids>("supporting_record_ids"),
                                   json_field<&T::cause_record_ids>("cause_record_ids"),
                                   json_field<&T::confidence>("confidence"),
                                   json_field<&T::utility_score>("utility_score"),
                                   json_field<&T::risk_score>("risk_score"),
                                   json_field<&T::policy_strength>("policy_strength"),
                                   json_field<&T::state>("state"),
                                   json_field<&T::last_updated>("last_updated"),
                                   json_field<&T::evidence_source_floor>("evidence_source_floor", kJsonDefault),
                               });
  return s;
}

const JsonStruct<PolicyEngine>& JsonCodec<PolicyEngine>::fields() {
  using T = PolicyEngine;
  static const JsonStruct<T> s("struct PolicyEngine", {
                                                          json_field<&T::hints>("hints"),
                                                          json_field<&T::key_index>("key_index"),
                                                      });
  return s;
}

Result<PolicyEngine> parse_policy_engine(std::string_view payload) { return parse_layer_json<PolicyEngine>(payload); }

}  // namespace vesk
