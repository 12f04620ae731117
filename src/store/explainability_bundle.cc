// The explainability bundle's own selections: corrections by target and the
// related reflection findings.
#include "store/explainability_bundle.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace vesk {
namespace {

void append_for(const std::vector<CorrectionLogEntry>& log, std::string_view kind, std::string_view id,
                std::vector<CorrectionLogEntry>& out) {
  for (const CorrectionLogEntry& e : log)
    if (e.target_kind == kind && e.target_id == id) out.push_back(e);
}

// Appends the entries of each id of `refs` not met before, in order.
template <class Ref>
void append_for_each(const std::vector<CorrectionLogEntry>& log, std::string_view kind, const std::vector<Ref>& refs,
                     std::vector<CorrectionLogEntry>& out) {
  std::set<std::string_view> seen;
  for (const Ref& r : refs)
    if (seen.insert(r.id).second) append_for(log, kind, r.id, out);
}

}  // namespace

void collect_bundle_corrections(const std::vector<CorrectionLogEntry>& log, ExplainabilityBundle& b) {
  const ExplainedRecallItem& item = b.explanation;
  append_for(log, "record", item.record_id, b.record_corrections);
  if (item.belief) append_for(log, "belief", item.belief->id, b.belief_corrections);
  append_for_each(log, "causal_pattern", item.causal_patterns, b.causal_corrections);
  append_for_each(log, "policy_hint", item.policy_hints, b.policy_corrections);
}

std::vector<ReflectionFinding> related_reflection_findings(const std::vector<ReflectionSummary>& summaries,
                                                           std::string_view record_id, std::string_view namespace_) {
  std::vector<ReflectionFinding> out;
  for (const ReflectionSummary& s : summaries)
    for (const ReflectionFinding& f : s.findings)
      if (f.namespace_ == namespace_ ||
          std::find(f.related_ids.begin(), f.related_ids.end(), record_id) != f.related_ids.end())
        out.push_back(f);
  return out;
}

}  // namespace vesk
