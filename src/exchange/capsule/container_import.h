// Restoring container segments into a new directory.
//
// The target must not exist. The segments are written into a hidden staging
// directory beside it, ".{target name}.vesk-import-{process id}", which is
// renamed to the target once every file is complete; a failed import removes
// the staging directory with everything in it, so the target is never left
// half made.
//
// Each segment, in the given order: its name must be safe (segment_name.h)
// and must not restore to the same file as an earlier one ("a/b", "a//b" and
// "a/./b/" are one file: "Duplicate Vesk container segment: {name}"); its
// bytes are read, decoded and checked against its digest ("Checksum mismatch
// for segment {name}"), written to a new temporary file, forced to stable
// storage and renamed into place. The temporary files live in a directory of
// their own inside the staging directory, whose name holds a backslash, so
// that no segment name can ever equal a temporary name and no rename can
// replace a file already restored. The staging directories are forced to
// stable storage before the final rename.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_file.h"
#include "model/capsule_toc.h"

namespace vesk {

struct ContainerImportReport {
  std::string target_path;  // as the caller gave it
  uint64_t segment_count = 0;
  uint64_t restored_size = 0;  // the sum of the decoded sizes
};

// Failures before anything is written, in this order: a path holding a NUL
// byte; "Import target must not exist; refusing to overwrite {target}";
// "Import target must have a parent directory" (a root or empty path; a
// bare name has the current directory as its parent, and missing parents
// are created); "Invalid import target name" (the last part is not a normal
// UTF-8 name); "Import staging path already exists: {staging}".
Result<ContainerImportReport> import_container_segments(const fs::path& container_path, const fs::path& target_path,
                                                        const std::vector<CapsuleSegment>& segments, Env& env);
// The same, reading from a container already open (the TOC the segments
// came from was read from this file), so that no other file renamed over
// the container's path in between can be restored in its place.
Result<ContainerImportReport> import_container_segments(ContainerFile& container, const fs::path& target_path,
                                                        const std::vector<CapsuleSegment>& segments, Env& env);

}  // namespace vesk
