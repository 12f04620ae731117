#include "audit/record_mention.h"

#include <algorithm>
#include <variant>

#include "model/unicode_text.h"

namespace vesk {

namespace {

constexpr size_t kPreviewChars = 50;
constexpr size_t kMatchFloorChars = 12;

size_t char_count(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) next_code_point(s, i);
  return n;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool lists(const std::vector<std::string>& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool retrieve_names(const AuditAction::Retrieve& r, const PurgedRecordTrace& record) {
  const std::string_view preview = record.preview;
  if (!preview.empty() && r.query_preview == preview) return true;
  if (record.preview_chars >= kMatchFloorChars && contains(r.query_preview, preview)) return true;
  const std::string_view q = trim_unicode_white_space(r.query_preview);
  if (record.content.empty() || q.empty()) return false;
  if (char_count(q) >= kMatchFloorChars && contains(record.content, q)) return true;
  for (std::string_view token : identifier_like_tokens(q)) {
    if (contains(record.content, token)) return true;
  }
  return false;
}

bool own_rule(const AuditAction& action, const PurgedRecordTrace& record) {
  const std::string& id = record.id;
  return std::visit(
      [&](const auto& a) -> bool {
        using A = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<A, AuditAction::Store> || std::is_same_v<A, AuditAction::Delete> ||
                      std::is_same_v<A, AuditAction::Update> || std::is_same_v<A, AuditAction::Crystallize>) {
          return a.id == id;
        } else if constexpr (std::is_same_v<A, AuditAction::Retrieve>) {
          return retrieve_names(a, record);
        } else if constexpr (std::is_same_v<A, AuditAction::Synthesize>) {
          return a.result_id == id || lists(a.source_ids, id);
        } else if constexpr (std::is_same_v<A, AuditAction::Correction>) {
          return a.target_id == id;
        } else if constexpr (std::is_same_v<A, AuditAction::OutcomeReceipt>) {
          return lists(a.receipt.candidate_record_ids, id) || lists(a.receipt.selected_record_ids, id);
        } else {
          return false;
        }
      },
      action.value);
}

}  // namespace

PurgedRecordTrace::PurgedRecordTrace(std::string id_, std::string content_)
    : id(std::move(id_)), content(std::move(content_)) {
  preview = std::string(first_chars(content, kPreviewChars));
  preview_chars = char_count(preview);
}

bool audit_entry_names_record(const AuditEntry& entry, const PurgedRecordTrace& record) {
  if (own_rule(entry.action, record)) return true;
  if (!entry.context) return false;
  const std::string& context = *entry.context;
  if (contains(context, record.id)) return true;
  return record.preview_chars >= kMatchFloorChars && contains(context, record.preview);
}

std::vector<std::string_view> identifier_like_tokens(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0, chars = 0;
  bool marked = false;
  auto close = [&](size_t end) {
    if (chars >= 8 && marked) out.push_back(text.substr(start, end - start));
    chars = 0;
    marked = false;
  };
  size_t i = 0;
  while (i < text.size()) {
    const size_t at = i;
    const char32_t c = next_code_point(text, i);
    const bool part = c == '_' || c == '-' || is_unicode_alphanumeric(c);
    if (!part) {
      close(at);
      start = i;
      continue;
    }
    if (chars == 0) start = at;
    ++chars;
    marked = marked || c == '_' || (c >= '0' && c <= '9');
  }
  close(text.size());
  return out;
}

}  // namespace vesk
