#include "cognitive/history_file_save.h"

#include "storage/atomic_file.h"

namespace vesk {

Status save_history_text(const fs::path& dir, const SecretKey* key, std::string_view file_name, std::string_view json,
                         Env& env) {
  return write_file_atomic(key, dir / file_name, json, env);
}

}  // namespace vesk
