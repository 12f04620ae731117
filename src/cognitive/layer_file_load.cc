#include "cognitive/layer_file_load.h"

#include <string>

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

Result<std::optional<std::string>> read_quiet_payload(const PersistenceTarget& target, const fs::path& path,
                                                      std::string_view what, Env& env) {
  if (!env.exists(path)) return std::optional<std::string>();
  auto stored = env.read_file(path);
  Result<std::string> payload = stored.ok() ? unseal_payload(target.key_ptr(), *stored) : stored.status();
  if (!payload.ok()) return Status::Runtime(std::string(what) + "::load: read " + display_path(path));
  return std::optional<std::string>(std::move(payload).value());
}

}  // namespace layer_load_detail

}  // namespace vesk
