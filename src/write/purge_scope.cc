#include "write/purge_scope.h"

#include <string>

namespace vesk {

std::string_view purge_scope_text(PurgeScope scope) {
  switch (scope) {
    case PurgeScope::Active:
      return "active";
    case PurgeScope::Derived:
      return "derived";
    case PurgeScope::CurrentStorage:
      return "current_storage";
    case PurgeScope::History:
      return "history";
  }
  return "active";
}

Result<PurgeScope> parse_purge_scope(std::string_view text) {
  for (PurgeScope s : {PurgeScope::Active, PurgeScope::Derived, PurgeScope::CurrentStorage, PurgeScope::History}) {
    if (purge_scope_text(s) == text) return s;
  }
  return Status::Value("invalid purge scope '" + std::string(text) +
                       "'; expected active, derived, current_storage, or history");
}

}  // namespace vesk
