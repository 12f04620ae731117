#include "maintenance/belief_feedback.h"

namespace vesk {

FeedbackAuditReport feed_back_into_beliefs(BeliefEngine&, const CausalEngine&, const PolicyEngine&, Env&) {
  return FeedbackAuditReport{};
}

}  // namespace vesk
