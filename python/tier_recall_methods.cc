// Tier recall and the memory intent suggestion.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding/json_result.h"
#include "recall/memory_intent.h"
#include "record_class.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The namespace filter is converted after the other arguments; the listing
// or the query road runs without the interpreter lock.
PyObject* recall_tier(Vesk& self, MemoryTier tier, std::optional<std::string> query, std::optional<uint64_t> limit,
                      PyObject* namespace_) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  std::optional<std::string_view> q;
  if (query) q = *query;
  const size_t n = limit ? static_cast<size_t>(*limit) : 20;
  std::vector<Record> records = without_gil([&] { return self.recall_tier(tier, q, n, std::move(filter.names)); });
  return to_py(records);
}

PyObject* recall_cognitive(Vesk& self, std::optional<std::string> query, std::optional<uint64_t> limit,
                           PyObject* namespace_) {
  return recall_tier(self, MemoryTier::Cognitive, std::move(query), limit, namespace_);
}
constexpr Method kRecallCognitive{"Vesk", "recall_cognitive($self, query=None, limit=None, namespace=None)",
                                  recall_cognitive};

PyObject* recall_core_tier(Vesk& self, std::optional<std::string> query, std::optional<uint64_t> limit,
                           PyObject* namespace_) {
  return recall_tier(self, MemoryTier::Core, std::move(query), limit, namespace_);
}
constexpr Method kRecallCoreTier{"Vesk", "recall_core_tier($self, query=None, limit=None, namespace=None)",
                                 recall_core_tier};

// Reads nothing of the store: a keyword heuristic over the text.
JsonObject suggest_memory_intent(Vesk&, std::string query) {
  const MemoryIntent intent = vesk::suggest_memory_intent(query);
  JsonValue::Array routes;
  for (std::string_view route : intent.suggested_routes) routes.emplace_back(route);
  JsonObject out;
  out.append("needs_memory", intent.needs_memory);
  out.append("suggested_routes", std::move(routes));
  out.append("reason", intent.reason);
  return out;
}
constexpr Method kSuggestMemoryIntent{"Vesk", "suggest_memory_intent($self, query)", suggest_memory_intent};

}  // namespace

MethodRows tier_recall_methods() {
  return {bind<kSuggestMemoryIntent>(), bind<kRecallCognitive>(), bind<kRecallCoreTier>()};
}

}  // namespace vesk::py
