// Reading container files: the header, the one TOC of layout 1, the walk
// over the generations of layout 2, and choosing a generation.
//
// Each path-based operation opens the file afresh, read-only, and takes no
// lock: it sees the generations committed when its walk passed them.
//
// The layout-2 walk starts at offset 64 and reads each generation's frame
// and TOC once. A generation at offset O is committed when, in this order:
//   1. 80 bytes remain from O and the frame's magic is "VKGN";
//   2. toc_offset >= 80, toc_length in 1..16 MiB, generation_length in
//      80..8,606,711,888, frame_version 1, flags 0;
//   3. the file's first generation has a number >= 1, each next one the
//      previous number + 1;
//   4. toc_offset + toc_length equals generation_length and O +
//      generation_length lies within the file, without overflow;
//   5. the TOC bytes hash to the frame's digest;
//   6. they parse as a TOC whose generation and created_at are the frame's;
//   7. the TOC passes validate_container_toc (layout 2, its own offset);
//   8. every hold names this generation, one below the file's first, or a
//      committed one earlier in the file.
// The first rule that fails ends the walk without an error: the generations
// before it are the container (a torn append, a damaged TOC). A committed
// generation then passes the signature checks of generation_signature.h,
// and a failure there is the error of the whole read. The walk also ends
// when fewer than 80 bytes follow a generation.
#pragma once

#include <cstdint>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_header.h"
#include "exchange/capsule/container_state.h"
#include "model/capsule_toc.h"

namespace vesk {

// Rule 2 above: the frame's lengths, offsets, version and flags are in range.
bool generation_frame_fields_valid(const ContainerGenerationFrame& frame);

// The header: "Vesk container is shorter than its header" below 64 bytes,
// "Invalid Vesk container magic" for another magic. The caller dispatches on
// the version.
Result<ContainerHeader> read_container_header(ContainerFile& file);

// The TOC of a layout-1 container, first failure wins: "Not a v1 Vesk
// container", "Unsupported Vesk container flags: {}", "Invalid Vesk
// container TOC bounds" (offset below 64, length outside 1..16 MiB), "Vesk
// container TOC does not terminate at end of file", "Vesk container TOC
// checksum mismatch", the JSON reader's error, the TOC validation's,
// "Vesk container creation timestamp mismatch".
Result<CapsuleToc> open_v1_container(ContainerFile& file, const ContainerHeader& header);

// The committed generations of a layout-2 container: "Unsupported Vesk
// container flags: {}"; "Vesk v2 container has no committed generation"
// when the file is shorter than 144 bytes or the walk finds none; the
// signature checks' errors; a failed read.
Result<ContainerState> read_container_generations(ContainerFile& file, const ContainerHeader& header);

// A container opened by path and read whole, either layout. Layout 1 gives
// its one TOC as the latest and only generation.
struct OpenedContainer {
  ContainerFile file;
  uint16_t version = 0;
  ContainerState state;
};
// The file's own errors ("{text} (os error {n})"), the header's, "Unsupported
// Vesk container version: {}", then the layout's reader's.
Result<OpenedContainer> open_container(const fs::path& path, Env& env);

// The state of a layout-2 container; another version fails with
// "Incremental append requires an Vesk v2 container; found version {}".
Result<ContainerState> load_v2_container_state(const fs::path& path, Env& env);
// The same, with the file kept open for reading the segments.
Result<OpenedContainer> open_v2_container(const fs::path& path, Env& env);
// The latest TOC (layout 1: its one TOC).
Result<CapsuleToc> open_latest_generation(const fs::path& path, Env& env);
// One generation of a container already read, by the rules below.
Result<CapsuleToc> select_generation(const OpenedContainer& opened, uint64_t generation);
// One generation's TOC: layout 1 has only generation 0 ("Legacy Vesk
// containers expose generation 0 only"); layout 2 "Vesk container generation
// not found: {}" for a number it has not committed.
Result<CapsuleToc> select_container_generation(const fs::path& path, uint64_t generation, Env& env);

}  // namespace vesk
