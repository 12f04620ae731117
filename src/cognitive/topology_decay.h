// decay_topology: the maintenance cycle's step that ages the co-recall graph
// and saves it.
//
// Under the graph's write lock every edge decays once
// (decay_corecall_weights); the lock is then released, a copy is taken
// under the read lock, and the copy is saved to "topology.cog" with no lock
// held, so recalls that bump edges wait only for the decay itself, never for
// the disk. A failed save is dropped: the graph in memory stays the truth
// and the next cycle (or purge) writes it. The copy saved is returned: the
// cycle hands it to the causal layer.
#pragma once

#include "base/env.h"
#include "cognitive/persistence_target.h"
#include "cognitive/topology.h"

namespace vesk {

Topology decay_topology(PlasticityState& plasticity, const PersistenceTarget& target, Env& env);

}  // namespace vesk
