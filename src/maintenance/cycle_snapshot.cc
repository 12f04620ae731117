#include "maintenance/cycle_snapshot.h"

#include "recall/record_validity.h"

namespace vesk {

CycleSnapshot take_cycle_snapshot(const RecordMap& records, double now) {
  CycleSnapshot out;
  out.reserve(records.size());
  for (const auto& [id, record] : records)
    if (record_valid_at(record, now)) out.emplace(id, record);
  return out;
}

}  // namespace vesk
