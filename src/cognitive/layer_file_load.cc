#include "cognitive/layer_file_load.h"

#include <atomic>
#include <string>

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include "cognitive/surface_load_support.h"

namespace vesk {

void load_layer_payload(const PersistenceTarget& target, const fs::path& path, const LayerFile& file,
                        const LayerPayloadParser& parse, std::vector<StartupValidationEvent>& events, Env& env) {
  const bool empty_check = file.empty_file == LayerFile::EmptyFile::kFallback;
  auto fallback = [&](std::string_view status, std::string detail) {
    append_surface_event(events, file.surface, path, status, std::move(detail));
  };
  auto loaded = [&](uint64_t n) {
    append_surface_event(events, file.surface, path, kLoadedStatus,
                         "loaded " + std::to_string(n) + " " + std::string(file.loaded_noun));
  };

  if (!env.exists(path)) return fallback(kMissingFallbackStatus, std::string(file.missing_detail));
  if (empty_check) {
    auto size = env.file_size(path);
    if (!size.ok() || *size == 0) return fallback(kEmptyFallbackStatus, std::string(file.empty_detail));
  }

  const fs::path source = target.dir / file.file_name;
  if (!env.exists(source)) return loaded(0);
  auto stored = env.read_file(source);
  if (!stored.ok()) return fallback(kLoadErrorFallbackStatus, stored.status().message());
  auto payload = unseal_payload(target.key_ptr(), *stored);
  if (!payload.ok()) return fallback(kLoadErrorFallbackStatus, payload.status().message());
  if (empty_check && payload->empty()) return loaded(0);
  auto count = parse(*payload);
  if (!count.ok()) return fallback(kLoadErrorFallbackStatus, count.status().message());
  loaded(*count);
}

namespace layer_load_detail {

bool read_side_by_side(size_t n, const std::function<bool(size_t)>& read) {
  std::atomic<bool> ok{true};
  // Isolated like the writer's (layer_file_save.cc): the waiting thread takes
  // on no task from outside.
  tbb::this_task_arena::isolate([&] {
    tbb::parallel_for(size_t{0}, n, [&](size_t i) {
      if (ok.load(std::memory_order_relaxed) && !read(i)) ok.store(false, std::memory_order_relaxed);
    });
  });
  return ok.load();
}

Result<std::optional<std::string>> read_quiet_payload(const PersistenceTarget& target, const fs::path& path,
                                                      std::string_view what, Env& env) {
  if (!env.exists(path)) return std::optional<std::string>();
  auto stored = env.read_file(path);
  Result<std::string> payload = stored.ok() ? unseal_payload(target.key_ptr(), *stored) : stored.status();
  if (!payload.ok()) {
    return Status::Wrap(ErrorKind::Runtime, std::string(what) + "::load: read " + display_path(path),
                        payload.status());
  }
  return std::optional<std::string>(std::move(payload).value());
}

}  // namespace layer_load_detail

}  // namespace vesk
