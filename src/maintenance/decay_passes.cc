#include "maintenance/decay_passes.h"

#include <algorithm>
#include <cmath>

#include "maintenance/archive_protection.h"
#include "maintenance/route_state_decay.h"

namespace vesk {
namespace {

bool weak(float strength) { return !(strength >= kWeakStrength); }  // NaN is weak

// Drops the links of `r` to records in `gone` and, with `fade`, the weak
// ones too while the rest fade: the floor is tested on the weight before
// this pass's fade, so each link is looked at once.
void erase_links(Record& r, const StringSet& gone, bool fade) {
  std::vector<std::string> drop;
  const bool any_gone = !gone.empty();
  for (auto& [target, weight] : r.connections) {
    if ((fade && !(weight >= kWeakLink)) || (any_gone && gone.contains(target))) {
      drop.push_back(target);
    } else if (fade) {
      weight *= kLinkFade;
    }
  }
  if (any_gone)
    for (const auto& [target, type] : r.connection_types)
      if (gone.contains(target)) drop.push_back(target);
  for (const std::string& target : drop) {
    r.connections.erase(target);
    r.connection_types.erase(target);
  }
}

void remove_all(RecordMap& records, const std::vector<std::string>& ids) {
  for (const std::string& id : ids) records.erase(id);
}

}  // namespace

float level_decay_factor(const Record& record) {
  const float rate = level_decay_rate(record.level);
  const float pull = std::min(static_cast<float>(record.activation_count) / 10.0f, 1.0f);
  const float r = std::min(rate + (kDecayCeiling - rate) * pull, kDecayCeiling);
  const float salience = std::isnan(record.salience) ? 0.0f : std::clamp(record.salience, 0.0f, 1.0f);
  return std::min(r + 0.03f * salience, kDecayCeiling);
}

DecayPass decay_by_level(RecordMap& records, const StringSet& protected_tags) {
  DecayPass out;
  out.decayed = records.size();
  for (auto& [id, r] : records) {
    if (!r.pinned) r.strength *= level_decay_factor(r);
    if (weak(r.strength) && !is_archive_protected(r, protected_tags)) out.removed.push_back(id);
  }
  // Probed once per link: a hash set, not the list.
  const StringSet gone(out.removed.begin(), out.removed.end());
  for (auto& [id, r] : records) erase_links(r, gone, /*fade=*/true);
  remove_all(records, out.removed);
  return out;
}

DecayPass decay_by_route(RecordMap& records, const StringSet& protected_tags) {
  DecayPass out;
  out.decayed = records.size();
  for (auto& [id, r] : records) {
    route_state_decay_factor(r);
    if (weak(r.strength) && !is_archive_protected(r, protected_tags)) out.removed.push_back(id);
  }
  if (!out.removed.empty()) {
    const StringSet gone(out.removed.begin(), out.removed.end());
    for (auto& [id, r] : records) erase_links(r, gone, /*fade=*/false);
  }
  remove_all(records, out.removed);
  return out;
}

}  // namespace vesk
