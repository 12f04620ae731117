// Saving the history files (".json"): the element-independent steps.
//
// A save replaces the whole file with the list it is given, in its order:
//   1. Write the list as pretty JSON: two-space indentation, one element or
//      member per line, ": " after keys, an empty list or object as "[]" or
//      "{}", no newline after the closing bracket. Members follow the
//      element's field table; integers are exact and floats in the shortest
//      form that reads back to the same value of their width.
//   2. write_file_atomic with the store's key, as for the layer files
//      (layer_file_save.h). A failure is returned, and the file keeps its old
//      content.
// Unlike a layer save, no directory is created: a missing store directory
// fails the write, and that error is returned.
//
// As in the layer files, a float that is not finite is written as 0.0 (an
// optional one as null), never as a null the reader would refuse and so
// drop the whole history at the next open.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "model/json_codec.h"
#include "storage/crypto.h"

namespace vesk {

// The text step 1 writes.
template <typename T>
std::string history_json(const std::vector<T>& list) {
  return json_to_string(list, JsonStyle::Pretty, JsonNonFinite::Zero);
}

// Step 2 for ready text: `file_name` inside `dir`.
Status save_history_text(const fs::path& dir, const SecretKey* key, std::string_view file_name, std::string_view json,
                         Env& env);

template <typename T>
Status save_history_file(const fs::path& dir, const SecretKey* key, std::string_view file_name,
                         const std::vector<T>& list, Env& env) {
  return save_history_text(dir, key, file_name, history_json(list), env);
}

}  // namespace vesk
