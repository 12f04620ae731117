#include "maintenance/epistemic_update.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

namespace vesk {
namespace {

constexpr float kStrongLink = 0.1f;
constexpr float kVolatile = 0.05f;
constexpr float kChangedVolatility = 1.1920929e-7f;  // 2^-23
constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

enum LevelClass : uint8_t { kOtherLevel = 0, kWorkingLevel = 1, kIdentityLevel = 2 };

LevelClass level_class(Level l) {
  if (l == Level::Working) return kWorkingLevel;
  if (l == Level::Identity) return kIdentityLevel;
  return kOtherLevel;
}

// The level class that makes a conflicting pair with `c`, or none.
int opposite(LevelClass c) {
  if (c == kWorkingLevel) return kIdentityLevel;
  if (c == kIdentityLevel) return kWorkingLevel;
  return -1;
}

struct Outcome {
  int64_t support = 0;
  int64_t conflict = 0;
};

// What one neighbour adds. `relation` is null when neither keeps a type.
Outcome judge(uint32_t shared, bool either_contradiction, bool working_identity, bool same_semantic,
              const std::string* relation, bool strong) {
  if (shared == 0 && !relation && !strong) return {};
  const bool relation_conflict = relation && (relation->find("conflict") != std::string::npos ||
                                              relation->find("contradict") != std::string::npos);
  if (relation_conflict || (either_contradiction && shared >= 2) || (shared >= 1 && working_identity)) {
    return {0, 1};
  }
  const bool relation_support =
      relation && (*relation == "coactivation" || *relation == "associative" || *relation == "causal");
  if ((shared >= 1 && same_semantic) || relation_support || shared >= 2) return {1, 0};
  return {};
}

// A live record as the count sees it.
struct Live {
  const Record* record = nullptr;
  uint32_t ns = 0;
  uint32_t semantic = 0;
  LevelClass level = kOtherLevel;
  bool contradiction = false;
  std::vector<uint32_t> tags;  // distinct tag numbers, ascending
};

uint32_t shared_tags(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  uint32_t n = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++n, ++i, ++j;
    }
  }
  return n;
}

// What a neighbour reached through tags alone adds: no relation, not strong
// (nothing links the two either way).
Outcome judge_tag_mate(const Live& r, const Live& n, uint32_t shared) {
  return judge(shared, r.contradiction || n.contradiction, opposite(r.level) == n.level,
               r.semantic == n.semantic, nullptr, false);
}

// A tag subset of one namespace (and, for the per-type table, of one
// semantic type): the namespace, the type (kNone for the all-types table),
// the subset's size and its tag numbers ascending.
struct SubsetKey {
  std::array<uint32_t, 3 + kMaxSubsetTags> words{};

  bool operator==(const SubsetKey&) const = default;
};

struct SubsetKeyHash {
  size_t operator()(const SubsetKey& k) const {
    uint64_t h = 0x9e3779b97f4a7c15ull;
    const size_t used = 3 + k.words[2];
    for (size_t i = 0; i < used; ++i) {
      h ^= k.words[i] + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
      h *= 0xff51afd7ed558ccdull;
    }
    return static_cast<size_t>(h ^ (h >> 33));
  }
};

SubsetKey subset_key(uint32_t ns, uint32_t semantic, const std::vector<uint32_t>& tags, uint32_t mask) {
  SubsetKey k;
  k.words[0] = ns;
  k.words[1] = semantic;
  uint32_t size = 0;
  for (size_t b = 0; b < tags.size(); ++b)
    if (mask & (1u << b)) k.words[3 + size++] = tags[b];
  k.words[2] = size;
  return k;
}

// Live records carrying every tag of a subset, by level class: all of them,
// and the contradiction records among them.
struct AllTypesCell {
  std::array<uint32_t, 3> total{};
  std::array<uint32_t, 3> contradiction{};
};
using SameTypeCell = std::array<uint32_t, 3>;

