#include "retrieval_episode_class.h"

#include <string>
#include <utility>
#include <vector>

namespace vesk::py {
namespace {

// `read(episode)` under a read borrow of the cell.
template <class F>
auto reading(const EpisodeCell& cell, F read) -> Result<decltype(read(std::declval<const RetrievalEpisode&>()))> {
  Result<EpisodeCell::Reader> borrow = cell.read();
  if (!borrow.ok()) return borrow.status();
  return read(**borrow);
}

Result<std::string> episode_id(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) { return e.id; });
}

Result<std::string> episode_query(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) { return e.query; });
}

Result<std::vector<std::string>> episode_routes(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) {
    std::vector<std::string> names;
    names.reserve(e.routes.size());
    for (MemoryRoute route : e.routes) names.emplace_back(memory_route_name(route));
    return names;
  });
}

// A list, not a set: the ids keep the episode's ascending order.
Result<std::vector<std::string>> episode_candidate_ids(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) {
    return std::vector<std::string>(e.candidate_ids.begin(), e.candidate_ids.end());
  });
}

}  // namespace

ClassObject& NativeClass<EpisodeCell>::object() {
  static ValueClass<EpisodeCell> cls{"vesk._core.RetrievalEpisode",
                                     "Ephemeral audit state for one memory-backed answer.",
                                     {
                                         computed<&episode_id>("id"),
                                         computed<&episode_query>("query"),
                                         computed<&episode_routes>("routes"),
                                         computed<&episode_candidate_ids>("candidate_ids"),
                                     }};
  return cls;
}

PyObject* ToPy<RetrievalEpisode>::convert(const RetrievalEpisode& episode) {
  PyTypeObject* type = NativeClass<EpisodeCell>::object().get();
  return type ? wrap_as<EpisodeCell>(type, episode) : nullptr;
}

}  // namespace vesk::py
