#include "recall/acl_recall.h"

#include "model/level.h"

namespace vesk {

std::optional<AclEnforcement> parse_acl_enforcement(std::string_view mode) {
  if (mode == "enforce") return AclEnforcement::Enforce;
  if (mode == "audit") return AclEnforcement::Audit;
  return std::nullopt;
}

std::string_view acl_enforcement_name(AclEnforcement mode) {
  return mode == AclEnforcement::Audit ? "audit" : "enforce";
}

JsonObject acl_recall_dict(const AclRecallAnswer& answer) {
  JsonValue::Array results;
  results.reserve(answer.results.size());
  for (const ScoredRecord& r : answer.results) {
    JsonObject item;
    item.reserve(5);
    item.append("id", r.record.id);
    item.append("content", r.record.content);
    item.append("score", static_cast<double>(r.score));
    item.append("namespace", r.record.namespace_);
    item.append("level", level_display_name(r.record.level));
    results.emplace_back(std::move(item));
  }
  JsonValue::Array decisions;
  decisions.reserve(answer.audit_decisions.size());
  for (const AccessDenial& d : answer.audit_decisions) {
    JsonObject item;
    item.reserve(5);
    item.append("record_id", d.record_id);
    item.append("namespace", d.namespace_);
    item.append("allowed", false);
    item.append("reason", d.reason);
    item.append("policy_version", d.policy_version ? JsonValue(*d.policy_version) : JsonValue());
    decisions.emplace_back(std::move(item));
  }
  JsonObject o;
  o.reserve(5);
  o.append("enforcement_mode", acl_enforcement_name(answer.mode));
  o.append("evaluated_count", static_cast<uint64_t>(answer.evaluated_count));
  o.append("denied_count", static_cast<uint64_t>(answer.denied_count));
  o.append("results", std::move(results));
  o.append("audit_decisions", std::move(decisions));
  return o;
}

}  // namespace vesk
