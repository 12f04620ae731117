// Vesk::refresh_indexes_after_maintenance: the indexes and tables keyed by
// record id catch up with records a maintenance pass removed from the map.
//
// A maintenance pass (the core and digest phases of a cycle, decay,
// consolidation, reflection) removes records from the record map in place
// and journals the removal itself; this takes them out of everything else
// that names them, so that recall cannot find them any more. It only
// removes: a record that stays is never indexed again here.
//
// Order and locks: the n-gram, term and tag indexes, the id map and the
// record SDR map each under its own write lock, one at a time in the store's
// lock order, so a reader may briefly see an id gone from one index and not
// yet from the next; then, with none of them held, per id: the stored
// embedding, the record log's entry map and the SDR index, which lock
// themselves. The caller may hold the record map's write lock (the cycle's
// first refresh does), which comes before all of these.
#include <span>
#include <string>
#include <vector>

#include "store/vesk.h"

namespace vesk {

void Vesk::refresh_indexes_after_maintenance(std::span<const std::string> ids, bool keep_embeddings) {
  if (ids.empty()) return;
  const StringSet gone(ids.begin(), ids.end());
  {
    auto ngram = indexes_.ngram.write();
    for (const std::string& id : ids) ngram->remove(id);
  }
  {
    auto terms = indexes_.terms.write();
    for (const std::string& id : ids) terms->remove(id);
  }
  {
    // The index keeps no tag without an id: a tag whose last record goes
    // goes with it.
    auto tags = indexes_.tags.write();
    for (const std::string& id : ids) tags->remove(id);
  }
  {
    // A removed record's vesk_id is not known any more, and old ids may name
    // it too: every entry whose value is a removed id goes.
    auto id_map = records_.id_map.write();
    std::vector<std::string> named;
    for (const auto& [vesk_id, id] : *id_map)
      if (gone.contains(id)) named.push_back(vesk_id);
    for (const std::string& vesk_id : named) id_map->erase(vesk_id);
  }
  {
    auto sdrs = indexes_.record_sdrs.write();
    for (const std::string& id : ids) sdrs->erase(id);
  }
  for (const std::string& id : ids) {
    // A vector that outlives its record is dropped at the next open, which
    // keeps only vectors of known records; the removal goes on.
    if (indexes_.embeddings && !keep_embeddings) (void)embedding_store_remove(*indexes_.embeddings, id);
    storage_->remove_entry(id);
    indexes_.sdr_index->remove(id);
  }
}

}  // namespace vesk
