#include "record_access_methods.h"

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "binding/py_ref.h"
#include "record_class.h"
#include "vesk_object.h"
#include "store/record_acl.h"

namespace vesk::py {
namespace {

Result<std::optional<Record>> set_record_acl(Vesk& self, std::string record_id, std::string visibility,
                                             std::optional<std::vector<std::string>> read_roles,
                                             std::optional<std::vector<std::string>> read_groups,
                                             std::optional<std::vector<std::string>> read_principals,
                                             std::optional<std::string> policy_version) {
  RecordAclChange change;
  change.visibility = std::move(visibility);
  change.read_roles = std::move(read_roles).value_or(std::vector<std::string>{});
  change.read_groups = std::move(read_groups).value_or(std::vector<std::string>{});
  change.read_principals = std::move(read_principals).value_or(std::vector<std::string>{});
  change.policy_version = std::move(policy_version);
  return vesk::set_record_acl(self, record_id, change);
}
constexpr Method kSetRecordAcl{"Vesk",
                               "set_record_acl($self, record_id, visibility, read_roles=None, read_groups=None, "
                               "read_principals=None, policy_version=None)",
                               set_record_acl};

// None for an unknown id, else {"allowed", "reason", "policy_version"} in
// that order.
PyObject* check_record_access(Vesk& self, std::string record_id, std::optional<std::string> subject_id,
                              std::optional<std::vector<std::string>> roles,
                              std::optional<std::vector<std::string>> groups) {
  AccessRequest subject;
  subject.subject_id = std::move(subject_id);
  if (roles) subject.roles.insert(roles->begin(), roles->end());
  if (groups) subject.groups.insert(groups->begin(), groups->end());
  std::optional<AccessDecision> decision = vesk::check_record_access(self, record_id, subject);
  if (!decision) Py_RETURN_NONE;
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return nullptr;
  const std::pair<const char*, PyRef> items[] = {
      {"allowed", PyRef::steal(to_py(decision->allowed))},
      {"reason", PyRef::steal(to_py(decision->reason))},
      {"policy_version", PyRef::steal(to_py(decision->policy_version))},
  };
  for (const auto& [key, value] : items) {
    if (!value || PyDict_SetItemString(dict.get(), key, value.get()) < 0) return nullptr;
  }
  return dict.release();
}
constexpr Method kCheckRecordAccess{"Vesk", "check_record_access($self, record_id, subject_id=None, roles=None, groups=None)",
                                    check_record_access};

}  // namespace

PyMethodDef set_record_acl_method() { return bind<kSetRecordAcl>(); }
PyMethodDef check_record_access_method() { return bind<kCheckRecordAccess>(); }

}  // namespace vesk::py
