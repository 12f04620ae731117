// Writing one container generation at the end of a container file.
//
// The generation goes where the last committed one ends (F). Until its frame
// is complete it is not committed, so a reader, or a crash at any moment,
// sees the container as it was:
//   1. 80 zero bytes at F hold the frame's place;
//   2. each captured file, in artifact order, is read whole and hashed; a
//      file whose name, size and digest equal a segment of the previous
//      latest generation points at that segment's bytes and writes nothing;
//      any other is compressed into one Zstandard frame (level 3) and stored
//      so when that saves more than 32 bytes, else stored as it is ("raw");
//   3. when nothing changed and nothing was removed (and no signature has to
//      start), the file is cut back to F and nothing is written;
//   4. otherwise the TOC follows (signed with the key, if any) and is forced
//      to stable storage; only then is the real frame written at F and the
//      file forced again.
// Layouts: container_format.h; the TOC: model/capsule_toc.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_state.h"
#include "exchange/capsule/signing_key.h"
#include "exchange/capsule/store_artifacts.h"
#include "model/capsule_toc.h"

namespace vesk {

struct GenerationWriteResult {
  // The TOC written, or the previous latest one when nothing was written.
  CapsuleToc toc;
  uint64_t changed_segment_count = 0;
  uint64_t reused_segment_count = 0;
  uint64_t removed_segment_count = 0;
  uint64_t compressed_segment_count = 0;
  uint64_t appended_bytes = 0;  // the generation's length; 0 when nothing was written
};

// Writes generation `generation` into `file` at `committed_end` (F), with
// `previous` the container's state (null for a new container) and `key` the
// signing key (null: unsigned). Time comes from `env`, the files are read
// through it. Failures, first wins: "Invalid Vesk artifact count" (not 1 to
// 4,096); "failed to read Vesk artifact {path}"; "Artifact exceeds segment
// size limit: {name}" (over 512 MiB); "Vesk container exceeds total size
// limit" (over 8 GiB); "Vesk container stored size overflow"; Zstandard's
// error name; "Vesk container TOC exceeds size limit"; a file call's error.
// A failure leaves the bytes written so far after F: an uncommitted tail.
Result<GenerationWriteResult> write_container_generation(File& file, uint64_t committed_end,
                                                         const std::vector<ContainerArtifact>& artifacts,
                                                         const ContainerState* previous, uint64_t generation,
                                                         const ContainerSigningKey* key, Env& env);

// Steps 4 of the list above for a generation whose placeholder frame is at
// `start`: writes the TOC bytes at `toc_at`, forces the file, writes the real
// frame at `start` (number and created_at from `toc`) and forces the file
// again. Gives the generation's end offset; a failure leaves an uncommitted
// tail.
Result<uint64_t> commit_generation(File& file, uint64_t start, uint64_t toc_at, const CapsuleToc& toc,
                                   std::string_view toc_bytes);

// `content` as one Zstandard frame at level 3, with the content size in the
// frame header; or Zstandard's error name.
Result<std::string> zstd_compress_segment(std::string_view content);

}  // namespace vesk
