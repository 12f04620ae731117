#include "maintenance/cycle_sdrs.h"

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <memory>
#include <vector>

namespace vesk {

void build_cycle_sdrs(Guarded<StringKeyMap<SharedSdr>>& record_sdrs, const SdrEncoder& encoder,
                      const CycleSnapshot& snapshot, CycleSdrMap& out, MaintenanceHotspots& hotspots) {
  out.reserve(snapshot.size());
  std::vector<const Record*> missing;
  {
    auto sdrs = record_sdrs.write();
    for (const auto& [id, record] : snapshot) {
      auto hit = sdrs->find(id);
      if (hit == sdrs->end()) {
        missing.push_back(&record);
      } else {
        out.emplace(id, hit->second);
        ++hotspots.sdr_vectors_reused;
      }
    }
    // Every entry found above belongs to the snapshot: when they are all the
    // map holds, there is nothing to drop and the walk over the map is saved
    // (the usual case, a cycle after a cycle).
    if (sdrs->size() > out.size()) {
      for (auto it = sdrs->begin(); it != sdrs->end();) {
        it = snapshot.find(it->first) == snapshot.end() ? sdrs->erase(it) : std::next(it);
      }
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
      auto [it, added] = sdrs->try_emplace(missing[i]->id, std::move(encoded[i]));
      out.emplace(missing[i]->id, it->second);
      ++(added ? hotspots.sdr_vectors_computed : hotspots.sdr_vectors_reused);
    }
  }
  hotspots.sdr_vectors_built = out.size();
}

}  // namespace vesk
