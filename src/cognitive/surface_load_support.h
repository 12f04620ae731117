// Small pieces every loader of a persisted surface uses: how a path appears in
// a startup validation event, the event itself, and the blank-file test of the
// text surfaces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cognitive/startup_validation.h"
#include "storage/env.h"

namespace vesk {

// The path as text; bytes that are not UTF-8 become U+FFFD.
std::string display_path(const fs::path& path);

// Appends an event with a detail. Every loader status but "loaded" means the
// store did not start with what the file should have held, so `recovered` is
// set for all of them.
void append_surface_event(std::vector<StartupValidationEvent>& events, std::string_view surface, const fs::path& path,
                          std::string_view status, std::string detail);

// True when the UTF-8 text holds nothing but Unicode White_Space characters
// (U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000), or nothing at all. Text that is not UTF-8
// is never blank.
bool is_blank_text(std::string_view text);

}  // namespace vesk
