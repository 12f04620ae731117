// The embedding ranking of one recall: the cosine ranking of the query's
// vector over the vectors of the recall's candidates only (the records
// valid now in its namespaces), cut to its first k by similarity descending
// and record id ascending. Ranked over the whole store instead, the first k
// of a small namespace's recall would be the nearest records of other
// namespaces, all of which the fusion drops.
//
// When the candidates are every record of the store, the whole store is
// ranked as it stands; otherwise the embedding store either reads only the
// listed candidates' vectors or tests the best vectors one by one, whichever
// costs less (index/embedding_store.h).
//
// The caller holds the read locks that `view` needs; the embedding store's
// read lock is taken inside (after the id map's, store/lock_order.h).
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "index/embedding_store.h"
#include "model/scored_record.h"
#include "recall/recall_candidates.h"

namespace vesk {

// None without a query vector or without stored vectors.
std::optional<RankedList> recall_embedding_ranking(const EmbeddingStore& store, const RecallCandidates& view,
                                                   const std::optional<std::vector<float>>& query_vector, size_t k);

}  // namespace vesk
