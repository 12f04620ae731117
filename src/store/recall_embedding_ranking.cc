#include "store/recall_embedding_ranking.h"

#include <functional>
#include <string_view>

namespace vesk {

std::optional<RankedList> recall_embedding_ranking(const EmbeddingStore& store, const RecallCandidates& view,
                                                   const std::optional<std::vector<float>>& query_vector, size_t k) {
  if (view.covers_every_record()) return embedding_scores(store, query_vector, k);
  const EmbeddingCandidates candidates{
      .accepts = [&view](std::string_view id) { return view.in_namespaces(id); },
      .list = [&view](const std::function<void(std::string_view)>& visit) { view.for_each_in_namespaces(visit); },
      .listed = view.in_namespaces_at_most(),
  };
  return embedding_scores(store, query_vector, k, &candidates);
}

}  // namespace vesk
