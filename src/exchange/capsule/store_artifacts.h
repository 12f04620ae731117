// The store files that a container generation captures, and the names of
// their segments.
//
// Captured, each when it is a regular file (a symbolic link to one counts),
// under its own name: "brain.vesk", "temporal.bin", "brain.cog", "brain.snap",
// "embeddings.cog", "embeddings.log", "beliefs.cog", "concepts.cog",
// "causal.cog", "topology.cog", "policies.cog", "persistence_manifest.json",
// "maintenance_trends.json", "reflection_summaries.json",
// "recall_replay.json", "brain.audit", ".vesk.learned", "canonical.vesk.syn";
// and every regular file below the subdirectories "index" and "versions",
// named by its path relative to the store directory with '/' between the
// parts (symbolic links inside them are skipped, not followed).
//
// "embeddings.log" holds the vectors put since the last compaction of the
// embedding store; without it a copy would lose them. Its last frame may be
// torn when a put runs during the capture; opening the store cuts a torn
// frame off, so the copy loads every complete put.
//
// Nothing else is captured: not "memory.key" (an imported password store
// needs the original key file), "brain.lock" or rotated audit journals.
#pragma once

#include <string>
#include <vector>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

struct ContainerArtifact {
  std::string name;  // segment name, relative, '/'-separated
  fs::path path;     // the file to read
};

// The files of `source_dir` that a generation captures, sorted by name byte
// by byte. A missing or unreadable file or subdirectory is skipped; a
// failure to list a walked directory or to read an entry's kind fails with
// the operating system's error; a walked name that is not UTF-8 fails with
// "Vesk artifact path is not UTF-8".
Result<std::vector<ContainerArtifact>> collect_store_artifacts(const fs::path& source_dir);

// Removes the container and its lock file from `artifacts` (and anything
// below them, should either be a directory), comparing canonical paths, so
// that a container kept inside the store directory never captures itself.
// An artifact whose path cannot be canonicalised stays. The order is kept.
Status exclude_container_artifacts(std::vector<ContainerArtifact>& artifacts, const fs::path& container_path);

}  // namespace vesk
