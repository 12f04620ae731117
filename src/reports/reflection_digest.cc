// The reflection digest of a window of summaries.
#include "reports/reflection_digest.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/merge_sort.h"

namespace vesk {
namespace {

bool is_high(const ReflectionFinding& f) { return f.severity == "high"; }

struct KindTally {
  ReflectionKindSummary summary;
  float score_sum = 0.0f;
};

}  // namespace

uint64_t reflection_window_size(std::optional<uint64_t> limit) {
  if (!limit) return kDefaultReflectionWindow;
  return std::clamp<uint64_t>(*limit, 1, kMaxReflectionWindow);
}

ReflectionDigest reflection_digest(std::span<const ReflectionSummary> window) {
  ReflectionDigest d;
  if (window.empty()) return d;

  // Kinds in the order first met, so that ties keep a stable order.
  std::vector<KindTally> kinds;
  std::unordered_map<std::string_view, size_t> kind_index;
  std::vector<std::pair<std::string_view, uint64_t>> namespaces;
  std::unordered_map<std::string_view, size_t> namespace_index;
  std::vector<const ReflectionFinding*> candidates;

  for (const ReflectionSummary& s : window) {
    for (const ReflectionFinding& f : s.findings) {
      const bool high = is_high(f);
      ++d.total_findings;
      if (high) ++d.high_severity_findings;

      auto [k, new_kind] = kind_index.try_emplace(f.kind, kinds.size());
      if (new_kind) kinds.push_back(KindTally{ReflectionKindSummary{.kind = f.kind}});
      KindTally& t = kinds[k->second];
      ++t.summary.count;
      if (high) ++t.summary.high_severity_count;
      t.score_sum += f.score;

      auto [n, new_ns] = namespace_index.try_emplace(f.namespace_, namespaces.size());
      if (new_ns) namespaces.emplace_back(f.namespace_, 0);
      ++namespaces[n->second].second;

      candidates.push_back(&f);
    }
  }

  for (KindTally& t : kinds) {
    t.summary.avg_score = t.summary.count ? t.score_sum / static_cast<float>(t.summary.count) : 0.0f;
  }
  merge_sort(kinds, [](const KindTally& a, const KindTally& b) {
    if (a.summary.high_severity_count != b.summary.high_severity_count)
      return a.summary.high_severity_count > b.summary.high_severity_count;
    if (a.summary.count != b.summary.count) return a.summary.count > b.summary.count;
    return a.summary.avg_score > b.summary.avg_score;
  });
  for (size_t i = 0; i < kinds.size() && i < kMaxDigestKinds; ++i) d.kinds.push_back(std::move(kinds[i].summary));

  merge_sort(namespaces, [](const auto& a, const auto& b) {
    if (a.second != b.second) return a.second > b.second;
    return a.first < b.first;
  });
  for (size_t i = 0; i < namespaces.size() && i < kMaxDigestNamespaces; ++i)
    d.namespaces.emplace_back(namespaces[i].first);

  // Pointers are ordered and only the kept findings copied.
  merge_sort(candidates, [](const ReflectionFinding* a, const ReflectionFinding* b) {
    if (a->score > b->score) return true;
    if (b->score > a->score) return false;
    return a->title < b->title;
  });
  for (size_t i = 0; i < candidates.size() && i < kMaxDigestTopFindings; ++i) d.top_findings.push_back(*candidates[i]);

  d.summary_count = window.size();
  d.latest_timestamp = window.back().timestamp;
  d.latest_dominant_phase = window.back().dominant_phase;
  return d;
}

}  // namespace vesk
