// The causal phase: fingerprint, reset, edges (causal_edges.h), then one
// candidate pattern per (namespace, cause signature, effect signature),
// scored and judged (causal_scoring.h), and the engine rebuilt from them.
//
// Nothing but manual invalidations survives a rebuild: an Invalidated
// pattern is set aside by key and either handed to the candidate that
// produces its key again (which keeps its id and invalidation, takes the
// fresh lists and counts, and is neither scored nor judged) or stored back
// unchanged.
//
// Cost: the fingerprint sorts the ids once; the edge scan is bounded per
// namespace; aggregation is linear in the edges; each candidate's temporal
// consistency sorts its effect times once, O((causes + effects) log effects)
// rather than a pass over every cause and effect pair.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "cognitive/causal_pattern_key.h"
#include "cognitive/causal_record_index.h"
#include "maintenance/causal_edges.h"
#include "maintenance/causal_scoring.h"
#include "maintenance/consequence_tags.h"
#include "maintenance/layer_phases.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr double kSecondsPerDay = 86400.0;

int64_t day_index(double event_time) {
  const double day = std::floor(event_time / kSecondsPerDay);
  if (std::isnan(day)) return 0;
  if (day >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (day <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(day);
}

// Distinct values in first-seen order. Most groups hold one or two values
// (an orphan pair has one edge), so a set is built only once the list grows
// past a few entries; until then a scan of the list is cheaper than hashing.
template <class T>
class FirstSeen {
 public:
  bool add(const T& v) {
    if (set_.empty()) {
      if (std::find(list_.begin(), list_.end(), v) != list_.end()) return false;
      list_.push_back(v);
      if (list_.size() > kScanLimit) set_.insert(list_.begin(), list_.end());
      return true;
    }
    if (!set_.insert(v).second) return false;
    list_.push_back(v);
    return true;
  }
  const std::vector<T>& list() const { return list_; }
  size_t size() const { return list_.size(); }

 private:
  static constexpr size_t kScanLimit = 16;
  std::vector<T> list_;
  std::unordered_set<T> set_;
};

struct Group {
  std::string cause_prefix;  // "{namespace}:{cause signature}", the key of T and V
  const std::string* namespace_ = nullptr;
  std::optional<std::string> cause_belief;
  std::optional<std::string> effect_belief;
  FirstSeen<const Record*> causes;
  FirstSeen<const Record*> effects;
  uint64_t support = 0;
  uint64_t explicit_support = 0;
  uint64_t temporal_support = 0;
  FirstSeen<int64_t> days;
};

struct CauseTotals {
  uint64_t explicit_total = 0;    // T
  uint64_t effect_variants = 0;   // V
};

std::string ascii_lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

// The signature an effect record contributes to G.
std::string effect_record_signature(const Record& r) {
  if (r.tags.empty()) return r.semantic_type + ":" + ascii_lowered(r.content);
  std::vector<std::string> tags;
  tags.reserve(r.tags.size());
  for (const std::string& t : r.tags) tags.push_back(ascii_lowered(t));
  std::sort(tags.begin(), tags.end());
  tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
  std::string out;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (i) out += '|';
    out += tags[i];
  }
  return out;
}

// Share of (cause, effect) pairs whose cause is strictly older.
float temporal_consistency(const std::vector<const Record*>& causes, const std::vector<const Record*>& effects) {
  std::vector<double> effect_times;
  effect_times.reserve(effects.size());
  for (const Record* e : effects)
    if (!std::isnan(e->created_at)) effect_times.push_back(e->created_at);
  std::sort(effect_times.begin(), effect_times.end());
  uint64_t before = 0;
  for (const Record* c : causes) {
    if (std::isnan(c->created_at)) continue;
    before += effect_times.end() - std::upper_bound(effect_times.begin(), effect_times.end(), c->created_at);
  }
  const uint64_t pairs = std::max<uint64_t>(static_cast<uint64_t>(causes.size()) * effects.size(), 1);
  return static_cast<float>(static_cast<double>(before) / static_cast<double>(pairs));
}

std::vector<std::string> ids_of(const std::vector<const Record*>& records) {
  std::vector<std::string> ids;
  ids.reserve(records.size());
  for (const Record* r : records) ids.push_back(r->id);
  return ids;
}

// Fills the four scores and G, P, N of a candidate.
void score_candidate(CausalPattern& p, const Group& g, uint64_t namespace_size, CausalEvidenceMode mode) {
  const float n = static_cast<float>(std::max<uint64_t>(namespace_size, 1));
  const float base_rate = static_cast<float>(g.effects.size()) / n;
  const float ratio =
      (static_cast<float>(p.support_count) / static_cast<float>(std::max<size_t>(g.causes.size(), 1))) / base_rate;
  p.transition_lift = std::min(std::min(ratio, 5.0f) / 5.0f, 1.0f);

  float consistency = temporal_consistency(g.causes.list(), g.effects.list());
  const uint64_t floor_from = mode == CausalEvidenceMode::ExplicitTrusted ? 1 : 2;
  if (consistency < 0.6f && p.explicit_support_count >= floor_from) consistency = 0.6f;
  p.temporal_consistency = consistency;

  StringSet signatures;
  std::vector<float> strengths;
  strengths.reserve(g.effects.size());
  for (const Record* e : g.effects.list()) {
    // One effect record is one signature, whatever it reads.
    if (g.effects.size() > 1) signatures.insert(effect_record_signature(*e));
    const ConsequenceTagCounts counts = count_consequence_tags(*e);
    p.positive_effect_signals += counts.support;
    p.negative_effect_signals += counts.refute;
    strengths.push_back(e->strength);
  }
  p.effect_record_signature_variants = g.effects.size() > 1 ? signatures.size() : 1;
  p.outcome_stability = causal_outcome_stability(strengths);
  p.causal_strength = causal_strength(p, mode);
}

CausalPhaseReport skipped_report(const CausalEngine& engine) {
  CausalPhaseReport report;
  report.skipped = true;
  report.edges_found = engine.last_edges_found;
  report.explicit_edges_found = engine.last_explicit_edges_found;
  report.temporal_edges_found = engine.last_temporal_edges_found;
  report.candidates_found = engine.patterns.size();
  double sum = 0.0;
  for (const auto& [id, p] : engine.patterns) {
    if (p.state == CausalState::Stable) ++report.stable_count;
    if (p.state == CausalState::Rejected) ++report.rejected_count;
    sum += p.causal_strength;
  }
  if (!engine.patterns.empty())
    report.avg_causal_strength = static_cast<float>(sum / static_cast<double>(engine.patterns.size()));
  return report;
}

}  // namespace

