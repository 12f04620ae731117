// Verifying containers: every segment of a generation is read, decoded and
// hashed, and the lower-case hexadecimal SHA-256 of the decoded bytes must
// equal the stored "sha256" text exactly; the first difference fails with
// "Checksum mismatch for segment {name}".
#pragma once

#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_file.h"
#include "model/capsule_toc.h"

namespace vesk {

// Checks one segment of an open container.
Status verify_segment(ContainerFile& file, const CapsuleSegment& segment);

// The latest generation (either layout), every segment in TOC order; gives
// its TOC.
Result<CapsuleToc> verify_latest_generation(const fs::path& path, Env& env);

// Every segment of the given generations, in order. A stored range already
// checked (same offset, stored size and digest text) is not read again, so a
// segment that several generations share is read once.
Status verify_generation_segments(const fs::path& path, const std::vector<CapsuleToc>& generations, Env& env);

}  // namespace vesk
