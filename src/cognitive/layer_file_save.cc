#include "cognitive/layer_file_save.h"

#include "storage/atomic_file.h"

namespace vesk {

Status save_layer_text(const PersistenceTarget& target, std::string_view file_name, std::string_view json,
                       Env& env) {
  if (Status s = env.create_dirs(target.dir); !s.ok()) return s;
  return write_file_atomic(target.key_ptr(), target.dir / file_name, json, env);
}

}  // namespace vesk