CausalPhaseReport discover_causal_patterns(CausalEngine& engine, const BeliefEngine& beliefs,
                                           const CycleSnapshot& snapshot, double now) {
  const uint64_t fingerprint = causal_corpus_fingerprint(snapshot);
  if (fingerprint != 0 && fingerprint == engine.last_corpus_fingerprint) return skipped_report(engine);

  StringKeyMap<CausalPattern> set_aside;
  for (auto& [id, p] : engine.patterns)
    if (p.state == CausalState::Invalidated) set_aside.emplace(p.key, std::move(p));
  engine.patterns.clear();
  engine.key_index.clear();

  CausalEdgeScan scan = find_causal_edges(snapshot, engine.temporal_budget_mode);
  const StringMap settled = settled_belief_by_record(beliefs);

  StringKeyMap<Group> groups;
  for (const RecordCausalEdge& edge : scan.edges) {
    const std::string cause_sig = causal_signature(settled, edge.cause->id);
    const std::string effect_sig = causal_signature(settled, edge.effect->id);
    auto [it, fresh] = groups.try_emplace(causal_pattern_key(edge.cause->namespace_, cause_sig, effect_sig));
    Group& g = it->second;
    if (fresh) {
      g.namespace_ = &edge.cause->namespace_;
      g.cause_prefix = edge.cause->namespace_ + ":" + cause_sig;
      if (settled.contains(edge.cause->id)) g.cause_belief = cause_sig;
      if (settled.contains(edge.effect->id)) g.effect_belief = effect_sig;
    }
    g.causes.add(edge.cause);
    g.effects.add(edge.effect);
    ++g.support;
    if (edge.explicit_edge) {
      ++g.explicit_support;
    } else {
      ++g.temporal_support;
      g.days.add(day_index(edge.event_time));
    }
  }

  StringKeyMap<CauseTotals> cause_totals;
  for (const auto& [key, g] : groups) {
    if (g.explicit_support == 0) continue;
    CauseTotals& t = cause_totals[g.cause_prefix];
    t.explicit_total += g.explicit_support;
    ++t.effect_variants;
  }
  StringKeyMap<uint64_t> namespace_sizes;
  for (const auto& [id, record] : snapshot) ++namespace_sizes[record.namespace_];

  const double last_updated = now > 0.0 ? now : 0.0;
  CausalPhaseReport report;
  report.edges_found = scan.edges.size();
  report.explicit_edges_found = scan.explicit_edges_found;
  report.temporal_edges_found = scan.temporal_edges_found;
  report.temporal_namespaces_scanned = scan.temporal_namespaces_scanned;
  report.temporal_pairs_considered = scan.temporal_pairs_considered;
  report.temporal_pairs_skipped_by_budget = scan.temporal_pairs_skipped_by_budget;
  report.temporal_edges_capped = scan.temporal_edges_capped;
  report.temporal_namespaces_hit_cap = scan.temporal_namespaces_hit_cap;
  double strength_sum = 0.0;

  engine.patterns.reserve(groups.size() + set_aside.size());
  engine.key_index.reserve(groups.size() + set_aside.size());
  for (auto& [key, g] : groups) {
    CausalPattern p;
    p.key = key;
    p.namespace_ = *g.namespace_;
    if (g.cause_belief) p.cause_belief_ids.push_back(*g.cause_belief);
    if (g.effect_belief) p.effect_belief_ids.push_back(*g.effect_belief);
    p.cause_record_ids = ids_of(g.causes.list());
    p.effect_record_ids = ids_of(g.effects.list());
    p.support_count = g.support;
    p.explicit_support_count = g.explicit_support;
    p.temporal_support_count = g.temporal_support;
    p.unique_temporal_windows = g.days.size();
    if (auto t = cause_totals.find(g.cause_prefix); t != cause_totals.end()) {
      p.explicit_support_total_for_cause = t->second.explicit_total;
      p.explicit_effect_variants_for_cause = t->second.effect_variants;
    }
    p.counterevidence = p.explicit_support_total_for_cause > p.explicit_support_count
                            ? p.explicit_support_total_for_cause - p.explicit_support_count
                            : 0;
    p.last_updated = last_updated;
    ++report.candidates_found;

    if (auto old = set_aside.find(key); old != set_aside.end()) {
      p.id = std::move(old->second.id);
      p.invalidation_reason = std::move(old->second.invalidation_reason);
      p.invalidated_at = old->second.invalidated_at;
      p.state = CausalState::Invalidated;
      set_aside.erase(old);
    } else {
      p.id = causal_pattern_id(key);
      auto size = namespace_sizes.find(p.namespace_);
      score_candidate(p, g, size == namespace_sizes.end() ? 1 : size->second, engine.evidence_mode);
      const CausalGateVerdict gates = judge_causal_gates(p, engine.evidence_mode);
      if (gates.support) ++report.patterns_meeting_support_gate;
      if (gates.repeated) ++report.patterns_meeting_repeated_window_gate;
      if (!gates.counterfactual) {
        if (gates.repeated) ++report.patterns_blocked_by_counterfactual_gate;
        else ++report.patterns_blocked_by_evidence_gates;
      } else {
        ++report.patterns_meeting_counterfactual_gate;
        if (!gates.support || !gates.repeated) ++report.patterns_blocked_by_evidence_gates;
      }
      p.state = decide_causal_state(gates, p.causal_strength);
      if (p.state == CausalState::Stable) ++report.stable_count;
      if (p.state == CausalState::Rejected) ++report.rejected_count;
      strength_sum += p.causal_strength;
    }
    engine.key_index.emplace(p.key, p.id);
    std::string id = p.id;
    engine.patterns.insert_or_assign(std::move(id), std::move(p));
  }
  for (auto& [key, p] : set_aside) {
    engine.key_index.emplace(p.key, p.id);
    std::string id = p.id;
    engine.patterns.insert_or_assign(std::move(id), std::move(p));
  }
  if (report.candidates_found > 0)
    report.avg_causal_strength = static_cast<float>(strength_sum / static_cast<double>(report.candidates_found));

  index_causal_records(engine);
  engine.last_corpus_fingerprint = fingerprint;
  engine.last_edges_found = report.edges_found;
  engine.last_explicit_edges_found = report.explicit_edges_found;
  engine.last_temporal_edges_found = report.temporal_edges_found;
  return report;
}

}  // namespace vesk
