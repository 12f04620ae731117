#include "cognitive/topology_decay.h"

#include <mutex>

#include "cognitive/surface_savers.h"

namespace vesk {

Topology decay_topology(PlasticityState& plasticity, const PersistenceTarget& target, Env& env) {
  {
    std::unique_lock lock(plasticity.mu);
    decay_corecall_weights(plasticity.topology);
  }
  Topology copy;
  {
    std::shared_lock lock(plasticity.mu);
    copy = plasticity.topology;
  }
  (void)save_topology(target, copy, env);
  return copy;
}

}  // namespace vesk
