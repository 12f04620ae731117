// Source credibility: the rating of a url and the caller's per-store
// overrides (write/source_credibility.h). Neither releases the
// interpreter lock; a score that is not a number is the argument TypeError,
// a NaN score the ValueError of the core.
#include <string>

#include "vesk_object.h"

namespace vesk::py {
namespace {

double get_credibility(Vesk& self, std::string url) { return self.get_credibility(url); }
constexpr Method kGetCredibility{"Vesk", "get_credibility($self, url)", get_credibility};

Status set_credibility_override(Vesk& self, std::string domain, double score) {
  return self.set_credibility_override(domain, score);
}
constexpr Method kSetCredibilityOverride{"Vesk", "set_credibility_override($self, domain, score)",
                                         set_credibility_override};

}  // namespace

MethodRows credibility_methods() { return {bind<kGetCredibility>(), bind<kSetCredibilityOverride>()}; }

}  // namespace vesk::py
