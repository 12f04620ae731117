// The scoped context recalls: a query over the records of an entity, of an
// entity and its neighbours, of the family graph, of one person, of one
// record and its relations or of one project. Each runs without the interpreter lock (the
// embedding function takes it back for its own call) and answers a list of
// scoped context items.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "binding/json_result.h"
#include "recall/recall_items.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// Defaults of every scoped recall: 10 results, min_strength 0.1, connections
// expanded.
RecallRequest scoped_request(const std::string& query, std::optional<uint64_t> top_k,
                             std::optional<float> min_strength, std::optional<bool> expand_connections,
                             std::optional<std::string> session_id) {
  return RecallRequest{.query = query,
                       .top_k = static_cast<size_t>(top_k.value_or(10)),
                       .expand_connections = expand_connections.value_or(true),
                       .min_strength = min_strength.value_or(0.1f),
                       .session_id = std::move(session_id)};
}

std::optional<size_t> count(std::optional<uint64_t> limit) {
  return limit ? std::optional<size_t>(static_cast<size_t>(*limit)) : std::nullopt;
}

Result<JsonValue::Array> items_of(Result<std::vector<ScoredRecord>> results) {
  if (!results.ok()) return results.status();
  JsonValue::Array items;
  items.reserve(results->size());
  for (const ScoredRecord& r : *results) items.emplace_back(scoped_context_item(r));
  return items;
}

Result<JsonValue::Array> recall_entity_context(Vesk& self, std::string entity_id, std::string query,
                                               std::optional<uint64_t> top_k, std::optional<float> min_strength,
                                               std::optional<bool> expand_connections,
                                               std::optional<std::string> session_id) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  return items_of(self.recall_entity_context(entity_id, request));
}
constexpr Method kRecallEntityContext{"Vesk",
                                      "recall_entity_context($self, entity_id, query, top_k=None, min_strength=None, "
                                      "expand_connections=None, session_id=None)",
                                      recall_entity_context, Gil::Released};

Result<JsonValue::Array> recall_entity_context_for_record(Vesk& self, std::string record_id, std::string query,
                                                          std::optional<uint64_t> top_k,
                                                          std::optional<float> min_strength,
                                                          std::optional<bool> expand_connections,
                                                          std::optional<std::string> session_id) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  return items_of(self.recall_entity_context_for_record(record_id, request));
}
constexpr Method kRecallEntityContextForRecord{
    "Vesk",
    "recall_entity_context_for_record($self, record_id, query, top_k=None, min_strength=None, "
    "expand_connections=None, session_id=None)",
    recall_entity_context_for_record, Gil::Released};

Result<JsonValue::Array> recall_entity_graph_context(Vesk& self, std::string entity_id, std::string query,
                                                     std::optional<uint64_t> top_k, std::optional<float> min_strength,
                                                     std::optional<bool> expand_connections,
                                                     std::optional<std::string> session_id,
                                                     std::optional<uint64_t> limit) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  return items_of(self.recall_entity_graph_context(entity_id, request, count(limit)));
}
constexpr Method kRecallEntityGraphContext{
    "Vesk",
    "recall_entity_graph_context($self, entity_id, query, top_k=None, min_strength=None, "
    "expand_connections=None, session_id=None, limit=None)",
    recall_entity_graph_context, Gil::Released};

Result<JsonValue::Array> recall_family_context(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                                               std::optional<float> min_strength,
                                               std::optional<bool> expand_connections,
                                               std::optional<std::string> session_id,
                                               std::optional<std::string> namespace_) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  std::optional<std::string_view> ns;
  if (namespace_) ns = *namespace_;
  return items_of(self.recall_family_context(request, ns));
}
constexpr Method kRecallFamilyContext{"Vesk",
                                      "recall_family_context($self, query, top_k=None, min_strength=None, "
                                      "expand_connections=None, session_id=None, namespace=None)",
                                      recall_family_context, Gil::Released};

Result<JsonValue::Array> recall_person_context(Vesk& self, std::string record_id, std::string query,
                                               std::optional<uint64_t> top_k, std::optional<float> min_strength,
                                               std::optional<bool> expand_connections,
                                               std::optional<std::string> session_id) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  return items_of(self.recall_person_context(record_id, request));
}
constexpr Method kRecallPersonContext{"Vesk",
                                      "recall_person_context($self, record_id, query, top_k=None, min_strength=None, "
                                      "expand_connections=None, session_id=None)",
                                      recall_person_context, Gil::Released};

Result<JsonValue::Array> recall_relation_context(Vesk& self, std::string record_id, std::string query,
                                                 std::optional<uint64_t> top_k, std::optional<float> min_strength,
                                                 std::optional<bool> expand_connections,
                                                 std::optional<std::string> session_id,
                                                 std::optional<uint64_t> limit) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  return items_of(self.recall_relation_context(record_id, request, count(limit)));
}
constexpr Method kRecallRelationContext{"Vesk",
                                        "recall_relation_context($self, record_id, query, top_k=None, "
                                        "min_strength=None, expand_connections=None, session_id=None, limit=None)",
                                        recall_relation_context, Gil::Released};

Result<JsonValue::Array> recall_project_context(Vesk& self, std::string project_id, std::string query,
                                                std::optional<uint64_t> top_k, std::optional<float> min_strength,
                                                std::optional<bool> expand_connections,
                                                std::optional<std::string> session_id) {
  const RecallRequest request = scoped_request(query, top_k, min_strength, expand_connections, std::move(session_id));
  return items_of(self.recall_project_context(project_id, request));
}
constexpr Method kRecallProjectContext{"Vesk",
                                       "recall_project_context($self, project_id, query, top_k=None, "
                                       "min_strength=None, expand_connections=None, session_id=None)",
                                       recall_project_context, Gil::Released};

}  // namespace

MethodRows scoped_recall_methods() {
  return {bind<kRecallEntityContext>(),  bind<kRecallEntityContextForRecord>(), bind<kRecallEntityGraphContext>(),
          bind<kRecallFamilyContext>(),  bind<kRecallPersonContext>(),          bind<kRecallRelationContext>(),
          bind<kRecallProjectContext>()};
}

}  // namespace vesk::py
