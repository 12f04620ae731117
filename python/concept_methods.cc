// The concept surface: the surfaced concepts of all namespaces or of one.
// Both keep the interpreter lock: each is a short read of the concept layer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::optional<size_t> size_limit(std::optional<uint64_t> limit) {
  if (!limit) return std::nullopt;
  return static_cast<size_t>(*limit);
}

std::vector<SurfacedConcept> get_surfaced_concepts(Vesk& self, std::optional<uint64_t> limit) {
  return self.get_surfaced_concepts(size_limit(limit));
}
constexpr Method kGetSurfacedConcepts{"Vesk", "get_surfaced_concepts($self, limit=None)", get_surfaced_concepts};

std::vector<SurfacedConcept> get_surfaced_concepts_for_namespace(Vesk& self, std::string namespace_,
                                                                 std::optional<uint64_t> limit) {
  return self.get_surfaced_concepts_for_namespace(namespace_, size_limit(limit));
}
constexpr Method kGetSurfacedConceptsForNamespace{"Vesk",
                                                  "get_surfaced_concepts_for_namespace($self, namespace, limit=None)",
                                                  get_surfaced_concepts_for_namespace};

}  // namespace

MethodRows concept_methods() { return {bind<kGetSurfacedConcepts>(), bind<kGetSurfacedConceptsForNamespace>()}; }

}  // namespace vesk::py
