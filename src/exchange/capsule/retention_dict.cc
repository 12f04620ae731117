#include "exchange/capsule/retention_dict.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "exchange/capsule/container_dict.h"

namespace vesk {

namespace {

JsonValue numbers(const std::vector<uint64_t>& values) {
  JsonValue::Array out(values.begin(), values.end());
  return out;
}

JsonValue texts(const std::vector<std::string>& values) {
  JsonValue::Array out(values.begin(), values.end());
  return out;
}

template <class T>
JsonValue optional_value(const std::optional<T>& v) {
  return v ? JsonValue(*v) : JsonValue();
}

}  // namespace

JsonObject generation_hold_report_to_dict(const GenerationHoldReport& report) {
  JsonValue::Array holds;
  holds.reserve(report.active_holds.size());
  for (const CapsuleGenerationHold& hold : report.active_holds) {
    JsonObject h;
    h.append("generation", hold.generation);
    h.append("label", hold.label);
    h.append("created_at", hold.created_at);
    holds.emplace_back(std::move(h));
  }
  JsonObject out;
  out.append("control_generation", report.control_generation);
  out.append("held_generation", report.held_generation);
  out.append("active_holds", std::move(holds));
  return out;
}

JsonObject retention_plan_to_dict(const RetentionPlan& plan) {
  JsonObject out;
  out.append("evaluated_generations", numbers(plan.evaluated_generations));
  out.append("keep_generations", numbers(plan.keep_generations));
  out.append("drop_generations", numbers(plan.drop_generations));
  out.append("selected_keep_last", plan.selected_keep_last);
  out.append("age_cutoff", optional_value(plan.age_cutoff));
  out.append("estimated_compacted_size", plan.estimated_compacted_size);
  out.append("size_target_met", plan.size_target_met);
  out.append("held_generations", numbers(plan.held_generations));
  out.append("hold_floor_generation", optional_value(plan.hold_floor_generation));
  out.append("limits_blocked_by_holds", plan.limits_blocked_by_holds);
  out.append("reasons", texts(plan.reasons));
  return out;
}

JsonObject compaction_report_to_dict(const CompactionReport& report) {
  JsonObject out;
  out.append("path", decode_utf8_lossy(report.path));
  out.append("kept_generations", numbers(report.kept_generations));
  out.append("dropped_generation_count", report.dropped_generation_count);
  out.append("copied_segment_count", report.copied_segment_count);
  out.append("reused_segment_count", report.reused_segment_count);
  out.append("previous_size", report.previous_size);
  out.append("compacted_size", report.compacted_size);
  out.append("reclaimed_bytes", report.reclaimed_bytes);
  out.append("trailing_bytes_removed", report.trailing_bytes_removed);
  return out;
}

JsonObject retention_apply_report_to_dict(const RetentionApplyReport& report) {
  JsonObject out;
  out.append("evaluated_generation_count", report.evaluated_generation_count);
  out.append("selected_keep_last", report.selected_keep_last);
  out.append("age_cutoff", optional_value(report.age_cutoff));
  out.append("estimated_compacted_size", report.estimated_compacted_size);
  out.append("size_target_met", report.size_target_met);
  out.append("reasons", texts(report.reasons));
  out.append("compaction", compaction_report_to_dict(report.compaction));
  out.append("plan", retention_plan_to_dict(report.plan));
  return out;
}

JsonObject append_with_retention_to_dict(const ContainerWriteReport& append, const RetentionApplyReport& retention) {
  JsonObject out;
  out.append("append", container_write_report_to_dict(append));
  out.append("retention", retention_apply_report_to_dict(retention));
  return out;
}

JsonObject authenticity_checkpoint_to_dict(const CapsuleAuthenticityCheckpoint& checkpoint) {
  JsonObject out;
  out.append("format", checkpoint.format);
  out.append("version", static_cast<uint64_t>(checkpoint.version));
  out.append("public_key", checkpoint.public_key);
  out.append("generation", checkpoint.generation);
  out.append("manifest_sha256", checkpoint.manifest_sha256);
  out.append("updated_at", checkpoint.updated_at);
  return out;
}

JsonObject checkpoint_comparison_to_dict(const CheckpointComparison& comparison) {
  JsonObject out;
  out.append("checkpoint_path", decode_utf8_lossy(comparison.checkpoint_path));
  out.append("public_key", comparison.public_key);
  out.append("checkpoint_generation", comparison.checkpoint_generation);
  out.append("current_generation", comparison.current_generation);
  out.append("current_manifest_sha256", comparison.current_manifest_sha256);
  out.append("advanced_by", comparison.advanced_by);
  out.append("checkpoint_is_current", comparison.checkpoint_is_current);
  return out;
}

JsonObject retention_scheduler_status_to_dict(const RetentionSchedulerStatus& status) {
  JsonObject out;
  out.append("path", decode_utf8_lossy(status.path));
  out.append("running", status.running);
  out.append("interval_seconds", status.interval_seconds);
  out.append("run_count", status.run_count);
  out.append("last_run_at", optional_value(status.last_run_at));
  out.append("last_reclaimed_bytes", optional_value(status.last_reclaimed_bytes));
  out.append("last_error", optional_value(status.last_error));
  return out;
}

}  // namespace vesk
