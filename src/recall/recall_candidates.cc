#include "recall/recall_candidates.h"

#include <algorithm>
#include <cmath>

#include "recall/record_validity.h"

namespace vesk {

RecallCandidates::RecallCandidates(const RecordMap& records, const RecallRecordIndex& index,
                                   std::span<const std::string> namespaces, double now,
                                   std::optional<double> created_by)
    : records_(records),
      index_(index),
      namespaces_(namespaces),
      now_(now),
      created_by_(created_by),
      in_namespaces_(index.record_count_in(namespaces)),
      lookup_([&records, now, created_by](std::string_view id) -> const Record* {
        // A record outside its validity window (or created later) is simply
        // not found. `t >= created_at` fails for a NaN created_at.
        const Record* r = records.find_value(id);
        if (!r || !record_valid_at(*r, now)) return nullptr;
        if (created_by && !(*created_by >= r->created_at)) return nullptr;
        return r;
      }) {}

bool RecallCandidates::in_namespaces(std::string_view id) const {
  const Record* r = lookup_(id);
  return r && std::find(namespaces_.begin(), namespaces_.end(), r->namespace_) != namespaces_.end();
}

void RecallCandidates::for_each_in_namespaces(const std::function<void(std::string_view id)>& visit) const {
  // Only a namespace holding a validity window (or a creation cutoff) needs
  // each record looked at.
  for (size_t i = 0; i < namespaces_.size(); ++i) {
    const std::string& ns = namespaces_[i];
    if (std::find(namespaces_.begin(), namespaces_.begin() + static_cast<ptrdiff_t>(i), ns) !=
        namespaces_.begin() + static_cast<ptrdiff_t>(i))
      continue;
    const bool windowed = created_by_ || index_.has_validity_window_in(ns);
    index_.for_each_record_in(std::span<const std::string>(&ns, 1), [&](const std::string& id) {
      if (!windowed || lookup_(id)) visit(id);
    });
  }
}

bool RecallCandidates::covers_every_record() const {
  if (created_by_ || !std::isfinite(now_) || in_namespaces_ != records_.size()) return false;
  for (const std::string& ns : namespaces_)
    if (index_.has_validity_window_in(ns)) return false;
  return true;
}

}  // namespace vesk
