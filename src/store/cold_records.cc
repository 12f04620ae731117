#include "store/cold_records.h"

#include <utility>

#include "maintenance/archive_protection.h"

namespace vesk {

size_t prune_weak_records_on_load(RecordMap& records, const StringSet& protected_tags) {
  return erase_if(records, [&](const auto& entry) {
    const Record& r = entry.second;
    const bool weak = !(r.strength >= kColdStrengthFloor);  // NaN is weak
    return weak && !is_archive_protected(r, protected_tags);
  });
}

StartupValidationEvent cold_records_event(std::string path, std::string detail) {
  StartupValidationEvent e;
  e.surface = "cold_records";
  e.path = std::move(path);
  e.status = kExcludedFromActiveIndexesStatus;
  e.detail = std::move(detail);
  e.recovered = false;
  return e;
}

}  // namespace vesk
