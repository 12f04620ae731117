#include "exchange/context_fragment/context_fragment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "model/json_codec.h"
#include "model/json_writer.h"

namespace vesk {
namespace {

void write_fragment_record(JsonWriter& w, const ScoredRecord& result, std::string_view shared_from) {
  const Record& r = result.record;
  // std::map orders std::string keys by their bytes, unsigned, as the
  // document's keys must be.
  std::map<std::string, std::string> metadata(r.metadata.begin(), r.metadata.end());
  metadata["shared_score"] = shared_score_text(result.score);
  metadata["shared_from"] = std::string(shared_from);

  w.begin_object();
  w.key("content");
  w.string(r.content);
  w.key("content_type");
  w.string(r.content_type);
  w.key("created_at");
  w.f64(r.created_at);
  w.key("id");
  w.string(r.id);
  w.key("level");
  w.string(level_display_name(r.level));
  w.key("metadata");
  w.begin_object();
  for (const auto& [k, v] : metadata) {
    w.key(k);
    w.string(v);
  }
  w.end_object();
  w.key("namespace");
  w.string(r.namespace_);
  w.key("source_type");
  w.string(r.source_type);
  w.key("strength");
  w.f64(static_cast<double>(r.strength));
  w.key("tags");
  w.begin_array();
  for (const auto& t : r.tags) w.string(t);
  w.end_array();
  w.end_object();
}

// The "level" text upper-cased by the full Unicode mapping, as far as it can
// still name a level: besides the ASCII letters only the dotless i, the long
// s and the Latin ligatures upper-case to ASCII letters alone; every other
// character upper-cases to something that names no level, so it is kept as
// it is.
std::string upper_for_level(std::string_view s) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kToAscii{{
      {"\xC4\xB1", "I"},       // U+0131 dotless i
      {"\xC5\xBF", "S"},       // U+017F long s
      {"\xEF\xAC\x80", "FF"},  // U+FB00
      {"\xEF\xAC\x81", "FI"},  // U+FB01
      {"\xEF\xAC\x82", "FL"},  // U+FB02
      {"\xEF\xAC\x83", "FFI"}, // U+FB03
      {"\xEF\xAC\x84", "FFL"}, // U+FB04
      {"\xEF\xAC\x85", "ST"},  // U+FB05
      {"\xEF\xAC\x86", "ST"},  // U+FB06
  }};
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c >= 'a' && c <= 'z') {
      out.push_back(static_cast<char>(c - 'a' + 'A'));
      ++i;
      continue;
    }
    bool mapped = false;
    for (const auto& [from, to] : kToAscii) {
      if (s.substr(i, from.size()) == from) {
        out.append(to);
        i += from.size();
        mapped = true;
        break;
      }
    }
    if (!mapped) out.push_back(s[i++]);
  }
  return out;
}

Level fragment_level(const JsonValue* level) {
  if (!level || level->kind() != JsonValue::Kind::String) return Level::Working;
  const std::string upper = upper_for_level(level->as_string());
  if (upper == "DECISIONS") return Level::Decisions;
  if (upper == "DOMAIN") return Level::Domain;
  if (upper == "IDENTITY") return Level::Identity;
  return Level::Working;
}

bool is_consequence_tag(std::string_view tag) {
  return tag == "consequence-unit" || tag == "consequence-refute" || tag == "consequence-support" ||
         tag == "consequence-inconclusive";
}

std::vector<std::string> fragment_tags(const JsonValue* tags) {
  std::vector<std::string> out;
  if (tags && tags->kind() == JsonValue::Kind::Array) {
    const auto& items = tags->as_array();
    const bool all_text =
        std::all_of(items.begin(), items.end(), [](const JsonValue& t) { return t.kind() == JsonValue::Kind::String; });
    if (all_text)
      for (const auto& t : items) out.push_back(t.as_string());
  }
  if (std::find(out.begin(), out.end(), "shared") == out.end()) out.emplace_back("shared");
  std::erase_if(out, [](const std::string& t) { return is_consequence_tag(t); });
  return out;
}

StringMap fragment_metadata(const JsonValue* metadata) {
  StringMap out;
  if (metadata && metadata->kind() == JsonValue::Kind::Object) {
    const auto& members = metadata->as_object();
    const bool all_text = std::all_of(members.begin(), members.end(), [](const JsonObject::Entry& m) {
      return m.second.kind() == JsonValue::Kind::String;
    });
    if (all_text)
      for (const auto& [k, v] : members) out.insert_or_assign(k, v.as_string());
  }
  out.insert_or_assign("trust_external", "true");
  std::erase_if(out, [](const auto& kv) {
    return kv.first.starts_with("cu_") || (kv.first == "kind" && kv.second == "consequence_unit");
  });
  return out;
}

}  // namespace

std::string shared_score_text(float score) {
  const double v = static_cast<double>(score);
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  std::array<char, 64> buf{};
  const int n = std::snprintf(buf.data(), buf.size(), "%.4f", v);
  if (n > 0 && static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
  // Only a score beyond 10^58 is too long for the buffer; give it its own.
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), "%.4f", v);
  big.resize(static_cast<size_t>(n));
  return big;
}

std::string write_context_fragment(std::string_view query, std::span<const ScoredRecord> results,
                                   std::string_view shared_from) {
  std::string out;
  out.reserve(256 + results.size() * 768);
  JsonWriter w(out, JsonStyle::Pretty);
  w.begin_object();
  w.key("format");
  w.string(kContextFragmentFormat);
  w.key("query");
  w.string(query);
  w.key("record_count");
  w.u64(results.size());
  w.key("records");
  w.begin_array();
  for (const auto& result : results) write_fragment_record(w, result, shared_from);
  w.end_array();
  w.key("version");
  w.string(kContextFragmentVersion);
  w.end_object();
  return out;
}

Result<JsonValue::Array> read_fragment_records(std::string_view text) {
  auto doc = json_parse<JsonValue>(text);
  if (!doc.ok()) return doc.status().as(ErrorKind::Runtime);
  std::string format;
  const JsonObject* object = doc->kind() == JsonValue::Kind::Object ? &doc->as_object() : nullptr;
  if (object) {
    const JsonValue* f = object->find("format");
    if (f && f->kind() == JsonValue::Kind::String) format = f->as_string();
  }
  if (!object || format != kContextFragmentFormat)
    return Status::Runtime("Unknown format: '" + format + "'. Expected 'vesk_context'");
  JsonValue* records = doc->as_object().find("records");
  if (!records) return Status::Runtime("Missing 'records' field");
  if (records->kind() != JsonValue::Kind::Array) return Status::Runtime("'records' must be an array");
  return std::move(records->as_array());
}

Result<FragmentRecord> read_fragment_record(const JsonValue& item) {
  const JsonValue* content = item.kind() == JsonValue::Kind::Object ? item.as_object().find("content") : nullptr;
  if (!content || content->kind() != JsonValue::Kind::String) return Status::Runtime("Record missing 'content'");
  const JsonObject& o = item.as_object();
  FragmentRecord out;
  out.content = content->as_string();
  out.level = fragment_level(o.find("level"));
  out.tags = fragment_tags(o.find("tags"));
  out.metadata = fragment_metadata(o.find("metadata"));
  return out;
}

}  // namespace vesk
