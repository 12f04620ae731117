#include "store/load_repairs.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <atomic>
#include <cmath>
#include <utility>

#include "base/string_hash.h"

namespace vesk {
namespace {

constexpr float kPinFactorThreshold = 100.0f;

float source_type_default_confidence(std::string_view source_type) {
  if (source_type == "recorded") return 0.9f;
  if (source_type == "retrieved") return 0.75f;
  if (source_type == "inferred") return 0.6f;
  return 0.5f;
}

bool near(float a, float b) { return std::fabs(a - b) < 0.001f; }

// Ids in the order they were first added, each once.
class RepairList {
 public:
  void add(const std::string& id) {
    if (seen_.insert(id).second) ids_.push_back(id);
  }
  std::vector<std::string> take() { return std::move(ids_); }

 private:
  StringSet seen_;
  std::vector<std::string> ids_;
};

// True when a was created before b; equal times go to the smaller id. A NaN
// time comes after every number.
bool earlier_successor(const Record& a, const Record& b) {
  bool a_nan = std::isnan(a.created_at), b_nan = std::isnan(b.created_at);
  if (a_nan != b_nan) return b_nan;
  if (!a_nan && a.created_at != b.created_at) return a.created_at < b.created_at;
  return a.id < b.id;
}

void repair_incomplete_supersedes(RecordMap& records, RepairList& repaired) {
  // Successors by the id they were caused by; built only when some record
  // waits for its successor.
  StringKeyMap<std::vector<const Record*>> caused_by;
  bool any_pending = false;
  for (const auto& [id, record] : records) {
    auto it = record.metadata.find("superseded_by");
    if (it != record.metadata.end() && it->second == "pending") {
      any_pending = true;
      break;
    }
  }
  if (!any_pending) return;
  for (const auto& [id, record] : records) {
    if (record.caused_by_id) caused_by[*record.caused_by_id].push_back(&record);
  }

  for (auto& [id, record] : records) {
    auto it = record.metadata.find("superseded_by");
    if (it == record.metadata.end() || it->second != "pending") continue;
    const Record* successor = nullptr;
    if (auto c = caused_by.find(id); c != caused_by.end()) {
      for (const Record* candidate : c->second) {
        if (candidate->namespace_ != record.namespace_) continue;
        if (!successor || earlier_successor(*candidate, *successor)) successor = candidate;
      }
    }
    if (successor) {
      it->second = successor->id;
      record.metadata["supersede_recovery"] = "linked_pending_successor";
      record.valid_until = successor->valid_from ? *successor->valid_from : successor->created_at;
      if (!record.superseded_at) record.superseded_at = successor->created_at;
    } else {
      record.metadata.erase(it);
      record.metadata["supersede_recovery"] = "reopened_incomplete_pending";
      record.valid_until.reset();
      record.superseded_at.reset();
    }
    repaired.add(id);
  }
}

void repair_missing_supersede_times(RecordMap& records, RepairList& repaired) {
  for (auto& [id, record] : records) {
    if (record.valid_until || record.superseded_at) continue;
    auto it = record.metadata.find("superseded_by");
    if (it == record.metadata.end() || it->second.empty() || it->second == "pending") continue;
    auto successor = records.find(it->second);
    if (successor == records.end()) continue;
    double at = successor->second.created_at;
    record.valid_until = at;
    record.superseded_at = at;
    repaired.add(id);
  }
}

}  // namespace

std::vector<std::string> apply_load_time_repairs(RecordMap& records, const VeskStorage& storage) {
  // The pin and confidence repairs look at one record each (and the record
  // log, under its read lock), so they run in parallel over the map's
  // records; the ids are then listed in map order.
  std::vector<std::pair<const std::string*, Record*>> order;
  order.reserve(records.size());
  for (auto& [id, record] : records) order.emplace_back(&id, &record);
  std::vector<uint8_t> fixed(order.size(), 0);
  std::atomic<bool> any_supersede{false};
  tbb::parallel_for(tbb::blocked_range<size_t>(0, order.size(), 512), [&](const tbb::blocked_range<size_t>& r) {
    for (size_t i = r.begin(); i != r.end(); ++i) {
      const std::string& id = *order[i].first;
      Record& record = *order[i].second;
      if (!record.pinned) {
        bool pin = storage.is_user_core(id);
        if (!pin) {
          CachedEntryPtr entry = storage.cached_entry(id);
          pin = entry && entry->pin_factor >= kPinFactorThreshold;
        }
        if (pin) {
          record.pinned = true;
          fixed[i] = 1;
        }
      }
      float default_confidence = source_type_default_confidence(record.source_type);
      if (near(record.confidence, 0.9f) && !near(default_confidence, 0.9f)) {
        record.confidence = default_confidence;
        fixed[i] = 1;
      }
      if (record.metadata.contains("superseded_by")) any_supersede.store(true, std::memory_order_relaxed);
    }
  });
  RepairList repaired;
  for (size_t i = 0; i < order.size(); ++i) {
    if (fixed[i]) repaired.add(*order[i].first);
  }
  // Both supersede repairs concern only records naming a successor.
  if (any_supersede.load()) {
    repair_incomplete_supersedes(records, repaired);
    repair_missing_supersede_times(records, repaired);
  }
  return repaired.take();
}

}  // namespace vesk
