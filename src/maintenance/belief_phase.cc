// The belief phase: final claim groups become beliefs with hypotheses, each
// resolved to a winner or left unresolved, and beliefs whose keys were not
// seen are deleted.
//
// A belief is found by its key in key_index; a key that is missing there, or
// that names a belief no longer held, gets a new belief whose id is drawn
// until no other belief holds it. A surviving belief keeps its id, volatility
// and world verdict; everything else is recomputed. Resolution over the
// hypotheses ordered by score (a stable merge sort, NaN scores comparing
// equal): one hypothesis is Singleton; with two or more the belief is
// Unresolved when top / (second + 0.000001) < 1.15 and |top - second| < 0.1,
// or when the split forced it, else Resolved. Stability counts consecutive
// phases with the same winner (0 when Unresolved).
//
// Cost: hash lookups by key, hypothesis id and record id; linear in the
// claim records apart from the similarity split.
#include <algorithm>
#include <cmath>

#include "base/merge_sort.h"
#include "cognitive/belief_hypotheses.h"
#include "maintenance/layer_phases.h"

namespace vesk {
namespace {

// A new belief for `key`, or null when no id could be drawn.
Belief* create_belief(BeliefEngine& engine, const std::string& key, Env& env) {
  for (;;) {
    Result<std::string> id = new_record_id(env);
    if (!id.ok()) return nullptr;
    if (engine.beliefs.contains(id.value())) continue;
    Belief b;
    b.id = id.value();
    b.key = key;
    b.last_updated = env.now_seconds();
    engine.key_index[key] = b.id;
    auto [it, _] = engine.beliefs.emplace(b.id, std::move(b));
    return &it->second;
  }
}

void resolve(Belief& belief, const std::vector<const Hypothesis*>& found, bool forced, double now) {
  if (found.empty()) {
    belief.state = BeliefState::Empty;
    belief.winner_id.reset();
    belief.score = 0.0f;
    return;
  }
  const std::optional<std::string> previous = belief.winner_id;
  auto win = [&](const Hypothesis& h) {
    belief.winner_id = h.id;
    belief.stability = previous && *previous == h.id ? belief.stability + 1.0f : 1.0f;
  };
  belief.last_updated = now;
  if (found.size() == 1) {
    const Hypothesis& h = *found[0];
    belief.state = BeliefState::Singleton;
    belief.score = h.score;
    belief.confidence = h.confidence;
    belief.support_mass = h.support_mass;
    belief.conflict_mass = h.conflict_mass;
    win(h);
    return;
  }
  std::vector<const Hypothesis*> ranked = found;
  merge_sort(ranked, [](const Hypothesis* a, const Hypothesis* b) { return a->score > b->score; });
  const float top = ranked[0]->score, second = ranked[1]->score;
  const bool close = top / (second + 0.000001f) < 1.15f && std::fabs(top - second) < 0.1f;
  belief.score = top;
  belief.confidence = ranked[0]->confidence;
  belief.support_mass = 0.0f;
  belief.conflict_mass = 0.0f;
  for (const Hypothesis* h : found) {
    belief.support_mass += h->support_mass;
    belief.conflict_mass += h->conflict_mass;
  }
  if (close || forced) {
    belief.state = BeliefState::Unresolved;
    belief.winner_id.reset();
    belief.stability = 0.0f;
  } else {
    belief.state = BeliefState::Resolved;
    win(*ranked[0]);
  }
}

}  // namespace

BeliefPhaseReport update_beliefs(BeliefEngine& engine, const CycleSnapshot& snapshot, const CycleSdrMap& sdrs,
                                 Env& env, ClaimPairCounts* pairs) {
  BeliefPhaseReport report;
  ClaimGroups groups = final_claim_groups(engine, snapshot, sdrs, pairs);
  StringSet live;

  for (const auto& [key, group] : groups.groups()) {
    if (group.size() < 2) continue;
    live.insert(key);

    Belief* belief = nullptr;
    if (auto k = engine.key_index.find(key); k != engine.key_index.end()) {
      if (auto b = engine.beliefs.find(k->second); b != engine.beliefs.end()) belief = &b->second;
    }
    if (!belief) {
      belief = create_belief(engine, key, env);
      if (!belief) continue;
      ++report.beliefs_created;
    }

    const HypothesisSplit split = split_hypotheses(group);
    std::vector<std::string> ids;
    ids.reserve(split.hypotheses.size());
    for (const ClaimGroup& members : split.hypotheses) {
      Hypothesis h = make_hypothesis(belief->id, members, env.now_seconds());
      for (const std::string& r : h.prototype_record_ids) engine.record_index[r] = h.id;
      ids.push_back(h.id);
      engine.hypotheses.insert_or_assign(h.id, std::move(h));
    }
    StringSet fresh(ids.begin(), ids.end());
    for (const std::string& old : belief->hypothesis_ids)
      if (!fresh.contains(old)) engine.hypotheses.erase(old);
    belief->hypothesis_ids = ids;

    std::vector<const Hypothesis*> found;
    for (const std::string& id : ids)
      if (auto h = engine.hypotheses.find(id); h != engine.hypotheses.end()) found.push_back(&h->second);
    const std::optional<std::string> previous = belief->winner_id;
    resolve(*belief, found, split.forced_irresolution, env.now_seconds());

    if (previous && (!belief->winner_id || *belief->winner_id != *previous)) ++report.revisions;
    if (belief->state == BeliefState::Resolved || belief->state == BeliefState::Singleton) ++report.resolved;
    if (belief->state == BeliefState::Unresolved) ++report.unresolved;
  }

  std::vector<std::string> stale;
  for (const auto& [key, id] : engine.key_index)
    if (!live.contains(key)) stale.push_back(key);
  for (const std::string& key : stale) {
    auto k = engine.key_index.find(key);
    const std::string id = k->second;
    engine.key_index.erase(k);
    auto b = engine.beliefs.find(id);
    if (b == engine.beliefs.end()) continue;
    for (const std::string& h : b->second.hypothesis_ids) engine.hypotheses.erase(h);
    engine.beliefs.erase(b);
    ++report.beliefs_pruned;
  }
  StringSet members;
  for (const auto& [id, h] : engine.hypotheses) members.insert(h.prototype_record_ids.begin(), h.prototype_record_ids.end());
  std::erase_if(engine.record_index, [&](const auto& entry) { return !members.contains(entry.first); });

  report.total_beliefs = engine.beliefs.size();
  report.total_hypotheses = engine.hypotheses.size();
  report.churn_rate = static_cast<float>(report.revisions) /
                      static_cast<float>(std::max<uint64_t>(report.total_beliefs, 1));
  return report;
}

}  // namespace vesk
