#include "audit/consequence_record.h"

#include <charconv>
#include <cstdio>
#include <ranges>

#include "audit/consequence_readout.h"
#include "model/json_codec.h"
#include "model/json_value.h"
#include "model/json_writer.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

std::string polarity_tag(ConsequencePolarity p) {
  switch (p) {
    case ConsequencePolarity::Supports: return "consequence-support";
    case ConsequencePolarity::Refutes: return "consequence-refute";
    case ConsequencePolarity::Inconclusive: break;
  }
  return "consequence-inconclusive";
}

std::string joined(const std::vector<std::string>& parts, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

std::vector<std::string> split_lines_trimmed(const std::string* text) {
  std::vector<std::string> out;
  if (!text) return out;
  for (auto piece : std::views::split(std::string_view(*text), '\n')) {
    std::string_view t = trim_unicode_white_space(std::string_view(piece.begin(), piece.end()));
    if (!t.empty()) out.emplace_back(t);
  }
  return out;
}

// A signed 32-bit decimal: an optional sign and digits only.
int32_t parse_trust(const std::string* text) {
  if (!text || text->empty()) return 0;
  std::string_view s = *text;
  if (s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() == '-' || s.front() == '+') return 0;
  }
  int32_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return 0;
  return v;
}

std::optional<double> parse_seconds(const std::string* text) {
  if (!text || text->empty()) return std::nullopt;
  double v = 0.0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), v);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return v;
}

StringMap parse_links(const std::string* text) {
  StringMap links;
  if (!text) return links;
  Result<JsonValue> v = json_parse<JsonValue>(*text);
  if (!v.ok() || v->kind() != JsonValue::Kind::Object) return links;
  for (const auto& [key, value] : v->as_object()) {
    if (value.kind() != JsonValue::Kind::String) return {};
    links.insert_or_assign(key, value.as_string());
  }
  return links;
}

const std::string* find_text(const StringMap& m, std::string_view key) {
  auto it = m.find(key);
  return it == m.end() ? nullptr : &it->second;
}

}  // namespace

ConsequenceRecordFields consequence_record_fields(const ConsequenceUnit& unit) {
  ConsequenceRecordFields f;
  const std::string trust = std::to_string(unit.trust);
  f.content = "[CONSEQUENCE] situation=" + unit.situation + " | action=" + unit.action +
              " | consequence=" + unit.consequence + " | trust=" + trust + " | scope=" + joined(unit.scope, ",");
  f.tags = {std::string(kConsequenceUnitTag), "outcome", polarity_tag(classify_consequence_outcome(unit))};
  for (const std::string& s : unit.scope) {
    std::string_view t = trim_unicode_white_space(s);
    if (!t.empty()) f.tags.push_back("scope:" + std::string(t));
  }
  char at[64];
  std::snprintf(at, sizeof at, "%.6f", unit.captured_at);
  f.metadata = {{"kind", "consequence_unit"},
                {"cu_situation", unit.situation},
                {"cu_action", unit.action},
                {"cu_consequence", unit.consequence},
                {"cu_trust", trust},
                {"cu_scope", joined(unit.scope, "\n")},
                {"cu_provenance", joined(unit.provenance, "\n")},
                {"cu_captured_at", at}};
  if (!unit.links.empty()) {
    std::string json;
    JsonWriter w(json);
    w.begin_object();
    for (const auto& [target, relation] : unit.links) {
      w.key(target);
      w.string(relation);
    }
    w.end_object();
    f.metadata.insert_or_assign("cu_links", std::move(json));
  }
  return f;
}

std::optional<ConsequenceUnit> build_consequence_unit(const Record& record) {
  const std::string* kind = find_text(record.metadata, "kind");
  if (!kind || *kind != "consequence_unit") return std::nullopt;
  if (std::ranges::find(record.tags, kConsequenceUnitTag) == record.tags.end()) return std::nullopt;
  const StringMap& m = record.metadata;
  ConsequenceUnit u;
  u.record_id = record.id;
  u.namespace_ = record.namespace_;
  auto text = [&](std::string_view key) {
    const std::string* t = find_text(m, key);
    return t ? *t : std::string();
  };
  u.situation = text("cu_situation");
  u.action = text("cu_action");
  u.consequence = text("cu_consequence");
  u.trust = parse_trust(find_text(m, "cu_trust"));
  u.scope = split_lines_trimmed(find_text(m, "cu_scope"));
  u.provenance = split_lines_trimmed(find_text(m, "cu_provenance"));
  u.links = parse_links(find_text(m, "cu_links"));
  u.captured_at = parse_seconds(find_text(m, "cu_captured_at")).value_or(record.created_at);
  return u;
}

std::string consequence_match_text(std::string_view text) {
  std::string out(trim_unicode_white_space(text));
  for (char& c : out) c = ascii_lower(c);
  return out;
}

}  // namespace vesk
