// Restoring a container into a new directory by path: one generation, the
// named segments of the latest generation, or the latest generation of a
// container whose signature chain is checked first. Each opens the
// container once and reads the TOC, checks and restores segments from that
// one file; the restoring itself is import_container_segments
// (container_import.h), whose refusals and staging apply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_import.h"

namespace vesk {

// Generation `generation` (select_generation's errors): every segment is
// checked against its digest, then all are restored. A control generation
// (a hold change) restores the files of the generation it repeats.
Result<ContainerImportReport> import_container_generation(const fs::path& container_path,
                                                          const fs::path& target_path, uint64_t generation,
                                                          Env& env);

// The named segments of the latest generation, and only those
// (select_container_segments, its messages: sorted, each once).
Result<ContainerImportReport> extract_container_segments(const fs::path& container_path, const fs::path& target_path,
                                                         std::vector<std::string> names, Env& env);

// Under the container's mutation mutex and lock file (container_lock.h),
// on one open file: the signature chain is checked with the trusted key and
// the flag (verify_signature_chain, its messages, the report discarded),
// then every segment of the latest generation, then the segments are
// restored. The first failure ends the run and no target is made.
Result<ContainerImportReport> import_authenticated_container(const fs::path& container_path,
                                                             const fs::path& target_path,
                                                             std::string_view trusted_public_key,
                                                             bool require_all_signed, Env& env);

}  // namespace vesk
