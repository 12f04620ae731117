// The audit graph and the audit entity writers. Names of kinds, statuses and
// relations are parsed with the interpreter lock held (a refused name is a
// ValueError and nothing is read); the operation runs without it; its answer
// crosses back as JSON read by the host's json.loads (binding/json_bridge.h).
#include <optional>
#include <string>

#include "audit/audit_vocabulary.h"
#include "binding/json_bridge.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The answer of an operation, or its failure as a RuntimeError.
template <class T>
PyObject* answer(const Result<T>& result) {
  if (!result.ok()) return raise(result.status().as(ErrorKind::Runtime));
  return to_python_via_json(*result);
}

PyObject* audit_graph(Vesk& self, std::optional<std::string> namespace_, std::optional<double> valid_at) {
  return answer(without_gil([&] { return self.audit_graph(namespace_, valid_at); }));
}
constexpr Method kAuditGraph{"Vesk", "audit_graph($self, namespace=None, valid_at=None)", audit_graph};

PyObject* annotate_audit_entity(Vesk& self, std::string record_or_entity_id, std::string kind, std::string status,
                                std::optional<std::string> canonical_id) {
  auto parsed_kind = parse_audit_entity_kind(kind);
  if (!parsed_kind.ok()) return raise(parsed_kind.status());
  auto parsed_status = parse_audit_entity_status(status);
  if (!parsed_status.ok()) return raise(parsed_status.status());
  return answer(without_gil(
      [&] { return self.annotate_audit_entity(record_or_entity_id, *parsed_kind, *parsed_status, canonical_id); }));
}
constexpr Method kAnnotateAuditEntity{
    "Vesk", "annotate_audit_entity($self, record_or_entity_id, kind, status, canonical_id=None)",
    annotate_audit_entity};

PyObject* set_audit_entity_status(Vesk& self, std::string record_or_entity_id, std::string status,
                                  std::optional<double> valid_from, std::optional<double> valid_until) {
  auto parsed = parse_audit_entity_status(status);
  if (!parsed.ok()) return raise(parsed.status());
  return answer(without_gil(
      [&] { return self.set_audit_entity_status(record_or_entity_id, *parsed, valid_from, valid_until); }));
}
constexpr Method kSetAuditEntityStatus{
    "Vesk", "set_audit_entity_status($self, record_or_entity_id, status, valid_from=None, valid_until=None)",
    set_audit_entity_status};

PyObject* link_audit_entities(Vesk& self, std::string from_record_or_entity_id, std::string to_record_or_entity_id,
                              std::string relation, std::optional<double> valid_from,
                              std::optional<double> valid_until) {
  auto parsed = parse_audit_relation_kind(relation);
  if (!parsed.ok()) return raise(parsed.status());
  return answer(without_gil([&] {
    return self.link_audit_entities(from_record_or_entity_id, to_record_or_entity_id, *parsed, valid_from,
                                    valid_until);
  }));
}
constexpr Method kLinkAuditEntities{"Vesk",
                                    "link_audit_entities($self, from_record_or_entity_id, to_record_or_entity_id, "
                                    "relation, valid_from=None, valid_until=None)",
                                    link_audit_entities};

PyObject* trace_claim_evidence(Vesk& self, std::string claim_id) {
  return answer(without_gil([&] { return self.trace_claim_evidence(claim_id); }));
}
constexpr Method kTraceClaimEvidence{"Vesk", "trace_claim_evidence($self, claim_id)", trace_claim_evidence};

PyObject* find_claim_conflicts(Vesk& self, std::string claim_id) {
  return answer(without_gil([&] { return self.find_claim_conflicts(claim_id); }));
}
constexpr Method kFindClaimConflicts{"Vesk", "find_claim_conflicts($self, claim_id)", find_claim_conflicts};

PyObject* explain_decision(Vesk& self, std::string decision_id) {
  return answer(without_gil([&] { return self.explain_decision(decision_id); }));
}
constexpr Method kExplainDecision{"Vesk", "explain_decision($self, decision_id)", explain_decision};

}  // namespace

MethodRows audit_graph_methods() {
  return {
      bind<kAnnotateAuditEntity>(),
      bind<kSetAuditEntityStatus>(),
      bind<kLinkAuditEntities>(),
      bind<kAuditGraph>(),
      bind<kTraceClaimEvidence>(),
      bind<kFindClaimConflicts>(),
      bind<kExplainDecision>(),
  };
}

}  // namespace vesk::py
