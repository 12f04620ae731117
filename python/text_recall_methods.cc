#include "text_recall_methods.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/py_ref.h"
#include "model/debug_text.h"
#include "model/level.h"
#include "recall/recall_settings.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

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
// without the interpreter lock. Every answer counts, cache hits included.
PyObject* recall(Vesk& self, std::string query, std::optional<uint64_t> token_budget,
                 std::optional<float> min_strength, std::optional<bool> expand_connections,
                 std::optional<std::string> session_id, PyObject* namespace_, std::optional<std::string> format) {
  std::optional<std::vector<std::string>> namespaces;
  if (!convert_namespaces(namespace_, namespaces)) return nullptr;
  const bool levels = format && *format == "levels";
  if (format && !levels && *format != "provenance") {
    return raise(Status::Value("unknown recall format " + quote_debug(*format) + "; expected levels or provenance"));
  }
  std::string text = without_gil([&] {
    std::string answer = levels ? self.recall_levels(query, token_budget, min_strength, expand_connections,
                                                     std::move(session_id), std::move(namespaces))
                                : self.recall(query, token_budget, min_strength, expand_connections,
                                              std::move(session_id), std::move(namespaces));
    self.recall_hits.count_recall(answer.empty());
    return answer;
  });
  return to_py(text);
}
constexpr Method kRecall{"Vesk",
                         "recall($self, query, token_budget=None, min_strength=None, expand_connections=None, "
                         "session_id=None, namespace=None, format=None)",
                         recall};

// ---- Structured recall -------------------------------------------------------------

// Sets d[key] = value, stealing the value.
bool put(PyObject* d, const char* key, PyObject* value) {
  PyRef owned = PyRef::steal(value);
  return owned && PyDict_SetItemString(d, key, owned.get()) == 0;
}

PyObject* optional_time(const std::optional<double>& t) { return t ? PyFloat_FromDouble(*t) : Py_NewRef(Py_None); }

// The structured recall item: the record's fields in a fixed key order, then
// the "trust" and "source" metadata texts when present.
PyObject* structured_item(const ScoredRecord& result) {
  const Record& r = result.record;
  PyRef d = PyRef::steal(PyDict_New());
  if (!d) return nullptr;
  PyObject* o = d.get();
  if (!put(o, "id", to_py(r.id)) || !put(o, "content", to_py(r.content)) || !put(o, "score", to_py(result.score)) ||
      !put(o, "level", to_py(level_display_name(r.level))) || !put(o, "strength", to_py(r.strength)) ||
      !put(o, "salience", to_py(r.salience)) || !put(o, "tags", to_py(r.tags)) ||
      !put(o, "source_type", to_py(r.source_type)) || !put(o, "created_at", to_py(r.created_at)) ||
      !put(o, "valid_from", optional_time(r.valid_from)) || !put(o, "valid_until", optional_time(r.valid_until)) ||
      !put(o, "superseded_at", optional_time(r.superseded_at))) {
    return nullptr;
  }
  if (!r.metadata.empty()) {
    if (auto it = r.metadata.find("trust_score"); it != r.metadata.end() && !put(o, "trust", to_py(it->second)))
      return nullptr;
    if (auto it = r.metadata.find("source"); it != r.metadata.end() && !put(o, "source", to_py(it->second)))
      return nullptr;
  }
  return d.release();
}

