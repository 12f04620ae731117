#include "cognitive/maintenance_trends_format.h"

namespace vesk {

const JsonStruct<MaintenanceTrendSnapshot>& JsonCodec<MaintenanceTrendSnapshot>::fields() {
  using T = MaintenanceTrendSnapshot;
  static const JsonStruct<T> s("struct MaintenanceTrendSnapshot",
                               {
                                   json_field<&T::timestamp>("timestamp"),
                                   json_field<&T::total_records>("total_records"),
                                   json_field<&T::records_archived>("records_archived"),
                                   json_field<&T::insights_found>("insights_found"),
                                   json_field<&T::volatile_records>("volatile_records"),
                                   json_field<&T::belief_churn>("belief_churn"),
                                   json_field<&T::causal_rejection_rate>("causal_rejection_rate"),
                                   json_field<&T::policy_suppression_rate>("policy_suppression_rate"),
                                   json_field<&T::feedback_beliefs_touched>("feedback_beliefs_touched"),
                                   json_field<&T::feedback_net_confidence_delta>("feedback_net_confidence_delta"),
                                   json_field<&T::feedback_net_volatility_delta>("feedback_net_volatility_delta"),
                                   json_field<&T::correction_events>("correction_events"),
                                   json_field<&T::cumulative_corrections>("cumulative_corrections"),
                                   json_field<&T::cycle_time_ms>("cycle_time_ms"),
                                   json_field<&T::dominant_phase>("dominant_phase"),
                               });
  return s;
}

Result<std::vector<MaintenanceTrendSnapshot>> parse_maintenance_trends(std::string_view text) {
  return json_parse<std::vector<MaintenanceTrendSnapshot>>(text);
}

}  // namespace vesk
