#include "model/level.h"

namespace vesk {

std::string_view level_json_name(Level l) {
  switch (l) {
    case Level::Working: return "Working";
    case Level::Decisions: return "Decisions";
    case Level::Domain: return "Domain";
    case Level::Identity: return "Identity";
  }
  return "Working";
}

std::string_view level_display_name(Level l) {
  switch (l) {
    case Level::Working: return "WORKING";
    case Level::Decisions: return "DECISIONS";
    case Level::Domain: return "DOMAIN";
    case Level::Identity: return "IDENTITY";
  }
  return "WORKING";
}

std::optional<Level> level_from_json_name(std::string_view name) {
  if (name == "Working") return Level::Working;
  if (name == "Decisions") return Level::Decisions;
  if (name == "Domain") return Level::Domain;
  if (name == "Identity") return Level::Identity;
  return std::nullopt;
}

}  // namespace vesk
