// Connections between two records on request.
#include <optional>
#include <string>

#include "vesk_object.h"

namespace vesk::py {
namespace {

// Holds the interpreter lock: a short change of two records.
Status connect(Vesk& self, std::string id_a, std::string id_b, std::optional<float> weight,
               std::optional<std::string> relationship) {
  return self.connect(id_a, id_b, weight, relationship);
}
constexpr Method kConnect{"Vesk", "connect($self, id_a, id_b, weight=None, relationship=None)", connect};

}  // namespace

MethodRows connection_methods() { return {bind<kConnect>()}; }

}  // namespace vesk::py
