#include "write/store_request.h"

#include "model/record.h"
#include "write/ingress_stamp.h"
#include "write/reserved_metadata.h"

namespace vesk {

Status check_content_size(std::string_view content) {
  if (content.empty()) return Status::Runtime("Content cannot be empty");
  if (content.size() > kMaxContentBytes) return Status::Runtime("Content exceeds maximum size of 100KB");
  return Status::Ok();
}

Status check_reserved_audit_metadata(const StringMap* metadata) {
  if (!metadata) return Status::Ok();
  for (const auto& entry : *metadata) {
    if (entry.first.starts_with("vesk.audit.v1.")) {
      return Status::Runtime(
          "vesk.audit.v1.* metadata is reserved; use annotate_audit_entity() and link_audit_entities()");
    }
  }
  return Status::Ok();
}

Status check_tag_count(size_t count) {
  if (count > kMaxTags) return Status::Runtime("Maximum " + std::to_string(kMaxTags) + " tags allowed");
  return Status::Ok();
}

Status validate_semantic_type(std::string_view semantic_type) {
  static constexpr std::string_view kAllowed[] = {"fact",        "decision",   "trend",
                                                  "serendipity", "preference", "contradiction"};
  for (std::string_view allowed : kAllowed) {
    if (semantic_type == allowed) return Status::Ok();
  }
  return Status::Runtime("Invalid semantic_type '" + std::string(semantic_type) +
                         "'. Must be one of: fact, decision, trend, serendipity, preference, contradiction");
}

Result<ResolvedStore> resolve_store_request(StoreRequest request) {
  VESK_RETURN_IF_ERROR(check_content_size(request.content));
  VESK_RETURN_IF_ERROR(check_reserved_audit_metadata(request.metadata ? &*request.metadata : nullptr));

  ResolvedStore r;
  r.level_given = request.level.has_value();
  r.level = request.level.value_or(Level::Working);
  if (request.tags) r.tags = std::move(*request.tags);
  VESK_RETURN_IF_ERROR(check_tag_count(r.tags.size()));
  if (request.authority == WriteAuthority::External) {
    VESK_RETURN_IF_ERROR(
        check_reserved_consequence_metadata(r.tags, request.metadata ? &*request.metadata : nullptr));
  }
  r.content_type = request.content_type ? std::move(*request.content_type) : "text";

  if (request.source_type) {
    r.source_type = std::move(*request.source_type);
  } else if (request.channel) {
    r.source_type = source_type_for_channel(*request.channel);
  } else {
    r.source_type = "recorded";
  }
  VESK_RETURN_IF_ERROR(validate_source_type(r.source_type));

  r.semantic_type = request.semantic_type ? std::move(*request.semantic_type) : "fact";
  VESK_RETURN_IF_ERROR(validate_semantic_type(r.semantic_type));
  r.namespace_ = request.namespace_ ? std::move(*request.namespace_) : "default";
  VESK_RETURN_IF_ERROR(validate_namespace(r.namespace_));

  r.content = std::move(request.content);
  r.pin = request.pin.value_or(false);
  if (request.metadata) r.metadata = std::move(*request.metadata);
  r.deduplicate = request.deduplicate.value_or(true);
  r.caused_by_id = std::move(request.caused_by_id);
  r.channel = std::move(request.channel);
  r.auto_promote = request.auto_promote.value_or(true);
  r.valid_from = request.valid_from;
  r.valid_until = request.valid_until;
  r.authority = request.authority;
  return r;
}

}  // namespace vesk
