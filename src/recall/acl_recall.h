// Access-controlled structured recall: a recall on behalf of a named subject
// that applies the records' read access rules (model/record_access.h) before
// ranking.
//
// Every record of the recall's namespaces that is valid now is checked for
// the subject. In "enforce" mode the records the subject may not read are
// left out of the ranking and only counted; in "audit" mode nothing is left
// out and each denial is reported with its reason. The records taking part
// are ranked as readable (the ranking itself reads as an anonymous reader),
// so a restricted record the subject may read can be returned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/json_value.h"
#include "model/scored_record.h"

namespace vesk {

enum class AclEnforcement : uint8_t { Enforce, Audit };

// "enforce" or "audit", matched exactly; anything else is none.
std::optional<AclEnforcement> parse_acl_enforcement(std::string_view mode);
std::string_view acl_enforcement_name(AclEnforcement mode);

inline constexpr std::string_view kAclEnforcementError = "enforcement_mode must be 'audit' or 'enforce'";

// One record denied to the subject.
struct AccessDenial {
  std::string record_id;
  std::string namespace_;
  std::string reason;
  std::optional<std::string> policy_version;
};

struct AclRecallAnswer {
  AclEnforcement mode = AclEnforcement::Enforce;
  // Records of the namespaces valid now, each checked once.
  size_t evaluated_count = 0;
  // Those denied to the subject, in either mode.
  size_t denied_count = 0;
  std::vector<ScoredRecord> results;
  // The denials, in audit mode only.
  std::vector<AccessDenial> audit_decisions;
};

// {"enforcement_mode", "evaluated_count", "denied_count", "results" (each
// {"id", "content", "score", "namespace", "level"}), "audit_decisions" (each
// {"record_id", "namespace", "allowed": false, "reason", "policy_version"
// or null})}.
JsonObject acl_recall_dict(const AclRecallAnswer& answer);

}  // namespace vesk
