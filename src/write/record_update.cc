#include "write/record_update.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <utility>

#include "write/claim_certainty.h"
#include "write/reserved_metadata.h"
#include "write/store_derivations.h"

namespace vesk {
namespace {

constexpr std::string_view kProtectedProvenanceKeys[] = {"source", "verified", "trust_score"};
constexpr std::string_view kKeptSystemKeys[] = {"source",      "verified",        "timestamp",
                                                "trust_score", "claim_certainty", "relayed_by_model"};

bool is_kept_system_key(std::string_view key, std::string_view stored_value) {
  if (key.starts_with("vesk.audit.v1.") || key.starts_with("cu_")) return true;
  if (key == "kind") return stored_value == "consequence_unit";
  return std::find(std::begin(kKeptSystemKeys), std::end(kKeptSystemKeys), key) != std::end(kKeptSystemKeys);
}

// Kept unless the caller names them: the supersession mark and the access
// rules. Dropping them would reopen a superseded version for another
// supersession and silently make a restricted record public.
bool is_kept_unless_given(std::string_view key) { return key == "superseded_by" || key.starts_with("acl_"); }

}  // namespace

int source_type_rank(std::string_view source_type) {
  if (source_type == "generated") return 0;
  if (source_type == "inferred") return 1;
  if (source_type == "recorded") return 3;
  return 2;
}

Status check_source_type_not_raised(std::string_view stored, std::string_view given) {
  if (source_type_rank(stored) < source_type_rank(given)) {
    return Status::Runtime("cannot raise source_type from " + std::string(stored) + " to " + std::string(given) +
                           " via update");
  }
  return Status::Ok();
}

std::vector<std::string> updated_tags(const std::vector<std::string>& stored, std::vector<std::string> given) {
  std::vector<std::string> kept;
  for (const std::string& tag : stored) {
    if (is_reserved_consequence_tag(tag) && std::find(given.begin(), given.end(), tag) == given.end()) {
      kept.push_back(tag);
    }
  }
  given.insert(given.end(), std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
  return given;
}

StringMap updated_metadata(const StringMap& stored, StringMap given) {
  for (std::string_view key : kProtectedProvenanceKeys) {
    auto it = given.find(key);
    if (it == given.end()) continue;
    std::string value = std::move(it->second);
    given.erase(it);
    auto held = stored.find(key);
    if (held == stored.end() || held->second != value) {
      given.insert_or_assign("claimed_" + std::string(key), std::move(value));
    }
  }
  for (const auto& [key, value] : stored) {
    if (is_kept_system_key(key, value)) {
      given.insert_or_assign(key, value);
    } else if (is_kept_unless_given(key)) {
      given.try_emplace(key, value);
    }
  }
  return given;
}

float updated_confidence(const Record& record) {
  std::optional<ClaimCertainty> certainty;
  if (auto it = record.metadata.find("claim_certainty"); it != record.metadata.end()) {
    certainty = parse_claim_certainty(it->second);
  }
  return store_confidence(record.source_type, certainty);
}

uint32_t read_feedback_counter(const StringMap& metadata, std::string_view key) {
  auto it = metadata.find(key);
  if (it == metadata.end()) return 0;
  std::string_view text = it->second;
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return 0;
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

void apply_feedback(Record& record, bool useful, double now) {
  char last[64];
  std::snprintf(last, sizeof last, "%.3f", now);
  record.metadata.insert_or_assign(std::string(kFeedbackLastKey), last);
  const std::string_view key = useful ? kFeedbackPositiveKey : kFeedbackNegativeKey;
  // An unreadable counter restarts; a full one stays full rather than wrap.
  const uint32_t count = read_feedback_counter(record.metadata, key);
  const uint32_t next = count == UINT32_MAX ? count : count + 1;
  record.metadata.insert_or_assign(std::string(key), std::to_string(next));
  record.strength = useful ? std::min(record.strength + 0.1f, 1.0f) : std::max(record.strength - 0.15f, 0.0f);
}

}  // namespace vesk
