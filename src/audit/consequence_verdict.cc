#include "audit/consequence_verdict.h"

namespace vesk {

void ConsequenceVerdict::count(ConsequencePolarity polarity) {
  switch (polarity) {
    case ConsequencePolarity::Supports: ++supports; break;
    case ConsequencePolarity::Refutes: ++refutes; break;
    case ConsequencePolarity::Inconclusive: ++inconclusive; break;
  }
  verdict = refutes > 0    ? ConsequencePolarity::Refutes
            : supports > 0 ? ConsequencePolarity::Supports
                           : ConsequencePolarity::Inconclusive;
}

}  // namespace vesk
