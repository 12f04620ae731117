#include "storage/backup_swap.h"

#include <memory>

namespace vesk {

namespace {

fs::path with_suffix(const fs::path& target, const char* suffix) {
  fs::path p = target;
  p += suffix;
  return p;
}

Status write_scratch(const fs::path& scratch, std::string_view bytes, Env& env) {
  auto file = env.open(scratch, OpenMode::kWriteTruncate);
  if (!file.ok()) return file.status();
  Status st = (*file)->write_at(0, bytes);
  if (st.ok()) st = (*file)->sync();
  Status closed = (*file)->close();
  return st.ok() ? closed : st;
}

}  // namespace

fs::path swap_scratch_path(const fs::path& target) { return with_suffix(target, ".tmp"); }
fs::path swap_backup_path(const fs::path& target) { return with_suffix(target, ".bak"); }

Status replace_file_via_backup(const fs::path& target, std::string_view bytes, Env& env) {
  const fs::path scratch = swap_scratch_path(target);
  const fs::path backup = swap_backup_path(target);
  VESK_RETURN_IF_ERROR(write_scratch(scratch, bytes, env));
  if (env.exists(backup)) VESK_RETURN_IF_ERROR(env.remove(backup));
  if (env.exists(target)) VESK_RETURN_IF_ERROR(env.rename(target, backup));
  if (Status moved = env.rename(scratch, target); !moved.ok()) {
    // Put the old content back under its name; the first failure is the one
    // to report.
    if (env.exists(backup)) (void)env.rename(backup, target);
    return moved;
  }
  if (env.exists(backup)) VESK_RETURN_IF_ERROR(env.remove(backup));
  return Status::Ok();
}

}  // namespace vesk
