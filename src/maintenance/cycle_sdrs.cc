#include "maintenance/cycle_sdrs.h"

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <memory>
#include <string>
#include <vector>

namespace vesk {

void build_cycle_sdrs(Guarded<FlatStringMap<SharedSdr>>& record_sdrs, const SdrEncoder& encoder,
                      const CycleSnapshot& snapshot, CycleSdrMap& out, MaintenanceHotspots& hotspots) {
  out.reserve(snapshot.size());
  std::vector<const Record*> missing;
  {
    auto sdrs = record_sdrs.write();
    for (const auto& [id, record] : snapshot) {
      if (const SharedSdr* hit = sdrs->find(id)) {
        out.emplace(id, *hit);
        ++hotspots.sdr_vectors_reused;
      } else {
        missing.push_back(&record);
      }
    }
    // Every entry found above belongs to the snapshot: when they are all the
    // map holds, there is nothing to drop and the walk over the map is saved
    // (the usual case, a cycle after a cycle).
    if (sdrs->size() > out.size()) {
      std::vector<std::string> stale;
      for (const auto& [id, sdr] : *sdrs)
        if (!snapshot.contains(id)) stale.push_back(id);
      for (const std::string& id : stale) sdrs->erase(id);
    }
  }

  if (!missing.empty()) {
    std::vector<SharedSdr> encoded(missing.size());
    // Isolated: a waiting thread takes on no outside task that might want a
    // lock of the store.
    tbb::this_task_arena::isolate([&] {
      tbb::parallel_for(size_t{0}, missing.size(), [&](size_t i) {
        encoded[i] = std::make_shared<const Sdr>(
            encode_sdr(encoder, missing[i]->content, SdrRange::General, SdrCase::Fold));
      });
    });
    auto sdrs = record_sdrs.write();
    for (size_t i = 0; i < missing.size(); ++i) {
      SharedSdr& kept = (*sdrs)[missing[i]->id];
      const bool added = !kept;
      if (added) kept = std::move(encoded[i]);
      out.emplace(missing[i]->id, kept);
      ++(added ? hotspots.sdr_vectors_computed : hotspots.sdr_vectors_reused);
    }
  }
  hotspots.sdr_vectors_built = out.size();
}

}  // namespace vesk
