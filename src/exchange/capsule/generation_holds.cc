#include "exchange/capsule/generation_holds.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_lock.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/generation_signature.h"
#include "exchange/capsule/generation_writer.h"
#include "exchange/capsule/toc_validation.h"
#include "exchange/capsule/uncommitted_tail.h"
#include "model/unicode_text.h"

namespace vesk {

namespace {

Status io(const Status& s) { return container_io_error(s); }

uint64_t unix_seconds_or_zero(Env& env) {
  const double now = env.now_seconds();
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

std::vector<CapsuleGenerationHold> without(const std::vector<CapsuleGenerationHold>& holds, uint64_t generation) {
  std::vector<CapsuleGenerationHold> out;
  out.reserve(holds.size() + 1);
  for (const CapsuleGenerationHold& h : holds) {
    if (h.generation != generation) out.push_back(h);
  }
  return out;
}

// The control generation after the latest one, carrying `holds`.
Result<uint64_t> write_control_generation(const fs::path& container, const ContainerState& state,
                                          std::vector<CapsuleGenerationHold> holds, const ContainerSigningKey* key,
                                          Env& env) {
  auto file = env.open(container, OpenMode::kReadWrite);
  if (!file.ok()) return io(file.status());
  VESK_RETURN_IF_ERROR(cut_uncommitted_tail(**file, container, state, env));
  const CapsuleToc& latest = state.latest;
  if (latest.generation == UINT64_MAX) return Status::OS("Vesk generation number overflow");
  const uint64_t start = state.committed_end;
  VESK_RETURN_IF_ERROR(io((*file)->write_at(start, std::string(kGenerationFrameSize, '\0'))));

  CapsuleToc toc;
  toc.format = latest.format;
  toc.version = kContainerLayoutV2;
  toc.generation = latest.generation + 1;
  toc.created_at = unix_seconds_or_zero(env);
  toc.segments = latest.segments;
  toc.original_size = latest.original_size;
  toc.stored_size = latest.stored_size;
  toc.holds = std::move(holds);
  if (key) {
    std::optional<std::string> predecessor;
    if (latest.authenticity) predecessor = latest.authenticity->manifest_sha256;
    sign_generation_manifest(toc, predecessor, *key);
  }
  const std::string toc_bytes = serialize_capsule_toc(toc);
  if (toc_bytes.empty() || toc_bytes.size() > kMaxTocLength) {
    return Status::OS("Vesk control generation TOC exceeds size limit");
  }
  Result<uint64_t> end = commit_generation(**file, start, start + kGenerationFrameSize, toc, toc_bytes);
  if (!end.ok()) return end.status();
  VESK_RETURN_IF_ERROR(io((*file)->close()));
  return toc.generation;
}

}  // namespace

Result<GenerationHoldReport> update_generation_holds(const fs::path& container, uint64_t generation,
                                                     std::optional<std::string_view> label,
                                                     const ContainerSigningKey* key, Env& env) {
  Result<ContainerState> state = load_v2_container_state(container, env);
  if (!state.ok()) return state.status();
  VESK_RETURN_IF_ERROR(check_signing_key_chain(*state, key));
  const bool committed = std::any_of(state->generations.begin(), state->generations.end(),
                                     [&](const CapsuleToc& toc) { return toc.generation == generation; });
  if (!committed) return Status::OS("Vesk container generation not found: " + std::to_string(generation));

  const std::vector<CapsuleGenerationHold>& current = state->latest.holds;
  GenerationHoldReport report;
  report.held_generation = generation;
  report.control_generation = state->latest.generation;
  report.active_holds = current;

  std::vector<CapsuleGenerationHold> next = without(current, generation);
  if (label) {
    const std::string_view trimmed = trim_unicode_white_space(*label);
    if (!valid_hold_label(trimmed)) {
      return Status::OS("Vesk generation hold label must be 1-256 printable characters");
    }
    for (const CapsuleGenerationHold& h : current) {
      if (h.generation == generation && h.label == trimmed) return report;
    }
    next.push_back(CapsuleGenerationHold{generation, std::string(trimmed), unix_seconds_or_zero(env)});
    std::stable_sort(next.begin(), next.end(),
                     [](const auto& a, const auto& b) { return a.generation < b.generation; });
  }
  if (next == current) return report;

  Result<uint64_t> written = write_control_generation(container, *state, next, key, env);
  if (!written.ok()) return written.status();
  report.active_holds = std::move(next);
  report.control_generation = *written;
  return report;
}

Result<GenerationHoldReport> change_generation_hold(const fs::path& container, uint64_t generation,
                                                    std::optional<std::string_view> label,
                                                    std::optional<std::string_view> signing_key, Env& env) {
  std::unique_ptr<ContainerSigningKey> key;  // wiped when it dies, after the locks
  if (signing_key) {
    auto parsed = parse_signing_key_hex(*signing_key);
    if (!parsed.ok()) return parsed.status().as(ErrorKind::OS);
    key = std::move(parsed).value();
  }
  auto mutation = ContainerMutation::begin(container, env);
  if (!mutation.ok()) return mutation.status();
  return update_generation_holds(container, generation, label, key.get(), env);
}

}  // namespace vesk
