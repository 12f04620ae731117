// Text and structured recall, sessions and history, the recall hit counters
// and the recall modes.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/json_result.h"
#include "recall/recall_items.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The namespace filter is converted after every other argument; a missing
// argument is None.
bool convert_namespaces(PyObject* given, std::optional<std::vector<std::string>>& out) {
  NamespaceFilter filter;
  if (given && !FromPy<NamespaceFilter>::convert(given, filter)) return false;
  out = std::move(filter.names);
  return true;
}

// ---- Text recall -----------------------------------------------------------------

// The layout is checked before any work; the ranking and rendering run
// without the interpreter lock.
PyObject* recall(Vesk& self, std::string query, std::optional<uint64_t> token_budget,
                 std::optional<float> min_strength, std::optional<bool> expand_connections,
                 std::optional<std::string> session_id, PyObject* namespace_, std::optional<std::string> format) {
  std::optional<std::vector<std::string>> namespaces;
  if (!convert_namespaces(namespace_, namespaces)) return nullptr;
  Result<std::string> text = without_gil([&] {
    return self.recall_formatted(query, token_budget, min_strength, expand_connections, std::move(session_id),
                                 std::move(namespaces), format);
  });
  return to_py(text);
}
constexpr Method kRecall{"Vesk",
                         "recall($self, query, token_budget=None, min_strength=None, expand_connections=None, "
                         "session_id=None, namespace=None, format=None)",
                         recall};

// ---- Structured recall -------------------------------------------------------------

PyObject* recall_structured(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                            std::optional<float> min_strength, std::optional<bool> expand_connections,
                            std::optional<std::string> session_id, PyObject* namespace_) {
  std::optional<std::vector<std::string>> namespaces;
  if (!convert_namespaces(namespace_, namespaces)) return nullptr;
  std::optional<size_t> k;
  if (top_k) k = static_cast<size_t>(*top_k);
  // Each item carries the surfaced concepts listing its record while the
  // concept surface is on; the surface is computed once for the answer.
  JsonValue::Array items = without_gil([&] {
    const std::vector<ScoredRecord> results =
        self.recall_structured(query, k, min_strength, expand_connections, std::move(session_id),
                               std::move(namespaces));
    const std::vector<std::vector<SurfacedConcept>> concepts = self.surfaced_concepts_for_results(results);
    JsonValue::Array out = structured_recall_items(results);
    for (size_t i = 0; i < concepts.size(); ++i) append_concept_entries(out[i].as_object(), concepts[i]);
    return out;
  });
  return to_py(items);
}
constexpr Method kRecallStructured{"Vesk",
                                   "recall_structured($self, query, top_k=None, min_strength=None, "
                                   "expand_connections=None, session_id=None, namespace=None)",
                                   recall_structured};

// ---- Sessions and history --------------------------------------------------------------

Result<StringMap> history(Vesk& self, std::string record_id) { return self.history(record_id); }
constexpr Method kHistory{"Vesk",
                          "history($self, record_id)\n--\n\nReturn access/strength timeline snapshot for a single "
                          "record.",
                          history, Gil::Released};

JsonObject end_session(Vesk& self, std::string session_id) { return session_links_dict(self.end_session(session_id)); }
constexpr Method kEndSession{"Vesk", "end_session($self, session_id)", end_session, Gil::Released};

// ---- Hit counters ------------------------------------------------------------------------

JsonObject recall_hit_stats(Vesk& self) { return recall_hit_stats_dict(self.recall_hit_stats()); }
constexpr Method kRecallHitStats{"Vesk", "recall_hit_stats($self)", recall_hit_stats};

void reset_recall_hit_stats(Vesk& self) { self.reset_recall_hit_stats(); }
constexpr Method kResetRecallHitStats{"Vesk", "reset_recall_hit_stats($self)", reset_recall_hit_stats};

// ---- Settings ------------------------------------------------------------------------------

