#include "cognitive/layer_file_save.h"

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include "storage/atomic_file.h"

namespace vesk {

namespace layer_save_detail {

void write_side_by_side(size_t n, const std::function<void(size_t)>& write) {
  // A save runs with its layer's lock held, often inside the maintenance
  // cycle's own parallel work: isolated, the waiting thread takes on no task
  // from outside, which might want a lock in the wrong order.
  tbb::this_task_arena::isolate([&] { tbb::parallel_for(size_t{0}, n, [&](size_t i) { write(i); }); });
}

}  // namespace layer_save_detail

Status save_layer_text(const PersistenceTarget& target, std::string_view file_name, std::string_view json,
                       Env& env) {
  if (Status s = env.create_dirs(target.dir); !s.ok()) return s;
  return write_file_atomic(target.key_ptr(), target.dir / file_name, json, env);
}

}  // namespace vesk
