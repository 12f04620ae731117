// The bytes after a container's last committed generation, before an
// operation cuts them off.
//
// A tail is normally what an interrupted append left: a placeholder frame of
// zeros, segment bytes, perhaps a TOC, never a finished frame. But the walk
// over the generations also stops at a generation that was committed and
// later damaged (a flipped byte in its TOC), and then every intact
// generation after it is in the tail too. Cutting the tail would destroy
// them, so before any cut the tail is searched for a generation committed on
// its own: a frame with the magic "VKGN", fields in range, a number above
// the last committed one, its TOC inside the file and hashing to the frame's
// digest. Bytes inside a segment could only pass that by holding a whole
// container generation of their own, with a number above the container's.
#pragma once

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_state.h"

namespace vesk {

// Nothing when the tail after `state.committed_end` holds no committed
// generation (or there is no tail); else "Vesk container holds a committed
// generation at offset {O} after damaged data at offset {committed end};
// refusing to cut it off". Reads the tail once, in pieces.
Status check_uncommitted_tail(ContainerFile& file, const ContainerState& state);

// What every writer of a new generation does first: when `file` (the
// container at `path`, open for writing) is longer than the committed end,
// the tail is checked as it is now (above) and cut off. On a refusal the
// file is left as it is.
Status cut_uncommitted_tail(File& file, const fs::path& path, const ContainerState& state, Env& env);

}  // namespace vesk
