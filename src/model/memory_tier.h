// The two memory tiers: the cognitive tier (Working and Decisions) and the
// core tier (Domain and Identity).
#pragma once

#include "model/level.h"

namespace vesk {

enum class MemoryTier : uint8_t { Cognitive, Core };

constexpr bool level_in_tier(Level level, MemoryTier tier) {
  const bool cognitive = level == Level::Working || level == Level::Decisions;
  return tier == MemoryTier::Cognitive ? cognitive : !cognitive;
}

}  // namespace vesk
