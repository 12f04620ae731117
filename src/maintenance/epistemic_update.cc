#include "maintenance/epistemic_update.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

#include "base/string_hash.h"

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

// What a relation type says of a pair, read once per type entry.
enum Relation : uint8_t { kNoRelation = 0, kConflictRelation, kSupportRelation, kOtherRelation };

Relation relation_of(std::string_view type) {
  if (type == "coactivation" || type == "associative" || type == "causal") return kSupportRelation;
  if (type.find("conflict") != std::string_view::npos || type.find("contradict") != std::string_view::npos) {
    return kConflictRelation;
  }
  return kOtherRelation;
}

// What one neighbour adds.
Outcome judge(uint32_t shared, bool either_contradiction, bool working_identity, bool same_semantic,
              Relation relation, bool strong) {
  if (shared == 0 && relation == kNoRelation && !strong) return {};
  if (relation == kConflictRelation || (either_contradiction && shared >= 2) || (shared >= 1 && working_identity)) {
    return {0, 1};
  }
  if ((shared >= 1 && same_semantic) || relation == kSupportRelation || shared >= 2) return {1, 0};
  return {};
}

// Live record numbers by id: open addressing with short ids kept in the
// slot, so a lookup of one of the millions of link targets touches one cache
// line, not a bucket, a node and the key's heap text. Longer ids, which the
// store does not make, go to a plain map.
class IdNumbers {
 public:
  explicit IdNumbers(size_t n) {
    size_t cap = 16;
    while (cap < 2 * n) cap *= 2;
    slots_.resize(cap);
    mask_ = cap - 1;
  }

  void insert(std::string_view id, uint32_t number) {
    if (id.size() > kInline) {
      long_.emplace(id, number);
      return;
    }
    const uint64_t h = hash_string(id);
    for (size_t p = h & mask_;; p = (p + 1) & mask_) {
      Slot& s = slots_[p];
      if (s.number == kNone) {
        s.hash = h;
        s.number = number;
        s.size = static_cast<uint8_t>(id.size());
        std::memcpy(s.key, id.data(), id.size());
        return;
      }
    }
  }

  uint32_t find(std::string_view id) const {
    if (id.size() > kInline) {
      auto it = long_.find(id);
      return it == long_.end() ? kNone : it->second;
    }
    const uint64_t h = hash_string(id);
    for (size_t p = h & mask_;; p = (p + 1) & mask_) {
      const Slot& s = slots_[p];
      if (s.number == kNone) return kNone;
      if (s.hash == h && s.size == id.size() && std::memcmp(s.key, id.data(), id.size()) == 0) return s.number;
    }
  }

