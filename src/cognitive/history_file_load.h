// Loading the history files (".json"): the element-independent steps.
//
// A history file holds one JSON array, pretty-printed and sealed when the
// store has a key. Like the layer files, loading never fails the open: the
// loader returns the list (empty on any fallback), appends one event and
// leaves the file as found.
//
// load_history_file (maintenance trends, reflection summaries):
//   - the sealed text cannot be read for any reason (missing, unreadable,
//     sealed without a key or under another one, not UTF-8):
//     "missing_fallback";
//   - only Unicode white space: "empty_fallback";
//   - not an array of the element: "load_error_fallback" with the parser's
//     "{} at line {} column {}";
//   - otherwise "loaded" with "loaded {n} {noun}", the list whole and in file
//     order (the caller trims it at its next append).
//
// load_recall_replay_file: the history that is saved by its own swap through
// a ".bak" copy, so the copy is read when the main file is missing; an
// unreadable source is a "read_error_fallback" (with the source's path); the
// text is not trimmed first, so a blank file is a "load_error_fallback"; only
// the last `keep_last` entries are kept. Every other event names the main file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "cognitive/startup_validation.h"
#include "base/status.h"
#include "storage/crypto.h"
#include "base/env.h"

namespace vesk {

struct HistoryFile {
  std::string_view surface;         // "maintenance_trends"
  std::string_view file_name;       // "maintenance_trends.json"
  std::string_view missing_detail;  // "maintenance trend history missing; ..."
  std::string_view empty_detail;    // unused by the recall replay history
  std::string_view loaded_noun;     // "maintenance trend snapshots"
};

// Parses the whole text into the caller's list; returns its length.
using HistoryTextParser = std::function<Result<uint64_t>(std::string_view text)>;
// Drops all but the last n entries of the caller's list; returns how many stay.
using HistoryTrimmer = std::function<uint64_t(size_t n)>;

void load_history_text(const fs::path& dir, const SecretKey* key, const HistoryFile& file,
                       const HistoryTextParser& parse, std::vector<StartupValidationEvent>& events, Env& env);

void load_backed_up_history_text(const fs::path& dir, const SecretKey* key, const HistoryFile& file,
                                 const HistoryTextParser& parse, const HistoryTrimmer& keep_last, size_t limit,
                                 std::vector<StartupValidationEvent>& events, Env& env);

// A HistoryTextParser that reads the whole text with `parse` into `list`.
template <typename T>
HistoryTextParser parse_history_into(std::vector<T>& list, Result<std::vector<T>> (*parse)(std::string_view text)) {
  return [&list, parse](std::string_view text) -> Result<uint64_t> {
    auto parsed = parse(text);
    if (!parsed.ok()) return parsed.status();
    list = std::move(parsed).value();
    return list.size();
  };
}

// The typed forms: `parse` reads the whole text as an array of T.
template <typename T>
std::vector<T> load_history_file(const fs::path& dir, const SecretKey* key, const HistoryFile& file,
                                 Result<std::vector<T>> (*parse)(std::string_view text),
                                 std::vector<StartupValidationEvent>& events, Env& env) {
  std::vector<T> list;
  load_history_text(dir, key, file, parse_history_into(list, parse), events, env);
  return list;
}

template <typename T>
std::vector<T> load_recall_replay_file(const fs::path& dir, const SecretKey* key, const HistoryFile& file,
                                       Result<std::vector<T>> (*parse)(std::string_view text), size_t keep_last,
                                       std::vector<StartupValidationEvent>& events, Env& env) {
  std::vector<T> list;
  load_backed_up_history_text(
      dir, key, file, parse_history_into(list, parse),
      [&](size_t n) -> uint64_t {
        if (list.size() > n) list.erase(list.begin(), list.end() - static_cast<std::ptrdiff_t>(n));
        return list.size();
      },
      keep_last, events, env);
  return list;
}

}  // namespace vesk
