#include "maintenance/layer_fork_join.h"

#include <tbb/task_arena.h>
#include <tbb/task_group.h>

#include <exception>

namespace vesk {
namespace {

// Runs a side, keeping what it throws: the pool would otherwise cancel the
// side that has not started yet.
void run_side(const std::function<void()>& side, std::exception_ptr& thrown) {
  tbb::this_task_arena::isolate([&] {
    try {
      side();
    } catch (...) {
      thrown = std::current_exception();
    }
  });
}

}  // namespace

void run_concept_and_causal_phases(const std::function<void()>& concept_side,
                                   const std::function<void()>& causal_side) {
  std::exception_ptr concept_thrown, causal_thrown;
  tbb::task_group sides;
  sides.run([&] { run_side(causal_side, causal_thrown); });
  sides.run_and_wait([&] { run_side(concept_side, concept_thrown); });
  if (concept_thrown) std::rethrow_exception(concept_thrown);
  if (causal_thrown) std::rethrow_exception(causal_thrown);
}

}  // namespace vesk
