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

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "cognitive/persistence_target.h"
#include "model/json_struct.h"

namespace vesk {

namespace layer_save_detail {
// Calls write(i) for every i below n, side by side on the worker threads.
void write_side_by_side(size_t n, const std::function<void(size_t)>& write);
}  // namespace layer_save_detail

// The text step 2 writes. The members of a structure are written side by
// side, each into a text of its own, and then joined in table order: the
// maps of a large layer are spread over the heap, and walking their nodes,
// one cache miss after another, is most of what a save costs.
template <typename T>
std::string layer_json(const T& value) {
  if constexpr (requires { JsonCodec<T>::fields(); }) {
    const JsonStruct<T>& s = JsonCodec<T>::fields();
    std::vector<std::string> members(s.fields.size());
    layer_save_detail::write_side_by_side(members.size(), [&](size_t i) {
      JsonWriter w(members[i], JsonStyle::Compact, JsonNonFinite::Zero);
      s.fields[i].write(w, value);
    });
    size_t size = 2;
    for (size_t i = 0; i < members.size(); ++i) size += s.fields[i].name.size() + 4 + members[i].size();
    std::string out;
    out.reserve(size);
    JsonWriter w(out, JsonStyle::Compact, JsonNonFinite::Zero);
    w.begin_object();
    for (size_t i = 0; i < members.size(); ++i) {
      if (s.fields[i].omit && s.fields[i].omit(value)) continue;
      w.key(s.fields[i].name);
      w.raw(members[i]);
    }
    w.end_object();
    return out;
  } else {
    return json_to_string(value, JsonStyle::Compact, JsonNonFinite::Zero);
  }
}

// Steps 1 and 3 for ready text: `file_name` inside the target's directory.
Status save_layer_text(const PersistenceTarget& target, std::string_view file_name, std::string_view json, Env& env);

template <typename T>
Status save_layer_file(const PersistenceTarget& target, std::string_view file_name, const T& value, Env& env) {
  return save_layer_text(target, file_name, layer_json(value), env);
}

}  // namespace vesk
