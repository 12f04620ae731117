#include "maintenance/archive_protection.h"

namespace vesk {

bool is_archive_protected(const Record& record, const StringSet& protected_tags) {
  if (record.pinned || record.level == Level::Identity) return true;
  if (record.valid_until || record.superseded_at) return true;
  for (const std::string& tag : record.tags)
    if (tag == "consequence-refute" || protected_tags.contains(tag)) return true;
  return false;
}

}  // namespace vesk
