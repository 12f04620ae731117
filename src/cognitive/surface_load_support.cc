#include "cognitive/surface_load_support.h"

#include <utility>

#include "base/utf8.h"

namespace vesk {

std::string display_path(const fs::path& path) { return decode_utf8_lossy(path.native()); }

void append_surface_event(std::vector<StartupValidationEvent>& events, std::string_view surface, const fs::path& path,
                          std::string_view status, std::string detail) {
  StartupValidationEvent e;
  e.surface = surface;
  e.path = display_path(path);
  e.status = status;
  e.detail = std::move(detail);
  e.recovered = status != kLoadedStatus;
  events.push_back(std::move(e));
}

}  // namespace vesk
