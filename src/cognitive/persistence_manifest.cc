#include "cognitive/persistence_manifest.h"

#include <optional>
#include <utility>

#include "cognitive/surface_load_support.h"
#include "base/utf8.h"

namespace vesk {

const JsonStruct<PersistenceManifest>& JsonCodec<PersistenceManifest>::fields() {
  static const JsonStruct<PersistenceManifest> s("struct PersistenceManifest",
                                                 {json_field<&PersistenceManifest::schema_version>("schema_version"),
                                                  json_field<&PersistenceManifest::surfaces>("surfaces")});
  return s;
}

PersistenceManifest current_persistence_manifest() {
  PersistenceManifest m;
  m.schema_version = 1;
  for (const char* surface : {"belief", "causal", "concept", "maintenance_trends", "policy", "recall_replay",
                              "reflection_summaries"})
    m.surfaces.emplace(surface, 1u);
  return m;
}

std::string persistence_manifest_json(const PersistenceManifest& manifest) {
  return json_to_string(manifest, JsonStyle::Pretty);
}

namespace {

constexpr std::string_view kSurface = kPersistenceManifestSurface;

// The stored manifest, or none after appending the fallback event.
std::optional<PersistenceManifest> read_stored_manifest(const fs::path& path,
                                                        std::vector<StartupValidationEvent>& events, Env& env) {
  if (!env.exists(path)) {
    append_surface_event(events, kSurface, path, kMissingFallbackStatus,
                         "persistence manifest missing; created current manifest");
    return std::nullopt;
  }
  auto text = env.read_file(path);
  if (text.ok() && !is_valid_utf8(*text)) text = Status::OS("stream did not contain valid UTF-8");
  if (!text.ok()) {
    append_surface_event(events, kSurface, path, kLoadErrorFallbackStatus, text.status().message());
    return std::nullopt;
  }
  if (is_blank_text(*text)) {
    append_surface_event(events, kSurface, path, kEmptyFallbackStatus,
                         "persistence manifest was empty; created current manifest");
    return std::nullopt;
  }
  auto parsed = json_parse<PersistenceManifest>(*text);
  if (!parsed.ok()) {
    append_surface_event(events, kSurface, path, kLoadErrorFallbackStatus, parsed.status().message());
    return std::nullopt;
  }
  return std::move(parsed).value();
}

// Plain in-place rewrite; see the header for why failures are dropped.
void rewrite_manifest(const fs::path& path, const PersistenceManifest& manifest, Env& env) {
  auto file = env.open(path, OpenMode::kWriteTruncate);
  if (!file.ok()) return;
  (void)(*file)->write_at(0, persistence_manifest_json(manifest));
  (void)(*file)->close();
}

}  // namespace

PersistenceManifest load_persistence_manifest(const fs::path& dir, std::vector<StartupValidationEvent>& events,
                                              Env& env) {
  const fs::path path = dir / kPersistenceManifestFile;
  const PersistenceManifest current = current_persistence_manifest();
  PersistenceManifest normalized = read_stored_manifest(path, events, env).value_or(current);

  std::string changes;
  auto note = [&changes](std::string change) {
    if (!changes.empty()) changes += ", ";
    changes += change;
  };
  if (normalized.schema_version != current.schema_version) {
    note("schema_version " + std::to_string(normalized.schema_version) + " -> " +
         std::to_string(current.schema_version));
    normalized.schema_version = current.schema_version;
  }
  for (const auto& [surface, version] : current.surfaces) {
    uint32_t& stored = normalized.surfaces.try_emplace(surface, 0u).first->second;  // absent reads as 0
    if (stored != version) note(surface + " " + std::to_string(stored) + " -> " + std::to_string(version));
    stored = version;
  }
  if (changes.empty())
    append_surface_event(events, kSurface, path, kLoadedStatus, "loaded current persistence manifest");
  else
    append_surface_event(events, kSurface, path, kVersionMismatchStatus,
                         "normalized manifest to current versions: " + changes);

  rewrite_manifest(path, normalized, env);
  return normalized;
}

}  // namespace vesk
