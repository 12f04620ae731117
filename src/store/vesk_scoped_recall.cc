// The scoped context recalls: a query answered over the records around one
// entity, family, person or record instead of over the whole store.
//
// One procedure serves them all. The query is embedded first, with no lock
// held (the embedding function is Python code, called even when the scope
// lookup then fails). Under the record map's read lock the variant's lookup
// names the scope's record ids; the same hold then takes the n-gram, term,
// tag and id map locks (store/lock_order.h) and runs the pipeline over a
// lookup that admits only the scope's ids, so nothing but the results is
// copied. The pipeline is asked for exactly top_k results (never reserved
// by it: top_k is not capped) in the scope's one namespace, with the
// embedding ranking of every stored vector. The activation runs after every
// lock of the ranking is released.
//
// No recall core, recall caches, cognitive rerank, validity filter,
// co-recall weights or hit counters: a scoped recall answers over exactly
// the records the structure holds.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/trace.h"
#include "entities/entity_relations.h"
#include "entities/project_records.h"
#include "entities/relation_edges.h"
#include "recall/recall_pipeline.h"
#include "store/log_sdr_keeper.h"
#include "store/lexical_collectors.h"
#include "store/vesk.h"

namespace vesk {

Result<std::vector<ScoredRecord>> Vesk::recall_scoped(const RecallRequest& request, const RecallScopeLookup& lookup,
                                                     const std::function<Status()>& settle) {
  std::optional<std::vector<float>> query_vector;
  if (indexes_.embeddings && !indexes_.embeddings->empty()) {
    query_vector = embed_text(callbacks_.embedding_fn, request.query);
  }
  if (settle) {
    if (Status status = settle(); !status.ok()) return status;
  }

  const TrustConfig trust = config_.trust();
  std::vector<ScoredRecord> results;
  std::optional<std::vector<std::string>> namespaces;
  {
    auto records = records_.records.read();
    Result<RecallScopeSet> scope = lookup(records);
    if (!scope.ok()) return scope.status();
    namespaces = std::vector<std::string>{scope->namespace_};
    const RecordMap& map = *records;
    const StringSet& ids = scope->ids;
    const RecordLookup candidates = [&map, &ids](std::string_view id) -> const Record* {
      return ids.contains(id) ? map.find_value(id) : nullptr;
    };

    auto ngram = indexes_.ngram.read();
    auto terms = indexes_.terms.read();
    auto tags = indexes_.tags.read();
    auto id_map = records_.id_map.read();
    // Every stored vector, whatever its scope: the fusion drops the ids the
    // scope does not hold.
    std::optional<RankedList> embedding;
    if (query_vector && indexes_.embeddings) {
      embedding = embedding_scores(*indexes_.embeddings, query_vector, request.top_k);
    }

    LogSdrKeeper log_entries(*storage_);
    const SdrLookup log_sdrs = log_entries.lookup();
    const IdMapLookup id_lookup = [&id_map](std::string_view key) -> const std::string* { return id_map->find(key); };
    const LexicalCollectors collectors =
        lexical_collectors({indexes_, *ngram, *terms, *tags, log_sdrs, id_lookup}, candidates);
    const RecallPipelineInput in{.query = request.query,
                                 .top_k = request.top_k,
                                 .expand_connections = request.expand_connections,
                                 .min_strength = request.min_strength,
                                 .candidates = candidates,
                                 .embedding = embedding,
                                 .trust = trust,
                                 .namespaces = namespaces,
                                 .now = env_.now_seconds()};
    for (const ScoredRecordRef& r : recall_pipeline_refs(in, collectors)) {
      ScoredRecord& out = results.emplace_back(r.score, *r.record);
      out.pre_trust_score = r.pre_trust_score;
    }
  }

  std::optional<std::string_view> session;
  if (request.session_id) session = *request.session_id;
  record_scoped_recall_activity(recall_activity_targets(), results, request.query, session);
  return results;
}

namespace {

Status entity_not_found(std::string_view entity_id) {
  return Status::Runtime("Entity " + std::string(entity_id) + " not found");
}

}  // namespace

Result<std::vector<ScoredRecord>> Vesk::recall_entity_context(std::string_view entity_id,
                                                              const RecallRequest& request) {
  VESK_SPAN(span, "recall_entity_context", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("top_k", request.top_k));
  return recall_scoped(request, [&](const Guarded<RecordMap>::ReadHandle& records) -> Result<RecallScopeSet> {
    std::optional<EntityRecordView> group = entity_records_view(*records, records_.by_metadata(records), entity_id);
    if (!group) return entity_not_found(entity_id);
    RecallScopeSet scope{.ids = {}, .namespace_ = std::string(group->namespace_)};
    for (const Record* r : group->records) scope.ids.insert(r->id);
    return scope;
  });
}

Result<std::vector<ScoredRecord>> Vesk::recall_entity_context_for_record(std::string_view record_id,
                                                                         const RecallRequest& request) {
  std::optional<std::string> entity_id;
  {
    auto records = records_.records.read();
    if (const Record* r = records->find_value(record_id)) {
      if (std::optional<std::string_view> id = record_entity_id(*r)) entity_id = std::string(*id);
    }
  }
  if (!entity_id) return Status::Runtime("Record " + std::string(record_id) + " has no entity_id");
  // The entity is looked up afresh: it may have lost its records meanwhile.
  return recall_entity_context(*entity_id, request);
}

Result<std::vector<ScoredRecord>> Vesk::recall_entity_graph_context(std::string_view entity_id,
                                                                    const RecallRequest& request,
                                                                    std::optional<size_t> limit) {
  VESK_SPAN(span, "recall_entity_graph_context", "vesk::recall", trace::Level::Info,
            trace::field("query", request.query), trace::field("top_k", request.top_k));
  return recall_scoped(request, [&](const Guarded<RecordMap>::ReadHandle& records) -> Result<RecallScopeSet> {
    const MetadataValueIndex& index = records_.by_metadata(records);
    std::optional<EntityRecordView> group = entity_records_view(*records, index, entity_id);
    if (!group) return entity_not_found(entity_id);
    RecallScopeSet scope{.ids = {}, .namespace_ = std::string(group->namespace_)};
    for (const Record* r : group->records) scope.ids.insert(r->id);
    // Neighbours in another namespace join the set; the pipeline, limited
    // to the entity's namespace, drops them.
    for (const EntityRelationEdge& edge : entity_relations(*records, index, entity_id, limit)) {
      std::optional<EntityRecordView> neighbour = entity_records_view(*records, index, edge.target_entity_id);
      if (!neighbour) continue;
      for (const Record* r : neighbour->records) scope.ids.insert(r->id);
    }
    return scope;
  });
}

Result<std::vector<ScoredRecord>> Vesk::recall_family_context(const RecallRequest& request,
                                                              std::optional<std::string_view> namespace_) {
  VESK_SPAN(span, "recall_family_context", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("top_k", request.top_k));
  return recall_scoped(request, [&](const Guarded<RecordMap>::ReadHandle& records) -> Result<RecallScopeSet> {
    const StructuralRelationIndex& structural = records_.structural(records);
    const Record* anchor =
        namespace_ ? structural.user_profile(*records, *namespace_) : structural.first_user_profile(*records);
    if (!anchor) return Status::Runtime("Family graph not found");
    const FamilyGraphSnapshot graph = family_graph(*records, *anchor);
    RecallScopeSet scope{.ids = {graph.profile_record_id}, .namespace_ = graph.namespace_};
    for (const FamilyRelationMember& member : graph.members) scope.ids.insert(member.record_id);
    return scope;
  });
}

Result<std::vector<ScoredRecord>> Vesk::recall_person_context(std::string_view record_id,
                                                              const RecallRequest& request) {
  VESK_SPAN(span, "recall_person_context", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("top_k", request.top_k));
  return recall_scoped(request, [&](const Guarded<RecordMap>::ReadHandle& records) -> Result<RecallScopeSet> {
    std::optional<PersonDigest> digest;
    if (const Record* r = records->find_value(record_id)) {
      if (const Record* anchor = records_.structural(records).user_profile(*records, r->namespace_)) {
        digest = person_digest(family_graph(*records, *anchor), record_id);
      }
    }
    if (!digest) return Status::Runtime("Person digest not found for " + std::string(record_id));
    return RecallScopeSet{.ids = {digest->profile_record_id, digest->person_record_id},
                          .namespace_ = std::move(digest->namespace_)};
  });
}

Result<std::vector<ScoredRecord>> Vesk::recall_relation_context(std::string_view record_id,
                                                                const RecallRequest& request,
                                                                std::optional<size_t> limit) {
  VESK_SPAN(span, "recall_relation_context", "vesk::recall", trace::Level::Info,
            trace::field("query", request.query), trace::field("top_k", request.top_k));
  return recall_scoped(request, [&](const Guarded<RecordMap>::ReadHandle& records) -> Result<RecallScopeSet> {
    const Record* anchor = records->find_value(record_id);
    if (!anchor) return Status::Runtime("Relation digest not found for " + std::string(record_id));
    // Every typed relation counts, structural or not.
    RecallScopeSet scope{.ids = {anchor->id}, .namespace_ = anchor->namespace_};
    for (const RelationEdge& edge : vesk::collect_relation_edges(*records, record_id, limit, false)) {
      scope.ids.insert(edge.source_record_id == anchor->id ? edge.target_record_id : edge.source_record_id);
    }
    return scope;
  });
}

Result<std::vector<ScoredRecord>> Vesk::recall_project_context(std::string_view project_id,
                                                               const RecallRequest& request) {
  VESK_SPAN(span, "recall_project_context", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("top_k", request.top_k));
  std::optional<Record> anchor;
  // Settling the anchor may store it: done with no lock held, and kept even
  // when the recall then finds nothing.
  auto settle = [&]() -> Status {
    Result<Record> settled = ensure_project_anchor(project_id);
    if (!settled.ok()) return Status::Runtime("Project " + std::string(project_id) + " not found");
    anchor = std::move(*settled);
    return Status();
  };
  return recall_scoped(
      request,
      [&](const Guarded<RecordMap>::ReadHandle& records) -> Result<RecallScopeSet> {
        RecallScopeSet scope{.ids = {anchor->id}, .namespace_ = anchor->namespace_};
        for (const Record* r : project_members(*records, records_.by_metadata(records), project_id)) {
          scope.ids.insert(r->id);
        }
        return scope;
      },
      settle);
}

}  // namespace vesk
