// The dictionary forms of container results, built as JSON values that the
// Python layer turns into dicts with their keys in order.
#pragma once

#include "exchange/capsule/container_import.h"
#include "exchange/capsule/container_writer.h"
#include "exchange/capsule/generation_diff.h"
#include "exchange/capsule/generation_listing.h"
#include "exchange/capsule/segment_access.h"
#include "exchange/capsule/signature_chain.h"
#include "model/capsule_toc.h"
#include "model/json_value.h"

namespace vesk {

// A TOC: "format", "version", "generation", "created_at", "original_size",
// "stored_size", "holds" (each "generation", "label", "created_at"),
// "authenticity" (null when unsigned, else "algorithm", "public_key",
// "manifest_sha256", "previous_manifest_sha256" (text or null),
// "signature"), "segments" (each "name", "offset", "stored_size",
// "original_size", "codec" ("raw" or "zstd"), "sha256"); lists in TOC order.
JsonObject container_manifest_to_dict(const CapsuleToc& toc);

// An import: "target_path", "segment_count", "restored_size".
JsonObject container_import_report_to_dict(const ContainerImportReport& report);

// An export: "output_path", "segment_count", "original_size",
// "container_size", "compressed_segment_count", "generation".
JsonObject container_export_report_to_dict(const ContainerExportReport& report);

// An append: "output_path", "generation", "segment_count",
// "changed_segment_count", "reused_segment_count", "removed_segment_count",
// "appended_bytes", "container_size".
JsonObject container_write_report_to_dict(const ContainerWriteReport& report);

// A verification: "path", "verified", "generation_count",
// "signed_generation_count", "unsigned_generation_count",
// "all_generations_signed", "chain_start_generation", "detached_prefix",
// "public_key", "latest_manifest_sha256" (the optional ones null when absent).
JsonObject container_authenticity_report_to_dict(const ContainerAuthenticityReport& report);

// A listing, one dict per generation: "generation", "created_at",
// "segment_count", "original_size", "stored_size".
JsonValue::Array container_generations_to_list(const std::vector<ContainerGenerationEntry>& entries);

// A comparison: "from_generation", "to_generation", "added", "removed",
// "unchanged" (lists of names), "original_size_delta" (signed), "changed"
// (each "name", "previous_sha256", "current_sha256", "previous_size",
// "current_size").
JsonObject generation_diff_to_dict(const GenerationDiff& diff);

// A check of named segments: "segment_count", "total_size", "segments".
JsonObject segment_verification_to_dict(const SegmentVerification& checked);

}  // namespace vesk
