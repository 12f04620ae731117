#include "maintenance/cross_domain_insights.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/string_hash.h"
#include "model/record_importance.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr float kLive = 0.05f;
constexpr InsightPhase kCross = InsightPhase::CrossDomain;

bool live(const Record& r) { return r.strength >= kLive; }

std::string count_text(size_t n) { return std::to_string(n); }

// Sorted distinct tags, for set comparisons.
std::vector<std::string_view> tag_set(const std::vector<std::string>& tags) {
  std::vector<std::string_view> out(tags.begin(), tags.end());
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

struct PairHash {
  size_t operator()(const std::pair<std::string_view, std::string_view>& p) const {
    const size_t a = std::hash<std::string_view>()(p.first), b = std::hash<std::string_view>()(p.second);
    return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
  }
};

void serendipity(const RecordMap& records, InsightSink& sink) {
  std::unordered_set<std::pair<std::string_view, std::string_view>, PairHash> seen;
  for (const auto& [id, a] : records) {
    if (!live(a)) continue;
    const float importance_a = record_importance(a);
    if (!(importance_a >= 0.3f)) continue;
    for (const auto& [target, weight] : a.connections) {
      if (!(weight >= 0.6f)) continue;
      const std::string_view x = id, y = target;
      if (!seen.insert(x < y ? std::pair{x, y} : std::pair{y, x}).second) continue;
      const Record* b = records.find_value(target);
      if (!b || !live(*b)) continue;
      const float importance_b = record_importance(*b);
      if (!(importance_b >= 0.3f)) continue;
      auto type = a.connection_types.find(target);
      if (type != a.connection_types.end() && type->second == "causal") continue;
      if (a.namespace_ != b->namespace_) continue;
      const float j = tag_set_jaccard(a.tags, b->tags);
      if (!(j < 0.2f)) continue;
      sink.emit([&] {
        Insight in = new_insight("serendipity", InsightSeverity::Medium, kCross);
        in.record_ids = {id, target};
        const std::string w = fixed_decimals(weight, 2), jt = fixed_decimals(j, 2);
        const std::string tag_a = a.tags.empty() ? "untagged" : a.tags.front();
        const std::string tag_b = b->tags.empty() ? "untagged" : b->tags.front();
        in.description = "Cross-domain connection: '" + content_preview(a.content) + "' (" + tag_a + ") <-> '" +
                         content_preview(b->content) + "' (" + tag_b + ") weight=" + w + ", jaccard=" + jt;
        in.evidence = {{"connection_weight", w},
                       {"tag_jaccard", jt},
                       {"connection_type", type != a.connection_types.end() ? type->second : "untyped"},
                       {"importance_a", fixed_decimals(importance_a, 2)},
                       {"importance_b", fixed_decimals(importance_b, 2)}};
        return in;
      });
    }
  }
}

void trending(const RecordMap& records, Env& env, InsightSink& sink) {
  std::vector<std::pair<const Record*, float>> hits;
  for (const auto& [id, r] : records) {
    if (live(r) && r.activation_velocity >= 2.0f && days_since(env, r.last_activated) < 3.0) {
      hits.emplace_back(&r, r.activation_velocity);
    }
  }
  if (hits.empty()) return;
  // NaN velocities never get here (the bar above is false for them).
  std::stable_sort(hits.begin(), hits.end(), [](const auto& x, const auto& y) { return x.second > y.second; });
  sink.emit([&] {
    Insight in = new_insight("trending", InsightSeverity::Medium, kCross);
    for (const auto& [r, v] : hits) in.record_ids.push_back(r->id);
    const std::string top = fixed_decimals(hits.front().second, 1);
    in.description = count_text(hits.size()) + " records trending (velocity >= " + fixed_decimals(2.0f, 0) +
                     "): top velocity " + top;
    in.evidence = {{"count", count_text(hits.size())}, {"top_velocity", top}, {"threshold", fixed_decimals(2.0f, 1)}};
    return in;
  });
}

void knowledge_gaps(const RecordMap& records, InsightSink& sink) {
  // Tag -> the distinct live records that carry it, tags in the order met.
  StringKeyMap<size_t> tag_index;
  std::vector<std::pair<std::string_view, std::vector<std::string_view>>> tags;
  for (const auto& [id, r] : records) {
    if (!live(r)) continue;
    for (const std::string& tag : r.tags) {
      auto [it, fresh] = tag_index.try_emplace(tag, tags.size());
      if (fresh) tags.emplace_back(tag, std::vector<std::string_view>());
      auto& ids = tags[it->second].second;
      // A record lists its tags before the next record: a repeat is the last.
      if (ids.empty() || ids.back() != id) ids.push_back(id);
    }
  }
  // Clusters: the groups of 3 or more, in that order; each record's clusters.
  std::vector<size_t> clusters;
  StringKeyMap<std::vector<uint32_t>> clusters_of;
  for (size_t t = 0; t < tags.size(); ++t) {
    if (tags[t].second.size() < 3) continue;
    const auto c = static_cast<uint32_t>(clusters.size());
    clusters.push_back(t);
    for (std::string_view id : tags[t].second) clusters_of[std::string(id)].push_back(c);
  }
  const uint64_t n = clusters.size();
  if (n < 2) return;
  auto key = [n](uint64_t i, uint64_t j) { return i * n + j; };
  // Pairs that share a record, and the links from an earlier cluster's
  // record to a later cluster's record.
  std::unordered_set<uint64_t> shared;
  struct Bridges {
    uint64_t count = 0;
    float weight = 0.0f;
  };
  std::unordered_map<uint64_t, Bridges> bridges;
  for (const auto& [id, cs] : clusters_of) {
    for (size_t x = 0; x < cs.size(); ++x)
      for (size_t y = x + 1; y < cs.size(); ++y) shared.insert(key(cs[x], cs[y]));
    const Record* a = records.find_value(id);
    for (const auto& [target, weight] : a->connections) {
      auto to = clusters_of.find(target);
      if (to == clusters_of.end()) continue;
      for (uint32_t i : cs)
        for (uint32_t j : to->second)
          if (i < j) {
            Bridges& b = bridges[key(i, j)];
            ++b.count;
            b.weight += weight;
          }
    }
  }
  for (uint64_t i = 0; i < n; ++i) {
    for (uint64_t j = i + 1; j < n; ++j) {
      if (shared.contains(key(i, j))) continue;
      auto found = bridges.find(key(i, j));
      const Bridges b = found == bridges.end() ? Bridges{} : found->second;
      if (b.count >= 2) continue;
      sink.emit([&] {
        const auto& [tag_p, ids_p] = tags[clusters[i]];
        const auto& [tag_q, ids_q] = tags[clusters[j]];
        Insight in = new_insight("knowledge_gap", InsightSeverity::Low, kCross);
        const std::string p(tag_p), q(tag_q), np = count_text(ids_p.size()), nq = count_text(ids_q.size());
        in.description = "Knowledge gap between '" + p + "' (" + np + " records) and '" + q + "' (" + nq +
                         " records): " + count_text(b.count) + " bridge connections";
        in.evidence = {{"cluster_a_tag", p},
                       {"cluster_b_tag", q},
                       {"cluster_a_size", np},
                       {"cluster_b_size", nq},
                       {"bridge_count", count_text(b.count)},
                       {"avg_bridge_weight",
                        b.count == 0 ? "0.00" : fixed_decimals(b.weight / static_cast<float>(b.count), 2)}};
        return in;
      });
    }
  }
}

void preference_patterns(const RecordMap& records, InsightSink& sink) {
  StringKeyMap<size_t> index;
  std::vector<std::pair<std::string_view, std::vector<std::string_view>>> domains;
  for (const auto& [id, r] : records) {
    if (r.semantic_type != "preference" || !live(r)) continue;
    const std::string_view domain = r.tags.empty() ? std::string_view("general") : std::string_view(r.tags.front());
    auto [it, fresh] = index.try_emplace(std::string(domain), domains.size());
    if (fresh) domains.emplace_back(domain, std::vector<std::string_view>());
    domains[it->second].second.push_back(id);
  }
  for (const auto& [domain, ids] : domains) {
    if (ids.size() < 2) continue;
    sink.emit([&] {
      Insight in = new_insight("preference_pattern", InsightSeverity::Medium, kCross);
      in.record_ids.assign(ids.begin(), ids.end());
      const std::string d(domain), n = count_text(ids.size());
      in.description = "Preference pattern in '" + d + "': " + n + " preference records form a style cluster";
      in.evidence = {{"domain", d}, {"preference_count", n}};
      return in;
    });
  }
}

void decision_conflicts(const RecordMap& records, InsightSink& sink) {
  std::vector<const Record*> decisions;
  for (const auto& [id, r] : records)
    if (r.semantic_type == "decision" && live(r)) decisions.push_back(&r);
  // A pair reaches Jaccard 0.3 only through a shared tag, or with no tags
  // on either side: the candidates of each decision are the later decisions
  // that share a tag with it (or, untagged, the later untagged ones).
  StringKeyMap<std::vector<uint32_t>> by_tag;
  std::vector<uint32_t> untagged;
  for (uint32_t i = 0; i < decisions.size(); ++i) {
    if (decisions[i]->tags.empty()) untagged.push_back(i);
    for (std::string_view tag : tag_set(decisions[i]->tags)) by_tag[std::string(tag)].push_back(i);
  }
  std::vector<uint32_t> later;
  for (uint32_t i = 0; i < decisions.size(); ++i) {
    const Record& d = *decisions[i];
    later.clear();
    auto add_after = [&](const std::vector<uint32_t>& list) {
      for (auto it = std::upper_bound(list.begin(), list.end(), i); it != list.end(); ++it) later.push_back(*it);
    };
    if (d.tags.empty()) {
      add_after(untagged);
    } else {
      for (std::string_view tag : tag_set(d.tags)) add_after(by_tag.find(tag)->second);
      std::sort(later.begin(), later.end());
      later.erase(std::unique(later.begin(), later.end()), later.end());
    }
    for (uint32_t k : later) {
      const Record& e = *decisions[k];
      if (d.namespace_ != e.namespace_) continue;
      const float j = tag_set_jaccard(d.tags, e.tags);
      if (!(j >= 0.3f)) continue;
      sink.emit([&] {
        Insight in = new_insight("decision_conflict", InsightSeverity::High, kCross);
        in.record_ids = {d.id, e.id};
        std::string shared;
        for (const std::string& tag : d.tags) {
          if (std::find(e.tags.begin(), e.tags.end(), tag) == e.tags.end()) continue;
          if (!shared.empty()) shared += ", ";
          shared += tag;
        }
        in.description = "Potentially conflicting decisions on [" + shared + "]: '" + content_preview(d.content, 50) +
                         "' vs '" + content_preview(e.content, 50) + "'";
        in.evidence = {{"tag_overlap", fixed_decimals(j, 2)},
                       {"strength_a", fixed_decimals(d.strength, 2)},
                       {"strength_b", fixed_decimals(e.strength, 2)},
                       {"shared_tags", shared}};
        return in;
      });
    }
  }
}

}  // namespace

