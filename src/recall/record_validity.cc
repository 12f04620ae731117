#include "recall/record_validity.h"

#include <algorithm>
#include <cmath>

namespace vesk {

bool record_valid_at(const Record& record, double t) {
  if (!std::isfinite(t)) return false;
  if (record.valid_from && !(std::isfinite(*record.valid_from) && *record.valid_from <= t)) return false;
  if (record.valid_until && !(std::isfinite(*record.valid_until) && *record.valid_until > t)) return false;
  return true;
}

bool has_validity_window_in(const Record& record, const std::optional<std::vector<std::string>>& namespaces) {
  if (!record.valid_from && !record.valid_until) return false;
  if (!namespaces) return record.namespace_ == "default";
  return std::find(namespaces->begin(), namespaces->end(), record.namespace_) != namespaces->end();
}

}  // namespace vesk
