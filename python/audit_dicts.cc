#include "audit_dicts.h"

#include <array>
#include <span>
#include <string_view>

#include "audit/consequence_readout.h"
#include "binding/dict_builder.h"
#include "model/level.h"

namespace vesk::py {
namespace {

constexpr std::array<std::string_view, 3> kPolarities = {"supports", "refutes", "inconclusive"};

PyObject* conflict_dict(const ApplicabilityConflict& c) {
  return DictBuilder().add("field", c.field).add("values", c.values).finish();
}

PyObject* mismatch_dict(const ApplicabilityMismatch& m) {
  return DictBuilder().add("field", m.field).add("expected", m.expected).add("actual", m.actual).finish();
}

}  // namespace

PyObject* consequence_unit_dict(const ConsequenceUnit& u) {
  return DictBuilder()
      .add("record_id", u.record_id)
      .add("situation", u.situation)
      .add("action", u.action)
      .add("consequence", u.consequence)
      .add("trust", u.trust)
      .add("scope", u.scope)
      .add("provenance", u.provenance)
      .add("links", u.links)
      .add("namespace", u.namespace_)
      .add("captured_at", u.captured_at)
      .add("polarity", enum_text(kPolarities, classify_consequence_outcome(u)))
      .add("readout", consequence_unit_readout(u))
      .finish();
}

PyObject* applicability_decision_dict(const ApplicabilityDecision& d) {
  return DictBuilder()
      .add("record_id", d.record_id)
      .add("decision", d.decision)
      .add("requirements_total", d.requirements_total)
      .add("matched_fields", d.matched_fields)
      .add("missing_fields", d.missing_fields)
      .add("invalid_requirement_fields", d.invalid_requirement_fields)
      .add("reasons", d.reasons)
      .add_with("conflicting_fields", [&] { return dict_list(std::span(d.conflicting_fields), conflict_dict); })
      .add_with("mismatches", [&] { return dict_list(std::span(d.mismatches), mismatch_dict); })
      .finish();
}

PyObject* applicability_item_dict(const ApplicabilityEntry& e) {
  const Record& r = e.record;
  return DictBuilder()
      .add("id", r.id)
      .add("content", r.content)
      .add("score", e.score)
      .add("level", level_display_name(r.level))
      .add("strength", r.strength)
      .add("salience", r.salience)
      .add("tags", r.tags)
      .add("source_type", r.source_type)
      .add("namespace", r.namespace_)
      .add("semantic_type", r.semantic_type)
      .add("metadata", r.metadata)
      .add_with("applicability", [&] { return applicability_decision_dict(e.decision); })
      .finish();
}

}  // namespace vesk::py
