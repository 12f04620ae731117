// The dictionary forms of container results, built as JSON values that the
// Python layer turns into dicts with their keys in order.
#pragma once

#include "exchange/capsule/container_import.h"
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

}  // namespace vesk
