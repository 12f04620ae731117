#include "cognitive/history_file_load.h"

#include <string>

#include "cognitive/surface_load_support.h"
#include "storage/atomic_file.h"

namespace vesk {

namespace {

std::string loaded_detail(uint64_t n, const HistoryFile& file) {
  return "loaded " + std::to_string(n) + " " + std::string(file.loaded_noun);
}

}  // namespace

void load_history_text(const fs::path& dir, const SecretKey* key, const HistoryFile& file,
                       const HistoryTextParser& parse, std::vector<StartupValidationEvent>& events, Env& env) {
  const fs::path path = dir / file.file_name;
  // Whatever stops the read, the history simply starts empty.
  auto text = read_sealed_text_file(key, path, env);
  if (!text.ok())
    return append_surface_event(events, file.surface, path, kMissingFallbackStatus, std::string(file.missing_detail));
  if (is_blank_text(*text))
    return append_surface_event(events, file.surface, path, kEmptyFallbackStatus, std::string(file.empty_detail));
  auto count = parse(*text);
  if (!count.ok())
    return append_surface_event(events, file.surface, path, kLoadErrorFallbackStatus, count.status().message());
  append_surface_event(events, file.surface, path, kLoadedStatus, loaded_detail(*count, file));
}

void load_backed_up_history_text(const fs::path& dir, const SecretKey* key, const HistoryFile& file,
                                 const HistoryTextParser& parse, const HistoryTrimmer& keep_last, size_t limit,
                                 std::vector<StartupValidationEvent>& events, Env& env) {
  const fs::path path = dir / file.file_name;
  fs::path backup = path;
  backup += ".bak";
  // A save swaps through the backup name, so when the main file is missing an
  // interrupted save left the complete history there.
  fs::path source;
  if (env.exists(path))
    source = path;
  else if (env.exists(backup))
    source = backup;
  else
    return append_surface_event(events, file.surface, path, kMissingFallbackStatus, std::string(file.missing_detail));

  auto text = read_sealed_text_file(key, source, env);
  if (!text.ok())
    return append_surface_event(events, file.surface, source, kReadErrorFallbackStatus,
                                "recall replay history could not be read");
  auto count = parse(*text);
  if (!count.ok())
    return append_surface_event(events, file.surface, path, kLoadErrorFallbackStatus, count.status().message());
  append_surface_event(events, file.surface, path, kLoadedStatus, loaded_detail(keep_last(limit), file));
}

}  // namespace vesk
