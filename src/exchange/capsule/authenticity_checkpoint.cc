#include "exchange/capsule/authenticity_checkpoint.h"

#include <memory>
#include <optional>
#include <utility>

#include "base/hex.h"
#include "exchange/capsule/authenticity_checkpoint_format.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_lock.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/signature_chain.h"
#include "exchange/capsule/signing_key.h"
#include "model/json_codec.h"
#include "model/json_struct.h"

namespace vesk {

template <>
struct JsonCodec<CapsuleAuthenticityCheckpoint> : JsonStructCodec<CapsuleAuthenticityCheckpoint> {
  static const JsonStruct<CapsuleAuthenticityCheckpoint>& fields() {
    using C = CapsuleAuthenticityCheckpoint;
    static const JsonStruct<C> s("struct CapsuleAuthenticityCheckpoint",
                                 {
                                     json_field<&C::format>("format"),
                                     json_field<&C::version>("version"),
                                     json_field<&C::public_key>("public_key"),
                                     json_field<&C::generation>("generation"),
                                     json_field<&C::manifest_sha256>("manifest_sha256"),
                                     json_field<&C::updated_at>("updated_at"),
                                 });
    return s;
  }
  // One JSON object: the file has no array form.
  static bool read(JsonReader& r, CapsuleAuthenticityCheckpoint& v) { return json_read_struct_object(r, v, fields()); }
};

namespace {

Status io(const Status& s) { return container_io_error(s); }

bool is_hex_digest(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// Format, version, generation and digest form, then the key.
Status check_valid(const CapsuleAuthenticityCheckpoint& c) {
  if (c.format != kCheckpointFormat || c.version != kCheckpointVersion || c.generation == 0 ||
      !is_hex_digest(c.manifest_sha256)) {
    return Status::OS("Invalid Vesk authenticity checkpoint");
  }
  Result<Ed25519PublicKey> key = parse_public_key_hex(c.public_key);
  if (!key.ok()) return key.status().as(ErrorKind::OS);
  return Status::Ok();
}

Status fork_at(uint64_t generation) {
  return Status::OS("Vesk container fork detected at checkpoint generation " + std::to_string(generation));
}

uint64_t unix_seconds_or_zero(Env& env) {
  const double now = env.now_seconds();
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

// Both checkpoint operations run inside these: the mutex and the container's
// lock, then the checkpoint's lock; released in reverse when it dies.
struct CheckpointLocks {
  std::unique_ptr<ContainerMutation> container;
  std::unique_ptr<ContainerMutationLock> checkpoint;
};

Result<CheckpointLocks> take_locks(const fs::path& container, const fs::path& checkpoint_path, Env& env) {
  if (container == checkpoint_path) {
    return Status::OS("Vesk authenticity checkpoint must be separate from the container");
  }
  CheckpointLocks locks;
  auto mutation = ContainerMutation::begin(container, env);
  if (!mutation.ok()) return mutation.status();
  locks.container = std::move(mutation).value();
  auto lock = acquire_container_lock(checkpoint_path, env);
  if (!lock.ok()) return lock.status();
  locks.checkpoint = std::move(lock).value();
  return locks;
}

fs::path checkpoint_temp_path(const fs::path& path) {
  fs::path temp = path;
  temp.replace_extension(kCheckpointTempExtension);
  return temp;
}

Status write_checkpoint(const fs::path& checkpoint_path, const CapsuleAuthenticityCheckpoint& checkpoint, Env& env) {
  if (checkpoint_path.has_parent_path()) VESK_RETURN_IF_ERROR(io(env.create_dirs(checkpoint_path.parent_path())));
  const fs::path real = file_behind_link(checkpoint_path);
  const fs::path temp = checkpoint_temp_path(real);
  if (env.exists(temp)) return Status::OS("Vesk checkpoint temporary path already exists: " + temp.native());
  const std::string text = serialize_authenticity_checkpoint(checkpoint);
  if (text.size() > kMaxCheckpointSize) return Status::OS("Vesk authenticity checkpoint exceeds its size limit");
  auto file = env.open(temp, OpenMode::kWriteCreateNew);
  if (!file.ok()) return io(file.status());
  Status done = io((*file)->write_at(0, text));
  if (done.ok()) done = io((*file)->sync());
  Status closed = io((*file)->close());
  if (done.ok()) done = closed;
  if (done.ok()) done = io(env.rename(temp, real));
  if (!done.ok()) (void)env.remove(temp);
  return done;
}

}  // namespace

std::string serialize_authenticity_checkpoint(const CapsuleAuthenticityCheckpoint& checkpoint) {
  return json_to_string(checkpoint, JsonStyle::Pretty);
}

Result<CapsuleAuthenticityCheckpoint> read_authenticity_checkpoint(const fs::path& path, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(path));
  Result<uint64_t> size = env.file_size(path);
  if (!size.ok()) return Status::OS("Vesk authenticity checkpoint does not exist: " + path.native());
  if (*size == 0 || *size > kMaxCheckpointSize) return Status::OS("Vesk authenticity checkpoint has an invalid size");
  Result<ContainerFile> file = ContainerFile::open(path, env);
  if (!file.ok()) return file.status();
  if (file->size() == 0 || file->size() > kMaxCheckpointSize) {
    return Status::OS("Vesk authenticity checkpoint has an invalid size");
  }
  Result<std::string> text = file->read(0, file->size());
  if (!text.ok()) return text.status();
  Result<CapsuleAuthenticityCheckpoint> parsed = json_parse<CapsuleAuthenticityCheckpoint>(*text);
  if (!parsed.ok()) return Status::Wrap(ErrorKind::OS, "Invalid Vesk authenticity checkpoint JSON", parsed.status());
  VESK_RETURN_IF_ERROR(check_valid(*parsed));
  return parsed;
}

Result<CheckpointComparison> compare_authenticity_checkpoint(const fs::path& container,
                                                             const fs::path& checkpoint_path,
                                                             const CapsuleAuthenticityCheckpoint& checkpoint,
                                                             Env& env) {
  VESK_RETURN_IF_ERROR(check_valid(checkpoint));
  Result<ContainerAuthenticityReport> report = verify_signature_chain(container, checkpoint.public_key, true, env);
  if (!report.ok()) return report.status();
  Result<ContainerState> state = load_v2_container_state(container, env);
  if (!state.ok()) return state.status();
  const uint64_t current = state->latest.generation;
  const uint64_t at = checkpoint.generation;
  if (current < at) {
    return Status::OS("Vesk container rollback detected: checkpoint generation " + std::to_string(at) +
                      ", current generation " + std::to_string(current));
  }
  const std::string latest = report->latest_manifest_sha256.value_or("");
  if (current == at && latest != checkpoint.manifest_sha256) return fork_at(at);
  if (current > at) {
    // Every generation is signed (checked above), so each has a record.
    const CapsuleToc& first = state->generations.front();
    if (first.generation <= at) {
      const CapsuleToc& seen = state->generations[at - first.generation];
      if (seen.authenticity->manifest_sha256 != checkpoint.manifest_sha256) return fork_at(at);
    } else if (first.generation == at + 1 &&
               first.authenticity->previous_manifest_sha256 != checkpoint.manifest_sha256) {
      return fork_at(at);
    }
  }
  CheckpointComparison out;
  out.checkpoint_path = checkpoint_path.native();
  out.public_key = checkpoint.public_key;
  out.checkpoint_generation = at;
  out.current_generation = current;
  out.current_manifest_sha256 = latest;
  out.advanced_by = current - at;
  out.checkpoint_is_current = current == at;
  return out;
}

Result<CheckpointComparison> verify_container_authenticity_checkpoint(const fs::path& container,
                                                                      const fs::path& checkpoint_path, Env& env) {
  Result<CheckpointLocks> locks = take_locks(container, checkpoint_path, env);
  if (!locks.ok()) return locks.status();
  Result<CapsuleAuthenticityCheckpoint> checkpoint = read_authenticity_checkpoint(checkpoint_path, env);
  if (!checkpoint.ok()) return checkpoint.status();
  return compare_authenticity_checkpoint(container, checkpoint_path, *checkpoint, env);
}

Result<CapsuleAuthenticityCheckpoint> update_container_authenticity_checkpoint(const fs::path& container,
                                                                              const fs::path& checkpoint_path,
                                                                              std::string_view trusted_public_key,
                                                                              Env& env) {
  Result<CheckpointLocks> locks = take_locks(container, checkpoint_path, env);
  if (!locks.ok()) return locks.status();
  Result<Ed25519PublicKey> key = parse_public_key_hex(trusted_public_key);
  if (!key.ok()) return key.status().as(ErrorKind::OS);
  const std::string key_hex = hex_encode({reinterpret_cast<const char*>(key->data()), key->size()});

  if (env.exists(checkpoint_path)) {
    Result<CapsuleAuthenticityCheckpoint> existing = read_authenticity_checkpoint(checkpoint_path, env);
    if (!existing.ok()) return existing.status();
    if (existing->public_key != key_hex) {
      return Status::OS("Vesk authenticity checkpoint belongs to a different signing identity");
    }
    Result<CheckpointComparison> compared = compare_authenticity_checkpoint(container, checkpoint_path, *existing, env);
    if (!compared.ok()) return compared.status();
  }
  Result<ContainerAuthenticityReport> report = verify_signature_chain(container, key_hex, true, env);
  if (!report.ok()) return report.status();
  Result<ContainerState> state = load_v2_container_state(container, env);
  if (!state.ok()) return state.status();

  CapsuleAuthenticityCheckpoint checkpoint;
  checkpoint.format = std::string(kCheckpointFormat);
  checkpoint.version = kCheckpointVersion;
  checkpoint.public_key = key_hex;
  checkpoint.generation = state->latest.generation;
  checkpoint.manifest_sha256 = report->latest_manifest_sha256.value_or("");
  checkpoint.updated_at = unix_seconds_or_zero(env);
  VESK_RETURN_IF_ERROR(write_checkpoint(checkpoint_path, checkpoint, env));
  return checkpoint;
}

}  // namespace vesk
