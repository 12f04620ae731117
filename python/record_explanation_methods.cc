// The explanation of one record, its provenance chain and its
// explainability bundle. All keep the interpreter lock: each is one answer
// about one record.
//
// Bundle keys: record_id explanation provenance record_corrections
// belief_corrections causal_corrections policy_corrections
// reflection_digest related_reflection_findings belief_instability
// maintenance_trends; "belief_instability" has total_beliefs resolved
// unresolved singleton empty contradiction_cluster_count
// high_volatility_count low_stability_count avg_volatility avg_stability
// volatility_bands (low medium high).
#include <optional>
#include <string>

#include "binding/dict_builder.h"
#include "explanation_dicts.h"
#include "report_dicts.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

PyObject* belief_instability_dict(const BeliefInstabilitySummary& s) {
  return DictBuilder()
      .add("total_beliefs", s.total_beliefs)
      .add("resolved", s.resolved)
      .add("unresolved", s.unresolved)
      .add("singleton", s.singleton)
      .add("empty", s.empty)
      .add("contradiction_cluster_count", s.contradiction_cluster_count)
      .add("high_volatility_count", s.high_volatility_count)
      .add("low_stability_count", s.low_stability_count)
      .add("avg_volatility", s.avg_volatility)
      .add("avg_stability", s.avg_stability)
      .add_with("volatility_bands",
                [&] {
                  return DictBuilder()
                      .add("low", s.volatility_bands.low)
                      .add("medium", s.volatility_bands.medium)
                      .add("high", s.volatility_bands.high)
                      .finish();
                })
      .finish();
}

PyObject* explain_record(Vesk& self, std::string record_id) {
  const std::optional<ExplainedRecallItem> item = self.explain_record(record_id);
  return item ? explained_item_dict(*item) : Py_NewRef(Py_None);
}
constexpr Method kExplainRecord{"Vesk", "explain_record($self, record_id)", explain_record};

PyObject* provenance_chain(Vesk& self, std::string record_id) {
  const std::optional<ProvenanceChain> chain = self.provenance_chain(record_id);
  return chain ? provenance_chain_dict(*chain) : Py_NewRef(Py_None);
}
constexpr Method kProvenanceChain{"Vesk", "provenance_chain($self, record_id)", provenance_chain};

PyObject* explainability_bundle(Vesk& self, std::string record_id) {
  const std::optional<ExplainabilityBundle> b = self.explainability_bundle(record_id);
  if (!b) return Py_NewRef(Py_None);
  return DictBuilder()
      .add("record_id", b->record_id)
      .add_with("explanation", [&] { return explained_item_dict(b->explanation); })
      .add_with("provenance", [&] { return provenance_chain_dict(b->provenance); })
      .add_with("record_corrections", [&] { return correction_log_list(b->record_corrections); })
      .add_with("belief_corrections", [&] { return correction_log_list(b->belief_corrections); })
      .add_with("causal_corrections", [&] { return correction_log_list(b->causal_corrections); })
      .add_with("policy_corrections", [&] { return correction_log_list(b->policy_corrections); })
      .add_with("reflection_digest", [&] { return reflection_digest_dict(b->reflection_digest); })
      .add_with("related_reflection_findings",
                [&] { return reflection_finding_list(b->related_reflection_findings); })
      .add_with("belief_instability", [&] { return belief_instability_dict(b->belief_instability); })
      .add_with("maintenance_trends", [&] { return maintenance_trend_summary_dict(b->maintenance_trends); })
      .finish();
}
constexpr Method kExplainabilityBundle{"Vesk", "explainability_bundle($self, record_id)", explainability_bundle};

}  // namespace

MethodRows record_explanation_methods() {
  return {bind<kExplainRecord>(), bind<kProvenanceChain>(), bind<kExplainabilityBundle>()};
}

}  // namespace vesk::py
