// The correction review queue and the suggested corrections.
#include "reports/correction_review.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "base/merge_sort.h"
#include "reports/two_decimals.h"

namespace vesk {
namespace {

constexpr std::string_view kBelief = "belief";
constexpr std::string_view kRecord = "record";
constexpr std::string_view kCausal = "causal_pattern";
constexpr std::string_view kPolicy = "policy_hint";

bool active(CausalState s) { return s == CausalState::Candidate || s == CausalState::Stable; }

std::string review_severity(float priority) {
  if (priority >= 5.0f) return "high";
  if (priority >= 2.5f) return "medium";
  return "low";
}

std::string suggestion_severity(float priority) {
  if (priority >= 3.8f) return "high";
  if (priority >= 2.2f) return "medium";
  return "low";
}

// Calls `hit` once for each distinct id of `lists` found in `targets`.
template <class Targets, class Hit, class... Lists>
void once_per_target(Targets& targets, std::vector<void*>& seen, Hit hit, const Lists&... lists) {
  seen.clear();
  auto visit = [&](const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
      auto it = targets.find(std::string_view(id));
      if (it == targets.end()) continue;
      void* key = &it->second;
      if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
      seen.push_back(key);
      hit(it->second);
    }
  };
  (visit(lists), ...);
}

// The value under `id` in a layer's map, or null.
template <class Map>
const typename Map::mapped_type* lookup(const Map& map, std::string_view id) {
  auto it = map.find(id);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

std::string_view belief_key_namespace(std::string_view key) { return key.substr(0, key.find(':')); }

std::string target_id_namespace(std::string_view target_id) {
  const std::string_view head = target_id.substr(0, target_id.find(':'));
  return head.empty() ? std::string("default") : std::string(head);
}

CorrectionTargets::CorrectionTargets(const std::vector<CorrectionLogEntry>& log) : log_(log) {
  for (const CorrectionLogEntry& e : log_) {
    if (e.target_kind == kBelief)
      beliefs_.try_emplace(e.target_id);
    else if (e.target_kind == kRecord)
      records_.try_emplace(e.target_id);
    else if (e.target_kind == kCausal)
      patterns_.try_emplace(e.target_id);
    else if (e.target_kind == kPolicy)
      hints_.try_emplace(e.target_id);
  }
}

void CorrectionTargets::read_beliefs(const BeliefEngine& beliefs) {
  for (auto& [id, t] : beliefs_)
    if (const Belief* b = lookup(beliefs.beliefs, id)) t.namespace_ = std::string(belief_key_namespace(b->key));
}

void CorrectionTargets::read_causal(const CausalEngine& causal) {
  for (auto& [id, t] : patterns_)
    if (const CausalPattern* p = lookup(causal.patterns, id)) t.namespace_ = p->namespace_;
  if (beliefs_.empty() && records_.empty()) return;
  std::vector<void*> seen;
  auto hit = [](Target& t) { ++t.causal_dependents; };
  for (const auto& [id, p] : causal.patterns) {
    if (!active(p.state)) continue;
    once_per_target(beliefs_, seen, hit, p.cause_belief_ids, p.effect_belief_ids);
    once_per_target(records_, seen, hit, p.cause_record_ids, p.effect_record_ids);
  }
}

void CorrectionTargets::read_policies(const PolicyEngine& policies) {
  for (auto& [id, t] : hints_)
    if (const PolicyHint* h = lookup(policies.hints, id)) t.namespace_ = h->namespace_;
  if (beliefs_.empty() && records_.empty() && patterns_.empty()) return;
  std::vector<void*> seen;
  auto hit = [](Target& t) { ++t.policy_dependents; };
  for (const auto& [id, h] : policies.hints) {
    if (h.state == PolicyState::Rejected) continue;
    once_per_target(patterns_, seen, hit, h.trigger_causal_ids);
    once_per_target(beliefs_, seen, hit, h.trigger_belief_ids);
    once_per_target(records_, seen, hit, h.supporting_record_ids, h.cause_record_ids);
  }
}

void CorrectionTargets::read_records(const RecordMap& records) {
  for (auto& [id, t] : records_)
    if (const Record* r = records.find_value(id)) t.namespace_ = r->namespace_;
}

const CorrectionTargets::Target* CorrectionTargets::find(std::string_view kind, std::string_view id) const {
  const Targets* targets = kind == kBelief   ? &beliefs_
                           : kind == kRecord ? &records_
                           : kind == kCausal ? &patterns_
                           : kind == kPolicy ? &hints_
                                             : nullptr;
  if (!targets) return nullptr;
  auto it = targets->find(id);
  return it == targets->end() ? nullptr : &it->second;
}

std::string CorrectionTargets::namespace_of(const CorrectionLogEntry& e) const {
  const Target* t = find(e.target_kind, e.target_id);
  if (t && t->namespace_) return *t->namespace_;
  return target_id_namespace(e.target_id);
}

std::vector<CorrectionReviewItem> CorrectionTargets::review_items(size_t limit) const {
  if (log_.empty() || limit == 0) return {};
  // Newest first; equal timestamps keep their file order.
  std::vector<size_t> order(log_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return log_[a].timestamp > log_[b].timestamp; });

  std::map<std::pair<std::string_view, std::string_view>, uint64_t> repeats;
  for (const CorrectionLogEntry& e : log_) ++repeats[{e.target_kind, e.target_id}];

  const float n = static_cast<float>(log_.size());
  std::vector<CorrectionReviewItem> items;
  items.reserve(log_.size());
  for (size_t i = 0; i < order.size(); ++i) {
    const CorrectionLogEntry& e = log_[order[i]];
    CorrectionReviewItem item;
    item.timestamp = e.timestamp;
    item.time_iso = e.time_iso;
    item.target_kind = e.target_kind;
    item.target_id = e.target_id;
    item.operation = e.operation;
    item.reason = e.reason;
    item.session_id = e.session_id;
    item.namespace_ = namespace_of(e);
    item.title = "Review " + e.operation + " " + e.target_kind + " (" + e.reason + ")";
    item.repeat_count = repeats[{e.target_kind, e.target_id}];
    if (const Target* t = find(e.target_kind, e.target_id)) {
      item.dependent_causal_patterns = t->causal_dependents;
      item.dependent_policy_hints = t->policy_dependents;
    }
    item.downstream_impact = item.dependent_causal_patterns + item.dependent_policy_hints;
    const float recency = std::clamp(1.0f - 0.85f * static_cast<float>(i) / n, 0.15f, 1.0f);
    item.priority_score = 1.6f * static_cast<float>(item.downstream_impact) +
                          0.9f * static_cast<float>(item.repeat_count - 1) + recency;
    item.severity = review_severity(item.priority_score);
    items.push_back(std::move(item));
  }
  merge_sort(items, [](const CorrectionReviewItem& a, const CorrectionReviewItem& b) {
    if (a.priority_score > b.priority_score) return true;
    if (b.priority_score > a.priority_score) return false;
    if (a.timestamp != b.timestamp) return a.timestamp > b.timestamp;
    if (a.target_kind != b.target_kind) return a.target_kind < b.target_kind;
    return a.target_id < b.target_id;
  });
  if (items.size() > limit) items.resize(limit);
  return items;
}

std::vector<CorrectionSuggestion> suggest_corrections(const BeliefEngine& beliefs, const CausalEngine& causal,
                                                      const PolicyEngine& policies,
                                                      const std::vector<CorrectionReviewItem>& review,
                                                      size_t limit) {
  using Key = std::pair<std::string_view, std::string_view>;
  // The last review item of each target, in queue order.
  std::map<Key, const CorrectionReviewItem*> reviewed;
  for (const CorrectionReviewItem& item : review) reviewed[{item.target_kind, item.target_id}] = &item;
  auto review_of = [&](std::string_view kind, std::string_view id) -> const CorrectionReviewItem* {
    auto it = reviewed.find({kind, id});
    return it == reviewed.end() ? nullptr : it->second;
  };
  auto review_priority = [&](std::string_view kind, std::string_view id) {
    const CorrectionReviewItem* item = review_of(kind, id);
    return item ? item->priority_score : 0.0f;
  };

  std::map<std::pair<std::string, std::string>, CorrectionSuggestion> candidates;
  auto offer = [&](CorrectionSuggestion s) {
    s.severity = suggestion_severity(s.priority_score);
    auto [it, fresh] = candidates.try_emplace({s.target_kind, s.target_id});
    if (fresh || s.priority_score > it->second.priority_score) it->second = std::move(s);
  };

  auto winner_record = [&](const Belief& b) -> std::optional<std::string> {
    if (!b.winner_id) return std::nullopt;
    const Hypothesis* h = lookup(beliefs.hypotheses, *b.winner_id);
    if (!h || h->prototype_record_ids.empty()) return std::nullopt;
    return h->prototype_record_ids.front();
  };
  auto belief_suggestion = [&](const Belief& b, std::string reason_kind) {
    CorrectionSuggestion s;
    s.target_kind = std::string(kBelief);
    s.target_id = b.id;
    s.namespace_ = std::string(belief_key_namespace(b.key));
    s.reason_kind = std::move(reason_kind);
    s.suggested_action = "Deprecate";
    s.supporting_record_id = winner_record(b);
    return s;
  };

  // Pass 1: volatile beliefs.
  for (const auto& [id, b] : beliefs.beliefs) {
    if (!(b.volatility >= 0.2f)) continue;
    CorrectionSuggestion s = belief_suggestion(b, "HighVolatility");
    s.priority_score = 0.25f * review_priority(kBelief, b.id) + 4.0f * b.volatility;
    s.reason_detail = "belief volatility " + two_decimals(b.volatility) + " exceeded bounded review threshold";
    offer(std::move(s));
  }

  // Pass 2: unstable beliefs that active patterns lean on.
  std::unordered_map<std::string_view, uint64_t> leaning;
  std::vector<std::string_view> seen;
  for (const auto& [id, p] : causal.patterns) {
    if (!active(p.state)) continue;
    seen.clear();
    for (const auto* ids : {&p.cause_belief_ids, &p.effect_belief_ids})
      for (const std::string& bid : *ids)
        if (std::find(seen.begin(), seen.end(), std::string_view(bid)) == seen.end()) {
          seen.push_back(bid);
          ++leaning[bid];
        }
  }
  for (const auto& [id, b] : beliefs.beliefs) {
    if (!(b.stability <= 1.0f)) continue;
    auto d = leaning.find(std::string_view(b.id));
    if (d == leaning.end()) continue;
    CorrectionSuggestion s = belief_suggestion(b, "LowStabilityWithCausalPressure");
    s.priority_score = 0.2f * review_priority(kBelief, b.id) + 1.5f * std::max(0.0f, 2.0f - b.stability) +
                       1.1f * static_cast<float>(d->second);
    s.reason_detail = "belief stability " + two_decimals(b.stability) + " is low while " +
                      std::to_string(d->second) + " causal patterns still depend on it";
    offer(std::move(s));
  }

  // Pass 3: patterns prone to invalidation.
  for (const auto& [id, p] : causal.patterns) {
    if (!(p.state == CausalState::Rejected || (active(p.state) && p.counterevidence > 0))) continue;
    CorrectionSuggestion s;
    s.target_kind = std::string(kCausal);
    s.target_id = p.id;
    s.namespace_ = p.namespace_;
    s.reason_kind = "InvalidationProne";
    s.suggested_action = "Invalidate";
    s.priority_score = 0.25f * review_priority(kCausal, p.id) + 1.4f * static_cast<float>(p.counterevidence) +
                       std::max(0.0f, 1.0f - p.causal_strength);
    s.reason_detail = "causal pattern has " + std::to_string(p.counterevidence) +
                      " counterevidence edges with strength " + two_decimals(p.causal_strength);
    if (!p.cause_record_ids.empty())
      s.supporting_record_id = p.cause_record_ids.front();
    else if (!p.effect_record_ids.empty())
      s.supporting_record_id = p.effect_record_ids.front();
    offer(std::move(s));
  }

  // Pass 4: suppressed and rejected hints.
  for (const auto& [id, h] : policies.hints) {
    const bool suppressed = h.state == PolicyState::Suppressed;
    if (!suppressed && h.state != PolicyState::Rejected) continue;
    const CorrectionReviewItem* item = review_of(kPolicy, h.id);
    const uint64_t r = item ? item->repeat_count : 1;
    CorrectionSuggestion s;
    s.target_kind = std::string(kPolicy);
    s.target_id = h.id;
    s.namespace_ = h.namespace_;
    s.reason_kind = "RepeatedSuppression";
    s.suggested_action = "Retract";
    s.priority_score = 1.1f * static_cast<float>(r - 1) + 1.5f * h.policy_strength + (suppressed ? 1.2f : 1.8f);
    std::string detail = std::string("policy hint is ") + (suppressed ? "Suppressed" : "Rejected") +
                         " with strength " + two_decimals(h.policy_strength) + " and repeat pressure " +
                         std::to_string(r);
    for (char& c : detail)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    s.reason_detail = std::move(detail);
    if (!h.supporting_record_ids.empty())
      s.supporting_record_id = h.supporting_record_ids.front();
    else if (!h.cause_record_ids.empty())
      s.supporting_record_id = h.cause_record_ids.front();
    offer(std::move(s));
  }

  std::vector<CorrectionSuggestion> out;
  out.reserve(candidates.size());
  for (auto& [key, s] : candidates) out.push_back(std::move(s));
  merge_sort(out, [](const CorrectionSuggestion& a, const CorrectionSuggestion& b) {
    if (a.priority_score > b.priority_score) return true;
    if (b.priority_score > a.priority_score) return false;
    if (a.target_kind != b.target_kind) return a.target_kind < b.target_kind;
    return a.target_id < b.target_id;
  });
  if (out.size() > limit) out.resize(limit);
  return out;
}

}  // namespace vesk
