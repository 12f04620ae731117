#include "maintenance/route_state_decay.h"

namespace vesk {

RouteStateClass route_state_of(const Record& record) {
  bool support = false;
  bool inconclusive = false;
  for (const std::string& tag : record.tags) {
    if (tag == "consequence-refute") return RouteStateClass::Refuted;
    if (tag == "consequence-support") support = true;
    if (tag == "consequence-inconclusive") inconclusive = true;
  }
  if (support) return RouteStateClass::Confirmed;
  return inconclusive ? RouteStateClass::EvidenceDebt : RouteStateClass::Candidate;
}

float route_state_decay_factor(Record& record) {
  float factor = 1.0f;
  if (!record.pinned && record.level != Level::Identity) {
    switch (route_state_of(record)) {
      case RouteStateClass::Candidate: factor = 0.8f; break;
      case RouteStateClass::EvidenceDebt: factor = 0.9f; break;
      case RouteStateClass::Confirmed: factor = 0.98f; break;
      case RouteStateClass::Refuted: factor = 1.0f; break;
    }
  }
  record.strength *= factor;
  return record.strength;
}

}  // namespace vesk
