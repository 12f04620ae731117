// The dictionary forms of holds, retention, compaction, checkpoints and the
// retention scheduler, built as JSON values that the Python layer turns into
// dicts with their keys in order. Paths are given as text with invalid UTF-8
// replaced by U+FFFD.
#pragma once

#include "exchange/capsule/authenticity_checkpoint.h"
#include "exchange/capsule/container_retention.h"
#include "exchange/capsule/container_writer.h"
#include "exchange/capsule/generation_holds.h"
#include "exchange/capsule/retention_scheduler.h"
#include "model/json_value.h"

namespace vesk {

// "control_generation", "held_generation", "active_holds" (each
// "generation", "label", "created_at").
JsonObject generation_hold_report_to_dict(const GenerationHoldReport& report);

// "evaluated_generations", "keep_generations", "drop_generations",
// "selected_keep_last", "age_cutoff", "estimated_compacted_size",
// "size_target_met", "held_generations", "hold_floor_generation",
// "limits_blocked_by_holds", "reasons".
JsonObject retention_plan_to_dict(const RetentionPlan& plan);

// "path", "kept_generations", "dropped_generation_count",
// "copied_segment_count", "reused_segment_count", "previous_size",
// "compacted_size", "reclaimed_bytes", "trailing_bytes_removed".
JsonObject compaction_report_to_dict(const CompactionReport& report);

// "evaluated_generation_count", "selected_keep_last", "age_cutoff",
// "estimated_compacted_size", "size_target_met" (recomputed), "reasons",
// "compaction", "plan" (whose "size_target_met" is the plan's own).
JsonObject retention_apply_report_to_dict(const RetentionApplyReport& report);

// "append" (the write report) and "retention".
JsonObject append_with_retention_to_dict(const ContainerWriteReport& append, const RetentionApplyReport& retention);

// The members of the checkpoint, in file order.
JsonObject authenticity_checkpoint_to_dict(const CapsuleAuthenticityCheckpoint& checkpoint);

// "checkpoint_path", "public_key", "checkpoint_generation",
// "current_generation", "current_manifest_sha256", "advanced_by",
// "checkpoint_is_current".
JsonObject checkpoint_comparison_to_dict(const CheckpointComparison& comparison);

// "path", "running", "interval_seconds", "run_count", "last_run_at",
// "last_reclaimed_bytes", "last_error" (null when absent).
JsonObject retention_scheduler_status_to_dict(const RetentionSchedulerStatus& status);

}  // namespace vesk
