#include "cognitive/belief_layer.h"

namespace vesk {

std::optional<BeliefStateOfRecord> belief_state_for_record(const BeliefEngine& engine, std::string_view record_id) {
  auto h = engine.record_index.find(record_id);
  if (h == engine.record_index.end()) return std::nullopt;
  auto hypothesis = engine.hypotheses.find(h->second);
  if (hypothesis == engine.hypotheses.end()) return std::nullopt;
  auto belief = engine.beliefs.find(hypothesis->second.belief_id);
  return BeliefStateOfRecord{belief == engine.beliefs.end() ? nullptr : &belief->second, &hypothesis->second};
}

const Belief* belief_for_record(const BeliefEngine& engine, std::string_view record_id) {
  std::optional<BeliefStateOfRecord> s = belief_state_for_record(engine, record_id);
  return s ? s->belief : nullptr;
}

}  // namespace vesk
