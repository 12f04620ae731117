#include "exchange/context_capsule/context_capsule_dict.h"

namespace vesk {
namespace {

JsonValue widened(float v) { return JsonValue(static_cast<double>(v)); }

JsonValue entry_dict(const CapsuleEntry& e) {
  JsonObject o;
  o.reserve(11);
  o.append("record_id", e.record_id);
  o.append("category", capsule_category_name(e.category));
  o.append("content", e.content);
  o.append("source_type", e.source_type);
  o.append("semantic_type", e.semantic_type);
  o.append("level", level_display_name(e.level));
  o.append("confidence", widened(e.confidence));
  o.append("strength", widened(e.strength));
  o.append("salience", widened(e.salience));
  o.append("estimated_tokens", e.estimated_tokens);
  JsonValue::Array reasons;
  reasons.reserve(e.selection_reasons.size());
  for (const std::string& r : e.selection_reasons) reasons.emplace_back(r);
  o.append("selection_reasons", std::move(reasons));
  return o;
}

JsonValue compaction_dict(const CapsuleCompaction& c) {
  JsonObject o;
  o.reserve(10);
  o.append("baseline_entry_count", c.baseline_entry_count);
  o.append("output_entry_count", c.output_entry_count);
  o.append("additional_entry_count", c.additional_entry_count);
  o.append("original_equivalent_tokens", c.original_equivalent_tokens);
  o.append("compacted_tokens", c.compacted_tokens);
  o.append("saved_tokens", c.saved_tokens);
  o.append("reduction_ratio", widened(c.reduction_ratio));
  o.append("transformed_entry_count", c.transformed_entry_count);
  o.append("protected_entry_count", c.protected_entry_count);
  o.append("originals_unchanged", c.originals_unchanged);
  return o;
}

}  // namespace

JsonObject context_capsule_to_dict(const ContextCapsule& c) {
  JsonObject o;
  o.reserve(12);
  o.append("namespace", c.namespace_);
  o.append("purpose", c.purpose);
  o.append("token_budget", c.token_budget);
  o.append("estimated_tokens", c.estimated_tokens);
  o.append("source_record_count", c.source_record_count);
  o.append("omitted_count", c.omitted_count);
  o.append("refutation_count", c.refutation_count);
  o.append("evidence_debt_count", c.evidence_debt_count);
  o.append("contradiction_count", c.contradiction_count);
  o.append("capsule_hash", c.capsule_hash);
  JsonValue::Array entries;
  entries.reserve(c.entries.size());
  for (const CapsuleEntry& e : c.entries) entries.push_back(entry_dict(e));
  o.append("entries", std::move(entries));
  if (c.compaction) o.append("compaction", compaction_dict(*c.compaction));
  return o;
}

}  // namespace vesk
