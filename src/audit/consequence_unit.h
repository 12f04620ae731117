// A consequence unit: one lived outcome of an action in a situation, held by
// one record of the store. `trust` is read only by its sign (positive
// supports, negative refutes, zero is inconclusive); `links` maps a target (a
// record id, a belief id or "belief:" and a belief id) to a free relation
// type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

struct ConsequenceUnit {
  std::string record_id;  // empty until the unit's record is stored
  std::string situation;
  std::string action;
  std::string consequence;
  int32_t trust = 0;
  std::vector<std::string> scope;
  std::vector<std::string> provenance;
  StringMap links;
  std::string namespace_;
  double captured_at = 0.0;  // seconds since the Unix epoch

  bool operator==(const ConsequenceUnit&) const = default;
};

}  // namespace vesk
