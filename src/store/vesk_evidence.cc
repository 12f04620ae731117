// Retrieval episodes and applicability: the two operations that read the
// record map for the evidence vocabulary's pure functions.
#include "storage/atomic_file.h"
#include "store/vesk.h"
#include "model/unicode_text.h"

namespace vesk {

Result<RetrievalEpisode> Vesk::start_retrieval_episode(std::string_view query,
                                                       const std::vector<std::string>& candidate_ids,
                                                       const std::optional<std::vector<std::string>>& routes) const {
  auto chosen = episode_routes(routes, query);
  if (!chosen.ok()) return chosen.status();
  {
    auto map = records_.records.read();
    for (const std::string& id : candidate_ids) {
      if (trim_unicode_white_space(id).empty()) return Status::Value("retrieval candidate ID must not be empty");
      if (!map->contains(id)) return Status::Value("retrieval candidate record '" + id + "' does not exist");
    }
  }
  RetrievalEpisode episode;
  auto id = random_uuid_v4(env_);
  if (!id.ok()) return id.status();
  episode.id = std::move(*id);
  episode.query = std::string(query);
  episode.routes = std::move(*chosen);
  for (const std::string& c : candidate_ids) episode.candidate_ids.emplace(trim_unicode_white_space(c));
  return episode;
}

std::optional<ApplicabilityDecision> Vesk::evaluate_applicability(std::string_view record_id,
                                                                  const CurrentState& current_state) const {
  auto map = records_.records.read();
  const Record* record = map->find_value(record_id);
  if (!record) return std::nullopt;
  return evaluate_requirements(*record, current_state);
}

}  // namespace vesk
