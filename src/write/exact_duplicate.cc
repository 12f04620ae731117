#include "write/exact_duplicate.h"

#include <algorithm>

#include "model/scored_record.h"
#include "model/record_access.h"

namespace vesk {
namespace {

bool same_bound(const std::optional<double>& a, const std::optional<double>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || *a == *b;  // NaN != NaN
}

}  // namespace

bool is_exact_duplicate(const Record& r, const DuplicateProbe& p) {
  if (r.namespace_ != p.namespace_ || r.content != p.content || r.content_type != "text" ||
      r.source_type != p.source_type || r.semantic_type != p.semantic_type || !same_bound(r.valid_from, p.valid_from) ||
      !same_bound(r.valid_until, p.valid_until)) {
    return false;
  }
  static const std::optional<std::string> kNone;
  const std::optional<std::string>& parent = p.caused_by_id ? *p.caused_by_id : kNone;
  if (r.caused_by_id != parent) return false;
  if (!record_access_allowed(r, AccessRequest{}).allowed) return false;
  if (p.caller_metadata) {
    for (const auto& [key, value] : *p.caller_metadata) {
      auto it = r.metadata.find(key);
      if (it == r.metadata.end() || it->second != value) return false;
    }
  }
  return true;
}

void touch_duplicate(Record& twin, double now, bool pin, std::span<const std::string> tags) {
  float days = static_cast<float>(std::max((now - twin.last_activated) / 86400.0, 0.001));
  float instant = std::min(1.0f / days, 100.0f);
  twin.activation_velocity = twin.activation_velocity * 0.7f + instant * 0.3f;
  twin.strength = std::min(twin.strength + 0.2f, 1.0f);
  twin.activation_count += 1;
  twin.last_activated = now;
  twin.pinned = twin.pinned || pin;
  for (const std::string& tag : tags) {
    if (std::find(twin.tags.begin(), twin.tags.end(), tag) == twin.tags.end()) twin.tags.push_back(tag);
  }
}

bool DuplicateIndex::indexable(std::string_view content_type, std::string_view content) {
  return content_type == "text" && content.size() >= 20;
}

void DuplicateIndex::note_insert(const Record& record) {
  if (!indexable(record.content_type, record.content)) return;
  Ids& ids = by_hash_[content_hash(record.content)];
  const std::span<const std::string> held = ids.all();
  if (std::find(held.begin(), held.end(), record.id) != held.end()) return;
  if (held.empty()) {
    ids.one = record.id;
    ids.has_one = true;
  } else {
    if (ids.has_one) ids.many.push_back(std::move(ids.one));
    ids.one.clear();
    ids.has_one = false;
    ids.many.push_back(record.id);
  }
  ++size_;
}

void DuplicateIndex::note_remove(std::string_view id, std::string_view content) {
  const uint64_t hash = content_hash(content);
  Ids* ids = by_hash_.find(hash);
  if (!ids) return;
  if (ids->has_one) {
    if (ids->one != id) return;
    by_hash_.erase(hash);
  } else {
    auto pos = std::find(ids->many.begin(), ids->many.end(), id);
    if (pos == ids->many.end()) return;
    ids->many.erase(pos);
    // One left: it goes back inline.
    if (ids->many.size() == 1) {
      ids->one = std::move(ids->many.front());
      ids->has_one = true;
      ids->many.clear();
    }
  }
  --size_;
}

void DuplicateIndex::note_replace(const Record& before, const Record& after) {
  if (before.content_type == after.content_type && before.content == after.content) return;
  note_remove(before.id, before.content);
  note_insert(after);
}

std::span<const std::string> DuplicateIndex::candidates(std::string_view content) const {
  const Ids* ids = by_hash_.find(content_hash(content));
  return ids ? ids->all() : std::span<const std::string>();
}

void DuplicateIndex::clear() {
  by_hash_.clear();
  size_ = 0;
}

}  // namespace vesk
