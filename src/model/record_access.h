// Record access control: who may read a record.
//
// The rule lives in the record's metadata: "acl_visibility" ("public" or
// "restricted"; absent means public) and, for restricted records, the allow
// lists "acl_read_roles", "acl_read_groups" and "acl_read_principals"
// (comma-separated). "acl_policy_version" is reported back, never interpreted.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/json_value.h"
#include "model/record.h"
#include "base/status.h"
#include "base/string_hash.h"

namespace vesk {

// The subject asking to read. Empty means anonymous.
struct AccessRequest {
  std::optional<std::string> subject_id;
  std::set<std::string> roles;
  std::set<std::string> groups;
};

struct AccessDecision {
  bool allowed = false;
  // "public_or_legacy", "allow_list_match", "restricted_no_match" or
  // "invalid_visibility_deny".
  std::string_view reason;
  std::optional<std::string> policy_version;
};

// Pure; never fails.
AccessDecision record_access_allowed(const Record& record, const AccessRequest& request);

// A decision as its caller reads it: {"allowed", "reason", "policy_version"}
// (null without a version), or null for no decision (an unknown record).
JsonValue access_decision_dict(const std::optional<AccessDecision>& decision);

// Whether the record is readable by anyone: no "acl_visibility" entry, or
// "public" (the first rule of record_access_allowed, without building a
// decision).
bool record_is_public(const Record& record);

// An allow list: split at ',', each entry trimmed of white space and
// lower-cased, empty entries dropped. An absent value is the empty set.
std::set<std::string> parse_acl_list(const std::string* value);

// Writes an allow list under `key`: the entries trimmed of white space and
// lower-cased, blank ones dropped, sorted by bytes without repeats and joined
// by "," ("admin,ops"). An empty list removes the key; a list of blank
// entries only writes an empty value, which reads as no entry.
void write_record_acl(StringMap& metadata, const std::string& key, const std::vector<std::string>& entries);

// A change of a record's access rule, as the caller gives it.
struct RecordAclChange {
  std::string visibility;  // "public" or "restricted"
  std::vector<std::string> read_roles;
  std::vector<std::string> read_groups;
  std::vector<std::string> read_principals;
  std::optional<std::string> policy_version;
};

// Writes the change into a record's metadata: "acl_visibility", the three
// allow lists (write_record_acl: an empty list removes its key), and
// "acl_policy_version" set or removed. A visibility other than "public" or
// "restricted" fails with the Value error "visibility must be 'public' or
// 'restricted'", changing nothing.
Status apply_record_acl(StringMap& metadata, const RecordAclChange& change);

}  // namespace vesk
