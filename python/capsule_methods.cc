// Context capsules, context fragments and the whole-store JSON. Every method
// keeps the interpreter lock for its whole call; a capsule's argument
// problems are ValueErrors, its dict is built by the core
// (context_capsule_dict.h); a fragment's failures are RuntimeErrors.
#include <cstdint>
#include <optional>
#include <string>

#include "binding/json_result.h"
#include "exchange/context_capsule/context_capsule_dict.h"
#include "vesk_object.h"

namespace vesk::py {

// The capsule budget: a non-negative int, 2000 when left out. None is not
// "left out" here: it is refused like any other non-integer.
struct CapsuleTokenBudget {
  uint64_t value = 2000;
};

template <>
struct FromPy<CapsuleTokenBudget> {
  static bool convert(PyObject* o, CapsuleTokenBudget& out) { return FromPy<uint64_t>::convert(o, out.value); }
};

namespace {

std::optional<std::string_view> namespace_view(const std::optional<std::string>& ns) {
  if (!ns) return std::nullopt;
  return std::string_view(*ns);
}

Result<JsonObject> build_context_capsule(Vesk& self, std::string purpose, CapsuleTokenBudget token_budget,
                                         std::optional<std::string> namespace_, std::optional<double> valid_at) {
  auto capsule = self.build_context_capsule(purpose, token_budget.value, namespace_view(namespace_), valid_at);
  if (!capsule.ok()) return capsule.status();
  return context_capsule_to_dict(*capsule);
}
constexpr Method kBuildContextCapsule{
    "Vesk", "build_context_capsule($self, purpose, token_budget=2000, namespace=None, valid_at=None)",
    build_context_capsule};

Result<JsonObject> build_compacted_context_capsule(Vesk& self, std::string purpose, CapsuleTokenBudget token_budget,
                                                   std::optional<std::string> namespace_,
                                                   std::optional<double> valid_at) {
  auto capsule =
      self.build_compacted_context_capsule(purpose, token_budget.value, namespace_view(namespace_), valid_at);
  if (!capsule.ok()) return capsule.status();
  return context_capsule_to_dict(*capsule);
}
constexpr Method kBuildCompactedContextCapsule{
    "Vesk", "build_compacted_context_capsule($self, purpose, token_budget=2000, namespace=None, valid_at=None)",
    build_compacted_context_capsule};

std::string export_json(Vesk& self) { return self.export_json(); }
constexpr Method kExportJson{"Vesk", "export_json($self)", export_json};

std::string export_context(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                           std::optional<std::string> namespace_) {
  std::optional<size_t> k;
  if (top_k) k = static_cast<size_t>(*top_k);
  return self.export_context(query, k, std::move(namespace_));
}
constexpr Method kExportContext{"Vesk", "export_context($self, query, top_k=None, namespace=None)", export_context};

Result<uint64_t> import_context(Vesk& self, std::string fragment_json) { return self.import_context(fragment_json); }
constexpr Method kImportContext{"Vesk", "import_context($self, fragment_json)", import_context};

}  // namespace

MethodRows capsule_methods() {
  return {bind<kBuildContextCapsule>(), bind<kBuildCompactedContextCapsule>(), bind<kExportContext>(),
          bind<kImportContext>(), bind<kExportJson>()};
}

}  // namespace vesk::py