float tag_set_jaccard(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.empty() && b.empty()) return 1.0f;
  if (a.empty() || b.empty()) return 0.0f;
  const std::vector<std::string_view> x = tag_set(a), y = tag_set(b);
  size_t common = 0;
  for (size_t i = 0, j = 0; i < x.size() && j < y.size();) {
    if (x[i] < y[j]) {
      ++i;
    } else if (y[j] < x[i]) {
      ++j;
    } else {
      ++common, ++i, ++j;
    }
  }
  const size_t all = x.size() + y.size() - common;
  return static_cast<float>(common) / static_cast<float>(all);
}

std::string content_preview(std::string_view text, size_t chars) {
  const std::string_view head = first_chars(text, chars);
  if (head.size() == text.size()) return std::string(text);
  return std::string(head) + "...";
}

void cross_domain_insights_into(const RecordMap& records, Env& env, InsightSink& sink) {
  serendipity(records, sink);
  trending(records, env, sink);
  knowledge_gaps(records, sink);
  preference_patterns(records, sink);
  decision_conflicts(records, sink);
}

std::vector<Insight> detect_cross_domain_insights(const RecordMap& records, Env& env) {
  std::vector<Insight> out;
  InsightSink sink(&out);
  cross_domain_insights_into(records, env, sink);
  return out;
}

}  // namespace vesk
