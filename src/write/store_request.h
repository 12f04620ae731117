// The arguments of one store call and their first checks.
//
// Every new record enters the store through one road (Vesk::store...). This
// file holds what that road decides from its arguments alone, before it looks
// at the store: the validations in their fixed order with their messages,
// the defaults, and the source type taken from the argument or the channel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/level.h"
#include "base/status.h"
#include "base/string_hash.h"
#include "write/security_profile.h"

namespace vesk {

inline constexpr size_t kMaxContentBytes = 102400;
inline constexpr size_t kMaxTags = 50;
// Content shorter than this is never matched as an exact duplicate.
inline constexpr size_t kMinDuplicateBytes = 20;

// The arguments as the caller gave them; none means "not given".
struct StoreRequest {
  std::string content;
  std::optional<Level> level;
  std::optional<std::vector<std::string>> tags;
  std::optional<bool> pin;
  std::optional<std::string> content_type;
  std::optional<std::string> source_type;
  std::optional<StringMap> metadata;
  std::optional<bool> deduplicate;
  std::optional<std::string> caused_by_id;
  std::optional<std::string> channel;
  std::optional<bool> auto_promote;  // none: on
  std::optional<std::string> namespace_;
  std::optional<std::string> semantic_type;
  std::optional<double> valid_from;
  std::optional<double> valid_until;
  WriteAuthority authority = WriteAuthority::External;
};

// The arguments once checked, with every default filled in.
struct ResolvedStore {
  std::string content;
  Level level = Level::Working;
  bool level_given = false;
  std::vector<std::string> tags;
  bool pin = false;
  std::string content_type;
  std::string source_type;
  StringMap metadata;  // the caller's map (empty when not given)
  bool deduplicate = true;
  std::optional<std::string> caused_by_id;
  std::optional<std::string> channel;
  bool auto_promote = true;
  std::string namespace_;
  std::string semantic_type;
  std::optional<double> valid_from;
  std::optional<double> valid_until;
  WriteAuthority authority = WriteAuthority::External;

  // Text content ("text" or "text/..."): classified for claim certainty and
  // outcome.
  bool classifiable() const { return content_type == "text" || content_type.starts_with("text/"); }
  // Looked up as an exact duplicate before a new record is made.
  bool duplicate_eligible() const {
    return deduplicate && content_type == "text" && content.size() >= kMinDuplicateBytes;
  }
};

// The checks in their order, the first failure returned (all Runtime):
//   content empty / over 102400 bytes, reserved audit metadata, more than 50
//   tags, reserved consequence tags or metadata (External authority only),
//   source type, semantic type, namespace.
Result<ResolvedStore> resolve_store_request(StoreRequest request);

// The single checks, for other writers.
Status check_content_size(std::string_view content);
// Metadata keys beginning "vesk.audit.v1." belong to the audit entity
// operations.
Status check_reserved_audit_metadata(const StringMap* metadata);
Status check_tag_count(size_t count);
// "fact", "decision", "trend", "serendipity", "preference", "contradiction".
Status validate_semantic_type(std::string_view semantic_type);

}  // namespace vesk
