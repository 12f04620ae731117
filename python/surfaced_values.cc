// The outward forms of concept candidates and policy hints. Their states and
// action kinds are texts, not enumerations.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<SurfacedConcept>::object() {
  using T = SurfacedConcept;
  static ValueClass<T> cls{
      "vesk._core.SurfacedConcept",
      "Stable external contract for inspection-only concept output.\n"
      "Decoupled from internal ConceptCandidate \u2014 safe to expose publicly.",
      {
          field<&T::id>("id", "Unique concept identifier."),
          field<&T::key>("key", "Canonical concept key."),
          field<&T::state>("state", "Lifecycle state (\"stable\" or \"candidate\")."),
          field<&T::namespace_>("namespace", "Namespace this concept belongs to."),
          field<&T::semantic_type>("semantic_type", "Semantic type of grouped beliefs."),
          field<&T::core_terms>("core_terms", "High-frequency terms shared across beliefs (the \"essence\")."),
          field<&T::shell_terms>("shell_terms", "Variable terms that appear in some but not all beliefs."),
          field<&T::tags>("tags", "Stable tags across beliefs."),
          field<&T::abstraction_score>("abstraction_score", "Composite abstraction quality score."),
          field<&T::confidence>("confidence", "Average confidence of source beliefs."),
          field<&T::cluster_size>("cluster_size", "Number of beliefs in this concept cluster."),
          field<&T::support_mass>("support_mass", "Aggregated support mass."),
          field<&T::belief_ids>("belief_ids", "Source belief IDs."),
          field<&T::record_ids>("record_ids", "Transitive source record IDs."),
      }};
  return cls;
}

ClassObject& NativeClass<SurfacedPolicyHint>::object() {
  using T = SurfacedPolicyHint;
  static ValueClass<T> cls{
      "vesk._core.SurfacedPolicyHint",
      "A filtered, stable, user-facing advisory hint.\n"
      "This is the external contract \u2014 decoupled from internal PolicyHint.",
      {
          field<&T::id>("id", "Hint identifier."),
          field<&T::state>("state", "Lifecycle state (\"stable\" or \"candidate\")."),
          field<&T::action_kind>("action_kind",
                                 "Advisory action kind (\"prefer\", \"recommend\", \"verify_first\", \"avoid\", "
                                 "\"warn\")."),
          field<&T::namespace_>("namespace", "Namespace this hint belongs to."),
          field<&T::domain>("domain", "Domain/topic of the hint."),
          field<&T::recommendation>("recommendation", "Human-readable recommendation text."),
          field<&T::policy_strength>("policy_strength", "Composite policy strength score."),
          field<&T::confidence>("confidence", "Aggregated confidence from beliefs."),
          field<&T::risk_score>("risk_score", "Risk signal (higher = more negative outcome weight)."),
          field<&T::trigger_causal_ids>("trigger_causal_ids", "Causal pattern IDs that triggered this hint."),
          field<&T::trigger_concept_ids>("trigger_concept_ids", "Concept IDs that support this hint."),
          field<&T::trigger_belief_ids>("trigger_belief_ids", "Belief IDs that support this hint."),
          field<&T::supporting_record_ids>("supporting_record_ids", "Record IDs (transitive provenance)."),
          field<&T::evidence_source_floor>("evidence_source_floor",
                                           "Least trusted `source_type` among the records behind this hint."),
          field<&T::untrusted_evidence>("untrusted_evidence",
                                        "True when the hint rests on evidence less trusted than `recorded`;\n"
                                        "such hints are capped at `verify_first`."),
      }};
  return cls;
}

}  // namespace vesk::py
