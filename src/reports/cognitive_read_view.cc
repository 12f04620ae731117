#include "reports/cognitive_read_view.h"

namespace vesk {

CognitiveReadView::CognitiveReadView(const Guarded<RecordMap>& records, const Guarded<BeliefEngine>& beliefs,
                                     const Guarded<ConceptEngine>& concepts, const Guarded<CausalEngine>& causal,
                                     const Guarded<PolicyEngine>& policies, ConceptSurfaceCounters& counters,
                                     uint8_t stored_mode)
    : records_(records.read()),
      beliefs_(beliefs.read()),
      concepts_(concepts.read()),
      causal_(causal.read()),
      policies_(policies.read()),
      counters_(counters),
      mode_(stored_mode == 1 || stored_mode == 2 ? stored_mode : 0) {}

}  // namespace vesk
