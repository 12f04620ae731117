#include "cognitive/belief_hypotheses.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include "cognitive/hashed_id.h"

namespace vesk {
namespace {

bool is_conflict_relation(std::string_view type) {
  return type.find("conflict") != std::string_view::npos || type.find("contradict") != std::string_view::npos;
}

// Undirected conflict edges, each record's neighbours ascending, no repeats.
std::vector<std::vector<size_t>> conflict_edges(const ClaimGroup& group) {
  StringKeyMap<size_t> number;
  for (size_t i = 0; i < group.size(); ++i) number.try_emplace(group[i]->id, i);
  std::vector<std::vector<size_t>> edges(group.size());
  for (size_t i = 0; i < group.size(); ++i) {
    for (const auto& [target, type] : group[i]->connection_types) {
      if (!is_conflict_relation(type)) continue;
      auto it = number.find(target);
      if (it == number.end() || it->second == i) continue;
      edges[i].push_back(it->second);
      edges[it->second].push_back(i);
    }
  }
  for (auto& e : edges) {
    std::sort(e.begin(), e.end());
    e.erase(std::unique(e.begin(), e.end()), e.end());
  }
  return edges;
}

HypothesisSplit split_by_colour(const ClaimGroup& group, const std::vector<std::vector<size_t>>& edges) {
  const size_t n = group.size();
  std::vector<size_t> by_id(n);
  for (size_t i = 0; i < n; ++i) by_id[i] = i;
  std::sort(by_id.begin(), by_id.end(), [&](size_t a, size_t b) { return group[a]->id < group[b]->id; });

  HypothesisSplit out;
  std::vector<int> colour(n, -1);
  std::vector<bool> visited(n, false);
  size_t components = 0;
  bool one_sided = false;
  for (size_t start : by_id) {
    if (edges[start].empty() || colour[start] != -1) continue;
    ++components;
    colour[start] = group[start]->semantic_type == "contradiction" ? 1 : 0;
    bool two_sided = true;
    std::vector<size_t> members;
    std::deque<size_t> queue{start};
    while (!queue.empty()) {
      const size_t r = queue.front();
      queue.pop_front();
      if (visited[r]) continue;
      visited[r] = true;
      members.push_back(r);
      for (size_t m : edges[r]) {
        if (colour[m] == -1) {
          colour[m] = 1 - colour[r];
          queue.push_back(m);
        } else if (colour[m] == colour[r]) {
          two_sided = false;
        } else if (!visited[m]) {
          queue.push_back(m);
        }
      }
    }
    std::sort(members.begin(), members.end(), [&](size_t a, size_t b) { return group[a]->id < group[b]->id; });
    if (two_sided) {
      for (int side : {0, 1}) {
        ClaimGroup h;
        for (size_t m : members)
          if (colour[m] == side) h.push_back(group[m]);
        if (!h.empty()) out.hypotheses.push_back(std::move(h));
      }
    } else {
      one_sided = true;
      for (size_t m : members) out.hypotheses.push_back({group[m]});
    }
  }
  bool lone = false;
  for (size_t i = 0; i < n; ++i) {
    if (!edges[i].empty()) continue;
    lone = true;
    out.hypotheses.push_back({group[i]});
  }
  out.forced_irresolution = components >= 2 || one_sided || lone;
  return out;
}

}  // namespace

HypothesisSplit split_hypotheses(const ClaimGroup& group) {
  const std::vector<std::vector<size_t>> edges = conflict_edges(group);
  if (std::any_of(edges.begin(), edges.end(), [](const auto& e) { return !e.empty(); }))
    return split_by_colour(group, edges);

  HypothesisSplit out;
  ClaimGroup others, contradictions;
  for (const Record* r : group) (r->semantic_type == "contradiction" ? contradictions : others).push_back(r);
  if (!contradictions.empty()) {
    if (!others.empty()) out.hypotheses.push_back(std::move(others));
    out.hypotheses.push_back(std::move(contradictions));
    return out;
  }
  const bool disputed =
      std::any_of(group.begin(), group.end(), [](const Record* r) { return r->conflict_mass > r->support_mass; });
  if (disputed) {
    for (const Record* r : group) out.hypotheses.push_back({r});
    out.forced_irresolution = group.size() > 1;
  } else {
    out.hypotheses.push_back(group);
  }
  return out;
}

std::string hypothesis_id(std::string_view belief_id, std::vector<std::string> member_ids) {
  std::sort(member_ids.begin(), member_ids.end());
  std::string bytes(belief_id);
  for (const std::string& id : member_ids) {
    bytes += '\0';
    bytes += id;
  }
  return hashed_id_hex(bytes);
}

Hypothesis make_hypothesis(const std::string& belief_id, const ClaimGroup& members, double now) {
  Hypothesis h;
  h.belief_id = belief_id;
  h.prototype_record_ids.reserve(members.size());
  float confidence_sum = 0.0f, support = 0.0f, conflict = 0.0f;
  double newest = 0.0;
  for (const Record* r : members) {
    h.prototype_record_ids.push_back(r->id);
    confidence_sum += r->confidence;
    support += static_cast<float>(r->support_mass);
    conflict += static_cast<float>(r->conflict_mass);
    const double t = r->valid_from.value_or(r->created_at);
    if (t > newest) newest = t;
  }
  h.id = hypothesis_id(belief_id, h.prototype_record_ids);
  const float n = static_cast<float>(members.size());
  h.confidence = members.empty() ? 0.0f : confidence_sum / n;
  h.support_mass = support;
  h.conflict_mass = conflict;
  h.recency = static_cast<float>(std::exp(-std::max(0.0, (now - newest) / 86400.0) / 14.0));
  if (members.size() <= 1) {
    h.consistency = 1.0f;
  } else {
    float squares = 0.0f;
    for (const Record* r : members) squares += (r->confidence - h.confidence) * (r->confidence - h.confidence);
    h.consistency = 1.0f / (1.0f + squares / (n - 1.0f));
  }
  const float raw = (std::log(1.0f + support) + 1.0f) * h.confidence * h.recency * h.consistency -
                    0.35f * std::log(1.0f + conflict);
  h.score = raw > 0.0f ? raw : 0.0f;
  return h;
}

}  // namespace vesk
