// The correction log: the correction entries of the store's audit journal,
// reread on every call. Neither method raises because of the journal; both
// keep the interpreter lock.
#include <string>

#include "binding/json_result.h"
#include "reports/correction_log.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

JsonValue::Array get_correction_log(Vesk& self) { return correction_log_to_list(self.read_correction_log()); }
constexpr Method kGetCorrectionLog{"Vesk", "get_correction_log($self)", get_correction_log};

JsonValue::Array get_correction_log_for_target(Vesk& self, std::string target_kind, std::string target_id) {
  return correction_log_to_list(correction_log_for_target(self.read_correction_log(), target_kind, target_id));
}
constexpr Method kGetCorrectionLogForTarget{"Vesk", "get_correction_log_for_target($self, target_kind, target_id)",
                                            get_correction_log_for_target};

}  // namespace

MethodRows correction_log_methods() { return {bind<kGetCorrectionLog>(), bind<kGetCorrectionLogForTarget>()}; }

}  // namespace vesk::py