class Counter {
 public:
  explicit Counter(const RecordMap& records) {
    std::unordered_map<std::string_view, uint32_t> tag_numbers;
    std::unordered_map<std::string_view, uint32_t> namespaces;
    std::unordered_map<std::string_view, uint32_t> semantics;
    auto number = [](std::unordered_map<std::string_view, uint32_t>& m, std::string_view s) {
      return m.try_emplace(s, static_cast<uint32_t>(m.size())).first->second;
    };
    contradiction_ = number(semantics, "contradiction");
    for (const auto& [id, r] : records) {
      if (!(r.strength >= kLiveStrength)) continue;  // NaN is not live
      Live l;
      l.record = &r;
      l.ns = number(namespaces, r.namespace_);
      l.semantic = number(semantics, r.semantic_type);
      l.level = level_class(r.level);
      l.contradiction = l.semantic == contradiction_;
      for (const std::string& tag : r.tags) l.tags.push_back(number(tag_numbers, tag));
      std::sort(l.tags.begin(), l.tags.end());
      l.tags.erase(std::unique(l.tags.begin(), l.tags.end()), l.tags.end());
      index_.emplace(std::string_view(id), static_cast<uint32_t>(live_.size()));
      live_.push_back(std::move(l));
    }
    by_tag_.resize(tag_numbers.size());
    for (uint32_t i = 0; i < live_.size(); ++i)
      for (uint32_t t : live_[i].tags) by_tag_[t].push_back(i);
    // Who links to whom, seen from the target: a tag-mate that links to R, or
    // keeps a relation type for it, is judged one by one.
    linked_from_.resize(live_.size());
    for (uint32_t i = 0; i < live_.size(); ++i) {
      const Record& r = *live_[i].record;
      for (const auto& [target, w] : r.connections)
        if (uint32_t t = find(target); t != kNone) linked_from_[t].push_back(i);
      for (const auto& [target, type] : r.connection_types)
        if (!r.connections.contains(target))
          if (uint32_t t = find(target); t != kNone) linked_from_[t].push_back(i);
    }
  }

  std::vector<EpistemicCounts> run() {
    support_.assign(live_.size(), 0);
    conflict_.assign(live_.size(), 0);
    count_subsets();
    walk_many_tagged();
    for (uint32_t i = 0; i < live_.size(); ++i)
      if (live_[i].tags.size() <= kMaxSubsetTags) add_tag_mates_by_class(i);
    std::vector<EpistemicCounts> out;
    out.reserve(live_.size());
    for (uint32_t i = 0; i < live_.size(); ++i) {
      judge_linked(i);
      out.push_back({live_[i].record->id, static_cast<uint32_t>(support_[i]), static_cast<uint32_t>(conflict_[i])});
    }
    return out;
  }

 private:
  uint32_t find(std::string_view id) const {
    auto it = index_.find(id);
    return it == index_.end() ? kNone : it->second;
  }

  void add(uint32_t i, Outcome o) {
    support_[i] += o.support;
    conflict_[i] += o.conflict;
  }

  // The per-subset counts of every record with few distinct tags.
  void count_subsets() {
    for (const Live& l : live_) {
      const size_t m = l.tags.size();
      if (m == 0 || m > kMaxSubsetTags) continue;
      for (uint32_t mask = 1; mask < (1u << m); ++mask) {
        AllTypesCell& all = all_types_[subset_key(l.ns, kNone, l.tags, mask)];
        ++all.total[l.level];
        if (l.contradiction) ++all.contradiction[l.level];
        ++same_type_[subset_key(l.ns, l.semantic, l.tags, mask)][l.level];
      }
    }
  }

