// Listing the generations of a container: one entry per committed
// generation, in file order, from one pass over the file (each frame and TOC
// read once, the signature checks of the walk included). A layout-1
// container lists its one TOC as generation 0. Only reads; takes no lock.
#pragma once

#include <cstdint>
#include <vector>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

struct ContainerGenerationEntry {
  uint64_t generation = 0;  // the TOC's (0 in layout 1)
  uint64_t created_at = 0;
  uint64_t segment_count = 0;
  uint64_t original_size = 0;
  uint64_t stored_size = 0;
};

// The errors of open_container (container_reader.h): the file's, the
// header's, "Unsupported Vesk container version: {}", the layout reader's.
Result<std::vector<ContainerGenerationEntry>> list_container_generations(const fs::path& path, Env& env);

}  // namespace vesk
