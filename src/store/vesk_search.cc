// Vesk::search: the records that pass every filter given, by importance.
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "model/record_access.h"
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

// Marks a record that fails the filters.
constexpr float kDropped = std::numeric_limits<float>::quiet_NaN();

}  // namespace

std::vector<Record> Vesk::search(const SearchQuery& query) {
  const SearchFilter filter(query);
  const double now = std::max(0.0, env_.now_seconds());
  std::vector<Record> out;
  {
    auto records = records_.records.read();
    // The records an anonymous reader may not see, from the metadata index:
    // usually none, so the walk reads no metadata.
    std::unordered_set<const Record*> hidden;
    for (const Record* r : records_.by_metadata(records).records_with_key(*records, "acl_visibility"))
      if (!record_is_public(*r)) hidden.insert(r);

    // The walk is split over the thread pool (the map is only read); each
    // record's sort key lands at its place in map order, or kDropped.
    std::vector<const Record*> all;
    all.reserve(records->size());
    for (const auto& entry : *records) all.push_back(&entry.second);
    std::vector<float> keys(all.size());
    // Isolated: this thread holds the record map's lock, so while it waits it
    // must take on no other work of the pool (a maintenance phase).
    tbb::this_task_arena::isolate([&] {
      tbb::parallel_for(tbb::blocked_range<size_t>(0, all.size(), 1024), [&](const tbb::blocked_range<size_t>& range) {
        for (size_t i = range.begin(); i != range.end(); ++i) {
          const Record& r = *all[i];
          keys[i] = filter.matches_fields(r, now) && !hidden.contains(&r) ? sort_key(r) : kDropped;
        }
      });
    });

    // The first `limit` of a stable sort by importance, highest first, with
    // only the kept records copied.
    struct Ranked {
      float key;
      size_t order;
    };
    std::vector<Ranked> ranked;
    for (size_t i = 0; i < keys.size(); ++i)
      if (!std::isnan(keys[i])) ranked.push_back({keys[i], i});
    auto before = [](const Ranked& a, const Ranked& b) { return a.key != b.key ? a.key > b.key : a.order < b.order; };
    const size_t kept = std::min(filter.limit(), ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(), before);
    out.reserve(kept);
    for (size_t i = 0; i < kept; ++i) out.push_back(*all[ranked[i].order]);
  }
  recall_.hits.count_search(out.empty());
  return out;
}

}  // namespace vesk
