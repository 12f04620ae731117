// Where labelled snapshot files live: "{stem}_snapshot_{label}.json" in the
// parent of the store path, the stem being the file stem of the store path's
// last component (mem.db -> mem, a.b.c -> a.b, .hidden -> .hidden). Stores
// whose paths share parent and stem share their snapshot files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"

namespace vesk {

// The directory snapshot files of `store_path` go to: its parent, or "." when
// the parent is empty (a bare name) or missing (the root, an empty path).
fs::path snapshot_dir(const fs::path& store_path);
// The file stem of the last normal component, invalid UTF-8 replaced by
// U+FFFD; empty when there is none.
std::string snapshot_stem(const fs::path& store_path);
// The snapshot file of a label (the label is not checked).
fs::path snapshot_path(const fs::path& store_path, std::string_view label);

// Labels of the existing snapshot files of the store, sorted by bytes; empty
// when the directory cannot be read. Entry types and labels are not checked.
std::vector<std::string> list_snapshot_labels(const fs::path& store_path, Env& env);

}  // namespace vesk
