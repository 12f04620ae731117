// Segment names: the relative '/'-separated paths under which a container
// holds a store's files and restores them into a directory.
//
// A name is safe when
//   - it is 1 to 512 bytes long and holds no backslash and no NUL byte (a
//     file call would stop at the NUL: "..\0x" would act as ".."); else
//     "Unsafe Vesk container segment name";
//   - it does not start with '/' and, split on '/' with empty parts and "."
//     parts after the first ignored, it neither starts with a "." part nor
//     holds a ".." part; else "Unsafe Vesk container segment path: {name}".
// So index/sdr.idx, a//b, a/./b and a/ are safe; ./a, ., ../a, a/../b, /a
// and a\b are not.
#pragma once

#include <string>
#include <string_view>

#include "base/status.h"

namespace vesk {

Status validate_segment_name(std::string_view name);

// The path a safe name restores to, relative to the target directory: its
// parts without the empty and "." ones, joined by '/' ("a//b/./c/" ->
// "a/b/c"). Names that differ only in those parts restore to one file.
std::string segment_restore_path(std::string_view name);

}  // namespace vesk
