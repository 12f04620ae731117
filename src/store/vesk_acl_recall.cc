// Vesk::recall_structured_acl: structured recall for a named subject
// (recall/acl_recall.h).
//
// Only a record holding "acl_visibility" can be denied to anyone, so only
// those (listed by the metadata value index) are checked for the subject;
// the others are counted, from the recall index alone when no record of the
// namespaces has a validity window, else by a walk of the namespaces' ids.
// No call walks the whole map. The ranking then reads the map through a lookup that hides the records left
// out (enforce mode) and answers a copy marked "public" for each taking part
// that an anonymous reader could not read, so the pipeline's anonymous
// visibility test admits it; every other record is read in place. The map
// itself never changes.
//
// Locks: the records map and the recall index for reading from the access
// checks to the end of the ranking (the ranking's own index, trust and layer
// locks nest inside, store/lock_order.h); the bookkeeping after they are
// released.
#include <utility>

#include "base/string_hash.h"
#include "model/record_access.h"
#include "recall/recall_candidates.h"
#include "recall/recall_pipeline.h"
#include "store/recall_embedding_ranking.h"
#include "store/vesk.h"

namespace vesk {

AclRecallAnswer Vesk::recall_structured_acl(std::string_view query, AclEnforcement mode,
                                            const AccessRequest& subject, std::optional<size_t> top_k,
                                            std::optional<float> min_strength,
                                            std::optional<bool> expand_connections,
                                            std::optional<std::string> session_id,
                                            std::optional<std::vector<std::string>> namespaces) {
  RecallRequest request{.query = query,
                        .top_k = top_k.value_or(20),
                        .expand_connections = expand_connections.value_or(true),
                        .min_strength = min_strength.value_or(0.1f),
                        .session_id = std::move(session_id),
                        .namespaces = std::move(namespaces)};
  // The embedding function is Python code: called with no store lock held.
  std::optional<std::vector<float>> query_vector;
  if (indexes_.embeddings && !indexes_.embeddings->empty()) {
    query_vector = embed_text(callbacks_.embedding_fn, request.query);
  }
  const double now = env_.now_seconds();
  const TrustConfig trust = config_.trust();

  AclRecallAnswer answer;
  answer.mode = mode;
  {
    auto records = records_.records.read();
    auto recall_index = records_.recall_index.read();
    const std::vector<std::string> names = recall_namespaces(request.namespaces);
    const RecallCandidates view(*records, *recall_index, names, now);
    bool windowed = false;
    for (const std::string& ns : names) windowed = windowed || recall_index->has_validity_window_in(ns);
    if (windowed) {
      view.for_each_in_namespaces([&](std::string_view) { ++answer.evaluated_count; });
    } else {
      answer.evaluated_count = recall_index->record_count_in(names);
    }
    StringSet hidden;
    StringKeyMap<Record> readable;
    for (const Record* r : records_.by_metadata(records).records_with_key(*records, "acl_visibility")) {
      if (!view.in_namespaces(r->id) || record_is_public(*r)) continue;
      const AccessDecision decision = record_access_allowed(*r, subject);
      if (!decision.allowed) {
        ++answer.denied_count;
        if (mode == AclEnforcement::Enforce) {
          hidden.insert(r->id);
          continue;
        }
        answer.audit_decisions.push_back(
            {r->id, r->namespace_, std::string(decision.reason), decision.policy_version});
      }
      Record copy = *r;
      copy.metadata["acl_visibility"] = "public";
      readable.emplace(r->id, std::move(copy));
    }
    const RecordLookup& in_place = view.lookup();
    const RecordLookup candidates = [&](std::string_view id) -> const Record* {
      if (!hidden.empty() && hidden.contains(id)) return nullptr;
      if (!readable.empty()) {
        if (auto it = readable.find(id); it != readable.end()) return &it->second;
      }
      return in_place(id);
    };
    answer.results = rank_candidates(request, view, candidates, query_vector, trust, now);
  }

  std::optional<std::string_view> session;
  if (request.session_id) session = *request.session_id;
  record_recall_activity(recall_activity_targets(), answer.results, request.query, session);
  recall_.hits.count_recall(answer.results.empty());
  // A result read from a marked copy carries the mark; the answer's items
  // show none of the metadata.
  return answer;
}

}  // namespace vesk
