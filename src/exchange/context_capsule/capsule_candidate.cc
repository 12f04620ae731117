#include "exchange/context_capsule/capsule_candidate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audit/evidence_vocabulary.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr std::string_view kCategoryNames[] = {
    "refutation_scar", "evidence_debt", "active_goal", "contradiction",    "outcome",
    "decision",        "identity",      "domain",      "purpose_relevant",
};
constexpr uint64_t kBasePriorities[] = {
    1000000000, 900000000, 800000000, 750000000, 650000000, 600000000, 550000000, 500000000, 400000000,
};

constexpr std::string_view kGoalTags[] = {"goal", "task", "todo", "mission", "active-goal", "scheduled-task"};
constexpr std::string_view kOutcomeTags[] = {"autonomous-outcome", "outcome-failure", "outcome", "failure"};
constexpr std::string_view kClosedStatuses[] = {"done", "closed", "completed", "cancelled"};

bool has_tag(const Record& r, std::string_view tag) {
  return std::find(r.tags.begin(), r.tags.end(), tag) != r.tags.end();
}

template <size_t N>
bool has_any_tag(const Record& r, const std::string_view (&tags)[N]) {
  for (const std::string& t : r.tags) {
    if (std::find(std::begin(tags), std::end(tags), t) != std::end(tags)) return true;
  }
  return false;
}

bool equals_ignoring_ascii_case(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != lower[i]) return false;
  }
  return true;
}

bool is_rejected(const Record& r, const CapsuleMetadata& m) {
  if (m.answer_permission && parse_answer_permission(*m.answer_permission) == AnswerPermission::Block) return true;
  if (m.admission && equals_ignoring_ascii_case(trim_unicode_white_space(*m.admission), "block")) return true;
  if (m.verification_status && parse_verification_status(*m.verification_status) == VerificationStatus::Superseded) {
    return true;
  }
  return m.superseded_by && !r.valid_until;
}

// The status is lower-cased but not trimmed: " done" is still open.
bool is_closed(const CapsuleMetadata& m) {
  const std::string* status = m.status ? m.status : m.project_status;
  if (!status) return false;
  for (std::string_view closed : kClosedStatuses) {
    if (equals_ignoring_ascii_case(*status, closed)) return true;
  }
  return false;
}

std::optional<CapsuleCategory> category_of(const Record& r, const CapsuleMetadata& m, uint64_t overlap) {
  if (has_tag(r, "consequence-refute")) return CapsuleCategory::RefutationScar;
  if (has_tag(r, "consequence-inconclusive") && !has_tag(r, "consequence-support")) {
    return CapsuleCategory::EvidenceDebt;
  }
  if (has_any_tag(r, kGoalTags) && !is_closed(m)) return CapsuleCategory::ActiveGoal;
  if (r.semantic_type == "contradiction" || has_tag(r, "contradiction")) return CapsuleCategory::Contradiction;
  if (has_any_tag(r, kOutcomeTags)) return CapsuleCategory::Outcome;
  if (r.semantic_type == "decision" || r.level == Level::Decisions) return CapsuleCategory::Decision;
  if (r.level == Level::Identity) return CapsuleCategory::Identity;
  if (r.level == Level::Domain) return CapsuleCategory::Domain;
  if (overlap >= 1) return CapsuleCategory::PurposeRelevant;
  return std::nullopt;
}

float usable(float v) { return std::isfinite(v) && v > 0.0f ? v : 0.0f; }

// round(v x 1000) with the product in 32 bits, halves away from zero.
uint64_t thousandths(float v) { return static_cast<uint64_t>(std::round(v * 1000.0f)); }

uint64_t priority_of(CapsuleCategory c, uint64_t overlap, float salience, float confidence) {
  const float s = usable(salience), k = usable(confidence);
  const uint64_t s_term = s > 1.0f ? 10000 : 10 * thousandths(s);
  const uint64_t c_term = k > 1.0f ? 1000 : thousandths(k);
  return capsule_base_priority(c) + std::min<uint64_t>(overlap, 999) * 10000 + s_term + c_term;
}

}  // namespace

// One walk of the record's few entries costs less than one hash lookup per
// key.
CapsuleMetadata capsule_metadata(const Record& r) {
  CapsuleMetadata m;
  for (const auto& [key, value] : r.metadata) {
    switch (key.size()) {
      case 6: if (key == "status") m.status = &value; break;
      case 9: if (key == "admission") m.admission = &value; break;
      case 13: if (key == "superseded_by") m.superseded_by = &value; break;
      case 14:
        if (key == "acl_visibility") m.acl_visibility = &value;
        else if (key == "project_status") m.project_status = &value;
        break;
      case 17: if (key == "answer_permission") m.answer_permission = &value; break;
      case 19: if (key == "verification_status") m.verification_status = &value; break;
      default: break;
    }
  }
  return m;
}

std::string_view capsule_category_name(CapsuleCategory c) { return kCategoryNames[static_cast<size_t>(c)]; }
uint64_t capsule_base_priority(CapsuleCategory c) { return kBasePriorities[static_cast<size_t>(c)]; }

bool passes_capsule_filter(const Record& r, std::string_view namespace_, double at) {
  return passes_capsule_filter(r, namespace_, at, capsule_metadata(r));
}

bool passes_capsule_filter(const Record& r, std::string_view namespace_, double at, const CapsuleMetadata& m) {
  if (r.namespace_ != namespace_) return false;
  if (r.valid_from && !(std::isfinite(*r.valid_from) && *r.valid_from <= at)) return false;
  if (r.valid_until && !(std::isfinite(*r.valid_until) && *r.valid_until > at)) return false;
  // An anonymous reader has no principal, role or group, so of the access
  // rules (record_access_allowed) only "public or legacy" can let it in: no
  // visibility entry, or "public".
  return !m.acl_visibility || *m.acl_visibility == "public";
}

std::optional<CapsuleCandidate> classify_capsule_candidate(const Record& r, const CapsuleTermMatcher& purpose) {
  return classify_capsule_candidate(r, purpose, capsule_metadata(r));
}

std::optional<CapsuleCandidate> classify_capsule_candidate(const Record& r, const CapsuleTermMatcher& purpose,
                                                           const CapsuleMetadata& m) {
  if (is_rejected(r, m)) return std::nullopt;
  const uint64_t overlap = purpose.shared_terms(r.content, r.tags, r.semantic_type);
  auto category = category_of(r, m, overlap);
  if (!category) return std::nullopt;
  return CapsuleCandidate{&r, priority_of(*category, overlap, r.salience, r.confidence), *category, overlap};
}

std::vector<std::string> capsule_selection_reasons(const CapsuleCandidate& c) {
  std::vector<std::string> reasons;
  reasons.emplace_back(capsule_category_name(c.category));
  if (c.overlap >= 1) reasons.push_back("purpose_overlap:" + std::to_string(c.overlap));
  if (c.record->salience > 0.0f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "salience:%.3f", static_cast<double>(c.record->salience));
    reasons.emplace_back(buf);
  }
  return reasons;
}

bool capsule_candidate_before(const CapsuleCandidate& a, const CapsuleCandidate& b) {
  if (a.priority != b.priority) return a.priority > b.priority;
  const double ta = a.record->created_at, tb = b.record->created_at;
  if (ta > tb) return true;
  if (tb > ta) return false;
  return a.record->id < b.record->id;
}

}  // namespace vesk
