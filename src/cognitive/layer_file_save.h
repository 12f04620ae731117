// Saving the layer files (".cog"): the engine-independent steps.
//
// A save replaces the whole file with the value in memory:
//   1. Create the store directory and any missing parents (0777 before the
//      process's umask), so that a layer can be saved into a directory that
//      does not exist (yet). A failure is returned.
//   2. Write the value as compact JSON, no blanks or line breaks: members in
//      the order of its field table, optional members always written (null
//      when empty), maps in their in-memory order, integers exact, floats in
//      the shortest form that reads back to the same value of their width.
//   3. write_file_atomic with the target's key: sealed when the store has one,
//      written to a new temporary file beside the target, forced and renamed
//      over it. A failure is returned, and the file keeps its old content.
//
// A float that is not finite is never written as null: every reader refuses
// null for a float, so one NaN would make the whole layer fall back at the
// next open, and the save after that would overwrite the file with the fresh
// engine, losing the layer. A required float member that is not finite is
// written as 0.0; an optional one is written as null and reads back absent.
#pragma once

#include <string>
#include <string_view>

#include "base/env.h"
#include "base/status.h"
#include "cognitive/persistence_target.h"
#include "model/json_codec.h"

namespace vesk {

// The text step 2 writes.
template <typename T>
std::string layer_json(const T& value) {
  return json_to_string(value, JsonStyle::Compact, JsonNonFinite::Zero);
}

// Steps 1 and 3 for ready text: `file_name` inside the target's directory.
Status save_layer_text(const PersistenceTarget& target, std::string_view file_name, std::string_view json, Env& env);

template <typename T>
Status save_layer_file(const PersistenceTarget& target, std::string_view file_name, const T& value, Env& env) {
  return save_layer_text(target, file_name, layer_json(value), env);
}

}  // namespace vesk
