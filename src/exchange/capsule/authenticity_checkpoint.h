// Reading, comparing, verifying and updating authenticity checkpoints
// (the file: authenticity_checkpoint_format.h).
//
// Comparing verifies the container with the checkpoint's key as trusted key
// and every generation required to be signed (signature_chain.h), then:
//   - a container behind the checkpoint is a rollback;
//   - at the checkpoint's generation, another latest digest is a fork;
//   - ahead of it, the generation the checkpoint names must still be the
//     one it saw: when that generation is in the file its digest must be
//     the recorded one; when compaction dropped it and the file's first
//     generation is the next number, that generation's predecessor digest
//     must be the recorded one. (A fork re-made at the checkpoint's
//     generation and continued past it would otherwise pass on its chain
//     alone.) Honest mutations never change a retained manifest.
//
// Verifying and updating take the container mutation mutex, then the
// container's lock file, then the checkpoint's (container_lock.h), and
// release them in reverse order.
#pragma once

#include <cstdint>
#include <string>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

struct CapsuleAuthenticityCheckpoint {
  std::string format;
  uint16_t version = 0;
  std::string public_key;
  uint64_t generation = 0;
  std::string manifest_sha256;
  uint64_t updated_at = 0;
};

struct CheckpointComparison {
  std::string checkpoint_path;  // as given
  std::string public_key;       // the checkpoint's, as stored
  uint64_t checkpoint_generation = 0;
  uint64_t current_generation = 0;
  std::string current_manifest_sha256;
  uint64_t advanced_by = 0;
  bool checkpoint_is_current = false;
};

// The checkpoint's pretty JSON text.
std::string serialize_authenticity_checkpoint(const CapsuleAuthenticityCheckpoint& checkpoint);

// First failure wins: "Vesk authenticity checkpoint does not exist: {path}"
// (its metadata cannot be read); "Vesk authenticity checkpoint has an
// invalid size"; a failed read; "Invalid Vesk authenticity checkpoint JSON";
// "Invalid Vesk authenticity checkpoint"; the key's parsing.
Result<CapsuleAuthenticityCheckpoint> read_authenticity_checkpoint(const fs::path& path, Env& env);

// First failure wins: the record's validity; verify_signature_chain's;
// reading the container; "Vesk container rollback detected: checkpoint
// generation {c}, current generation {n}"; "Vesk container fork detected at
// checkpoint generation {c}".
Result<CheckpointComparison> compare_authenticity_checkpoint(const fs::path& container,
                                                             const fs::path& checkpoint_path,
                                                             const CapsuleAuthenticityCheckpoint& checkpoint,
                                                             Env& env);

// "Vesk authenticity checkpoint must be separate from the container" when
// the two paths are equal as given (before any lock); the locks' errors;
// then reading and comparing.
Result<CheckpointComparison> verify_container_authenticity_checkpoint(const fs::path& container,
                                                                      const fs::path& checkpoint_path, Env& env);

// Verifies the container against `trusted_public_key` (and against the
// existing checkpoint, which must be readable and hold the same key: "Vesk
// authenticity checkpoint belongs to a different signing identity") and
// writes a checkpoint at its latest generation. Writing: the parent
// directory is created; "Vesk checkpoint temporary path already exists:
// {T}"; "Vesk authenticity checkpoint exceeds its size limit"; T created
// new, written, forced, renamed over the checkpoint (over the target when
// the path is a symbolic link). A failure removes T and leaves the old
// checkpoint as it was.
Result<CapsuleAuthenticityCheckpoint> update_container_authenticity_checkpoint(const fs::path& container,
                                                                              const fs::path& checkpoint_path,
                                                                              std::string_view trusted_public_key,
                                                                              Env& env);

}  // namespace vesk
