#include "recall/applicability_entry.h"

#include <utility>

namespace vesk {

std::vector<ApplicabilityEntry> annotate_applicability(std::vector<ScoredRecord> answer,
                                                       const CurrentState& current_state) {
  std::vector<ApplicabilityEntry> entries;
  entries.reserve(answer.size());
  for (ScoredRecord& r : answer) {
    ApplicabilityEntry& e = entries.emplace_back();
    e.decision = evaluate_requirements(r.record, current_state);
    e.score = r.score;
    e.record = std::move(r.record);
  }
  return entries;
}

}  // namespace vesk
