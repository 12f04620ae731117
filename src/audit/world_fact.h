// World facts: the three-state verdict drawn from the captured output of a
// command that the agent ran itself. Nothing is executed here.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "audit/consequence_polarity.h"

namespace vesk {

// Markers are matched as substrings of stdout or stderr after folding ASCII
// letters (only A-Z) to lower case; an empty marker matches any output.
//   - a failure marker matches: Refutes (it wins over success markers);
//   - a success marker matches: Supports;
//   - no marker: Refutes for a non-zero exit code, else Inconclusive.
ConsequencePolarity world_fact_from_output(int32_t exit_code, std::string_view stdout_text,
                                           std::string_view stderr_text,
                                           std::span<const std::string> success_markers,
                                           std::span<const std::string> failure_markers);

}  // namespace vesk
