// Reading one segment's stored bytes and decoding them.
//
// A segment is read and decoded whole in memory. "raw" bytes are the file
// content; "zstd" bytes go through a streaming Zstandard decoder (empty
// dictionary) whose output stops at "original_size" + 1 bytes, so that a
// segment cannot inflate beyond its recorded size. Either way the decoded
// length must be "original_size": else "Decoded size mismatch for segment
// {name}". The digest is the callers' to compare.
#pragma once

#include <string>

#include "base/status.h"
#include "exchange/capsule/container_file.h"
#include "model/capsule_toc.h"

namespace vesk {

// Reads exactly "stored_size" bytes at "offset" ("failed to fill whole
// buffer" when the file ends first) and decodes them.
Result<std::string> read_segment_bytes(ContainerFile& file, const CapsuleSegment& segment);

// Decodes stored bytes. A Zstandard failure fails with the library's error
// name, an input that ends inside a frame with "Incomplete Zstandard frame".
Result<std::string> decode_container_segment(std::string stored, const CapsuleSegment& segment);

}  // namespace vesk
