// Small pieces every loader of a persisted surface uses: how a path appears in
// a startup validation event and the event itself. The blank-file test of the
// text surfaces, is_blank_text, comes with model/unicode_text.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cognitive/startup_validation.h"
#include "model/unicode_text.h"
#include "base/env.h"

namespace vesk {

// The path as text; bytes that are not UTF-8 become U+FFFD.
std::string display_path(const fs::path& path);

// Appends an event with a detail. Every loader status but "loaded" means the
// store did not start with what the file should have held, so `recovered` is
// set for all of them.
void append_surface_event(std::vector<StartupValidationEvent>& events, std::string_view surface, const fs::path& path,
                          std::string_view status, std::string detail);

}  // namespace vesk