  // Records with many distinct tags judge every tag-mate directly, and give
  // each tag-mate with few tags what they add to it: the judgement of a
  // tag-mate pair is the same from either side.
  void walk_many_tagged() {
    std::vector<uint32_t> seen(live_.size(), kNone);
    for (uint32_t i = 0; i < live_.size(); ++i) {
      const Live& r = live_[i];
      if (r.tags.size() <= kMaxSubsetTags) continue;
      seen[i] = i;
      for (uint32_t t : r.tags) {
        for (uint32_t j : by_tag_[t]) {
          if (seen[j] == i) continue;
          seen[j] = i;
          const Live& n = live_[j];
          if (n.ns != r.ns) continue;
          const Outcome o = judge_tag_mate(r, n, shared_tags(r.tags, n.tags));
          add(i, o);
          if (n.tags.size() <= kMaxSubsetTags) add(j, o);
        }
      }
    }
  }

  // What the tag-mates with few tags add to record i, from the subset counts:
  // over the non-empty subsets U of its tags, sum (-1)^(|U|+1) count(U) for
  // the tag-mates sharing at least one tag, and (-1)^|U| (|U|-1) count(U)
  // for those sharing at least two.
  void add_tag_mates_by_class(uint32_t i) {
    const Live& r = live_[i];
    const size_t m = r.tags.size();
    if (m == 0) return;
    // [at least k shared tags, k = 1, 2][level class]
    int64_t total[2][3] = {}, contra[2][3] = {}, same[2][3] = {};
    for (uint32_t mask = 1; mask < (1u << m); ++mask) {
      const int size = std::popcount(mask);
      const int64_t w1 = (size % 2 == 1) ? 1 : -1;
      const int64_t w2 = size >= 2 ? ((size % 2 == 0) ? 1 : -1) * (size - 1) : 0;
      const AllTypesCell& all = all_types_.at(subset_key(r.ns, kNone, r.tags, mask));
      const SameTypeCell& st = same_type_.at(subset_key(r.ns, r.semantic, r.tags, mask));
      for (int l = 0; l < 3; ++l) {
        total[0][l] += w1 * all.total[l];
        total[1][l] += w2 * all.total[l];
        contra[0][l] += w1 * all.contradiction[l];
        contra[1][l] += w2 * all.contradiction[l];
        same[0][l] += w1 * st[l];
        same[1][l] += w2 * st[l];
      }
    }
    // The record itself is among the counts, sharing all its tags with itself.
    for (int k = 0; k < 2; ++k) {
      if (k == 1 && m < 2) break;
      --total[k][r.level];
      --same[k][r.level];
      if (r.contradiction) --contra[k][r.level];
    }
    // Tag-mates with many tags were counted by their own walk.
    for (int a = 0; a < 2; ++a) {  // a = 0: exactly one shared tag; 1: two or more
      const uint32_t shared = a == 0 ? 1 : 2;
      for (int l = 0; l < 3; ++l) {
        auto n = [&](int64_t (&c)[2][3]) { return a == 0 ? c[0][l] - c[1][l] : c[1][l]; };
        const bool wi = opposite(r.level) == l;
        const int64_t n_contra = n(contra), n_same = n(same), n_total = n(total);
        // Classes of tag-mates: contradiction records, records of r's type,
        // and the others (for a contradiction record the first two coincide).
        const int64_t n_other = r.contradiction ? n_total - n_contra : n_total - n_contra - n_same;
        auto add_class = [&](int64_t count, bool contradiction, bool same_semantic) {
          if (count == 0) return;
          const Outcome o = judge(shared, r.contradiction || contradiction, wi, same_semantic, nullptr, false);
          support_[i] += o.support * count;
          conflict_[i] += o.conflict * count;
        };
        add_class(n_contra, true, r.contradiction);
        if (!r.contradiction) add_class(n_same, false, true);
        add_class(n_other, false, false);
      }
    }
  }

