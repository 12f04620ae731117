// The structured recall family: full recall, and the two recalls built on
// recall_structured, provenance-ranked recall and recall with applicability.
// Each converts its arguments (the namespace last, its refusal unprefixed),
// runs its recall and its own annotation without the interpreter lock, then
// builds the items.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audit_dicts.h"
#include "recall/full_recall.h"
#include "binding/json_result.h"
#include "binding/py_ref.h"
#include "recall/acl_recall.h"
#include "recall/applicability_entry.h"
#include "recall/provenance_rank.h"
#include "vesk_object.h"

namespace vesk::py {

// The agent's current state as recall with applicability takes it: a dict of
// str to a list or tuple of str. A refusal is raised with the conversion's
// own message, not prefixed with the argument's name.
struct CurrentStateArgument {
  CurrentState state;
};

template <>
struct FromPy<CurrentStateArgument> {
  static constexpr bool kPrefixed = false;
  static bool convert(PyObject* o, CurrentStateArgument& out) { return FromPy<CurrentState>::convert(o, out.state); }
};

// The enforcement mode of access-controlled recall: a str when given (None
// is refused like any other non-str), "enforce" when left out.
struct EnforcementModeName {
  std::string text = "enforce";
};

template <>
struct FromPy<EnforcementModeName> {
  static bool convert(PyObject* o, EnforcementModeName& out) { return FromPy<std::string>::convert(o, out.text); }
};

namespace {

std::optional<size_t> count_of(std::optional<uint64_t> top_k) {
  if (!top_k) return std::nullopt;
  return static_cast<size_t>(*top_k);
}

// ---- Full recall ----------------------------------------------------------------------

PyObject* recall_full(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                      std::optional<bool> include_failures, std::optional<float> min_strength,
                      std::optional<bool> expand_connections, std::optional<std::string> session_id,
                      NamespaceFilter namespace_) {
  JsonValue::Array items = without_gil([&] {
    const std::vector<ScoredRecord> results =
        self.recall_full(query, count_of(top_k), include_failures, min_strength, expand_connections,
                         std::move(session_id), std::move(namespace_.names));
    JsonValue::Array out;
    out.reserve(results.size());
    for (const ScoredRecord& r : results) out.emplace_back(full_recall_item(r));
    return out;
  });
  return to_py(items);
}
constexpr Method kRecallFull{"Vesk",
                             "recall_full($self, query, top_k=None, include_failures=None, min_strength=None, "
                             "expand_connections=None, session_id=None, namespace=None)",
                             recall_full};

// ---- Provenance-ranked recall ---------------------------------------------------------

PyObject* recall_provenance_ranked(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                                   std::optional<float> min_strength, std::optional<bool> expand_connections,
                                   std::optional<std::string> session_id, NamespaceFilter namespace_) {
  JsonValue::Array items = without_gil([&] {
    std::vector<ProvenanceRankedEntry> ranked = rank_by_provenance(self.recall_structured(
        query, count_of(top_k), min_strength, expand_connections, std::move(session_id), std::move(namespace_.names)));
    JsonValue::Array out;
    out.reserve(ranked.size());
    for (const ProvenanceRankedEntry& e : ranked) out.emplace_back(provenance_ranked_item(e));
    return out;
  });
  return to_py(items);
}
constexpr Method kRecallProvenanceRanked{
    "Vesk",
    "recall_provenance_ranked($self, query, top_k=None, min_strength=None, expand_connections=None, "
    "session_id=None, namespace=None)\n--\n\n"
    "Recall re-ranked by born-from-collision provenance. Same shape as\n"
    "`recall_structured`, plus `base_score` (pre-provenance relevance),\n"
    "`effective_score` (after the provenance multiplier), and `provenance`\n"
    "(\"lived_consequence\" | \"external_source\" | \"model_generated\"). Results\n"
    "are ordered by `effective_score` desc.",
    recall_provenance_ranked};

// ---- Access-controlled structured recall ------------------------------------------------

// The mode is checked after the arguments before it and before the namespace.
PyObject* recall_structured_acl(Vesk& self, std::string query, EnforcementModeName enforcement_mode,
                                std::optional<std::string> subject_id, std::optional<std::vector<std::string>> roles,
                                std::optional<std::vector<std::string>> groups, std::optional<uint64_t> top_k,
                                std::optional<float> min_strength, std::optional<bool> expand_connections,
                                std::optional<std::string> session_id, PyObject* namespace_) {
  std::optional<AclEnforcement> mode = parse_acl_enforcement(enforcement_mode.text);
  if (!mode) {
    PyErr_SetString(PyExc_ValueError, std::string(kAclEnforcementError).c_str());
    return nullptr;
  }
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  AccessRequest subject;
  subject.subject_id = std::move(subject_id);
  if (roles) subject.roles.insert(roles->begin(), roles->end());
  if (groups) subject.groups.insert(groups->begin(), groups->end());
  JsonObject answer = without_gil([&] {
    return acl_recall_dict(self.recall_structured_acl(query, *mode, subject, count_of(top_k), min_strength,
                                                      expand_connections, std::move(session_id),
                                                      std::move(filter.names)));
  });
  return to_py(answer);
}
constexpr Method kRecallStructuredAcl{
    "Vesk",
    "recall_structured_acl($self, query, enforcement_mode=\"enforce\", subject_id=None, roles=None, groups=None, "
    "top_k=None, min_strength=None, expand_connections=None, session_id=None, namespace=None)",
    recall_structured_acl};

// ---- Recall with applicability -------------------------------------------------------------

PyObject* recall_with_applicability(Vesk& self, std::string query, CurrentStateArgument current_state,
                                    std::optional<uint64_t> top_k, std::optional<float> min_strength,
                                    std::optional<bool> expand_connections, std::optional<std::string> session_id,
                                    NamespaceFilter namespace_) {
  std::vector<ApplicabilityEntry> entries = without_gil([&] {
    return annotate_applicability(self.recall_structured(query, count_of(top_k), min_strength, expand_connections,
                                                         std::move(session_id), std::move(namespace_.names)),
                                  current_state.state);
  });
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(entries.size())));
  if (!list) return nullptr;
  for (size_t i = 0; i < entries.size(); ++i) {
    PyObject* item = applicability_item_dict(entries[i]);
    if (!item) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}
constexpr Method kRecallWithApplicability{
    "Vesk",
    "recall_with_applicability($self, query, current_state, top_k=None, min_strength=None, "
    "expand_connections=None, session_id=None, namespace=None)\n--\n\n"
    "Recall without changing ranking and annotate each result with\n"
    "applicability details.",
    recall_with_applicability};

}  // namespace

MethodRows structured_recall_methods() {
  return {
      bind<kRecallFull>(),
      bind<kRecallProvenanceRanked>(),
      bind<kRecallStructuredAcl>(),
      bind<kRecallWithApplicability>(),
  };
}

}  // namespace vesk::py
