// The authenticity checkpoint file: a small JSON file, kept apart from a
// container, recording the latest signed generation a verifier has seen, so
// that an older copy of the container (a rollback) or a differently
// continued one (a fork) is noticed.
//
// One JSON object of 1 to 16,384 bytes, written pretty (one member per line,
// indented by two blanks, ": " after keys, the closing "}" on its own line,
// no newline after it), members in this order:
//
//   key                JSON type   value
//   "format"           string      "vesk-authenticity-checkpoint"
//   "version"          integer     1 (u16)
//   "public_key"       string      the chain's Ed25519 key, 64 lower-case hex
//   "generation"       integer     the container's latest generation; never 0
//   "manifest_sha256"  string      that generation's "manifest_sha256", 64 hex
//   "updated_at"       integer     Unix seconds when written (0 before 1970)
//
// Reading: every member is required, a member given twice is an error,
// members with other keys are ignored, only white space may follow the
// object. A checkpoint is valid when the format and version are these, the
// generation is not 0, the digest is 64 characters of 0-9, a-f, A-F and the
// key parses as a public key.
//
// Beside a checkpoint at P: the lock file (P's canonical path + ".lock",
// made exactly as a container's, container_lock.h), and while writing the
// temporary file "<P with its last extension replaced by
// vesk-checkpoint.tmp>", created new, forced and renamed over P.
#pragma once

#include <cstdint>
#include <string_view>

namespace vesk {

inline constexpr std::string_view kCheckpointFormat = "vesk-authenticity-checkpoint";
inline constexpr uint16_t kCheckpointVersion = 1;
inline constexpr uint64_t kMaxCheckpointSize = 16384;
inline constexpr std::string_view kCheckpointTempExtension = "vesk-checkpoint.tmp";

}  // namespace vesk
