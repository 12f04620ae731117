// Loading the layer files (".cog"): the engine-independent steps.
//
// A layer file holds one engine as compact JSON, sealed when the store has a
// key. The open loads each once. Loading never fails the open: whatever the
// file holds, the loader returns a usable engine (a fresh one,
// default-constructed, when the file is missing or unusable) and appends one
// event; the file itself is left untouched until the next save replaces it.
//
// Two flavours, chosen per file by LayerFile::empty_file:
//   - kFallback (belief, concept): a file of zero bytes is "empty_fallback",
//     and a sealed file holding an empty payload loads as a fresh engine. Only
//     the length counts: a file of blanks reaches the parser and fails there.
//   - kParse (causal, policy): no empty check; a zero-length file reaches the
//     parser (or the unsealing) and is a "load_error_fallback".
// Steps: the file's metadata cannot be read -> "missing_fallback"; read,
// unseal, parse; any failure -> "load_error_fallback" whose detail is the
// failure's own message (an OS error text, an unsealing text, or the parser's
// "{} at line {} column {}"); success -> "loaded" with "loaded {n} {noun}". A
// file that vanishes between the checks and the read loads as a fresh engine,
// reported as "loaded" with 0.
//
// The topology is loaded quietly instead (load_quiet_layer_file): no event, a
// missing file is a default value, and a failure is an error for the caller to
// drop.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cognitive/persistence_target.h"
#include "cognitive/startup_validation.h"
#include "base/status.h"
#include "base/env.h"

namespace vesk {

struct LayerFile {
  enum class EmptyFile { kFallback, kParse };

  std::string_view surface;         // "belief"
  std::string_view file_name;       // "beliefs.cog"
  std::string_view missing_detail;  // "belief store missing; started with empty belief engine"
  std::string_view empty_detail;    // used with kFallback only
  std::string_view loaded_noun;     // "beliefs" in "loaded {} beliefs"
  EmptyFile empty_file = EmptyFile::kParse;
};

// Reads a non-empty payload into the caller's engine and returns the number of
// entries to report.
using LayerPayloadParser = std::function<Result<uint64_t>(std::string_view payload)>;

// The steps above for the file at `path` (the store directory joined with the
// file name); `parse` is called at most once, and only a successful call
// leaves anything behind.
void load_layer_payload(const PersistenceTarget& target, const fs::path& path, const LayerFile& file,
                        const LayerPayloadParser& parse, std::vector<StartupValidationEvent>& events, Env& env);

// The typed form: `parse` reads the whole payload into an engine, `count`
// gives the number the "loaded" event reports.
template <typename Engine>
Engine load_layer_file(const PersistenceTarget& target, const fs::path& path, const LayerFile& file,
                       Result<Engine> (*parse)(std::string_view payload), uint64_t (*count)(const Engine&),
                       std::vector<StartupValidationEvent>& events, Env& env) {
  Engine engine{};
  load_layer_payload(
      target, path, file,
      [&](std::string_view payload) -> Result<uint64_t> {
        auto parsed = parse(payload);
        if (!parsed.ok()) return parsed.status();
        engine = std::move(parsed).value();
        return count(engine);
      },
      events, env);
  return engine;
}

namespace layer_load_detail {
// The payload of a quietly loaded file: none when it is missing.
Result<std::optional<std::string>> read_quiet_payload(const PersistenceTarget& target, const fs::path& path,
                                                      std::string_view what, Env& env);
}  // namespace layer_load_detail

// The quiet load: a missing file gives T{}; a failure to read or unseal is
// "{what}::load: read {path}", any parse failure (an empty payload included)
// "{what}::load: deserialize".
template <typename T>
Result<T> load_quiet_layer_file(const PersistenceTarget& target, std::string_view file_name, std::string_view what,
                                Result<T> (*parse)(std::string_view payload), Env& env) {
  auto payload = layer_load_detail::read_quiet_payload(target, target.dir / file_name, what, env);
  if (!payload.ok()) return payload.status();
  if (!payload->has_value()) return T{};
  if (!(*payload)->empty()) {
    auto parsed = parse(**payload);
    if (parsed.ok()) return parsed;
  }
  return Status::Runtime(std::string(what) + "::load: deserialize");
}

}  // namespace vesk