PyObject* recall_structured(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                            std::optional<float> min_strength, std::optional<bool> expand_connections,
                            std::optional<std::string> session_id, PyObject* namespace_) {
  std::optional<std::vector<std::string>> namespaces;
  if (!convert_namespaces(namespace_, namespaces)) return nullptr;
  std::optional<size_t> k;
  if (top_k) k = static_cast<size_t>(*top_k);
  std::vector<ScoredRecord> results = without_gil([&] {
    return self.recall_structured(query, k, min_strength, expand_connections, std::move(session_id),
                                  std::move(namespaces));
  });
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(results.size())));
  if (!list) return nullptr;
  for (size_t i = 0; i < results.size(); ++i) {
    PyObject* item = structured_item(results[i]);
    if (!item) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
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

StringKeyMap<uint64_t> end_session(Vesk& self, std::string session_id) {
  StringKeyMap<uint64_t> out;
  if (std::optional<SessionLinks> links = self.end_session(session_id)) {
    out["pairs_strengthened"] = links->pairs_strengthened;
    out["session_records"] = links->session_records;
  }
  return out;
}
constexpr Method kEndSession{"Vesk", "end_session($self, session_id)", end_session, Gil::Released};

// ---- Hit counters ------------------------------------------------------------------------

StringKeyMap<uint64_t> recall_hit_stats(Vesk& self) {
  const RecallHitCounters& c = self.recall_hits;
  StringKeyMap<uint64_t> out;
  out["recall_total"] = c.recall_total.load(kRelaxed);
  out["recall_empty"] = c.recall_empty.load(kRelaxed);
  out["search_total"] = c.search_total.load(kRelaxed);
  out["search_empty"] = c.search_empty.load(kRelaxed);
  return out;
}
constexpr Method kRecallHitStats{"Vesk", "recall_hit_stats($self)", recall_hit_stats};

void reset_recall_hit_stats(Vesk& self) { self.recall_hits.reset(); }
constexpr Method kResetRecallHitStats{"Vesk", "reset_recall_hit_stats($self)", reset_recall_hit_stats};

// ---- Settings ------------------------------------------------------------------------------

void enable_full_cognitive_stack(Vesk& self) { set_full_cognitive_stack(self, true); }
constexpr Method kEnableFullCognitiveStack{
    "Vesk",
    "enable_full_cognitive_stack($self)\n--\n\n"
    "Enable all four cognitive recall reranking signals (Python binding).\n\n"
    "Equivalent to calling `set_belief_rerank_mode(\"limited\")`,\n"
    "`set_concept_surface_mode(\"limited\")`, `set_causal_rerank_mode(\"limited\")`,\n"
    "and `set_policy_rerank_mode(\"limited\")` in one call.",
    enable_full_cognitive_stack};

void disable_full_cognitive_stack(Vesk& self) { set_full_cognitive_stack(self, false); }
constexpr Method kDisableFullCognitiveStack{
    "Vesk",
    "disable_full_cognitive_stack($self)\n--\n\n"
    "Disable all four cognitive recall reranking signals (Python binding).\n\n"
    "Resets every phase to Off. Counterpart to `enable_full_cognitive_stack()`.",
    disable_full_cognitive_stack};

// Stores a parsed mode in its byte; a refused text changes nothing.
template <class Mode>
Status store_mode(std::atomic<Mode>& slot, Result<Mode> parsed) {
  if (!parsed.ok()) return parsed.status();
  slot.store(*parsed, kRelaxed);
  return Status::Ok();
}

Status set_belief_rerank_mode(Vesk& self, std::string mode) {
  return store_mode(self.flags.belief_rerank, parse_belief_rerank_mode(mode));
}
constexpr Method kSetBeliefRerankMode{"Vesk",
                                      "set_belief_rerank_mode($self, mode)\n--\n\n"
                                      "Set belief-aware recall reranking mode (Python binding).\n"
                                      "mode: \"off\" | \"shadow\" | \"limited\"",
                                      set_belief_rerank_mode};

Status set_concept_surface_mode(Vesk& self, std::string mode) {
  return store_mode(self.flags.concept_surface, parse_concept_surface_mode(mode));
}
constexpr Method kSetConceptSurfaceMode{"Vesk",
                                        "set_concept_surface_mode($self, mode)\n--\n\n"
                                        "Set concept surface mode (Python binding).\n"
                                        "mode: \"off\" | \"inspect\" | \"limited\"",
                                        set_concept_surface_mode};

Status set_causal_rerank_mode(Vesk& self, std::string mode) {
  return store_mode(self.flags.causal_rerank, parse_causal_rerank_mode(mode));
}
constexpr Method kSetCausalRerankMode{"Vesk",
                                      "set_causal_rerank_mode($self, mode)\n--\n\n"
                                      "Set causal pattern recall reranking mode (Python binding).\n"
                                      "mode: \"off\" | \"limited\"",
                                      set_causal_rerank_mode};

Status set_policy_rerank_mode(Vesk& self, std::string mode) {
  return store_mode(self.flags.policy_rerank, parse_policy_rerank_mode(mode));
}
constexpr Method kSetPolicyRerankMode{"Vesk",
                                      "set_policy_rerank_mode($self, mode)\n--\n\n"
                                      "Set policy hint recall reranking mode (Python binding).\n"
                                      "mode: \"off\" | \"limited\"",
                                      set_policy_rerank_mode};

// The date mode and the identity flag change what a text recall renders, so
// both recall caches are emptied once the new value is in place.
Status set_context_dates(Vesk& self, std::string mode) {
  VESK_RETURN_IF_ERROR(store_mode(self.flags.context_dates, parse_context_date_mode(mode)));
  self.clear_recall_caches();
  return Status::Ok();
}
constexpr Method kSetContextDates{
    "Vesk",
    "set_context_dates($self, mode)\n--\n\n"
    "Which provenance-context entries show their event date: \"off\",\n"
    "\"first_hand\" (default) or \"all\". \"all\" raised injection success when\n"
    "outside records were dated newer than the user's statements (E23, E24).",
    set_context_dates};

void set_identity_block_enabled(Vesk& self, bool enabled) {
  self.flags.identity_block.store(enabled, kRelaxed);
  self.clear_recall_caches();
}
constexpr Method kSetIdentityBlockEnabled{
    "Vesk",
    "set_identity_block_enabled($self, enabled)\n--\n\n"
    "Show (default) or hide the always-on block of first-hand identity facts.",
    set_identity_block_enabled};

}  // namespace

PyMethodDef recall_method() { return bind<kRecall>(); }
PyMethodDef recall_structured_method() { return bind<kRecallStructured>(); }
PyMethodDef history_method() { return bind<kHistory>(); }
PyMethodDef end_session_method() { return bind<kEndSession>(); }
PyMethodDef recall_hit_stats_method() { return bind<kRecallHitStats>(); }
PyMethodDef reset_recall_hit_stats_method() { return bind<kResetRecallHitStats>(); }
PyMethodDef enable_full_cognitive_stack_method() { return bind<kEnableFullCognitiveStack>(); }
PyMethodDef disable_full_cognitive_stack_method() { return bind<kDisableFullCognitiveStack>(); }
PyMethodDef set_belief_rerank_mode_method() { return bind<kSetBeliefRerankMode>(); }
PyMethodDef set_concept_surface_mode_method() { return bind<kSetConceptSurfaceMode>(); }
PyMethodDef set_causal_rerank_mode_method() { return bind<kSetCausalRerankMode>(); }
PyMethodDef set_policy_rerank_mode_method() { return bind<kSetPolicyRerankMode>(); }
PyMethodDef set_context_dates_method() { return bind<kSetContextDates>(); }
PyMethodDef set_identity_block_enabled_method() { return bind<kSetIdentityBlockEnabled>(); }

}  // namespace vesk::py
