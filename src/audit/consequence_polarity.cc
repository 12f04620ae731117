#include "audit/consequence_polarity.h"

namespace vesk {

std::string_view consequence_polarity_word(ConsequencePolarity polarity) {
  switch (polarity) {
    case ConsequencePolarity::Supports: return "supports";
    case ConsequencePolarity::Refutes: return "refutes";
    case ConsequencePolarity::Inconclusive: return "inconclusive";
  }
  return "inconclusive";
}

}  // namespace vesk
