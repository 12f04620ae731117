#include "recall/recall_items.h"

#include <optional>
#include <string>

#include "model/level.h"

namespace vesk {
namespace {

JsonValue optional_time(const std::optional<double>& t) { return t ? JsonValue(*t) : JsonValue(); }

}  // namespace

JsonValue::Array text_list(const std::vector<std::string>& texts) {
  JsonValue::Array out;
  out.reserve(texts.size());
  for (const std::string& t : texts) out.emplace_back(t);
  return out;
}

JsonObject structured_recall_item(const ScoredRecord& result) {
  const Record& r = result.record;
  JsonObject o;
  o.reserve(14);
  o.append("id", r.id);
  o.append("content", r.content);
  o.append("score", static_cast<double>(result.score));
  o.append("level", level_display_name(r.level));
  o.append("strength", static_cast<double>(r.strength));
  o.append("salience", static_cast<double>(r.salience));
  o.append("tags", text_list(r.tags));
  o.append("source_type", r.source_type);
  o.append("created_at", r.created_at);
  o.append("valid_from", optional_time(r.valid_from));
  o.append("valid_until", optional_time(r.valid_until));
  o.append("superseded_at", optional_time(r.superseded_at));
  if (!r.metadata.empty()) {
    if (auto it = r.metadata.find("trust_score"); it != r.metadata.end()) o.append("trust", it->second);
    if (auto it = r.metadata.find("source"); it != r.metadata.end()) o.append("source", it->second);
  }
  return o;
}

JsonObject point_in_time_recall_item(const ScoredRecord& result, bool with_trust) {
  const Record& r = result.record;
  JsonObject o;
  o.reserve(12);
  o.append("id", r.id);
  o.append("content", r.content);
  o.append("score", static_cast<double>(result.score));
  o.append("level", level_display_name(r.level));
  o.append("strength", static_cast<double>(r.strength));
  o.append("tags", text_list(r.tags));
  o.append("created_at", r.created_at);
  o.append("valid_from", optional_time(r.valid_from));
  o.append("valid_until", optional_time(r.valid_until));
  o.append("superseded_at", optional_time(r.superseded_at));
  o.append("source_type", r.source_type);
  if (with_trust && !r.metadata.empty()) {
    if (auto it = r.metadata.find("trust_score"); it != r.metadata.end()) o.append("trust", it->second);
  }
  return o;
}

JsonObject scoped_context_item(const ScoredRecord& result) {
  const Record& r = result.record;
  JsonObject o;
  o.reserve(8);
  o.append("id", r.id);
  o.append("content", r.content);
  o.append("score", static_cast<double>(result.score));
  o.append("level", level_display_name(r.level));
  o.append("strength", static_cast<double>(r.strength));
  o.append("tags", text_list(r.tags));
  o.append("source_type", r.source_type);
  JsonObject metadata;
  metadata.reserve(r.metadata.size());
  for (const auto& [key, value] : r.metadata) metadata.append(key, value);
  o.append("metadata", std::move(metadata));
  return o;
}

JsonValue::Array structured_recall_items(std::span<const ScoredRecord> results) {
  JsonValue::Array items;
  items.reserve(results.size());
  for (const ScoredRecord& r : results) items.emplace_back(structured_recall_item(r));
  return items;
}

void append_concept_entries(JsonObject& item, std::span<const SurfacedConcept> concepts) {
  if (concepts.empty()) return;
  JsonValue::Array entries;
  entries.reserve(concepts.size());
  for (const SurfacedConcept& c : concepts) {
    JsonObject e;
    e.reserve(10);
    e.append("id", c.id);
    e.append("key", c.key);
    e.append("state", c.state);
    e.append("namespace", c.namespace_);
    e.append("semantic_type", c.semantic_type);
    e.append("core_terms", text_list(c.core_terms));
    e.append("tags", text_list(c.tags));
    e.append("abstraction_score", c.abstraction_score);
    e.append("confidence", c.confidence);
    e.append("cluster_size", c.cluster_size);
    entries.emplace_back(std::move(e));
  }
  item.append("concepts", std::move(entries));
}

}  // namespace vesk
