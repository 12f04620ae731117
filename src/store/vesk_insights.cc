// Vesk::insights: the insight detectors on request.
//
// Locks: the record map's read lock only, held while the detectors run and
// while the caller uses their list; other readers go on, writers wait.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "maintenance/cross_domain_insights.h"
#include "maintenance/insight_detectors.h"
#include "store/vesk.h"

namespace vesk {

Status Vesk::insights(std::optional<uint8_t> phase, const std::function<void(std::span<const Insight>)>& use) const {
  auto records = records_.records.read();
  std::vector<Insight> found;
  if (!phase) {
    found = run_insight_detectors(*records, env_);
  } else if (*phase == 0) {
    found = detect_record_health_insights(*records);
  } else if (*phase == 1) {
    found = detect_relationship_insights(*records, env_);
  } else if (*phase == 2) {
    found = detect_cross_domain_insights(*records, env_);
  } else {
    return Status::Value("Invalid phase " + std::to_string(*phase) + ". Must be 0, 1, or 2.");
  }
  use(found);
  return Status::Ok();
}

}  // namespace vesk
