// The store's access-control operations: writing a record's allow lists and
// asking whether a subject may read a record (the decision itself is
// record_access_allowed, write/record_access.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/record.h"
#include "base/status.h"
#include "store/vesk.h"
#include "model/record_access.h"

namespace vesk {

struct RecordAclChange {
  std::string visibility;  // "public" or "restricted"
  std::vector<std::string> read_roles;
  std::vector<std::string> read_groups;
  std::vector<std::string> read_principals;
  std::optional<std::string> policy_version;
};

// Sets "acl_visibility", writes the three lists (an empty list removes its
// key) and sets or removes "acl_policy_version"; the changed record is written
// to the journal as a full record, not forced, and both recall caches are
// cleared. Returns a copy of the changed record, or none for an unknown id.
// Errors: Value "visibility must be 'public' or 'restricted'" (nothing
// changes); Runtime with the journal's message (the change stays in memory,
// the caches are not cleared).
// Holds the record map's write lock from the lookup through the journal
// append, so no reader sees half a change.
Result<std::optional<Record>> set_record_acl(Vesk& store, std::string_view record_id, const RecordAclChange& change);

// The decision for `subject` on the record, or none for an unknown id. Under
// the record map's read lock.
std::optional<AccessDecision> check_record_access(const Vesk& store, std::string_view record_id,
                                                  const AccessRequest& subject);

}  // namespace vesk
