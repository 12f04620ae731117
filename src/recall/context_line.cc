#include "recall/context_line.h"

#include "base/rfc3339.h"
#include "model/record_access.h"
#include "model/unicode_text.h"
#include "recall/record_validity.h"

namespace vesk {

std::string_view semantic_marker(std::string_view semantic_type) {
  if (semantic_type == "trend") return " {trend}";
  if (semantic_type == "decision") return " {decision}";
  if (semantic_type == "preference") return " {preference}";
  if (semantic_type == "serendipity") return " {serendipity}";
  if (semantic_type == "contradiction") return " {contradiction}";
  return {};
}

namespace {

std::string_view source_marker(std::string_view source_type) {
  if (source_type == "inferred") return " [inferred]";
  if (source_type == "retrieved") return " [retrieved]";
  if (source_type == "generated") return " [generated]";
  return {};
}

void append_markers(std::string& out, const Record& record) {
  out += source_marker(record.source_type);
  out += semantic_marker(record.semantic_type);
  if (record.tags.empty()) return;
  out += " [";
  for (size_t i = 0; i < record.tags.size(); ++i) {
    if (i) out += ", ";
    out += record.tags[i];
  }
  out += ']';
}

void replace_all(std::string& s, char from, char to) {
  for (char& c : s)
    if (c == from) c = to;
}

}  // namespace

const Record* visible_cause_record(const Record& record, const RecordLookup& records, double now) {
  if (!record.caused_by_id) return nullptr;
  const Record* cause = records(*record.caused_by_id);
  if (!cause || cause->namespace_ != record.namespace_ || !record_valid_at(*cause, now)) return nullptr;
  static const AccessRequest kAnonymous;
  if (!record_access_allowed(*cause, kAnonymous).allowed) return nullptr;
  return cause;
}

std::string format_recall_line(const Record& record, const RecordLookup& records, double now) {
  static constexpr std::string_view kFence = "```";
  std::string out;
  if (record.content_type == "json" || record.content_type == "code") {
    const bool json = record.content_type == "json";
    out += json ? "  - [JSON]" : "  - [CODE]";
    append_markers(out, record);
    out += '\n';
    out += kFence;
    if (json) {
      out += "json";
    } else if (auto it = record.metadata.find("language"); it != record.metadata.end()) {
      out += it->second;
    }
    out += '\n';
    out += record.content;
    out += '\n';
    out += kFence;
  } else {
    out += "  - ";
    out += record.content;
    append_markers(out, record);
  }
  if (const Record* cause = visible_cause_record(record, records, now)) {
    out += "\n    ^ because: ";
    out += first_chars(cause->content, kCauseLineChars);
  }
  return out;
}

std::optional<std::string> format_context_date(const Record& record) {
  auto it = record.metadata.find("timestamp");
  if (it == record.metadata.end()) return std::nullopt;
  const std::string& text = it->second;
  // The parse validates the whole text; the date and the hour and minute are
  // then read where they stand, in the text's own offset.
  if (!parse_rfc3339(text)) return std::nullopt;
  std::string out = text.substr(0, 10);
  out += ' ';
  out += text.substr(11, 5);
  return out;
}

std::string escape_triple_equals(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 3, "===") == 0) {
      out += "= = =";
      i += 3;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string sanitize_untrusted_text(std::string_view text) {
  std::string s(text);
  replace_all(s, '[', '(');
  replace_all(s, ']', ')');
  s = escape_triple_equals(s);
  replace_all(s, '\r', ' ');
  replace_all(s, '\n', ' ');
  return s;
}

}  // namespace vesk
