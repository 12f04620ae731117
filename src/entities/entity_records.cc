#include "entities/entity_records.h"

#include <algorithm>
#include <compare>

namespace vesk {
namespace {

bool has_tag(const Record& r, std::string_view tag) {
  return std::find(r.tags.begin(), r.tags.end(), tag) != r.tags.end();
}

}  // namespace

bool entity_record_order(const Record& a, const Record& b) {
  for (std::string_view tag : {std::string_view("research-project"), std::string_view("user-profile")}) {
    const bool ta = has_tag(a, tag), tb = has_tag(b, tag);
    if (ta != tb) return ta;
  }
  if (a.level != b.level) return level_value(a.level) > level_value(b.level);
  const std::strong_ordering created = std::strong_order(a.created_at, b.created_at);
  if (created != 0) return created < 0;
  return a.id < b.id;
}

std::optional<std::string_view> record_entity_id(const Record& r) {
  auto it = r.metadata.find(kEntityIdKey);
  if (it == r.metadata.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::optional<EntityRecordView> entity_records_view(const RecordMap& map, const MetadataValueIndex& index,
                                                    std::string_view entity_id) {
  std::vector<const Record*> found = index.records_with_value(map, kEntityIdKey, entity_id);
  if (found.empty()) return std::nullopt;
  EntityRecordView view;
  view.namespace_ = found.front()->namespace_;
  view.records.reserve(found.size());
  for (const Record* r : found) {
    if (r->namespace_ == view.namespace_) view.records.push_back(r);
  }
  return view;
}

std::optional<EntityRecordGroup> find_entity_records(const RecordMap& map, const MetadataValueIndex& index,
                                                     std::string_view entity_id) {
  std::optional<EntityRecordView> view = entity_records_view(map, index, entity_id);
  if (!view) return std::nullopt;
  EntityRecordGroup group;
  group.namespace_ = std::string(view->namespace_);
  group.records.reserve(view->records.size());
  for (const Record* r : view->records) group.records.push_back(*r);
  return group;
}

const Record* entity_anchor(const EntityRecordView& view) {
  const Record* anchor = nullptr;
  for (const Record* r : view.records) {
    if (!anchor || entity_record_order(*r, *anchor)) anchor = r;
  }
  return anchor;
}

const Record* entity_anchor(const RecordMap& map, const MetadataValueIndex& index, std::string_view entity_id) {
  std::optional<EntityRecordView> view = entity_records_view(map, index, entity_id);
  return view ? entity_anchor(*view) : nullptr;
}

}  // namespace vesk
