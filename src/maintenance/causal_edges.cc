#include "maintenance/causal_edges.h"

#include <xxhash.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <charconv>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace vesk {
namespace {

constexpr std::string_view kCausalType = "causal";

// An ordered record pair; records are unique in the snapshot, so a pair of
// addresses names the pair of ids.
using EdgeKey = std::pair<const Record*, const Record*>;

struct EdgeKeyHash {
  size_t operator()(const EdgeKey& k) const {
    const auto a = reinterpret_cast<uintptr_t>(k.first);
    const auto b = reinterpret_cast<uintptr_t>(k.second);
    return static_cast<size_t>(a * 0x9E3779B97F4A7C15ull ^ (b + 0x7F4A7C159E3779B9ull + (a << 6) + (a >> 2)));
  }
};

using EdgeKeySet = std::unordered_set<EdgeKey, EdgeKeyHash>;

struct StateFree {
  void operator()(XXH3_state_t* s) const { XXH3_freeState(s); }
};

}  // namespace

uint64_t causal_corpus_fingerprint(const CycleSnapshot& records) {
  std::vector<const Record*> sorted;
  sorted.reserve(records.size());
  for (const auto& [id, record] : records) sorted.push_back(&record);
  std::sort(sorted.begin(), sorted.end(), [](const Record* a, const Record* b) { return a->id < b->id; });

  // The text is hashed line by line through the streaming state (the same
  // hash as of the whole text at once), with one line buffer reused.
  std::unique_ptr<XXH3_state_t, StateFree> state(XXH3_createState());
  XXH3_64bits_reset(state.get());
  std::string line;
  std::vector<std::string_view> targets;
  char bits[24];
  for (const Record* r : sorted) {
    line.clear();
    line.append(r->id).append("|").append(r->namespace_).append("|");
    const auto [end, ec] = std::to_chars(bits, bits + sizeof bits, std::bit_cast<uint64_t>(r->created_at));
    line.append(bits, end).append("|");
    if (r->caused_by_id) line.append(*r->caused_by_id);
    line.append("|");
    targets.clear();
    for (const auto& [target, type] : r->connection_types)
      if (type == kCausalType) targets.push_back(target);
    std::sort(targets.begin(), targets.end());
    for (std::string_view t : targets) line.append(t).append(",");
    line.append("\n");
    XXH3_64bits_update(state.get(), line.data(), line.size());
  }
  return XXH3_64bits_digest(state.get());
}

CausalEdgeScan find_causal_edges(const CycleSnapshot& records, CausalTemporalBudgetMode budget) {
  CausalEdgeScan scan;
  EdgeKeySet keys;
  auto emit = [&](const Record* cause, const Record* effect, bool explicit_edge) {
    if (!keys.emplace(cause, effect).second) return false;
    scan.edges.push_back(RecordCausalEdge{cause, effect, effect->created_at, explicit_edge});
    return true;
  };

  for (const auto& [id, x] : records) {
    if (x.caused_by_id) {
      auto c = records.find(*x.caused_by_id);
      if (c != records.end() && c->second.namespace_ == x.namespace_ && emit(&c->second, &x, true))
        ++scan.explicit_edges_found;
    }
    for (const auto& [target, type] : x.connection_types) {
      if (type != kCausalType) continue;
      auto t = records.find(target);
      if (t == records.end() || t->second.namespace_ != x.namespace_) continue;
      const Record* other = &t->second;
      const bool other_first = other->created_at < x.created_at;
      if (emit(other_first ? other : &x, other_first ? &x : other, true)) ++scan.explicit_edges_found;
    }
  }

  StringKeyMap<std::vector<const Record*>> timelines;
  for (const auto& [id, record] : records) timelines[record.namespace_].push_back(&record);
  for (auto& [ns, timeline] : timelines) {
    // NaN-safe: a time that is not a number sorts last and never makes an edge.
    std::stable_sort(timeline.begin(), timeline.end(), [](const Record* a, const Record* b) {
      const bool an = std::isnan(a->created_at), bn = std::isnan(b->created_at);
      if (an || bn) return !an && bn;
      return a->created_at < b->created_at;
    });
    ++scan.temporal_namespaces_scanned;
    const size_t n = timeline.size();
    uint64_t found = 0;
    bool capped = false;
    for (size_t i = 0; i + 1 < n && !capped; ++i) {
      const Record* cause = timeline[i];
      for (size_t j = i + 1; j < n; ++j) {
        if (budget == CausalTemporalBudgetMode::NearbySuccessors && j > i + kCausalNearbySuccessors) {
          scan.temporal_pairs_skipped_by_budget += n - j;
          break;
        }
        ++scan.temporal_pairs_considered;
        const double d = timeline[j]->created_at - cause->created_at;
        if (d > kCausalTemporalWindowSeconds) break;
        if (!(d > 0.0)) continue;
        if (!emit(cause, timeline[j], false)) continue;
        ++scan.temporal_edges_found;
        if (++found == kCausalTemporalEdgeCap) {
          capped = true;
          break;
        }
      }
    }
    if (capped) {
      ++scan.temporal_namespaces_hit_cap;
      if (n > kCausalTemporalEdgeCap + 1) scan.temporal_edges_capped += n - (kCausalTemporalEdgeCap + 1);
    }
  }
  return scan;
}

}  // namespace vesk
