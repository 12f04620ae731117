#include "maintenance/insight_detectors.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "base/string_hash.h"
#include "maintenance/cross_domain_insights.h"
#include "maintenance/insight_sink.h"

namespace vesk {
namespace {

constexpr float kLive = 0.05f;
constexpr size_t kMaxChainLinks = 10;

std::string count_text(size_t n) { return std::to_string(n); }

// One insight over a group of records: emitted only when the group is not
// empty, with the group's size as its "count".
template <class Describe>
void emit_group(InsightSink& sink, std::vector<std::string_view>&& ids, const char* type, InsightSeverity severity,
                InsightPhase phase, Describe&& describe) {
  if (ids.empty()) return;
  sink.emit([&] {
    Insight in = new_insight(type, severity, phase);
    in.record_ids.assign(ids.begin(), ids.end());
    in.description = describe(ids.size());
    in.evidence.emplace_back("count", count_text(ids.size()));
    return in;
  });
}

void record_health(const RecordMap& records, InsightSink& sink) {
  std::vector<std::string_view> risks, candidates;
  for (const auto& [id, r] : records) {
    if (r.strength >= 0.05f && r.strength < 0.15f) risks.push_back(id);
    if (r.activation_count >= 5 && r.strength >= 0.7f && r.level != Level::Identity) candidates.push_back(id);
  }
  emit_group(sink, std::move(risks), "decay_risks", InsightSeverity::High, InsightPhase::RecordHealth,
             [](size_t n) { return count_text(n) + " records at risk of archival (strength < 0.15)"; });
  emit_group(sink, std::move(candidates), "promotion_candidates", InsightSeverity::Medium, InsightPhase::RecordHealth,
             [](size_t n) { return count_text(n) + " records eligible for promotion"; });
}

// The records of each tag, a record once per time it lists the tag; tags in
// the order first met.
struct TagGroups {
  StringKeyMap<size_t> index;
  std::vector<std::pair<std::string_view, std::vector<const Record*>>> groups;
};

TagGroups group_by_tag(const RecordMap& records) {
  TagGroups out;
  for (const auto& [id, r] : records) {
    for (const std::string& tag : r.tags) {
      auto [it, fresh] = out.index.try_emplace(tag, out.groups.size());
      if (fresh) out.groups.emplace_back(tag, std::vector<const Record*>());
      out.groups[it->second].second.push_back(&r);
    }
  }
  return out;
}

std::vector<std::string> ids_of(const std::vector<const Record*>& rs) {
  std::vector<std::string> out;
  out.reserve(rs.size());
  for (const Record* r : rs) out.push_back(r->id);
  return out;
}

void tag_clusters_and_conflicts(const TagGroups& tags, InsightSink& sink) {
  for (const auto& [tag, rs] : tags.groups) {
    if (rs.size() < 3) continue;
    sink.emit([&] {
      Insight in = new_insight("cluster", InsightSeverity::Low, InsightPhase::Relationships);
      in.record_ids = ids_of(rs);
      in.description = "Cluster around tag '" + std::string(tag) + "': " + count_text(rs.size()) + " records";
      in.evidence = {{"tag", std::string(tag)}, {"cluster_size", count_text(rs.size())}};
      return in;
    });
  }
  for (const auto& [tag, rs] : tags.groups) {
    bool working = false, identity = false;
    for (const Record* r : rs) {
      working = working || r->level == Level::Working;
      identity = identity || r->level == Level::Identity;
    }
    if (!working || !identity) continue;
    sink.emit([&] {
      Insight in = new_insight("conflict", InsightSeverity::High, InsightPhase::Relationships);
      in.record_ids = ids_of(rs);
      in.description = "Potential conflict on '" + std::string(tag) + "': WORKING and IDENTITY records coexist";
      in.evidence = {{"tag", std::string(tag)}, {"levels", "Working+Identity"}, {"signal", "level_mismatch"}};
      return in;
    });
  }
}

void causal_chains(const RecordMap& records, InsightSink& sink) {
  // Parent id -> its first child in map order. Its keys are every cause any
  // record names, whether a record holds that id or not.
  StringKeyMap<std::string_view> first_child;
  for (const auto& [id, r] : records)
    if (r.caused_by_id) first_child.try_emplace(*r.caused_by_id, id);
  if (first_child.empty()) return;
  for (const auto& [id, r] : records) {
    if ((r.caused_by_id && !r.caused_by_id->empty()) || !first_child.contains(id)) continue;
    std::vector<std::string_view> chain{id};
    for (size_t step = 0; step < kMaxChainLinks; ++step) {
      auto child = first_child.find(chain.back());
      if (child == first_child.end()) break;
      chain.push_back(child->second);
    }
    sink.emit([&] {
      Insight in = new_insight("causal_chain", InsightSeverity::Low, InsightPhase::Relationships);
      in.record_ids.assign(chain.begin(), chain.end());
      in.description = "Causal chain of " + count_text(chain.size()) + " records";
      in.evidence = {{"chain_length", count_text(chain.size())}};
      return in;
    });
  }
}

void relationships(const RecordMap& records, Env& env, InsightSink& sink) {
  tag_clusters_and_conflicts(group_by_tag(records), sink);

  std::vector<std::string_view> contradictions, stale, hot, hubs;
  for (const auto& [id, r] : records) {
    if (r.semantic_type == "contradiction" && r.strength >= kLive) contradictions.push_back(id);
    if (r.strength >= kLive && days_since(env, r.last_activated) >= 14.0) stale.push_back(id);
  }
  for (const auto& [id, r] : records)
    if (r.activation_count >= 3 && days_since(env, r.last_activated) < 1.0) hot.push_back(id);
  constexpr auto kRel = InsightPhase::Relationships;
  if (!contradictions.empty()) {
    const size_t n = contradictions.size();
    sink.emit([&] {
      Insight in = new_insight("explicit_contradiction", InsightSeverity::Critical, kRel);
      in.record_ids.assign(contradictions.begin(), contradictions.end());
      in.description = count_text(n) + " records explicitly marked as contradictions \u2014 require resolution";
      in.evidence = {{"count", count_text(n)}, {"signal", "semantic_type"}};
      return in;
    });
  }
  if (!stale.empty()) {
    const size_t n = stale.size();
    sink.emit([&] {
      Insight in = new_insight("stale_topics", InsightSeverity::Low, kRel);
      in.record_ids.assign(stale.begin(), stale.end());
      in.description = count_text(n) + " records not accessed in 14+ days";
      in.evidence = {{"count", count_text(n)}, {"threshold_days", "14"}};
      return in;
    });
  }
  emit_group(sink, std::move(hot), "hot_topics", InsightSeverity::Low, kRel,
             [](size_t n) { return count_text(n) + " hot records (frequently accessed recently)"; });

  for (const auto& [id, r] : records) {
    for (const auto& [target, weight] : r.connections) {
      if (!(weight >= 0.5f) || !(id < target)) continue;
      sink.emit([&] {
        Insight in = new_insight("coactivation_momentum", InsightSeverity::Low, kRel);
        in.record_ids = {id, target};
        const std::string w = fixed_decimals(weight, 2);
        in.description = "Strong co-activation between " + id + " and " + target + " (weight=" + w + ")";
        in.evidence = {{"connection_weight", w}};
        return in;
      });
    }
    if (r.connections.size() >= 10) hubs.push_back(id);
  }
  emit_group(sink, std::move(hubs), "graph_hubs", InsightSeverity::Medium, kRel,
             [](size_t n) { return count_text(n) + " hub records (10+ connections)"; });

  causal_chains(records, sink);
}

std::vector<Insight> collect(const RecordMap& records, Env& env, bool health, bool rel, bool cross) {
  std::vector<Insight> out;
  InsightSink sink(&out);
  if (health) record_health(records, sink);
  if (rel) relationships(records, env, sink);
  if (cross) cross_domain_insights_into(records, env, sink);
  return out;
}

}  // namespace

double days_since(Env& env, double last_activated) {
  const double now = std::max(env.now_seconds(), 0.0);
  return (now - last_activated) / 86400.0;
}

std::vector<Insight> detect_record_health_insights(const RecordMap& records) {
  std::vector<Insight> out;
  InsightSink sink(&out);
  record_health(records, sink);
  return out;
}

std::vector<Insight> detect_relationship_insights(const RecordMap& records, Env& env) {
  return collect(records, env, false, true, false);
}

std::vector<Insight> run_insight_detectors(const RecordMap& records, Env& env) {
  return collect(records, env, true, true, true);
}

uint64_t count_insights(const RecordMap& records, Env& env) {
  InsightSink sink(nullptr);
  record_health(records, sink);
  relationships(records, env, sink);
  cross_domain_insights_into(records, env, sink);
  return sink.count();
}

}  // namespace vesk
