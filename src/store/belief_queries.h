// The state filter of the store's belief listings (Vesk::list_beliefs_by_state).
#pragma once

#include <optional>
#include <string_view>

#include "cognitive/belief_layer.h"

namespace vesk {

// The state filter of belief listings: none keeps every belief; "resolved",
// "unresolved", "singleton" and "empty" (exact lower case) keep the beliefs
// in that state; any other text keeps every belief.
bool filter_beliefs_by_state(const Belief& belief, std::optional<std::string_view> state);

}  // namespace vesk
