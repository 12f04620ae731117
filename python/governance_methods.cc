// The correction review queue, the suggested corrections (as a list and as a
// report with the scan's latency) and the namespace governance status. All
// keep the interpreter lock: each is one consistent answer for the caller,
// and the lists are short (at most 50 items, one status per namespace).
//
// Review item keys: timestamp time_iso target_kind target_id operation
// reason session_id namespace title repeat_count dependent_causal_patterns
// dependent_policy_hints downstream_impact priority_score severity.
// Governance status keys: namespace record_count belief_count
// correction_count correction_density high_volatility_belief_count
// low_stability_belief_count instability_score instability_level
// policy_pressure_area_count suggested_correction_count
// last_maintenance_cycle latest_dominant_phase.
#include <cstdint>
#include <optional>
#include <vector>

#include "binding/dict_builder.h"
#include "explanation_dicts.h"
#include "vesk_object.h"

namespace vesk::py {

template <>
struct ToPy<CorrectionReviewItem> {
  static PyObject* convert(const CorrectionReviewItem& i) {
    return DictBuilder()
        .add("timestamp", i.timestamp)
        .add("time_iso", i.time_iso)
        .add("target_kind", i.target_kind)
        .add("target_id", i.target_id)
        .add("operation", i.operation)
        .add("reason", i.reason)
        .add("session_id", i.session_id)
        .add("namespace", i.namespace_)
        .add("title", i.title)
        .add("repeat_count", i.repeat_count)
        .add("dependent_causal_patterns", i.dependent_causal_patterns)
        .add("dependent_policy_hints", i.dependent_policy_hints)
        .add("downstream_impact", i.downstream_impact)
        .add("priority_score", i.priority_score)
        .add("severity", i.severity)
        .finish();
  }
};

template <>
struct ToPy<NamespaceGovernanceStatus> {
  static PyObject* convert(const NamespaceGovernanceStatus& s) {
    return DictBuilder()
        .add("namespace", s.namespace_)
        .add("record_count", s.record_count)
        .add("belief_count", s.belief_count)
        .add("correction_count", s.correction_count)
        .add("correction_density", s.correction_density)
        .add("high_volatility_belief_count", s.high_volatility_belief_count)
        .add("low_stability_belief_count", s.low_stability_belief_count)
        .add("instability_score", s.instability_score)
        .add("instability_level", s.instability_level)
        .add("policy_pressure_area_count", s.policy_pressure_area_count)
        .add("suggested_correction_count", s.suggested_correction_count)
        .add("last_maintenance_cycle", s.last_maintenance_cycle)
        .add("latest_dominant_phase", s.latest_dominant_phase)
        .finish();
  }
};

namespace {

std::vector<CorrectionReviewItem> get_correction_review_queue(Vesk& self, std::optional<uint64_t> limit) {
  return self.get_correction_review_queue(limit);
}
constexpr Method kGetCorrectionReviewQueue{"Vesk", "get_correction_review_queue($self, limit=None)",
                                           get_correction_review_queue};

PyObject* get_suggested_corrections(Vesk& self, std::optional<uint64_t> limit) {
  return correction_suggestion_list(self.get_suggested_corrections(limit).suggestions);
}
constexpr Method kGetSuggestedCorrections{"Vesk", "get_suggested_corrections($self, limit=None)",
                                          get_suggested_corrections};

PyObject* get_suggested_corrections_report(Vesk& self, std::optional<uint64_t> limit) {
  const SuggestedCorrectionsReport report = self.get_suggested_corrections(limit);
  return DictBuilder()
      .add("scan_latency_ms", report.scan_latency_ms)
      .add_with("entries", [&] { return correction_suggestion_list(report.suggestions); })
      .finish();
}
constexpr Method kGetSuggestedCorrectionsReport{"Vesk", "get_suggested_corrections_report($self, limit=None)",
                                                get_suggested_corrections_report};

PyObject* get_namespace_governance_status(Vesk& self, PyObject* namespace_) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  return to_py(self.get_namespace_governance_status(filter.names));
}
constexpr Method kGetNamespaceGovernanceStatus{"Vesk", "get_namespace_governance_status($self, namespace=None)",
                                               get_namespace_governance_status};

}  // namespace

MethodRows governance_methods() {
  return {bind<kGetCorrectionReviewQueue>(), bind<kGetSuggestedCorrections>(), bind<kGetSuggestedCorrectionsReport>(),
          bind<kGetNamespaceGovernanceStatus>()};
}

}  // namespace vesk::py
