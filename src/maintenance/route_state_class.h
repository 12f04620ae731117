// RouteStateClass: the consequence route state of a record, which sets how
// fast route-state-stratified decay lets it fade. One byte, ordered weakest
// to strongest; Refuted is kept forever as a scar.
#pragma once

#include <cstdint>

namespace vesk {

enum class RouteStateClass : uint8_t { Candidate = 0, EvidenceDebt = 1, Confirmed = 2, Refuted = 3 };

}  // namespace vesk
