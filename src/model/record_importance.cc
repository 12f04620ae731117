#include "model/record_importance.h"

#include <algorithm>

namespace vesk {

float record_importance(const Record& r) {
  float level_part = static_cast<float>(level_value(r.level)) * 0.25f * 0.25f;
  float strength_part = r.strength * 0.4f;
  float connection_part = std::min(static_cast<float>(r.connections.size()) / 50.0f, 1.0f) * 0.2f;
  float activation_part = std::min(static_cast<float>(r.activation_count) / 20.0f, 1.0f) * 0.15f;
  float salience_part = std::min(std::max(r.salience, 0.0f), 1.0f) * 0.1f;
  return ((level_part + strength_part) + connection_part) + activation_part + salience_part;
}

}  // namespace vesk
