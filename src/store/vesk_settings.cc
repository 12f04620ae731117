// The store object's recall settings.
#include "store/vesk.h"

namespace vesk {
namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}  // namespace

void set_full_cognitive_stack(Vesk& store, bool enabled) {
  StoreFlags& f = store.flags;
  f.belief_rerank.store(enabled ? BeliefRerankMode::Limited : BeliefRerankMode::Off, kRelaxed);
  f.concept_surface.store(enabled ? ConceptSurfaceMode::Limited : ConceptSurfaceMode::Off, kRelaxed);
  f.causal_rerank.store(enabled ? CausalRerankMode::Limited : CausalRerankMode::Off, kRelaxed);
  f.policy_rerank.store(enabled ? PolicyRerankMode::Limited : PolicyRerankMode::Off, kRelaxed);
}

}  // namespace vesk
