// Walking the frames of the cognitive journal with damage in mind.
//
// A frame is well formed when its kind is one of the journal's kinds, its
// stored payload is not empty, it lies wholly inside the walked length and
// its CRC matches (cognitive_journal_format.h). No frame the journal writes
// has an empty payload, so an all-zero head (whose CRC, that of nothing, is
// 0) is never well formed.
//
// The walk hands out every well-formed frame in file order. Where a frame is
// not well formed it searches forward, one byte at a time, for the next
// offset where a well-formed frame starts, and goes on from there: the bytes
// passed over are a skipped range. When no well-formed frame follows, the
// bytes after the last one are the tail: a torn tail when they are the
// beginning of a frame that ends past the walked length (a known kind, then
// fewer than a head's 9 bytes or a length that runs past the end: what a
// crash in the middle of an append leaves), damaged otherwise.
//
// The search runs only after a bad frame, so a clean journal costs one pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

struct JournalFrameView {
  uint8_t kind = 0;
  uint64_t offset = 0;      // where the frame's head starts
  std::string_view stored;  // the stored payload; valid during the callback only
};

struct JournalWalk {
  enum class Tail { None, Torn, Damaged };
  // The end of the last well-formed frame (the start offset when none).
  uint64_t good_end = 0;
  // Byte ranges [first, second) passed over between well-formed frames.
  std::vector<std::pair<uint64_t, uint64_t>> skipped;
  // The bytes [good_end, end) of the walked length.
  Tail tail = Tail::None;
};

// Walks [offset, end) of the journal file, `offset` being where a frame
// starts. Read errors end the walk with the error.
Result<JournalWalk> walk_journal(File& file, uint64_t offset, uint64_t end,
                                 const std::function<void(const JournalFrameView&)>& frame);

// Whether a kind byte names one of the journal's frame kinds.
bool journal_kind_known(uint8_t kind);

}  // namespace vesk
