// Vesk::search: the records that pass every filter given, by importance.
#include <algorithm>
#include <cmath>
#include <limits>

#include "model/record_importance.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// Importance as a sort key: NaN (a NaN strength) ranks below every number,
// so that the order is total.
float sort_key(const Record& r) {
  const float importance = record_importance(r);
  return std::isnan(importance) ? -std::numeric_limits<float>::infinity() : importance;
}

}  // namespace

std::vector<Record> Vesk::search(const SearchQuery& query) {
  const SearchFilter filter(query);
  const double now = std::max(0.0, env_.now_seconds());
  std::vector<Record> out;
  {
    auto records = records_.records.read();
    // The first `limit` of a stable sort by importance, highest first, with
    // only the kept records copied.
    struct Ranked {
      float key;
      size_t order;
      const Record* record;
    };
    std::vector<Ranked> ranked;
    size_t order = 0;
    for (const auto& [id, record] : *records) {
      if (filter.matches(record, now)) ranked.push_back({sort_key(record), order++, &record});
    }
    auto before = [](const Ranked& a, const Ranked& b) { return a.key != b.key ? a.key > b.key : a.order < b.order; };
    const size_t kept = std::min(filter.limit(), ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(), before);
    out.reserve(kept);
    for (size_t i = 0; i < kept; ++i) out.push_back(*ranked[i].record);
  }
  recall_.hits.count_search(out.empty());
  return out;
}

}  // namespace vesk
