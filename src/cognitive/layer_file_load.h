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
#include "model/json_struct.h"

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

// Calls read(i) for every i below n, side by side on the worker threads;
// true when every call returned true.
bool read_side_by_side(size_t n, const std::function<bool(size_t)>& read);

// The fast path of parse_layer_json for a structure given as an object: one
// pass finds where each member's value starts (skipping it), then the
// members are read side by side, each by a reader of its own. False, with
// `out` partly filled, on anything but a document that reads whole.
template <typename T>
bool read_members_side_by_side(std::string_view payload, T& out) {
  constexpr size_t kAbsent = static_cast<size_t>(-1);
  const JsonStruct<T>& s = JsonCodec<T>::fields();
  JsonReader r(payload);
  bool array_form = false;
  if (!r.begin_struct(s.expecting, array_form) || array_form) return false;
  std::vector<size_t> starts(s.fields.size(), kAbsent);
  bool has = false;
  std::string_view key;
  size_t hint = 0;
  while (r.next_key(has, key) && has) {
    const int idx = s.find(key, hint);
    if (!r.object_colon()) return false;
    if (idx >= 0) {
      const size_t i = static_cast<size_t>(idx);
      if (starts[i] != kAbsent) return false;  // a member twice
      starts[i] = r.offset();
      hint = i + 1;
    }
    if (!r.skip_value()) return false;
  }
  if (!r.end_struct(false, r.ok()) || !r.end()) return false;
  for (size_t i = 0; i < starts.size(); ++i) {
    const JsonField<T>& f = s.fields[i];
    if (starts[i] == kAbsent && !f.has_default && !f.optional) return false;
  }
  return read_side_by_side(starts.size(), [&](size_t i) {
    if (starts[i] == kAbsent) return true;
    JsonReader member(payload, starts[i]);
    return s.fields[i].read(member, out);
  });
}

}  // namespace layer_load_detail

// A whole payload holding one T, read into `initial` (which holds the
// defaults of absent members); only white space may follow. A structure
// given as an object has its members read side by side (a large layer's maps
// take most of a load, and each member fills only its own part of T); any
// failure there reads the payload again in one pass, so that the error and
// its position are always the ones of a plain read, as is every result.
template <typename T>
Result<T> parse_layer_json(std::string_view payload, T initial = T{}) {
  if constexpr (requires { JsonCodec<T>::fields(); }) {
    T value = initial;
    if (layer_load_detail::read_members_side_by_side(payload, value)) return value;
  }
  JsonReader r(payload);
  if (!JsonCodec<T>::read(r, initial) || !r.end()) return r.status();
  return initial;
}

namespace layer_load_detail {
// The payload of a quietly loaded file: none when it is missing.
Result<std::optional<std::string>> read_quiet_payload(const PersistenceTarget& target, const fs::path& path,
                                                      std::string_view what, Env& env);
}  // namespace layer_load_detail

// The quiet load: a missing file gives T{}; a failure to read or unseal is
// "{what}::load: read {path}", any parse failure (an empty payload included)
// "{what}::load: deserialize"; either keeps the failure beneath it as its
// cause.
template <typename T>
Result<T> load_quiet_layer_file(const PersistenceTarget& target, std::string_view file_name, std::string_view what,
                                Result<T> (*parse)(std::string_view payload), Env& env) {
  auto payload = layer_load_detail::read_quiet_payload(target, target.dir / file_name, what, env);
  if (!payload.ok()) return payload.status();
  if (!payload->has_value()) return T{};
  Status cause;
  if (!(*payload)->empty()) {
    auto parsed = parse(**payload);
    if (parsed.ok()) return parsed;
    cause = parsed.status();
  }
  return Status::Wrap(ErrorKind::Runtime, std::string(what) + "::load: deserialize", std::move(cause));
}

}  // namespace vesk
