#include "model/record_access.h"

#include "model/unicode_text.h"

namespace vesk {
namespace {

const std::string* metadata_value(const Record& r, const std::string& key) {
  auto it = r.metadata.find(key);
  return it == r.metadata.end() ? nullptr : &it->second;
}

bool any_listed(const std::set<std::string>& subject, const std::set<std::string>& allowed) {
  if (allowed.empty()) return false;
  for (const std::string& s : subject)
    if (allowed.count(to_lower_full(s))) return true;
  return false;
}

}  // namespace

std::set<std::string> parse_acl_list(const std::string* value) {
  std::set<std::string> out;
  if (!value) return out;
  std::string_view rest = *value;
  for (;;) {
    size_t comma = rest.find(',');
    std::string_view piece = trim_unicode_white_space(rest.substr(0, comma));
    if (!piece.empty()) out.insert(to_lower_full(piece));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return out;
}

void write_record_acl(StringMap& metadata, const std::string& key, const std::vector<std::string>& entries) {
  if (entries.empty()) {
    metadata.erase(key);
    return;
  }
  std::set<std::string> normalized;
  for (const std::string& e : entries) {
    std::string_view trimmed = trim_unicode_white_space(e);
    if (!trimmed.empty()) normalized.insert(to_lower_full(trimmed));
  }
  std::string joined;
  for (const std::string& e : normalized) {
    if (!joined.empty()) joined += ',';
    joined += e;
  }
  metadata[key] = std::move(joined);
}

bool record_is_public(const Record& record) {
  auto visibility = record.metadata.find(std::string_view("acl_visibility"));
  return visibility == record.metadata.end() || visibility->second == "public";
}

AccessDecision record_access_allowed(const Record& record, const AccessRequest& request) {
  static const std::string kVisibility = "acl_visibility", kRoles = "acl_read_roles", kGroups = "acl_read_groups",
                           kPrincipals = "acl_read_principals", kPolicy = "acl_policy_version";
  AccessDecision d;
  if (const std::string* v = metadata_value(record, kPolicy)) d.policy_version = *v;
  if (record_is_public(record)) {
    d.allowed = true;
    d.reason = "public_or_legacy";
    return d;
  }
  if (*metadata_value(record, kVisibility) != "restricted") {
    d.reason = "invalid_visibility_deny";
    return d;
  }
  bool match = false;
  if (request.subject_id) match = parse_acl_list(metadata_value(record, kPrincipals)).count(to_lower_full(*request.subject_id)) > 0;
  if (!match && !request.roles.empty()) match = any_listed(request.roles, parse_acl_list(metadata_value(record, kRoles)));
  if (!match && !request.groups.empty()) match = any_listed(request.groups, parse_acl_list(metadata_value(record, kGroups)));
  d.allowed = match;
  d.reason = match ? "allow_list_match" : "restricted_no_match";
  return d;
}

Status apply_record_acl(StringMap& metadata, const RecordAclChange& change) {
  static const std::string kVisibility = "acl_visibility", kRoles = "acl_read_roles", kGroups = "acl_read_groups",
                           kPrincipals = "acl_read_principals", kPolicy = "acl_policy_version";
  if (change.visibility != "public" && change.visibility != "restricted") {
    return Status::Value("visibility must be 'public' or 'restricted'");
  }
  metadata[kVisibility] = change.visibility;
  write_record_acl(metadata, kRoles, change.read_roles);
  write_record_acl(metadata, kGroups, change.read_groups);
  write_record_acl(metadata, kPrincipals, change.read_principals);
  if (change.policy_version) {
    metadata[kPolicy] = *change.policy_version;
  } else {
    metadata.erase(kPolicy);
  }
  return Status::Ok();
}

JsonValue access_decision_dict(const std::optional<AccessDecision>& decision) {
  if (!decision) return JsonValue();
  JsonObject o;
  o.append("allowed", decision->allowed);
  o.append("reason", decision->reason);
  o.append("policy_version", decision->policy_version ? JsonValue(*decision->policy_version) : JsonValue());
  return o;
}

}  // namespace vesk