  // Neighbours joined by a link or a relation type, either way: the tag-mate
  // judgement counted above gives way to the whole one.
  void judge_linked(uint32_t i) {
    const Live& r = live_[i];
    const Record& rr = *r.record;
    std::vector<uint32_t> linked;
    for (const auto& [target, w] : rr.connections)
      if (uint32_t t = find(target); t != kNone) linked.push_back(t);
    for (const auto& [target, type] : rr.connection_types)
      if (uint32_t t = find(target); t != kNone) linked.push_back(t);
    linked.insert(linked.end(), linked_from_[i].begin(), linked_from_[i].end());
    std::sort(linked.begin(), linked.end());
    linked.erase(std::unique(linked.begin(), linked.end()), linked.end());
    for (uint32_t j : linked) {
      const Live& n = live_[j];
      if (n.ns != r.ns) continue;
      const Record& nr = *n.record;
      const uint32_t shared = shared_tags(r.tags, n.tags);
      const bool tag_mate = j != i && shared >= 1;
      const bool linked_by_r = rr.connections.contains(nr.id);
      if (!tag_mate && !linked_by_r) continue;  // not a neighbour of r
      if (tag_mate) {
        const Outcome o = judge_tag_mate(r, n, shared);
        support_[i] -= o.support;
        conflict_[i] -= o.conflict;
      }
      const std::string* relation = nullptr;
      if (auto it = rr.connection_types.find(nr.id); it != rr.connection_types.end()) {
        relation = &it->second;
      } else if (auto back = nr.connection_types.find(rr.id); back != nr.connection_types.end()) {
        relation = &back->second;
      }
      bool strong = false;
      if (auto it = rr.connections.find(nr.id); it != rr.connections.end()) {
        strong = it->second >= kStrongLink;
      } else if (auto back = nr.connections.find(rr.id); back != nr.connections.end()) {
        strong = back->second >= kStrongLink;
      }
      add(i, judge(shared, r.contradiction || n.contradiction, opposite(r.level) == n.level,
                   r.semantic == n.semantic, relation, strong));
    }
  }

  std::vector<Live> live_;
  std::unordered_map<std::string_view, uint32_t> index_;
  std::vector<std::vector<uint32_t>> by_tag_;
  std::vector<std::vector<uint32_t>> linked_from_;
  uint32_t contradiction_ = 0;
  std::unordered_map<SubsetKey, AllTypesCell, SubsetKeyHash> all_types_;
  std::unordered_map<SubsetKey, SameTypeCell, SubsetKeyHash> same_type_;
  std::vector<int64_t> support_;
  std::vector<int64_t> conflict_;
};

// weight x |now - before| / max(now, before, 1), left to right in 32 bits.
float mass_change(float weight, uint32_t now, uint32_t before) {
  const float diff = static_cast<float>(now > before ? now - before : before - now);
  return weight * diff / static_cast<float>(std::max({now, before, 1u}));
}

}  // namespace

std::vector<EpistemicCounts> count_epistemic_neighbours(const RecordMap& records) {
  return Counter(records).run();
}

EpistemicPhaseReport apply_epistemic_counts(RecordMap& records, const std::vector<EpistemicCounts>& counts) {
  EpistemicPhaseReport report;
  for (const EpistemicCounts& c : counts) {
    Record& r = *records.find_value(c.id);
    report.total_support_links += c.support;
    report.total_conflict_links += c.conflict;
    const uint32_t old_s = r.support_mass;
    const uint32_t old_c = r.conflict_mass;
    const float old_v = r.volatility;
    r.support_mass = c.support;
    r.conflict_mass = c.conflict;
    const float change = std::min(1.0f, mass_change(0.2f, c.support, old_s) + mass_change(0.8f, c.conflict, old_c));
    r.volatility = 0.7f * old_v + 0.3f * change;
    if (c.support != old_s || c.conflict != old_c || std::fabs(r.volatility - old_v) > kChangedVolatility) {
      ++report.updated_records;
    }
    if (r.volatility >= kVolatile) ++report.volatile_records;
  }
  return report;
}

EpistemicPhaseReport update_epistemic_state(RecordMap& records) {
  return apply_epistemic_counts(records, count_epistemic_neighbours(records));
}

}  // namespace vesk
