#include "cognitive/layer_removal.h"

#include <algorithm>

#include "cognitive/causal_record_index.h"

namespace vesk {

namespace {

bool lists(const std::vector<std::string>& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool lists_any(const std::vector<std::string>& ids, const std::unordered_set<std::string>& removed) {
  if (removed.empty()) return false;
  return std::any_of(ids.begin(), ids.end(), [&](const std::string& id) { return removed.contains(id); });
}

// Removes the items `gone` says so, with their key index entries; the ids
// of the items removed.
template <class Map, class Gone>
std::unordered_set<std::string> remove_items(Map& items, StringMap& key_index, Gone gone) {
  std::unordered_set<std::string> removed;
  for (auto it = items.begin(); it != items.end();) {
    if (!gone(it->second)) {
      ++it;
      continue;
    }
    key_index.erase(it->second.key);
    removed.insert(it->first);
    it = items.erase(it);
  }
  return removed;
}

bool concept_gone(const ConceptCandidate& c, std::string_view record_id, const RemovedLayerIds& removed) {
  return lists(c.record_ids, record_id) || lists_any(c.belief_ids, removed.beliefs);
}

bool pattern_gone(const CausalPattern& p, std::string_view record_id, const RemovedLayerIds& removed) {
  return lists(p.cause_record_ids, record_id) || lists(p.effect_record_ids, record_id) ||
         lists_any(p.cause_belief_ids, removed.beliefs) || lists_any(p.effect_belief_ids, removed.beliefs);
}

bool hint_gone(const PolicyHint& h, std::string_view record_id, const RemovedLayerIds& removed) {
  return lists(h.supporting_record_ids, record_id) || lists(h.cause_record_ids, record_id) ||
         lists_any(h.trigger_belief_ids, removed.beliefs) || lists_any(h.trigger_concept_ids, removed.concepts) ||
         lists_any(h.trigger_causal_ids, removed.causal);
}

}  // namespace

std::unordered_set<std::string> beliefs_naming(const BeliefEngine& engine, std::string_view record_id) {
  std::unordered_set<std::string> affected;
  for (const auto& [id, h] : engine.hypotheses) {
    if (lists(h.prototype_record_ids, record_id)) affected.insert(h.belief_id);
  }
  return affected;
}

void remove_beliefs(BeliefEngine& engine, const std::unordered_set<std::string>& belief_ids) {
  if (belief_ids.empty()) return;
  for (const std::string& id : belief_ids) {
    auto it = engine.beliefs.find(id);
    if (it == engine.beliefs.end()) continue;
    engine.key_index.erase(it->second.key);
    for (const std::string& h : it->second.hypothesis_ids) engine.hypotheses.erase(h);
    engine.beliefs.erase(it);
  }
  std::erase_if(engine.hypotheses, [&](const auto& kv) { return belief_ids.contains(kv.second.belief_id); });
  // Rebuilt whole: the record index maps each member record to the
  // hypothesis holding it, and the removed hypotheses held some.
  engine.record_index.clear();
  for (const auto& [id, h] : engine.hypotheses) {
    for (const std::string& r : h.prototype_record_ids) engine.record_index.insert_or_assign(r, id);
  }
}

bool concepts_name(const ConceptEngine& engine, std::string_view record_id, const RemovedLayerIds& removed) {
  return std::any_of(engine.concepts.begin(), engine.concepts.end(),
                     [&](const auto& kv) { return concept_gone(kv.second, record_id, removed); });
}

std::unordered_set<std::string> remove_concepts(ConceptEngine& engine, std::string_view record_id,
                                                const RemovedLayerIds& removed) {
  return remove_items(engine.concepts, engine.key_index,
                      [&](const ConceptCandidate& c) { return concept_gone(c, record_id, removed); });
}

bool causal_patterns_name(const CausalEngine& engine, std::string_view record_id, const RemovedLayerIds& removed) {
  return std::any_of(engine.patterns.begin(), engine.patterns.end(),
                     [&](const auto& kv) { return pattern_gone(kv.second, record_id, removed); });
}

std::unordered_set<std::string> remove_causal_patterns(CausalEngine& engine, std::string_view record_id,
                                                       const RemovedLayerIds& removed) {
  std::unordered_set<std::string> gone = remove_items(
      engine.patterns, engine.key_index, [&](const CausalPattern& p) { return pattern_gone(p, record_id, removed); });
  index_causal_records(engine);
  return gone;
}

bool policy_hints_name(const PolicyEngine& engine, std::string_view record_id, const RemovedLayerIds& removed) {
  return std::any_of(engine.hints.begin(), engine.hints.end(),
                     [&](const auto& kv) { return hint_gone(kv.second, record_id, removed); });
}

uint64_t remove_policy_hints(PolicyEngine& engine, std::string_view record_id, const RemovedLayerIds& removed) {
  return remove_items(engine.hints, engine.key_index,
                      [&](const PolicyHint& h) { return hint_gone(h, record_id, removed); })
      .size();
}

bool topology_names(const Topology& topology, std::string_view record_id) {
  const uint64_t node = record_key(record_id);
  if (topology.edges.contains(node)) return true;
  for (const auto& [from, edges] : topology.edges) {
    for (const Edge& e : edges)
      if (e.target == node) return true;
  }
  return false;
}

bool remove_from_topology(Topology& topology, std::string_view record_id) {
  const uint64_t node = record_key(record_id);
  bool removed = topology.edges.erase(node) > 0;
  for (auto it = topology.edges.begin(); it != topology.edges.end();) {
    const size_t n = std::erase_if(it->second, [&](const Edge& e) { return e.target == node; });
    removed = removed || n > 0;
    if (n > 0 && it->second.empty()) {
      it = topology.edges.erase(it);
    } else {
      ++it;
    }
  }
  return removed;
}

namespace {

bool summary_relates(const ReflectionSummary& s, std::string_view record_id) {
  return std::any_of(s.findings.begin(), s.findings.end(),
                     [&](const ReflectionFinding& f) { return lists(f.related_ids, record_id); });
}

bool baseline_ranks(const RecallReplayBaseline& b, std::string_view record_id) {
  return std::any_of(b.ranked.begin(), b.ranked.end(), [&](const auto& p) { return p.first == record_id; });
}

}  // namespace

bool reflection_summaries_name(const std::vector<ReflectionSummary>& summaries, std::string_view record_id) {
  return std::any_of(summaries.begin(), summaries.end(), [&](const auto& s) { return summary_relates(s, record_id); });
}

bool recall_baselines_name(const std::vector<RecallReplayBaseline>& baselines, std::string_view record_id) {
  return std::any_of(baselines.begin(), baselines.end(), [&](const auto& b) { return baseline_ranks(b, record_id); });
}

bool remove_reflection_summaries(std::vector<ReflectionSummary>& summaries, std::string_view record_id) {
  return std::erase_if(summaries, [&](const ReflectionSummary& s) { return summary_relates(s, record_id); }) > 0;
}

bool remove_recall_baselines(std::vector<RecallReplayBaseline>& baselines, std::string_view record_id) {
  return std::erase_if(baselines, [&](const RecallReplayBaseline& b) { return baseline_ranks(b, record_id); }) > 0;
}

}  // namespace vesk
