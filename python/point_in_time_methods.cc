// Point-in-time recall: recall_at (transaction time, with bookkeeping) and
// recall_as_of (business time, read-only). The ranking and the bookkeeping
// run without the interpreter lock; the result list is built with it.
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

// Defaults of both: 20 results, min_strength 0.1, connections expanded.
RecallRequest point_in_time_request(const std::string& query, std::optional<uint64_t> top_k,
                                    std::optional<float> min_strength, std::optional<bool> expand_connections) {
  return RecallRequest{.query = query,
                       .top_k = static_cast<size_t>(top_k.value_or(20)),
                       .expand_connections = expand_connections.value_or(true),
                       .min_strength = min_strength.value_or(0.1f)};
}

// `concepts` holds one list per result (recall_at's concept annotation), or
// nothing.
PyObject* items_of(const Result<std::vector<ScoredRecord>>& results, bool with_trust,
                   const std::vector<std::vector<SurfacedConcept>>& concepts = {}) {
  if (!results.ok()) return raise(results.status());
  JsonValue::Array items;
  items.reserve(results->size());
  for (const ScoredRecord& r : *results) items.emplace_back(point_in_time_recall_item(r, with_trust));
  for (size_t i = 0; i < concepts.size() && i < items.size(); ++i)
    append_concept_entries(items[i].as_object(), concepts[i]);
  return to_py(items);
}

PyObject* recall_at(Vesk& self, std::string query, double timestamp, std::optional<uint64_t> top_k,
                    std::optional<float> min_strength, std::optional<bool> expand_connections,
                    std::optional<std::string> session_id, PyObject* namespace_) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  RecallRequest request = point_in_time_request(query, top_k, min_strength, expand_connections);
  request.session_id = std::move(session_id);
  request.namespaces = std::move(filter.names);
  std::vector<std::vector<SurfacedConcept>> concepts;
  Result<std::vector<ScoredRecord>> results = without_gil([&] {
    Result<std::vector<ScoredRecord>> r = self.recall_at(request, timestamp);
    if (r.ok()) concepts = self.surfaced_concepts_for_results(*r);
    return r;
  });
  return items_of(results, true, concepts);
}
constexpr Method kRecallAt{"Vesk",
                           "recall_at($self, query, timestamp, top_k=None, min_strength=None, "
                           "expand_connections=None, session_id=None, namespace=None)\n--\n\n"
                           "Temporal recall: only consider records created at or before `timestamp` (Unix seconds).",
                           recall_at};

PyObject* recall_as_of(Vesk& self, std::string query, double timestamp, std::optional<uint64_t> top_k,
                       std::optional<float> min_strength, std::optional<bool> expand_connections,
                       PyObject* namespace_) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  RecallRequest request = point_in_time_request(query, top_k, min_strength, expand_connections);
  request.namespaces = std::move(filter.names);
  Result<std::vector<ScoredRecord>> results = without_gil([&] { return self.recall_as_of(request, timestamp); });
  return items_of(results, false);
}
constexpr Method kRecallAsOf{"Vesk",
                             "recall_as_of($self, query, timestamp, top_k=None, min_strength=None, "
                             "expand_connections=None, namespace=None)\n--\n\n"
                             "Business-time recall using all information currently known to Vesk.",
                             recall_as_of};

}  // namespace

MethodRows point_in_time_methods() { return {bind<kRecallAt>(), bind<kRecallAsOf>()}; }

}  // namespace vesk::py
