// Exporting a store directory into a new container, and appending its
// current state to an existing one as the next generation.
//
// The caller holds the container's mutation lock (container_lock.h) for the
// whole call: on the output path for an export, on the container for an
// append.
//
// An export writes the header and generation 1 into a temporary file beside
// the output, "<output with its extension replaced by vesk.tmp>" (backup.ctr
// and backup both use backup.vesk.tmp), and renames it into place, so the
// output either does not exist or holds a committed generation. Two exports
// whose outputs share a temporary name (backup.ctr and backup.bak) hold
// different mutation locks; the temporary file therefore carries a lock of
// its own, taken before it is emptied, and the second export fails instead of
// writing into the first one's file. A failed export removes its temporary
// file and never creates the output.
//
// An append reads the container's committed generations, checks the signing
// key against them before writing anything, cuts off an uncommitted tail
// (unless it holds an intact generation, uncommitted_tail.h) and writes the
// next generation after the last committed one. A failed append leaves the
// committed generations as they were.
#pragma once

#include <cstdint>
#include <string>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/signing_key.h"

namespace vesk {

struct ContainerExportReport {
  std::string output_path;  // as given
  uint64_t segment_count = 0;
  uint64_t original_size = 0;
  uint64_t container_size = 0;
  uint64_t compressed_segment_count = 0;
  uint64_t generation = 1;
};

struct ContainerWriteReport {
  std::string output_path;  // as given
  uint64_t generation = 0;  // written, or the latest when nothing was written
  uint64_t segment_count = 0;
  uint64_t changed_segment_count = 0;
  uint64_t reused_segment_count = 0;
  uint64_t removed_segment_count = 0;
  uint64_t appended_bytes = 0;
  uint64_t container_size = 0;
};

// The export's temporary file for `output`.
fs::path container_export_temp_path(const fs::path& output);

// Failures, first wins: a path holding a NUL byte; "Vesk source directory
// does not exist: {source}"; "Refusing to overwrite existing container:
// {output}"; the parent directory's creation; the artifacts' collection;
// "No Vesk artifacts found in {source}"; "Vesk container exceeds maximum
// segment count"; "Vesk container temporary file is in use by another
// export: {temp}"; then those of write_container_generation and the file
// calls.
Result<ContainerExportReport> export_container_file(const fs::path& source_dir, const fs::path& output,
                                                    const ContainerSigningKey* key, Env& env);

// Failures, first wins: a path holding a NUL byte; "Vesk source directory
// does not exist: {source}"; reading the container (a layout-1 container:
// "Incremental append requires an Vesk v2 container; found version 1");
// check_signing_key_chain's; "No Vesk artifacts found in {source}";
// check_uncommitted_tail's; then those of write_container_generation.
Result<ContainerWriteReport> append_container_generation(const fs::path& source_dir, const fs::path& container,
                                                         const ContainerSigningKey* key, Env& env);

}  // namespace vesk
