// Compaction: rewriting a container so that it holds only its newest
// generations, copying each kept generation's stored bytes once.
//
// The container file is never written. The kept generations go into a new
// file T beside it ("<container with its last extension replaced by
// vesk.compact.tmp>"; a name without an extension gets it added), which is
// created new (an existing T is refused and left alone: it is what a crash
// left, and is removed by hand). For each kept generation, oldest first:
// a placeholder frame; its segments, each either pointing at the bytes
// written for the same file (name, original size and "sha256" text) of the
// generation just before it, or read, decoded and checked against its
// digest and then appended as stored (no recompression); the TOC with the
// new offsets, forced to stable storage; the real frame, forced again.
// Numbers, timestamps, the authenticity record and so signatures survive
// (manifests leave out offsets and stored sizes). Holds on dropped
// generations are pruned from unsigned TOCs only: a signed manifest covers
// its holds. T is then read back, its generations must be the kept ones,
// every segment is checked again, and T is renamed over the container
// (over the target when the path is a symbolic link). Any failure removes T
// and leaves the container as it was; the directory is not forced after the
// rename.
//
// The oldest held generation of the latest TOC and everything newer are
// always kept. An uncommitted tail is dropped, unless it holds a generation
// committed on its own (uncommitted_tail.h): then nothing is written.
//
// The caller holds the container's mutation lock (container_lock.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

struct CompactionReport {
  std::string path;  // as given
  std::vector<uint64_t> kept_generations;
  uint64_t dropped_generation_count = 0;
  uint64_t copied_segment_count = 0;
  uint64_t reused_segment_count = 0;
  uint64_t previous_size = 0;
  uint64_t compacted_size = 0;  // previous_size when nothing was rewritten
  uint64_t reclaimed_bytes = 0;
  uint64_t trailing_bytes_removed = 0;  // the uncommitted tail that was present
};

// T for the container at `path`.
fs::path compaction_temp_path(const fs::path& path);

// Keeps the newest `keep_last` generations (more when holds need them).
// Nothing is written when every generation is kept and there is no tail.
// Failures, first wins: "Vesk container compaction must retain at least one
// generation"; reading the container (load_v2_container_state); "Held Vesk
// generation is not retained"; check_uncommitted_tail's; "Vesk compaction
// temporary path already exists: {T}"; decoding ("Checksum mismatch for
// segment {name}" among them); "Compacted Vesk original size overflow",
// "Compacted Vesk stored size overflow"; "Compacted Vesk container TOC
// exceeds size limit"; "Compacted Vesk container generation history
// mismatch"; the check of T's segments; the file calls'.
Result<CompactionReport> compact_container_generations(const fs::path& path, uint64_t keep_last, Env& env);

// compact_container_generations inside the container mutation mutex and the
// container's lock file.
Result<CompactionReport> compact_container_locked(const fs::path& path, uint64_t keep_last, Env& env);

}  // namespace vesk
