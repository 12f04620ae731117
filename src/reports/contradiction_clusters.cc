#include "reports/contradiction_clusters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/merge_sort.h"
#include "cognitive/hashed_id.h"

namespace vesk {
namespace {

struct Unstable {
  const Belief* belief;
  std::string_view namespace_;
  std::vector<std::string> records;
  StringSet tags;
};

std::string_view key_namespace(std::string_view key) { return key.substr(0, key.find(':')); }

bool is_unstable(const Belief& b) {
  return b.state == BeliefState::Unresolved || !(b.volatility < 0.2f) || !(b.stability > 1.0f) ||
         !(b.conflict_mass <= 0.0f);
}

std::string scoped(std::string_view ns, std::string_view value) {
  std::string s(ns);
  s += '\0';
  s += value;
  return s;
}

ContradictionCluster summarise(const std::vector<Unstable>& selected, const std::vector<size_t>& members) {
  ContradictionCluster c;
  c.namespace_ = std::string(selected[members[0]].namespace_);
  StringKeyMap<size_t> tag_counts;
  float volatility = 0.0f, stability = 0.0f, conflict = 0.0f, max_conflict = 0.0f;
  for (size_t m : members) {
    const Unstable& u = selected[m];
    const Belief& b = *u.belief;
    c.belief_ids.push_back(b.id);
    c.belief_keys.push_back(b.key);
    for (const std::string& r : u.records)
      if (c.record_ids.empty() || c.record_ids.back() != r) c.record_ids.push_back(r);
    for (const std::string& t : u.tags) ++tag_counts[t];
    if (b.state == BeliefState::Unresolved) ++c.unresolved_belief_count;
    if (b.volatility >= 0.2f) ++c.high_volatility_belief_count;
    volatility += b.volatility;
    stability += b.stability;
    conflict += b.conflict_mass;
    if (b.conflict_mass > max_conflict) max_conflict = b.conflict_mass;
  }
  std::sort(c.belief_ids.begin(), c.belief_ids.end());
  std::vector<std::string> all;
  for (const auto& [tag, n] : tag_counts) {
    if (n >= 2) c.shared_tags.push_back(tag);
    all.push_back(tag);
  }
  std::sort(c.shared_tags.begin(), c.shared_tags.end());
  if (c.shared_tags.empty()) {
    std::sort(all.begin(), all.end());
    all.resize(std::min<size_t>(all.size(), 3));
    c.shared_tags = std::move(all);
  }
  const float n = static_cast<float>(members.size());
  c.avg_volatility = volatility / n;
  c.avg_stability = stability / n;
  c.total_conflict_mass = conflict;
  c.max_conflict_mass = max_conflict;
  std::string bytes = c.namespace_;
  for (const std::string& id : c.belief_ids) {
    bytes += '\0';
    bytes += id;
  }
  c.id = hashed_id_hex(bytes);
  return c;
}

}  // namespace

std::vector<ContradictionCluster> contradiction_clusters(const RecordMap& records, const BeliefEngine& beliefs,
                                                         std::optional<std::string_view> namespace_,
                                                         std::optional<size_t> limit) {
  const size_t keep = limit ? std::min<size_t>(*limit, 100) : 20;
  if (keep == 0) return {};

  std::vector<Unstable> selected;
  for (const auto& [id, belief] : beliefs.beliefs) {
    const std::string_view ns = key_namespace(belief.key);
    if (namespace_ && ns != *namespace_) continue;
    if (!is_unstable(belief)) continue;
    Unstable u{&belief, ns, {}, {}};
    for (const std::string& h : belief.hypothesis_ids) {
      auto it = beliefs.hypotheses.find(h);
      if (it == beliefs.hypotheses.end()) continue;
      for (const std::string& r : it->second.prototype_record_ids)
        if (u.records.empty() || u.records.back() != r) u.records.push_back(r);
    }
    for (const std::string& r : u.records)
      if (const Record* record = records.find_value(r)) u.tags.insert(record->tags.begin(), record->tags.end());
    selected.push_back(std::move(u));
  }

  // Who carries what, within a namespace: record id and tag -> beliefs in
  // ascending order, so neighbours are pushed as a scan from the first would.
  StringKeyMap<std::vector<size_t>> by_record, by_tag;
  for (size_t i = 0; i < selected.size(); ++i) {
    for (const std::string& r : selected[i].records) {
      std::vector<size_t>& v = by_record[scoped(selected[i].namespace_, r)];
      if (v.empty() || v.back() != i) v.push_back(i);
    }
    for (const std::string& t : selected[i].tags) by_tag[scoped(selected[i].namespace_, t)].push_back(i);
  }

  std::vector<ContradictionCluster> clusters;
  std::vector<bool> placed(selected.size(), false);
  std::vector<size_t> stack, neighbours;
  for (size_t start = 0; start < selected.size(); ++start) {
    if (placed[start]) continue;
    placed[start] = true;
    stack.assign(1, start);
    std::vector<size_t> members;
    while (!stack.empty()) {
      const size_t top = stack.back();
      stack.pop_back();
      members.push_back(top);
      neighbours.clear();
      const Unstable& u = selected[top];
      auto gather = [&](const StringKeyMap<std::vector<size_t>>& index, std::string_view value) {
        auto it = index.find(scoped(u.namespace_, value));
        if (it == index.end()) return;
        for (size_t j : it->second)
          if (!placed[j]) neighbours.push_back(j);
      };
      for (const std::string& r : u.records) gather(by_record, r);
      for (const std::string& t : u.tags) gather(by_tag, t);
      std::sort(neighbours.begin(), neighbours.end());
      neighbours.erase(std::unique(neighbours.begin(), neighbours.end()), neighbours.end());
      for (size_t j : neighbours) {
        placed[j] = true;
        stack.push_back(j);
      }
    }
    clusters.push_back(summarise(selected, members));
  }

  merge_sort(clusters, [](const ContradictionCluster& a, const ContradictionCluster& b) {
    if (a.avg_volatility > b.avg_volatility) return true;
    if (b.avg_volatility > a.avg_volatility) return false;
    if (a.total_conflict_mass > b.total_conflict_mass) return true;
    if (b.total_conflict_mass > a.total_conflict_mass) return false;
    return a.belief_ids.size() > b.belief_ids.size();
  });
  if (clusters.size() > keep) clusters.resize(keep);
  return clusters;
}

}  // namespace vesk
