#include "maintenance/reflection_pass.h"

#include <cmath>

#include "maintenance/archive_protection.h"
#include "maintenance/epistemic_update.h"

namespace vesk {
namespace {

constexpr uint32_t kPromotionActivations = 5;
constexpr float kPromotionStrength = 0.7f;
constexpr float kVolatilityBlock = 0.2f;
constexpr uint32_t kIdentityActivations = 20;
constexpr float kIdentityStrength = 0.9f;
constexpr float kArchiveStrength = 0.05f;

bool valid_at(const Record& r, double now) {
  if (r.valid_from && !(std::isfinite(*r.valid_from) && *r.valid_from <= now)) return false;
  if (r.valid_until && !(std::isfinite(*r.valid_until) && *r.valid_until > now)) return false;
  return true;
}

bool meets_bar(const Record& r, const ReflectionForm& form) {
  if (r.level == Level::Identity) return false;
  if (r.activation_count < kPromotionActivations || !(r.strength >= kPromotionStrength)) return false;
  return !form.now || valid_at(r, *form.now);
}

Level next_level(Level l) {
  switch (l) {
    case Level::Working: return Level::Decisions;
    case Level::Decisions: return Level::Domain;
    default: return Level::Identity;
  }
}

}  // namespace

PromotionAndArchival promote_and_archive(RecordMap& records, const StringSet& protected_tags,
                                         const ReflectionForm& form) {
  PromotionAndArchival out;
  ReflectReport& report = out.report;

  std::vector<Record*> candidates;
  for (auto& [id, r] : records) {
    if (!meets_bar(r, form)) continue;
    if (r.level == Level::Working) {
      candidates.push_back(&r);
      continue;
    }
    if (r.semantic_type == "contradiction" || r.conflict_mass != 0) {
      ++report.blocked_conflict;
    } else if (!(r.volatility < kVolatilityBlock)) {  // NaN holds it back too
      ++report.blocked_volatility;
    } else if (r.level == Level::Domain &&
               (r.activation_count < kIdentityActivations || !(r.strength >= kIdentityStrength))) {
      ++report.blocked_identity_threshold;
    } else {
      candidates.push_back(&r);
    }
  }
  for (Record* r : candidates) r->level = next_level(r->level);
  report.promoted = candidates.size();

  for (const auto& [id, r] : records)
    if (!(r.strength >= kArchiveStrength) && !is_archive_protected(r, protected_tags)) out.archived.push_back(id);
  for (const std::string& id : out.archived) records.erase(id);
  report.archived = out.archived.size();

  if (form.drop_links_to_archived && !out.archived.empty()) {
    const StringSet gone(out.archived.begin(), out.archived.end());
    for (auto& [id, r] : records) {
      erase_if(r.connections, [&](const auto& e) { return gone.contains(e.first); });
      erase_if(r.connection_types, [&](const auto& e) { return gone.contains(e.first); });
    }
  }
  return out;
}

ReflectionPass run_reflection_pass(RecordMap& records, const StringSet& protected_tags, double now) {
  ReflectionPass pass;
  pass.epistemic = update_epistemic_state(records);
  pass.reflection = promote_and_archive(records, protected_tags, {.now = now, .drop_links_to_archived = true});
  return pass;
}

}  // namespace vesk
