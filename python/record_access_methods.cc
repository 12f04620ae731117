// Record access control: writing a record's allow lists and asking whether
// a subject may read a record.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/json_result.h"
#include "record_class.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

Result<std::optional<Record>> set_record_acl(Vesk& self, std::string record_id, std::string visibility,
                                             std::optional<std::vector<std::string>> read_roles,
                                             std::optional<std::vector<std::string>> read_groups,
                                             std::optional<std::vector<std::string>> read_principals,
                                             std::optional<std::string> policy_version) {
  RecordAclChange change{std::move(visibility), std::move(read_roles).value_or(std::vector<std::string>{}),
                         std::move(read_groups).value_or(std::vector<std::string>{}),
                         std::move(read_principals).value_or(std::vector<std::string>{}), std::move(policy_version)};
  return self.set_record_acl(record_id, change);
}
constexpr Method kSetRecordAcl{"Vesk",
                               "set_record_acl($self, record_id, visibility, read_roles=None, read_groups=None, "
                               "read_principals=None, policy_version=None)",
                               set_record_acl};

// None for an unknown id, else {"allowed", "reason", "policy_version"}.
JsonValue check_record_access(Vesk& self, std::string record_id, std::optional<std::string> subject_id,
                              std::optional<std::vector<std::string>> roles,
                              std::optional<std::vector<std::string>> groups) {
  AccessRequest subject;
  subject.subject_id = std::move(subject_id);
  if (roles) subject.roles.insert(roles->begin(), roles->end());
  if (groups) subject.groups.insert(groups->begin(), groups->end());
  return access_decision_dict(self.check_record_access(record_id, subject));
}
constexpr Method kCheckRecordAccess{"Vesk", "check_record_access($self, record_id, subject_id=None, roles=None, groups=None)",
                                    check_record_access};

}  // namespace

MethodRows record_access_methods() { return {bind<kSetRecordAcl>(), bind<kCheckRecordAccess>()}; }

}  // namespace vesk::py
