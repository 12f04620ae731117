#include "store/record_acl.h"

#include <utility>

#include "model/record_json.h"
#include "storage/cognitive_journal_format.h"

namespace vesk {

Result<std::optional<Record>> set_record_acl(Vesk& store, std::string_view record_id, const RecordAclChange& change) {
  static const std::string kVisibility = "acl_visibility", kRoles = "acl_read_roles", kGroups = "acl_read_groups",
                           kPrincipals = "acl_read_principals", kPolicy = "acl_policy_version";
  if (change.visibility != "public" && change.visibility != "restricted") {
    return Status::Value("visibility must be 'public' or 'restricted'");
  }
  Record copy;
  {
    auto records = store.records.write();
    auto it = records->find(record_id);
    if (it == records->end()) return std::optional<Record>();
    StringMap& metadata = it->second.metadata;
    metadata[kVisibility] = change.visibility;
    write_record_acl(metadata, kRoles, change.read_roles);
    write_record_acl(metadata, kGroups, change.read_groups);
    write_record_acl(metadata, kPrincipals, change.read_principals);
    if (change.policy_version) {
      metadata[kPolicy] = *change.policy_version;
    } else {
      metadata.erase(kPolicy);
    }
    std::string payload;
    serialize_record(it->second, payload);
    Status appended = store.journal().append_cognitive_frame(FrameKind::kRecordWrite, payload, false);
    if (!appended.ok()) return appended.as(ErrorKind::Runtime);
    copy = it->second;
  }
  store.clear_recall_caches();
  return std::optional<Record>(std::move(copy));
}

std::optional<AccessDecision> check_record_access(const Vesk& store, std::string_view record_id,
                                                  const AccessRequest& subject) {
  auto records = store.records.read();
  auto it = records->find(record_id);
  if (it == records->end()) return std::nullopt;
  return record_access_allowed(it->second, subject);
}

}  // namespace vesk
