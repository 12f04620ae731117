// Vesk::end_session and Vesk::history: reading and consuming the traces of
// recalls; the caller's own vectors and the embedding function.
#include <utility>

#include "store/vesk.h"

namespace vesk {

std::optional<SessionLinks> Vesk::end_session(std::string_view session_id) {
  std::optional<SessionLinks> links;
  {
    // The records map before the session map, as the post-recall
    // bookkeeping takes them.
    auto map = records_.records.write();
    auto session_map = recall_.sessions.write();
    auto it = session_map->find(session_id);
    if (it == session_map->end()) return std::nullopt;
    const std::vector<std::string> ids(it->second.record_ids.begin(), it->second.record_ids.end());
    session_map->erase(it);
    // The links change in place: the structural relation index hears of it.
    links = link_session_records(ids, [&](std::string_view id) -> Record* {
      Record* r = map->find_value(id);
      if (r) records_.structural(map).note_links_changed(*r);
      return r;
    });
  }
  // The new links live in memory until the records are written again; queue
  // them like recall activations so that the next flush (and close) persists
  // them.
  if (!links->changed_ids.empty()) recall_.pending_activations.note_ids(links->changed_ids);
  return links;
}

Result<StringMap> Vesk::history(std::string_view record_id) const {
  const double now = env_.now_seconds();
  auto map = records_.records.read();
  auto it = map->find(record_id);
  if (it == map->end()) return Status::Runtime("Record not found: " + std::string(record_id));
  return record_history(it->second, now);
}

Status Vesk::store_embedding(std::string_view record_id, std::span<const float> vector) {
  {
    // Held across the put so that the record cannot be deleted in between;
    // the embedding store's own lock comes after the records map's.
    auto map = records_.records.read();
    if (!map->contains(record_id)) return Status::Value("Embedding record not found");
    if (Status s = embedding_store_put(*indexes_.embeddings, record_id, vector); !s.ok()) {
      return s.as(ErrorKind::Value);
    }
  }
  clear_recall_caches();
  return Status::Ok();
}

bool Vesk::has_embeddings() const { return indexes_.embeddings && !indexes_.embeddings->empty(); }

void Vesk::set_embedding_fn(EmbeddingFnHandle fn) {
  callbacks_.embedding_fn.set(std::move(fn));
  clear_recall_caches();
}

}  // namespace vesk
