// Generation holds: placing and releasing the holds that protect a
// generation, and every newer one, from retention and compaction.
//
// The holds in force are the "holds" list of the latest generation's TOC
// (at most one per generation, sorted by generation). A change appends a
// control generation: the latest generation's segment list repeated (its
// segments point at bytes already in the file, so no segment bytes are
// written) with the changed list. A call that leaves the list as it is
// writes nothing. The control generation is written like any other: a
// placeholder frame, the TOC forced to stable storage, then the real frame
// (generation_writer.h), so a failure leaves an uncommitted tail that
// readers ignore and the next mutation cuts off (uncommitted_tail.h).
//
// The caller holds the container's mutation lock (container_lock.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/signing_key.h"
#include "model/capsule_toc.h"

namespace vesk {

struct GenerationHoldReport {
  std::vector<CapsuleGenerationHold> active_holds;  // in force after the call
  // The control generation written, or the latest when nothing was written.
  uint64_t control_generation = 0;
  uint64_t held_generation = 0;  // the generation named in the call
};

// With a label, places a hold on `generation` (replacing one it has); without
// one, releases its hold. The label is trimmed of Unicode white space first.
// A signed latest generation needs the chain's key; with a key the control
// generation is signed, chained to the latest when that is signed. Failures,
// first wins: reading the container (load_v2_container_state);
// check_signing_key_chain's; "Vesk container generation not found: {n}";
// "Vesk generation hold label must be 1-256 printable characters";
// check_uncommitted_tail's; "Vesk generation number overflow"; "Vesk
// control generation TOC exceeds size limit"; the file calls'.
Result<GenerationHoldReport> update_generation_holds(const fs::path& container, uint64_t generation,
                                                     std::optional<std::string_view> label,
                                                     const ContainerSigningKey* key, Env& env);

// The whole mutation as the static methods run it: the key text, when given,
// is parsed first (its errors as OS errors); then the container mutation
// mutex and the container's lock file are taken around
// update_generation_holds and released before the key is wiped.
Result<GenerationHoldReport> change_generation_hold(const fs::path& container, uint64_t generation,
                                                    std::optional<std::string_view> label,
                                                    std::optional<std::string_view> signing_key, Env& env);

}  // namespace vesk
