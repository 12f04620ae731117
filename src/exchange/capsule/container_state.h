// ContainerState: what reading a layout-2 container yields.
#pragma once

#include <cstdint>
#include <vector>

#include "model/capsule_toc.h"

namespace vesk {

struct ContainerState {
  // The latest committed generation's TOC.
  CapsuleToc latest;
  // The TOCs of every committed generation, in file order (the last is
  // `latest`).
  std::vector<CapsuleToc> generations;
  // The offset just after the last committed generation: where the next
  // generation goes.
  uint64_t committed_end = 0;
};

}  // namespace vesk
