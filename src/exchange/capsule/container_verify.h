// Verifying containers: every segment of a generation is read, decoded and
// hashed, and the lower-case hexadecimal SHA-256 of the decoded bytes must
// equal the stored "sha256" text exactly; the first difference fails with
// "Checksum mismatch for segment {name}".
#pragma once

#include <cstdint>
#include <span>
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

// Generation `generation` (select_generation's errors, container_reader.h),
// every segment in TOC order, read from the file its TOC came from; gives
// its TOC.
Result<CapsuleToc> verify_container_generation(const fs::path& path, uint64_t generation, Env& env);

// Every segment of the given generations, in order. A stored range already
// checked (same offset, stored size and digest text) is not read again, so a
// segment that several generations share is read once.
Status verify_generation_segments(const fs::path& path, const std::vector<CapsuleToc>& generations, Env& env);
// The same over a container already open, so that the generations checked
// and the bytes read come from one file.
Status verify_generation_segments(ContainerFile& file, std::span<const CapsuleToc> generations);

}  // namespace vesk