void enable_full_cognitive_stack(Vesk& self) { self.set_full_cognitive_stack(true); }
constexpr Method kEnableFullCognitiveStack{
    "Vesk",
    "enable_full_cognitive_stack($self)\n--\n\n"
    "Enable all four cognitive recall reranking signals (Python binding).\n\n"
    "Equivalent to calling `set_belief_rerank_mode(\"limited\")`,\n"
    "`set_concept_surface_mode(\"limited\")`, `set_causal_rerank_mode(\"limited\")`,\n"
    "and `set_policy_rerank_mode(\"limited\")` in one call.",
    enable_full_cognitive_stack};

void disable_full_cognitive_stack(Vesk& self) { self.set_full_cognitive_stack(false); }
constexpr Method kDisableFullCognitiveStack{
    "Vesk",
    "disable_full_cognitive_stack($self)\n--\n\n"
    "Disable all four cognitive recall reranking signals (Python binding).\n\n"
    "Resets every phase to Off. Counterpart to `enable_full_cognitive_stack()`.",
    disable_full_cognitive_stack};

Status set_belief_rerank_mode(Vesk& self, std::string mode) { return self.set_belief_rerank_mode(mode); }
constexpr Method kSetBeliefRerankMode{"Vesk",
                                      "set_belief_rerank_mode($self, mode)\n--\n\n"
                                      "Set belief-aware recall reranking mode (Python binding).\n"
                                      "mode: \"off\" | \"shadow\" | \"limited\"",
                                      set_belief_rerank_mode};

Status set_concept_surface_mode(Vesk& self, std::string mode) { return self.set_concept_surface_mode(mode); }
constexpr Method kSetConceptSurfaceMode{"Vesk",
                                        "set_concept_surface_mode($self, mode)\n--\n\n"
                                        "Set concept surface mode (Python binding).\n"
                                        "mode: \"off\" | \"inspect\" | \"limited\"",
                                        set_concept_surface_mode};

Status set_causal_rerank_mode(Vesk& self, std::string mode) { return self.set_causal_rerank_mode(mode); }
// Signature only: the text on the causal rerank modes heads the docstring of
// set_causal_evidence_mode, as the method table has it.
constexpr Method kSetCausalRerankMode{"Vesk", "set_causal_rerank_mode($self, mode)", set_causal_rerank_mode};

Status set_policy_rerank_mode(Vesk& self, std::string mode) { return self.set_policy_rerank_mode(mode); }
constexpr Method kSetPolicyRerankMode{"Vesk",
                                      "set_policy_rerank_mode($self, mode)\n--\n\n"
                                      "Set policy hint recall reranking mode (Python binding).\n"
                                      "mode: \"off\" | \"limited\"",
                                      set_policy_rerank_mode};

Status set_context_dates(Vesk& self, std::string mode) { return self.set_context_dates(mode); }
constexpr Method kSetContextDates{
    "Vesk",
    "set_context_dates($self, mode)\n--\n\n"
    "Enable or disable the built-in phrase rules for claim certainty.\n"
    "Which provenance-context entries show their event date: \"off\",\n"
    "\"first_hand\" (default) or \"all\". \"all\" raised injection success when\n"
    "outside records were dated newer than the user's statements (E23, E24).",
    set_context_dates};

void set_identity_block_enabled(Vesk& self, bool enabled) { self.set_identity_block_enabled(enabled); }
constexpr Method kSetIdentityBlockEnabled{
    "Vesk",
    "set_identity_block_enabled($self, enabled)\n--\n\n"
    "Show (default) or hide the always-on block of first-hand identity facts.",
    set_identity_block_enabled};

}  // namespace

MethodRows text_recall_methods() {
  return {
      bind<kRecall>(),
      bind<kRecallStructured>(),
      bind<kHistory>(),
      bind<kEndSession>(),
      bind<kRecallHitStats>(),
      bind<kResetRecallHitStats>(),
      bind<kEnableFullCognitiveStack>(),
      bind<kDisableFullCognitiveStack>(),
      bind<kSetBeliefRerankMode>(),
      bind<kSetConceptSurfaceMode>(),
      bind<kSetCausalRerankMode>(),
      bind<kSetPolicyRerankMode>(),
      bind<kSetContextDates>(),
      bind<kSetIdentityBlockEnabled>(),
  };
}

}  // namespace vesk::py