 private:
  static constexpr size_t kInline = 19;
  struct Slot {
    uint64_t hash = 0;
    uint32_t number = kNone;
    uint8_t size = 0;
    char key[kInline] = {};
  };
  std::vector<Slot> slots_;
  size_t mask_ = 0;
  std::unordered_map<std::string_view, uint32_t> long_;
};

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
               r.semantic == n.semantic, kNoRelation, false);
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
    index_ = IdNumbers(records.size());
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
      index_.insert(id, static_cast<uint32_t>(live_.size()));
      live_.push_back(std::move(l));
    }
    by_tag_.resize(tag_numbers.size());
    for (uint32_t i = 0; i < live_.size(); ++i)
      for (uint32_t t : live_[i].tags) by_tag_[t].push_back(i);
    // Each record's links and relation types, by neighbour number, and the
    // same seen from the target: a tag-mate that links to R, or keeps a
    // relation type for it, is judged one by one. Both kinds are kept flat,
    // record after record, as the store holds millions of links.
    out_start_.assign(live_.size() + 1, 0);
    std::vector<Edge> mine;
    size_t entries = 0;  // at most, a target with both kinds being one edge
    for (const Live& l : live_) entries += l.record->connections.size() + l.record->connection_types.size();
    out_.reserve(entries);
    for (uint32_t i = 0; i < live_.size(); ++i) {
      const Record& r = *live_[i].record;
      // Links and types are walked, not looked up in each other: a target
      // with both has two entries, merged after the sort.
      mine.clear();
      for (const auto& [target, w] : r.connections)
        if (uint32_t t = find(target); t != kNone) mine.push_back({t, w, true, kNoRelation});
      for (const auto& [target, type] : r.connection_types)
        if (uint32_t t = find(target); t != kNone) mine.push_back({t, 0.0f, false, relation_of(type.view())});
      std::sort(mine.begin(), mine.end(), [](const Edge& a, const Edge& b) {
        return a.other != b.other ? a.other < b.other : a.has_weight > b.has_weight;
      });
      for (const Edge& e : mine) {
        if (out_.size() > out_start_[i] && out_.back().other == e.other) {
          out_.back().relation = e.relation;  // the link's entry takes the type
        } else {
          out_.push_back(e);
        }
      }
      out_start_[i + 1] = static_cast<uint32_t>(out_.size());
    }
    // The same edges seen from their targets, by source in record order.
    in_start_.assign(live_.size() + 1, 0);
    for (const Edge& e : out_) ++in_start_[e.other + 1];
    for (size_t i = 0; i < live_.size(); ++i) in_start_[i + 1] += in_start_[i];
    in_.resize(out_.size());
    std::vector<uint32_t> fill(in_start_.begin(), in_start_.end() - 1);
    for (uint32_t i = 0; i < live_.size(); ++i)
      for (uint32_t k = out_start_[i]; k < out_start_[i + 1]; ++k) {
        const Edge& e = out_[k];
        in_[fill[e.other]++] = {i, e.weight, e.has_weight, e.relation};
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
  uint32_t find(std::string_view id) const { return index_.find(id); }

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
          const Outcome o = judge(shared, r.contradiction || contradiction, wi, same_semantic, kNoRelation, false);
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
  // judgement counted above gives way to the whole one. Both edge lists are
  // in neighbour order (in_ is filled in record order), so one merge pairs
  // R's entry for N with N's entry for R.
  void judge_linked(uint32_t i) {
    const Live& r = live_[i];
    const Edge* out = out_.data() + out_start_[i];
    const Edge* in = in_.data() + in_start_[i];
    const size_t out_size = out_start_[i + 1] - out_start_[i];
    const size_t in_size = in_start_[i + 1] - in_start_[i];
    size_t a = 0, b = 0;
    while (a < out_size || b < in_size) {
      const uint32_t j = b == in_size || (a < out_size && out[a].other <= in[b].other) ? out[a].other
                                                                                       : in[b].other;
      const Edge* mine = a < out_size && out[a].other == j ? &out[a++] : nullptr;
      const Edge* theirs = b < in_size && in[b].other == j ? &in[b++] : nullptr;
      const Live& n = live_[j];
      if (n.ns != r.ns) continue;
      const uint32_t shared = shared_tags(r.tags, n.tags);
      const bool tag_mate = j != i && shared >= 1;
      const bool linked_by_r = mine && mine->has_weight;
      if (!tag_mate && !linked_by_r) continue;  // not a neighbour of r
      if (tag_mate) {
        const Outcome o = judge_tag_mate(r, n, shared);
        support_[i] -= o.support;
        conflict_[i] -= o.conflict;
      }
      const Relation relation =
          mine && mine->relation != kNoRelation ? mine->relation : (theirs ? theirs->relation : kNoRelation);
      bool strong = false;
      if (linked_by_r) {
        strong = mine->weight >= kStrongLink;
      } else if (theirs && theirs->has_weight) {
        strong = theirs->weight >= kStrongLink;
      }
      add(i, judge(shared, r.contradiction || n.contradiction, opposite(r.level) == n.level,
                   r.semantic == n.semantic, relation, strong));
    }
  }

  std::vector<Live> live_;
  IdNumbers index_{0};
  std::vector<std::vector<uint32_t>> by_tag_;
  // A link or relation type between two live records: the other record, the
  // weight when there is a link, what the type says when one is kept.
  struct Edge {
    uint32_t other = 0;
    float weight = 0.0f;
    bool has_weight = false;
    Relation relation = kNoRelation;
  };
  // Record i's edges are out_[out_start_[i]] up to out_[out_start_[i + 1]],
  // by neighbour number; in_ likewise holds the edges that point at it.
  std::vector<Edge> out_;
  std::vector<uint32_t> out_start_;
  std::vector<Edge> in_;
  std::vector<uint32_t> in_start_;
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
