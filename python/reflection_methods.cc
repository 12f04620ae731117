// The reflection summary history: the newest summaries and their digest.
// Both keep the interpreter lock: the window is at most 32 summaries.
#include <cstdint>
#include <optional>
#include <vector>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::vector<ReflectionSummary> get_reflection_summaries(Vesk& self, std::optional<uint64_t> limit) {
  return self.get_reflection_summaries(limit);
}
constexpr Method kGetReflectionSummaries{"Vesk", "get_reflection_summaries($self, limit=None)",
                                         get_reflection_summaries};

ReflectionDigest get_reflection_digest(Vesk& self, std::optional<uint64_t> limit) {
  return self.get_reflection_digest(limit);
}
constexpr Method kGetReflectionDigest{"Vesk", "get_reflection_digest($self, limit=None)", get_reflection_digest};

}  // namespace

MethodRows reflection_methods() { return {bind<kGetReflectionSummaries>(), bind<kGetReflectionDigest>()}; }

}  // namespace vesk::py
