// Reading the embedding files (embedding_format.h) in pieces on the thread
// pool.
//
// A file is read front to back in pieces of a few megabytes, each cut where
// the format allows it: after a whole member of the snapshot's object, after
// a whole frame of the log. The pieces are parsed side by side and handed to
// a sink strictly in file order, so the sink sees the puts exactly as one
// pass over the file gives them. Only the pieces in flight are held, never a
// copy of the whole file, except for a keyed snapshot, which is decrypted
// whole. Reading writes nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "base/env.h"
#include "base/status.h"
#include "index/embedding_text.h"
#include "storage/crypto.h"

namespace vesk {

// The bytes read at a time (a piece may grow to hold one long member or
// frame).
inline constexpr size_t kEmbeddingReadPieceBytes = size_t{4} << 20;

// Where the puts read go, one run at a time in file order.
class VectorRunSink {
 public:
  virtual ~VectorRunSink() = default;
  virtual void apply(const VectorRun& run) = 0;
  // Forgets every put applied so far.
  virtual void reset() = 0;
};

// Reads the snapshot (which must exist) into the sink. A failed read is
// returned as the error. A snapshot that does not unseal or parse is damage:
// the sink is reset and the message returned, as the unseal or a one-pass
// parse of the whole text gives it (with its line and column). A stretch the
// fast path and the reader both refuse sends the whole file through that one
// pass, so a cut inside an id (where a piece cannot end) costs time, never a
// vector.
Result<std::optional<std::string>> read_embedding_snapshot(const fs::path& path, const SecretKey* key, Env& env,
                                                           VectorRunSink& sink);

// The frames of a log replayed into the sink.
struct EmbeddingLogReplay {
  uint64_t frames = 0;  // frames applied
  uint64_t end = 0;     // end of the last applied frame
  uint64_t size = 0;    // bytes read; more than `end` when the log must be cut
};

// Replays the log (which must exist) into the sink: every frame from offset 0
// up to the first that is torn, fails its CRC, does not unseal or is not a
// valid LogFrame. Reading stops there. A failed read is returned as the error.
Result<EmbeddingLogReplay> replay_embedding_log(const fs::path& path, const SecretKey* key, Env& env,
                                                VectorRunSink& sink);

}  // namespace vesk
